// The browser build in a real browser engine, used as a person would: the
// information box, the pictures against the headless renderer's, keys with
// and without modifiers, mouse and touch drags, a lost and restored GPU
// context, the canvas on other screens, Esc and the close box, and a browser
// without WebGL 2; without a mouse: arrows and Space, the page's controls
// with axe-core's rules, and the help line; in Chromium and Firefox also
// reduced motion, keyboard and screen-reader use (axe-core) and the content
// policy, and in Chromium the installed web app without a network and its
// worker through a deploy half done. One group of checks per function; every
// engine runs the same groups, except those its driver lacks.
//
//   node web_test.mjs ENGINE SITE_DIR SNAPSHOT_PROGRAM [ARTIFACT_DIR]
//
// ENGINE is chromium, firefox or webkit (web_lib.mjs, kEngines); SITE_DIR
// holds index.html, helicoid.js and helicoid.wasm (tools/web-build.sh);
// SNAPSHOT_PROGRAM is helicoid-snapshot, which draws the reference pictures.
import {execFileSync} from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import {serve, kEngines, openViewer, canvasPlace, presents, canvasPicture, differingShare, turnOfDrag,
        axeViolations, kCanvas, kViewport} from './web_lib.mjs';

const [engineName, site, snapshot, artifactDir] = process.argv.slice(2);
const engine = kEngines[engineName];
// puppeteer drives Chromium and Firefox; WebKit's thin WebDriver page has no
// accessibility tree, no script before the page's own, and no CDP.
const puppeteerEngine = engineName !== 'webkit';
if (!engine || !site || !snapshot) {
  console.error(`usage: node web_test.mjs ${Object.keys(kEngines).join('|')} SITE_DIR SNAPSHOT_PROGRAM [ARTIFACT_DIR]`);
  process.exit(2);
}
if (!fs.existsSync(path.join(site, 'helicoid.wasm'))) {
  console.error(`FAIL: no browser build in ${site} (tools/web-build.sh writes one)`);
  process.exit(1);
}
const artifacts = artifactDir || fs.mkdtempSync('/tmp/helicoid-web-');
fs.mkdirSync(artifacts, {recursive: true});

let failures = 0;
function check(ok, what) {
  console.log(`${ok ? 'ok' : 'FAIL'}: ${engineName}: ${what}`);
  if (!ok) failures++;
}

function reference(name, size, options) {
  const file = path.join(artifacts, `reference-${name}.png`);
  execFileSync(snapshot, ['--size', String(size), ...options, '-o', file]);
  return fs.readFileSync(file);
}

// Where the start-up picture's specular highlights lie, as shares of the
// window. A wrong specular term changes them by a few levels only, under the
// whole picture's tolerance, so there the bar is 5 % of the pixels off by
// more than 1 %.
const kHighlights = {x: 0.50, y: 0.25, width: 0.25, height: 0.625};

// The canvas against helicoid-snapshot's picture of the same size: at most
// 0.5 % of the pixels may differ by more than 4 % in a channel, and with
// `highlights` the bar above. Returns the canvas's picture.
async function matches(page, name, options = [], {size = kCanvas, highlights = false} = {}) {
  const picture = await canvasPicture(page);
  fs.writeFileSync(path.join(artifacts, `web-${engineName}-${name}.png`), picture);
  const expected = reference(name, size, options);
  const share = differingShare(picture, expected);
  let what = `${name}: ${(100 * share).toFixed(3)} % of pixels differ from helicoid-snapshot ${options.join(' ')}`;
  let highlightShare = 0;
  if (highlights) {
    const crop = Object.fromEntries(Object.entries(kHighlights).map(([k, v]) => [k, Math.round(v * size)]));
    highlightShare = differingShare(picture, expected, crop, 0.01);
    what += ` (${(100 * highlightShare).toFixed(2)} % of the highlights by 1 %)`;
  }
  check(share <= 0.005 && highlightShare <= 0.05, what);
  return picture;
}

// Whether frames keep coming and change the picture; a model at rest
// presents no frame at all.
async function spinning(page) {
  const a = await canvasPicture(page);
  const framesCame = await presents(page, 3, undefined, 1500).then(() => true, () => false);
  return framesCame && differingShare(a, await canvasPicture(page)) > 0;
}

