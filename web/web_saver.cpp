// The saver in a web page: the browser is the window system. This file only translates between the
// page's JavaScript (web/page.js) and the saver's spine; every decision (settings, start-up, the frame
// cycle, the input rules, the sound-cue rules) is the spine's.
//
// The page calls, in this order:
//   tl_start(...)   once the world archive lies in the in-memory file system: runs the saver-mode start
//                   through SaverProcess (the browser's event loop is the message loop, so the start
//                   returns with the window alive and the timer "running");
//   tl_tick()       at each frame timer event (the page paces it with requestAnimationFrame);
//   tl_input(...)   for input while the page shows the saver full screen;
//   tl_stop()       to end a run (a new size, leaving the page).
// A fatal error of the base library ends the WebAssembly instance (abort); the page shows its message.
#include <emscripten/emscripten.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "base/xb_file.h"
#include "display/display_scale.h"
#include "display/memory_display_surface.h"
#include "scene/saver_application.h"
#include "shell/resources/resources.h"
#include "shell/run_application.h"
#include "shell/saver_startup.h"
#include "shell/saver_window.h"
#include "shell/settings.h"
#include "shell/settings_store.h"

// JavaScript side of the sound sink (page.js): plays the WAVE bytes through Web Audio unless a sound
// is still playing (then the request is dropped), and nothing before the page's first user gesture.
EM_JS(void, tl_js_play_wave, (const char* name, const uint8_t* data, uint32_t size), {
  if (Module.tillandsPlayWave)
    Module.tillandsPlayWave(UTF8ToString(name), HEAPU8.subarray(data, data + size));
});
EM_JS(void, tl_js_stop_sounds, (), {
  if (Module.tillandsStopSounds) Module.tillandsStopSounds();
});
EM_JS(void, tl_js_cursor, (int hidden), {
  if (Module.tillandsCursor) Module.tillandsCursor(hidden != 0);
});

namespace {

constexpr const char* kWorldDirectory = "/world";

class WebSoundSink final : public SoundSink {
 public:
  void PlayNamedSound(const char* resourceName) override {
    // A missing resource plays nothing and reports nothing, as on the desktop.
    const EmbeddedResource* wave = FindEmbeddedResource("WAVE", resourceName);
    if (!wave) return;
    tl_js_play_wave(wave->name, wave->data, static_cast<uint32_t>(wave->size));
  }
};

// The page's window: a memory display surface whose presented frame the page draws into its canvas,
// a frame timer that is only a period (the page paces the ticks), and the settings the page's URL
// gave, in memory.
class WebHost final : public SaverPlatform, public SaverWindowHost {
 public:
  WebHost(uint16_t width, uint16_t height) : width_(width), height_(height) {}

  MemorySettingsStore& Store() { return store_; }

  SettingsStore& Settings() override { return store_; }
  void ReadScreenMetrics(SaverApplication& app) override {
    app.screenWidth = width_;
    app.screenHeight = height_;
    app.screenBitsPerPixel = 32;
  }
  void RunSettingsDialog(SaverApplication&) override {}
  void RunPreview(SaverApplication&, int64_t) override {}
  void CreateSaverWindow(SaverApplication& app) override {
    windowAlive_ = true;
    app_ = &app;
    SaverWindowEvent(app, *this, SaverEvent{SaverEventKind::Create});
  }
  // The browser's event loop is the message loop: nothing to wait for here.
  void RunSaverMessageLoop(SaverApplication&) override {}
  void ShowMessage(const char* text, const char* caption) override {
    std::fprintf(stderr, "%s: %s\n", caption, text);
  }

  uint16_t StartFrameTimer(uint16_t id, uint32_t periodMs) override {
    periodMs_ = periodMs;
    return id;
  }
  void StopFrameTimer(uint16_t) override {}
  SurfaceRect ClientRect() override { return {0, 0, app_->screenWidth, app_->screenHeight}; }
  DisplaySurface* CreateDisplay(const SurfaceRect& rect, uint16_t bitsPerPixel, uint8_t fill) override {
    surface_ = MemoryDisplaySurface::Create(rect, bitsPerPixel, fill).release();
    return surface_;
  }
  void StopAllSounds() override { tl_js_stop_sounds(); }
  void DestroyWindow() override {
    if (!windowAlive_) return;
    windowAlive_ = false;
    SaverWindowEvent(*app_, *this, SaverEvent{SaverEventKind::Destroy});
  }
  void PostQuit(int code) override {
    if (quitPosted_) return;
    quitPosted_ = true;
    quitCode_ = code;
  }
  void CaptureMouseAndHideCursor() override { tl_js_cursor(1); }
  void ShowCursorAndReleaseMouse() override { tl_js_cursor(0); }

  bool WindowAlive() const { return windowAlive_; }
  bool QuitPosted() const { return quitPosted_; }
  uint32_t PeriodMs() const { return periodMs_; }
  MemoryDisplaySurface* Surface() const { return app_ && app_->display ? surface_ : nullptr; }

