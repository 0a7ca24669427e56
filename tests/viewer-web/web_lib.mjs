// What the browser test and the bench page share: a local server for the
// built site, the three browser engines behind one page interface, the
// viewer's page opened past its information box, frame counting, picture
// comparison and axe-core's accessibility rules.
//
// An engine's page is a puppeteer page (Chromium over CDP, Firefox over
// WebDriver BiDi) or, for WebKit, a page of the same shape over WebKit's
// WebDriver (the part at the end of this file): goto, evaluate, waitForFunction,
// waitForSelector, click, $eval, keyboard, mouse, screenshot, setViewport.
import {spawn} from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import net from 'node:net';
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
// the network were gone; `override[path]`, where set, turns a file's bytes
// into others (a deploy half done).
export async function serve(root) {
  const site = {offline: false, override: {}};
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
      response.end(site.override[name] ? site.override[name](data) : data);
    });
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  site.url = `http://127.0.0.1:${server.address().port}/`;
  site.close = () => server.close();
  return site;
}

// ---- Engines: how each starts, and what its driver can do. `launch({noWebGL2})`
// gives a browser with newPage() and close().
export const kEngines = {
  // Debian's Chromium, headless; it renders WebGL 2 through SwiftShader.
  chromium: {
    screens: true,  // viewport and pixel ratio emulation
    touch: true,
    launch: ({noWebGL2 = false} = {}) => launch(noWebGL2 ? ['--disable-webgl2'] : []),
  },
  // Debian's firefox-esr over BiDi; headless WebGL 2 needs both settings.
  // Its touch actions fail here (NS_ERROR_ILLEGAL_VALUE), and its driver
  // cannot emulate media features: reduced motion is a setting at launch.
  firefox: {
    screens: true,
    touch: false,
    launch: async ({noWebGL2 = false, reducedMotion = false} = {}) => withPolledWaits(await puppeteer.launch({
      browser: 'firefox',
      executablePath: process.env.FIREFOX || '/usr/bin/firefox-esr',
      headless: true,
      extraPrefsFirefox: {'webgl.force-enabled': true, ...(noWebGL2 ? {'webgl.enable-webgl2': false} : {}),
                          ...(reducedMotion ? {'ui.prefersReducedMotion': 1} : {})},
      env: {...process.env, MOZ_WEBGL_FORCE_EGL: '1'},
    })),
  },
  // The WebKitGTK MiniBrowser through WebKitWebDriver, on the X server that
  // DISPLAY names. Touch actions arrive as mouse events and the window
  // cannot be made phone-sized: no screen emulation.
  webkit: {
    screens: false,
    launch: ({noWebGL2 = false} = {}) => launchWebKit(noWebGL2 ? ['--enable-webgl=false'] : []),
  },
};

export function launch(extraArgs = []) {
  return puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--enable-unsafe-swiftshader', ...extraArgs],
  });
}

// Loads the page (or reloads it: `load`), reads the information box, runs
// `whileOpen` and closes the box with its button; returns once the first
// picture is presented. Uncaught page errors from then on are kept in
// window.pageErrors.
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
    window.pageErrors = [];
    window.addEventListener('error', (e) => window.pageErrors.push(String(e.message || e.error)));
    window.addEventListener('unhandledrejection', (e) => window.pageErrors.push(String(e.reason)));
  });
  await presents(page, 1, () => page.click('dialog button'));
  return {...box, ...(await page.evaluate(() => ({
    title: document.querySelector('title').textContent,
    favicon: document.querySelector('link[rel="icon"]').href,
  }))), ...(await canvasPlace(page))};
}