// The drag of the picture checks: a press turns the model once by the
// pending step (2 degrees about (0.3, 0.2, 0.4) at start), one drag step
// turns it as the same step does in the headless renderer.
const kFrom = {x: 150, y: 120}, kTo = {x: 170, y: 131};
const turns = (from, to, size) => ['--turn', '2,0.3,0.2,0.4', '--turn', turnOfDrag(from, to, size)];

// Ends the viewer by `action`: exit code 0 on the status line, no canvas
// left and no page error.
async function endsCleanly(page, how, action) {
  await action();
  await page.waitForFunction(() => document.getElementById('status').dataset.exitCode !== undefined,
                             {timeout: 10000});
  const end = await page.evaluate(() => ({
    code: document.getElementById('status').dataset.exitCode,
    line: document.getElementById('status').textContent,
    canvases: document.querySelectorAll('canvas').length,
    pageErrors: window.pageErrors,
  }));
  check(end.code === '0' && end.canvases === 0 && /exit code 0/.test(end.line) && end.pageErrors.length === 0,
        `${how}: ${JSON.stringify(end)}`);
}

// ---- The check groups, in the order they run on one page.

function theBox(box) {
  check(box.caption === process.env.HELICOID_INFO_CAPTION &&
            box.text === ' mouse: touch the window image for movement----- ',
        `the box shows caption ${JSON.stringify(box.caption)} and text ${JSON.stringify(box.text)}`);
  check(box.canvasesWhileOpen === 0 && box.icons === 0,
        'no canvas while the box is open, and the box has no icon');
  check(box.title === process.env.HELICOID_WINDOW_TITLE && box.favicon.startsWith('data:image/png'),
        `page title ${JSON.stringify(box.title)} and the icon as favicon`);
  const {rect, backing} = box;
  check(rect.x === 50 && rect.y === 50 && rect.width === kCanvas && backing.width === kCanvas,
        `canvas ${backing.width}x${backing.height} shown at ${rect.x},${rect.y} ${rect.width}x${rect.height}`);
}

// The start-up picture and the key commands 'p' and 'f'; returns the picture
// of line mode.
async function pictures(page) {
  await matches(page, 'start-up', [], {highlights: true});
  await presents(page, 1, () => page.keyboard.press('p'));
  const wireframe = await canvasPicture(page);
  await presents(page, 1, () => page.keyboard.press('f'));
  await matches(page, 'fog-wireframe', ['--fog', '--wireframe']);
  await presents(page, 1, () => page.keyboard.press('p'));
  await matches(page, 'fog', ['--fog']);
  await presents(page, 1, () => page.keyboard.press('f'));
  return {wireframe};
}

// A new device pixel ratio after load: the backing store follows it and the
// picture is drawn again, sharp, at the new size.
async function ratioChange(page) {
  await presents(page, 1, () => page.setViewport({...kViewport, deviceScaleFactor: 2}));
  const place = await canvasPlace(page);
  check(place.backing.width === 2 * kCanvas && place.rect.width === kCanvas,
        `pixel ratio 2 after load: backing store ${JSON.stringify(place.backing)}`);
  await matches(page, 'start-up-ratio-2', [], {size: 2 * kCanvas, highlights: true});
  await presents(page, 1, () => page.setViewport(kViewport));
}

// Ctrl+F, Alt+F and Cmd/Meta+F are no command: after each, 'p' alone turns
// line mode on, the picture the same to the pixel. The browser keeps its own
// action for them, never for a plain 'p'.
async function modifierKeys(page, {wireframe}) {
  await page.evaluate(() => {
    window.keptDefaults = [];
    window.addEventListener('keydown', (e) => window.keptDefaults.push([e.key, !e.defaultPrevented]));
  });
  for (const modifier of ['Control', 'Alt', 'Meta']) {
    await page.keyboard.down(modifier);
    await page.keyboard.press('f');
    await page.keyboard.up(modifier);
    await presents(page, 1, () => page.keyboard.press('p'));
    const share = differingShare(await canvasPicture(page), wireframe);
    check(share === 0, `${modifier}+F then 'p': ${(100 * share).toFixed(3)} % of pixels differ from line mode`);
    await presents(page, 1, () => page.keyboard.press('p'));
  }
  const kept = await page.evaluate(() => window.keptDefaults.filter(([key]) => key === 'f' || key === 'p'));
  check(kept.every(([key, keptDefault]) => keptDefault === (key === 'f')) && kept.length === 9,
        `the browser keeps its action for F with a modifier, not for 'p': ${JSON.stringify(kept)}`);
}

