// The browser build in a real headless Chromium, used as a person would:
// the information box, the picture against the headless renderer's, keys,
// mouse and touch drags, Esc and the close box.
//
//   node web_test.mjs SITE_DIR SNAPSHOT_PROGRAM [ARTIFACT_DIR]
//
// SITE_DIR holds index.html, helicoid.js and helicoid.wasm (tools/web-build.sh);
// SNAPSHOT_PROGRAM is helicoid-snapshot, which draws the reference pictures.
import {execFileSync} from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import {serve, launch, openViewer, presents, canvasPicture, differingShare, turnOfDrag,
        kCanvas, kViewport} from './web_lib.mjs';

const [site, snapshot, artifacts = fs.mkdtempSync('/tmp/helicoid-web-')] = process.argv.slice(2);
if (!site || !snapshot) {
  console.error('usage: node web_test.mjs SITE_DIR SNAPSHOT_PROGRAM [ARTIFACT_DIR]');
  process.exit(2);
}
if (!fs.existsSync(path.join(site, 'helicoid.wasm'))) {
  console.error(`FAIL: no browser build in ${site} (tools/web-build.sh writes one)`);
  process.exit(1);
}
fs.mkdirSync(artifacts, {recursive: true});

let failures = 0;
function check(ok, what) {
  console.log(`${ok ? 'ok' : 'FAIL'}: ${what}`);
  if (!ok) failures++;
}

function reference(name, ...options) {
  const file = path.join(artifacts, `reference-${name}.png`);
  execFileSync(snapshot, ['--size', String(kCanvas), ...options, '-o', file]);
  return fs.readFileSync(file);
}

// At most 0.5 % of the pixels may differ by more than 4 % in a channel.
async function matches(page, name, ...options) {
  const picture = await canvasPicture(page);
  fs.writeFileSync(path.join(artifacts, `web-${name}.png`), picture);
  const share = differingShare(picture, reference(name, ...options));
  check(share <= 0.005, `${name}: ${(100 * share).toFixed(3)} % of pixels differ from helicoid-snapshot ${options.join(' ')}`);
}

// Whether frames keep coming and change the picture; a model at rest
// presents no frame at all.
async function spinning(page) {
  const a = await canvasPicture(page);
  const framesCame = await presents(page, 3, undefined, 1500).then(() => true, () => false);
  return framesCame && differingShare(a, await canvasPicture(page)) > 0;
}

async function ended(page) {
  await page.waitForFunction(() => document.getElementById('status').dataset.exitCode !== undefined,
                             {timeout: 10000});
  return page.evaluate(() => ({
    code: document.getElementById('status').dataset.exitCode,
    line: document.getElementById('status').textContent,
    canvases: document.querySelectorAll('canvas').length,
  }));
}

const server = await serve(site);
const browser = await launch();
try {
  // ---- Mouse and keys.
  const page = await browser.newPage();
  await page.setViewport(kViewport);
  const box = await openViewer(page, server.url);
  check(box.caption === 'soft by Quenmarrow - contact@example.org ' &&
            box.text === ' mouse: touch the window image for movement----- ',
        `the box shows caption ${JSON.stringify(box.caption)} and text ${JSON.stringify(box.text)}`);
  check(box.canvasesWhileOpen === 0 && box.icons === 0,
        'no canvas while the box is open, and the box has no icon');
  check(box.title === ' soft by Quenmarrow' && box.favicon.startsWith('data:image/png'),
        `page title ${JSON.stringify(box.title)} and the icon as favicon`);
  check(box.canvasSize === `${kCanvas}x${kCanvas} at 50,50`, `canvas ${box.canvasSize}`);

  await matches(page, 'start-up');
  await presents(page, 2, () => page.keyboard.press('f'));
  await matches(page, 'fog', '--fog');
  await presents(page, 2, () => page.keyboard.press('p'));
  await matches(page, 'fog-wireframe', '--fog', '--wireframe');
  await presents(page, 2, async () => {
    await page.keyboard.press('p');
    await page.keyboard.press('f');
  });

  // A press turns the model once by the pending step (2 degrees about
  // (0.3, 0.2, 0.4) at start), one drag step turns it as the same step does
  // in the headless renderer; released away from the press it keeps
  // spinning, and a click stops it.
  const from = {x: 150, y: 120}, to = {x: 170, y: 131};
  const turns = ['--turn', '2,0.3,0.2,0.4', '--turn', turnOfDrag(from, to)];
  await page.mouse.move(50 + from.x, 50 + from.y);
  await presents(page, 1, () => page.mouse.down());
  await presents(page, 1, () => page.mouse.move(50 + to.x, 50 + to.y));
  await matches(page, 'mouse-drag', ...turns);
  // Released outside the canvas: the capture still brings the release.
  await page.mouse.move(380, 300);
  await page.mouse.up();
  check(await spinning(page), 'released outside the window, away from the press, the model spins');
  await presents(page, 1, () => page.mouse.click(50 + 100, 50 + 100));
  check(!(await spinning(page)), 'a click stops it');

  await page.keyboard.press('Escape');
  const byEsc = await ended(page);
  check(byEsc.code === '0' && byEsc.canvases === 0 && /ended/.test(byEsc.line),
        `Esc: ${JSON.stringify(byEsc)}`);

  // ---- Touch, and the close box.
  const touch = await browser.newPage();
  await touch.setViewport({...kViewport, hasTouch: true});
  await openViewer(touch, server.url);
  await presents(touch, 1, () => touch.touchscreen.touchStart(50 + from.x, 50 + from.y));
  await presents(touch, 1, () => touch.touchscreen.touchMove(50 + to.x, 50 + to.y));
  await matches(touch, 'touch-drag', ...turns);
  await touch.touchscreen.touchEnd();
  check(await spinning(touch), 'a touch released away from the press leaves it spinning');

  await touch.click('.helicoid-close');
  const byClose = await ended(touch);
  check(byClose.code === '0' && byClose.canvases === 0, `the close box: ${JSON.stringify(byClose)}`);
} finally {
  await browser.close();
}

// Without WebGL 2 the viewer cannot draw: it says so in a box and ends with
// exit code 1, its window gone.
const noWebGL = await launch(['--disable-webgl2']);
try {
  const page = await noWebGL.newPage();
  await page.setViewport(kViewport);
  await page.goto(server.url);
  await page.waitForSelector('dialog[open]');
  await page.click('dialog button');
  await page.waitForFunction(() => document.querySelector('.helicoid-box-caption')?.textContent === 'Error');
  const text = await page.$eval('.helicoid-box-text', (e) => e.textContent);
  const errorIcon = (await page.$('dialog[role=alertdialog] .helicoid-box-icon-1')) !== null;
  await page.click('dialog button');
  const end = await ended(page);
  check(text === 'wglCreateContext failed' && errorIcon && end.code === '1' && end.canvases === 0,
        `no WebGL 2: error box ${JSON.stringify(text)} (icon: ${errorIcon}), then ${JSON.stringify(end)}`);
} finally {
  await noWebGL.close();
  server.close();
}

if (failures > 0) {
  console.log(`${failures} check(s) failed; pictures in ${artifacts}`);
  process.exit(1);
}
console.log('all browser checks passed');
