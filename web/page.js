// The page's glue between the browser and the saver compiled to WebAssembly (tillands.js): settings from
// the URL, the world archive fetched with progress, the canvas, the frame timer, full screen, Web Audio.
// The saver's rules live in the WebAssembly; this file only translates.
'use strict';

(() => {
  // Result codes of tl_start / tl_tick / tl_input (web_saver.cpp).
  const RUNNING = 0, NOT_STARTED = 1, QUIT = 2, ENDED = 3;
  const INPUT_KEY = 1, INPUT_MOVE = 2, INPUT_BUTTON = [3, 5, 4];  // left, middle, right as in MouseEvent.button

  const $ = (id) => document.getElementById(id);
  const stage = $('stage'), canvas = $('screen'), message = $('message');
  const context = canvas.getContext('2d', { alpha: false });

  // What the page shows, for people and for the browser tests.
  const page = {
    state: 'loading',  // loading, running, stopped, failed
    message: '',
    settings: null,
    runs: 0,           // saver runs started (a new one after full screen begins or ends)
    frames: 0,         // frames shown in this run
    endedByInput: 0,   // runs that input ended in full screen
    moves: [],         // the pointer positions the saver was given in the last full screen (device pixels; the last 16)
    audio: { requested: 0, beforeGesture: 0, dropped: 0, played: 0, unlocked: false },
    // Time spent in each frame timer event (the saver's tick and the canvas update): the first tick
    // (which also loads the static data) apart, the others in a histogram of 0.25 ms steps.
    ticks: { count: 0, firstMs: 0, maxMs: 0, totalMs: 0, over83: 0, histogram: new Uint32Array(1000) },
    // Milliseconds from the page's start: module ready, world fetched, saver started, first frame shown.
    startup: { worldBytes: 0, moduleMs: 0, worldMs: 0, startedMs: 0, firstFrameMs: 0 },
  };
  // The module itself, for measurements and tests (not enumerable: JSON of the page stays small).
  Object.defineProperty(page, 'module', { get: () => M });
  window.tillandsPage = page;

  // ---------------------------------------------------------------------------------------------
  // Settings: ?animations=50&fps=12&seed=7&scale=auto&sound=off (and clock=simulated, frames=N for
  // reproducible captures). A value that is not understood is reported on the page and left out.

  function readSettings(query) {
    const params = new URLSearchParams(query);
    const s = { animations: -1, fps: -1, scale: -1, sound: -1, seed: null, simulated: false, frames: 0, problems: [] };
    const integer = (name, min, max) => {
      const text = params.get(name);
      if (text === null || text === '') return null;
      if (!/^\d+$/.test(text) || Number(text) < min || Number(text) > max) {
        s.problems.push(`${name}=${text} is not a whole number from ${min} to ${max}`);
        return null;
      }
      return Number(text);
    };
    let v;
    if ((v = integer('animations', 0, 1000)) !== null) s.animations = v;
    if ((v = integer('fps', 1, 1000)) !== null) s.fps = v;
    if ((v = integer('seed', 0, 4294967295)) !== null) s.seed = v;
    if ((v = integer('frames', 1, 100000000)) !== null) s.frames = v;
    const scale = params.get('scale');
    if (scale === 'auto') s.scale = 0;
    else if (scale !== null && (v = integer('scale', 1, 3)) !== null) s.scale = v;
    const sound = params.get('sound');
    if (sound === 'on' || sound === 'off') s.sound = sound === 'on' ? 1 : 0;
    else if (sound !== null) s.problems.push(`sound=${sound} is neither on nor off`);
    const clock = params.get('clock');
    if (clock === 'simulated' || clock === 'real') s.simulated = clock === 'simulated';
    else if (clock !== null) s.problems.push(`clock=${clock} is neither simulated nor real`);
    return s;
  }

  // ---------------------------------------------------------------------------------------------
  // Messages and progress.

  function showMessage(text, kind) {
    message.textContent = text;
    message.className = kind || '';
    message.hidden = !text;
    page.message = text;
  }

  function fail(text) {
    page.state = 'failed';
    running = false;
    $('progress').hidden = true;
    showMessage(text, 'error');
  }

  async function fetchWorld(url) {
    const bar = $('progress-bar'), label = $('progress-label');
    let response;
    try {
      response = await fetch(url);
    } catch (e) {
      throw new Error(`The demo world (${url}) could not be fetched: ${e.message}.`);
    }
    if (!response.ok) throw new Error(`The demo world (${url}) could not be loaded: HTTP ${response.status} ${response.statusText}.`);
    const total = Number(response.headers.get('Content-Length')) || 0;
    const chunks = [];
    let received = 0;
    const reader = response.body.getReader();
    for (;;) {
      const { done, value } = await reader.read();
      if (done) break;
      chunks.push(value);
      received += value.length;
      if (total && received > total) throw new Error(`The demo world (${url}) is longer than its announced ${total} bytes.`);
      if (total) {
        bar.value = received / total;
        label.textContent = `Loading the world… ${Math.floor((100 * received) / total)} %`;
      } else {
        label.textContent = `Loading the world… ${(received / 1048576).toFixed(1)} MB`;
      }
    }
    if (total && received < total) throw new Error(`The demo world (${url}) arrived incomplete: ${received} of ${total} bytes.`);
    const bytes = new Uint8Array(received);
    let at = 0;
    for (const c of chunks) { bytes.set(c, at); at += c.length; }
    page.startup.worldBytes = received;
    return bytes;
  }

  // ---------------------------------------------------------------------------------------------
  // Sound: the 22 WAVE resources decoded once each into AudioBuffers. The browser lets a page play
  // sound only after a user gesture; until then a cue is counted and left. A cue that arrives while
  // another sound plays is dropped, as the saver's playback does.

  const audio = { context: null, buffers: new Map(), current: null, busyUntil: 0 };

  function unlockAudio() {
    if (!audio.context) {
      const Context = window.AudioContext || window.webkitAudioContext;
      if (!Context) return;
      audio.context = new Context();
      page.audio.unlocked = true;
    }
    if (audio.context.state === 'suspended') audio.context.resume();
  }

  // PCM WAVE (8-bit unsigned or 16-bit signed, little-endian) into an AudioBuffer; null otherwise.
  function decodeWave(bytes) {
    const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
    const tag = (at) => String.fromCharCode(bytes[at], bytes[at + 1], bytes[at + 2], bytes[at + 3]);
    if (bytes.length < 12 || tag(0) !== 'RIFF' || tag(8) !== 'WAVE') return null;
    let format = null, data = null;
    for (let at = 12; at + 8 <= bytes.length;) {
      const size = view.getUint32(at + 4, true);
      const body = at + 8, end = Math.min(body + size, bytes.length);
      if (tag(at) === 'fmt ' && end - body >= 16)
        format = { code: view.getUint16(body, true), channels: view.getUint16(body + 2, true),
                   rate: view.getUint32(body + 4, true), bits: view.getUint16(body + 14, true) };
      else if (tag(at) === 'data') data = [body, end];
      at = body + size + (size & 1);
    }
    if (!format || !data || format.code !== 1 || !format.channels || !(format.bits === 8 || format.bits === 16)) return null;
    const step = (format.bits / 8) * format.channels;
    const frames = Math.floor((data[1] - data[0]) / step);
    if (!frames) return null;
    const buffer = audio.context.createBuffer(format.channels, frames, format.rate);
    for (let c = 0; c < format.channels; ++c) {
      const out = buffer.getChannelData(c);
      for (let i = 0, at = data[0] + c * (format.bits / 8); i < frames; ++i, at += step)
        out[i] = format.bits === 8 ? (bytes[at] - 128) / 128 : view.getInt16(at, true) / 32768;
    }
    return buffer;
  }

  function playWave(name, bytes) {
    page.audio.requested++;
    if (!audio.context) { page.audio.beforeGesture++; return; }
    const now = performance.now();
    if (now < audio.busyUntil) { page.audio.dropped++; return; }
    let buffer = audio.buffers.get(name);
    if (buffer === undefined) {
      buffer = decodeWave(bytes);
      audio.buffers.set(name, buffer);
    }
    if (!buffer) return;
    const source = audio.context.createBufferSource();
    source.buffer = buffer;
    source.connect(audio.context.destination);
    source.start();
    audio.current = source;
    audio.busyUntil = now + buffer.duration * 1000;
    page.audio.played++;
  }

  function stopSounds() {
    if (audio.current) {
      try { audio.current.stop(); } catch (e) { /* already ended */ }
    }
    audio.current = null;
    audio.busyUntil = 0;
  }

  for (const type of ['pointerdown', 'keydown', 'touchstart'])
    window.addEventListener(type, unlockAudio, { capture: true });

  // ---------------------------------------------------------------------------------------------
  // The saver's runs and the frame timer.

  let M = null;           // the WebAssembly module
  let running = false;
  let period = 83;        // ms, the saver's timer period
  let lastTick = null;
  let loop = 0;           // the current run's animation-frame loop; an older loop ends at its next frame
  let frameLimit = 0;
  let shownFrame = 0;
  const fatalLines = [];

  // The page's size in device pixels: what the saver takes as its screen.
  function screenSize() {
    const dpr = window.devicePixelRatio || 1;
    return { width: Math.max(1, Math.round(stage.clientWidth * dpr)), height: Math.max(1, Math.round(stage.clientHeight * dpr)), dpr };
  }

  // The canvas holds the scene's pixels; it is shown enlarged by the display scale in device pixels,
  // nearest neighbour (image-rendering: pixelated), centred on whole device pixels.
  function placeCanvas() {
    if (!M) return;
    const { width, height, dpr } = screenSize();
    const scale = M._tl_display_scale();
    const w = canvas.width * scale, h = canvas.height * scale;
    canvas.style.width = `${w / dpr}px`;
    canvas.style.height = `${h / dpr}px`;
    canvas.style.left = `${Math.floor((width - w) / 2) / dpr}px`;
    canvas.style.top = `${Math.floor((height - h) / 2) / dpr}px`;
  }

  function startRun() {
    stopRun();
    const s = page.settings;
    const { width, height } = screenSize();
    let state;
    try {
      state = M._tl_start(width, height, s.fps, s.animations, s.scale, soundOn() ? 1 : 0);
    } catch (e) {
      return fatal(e);
    }
    if (state !== RUNNING) return fail('The saver could not start: the demo world lacks the pictures it needs (its bob libraries).');
    page.runs++;
    if (page.runs === 1) page.startup.startedMs = performance.now();
    page.frames = 0;
    shownFrame = 0;
    canvas.width = M._tl_frame_width();
    canvas.height = M._tl_frame_height();
    placeCanvas();
    period = M._tl_timer_period_ms();
    lastTick = null;
    running = true;
    page.state = 'running';
    const mine = ++loop;
    requestAnimationFrame((now) => onAnimationFrame(now, mine));
  }

  function stopRun() {
    running = false;
    if (M) {
      try { M._tl_stop(); } catch (e) { fatal(e); }
    }
  }

  function draw() {
    const presented = M._tl_frames_presented();
    if (presented === shownFrame) return;
    shownFrame = presented;
    const w = canvas.width, h = canvas.height;
    // The frame is handed to the canvas straight from the WebAssembly memory: one copy, by the canvas.
    const pixels = new Uint8ClampedArray(M.HEAPU8.buffer, M._tl_frame_rgba(), w * h * 4);
    context.putImageData(new ImageData(pixels, w, h), 0, 0);
    page.frames++;
    if (page.frames === 1 && page.runs === 1) page.startup.firstFrameMs = performance.now();
  }

  function tick() {
    const t0 = performance.now();
    let state;
    try {
      state = M._tl_tick();
      draw();
    } catch (e) {
      return fatal(e);
    }
    const ms = performance.now() - t0;
    const t = page.ticks;
    if (t.count++ === 0) {
      t.firstMs = ms;
    } else {
      t.totalMs += ms;
      t.histogram[Math.min(t.histogram.length - 1, Math.floor(ms * 4))]++;
      if (ms > t.maxMs) t.maxMs = ms;
      if (ms > 1000 / 12) t.over83++;
    }
    if (state === QUIT) fail('The saver stopped on its first frame: the world has no "shadow" remap table.');
    else if (state !== RUNNING) running = false;
    else if (frameLimit && page.frames >= frameLimit) { running = false; page.state = 'stopped'; }
  }

  // The frame timer: a tick whenever a timer period has passed (on the simulated clock, one tick per
  // animation frame, since the saver's clock then moves by itself).
  function onAnimationFrame(now, mine) {
    if (!running || mine !== loop) return;
    if (page.settings.simulated) {
      tick();
    } else {
      if (lastTick === null) lastTick = now - period;
      if (now - lastTick >= period - 1) {
        lastTick += period;
        if (now - lastTick > 4 * period) lastTick = now;  // after a stall (hidden tab): no catching up
        tick();
      }
    }
    if (running) requestAnimationFrame((next) => onAnimationFrame(next, mine));
  }

  function fatal(error) {
    running = false;
    const at = fatalLines.indexOf('XB FATAL ERROR:');
    const detail = at >= 0 ? fatalLines.slice(at + 1).find((l) => l.trim()) : null;
    fail(detail
      ? `The demo world is damaged and cannot be shown: ${detail.trim()}`
      : `The saver stopped with an error: ${error && error.message ? error.message : error}`);
  }

  // ---------------------------------------------------------------------------------------------
  // Full screen: the saver proper. Any key, a mouse button or a move of more than 5 pixels ends it
  // (the saver's own rules decide); the page then leaves full screen. Each change of size starts a new
  // run at the new size, so the pixels stay whole.

  const inFullScreen = () => document.fullscreenElement === stage;

  function endByInput(kind, x, y) {
    if (!running || !inFullScreen()) return false;
    let state;
    try { state = M._tl_input(kind, x, y); } catch (e) { fatal(e); return true; }
    if (state === ENDED) {
      running = false;
      page.endedByInput++;
      document.exitFullscreen().catch(() => {});
    }
    return true;
  }

  document.addEventListener('keydown', (e) => { if (endByInput(INPUT_KEY, 0, 0)) e.preventDefault(); });
  stage.addEventListener('mousedown', (e) => { endByInput(INPUT_BUTTON[e.button] || 3, 0, 0); });
  stage.addEventListener('mousemove', (e) => {
    // Chromium sends moves of its own as the page goes full screen: at the pointer without motion
    // (movementX and movementY 0), or at 0,0 before it knows where the pointer is. Taken as the first
    // position, either made the user's first real move end the saver. Neither is input.
    if ((e.movementX === 0 && e.movementY === 0) || (e.clientX === 0 && e.clientY === 0)) return;
    const dpr = window.devicePixelRatio || 1;
    const x = Math.round(e.clientX * dpr), y = Math.round(e.clientY * dpr);
    if (running && inFullScreen()) page.moves = [...page.moves.slice(-15), [x, y]];
    endByInput(INPUT_MOVE, x, y);
  });
  document.addEventListener('fullscreenchange', () => {
    if (!M || page.state === 'failed') return;
    stage.classList.toggle('saver', inFullScreen());
    if (inFullScreen()) page.moves = [];
    startRun();
  });
  $('fullscreen').addEventListener('click', () => {
    if (!stage.requestFullscreen) return showMessage('This browser cannot show the page full screen.', 'note');
    stage.requestFullscreen().catch((e) => showMessage(`Full screen was refused: ${e.message}`, 'note'));
  });
  window.addEventListener('resize', placeCanvas);

  // ---------------------------------------------------------------------------------------------
  // Sound control and settings panel (both write the URL's parameters).

  function soundOn() { return page.settings.sound !== 0; }

  function replaceParameter(name, value) {
    const params = new URLSearchParams(location.search);
    if (value === null) params.delete(name); else params.set(name, value);
    const query = params.toString();
    history.replaceState(null, '', query ? `?${query}` : location.pathname);
  }

  function showSoundState() {
    $('sound').textContent = soundOn() ? 'Sound: on' : 'Sound: off';
    $('sound').setAttribute('aria-pressed', soundOn() ? 'true' : 'false');
  }

  $('sound').addEventListener('click', () => {
    page.settings.sound = soundOn() ? 0 : 1;
    replaceParameter('sound', soundOn() ? 'on' : 'off');
    if (M && page.state === 'running') M._tl_set_sound(soundOn() ? 1 : 0);
    if (!soundOn()) stopSounds();
    showSoundState();
  });

  const panel = $('settings');
  $('open-settings').addEventListener('click', () => {
    const s = page.settings;
    const form = panel.querySelector('form');
    // What the running saver took, after its own defaults and limits.
    const live = M && page.state !== 'failed';
    form.animations.value = live ? M._tl_num_animations() : Math.max(10, s.animations);
    form.fps.value = live ? M._tl_frame_rate() : Math.max(1, s.fps);
    const scale = live ? M._tl_scale_setting() : s.scale;
    form.scale.value = scale > 0 ? String(scale) : 'auto';
    $('animations-value').textContent = form.animations.value;
    form.sound.checked = soundOn();
    form.seed.value = s.seed === null ? '' : String(s.seed);
    panel.hidden = false;
  });
  $('close-settings').addEventListener('click', () => { panel.hidden = true; });
  panel.querySelector('form').addEventListener('submit', (e) => {
    e.preventDefault();
    const form = e.target;
    const params = new URLSearchParams(location.search);
    params.set('animations', form.animations.value);
    params.set('fps', form.fps.value);
    params.set('scale', form.scale.value);
    params.set('sound', form.sound.checked ? 'on' : 'off');
    if (form.seed.value.trim()) params.set('seed', form.seed.value.trim()); else params.delete('seed');
    location.search = params.toString();
  });
  $('animations').addEventListener('input', (e) => { $('animations-value').textContent = e.target.value; });

  // ---------------------------------------------------------------------------------------------
  // Start: the module and the world load side by side.

  async function main() {
    page.settings = readSettings(location.search);
    frameLimit = page.settings.frames;
    showSoundState();
    if (page.settings.problems.length)
      showMessage(`Ignored: ${page.settings.problems.join('; ')}.`, 'note');
    if (typeof createTillands !== 'function') return fail('The saver program (tillands.js) could not be loaded.');
    const moduleOptions = {
      print: (text) => { fatalLines.push(text); if (fatalLines.length > 50) fatalLines.shift(); console.log(text); },
      printErr: (text) => console.warn(text),
      onAbort: () => {},
      tillandsPlayWave: playWave,
      tillandsStopSounds: stopSounds,
      tillandsCursor: (hidden) => stage.classList.toggle('no-cursor', hidden),
      // The deterministic capture of the saver: a fixed seed, and the clock that moves one timer
      // period per frame (the same frames as the headless renderer). The C library takes its
      // environment before main, so it is set before the module runs.
      preRun: [(module) => {
        if (page.settings.seed !== null) module.ENV.TILLANDS_SEED = String(page.settings.seed);
        if (page.settings.simulated) module.ENV.TILLANDS_SIMULATED_CLOCK = '1';
      }],
    };
    let world;
    try {
      [M, world] = await Promise.all([
        createTillands(moduleOptions).then((m) => { page.startup.moduleMs = performance.now(); return m; }),
        fetchWorld('data_v.dat').then((w) => { page.startup.worldMs = performance.now(); return w; }),
      ]);
    } catch (e) {
      return fail(e && e.message ? e.message : String(e));
    }
    $('progress').hidden = true;
    try {
      M.FS.mkdir('/world');  // the saver's data directory ("GamePath"); the archive itself stays in memory
      M.HEAPU8.set(world, M._tl_world_buffer(world.length));
    } catch (e) {
      return fail(`The demo world could not be stored: ${e.message || e}.`);
    }
    startRun();
  }

  main();
})();