const pct = (share) => `${(100 * share).toFixed(1)} %`;

// A flick: pressed at kFrom, moved to kTo and released there, away from the
// press.
async function flick(page) {
  await page.mouse.move(50 + kFrom.x, 50 + kFrom.y);
  await page.mouse.down();
  await presents(page, 1, () => page.mouse.move(50 + kTo.x, 50 + kTo.y));
  await presents(page, 1, () => page.mouse.up());
}

// Holds `down` until `frames` frames have come, then lets it go (`up`); returns
// the share of the canvas's pixels it changed.
async function held(page, down, up, frames = 5) {
  const before = await canvasPicture(page);
  await presents(page, frames, down);
  await up();
  return differingShare(before, await canvasPicture(page));
}

async function mouseDrags(page) {
  await page.mouse.move(50 + kFrom.x, 50 + kFrom.y);
  await presents(page, 1, () => page.mouse.down());
  await presents(page, 1, () => page.mouse.move(50 + kTo.x, 50 + kTo.y));
  await matches(page, 'mouse-drag', turns(kFrom, kTo, kCanvas));
  // Released outside the canvas: the capture still brings the release.
  await page.mouse.move(380, 300);
  await page.mouse.up();
  check(await spinning(page), 'released outside the window, away from the press, the model spins');
  await presents(page, 1, () => page.mouse.click(50 + 100, 50 + 100));
  check(!(await spinning(page)), 'a click stops it');
}

// The keyboard as a mouse: Space stops a model that a flick set spinning; an
// arrow held turns it and, let go, leaves it spinning as a flick does. On a
// focused page control the arrows and Space are the control's: no turn, and
// Space presses it.
async function keyboardTurns(page) {
  await flick(page);
  await presents(page, 1, () => page.keyboard.press(' '));
  check(!(await spinning(page)), 'Space stops a model that a flick set spinning');
  const turned = await held(page, () => page.keyboard.down('ArrowLeft'), () => page.keyboard.up('ArrowLeft'));
  check(turned > 0.02 && (await spinning(page)),
        `the left arrow held turns the model (${pct(turned)} of the pixels changed) and let go leaves it spinning`);
  await presents(page, 1, () => page.keyboard.press(' '));
  check(!(await spinning(page)), 'Space then stops it');
  const rest = await canvasPicture(page);
  await page.evaluate(() => document.getElementById('fog').focus());
  await page.keyboard.press('ArrowRight');
  await presents(page, 1, () => page.keyboard.press(' '));
  const pressed = await page.$eval('#fog', (b) => b.getAttribute('aria-pressed'));
  await presents(page, 1, () => page.keyboard.press(' '));
  const share = differingShare(rest, await canvasPicture(page));
  check(pressed === 'true' && share === 0,
        `on the focused fog control Space presses it (aria-pressed ${pressed}), twice back to the same ` +
            `picture, and the right arrow turns nothing (${pct(share)} changed)`);
  await page.evaluate(() => document.querySelector('canvas').focus());
}

