// The browser build's figures, measured in headless Chromium on its bench page
// (index.html?bench, which answers the information box itself):
//   - the CPU time of a frame's batch, from glBegin to the draw call, filled
//     and in wireframe (the spin after start-up: 100 frames each);
//   - the time from page load to the first picture, the box's own time left
//     out (median of 3 loads);
//   - the transfer size of the page (its HTML, script and styles), the .js and
//     the .wasm, gzip -9.
//
//   node bench/web-bench.mjs [SITE_DIR]      (default: build-web/site)
// Needs tests/viewer-web/node_modules (npm ci there). Never part of the tests.
import fs from 'node:fs';
import path from 'node:path';
import zlib from 'node:zlib';
import {serve, launch} from '../tests/viewer-web/web_lib.mjs';

const site = path.resolve(process.argv[2] || 'build-web/site');
const mean = (v) => v.reduce((a, b) => a + b, 0) / v.length;
const median = (v) => v.slice().sort((a, b) => a - b)[v.length >> 1];
const ms = (v) => `${v.toFixed(3)} ms`;

const server = await serve(site);
const browser = await launch();
const runs = [];
try {
  for (let i = 0; i < 3; ++i) {
    // A context of its own each time: the page's service worker would
    // otherwise serve the later loads from its cache.
    const context = await browser.createBrowserContext();
    const page = await context.newPage();
    // A 1080-pixel page gives the 864 x 864 window of a 1080-line screen.
    await page.setViewport({width: 1280, height: 1080, deviceScaleFactor: 1});
    await page.goto(`${server.url}?bench`);
    await page.waitForFunction(() => window.benchResult, {timeout: 60000});
    runs.push(await page.evaluate(() => window.benchResult));
    await context.close();
  }
} finally {
  await browser.close();
  server.close();
}

const version = JSON.parse(fs.readFileSync(
    new URL('../tests/viewer-web/node_modules/puppeteer-core/package.json', import.meta.url))).version;
console.log(`site ${site}, canvas ${runs[0].canvas}, puppeteer-core ${version}`);
// The page's clock counts in steps of 0.1 ms, so the means are the finer figures.
console.log(`batch, glBegin to draw call (${runs[0].batches} frames x 3 loads): ` +
            `filled mean ${ms(mean(runs.map((r) => r.batchMeanMs)))} (median ${ms(median(runs.map((r) => r.batchMedianMs)))}), ` +
            `wireframe mean ${ms(mean(runs.map((r) => r.wireframeBatchMeanMs)))}; ` +
            `slowest filled batch ${ms(Math.max(...runs.map((r) => r.batchMaxMs)))}`);
console.log(`page load to first picture, the box's time left out (median of 3): ` +
            `${ms(median(runs.map((r) => r.loadToFirstPictureWithoutBoxMs)))} ` +
            `(load to box ${ms(median(runs.map((r) => r.loadToBoxMs)))}, ` +
            `OK to first picture ${ms(median(runs.map((r) => r.okToFirstPictureMs)))})`);
let total = 0;
const sizes = ['index.html', 'page.js', 'page.css', 'helicoid.js', 'helicoid.wasm'].map((name) => {
  const bytes = fs.readFileSync(path.join(site, name));
  const packed = zlib.gzipSync(bytes, {level: 9}).length;
  total += packed;
  return `${name} ${bytes.length} -> ${packed}`;
});
console.log(`transfer size, gzip -9: ${sizes.join(', ')}; total ${total} bytes (${(total / 1024).toFixed(1)} KiB)`);