 private:
  uint16_t width_, height_;
  SaverApplication* app_ = nullptr;
  MemorySettingsStore store_;
  MemoryDisplaySurface* surface_ = nullptr;
  uint32_t periodMs_ = 0;
  bool windowAlive_ = false;
  bool quitPosted_ = false;
  int quitCode_ = 0;
};

// One run of the saver in the page.
struct WebRun {
  WebSoundSink sound;
  std::unique_ptr<WebHost> host;
  std::unique_ptr<SaverProcess> process;  // destroyed first: it releases the record
  uint32_t presented = 0;
  std::vector<uint32_t> rgba;  // the shown frame, 4 bytes a pixel (red, green, blue, 255)
  uint32_t colours[256] = {};
};
WebRun* g_run = nullptr;

// The world archive as the page fetched it. The saver reads it as a file held in memory: no copy in
// the browser's emulated file system, whose path lookups cost more than the reading itself.
std::unique_ptr<uint8_t[]> g_world;  // not zeroed first: the page fills every byte

// The shown frame in the canvas's byte order (red, green, blue, alpha) through the colours as shown
// (0 and 255 black). Done here rather than in JavaScript: the same table lookup measured 2 to 6 times
// faster here (scripts/bench-web.sh prints both).
void ConvertShownFrame(const MemoryDisplaySurface& surface) {
  const uint8_t* rgb = surface.PresentedColours();
  for (int i = 0; i < 256; ++i)
    g_run->colours[i] =
        uint32_t(rgb[3 * i]) | uint32_t(rgb[3 * i + 1]) << 8 | uint32_t(rgb[3 * i + 2]) << 16 | 0xFF000000u;
  g_run->rgba.resize(size_t(surface.Width()) * surface.Height());
  EnlargeToColours(surface.PresentedIndices().data(), surface.Width(), surface.Width(), surface.Height(), 1,
                   g_run->colours, g_run->rgba.data(), surface.Width());
}

// The saver's screen sides are 16-bit; the page is never empty.
uint16_t ScreenSide(int pixels) {
  return static_cast<uint16_t>(std::clamp(pixels, 1, 8192));
}

void SetNumberIfGiven(MemorySettingsStore& store, const char* name, int32_t value) {
  if (value >= 0)
    store.SetNumber(SettingsHive::CurrentUser, kSettingsKeyPath, name, static_cast<uint32_t>(value));
}

}  // namespace

