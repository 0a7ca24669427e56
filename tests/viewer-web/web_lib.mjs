// What the browser test and the bench page share: a local server for the
// built site, Chromium and Firefox through puppeteer-core, the viewer's page
// opened past its information box, frame counting, picture comparison and
// axe-core's accessibility rules.
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import puppeteer from 'puppeteer-core';
import {PNG} from 'pngjs';

// A page 320 pixels high gives a 256 x 256 window (0.8 x the height) at
// (50, 50), at device pixel ratio 1.
export const kViewport = {width: 400, height: 320, deviceScaleFactor: 1};
export const kCanvas = 256;

const kTypes = {'.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm',
                '.css': 'text/css', '.png': 'image/png', '.webmanifest': 'application/manifest+json'};

// Serves the folder root; while `offline` is set, every request fails as if
// the network were gone.
export async function serve(root) {
  const site = {offline: false};
  const server = http.createServer((request, response) => {
    if (site.offline) {
      request.socket.destroy();
      return;
    }
    let name = new URL(request.url, 'http://localhost').pathname;
    if (name.endsWith('/')) name += 'index.html';
    const file = path.join(root, path.normalize(name));
    fs.readFile(file, (error, data) => {
      if (error || !file.startsWith(root)) {
        response.writeHead(404);
        response.end();
        return;
      }
      response.writeHead(200, {'Content-Type': kTypes[path.extname(file)] || 'application/octet-stream'});
      response.end(data);
    });
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  site.url = `http://127.0.0.1:${server.address().port}/`;
  site.close = () => server.close();
  return site;
}

// Debian's Chromium, headless; it renders WebGL 2 through SwiftShader.
export function launch(extraArgs = []) {
  return puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--enable-unsafe-swiftshader', ...extraArgs],
  });
}

// Debian's Firefox ESR, headless, with WebGL 2 on Mesa.
export function launchFirefox() {
  return puppeteer.launch({
    browser: 'firefox',
    executablePath: process.env.FIREFOX || '/usr/bin/firefox-esr',
    headless: true,
    extraPrefsFirefox: {'webgl.force-enabled': true},
    env: {...process.env, MOZ_WEBGL_FORCE_EGL: '1'},
  });
}

// Loads the page (or reloads it: `load`), reads the information box, runs
// `whileOpen` and closes the box with its button; returns once the first
// picture is presented.
export async function openViewer(page, url, {load = () => page.goto(url), whileOpen = async () => {}} = {}) {
  await load();
  await page.waitForSelector('dialog[open]');
  await whileOpen();
  const box = await page.evaluate(() => ({
    caption: document.querySelector('.helicoid-box-caption').textContent,
    text: document.querySelector('.helicoid-box-text').textContent,
    canvasesWhileOpen: document.querySelectorAll('canvas').length,
    icons: document.querySelectorAll('.helicoid-box-icon').length,
  }));
  await page.evaluate(() => {
    window.presentCount = 0;
    Module.onPresent = () => window.presentCount++;
  });
  await presents(page, 1, () => page.click('dialog button'));
  return {
    ...box,
    ...(await page.evaluate(() => {
      const c = document.querySelector('canvas');
      const r = c.getBoundingClientRect();
      return {
        title: document.querySelector('title').textContent,
        favicon: document.querySelector('link[rel="icon"]').href,
        canvasSize: `${c.width}x${c.height} at ${r.left},${r.top}`,
      };
    })),
  };
}

// Runs `action`, then waits until `count` more frames have been presented
// and the browser has shown the last of them; throws if they do not come
// within timeoutMs. Frames are counted from before the action, as the frame
// that answers an input event may come before the event's dispatch returns.
export async function presents(page, count, action = async () => {}, timeoutMs = 10000) {
  const start = await page.evaluate(() => window.presentCount);
  await action();
  await page.waitForFunction((n) => window.presentCount >= n, {timeout: timeoutMs}, start + count);
  await page.evaluate(() => new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r))));
}

export async function canvasPicture(page) {
  const clip = {x: 50, y: 50, width: kCanvas, height: kCanvas};
  return Buffer.from(await page.screenshot({clip, type: 'png'}));
}

// The share of pixels of which some channel differs by more than 4 %.
export function differingShare(pngA, pngB) {
  const a = PNG.sync.read(pngA), b = PNG.sync.read(pngB);
  if (a.width !== b.width || a.height !== b.height) return 1;
  let differing = 0;
  for (let i = 0; i < a.data.length; i += 4) {
    for (let k = 0; k < 3; ++k) {
      if (Math.abs(a.data[i + k] - b.data[i + k]) > 0.04 * 255) {
        differing++;
        break;
      }
    }
  }
  return differing / (a.width * a.height);
}

// The trackball step of a drag from one client point to another, in the
// viewer's single-precision arithmetic, as helicoid-snapshot's --turn.
export function turnOfDrag(from, to) {
  const f = Math.fround;
  const sphere = ({x, y}) => {
    const px = f((2 * x - kCanvas) / kCanvas), py = f((kCanvas - 2 * y) / kCanvas);
    const d = Math.min(f(Math.sqrt(f(f(px * px) + f(py * py)))), 1);
    const pz = f(Math.cos(f(d * f(1.5707964))));
    const n = f(Math.sqrt(f(f(f(px * px) + f(py * py)) + f(pz * pz))));
    return [f(px / n), f(py / n), f(pz / n)];
  };
  const a = sphere(from), b = sphere(to);
  const chord = f(Math.sqrt(f(f(f((b[0] - a[0]) ** 2) + f((b[1] - a[1]) ** 2)) + f((b[2] - a[2]) ** 2))));
  const axis = [f(a[1] * b[2] - a[2] * b[1]), f(a[2] * b[0] - a[0] * b[2]), f(a[0] * b[1] - a[1] * b[0])];
  return [f(90 * chord), ...axis].map((v) => v.toPrecision(9)).join(',');
}

// axe-core's violations on the page as it stands, as "rule: element, ..."
// lines. The page's policy refuses inline scripts, so axe is evaluated, not
// added as a script element.
const axeSource = fs.readFileSync(new URL('node_modules/axe-core/axe.min.js', import.meta.url), 'utf8');
export async function axeViolations(page) {
  if (!(await page.evaluate(() => typeof axe !== 'undefined'))) await page.evaluate(axeSource);
  return page.evaluate(async () => (await axe.run(document, {resultTypes: ['violations']})).violations.map(
      (v) => `${v.id} (${v.impact}): ${v.nodes.map((n) => n.target.join(' ')).join(', ')}`));
}