// The arrows drag from the window's centre: a held arrow moves the drag by
// 1/90 of the window at each tick of the page's timer, one frame a step, so
// Left held for five steps, then Up for five (Left let go), give the
// pictures helicoid-snapshot draws for a mouse drag along the same path,
// through the same trackball. The test ticks the page's timer itself.
async function arrowsDragFromTheCentre(page) {
  await page.evaluate(() => {
    const setInterval = window.setInterval;
    window.setInterval = (f, ms, ...rest) => (ms === 40 ? (window.tick = f, -1) : setInterval(f, ms, ...rest));
  });
  const path = [{x: kCanvas / 2, y: kCanvas / 2}], d = Math.round(kCanvas / 90);
  const dragTurns = () => path.slice(1).flatMap((to, i) => ['--turn', turnOfDrag(path[i], to)]);
  const step = async (action, dx, dy) => {
    await presents(page, 1, action);
    path.push({x: path.at(-1).x + dx * d, y: path.at(-1).y + dy * d});
  };
  await step(() => page.keyboard.down('ArrowLeft'), -1, 0);
  for (let i = 0; i < 4; i++) await step(() => page.evaluate(() => window.tick()), -1, 0);
  await matches(page, 'arrow-left', dragTurns());
  await step(() => page.keyboard.down('ArrowUp'), -1, -1);
  await page.keyboard.up('ArrowLeft');
  for (let i = 0; i < 4; i++) await step(() => page.evaluate(() => window.tick()), 0, -1);
  await matches(page, 'arrow-left-then-up', dragTurns());
  await page.keyboard.up('ArrowUp');
}

// With reduced motion asked for, a flick or an arrow held turns the model and
// leaves it still. Where the driver can switch the setting (`ask`), it is
// switched on while the model spins, which stops it, and off at the end.
async function reducedMotion(page, ask = null) {
  let stopped = 'not switched';
  if (ask) {
    await flick(page);
    await presents(page, 1, () => ask(true));
    stopped = !(await spinning(page));
  }
  const before = await canvasPicture(page);
  await flick(page);
  const flicked = differingShare(before, await canvasPicture(page));
  const stillAfterFlick = !(await spinning(page));
  const turned = await held(page, () => page.keyboard.down('ArrowUp'), () => page.keyboard.up('ArrowUp'));
  const stillAfterArrow = !(await spinning(page));
  if (ask) await ask(false);
  check(stopped !== false && flicked > 0.02 && stillAfterFlick && turned > 0.02 && stillAfterArrow,
        `reduced motion: the spinning model stops when it is asked for (${stopped}); a flick turns it ` +
            `(${pct(flicked)} changed) and leaves it still (${stillAfterFlick}), and so does an arrow held ` +
            `(${pct(turned)}, ${stillAfterArrow})`);
}

// Firefox: the same in a browser launched with reduced motion.
async function reducedMotionFromLaunch(url) {
  const browser = await engine.launch({reducedMotion: true});
  try {
    const page = await browser.newPage();
    await page.setViewport(kViewport);
    await openViewer(page, url);
    await reducedMotion(page);
  } finally {
    await browser.close();
  }
}

