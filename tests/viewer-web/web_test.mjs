// The browser build in a real headless Chromium, used as a person would:
// the information box, the picture against the headless renderer's, keys,
// mouse and touch drags, Esc and the close box; keyboard and screen-reader
// use, the content policy, and the installed web app without a network. In
// Firefox: keyboard and screen-reader use and the policy.
//
//   node web_test.mjs SITE_DIR SNAPSHOT_PROGRAM [ARTIFACT_DIR]
//
// SITE_DIR holds index.html, helicoid.js and helicoid.wasm (tools/web-build.sh);
// SNAPSHOT_PROGRAM is helicoid-snapshot, which draws the reference pictures.
import {execFileSync} from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import {serve, launch, launchFirefox, openViewer, presents, canvasPicture, differingShare, turnOfDrag,
        axeViolations, kCanvas, kViewport} from './web_lib.mjs';

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

// Records the page's content-policy violations from before its first script.
async function watchPolicy(page) {
  await page.evaluateOnNewDocument(() => {
    window.policyViolations = [];
    document.addEventListener('securitypolicyviolation',
                              (e) => window.policyViolations.push(`${e.violatedDirective} ${e.blockedURI}`));
  });
}

// No violation in the whole run so far, and the policy is in force: an
// inline script added now does not run, and is reported.
async function checkPolicy(page, browserName) {
  const seen = await page.evaluate(() => window.policyViolations.slice());
  const probe = await page.evaluate(() => new Promise((resolve) => {
    document.addEventListener('securitypolicyviolation', (e) => resolve({ran: window.inlineRan === true,
                                                                         directive: e.violatedDirective}));
    const script = document.createElement('script');
    script.textContent = 'window.inlineRan = true;';
    document.body.appendChild(script);
  }));
  check(seen.length === 0 && !probe.ran && /^script-src/.test(probe.directive),
        `${browserName}: content-policy violations in the run ${JSON.stringify(seen)}; ` +
            `an inline script is refused (${probe.directive}) and ${probe.ran ? 'ran' : 'did not run'}`);
}

// The open dialog's accessible name and description as the browser has them:
// Chromium's accessibility tree over CDP; Firefox (WebDriver BiDi) answers
// only whether a dialog of a given name exists, and the description is then
// the text its aria-describedby names.
async function dialogInTree(page) {
  if (page.browser().protocol === 'cdp') {
    return (await page.accessibility.snapshot()).children.find((node) => node.role === 'dialog') ?? {};
  }
  const caption = await page.$eval('dialog div', (div) => div.textContent.trim());
  const named = await page.$(`aria/${caption}[role="dialog"]`);
  const described = named && (await named.evaluate(
      (dialog) => document.getElementById(dialog.getAttribute('aria-describedby'))?.textContent));
  return {name: named ? caption : null, description: described ?? null};
}

// Opens the viewer as openViewer does, with axe-core's rules and the
// dialog's accessible name checked while the box is open and after OK.
async function openAccessibleViewer(page, url, browserName) {
  const found = {};
  const box = await openViewer(page, url, {whileOpen: async () => {
    found.open = await axeViolations(page);
    Object.assign(found, await dialogInTree(page));
  }});
  found.afterOk = await axeViolations(page);
  check(found.open.length === 0 && found.afterOk.length === 0,
        `${browserName}: axe-core finds ${JSON.stringify(found.open)} with the box open and ` +
            `${JSON.stringify(found.afterOk)} after OK`);
  check(found.name?.trim() === box.caption.trim() && found.description?.trim() === box.text.trim(),
        `${browserName}: the dialog is named ${JSON.stringify(found.name)}` +
            ` and described ${JSON.stringify(found.description)} in the browser's accessibility tree`);
  return box;
}

// Tab reaches the close box; Enter there (or `key`: ' ' is Space) ends the viewer
// with exit code 0.
async function checkKeyboardClose(page, browserName, key = 'Enter') {
  await page.keyboard.press('Tab');
  const focused = await page.evaluate(() => document.activeElement.getAttribute('aria-label'));
  await page.keyboard.press(key);
  const end = await ended(page);
  check(focused === 'Close the viewer' && end.code === '0' && end.canvases === 0,
        `${browserName}: Tab focuses ${JSON.stringify(focused)}, ${JSON.stringify(key)} there: ${JSON.stringify(end)}`);
}

const server = await serve(site);
const browser = await launch();
try {
  // ---- Mouse and keys.
  const page = await browser.newPage();
  await page.setViewport(kViewport);
  await watchPolicy(page);
  const box = await openAccessibleViewer(page, server.url, 'Chromium');
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

  // Esc keeps its meaning while the close box has the focus.
  await checkKeyboardClose(page, 'Chromium', 'Escape');
  check(/ended/.test(await page.$eval('[role=status]', (e) => e.textContent)), 'the status line says so');
  await checkPolicy(page, 'Chromium');

  // ---- Installed, and opened again without a network.
  const app = await browser.newPage();
  await app.setViewport(kViewport);
  await watchPolicy(app);
  await openViewer(app, server.url);
  const cdp = await app.createCDPSession();
  const manifest = await cdp.send('Page.getAppManifest');
  const {installabilityErrors} = await cdp.send('Page.getInstallabilityErrors');
  check(manifest.url.endsWith('/helicoid.webmanifest') && manifest.errors.length === 0 &&
            installabilityErrors.length === 0,
        `Chromium: manifest ${manifest.url} with errors ${JSON.stringify(manifest.errors)}, ` +
            `installability errors ${JSON.stringify(installabilityErrors)}`);
  const worker = await app.waitForFunction(
      async () => (await navigator.serviceWorker.getRegistration())?.active?.state === 'activated',
      {timeout: 10000}).then(() => 'activated', () => 'not active');
  server.offline = true;
  await app.setOfflineMode(true);
  const offlineLoad = async () => {
    const response = await app.reload();
    const cached = response?.fromServiceWorker() === true;
    check(worker === 'activated' && cached,
          `the worker is ${worker}; offline, the page ${cached ? 'comes' : 'does not come'} from it`);
  };
  await openViewer(app, server.url, {load: offlineLoad});
  await matches(app, 'start-up-offline');
  await checkKeyboardClose(app, 'Chromium offline');
  await checkPolicy(app, 'Chromium offline');
  await app.setOfflineMode(false);
  server.offline = false;

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
}

// ---- Firefox: keyboard and screen-reader use, and the policy.
const firefox = await launchFirefox();
try {
  const page = await firefox.newPage();
  await page.setViewport(kViewport);
  await watchPolicy(page);
  await openAccessibleViewer(page, server.url, 'Firefox');
  await checkKeyboardClose(page, 'Firefox', ' ');
  await checkPolicy(page, 'Firefox');
} finally {
  await firefox.close();
  server.close();
}

if (failures > 0) {
  console.log(`${failures} check(s) failed; pictures in ${artifacts}`);
  process.exit(1);
}
console.log('all browser checks passed');
