// Browser tests of the web page, in Debian's chromium (headless) driven by puppeteer-core. The page is
// served from TL_WEB_DIST on a loopback port of our own; /damaged/ and /missing/ serve the same page
// with a broken world archive and without one. TL_WEB_REFERENCE holds the headless renderer's frames
// (PPM) for the seed, size and frame number below; TL_WEB_SHOTS receives screenshots.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import puppeteer from 'puppeteer-core';

const dist = process.env.TL_WEB_DIST && path.resolve(process.env.TL_WEB_DIST);
const reference = process.env.TL_WEB_REFERENCE;
const shots = process.env.TL_WEB_SHOTS;
// Must match the reference frames made by scripts/test-web.sh.
const SEED = 7, WIDTH = 640, HEIGHT = 480, FRAME = Number(process.env.TL_WEB_FRAME || 150);

const types = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css', '.wasm': 'application/wasm' };
let server, origin, browser, userDataDir;

before(async () => {
  assert.ok(dist && fs.existsSync(path.join(dist, 'index.html')), 'TL_WEB_DIST must name the built page');
  const world = fs.readFileSync(path.join(dist, 'data_v.dat'));
  // A damaged archive: the right length, but its directory overwritten.
  const damaged = Buffer.from(world);
  damaged.fill(0x5a, 0, Math.min(4096, damaged.length));
  server = http.createServer((request, response) => {
    let url = decodeURIComponent(new URL(request.url, 'http://x').pathname);
    let variant = '';
    for (const v of ['/damaged', '/missing']) if (url.startsWith(`${v}/`)) { variant = v; url = url.slice(v.length); }
    if (url === '/') url = '/index.html';
    if (url === '/data_v.dat' && variant === '/missing') { response.writeHead(404); return response.end('not found'); }
    if (url === '/data_v.dat' && variant === '/damaged') {
      response.writeHead(200, { 'Content-Type': 'application/octet-stream', 'Content-Length': damaged.length });
      return response.end(damaged);
    }
    const file = path.join(dist, path.normalize(url));
    if (!file.startsWith(dist) || !fs.existsSync(file) || !fs.statSync(file).isFile()) { response.writeHead(404); return response.end(); }
    const body = fs.readFileSync(file);
    response.writeHead(200, { 'Content-Type': types[path.extname(file)] || 'application/octet-stream', 'Content-Length': body.length });
    response.end(body);
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  origin = `http://127.0.0.1:${server.address().port}`;
  userDataDir = fs.mkdtempSync(path.join(process.env.TL_WEB_TMP || os.tmpdir(), 'chromium-'));
  browser = await puppeteer.launch({
    executablePath: process.env.TL_CHROMIUM || '/usr/bin/chromium',
    headless: true,
    userDataDir,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync'],
  });
});

after(async () => {
  if (browser) await browser.close();
  if (server) await new Promise((resolve) => server.close(resolve));
  if (userDataDir) fs.rmSync(userDataDir, { recursive: true, force: true });
});

// A page with its console errors and uncaught exceptions collected.
async function open(url, { width = WIDTH, height = HEIGHT, dpr = 1 } = {}) {
  const page = await browser.newPage();
  const errors = [];
  page.on('console', (m) => { if (m.type() === 'error') errors.push(m.text()); });
  page.on('pageerror', (e) => errors.push(String(e)));
  await page.setViewport({ width, height, deviceScaleFactor: dpr });
  await page.goto(origin + url);
  return { page, errors };
}

// Waits for the page to reach a state; on a timeout the page's own account is part of the error.
async function waitFor(page, predicate, arg) {
  try {
    await page.waitForFunction(predicate, { timeout: 60000, polling: 'raf' }, arg);
  } catch (e) {
    const state = await page.evaluate(() => JSON.stringify(window.tillandsPage)).catch(() => '?');
    throw new Error(`${e.message}; the page: ${state}`);
  }
}
const canvasPixels = (page) => page.evaluate(() => {
  const c = document.getElementById('screen');
  return { width: c.width, height: c.height, data: Array.from(c.getContext('2d').getImageData(0, 0, c.width, c.height).data) };
});
const shot = async (page, name) => { if (shots) { fs.mkdirSync(shots, { recursive: true }); await page.screenshot({ path: path.join(shots, name) }); } };

function readPpm(file) {
  const bytes = fs.readFileSync(file);
  const header = bytes.subarray(0, 64).toString('latin1').match(/^P6\s+(\d+)\s+(\d+)\s+255\s/);
  assert.ok(header, `${file} is not a binary PPM`);
  return { width: Number(header[1]), height: Number(header[2]), rgb: bytes.subarray(header[0].length) };
}

test('the page runs without console errors, and its frames change over time', async () => {
  const { page, errors } = await open(`/?seed=${SEED}&clock=simulated`);
  await waitFor(page, () => window.tillandsPage.frames >= 2);
  const first = await canvasPixels(page);
  assert.equal(first.width, WIDTH);
  assert.equal(first.height, HEIGHT);
  // The intro ends after 10 s; then the scene moves every frame.
  await waitFor(page, () => window.tillandsPage.frames >= 130);
  const later = await canvasPixels(page);
  assert.notDeepEqual(later.data, first.data);
  await shot(page, 'page.png');
  await page.click('#open-settings');
  await waitFor(page, () => !document.getElementById('settings').hidden);
  await shot(page, 'settings.png');
  assert.match(await page.$eval('#settings .version', (e) => e.textContent), /^Tillands \d+\.\d+\.\d+/);
  assert.deepEqual(errors, []);
  await page.close();
});

test('on the simulated clock, frame N equals the headless renderer\'s frame N byte for byte', async () => {
  assert.ok(reference, 'TL_WEB_REFERENCE must name the headless frames');
  const { page, errors } = await open(`/?seed=${SEED}&clock=simulated&scale=1&frames=${FRAME}`);
  await waitFor(page, () => window.tillandsPage.state !== 'loading' && window.tillandsPage.state !== 'running');
  assert.equal(await page.evaluate(() => window.tillandsPage.state), 'stopped');
  const shown = await canvasPixels(page);
  const expected = readPpm(path.join(reference, `frame_${String(FRAME - 1).padStart(6, '0')}.ppm`));
  assert.equal(shown.width, expected.width);
  assert.equal(shown.height, expected.height);
  let differing = 0;
  for (let i = 0, j = 0; i < expected.rgb.length; i += 3, j += 4) {
    if (shown.data[j] !== expected.rgb[i] || shown.data[j + 1] !== expected.rgb[i + 1] ||
        shown.data[j + 2] !== expected.rgb[i + 2] || shown.data[j + 3] !== 255) differing++;
  }
  assert.equal(differing, 0, `${differing} pixels differ from the headless renderer's frame`);
  assert.deepEqual(errors, []);
  await page.close();
});

test('the scene fills the device pixels: the display scale enlarges it by whole device pixels', async () => {
  // At a device pixel ratio of 2, 640x540 CSS pixels are a screen of 1280x1080 device pixels; automatic
  // scaling keeps at least 1000 lines, so it enlarges only the 640x1000 page (2000 device lines).
  const cases = [['1', [640, 540], [1280, 1080]], ['2', [640, 540], [640, 540]], ['auto', [640, 1000], [640, 1000]]];
  for (const [scale, css, scene] of cases) {
    const { page } = await open(`/?seed=${SEED}&scale=${scale}&sound=off`, { width: css[0], height: css[1], dpr: 2 });
    await waitFor(page, () => window.tillandsPage.frames >= 1);
    const shown = await page.$eval('#screen', (c) => {
      const r = c.getBoundingClientRect();
      return { width: c.width, height: c.height, cssWidth: r.width, cssHeight: r.height,
        rendering: getComputedStyle(c).imageRendering };
    });
    assert.deepEqual(shown, { width: scene[0], height: scene[1], cssWidth: css[0], cssHeight: css[1], rendering: 'pixelated' },
      `scale=${scale}`);
    if (scale === '2') await shot(page, 'scale2-dpr2.png');
    await page.close();
  }
});

test('full screen ends on a key and on a mouse move of more than 5 pixels, and the page runs on', async () => {
  const { page } = await open(`/?seed=${SEED}&sound=off&clock=simulated`);
  await waitFor(page, () => window.tillandsPage.state === 'running');
  // The button is clicked at a whole pixel, and the moves below start next to it.
  const [x, y] = await page.$eval('#fullscreen', (b) => {
    const r = b.getBoundingClientRect();
    return [Math.round(r.left + r.width / 2), Math.round(r.top + r.height / 2)];
  });
  const enter = async () => {
    const runs = await page.evaluate(() => window.tillandsPage.runs);
    await page.mouse.click(x, y);
    await waitFor(page, (r) => document.fullscreenElement !== null && window.tillandsPage.runs > r &&
      document.getElementById('stage').classList.contains('saver'), runs);
  };
  // Left, and the page has taken the change in (its handler marks the stage): the element leaves full
  // screen a frame before the change event comes, and an entry that raced that event would reach the
  // page's handler in the wrong order.
  const leftFullScreen = () => waitFor(page, () => document.fullscreenElement === null &&
    !document.getElementById('stage').classList.contains('saver') && window.tillandsPage.state === 'running');

  await enter();
  // The run that full screen started replaced the page's run: on the simulated clock one tick per
  // animation frame, never two.
  const ticksIn10Frames = await page.evaluate(() => new Promise((resolve) => {
    const start = window.tillandsPage.ticks.count;
    let frames = 0;
    const next = () => (++frames < 10 ? requestAnimationFrame(next) : resolve(window.tillandsPage.ticks.count - start));
    requestAnimationFrame(next);
  }));
  assert.ok(ticksIn10Frames >= 8 && ticksIn10Frames <= 10, `${ticksIn10Frames} ticks in 10 animation frames`);
  await page.keyboard.press('KeyA');
  await leftFullScreen();
  assert.equal(await page.evaluate(() => window.tillandsPage.endedByInput), 1);

  await enter();
  // The moves chromium sends on entering full screen are no input: neither ends the saver or becomes
  // its first position (one at 0,0, as it sends before it knows the pointer, seen on new machines as
  // the first move the saver was given; one without motion elsewhere).
  await page.evaluate(() => {
    const stage = document.getElementById('stage');
    stage.dispatchEvent(new MouseEvent('mousemove', { clientX: 0, clientY: 0, movementX: -390, movementY: -454, bubbles: true }));
    stage.dispatchEvent(new MouseEvent('mousemove', { clientX: 200, clientY: 100, movementX: 0, movementY: 0, bubbles: true }));
  });
  await page.mouse.move(x + 1, y + 1);  // the first position
  await page.mouse.move(x + 6, y - 4);  // 5 pixels in x and y from it: the saver runs on
  await page.evaluate(() => new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r))));
  assert.notEqual(await page.evaluate(() => document.fullscreenElement), null, `full screen ended: ${await page.evaluate(
    () => JSON.stringify({ endedByInput: window.tillandsPage.endedByInput, moves: window.tillandsPage.moves }))}`);
  await page.mouse.move(x + 7, y + 1);  // 6 pixels from the first position
  await leftFullScreen();
  assert.equal(await page.evaluate(() => window.tillandsPage.endedByInput), 2);
  await page.close();
});