// The page's controls, used with `finger`: each shown whole outside the
// canvas and at least 24 pixels each way; fog changes the background, the
// wireframe the picture (little, seen from the side), each pressed and
// announced; a turn control held turns the model and Stop stops it; the help
// line names the keys.
async function pageControls(page, finger) {
  const found = await page.evaluate(() => {
    const c = document.querySelector('canvas').getBoundingClientRect();
    const shown = (r) => r.width >= 24 && r.height >= 24 && r.left >= 0 && r.top >= 0 &&
                         r.right <= innerWidth && r.bottom <= innerHeight &&
                         (r.right <= c.left || r.left >= c.right || r.bottom <= c.top || r.top >= c.bottom);
    const help = document.getElementById('help');
    return {
      help: shown(help.getBoundingClientRect()) && !help.hidden ? help.textContent : '',
      controls: Object.fromEntries([...document.querySelectorAll('#controls button')].map((b) => {
        const r = b.getBoundingClientRect();
        return [b.getAttribute('aria-label') || b.textContent,
                {x: r.left + r.width / 2, y: r.top + r.height / 2, size: `${r.width}x${r.height}`, shown: shown(r)}];
      })),
    };
  });
  const names = ['Fog', 'Wireframe', 'Turn left', 'Turn up', 'Turn down', 'Turn right', 'Stop'];
  const sizes = Object.entries(found.controls).map(([name, c]) => `${name} ${c.size}${c.shown ? '' : ' NOT SHOWN'}`);
  check(names.every((name) => found.controls[name]?.shown) && /arrows.*Space.*f fog.*p wireframe.*Esc/.test(found.help),
        `controls shown whole outside the canvas: ${sizes.join(', ')}; help line ${JSON.stringify(found.help)}`);
  const corner = {x: 0, y: 0, width: 8, height: 8};
  const tap = async (name) => {
    const before = await canvasPicture(page);
    await presents(page, 1, () => finger.tap(found.controls[name].x, found.controls[name].y));
    const after = await canvasPicture(page);
    return {share: differingShare(before, after, corner), whole: differingShare(before, after),
            pressed: await page.$eval(`#${name.toLowerCase()}`, (b) => b.getAttribute('aria-pressed')),
            said: await page.$eval('#announcer', (p) => p.textContent)};
  };
  const fog = await tap('Fog');
  const wireframe = await tap('Wireframe');
  const violations = await axeViolations(page);
  await tap('Fog');
  await tap('Wireframe');
  check(fog.share === 1 && fog.pressed === 'true' && fog.said === 'Fog on' && wireframe.whole > 0.005 &&
            wireframe.pressed === 'true' && wireframe.said === 'Wireframe on' && violations.length === 0,
        `fog by its control: ${JSON.stringify(fog)}; wireframe: ${JSON.stringify(wireframe)}; ` +
            `axe-core with both pressed: ${JSON.stringify(violations)}`);
  const up = found.controls['Turn up'];
  const turned = await held(page, () => finger.down(up.x, up.y), () => finger.up());
  check(turned > 0.02 && (await spinning(page)), `Turn up held turns the model (${pct(turned)} changed)`);
  await presents(page, 1, () => finger.tap(found.controls.Stop.x, found.controls.Stop.y));
  check(!(await spinning(page)), 'Stop stops it');
}

// The browser takes the GL context away: a key still counts and presents
// into nothing, a line on the page says so after a few seconds, and once the
// context is back the same picture is drawn and a drag turns the model.
async function contextLoss(page, consoleLines) {
  const before = await canvasPicture(page);
  await page.evaluate(() => new Promise((resolve) => {
    const canvas = document.querySelector('canvas');
    canvas.addEventListener('webglcontextlost', () => setTimeout(resolve), {once: true});
    window.loseContext = canvas.getContext('webgl2').getExtension('WEBGL_lose_context');
    window.loseContext.loseContext();
  }));
  const linesBefore = consoleLines.length;
  await presents(page, 1, () => page.keyboard.press('p'));
  await presents(page, 1, () => page.keyboard.press('p'));
  await page.waitForSelector('.helicoid-notice', {timeout: 10000});
  await presents(page, 1, () => page.evaluate(() => window.loseContext.restoreContext()));
  const share = differingShare(before, await canvasPicture(page));
  const noticeGone = await page.evaluate(() => document.querySelector('.helicoid-notice') === null);
  check(share <= 0.005 && noticeGone,
        `restored context: ${(100 * share).toFixed(3)} % of pixels differ from before the loss; notice gone: ${noticeGone}`);
  // The press of a model at rest turns it by no step: the motion does.
  await flick(page);
  const turned = differingShare(before, await canvasPicture(page));
  await presents(page, 1, () => page.mouse.click(50 + 100, 50 + 100));
  const flood = consoleLines.slice(linesBefore);
  check(turned > 0.02 && flood.length <= 2,
        `after the restore a drag turns the model (${(100 * turned).toFixed(1)} % changed); ` +
        `console lines since the loss: ${JSON.stringify(flood)}`);
}