// Where the canvas and its close box are shown, in page pixels, and its
// backing store, in device pixels.
export function canvasPlace(page) {
  return page.evaluate(() => {
    const c = document.querySelector('canvas'), r = c.getBoundingClientRect();
    const b = document.querySelector('.helicoid-close').getBoundingClientRect();
    const inView = (q) => q.left >= 0 && q.top >= 0 && q.right <= innerWidth && q.bottom <= innerHeight;
    return {
      rect: {x: r.left, y: r.top, width: r.width, height: r.height},
      backing: {width: c.width, height: c.height},
      ratio: devicePixelRatio,
      whole: inView(r) && inView(b),
    };
  });
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

// The canvas as shown, in device pixels.
export async function canvasPicture(page) {
  const {rect} = await canvasPlace(page);
  return Buffer.from(await page.screenshot({clip: rect, type: 'png'}));
}

// The share of pixels of which some channel differs by more than
// `tolerance` (4 %); within `crop` ({x, y, width, height} in pixels) if given.
export function differingShare(pngA, pngB, crop = null, tolerance = 0.04) {
  const a = PNG.sync.read(pngA), b = PNG.sync.read(pngB);
  if (a.width !== b.width || a.height !== b.height) return 1;
  const {x = 0, y = 0, width = a.width, height = a.height} = crop || {};
  let differing = 0;
  for (let row = y; row < y + height; ++row) {
    for (let col = x; col < x + width; ++col) {
      const i = 4 * (row * a.width + col);
      for (let k = 0; k < 3; ++k) {
        if (Math.abs(a.data[i + k] - b.data[i + k]) > tolerance * 255) {
          differing++;
          break;
        }
      }
    }
  }
  return differing / (width * height);
}

// The trackball step of a drag from one client point to another in a window
// of `size` pixels, in the viewer's single-precision arithmetic, as
// helicoid-snapshot's --turn.
export function turnOfDrag(from, to, size = kCanvas) {
  const f = Math.fround;
  const sphere = ({x, y}) => {
    const px = f((2 * x - size) / size), py = f((size - 2 * y) / size);
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
  if (!(await page.evaluate(() => typeof axe !== 'undefined'))) await (page.addScript ? page.addScript(axeSource) : page.evaluate(axeSource));
  return page.evaluate(async () => (await axe.run(document, {resultTypes: ['violations']})).violations.map(
      (v) => `${v.id} (${v.impact}): ${v.nodes.map((n) => n.target.join(' ')).join(', ')}`));
}

// ---- WebKit: WebKitWebDriver over plain HTTP, one session a page.
const kMiniBrowser = '/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser';
// Its window rect holds a toolbar above the page.
const kToolbar = 38;
// WebDriver's codes of the keys that have names.
const kKeyCodes = {Escape: '\uE00C', Enter: '\uE007', Tab: '\uE004', Control: '\uE009', Alt: '\uE00A',
                   Meta: '\uE03D', Shift: '\uE008', ArrowLeft: '\uE012', ArrowUp: '\uE013',
                   ArrowRight: '\uE014', ArrowDown: '\uE015'};

async function freePort() {
  const server = net.createServer();
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  const port = server.address().port;
  await new Promise((resolve) => server.close(resolve));
  return port;
}

async function launchWebKit(browserArgs) {
  if (!process.env.DISPLAY) throw new Error('WebKit needs an X server (DISPLAY)');
  const port = await freePort();
  const driver = spawn(process.env.WEBKIT_WEBDRIVER || 'WebKitWebDriver', [`--port=${port}`],
                       {stdio: 'ignore'});
  const base = `http://127.0.0.1:${port}`;
  const call = async (method, url, body) => {
    const response = await fetch(base + url, {
      method, headers: {'Content-Type': 'application/json'},
      body: body === undefined ? undefined : JSON.stringify(body),
      signal: AbortSignal.timeout(30000),  // a session without a display hangs
    });
    const {value} = await response.json();
    if (!response.ok) throw new Error(`WebDriver ${method} ${url}: ${value.error}: ${value.message}`);
    return value;
  };
  for (let started = Date.now(); ;) {
    try {
      await call('GET', '/status');
      break;
    } catch (error) {
      if (Date.now() - started > 10000) throw error;
      await new Promise((r) => setTimeout(r, 50));  // the driver is not listening yet
    }
  }
  let session = null;
  const capabilities = {alwaysMatch: {
    browserName: 'MiniBrowser',
    'webkitgtk:browserOptions': {binary: kMiniBrowser, args: ['--automation', ...browserArgs]},
  }};
  return {
    async newPage() {
      if (session) await call('DELETE', `/session/${session}`);
      session = (await call('POST', '/session', {capabilities})).sessionId;
      return webKitPage((method, url, body) => call(method, `/session/${session}${url}`, body));
    },
    async close() {
      if (session) await call('DELETE', `/session/${session}`).catch(() => {});
      driver.kill();
    },
  };
}

// waitForFunction and waitForSelector that ask the page again and again through
// `evaluate`. puppeteer's own waits build their test with Function() inside
// the page, which the page's policy refuses in Firefox ESR 140 ("call to
// Function() blocked by CSP"; 153 allows it); WebKit's driver has no waits.
function polledWaits(evaluate) {
  const waitForFunction = async (fn, {timeout = 30000} = {}, ...args) => {
    for (const deadline = Date.now() + timeout; ;) {
      const value = await evaluate(fn, ...args);
      if (value) return value;
      if (Date.now() > deadline) throw new Error(`timed out waiting for ${fn}`);
      await new Promise((resolve) => setTimeout(resolve, 20));
    }
  };
  return {waitForFunction,
          waitForSelector: (selector, options) =>
              waitForFunction((s) => document.querySelector(s) !== null, options, selector)};
}

function withPolledWaits(browser) {
  const newPage = browser.newPage.bind(browser);
  browser.newPage = async () => {
    const page = await newPage();
    return Object.assign(page, polledWaits((fn, ...args) => page.evaluate(fn, ...args)));
  };
  return browser;
}

function webKitPage(call) {
  const evaluate = (fn, ...args) =>
    call('POST', '/execute/async', {
      script: `const done = arguments[arguments.length - 1];
               Promise.resolve((${fn})(...Array.from(arguments).slice(0, -1))).then(done, (e) => done({__error: String(e)}));`,
      args,
    }).then((v) => {
      if (v && v.__error) throw new Error(v.__error);
      return v;
    });
  const {waitForFunction, waitForSelector} = polledWaits(evaluate);
  const element = (selector) => call('POST', '/element', {using: 'css selector', value: selector})
    .then((e) => Object.values(e)[0]);
  const pointer = (actions) => call('POST', '/actions', {actions: [
    {type: 'pointer', id: 'mouse', parameters: {pointerType: 'mouse'}, actions}]});
  const keys = (actions) => call('POST', '/actions', {actions: [{type: 'key', id: 'keys', actions}]});
  const code = (key) => kKeyCodes[key] || key;
  let at = {x: 0, y: 0};
  return {
    goto: (url) => call('POST', '/url', {url}),
    evaluate,
    // Runs a script's text (a library, not a function) in the page.
    addScript: (source) => call('POST', '/execute/sync', {script: source, args: []}),
    waitForFunction,
    waitForSelector,
    click: async (selector) => call('POST', `/element/${await element(selector)}/click`, {}),
    $eval: (selector, fn) => evaluate(`(s) => (${fn})(document.querySelector(s))`, selector),
    $: async (selector) => (await evaluate((s) => document.querySelector(s) !== null, selector)) || null,
    keyboard: {
      press: (key) => keys([{type: 'keyDown', value: code(key)}, {type: 'keyUp', value: code(key)}]),
      down: (key) => keys([{type: 'keyDown', value: code(key)}]),
      up: (key) => keys([{type: 'keyUp', value: code(key)}]),
    },
    mouse: {
      move: (x, y) => {
        at = {x: Math.round(x), y: Math.round(y)};
        return pointer([{type: 'pointerMove', x: at.x, y: at.y, origin: 'viewport'}]);
      },
      down: () => pointer([{type: 'pointerDown', button: 0}]),
      up: () => pointer([{type: 'pointerUp', button: 0}]),
      click: (x, y) => pointer([{type: 'pointerMove', x, y, origin: 'viewport'},
                                {type: 'pointerDown', button: 0}, {type: 'pointerUp', button: 0}]),
    },
    // The viewport: the window without its toolbar.
    setViewport: ({width, height}) => call('POST', '/window/rect', {width, height: height + kToolbar}),
    async screenshot({clip}) {
      const whole = PNG.sync.read(Buffer.from(await call('GET', '/screenshot'), 'base64'));
      const part = new PNG({width: Math.round(clip.width), height: Math.round(clip.height)});
      PNG.bitblt(whole, part, Math.round(clip.x), Math.round(clip.y), part.width, part.height, 0, 0);
      return PNG.sync.write(part);
    },
  };
}