test('a damaged or missing world archive shows a message, not a blank canvas', async () => {
  for (const [variant, pattern] of [['/damaged', /damaged|could not start/], ['/missing', /HTTP 404/]]) {
    const { page } = await open(`${variant}/?seed=${SEED}`);
    await waitFor(page, () => window.tillandsPage.state === 'failed');
    const text = await page.$eval('#message', (e) => (e.hidden ? '' : e.textContent));
    assert.match(text, pattern, `${variant}: ${text}`);
    if (variant === '/damaged') await shot(page, 'damaged.png');
    await page.close();
  }
});

test('sound cues reach Web Audio only after a user gesture, one sound at a time', async () => {
  const { page, errors } = await open(`/?seed=${SEED}&clock=simulated&sound=on`);
  // The start-up plays "dummy": before any gesture it is counted and left.
  await waitFor(page, () => window.tillandsPage.frames >= 2);
  const before = await page.evaluate(() => ({ ...window.tillandsPage.audio }));
  assert.ok(before.requested >= 1);
  assert.equal(before.played, 0);
  assert.equal(before.unlocked, false);
  await page.mouse.click(10, 10);
  await waitFor(page, () => window.tillandsPage.audio.played >= 1);
  const after = await page.evaluate(() => ({ ...window.tillandsPage.audio }));
  assert.equal(after.unlocked, true);
  assert.equal(after.beforeGesture, before.beforeGesture);
  // One sound at a time: a cue that comes while a sound plays is dropped, not queued; once the sound
  // is stopped the next one plays. (A second of silence, 8-bit PCM at 11025 Hz, played twice at once.)
  const counts = await page.evaluate(() => {
    const M = window.tillandsPage.module, n = 11025, wave = new Uint8Array(44 + n).fill(128);
    const v = new DataView(wave.buffer);
    const tag = (at, text) => { for (let i = 0; i < 4; ++i) wave[at + i] = text.charCodeAt(i); };
    tag(0, 'RIFF'); v.setUint32(4, 36 + n, true); tag(8, 'WAVE'); tag(12, 'fmt '); v.setUint32(16, 16, true);
    v.setUint16(20, 1, true); v.setUint16(22, 1, true); v.setUint32(24, n, true); v.setUint32(28, n, true);
    v.setUint16(32, 1, true); v.setUint16(34, 8, true); tag(36, 'data'); v.setUint32(40, n, true);
    const a = window.tillandsPage.audio, start = { played: a.played, dropped: a.dropped };
    M.tillandsStopSounds();
    M.tillandsPlayWave('SILENCE', wave);
    M.tillandsPlayWave('SILENCE', wave);
    const whilePlaying = { played: a.played - start.played, dropped: a.dropped - start.dropped };
    M.tillandsStopSounds();
    M.tillandsPlayWave('SILENCE', wave);
    return { whilePlaying, afterStop: a.played - start.played };
  });
  assert.deepEqual(counts, { whilePlaying: { played: 1, dropped: 1 }, afterStop: 2 });
  assert.deepEqual(errors, []);
  await page.close();
});