// A phone (390 x 844, ratio 3, touch), then a window resized to 800 x 600:
// the canvas and its close box whole in view, a backing store of the shown
// size times the ratio, and a touch drag that turns the model as a mouse
// drag between the same window points does.
async function phone(page, url) {
  // (Touch and mobile stay on: puppeteer reloads the page when they change.)
  const touch = {hasTouch: true, isMobile: true};
  await page.setViewport({width: 390, height: 844, deviceScaleFactor: 3, ...touch});
  const {rect, backing, whole} = await openViewer(page, url);
  const window = Math.floor(0.8 * 844);
  check(whole && backing.width === Math.round(3 * rect.width) && rect.width < 390,
        `phone: ${window}-pixel window shown whole at ${JSON.stringify(rect)}, backing ${JSON.stringify(backing)}`);
  // Page offsets whose window points are whole pixels apart as the viewer sees them.
  const toWindow = ({x, y}) => ({x: Math.floor(x * window / rect.width), y: Math.floor(y * window / rect.height)});
  const from = {x: 80, y: 64}, to = {x: 91, y: 70};
  const finger = fingerOf(page);
  await presents(page, 1, () => finger.down(rect.x + from.x, rect.y + from.y));
  await presents(page, 1, () => finger.move(rect.x + to.x, rect.y + to.y));
  await matches(page, `phone-${finger.name}-drag`, turns(toWindow(from), toWindow(to), window),
                {size: backing.width});
  await finger.up();
  check(await spinning(page), `a ${finger.name} released away from the press leaves it spinning`);
  await presents(page, 1, () => finger.tap(rect.x + 100, rect.y + 100));
  await pageControls(page, finger);
  await resized(page, {width: 800, height: 600, deviceScaleFactor: 1, ...touch});
}

// A touch where the driver has one; Firefox's BiDi refuses touch actions
// here, so it drags with the mouse.
function fingerOf(page) {
  if (!engine.touch) {
    const m = page.mouse;
    return {name: 'mouse', down: async (x, y) => { await m.move(x, y); await m.down(); },
            move: (x, y) => m.move(x, y), up: () => m.up(), tap: (x, y) => m.click(x, y)};
  }
  const t = page.touchscreen;
  return {name: 'touch', down: (x, y) => t.touchStart(x, y), move: (x, y) => t.touchMove(x, y),
          up: () => t.touchEnd(), tap: (x, y) => t.tap(x, y)};
}

