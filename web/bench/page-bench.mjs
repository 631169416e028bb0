// Measures the web page in Debian's headless chromium and prints the figures (not a test: nothing is
// asserted). Serves TL_WEB_DIST on a loopback port of its own.
//   start-up: page load to the first frame shown, over several fresh loads (real clock);
//   frame times: every frame timer event of a long run on the simulated clock (one tick per animation
//     frame, so the run takes a fraction of the simulated time), the first tick (static data) apart;
//   conversion: the shown frame into the canvas's RGBA, in WebAssembly and in JavaScript, side by side.
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import puppeteer from 'puppeteer-core';

const dist = path.resolve(process.env.TL_WEB_DIST || 'dist/web');
const minutes = Number(process.env.TL_WEB_MINUTES || 10);
const [width, height] = (process.env.TL_WEB_SIZE || '1280x720').split('x').map(Number);
const loads = Number(process.env.TL_WEB_LOADS || 5);

const types = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css', '.wasm': 'application/wasm' };
const server = http.createServer((request, response) => {
  let url = new URL(request.url, 'http://x').pathname;
  if (url === '/') url = '/index.html';
  const file = path.join(dist, path.normalize(url));
  if (!file.startsWith(dist) || !fs.existsSync(file)) { response.writeHead(404); return response.end(); }
  const body = fs.readFileSync(file);
  response.writeHead(200, { 'Content-Type': types[path.extname(file)] || 'application/octet-stream', 'Content-Length': body.length });
  response.end(body);
});
await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
const origin = `http://127.0.0.1:${server.address().port}`;
const userDataDir = fs.mkdtempSync(path.join(process.env.TL_WEB_TMP || os.tmpdir(), 'chromium-'));
const browser = await puppeteer.launch({
  executablePath: '/usr/bin/chromium', headless: true, userDataDir,
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
    '--disable-component-update', '--disable-sync'],
});
const median = (values) => { const v = [...values].sort((a, b) => a - b); return v[Math.floor(v.length / 2)]; };

try {
  console.log(`web page at ${width}x${height}: ${loads} fresh loads, then ${minutes} simulated minutes`);
  const firstFrames = [], firstTicks = [], steps = {};
  for (let i = 0; i < loads; ++i) {
    const page = await browser.newPage();
    await page.setViewport({ width, height, deviceScaleFactor: 1 });
    await page.goto(`${origin}/?sound=off`);
    await page.waitForFunction(() => window.tillandsPage.frames >= 1, { timeout: 120000 });
    const s = await page.evaluate(() => ({ ...window.tillandsPage.startup, tick: window.tillandsPage.ticks.firstMs }));
    firstFrames.push(s.firstFrameMs);
    firstTicks.push(s.tick);
    for (const k of ['moduleMs', 'worldMs', 'startedMs']) (steps[k] ||= []).push(s[k]);
    await page.close();
  }
  console.log(`start-up, page load to first frame: median ${median(firstFrames).toFixed(0)} ms ` +
    `(all: ${firstFrames.map((v) => v.toFixed(0)).join(', ')}); of it the first tick with the static data: ` +
    `median ${median(firstTicks).toFixed(0)} ms; medians from the page's start: module ready ` +
    `${median(steps.moduleMs).toFixed(0)} ms, world fetched ${median(steps.worldMs).toFixed(0)} ms, saver started ` +
    `${median(steps.startedMs).toFixed(0)} ms`);

  const frames = Math.round((minutes * 60000) / 83);
  const page = await browser.newPage();
  await page.setViewport({ width, height, deviceScaleFactor: 1 });
  const started = Date.now();
  await page.goto(`${origin}/?seed=7&clock=simulated&sound=off&frames=${frames}`);
  await page.waitForFunction(() => window.tillandsPage.state !== 'loading' && window.tillandsPage.state !== 'running',
    { timeout: 3600000, polling: 1000 });
  const t = await page.evaluate(() => {
    const t = window.tillandsPage.ticks;
    return { ...t, histogram: Array.from(t.histogram), state: window.tillandsPage.state };
  });
  const quantile = (q) => {
    let need = Math.ceil(q * (t.count - 1)), at = 0;
    for (let i = 0; i < t.histogram.length; ++i) if ((at += t.histogram[i]) >= need) return (i + 1) / 4;
    return Infinity;
  };
  console.log(`frame times over ${t.count} ticks (${minutes} simulated minutes, ${((Date.now() - started) / 1000).toFixed(0)} s ` +
    `wall, state ${t.state}): first tick ${t.firstMs.toFixed(1)} ms; others mean ${(t.totalMs / (t.count - 1)).toFixed(2)} ms, ` +
    `median <= ${quantile(0.5)} ms, 99th percentile <= ${quantile(0.99)} ms, max ${t.maxMs.toFixed(1)} ms, ` +
    `${t.over83} slower than 1/12 s`);

  const conversion = await page.evaluate(() => {
    const M = window.tillandsPage.module, c = document.getElementById('screen');
    const n = c.width * c.height, rounds = 100;
    const indices = new Uint8Array(M.HEAPU8.buffer, M._tl_frame_indices(), n).slice();
    const table = new Uint32Array(M.HEAPU8.buffer, M._tl_frame_colours(), 256).slice();
    const out = new Uint32Array(n);
    const wasm = [], js = [];
    for (let r = 0; r < rounds; ++r) {
      let t0 = performance.now();
      M._tl_convert_frame();
      wasm.push(performance.now() - t0);
      t0 = performance.now();
      for (let i = 0; i < n; ++i) out[i] = table[indices[i]];
      js.push(performance.now() - t0);
    }
    const same = new Uint32Array(M.HEAPU8.buffer, M._tl_frame_rgba(), n).every((v, i) => v === out[i]);
    const med = (v) => v.sort((a, b) => a - b)[v.length >> 1];
    return { wasm: med(wasm), js: med(js), same };
  });
  console.log(`conversion of one ${width}x${height} frame to RGBA: WebAssembly median ${conversion.wasm.toFixed(2)} ms, ` +
    `JavaScript median ${conversion.js.toFixed(2)} ms (ratio ${(conversion.js / conversion.wasm).toFixed(2)}; same bytes: ${conversion.same})`);
} finally {
  await browser.close();
  server.close();
  fs.rmSync(userDataDir, { recursive: true, force: true });
}