extern "C" {

// Result of tl_start and tl_tick.
enum WebState : int {
  kRunning = 0,
  kNotStarted = 1,  // the window could not be initialised (display, palette or bob libraries)
  kQuit = 2,        // the saver quit by itself (no "shadow" remap table in the static data)
  kEnded = 3,       // input ended the saver
};

void tl_stop();

// A buffer of `size` bytes that the page fills with the fetched data_v.dat before tl_start. From then
// on the saver's data files are read from it alone (the file system holds nothing of the world).
EMSCRIPTEN_KEEPALIVE uint8_t* tl_world_buffer(uint32_t size) {
  tl_stop();
  XB_FILE::AddMemoryFile(kArchiveFile, nullptr, 0);
  g_world.reset(new uint8_t[size ? size : 1]);
  XB_FILE::AddMemoryFile(kArchiveFile, g_world.get(), size);
  XB_FILE::SetMemoryFilesOnly(true);
  return g_world.get();
}

// width × height: the page's size in device pixels. Settings below 0 are not given (the saver's
// defaults apply); the spine clamps the rest as it does for the registry's values.
EMSCRIPTEN_KEEPALIVE int tl_start(int width, int height, int fps, int animations, int scale, int sound) {
  tl_stop();
  g_run = new WebRun;
  g_run->host = std::make_unique<WebHost>(ScreenSide(width), ScreenSide(height));
  MemorySettingsStore& store = g_run->host->Store();
  SetNumberIfGiven(store, "FrameRate", fps);
  SetNumberIfGiven(store, "Num Animations", animations);
  SetNumberIfGiven(store, "Scale", scale);
  SetNumberIfGiven(store, "Sound", sound);
  store.SetText(SettingsHive::CurrentUser, kSettingsKeyPath, "GamePath", kWorldDirectory);

  FrontEndSeams seams;
  seams.sound = &g_run->sound;
  seams.registerResources = RegisterGeneratedResources;
  // TILLANDS_SEED and TILLANDS_SIMULATED_CLOCK come from the page's URL (page.js sets them).
  g_run->process = std::make_unique<SaverProcess>(seams);
  g_run->process->Run("/s", *g_run->host);
  return g_run->host->WindowAlive() ? kRunning : kNotStarted;
}

// One frame timer event. Returns kRunning while the saver runs.
EMSCRIPTEN_KEEPALIVE int tl_tick() {
  if (!g_run) return kNotStarted;
  WebHost& host = *g_run->host;
  if (!host.WindowAlive()) return kEnded;
  SaverApplication& app = g_run->process->App();
  SaverWindowEvent(app, host, SaverEvent{SaverEventKind::Timer, app.timerId});
  if (MemoryDisplaySurface* surface = host.Surface();
      surface && surface->PresentCount() != g_run->presented) {
    g_run->presented = surface->PresentCount();
    ConvertShownFrame(*surface);
  }
  if (host.QuitPosted()) return kQuit;
  return kRunning;
}

// Input while the saver covers the screen: 1 key, 2 mouse move (x, y), 3..5 left, right, middle
// button. Returns kEnded when the spine's rules ended the saver.
EMSCRIPTEN_KEEPALIVE int tl_input(int kind, int x, int y) {
  if (!g_run || !g_run->host->WindowAlive()) return kEnded;
  SaverEvent event;
  switch (kind) {
    case 1:
      event.kind = SaverEventKind::KeyDown;
      break;
    case 2:
      event.kind = SaverEventKind::MouseMove;
      event.x = static_cast<int16_t>(x);
      event.y = static_cast<int16_t>(y);
      break;
    case 3:
      event.kind = SaverEventKind::LeftButtonDown;
      break;
    case 4:
      event.kind = SaverEventKind::RightButtonDown;
      break;
    case 5:
      event.kind = SaverEventKind::MiddleButtonDown;
      break;
    default:
      return kRunning;
  }
  SaverWindowEvent(g_run->process->App(), *g_run->host, event);
  return g_run->host->WindowAlive() ? kRunning : kEnded;
}

EMSCRIPTEN_KEEPALIVE void tl_stop() {
  if (!g_run) return;
  g_run->host->DestroyWindow();
  delete g_run;
  g_run = nullptr;
}

// The shown frame: rgba points at width × height × 4 bytes; 0 until a frame was presented.
EMSCRIPTEN_KEEPALIVE const uint32_t* tl_frame_rgba() {
  return g_run && !g_run->rgba.empty() ? g_run->rgba.data() : nullptr;
}
EMSCRIPTEN_KEEPALIVE int tl_frame_width() {
  return g_run ? g_run->process->App().screenWidth : 0;
}
EMSCRIPTEN_KEEPALIVE int tl_frame_height() {
  return g_run ? g_run->process->App().screenHeight : 0;
}
EMSCRIPTEN_KEEPALIVE uint32_t tl_frames_presented() {
  return g_run ? g_run->presented : 0;
}
// The whole factor the page enlarges each frame by (the "Scale" rule), and the timer period.
EMSCRIPTEN_KEEPALIVE int tl_display_scale() {
  return g_run ? g_run->process->App().displayScale : 1;
}
EMSCRIPTEN_KEEPALIVE uint32_t tl_timer_period_ms() {
  return g_run ? g_run->host->PeriodMs() : 0;
}
EMSCRIPTEN_KEEPALIVE int tl_sound_on() {
  return g_run ? g_run->process->App().soundOn : 0;
}
// The sound control of the page: the "Sound" setting of the running saver.
EMSCRIPTEN_KEEPALIVE void tl_set_sound(int on) {
  if (g_run) g_run->process->App().soundOn = on ? 1 : 0;
}
// The settings the running saver took (after its own defaults and limits), for the settings panel.
EMSCRIPTEN_KEEPALIVE int tl_frame_rate() {
  return g_run ? g_run->process->App().frameRate : 0;
}
EMSCRIPTEN_KEEPALIVE int tl_num_animations() {
  return g_run ? g_run->process->App().numAnimations : 0;
}
EMSCRIPTEN_KEEPALIVE int tl_scale_setting() {
  return g_run ? g_run->process->App().scaleSetting : 0;
}
// For measurements: the shown frame's palette indices (width × height) and its conversion again.
EMSCRIPTEN_KEEPALIVE const uint8_t* tl_frame_indices() {
  MemoryDisplaySurface* surface = g_run ? g_run->host->Surface() : nullptr;
  return surface && surface->PresentCount() ? surface->PresentedIndices().data() : nullptr;
}
EMSCRIPTEN_KEEPALIVE const uint32_t* tl_frame_colours() {
  return g_run ? g_run->colours : nullptr;
}
EMSCRIPTEN_KEEPALIVE void tl_convert_frame() {
  MemoryDisplaySurface* surface = g_run ? g_run->host->Surface() : nullptr;
  if (surface && surface->PresentCount()) ConvertShownFrame(*surface);
}
EMSCRIPTEN_KEEPALIVE uint32_t tl_sound_cues_requested() {
  return g_run ? static_cast<uint32_t>(g_run->process->App().statistics.soundCuesRequested) : 0;
}

}  // extern "C"