async function resized(page, viewport) {
  await presents(page, 1, () => page.setViewport(viewport));
  const {rect, backing, ratio, whole} = await canvasPlace(page);
  check(whole && backing.width === Math.floor(rect.width * ratio),
        `resized to ${viewport.width}x${viewport.height}: shown whole at ${JSON.stringify(rect)}, backing ${JSON.stringify(backing)}`);
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
async function checkPolicy(page) {
  const seen = await page.evaluate(() => window.policyViolations.slice());
  const probe = await page.evaluate(() => new Promise((resolve) => {
    document.addEventListener('securitypolicyviolation', (e) => resolve({ran: window.inlineRan === true,
                                                                         directive: e.violatedDirective}));
    const script = document.createElement('script');
    script.textContent = 'window.inlineRan = true;';
    document.body.appendChild(script);
  }));
  check(seen.length === 0 && !probe.ran && /^script-src/.test(probe.directive),
        `content-policy violations in the run ${JSON.stringify(seen)}; ` +
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
async function openAccessibleViewer(page, url) {
  const found = {};
  const box = await openViewer(page, url, {whileOpen: async () => {
    found.open = await axeViolations(page);
    Object.assign(found, await dialogInTree(page));
  }});
  found.afterOk = await axeViolations(page);
  check(found.open.length === 0 && found.afterOk.length === 0,
        `axe-core finds ${JSON.stringify(found.open)} with the box open and ` +
            `${JSON.stringify(found.afterOk)} after OK`);
  check(found.name?.trim() === box.caption.trim() && found.description?.trim() === box.text.trim(),
        `the dialog is named ${JSON.stringify(found.name)}` +
            ` and described ${JSON.stringify(found.description)} in the browser's accessibility tree`);
  return box;
}

// Tab reaches the close box; `key` there (Enter, Space as ' ', or Esc, which
// keeps its meaning) ends the viewer cleanly.
async function keyboardClose(page, key) {
  let focused;
  await endsCleanly(page, `Tab, then ${JSON.stringify(key)} on the focused close box`, async () => {
    await page.keyboard.press('Tab');
    focused = await page.evaluate(() => document.activeElement.getAttribute('aria-label'));
    await page.keyboard.press(key);
  });
  check(focused === 'Close the viewer', `Tab focuses ${JSON.stringify(focused)}`);
}

// Chromium: the manifest is valid and the page installable, the service
// worker active, and with the network gone a reload starts the viewer from
// the worker and draws the same picture.
async function installedOffline(browser, server) {
  const app = await browser.newPage();
  await app.setViewport(kViewport);
  await watchPolicy(app);
  await openViewer(app, server.url);
  const cdp = await app.createCDPSession();
  const manifest = await cdp.send('Page.getAppManifest');
  const {installabilityErrors} = await cdp.send('Page.getInstallabilityErrors');
  check(manifest.url.endsWith('/helicoid.webmanifest') && manifest.errors.length === 0 &&
            installabilityErrors.length === 0,
        `manifest ${manifest.url} with errors ${JSON.stringify(manifest.errors)}, ` +
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
  await keyboardClose(app, 'Enter');
  await checkPolicy(app);
  await app.setOfflineMode(false);
  server.offline = false;
}

// Chromium: a deploy caught half done, the server offering a new worker
// while it answers a wrong helicoid.wasm: the install fails and keeps no
// cache, and the old worker goes on serving its own build, also when the new
// worker is the same build's (its cache name the old one's), and offline.
// The page says once why the offline copy was not kept. Once the files are
// whole the new worker takes over and removes the old build's cache, and no
// cache of another scope on the origin.
async function workerKeepsItsBuild(browser, server) {
  const wasmBytes = fs.statSync(path.join(site, 'helicoid.wasm')).size;
  // A context of its own: no page of the earlier groups holds on to its worker.
  const context = await browser.createBrowserContext();
  const page = await context.newPage();
  await page.setViewport(kViewport);
  await page.goto(server.url);
  await page.waitForFunction(
      async () => (await navigator.serviceWorker.getRegistration())?.active?.state === 'activated',
      {timeout: 10000});
  await page.reload();  // now from the worker
  const before = await page.evaluate(async () => {
    await (await caches.open(`helicoid ${location.origin}/elsewhere/ 1`)).put('x', new Response('x'));
    return (await caches.keys()).sort();
  });
  const update = (target) => target.evaluate(async () => {
    const registration = await navigator.serviceWorker.getRegistration();
    await registration.update().catch(() => {});
    const worker = registration.installing;
    await new Promise((resolve) => {
      const settled = () => !worker || worker.state !== 'installing';
      if (settled()) resolve();
      worker?.addEventListener('statechange', () => settled() && resolve());
    });
    const wasm = await (await fetch('helicoid.wasm')).arrayBuffer();
    return {worker: worker?.state ?? 'none', caches: (await caches.keys()).sort(), wasm: wasm.byteLength};
  });
  // The next build, which takes over as soon as it is installed.
  const nextBuild = (data) => String(data).replace(/const kVersion = '[^']*'/, "const kVersion = 'next'") +
      "self.addEventListener('install', () => self.skipWaiting());\n";
  const said = [];
  page.on('console', (m) => m.text().includes('offline copy') && said.push(m.text()));
  for (const worker of [(data) => `${data}// changed alone\n`, nextBuild]) {
    server.override = {'/service-worker.js': worker, '/helicoid.wasm': () => 'not this build'};
    const refused = await update(page);
    check(refused.worker === 'redundant' && JSON.stringify(refused.caches) === JSON.stringify(before) &&
              refused.wasm === wasmBytes,
          `a new worker (${worker === nextBuild ? 'the next build' : 'this build'}) while the server has a ` +
              `wrong helicoid.wasm: ${JSON.stringify(refused)}; the old build serves ${refused.wasm} of ${wasmBytes} bytes`);
  }
  const announced = await page.$eval('#announcer', (e) => e.textContent);
  check(said.length === 1 && announced === "The offline copy could not be kept: the server's files differ from this build.",
        `said once: ${JSON.stringify(said)}; announced ${JSON.stringify(announced)}`);
  server.offline = true;
  await page.setOfflineMode(true);
  await openViewer(page, server.url, {load: () => page.reload()});
  await matches(page, 'start-up-offline-after-failed-installs');
  await page.setOfflineMode(false);
  server.offline = false;
  // (A page that the old worker serves keeps it from handing over here: reload
  // the page past it.)
  server.override = {'/service-worker.js': nextBuild};
  await page.setBypassServiceWorker(true);
  await page.reload();
  const accepted = await update(page);
  const old = before.find((name) => name.startsWith(`helicoid ${server.url} `));
  const kept = await page.waitForFunction(async (old) => !(await caches.keys()).includes(old), {timeout: 10000}, old)
                   .then(() => page.evaluate(async () => (await caches.keys()).sort()), () => 'not activated');
  check(['installed', 'activating', 'activated'].includes(accepted.worker) && JSON.stringify(kept) === JSON.stringify(
            [...before.filter((name) => name !== old), `helicoid ${server.url} next`].sort()),
        `whole files: the new worker is ${accepted.worker}; once it takes over the caches are ${JSON.stringify(kept)}`);
  server.override = {};
  await context.close();
}

// Without WebGL 2 the viewer cannot draw: it says so in a box and ends with
// exit code 1, its window gone.
async function withoutWebGL2(url) {
  const browser = await engine.launch({noWebGL2: true});
  try {
    const page = await browser.newPage();
    await page.setViewport(kViewport);
    await page.goto(url);
    await page.waitForSelector('dialog[open]');
    await page.click('dialog button');
    await page.waitForFunction(() => document.querySelector('.helicoid-box-caption')?.textContent === 'Error');
    const text = await page.$eval('.helicoid-box-text', (e) => e.textContent);
    const errorIcon = (await page.$('dialog[role=alertdialog] .helicoid-box-icon-1')) !== null;
    await page.click('dialog button');
    await page.waitForFunction(() => document.getElementById('status').dataset.exitCode !== undefined);
    const end = await page.evaluate(() => ({
      code: document.getElementById('status').dataset.exitCode,
      canvases: document.querySelectorAll('canvas').length,
    }));
    check(text === 'wglCreateContext failed' && errorIcon && end.code === '1' && end.canvases === 0,
          `no WebGL 2: error box ${JSON.stringify(text)} (icon: ${errorIcon}), then ${JSON.stringify(end)}`);
  } finally {
    await browser.close();
  }
}

const server = await serve(site);
try {
  const browser = await engine.launch();
  try {
    const page = await browser.newPage();
    const consoleLines = [];
    page.on?.('console', (m) => consoleLines.push(`${m.type()}: ${m.text()}`));
    await page.setViewport(kViewport);
    if (puppeteerEngine) await watchPolicy(page);
    theBox(await (puppeteerEngine ? openAccessibleViewer : openViewer)(page, server.url));
    const shown = await pictures(page);
    if (engine.screens) await ratioChange(page);
    await modifierKeys(page, shown);
    await mouseDrags(page);
    await keyboardTurns(page);
    if (engineName === 'chromium') {
      await reducedMotion(page, (on) => page.emulateMediaFeatures(
          [{name: 'prefers-reduced-motion', value: on ? 'reduce' : 'no-preference'}]));
    }
    await contextLoss(page, consoleLines);
    if (puppeteerEngine) {
      await keyboardClose(page, engineName === 'firefox' ? ' ' : 'Escape');
      await checkPolicy(page);
    } else {
      await endsCleanly(page, 'Esc', () => page.keyboard.press('Escape'));
    }

    const second = await browser.newPage();
    if (engine.screens) {
      await phone(second, server.url);
    } else {
      await second.setViewport(kViewport);
      await openViewer(second, server.url);
      await pageControls(second, fingerOf(second));
      await resized(second, {width: 460, height: 220});
    }
    await endsCleanly(second, 'the close box', () => second.click('.helicoid-close'));
    const third = await browser.newPage();
    await third.setViewport(kViewport);
    await openViewer(third, server.url);
    await arrowsDragFromTheCentre(third);
    if (engineName === 'chromium') {
      await installedOffline(browser, server);
      await workerKeepsItsBuild(browser, server);
    }
  } finally {
    await browser.close();
  }
  await withoutWebGL2(server.url);
  if (engineName === 'firefox') await reducedMotionFromLaunch(server.url);
} finally {
  server.close();
}

if (failures > 0) {
  console.log(`${failures} check(s) failed in ${engineName}; pictures in ${artifacts}`);
  process.exit(1);
}
console.log(`all browser checks passed in ${engineName}`);
