#include "shell/headless_run.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

#include "base/xb_error.h"
#include "base/xb_file.h"
#include "display/memory_display_surface.h"
#include "scene/frame_update.h"
#include "scene/sound_cue.h"
#include "shell/run_application.h"
#include "shell/saver_startup.h"
#include "display/display_scale.h"
#include "shell/saver_window.h"
#include "shell/settings.h"
#include "shell/option_values.h"
#include "shell/settings_store.h"
#include "shell/simulated_sound.h"
#include "shell/version.h"

const char* const kHeadlessUsage =
    "usage: tillands --headless [options]\n"
    "\n"
    "Runs the screensaver without a window: start-up, intro, scene and text phases, on a simulated\n"
    "clock that advances one timer period per frame: 1000 / fps whole milliseconds, as the saver's\n"
    "timer (83 ms at 12 fps, so 12.05 frames per simulated second). The same options give the same\n"
    "frames.\n"
    "\n"
    "options:\n"
    "  --data DIR          the game data directory (default: the built demo world)\n"
    "  --size WxH          screen size in pixels, 32..8192 each (default 1280x720)\n"
    "  --seconds S         simulated seconds to run (default 60)\n"
    "  --frames N          frames to run instead of --seconds\n"
    "  --seed N            seed of both random generators, 0..4294967295 (default: from the clock)\n"
    "  --fps N             frame rate, 1..1000 (default 12, the saver's default)\n"
    "  --animations N      the \"Num Animations\" setting, 10..100 (default 30)\n"
    "  --sound on|off      the \"Sound\" setting (default on; sounds are simulated, never played)\n"
    "  --scale N|auto      the \"Scale\" setting: the scene runs at size / N and frames are enlarged\n"
    "                      by N (auto: the largest N keeping the height / N at least 1000; default 1)\n"
    "  --png DIR           write frames as paletted PNG files DIR/frame_NNNNNN.png\n"
    "  --gif FILE          write frames as one animated GIF\n"
    "  --ppm DIR           write frames as binary PPM files DIR/frame_NNNNNN.ppm (the same files a\n"
    "                      window front end writes with TILLANDS_CAPTURE_DIR)\n"
    "  --raw               write frames to standard output as raw RGB24 (for ffmpeg -f rawvideo)\n"
    "  --every K           write only every Kth frame (default 1)\n"
    "  --from S            write frames only from simulated second S on, 0..864000 (default 0)\n"
    "  --quiet             no progress lines and no warnings (their count stays in the summary)\n"
    "  --help              this text\n"
    "  --version           the program's version\n"
    "\n"
    "A summary (frames, phases, scenes started by kind, activities alive, sound cues) goes to standard\n"
    "error at the end. Warnings go to standard error too: the first few of each kind in full, then a\n"
    "count per kind. GIF frame delays carry their rounding to 1/100 s, so the GIF plays at the\n"
    "simulated speed.\n";

uint32_t HeadlessOptions::TickMs() const {
  return FrameTimerPeriodMs(fps);
}

uint64_t HeadlessOptions::TickCount() const {
  if (frames > 0) return frames;
  const uint32_t tick = TickMs() ? TickMs() : 1;
  const double ticks = std::floor(seconds * 1000.0 / tick + 0.5);
  return ticks < 1 ? 1 : static_cast<uint64_t>(ticks);
}

uint64_t HeadlessOptions::FirstWrittenTick() const {
  const uint32_t tick = TickMs() ? TickMs() : 1;
  return static_cast<uint64_t>(std::ceil(from * 1000.0 / tick));
}

namespace {

bool ParseUnsigned(const char* text, uint64_t maxValue, uint64_t& value) {
  if (!text || !*text || *text == '-' || *text == '+' || *text == ' ') return false;
  errno = 0;
  char* end = nullptr;
  unsigned long long v = std::strtoull(text, &end, 10);
  if (errno != 0 || !end || *end != 0 || v > maxValue) return false;
  value = v;
  return true;
}

std::string Absolute(const std::string& path) {
  std::error_code ec;
  std::filesystem::path p = std::filesystem::absolute(path, ec);
  return ec ? path : p.string();
}

}  // namespace

int ParseHeadlessArguments(int argc, const char* const* argv, HeadlessOptions& options, std::string& error,
                           const std::string& defaultDataDir) {
  options = HeadlessOptions{};
  options.dataDir = defaultDataDir;
  bool headless = false, seedGiven = false, secondsGiven = false, framesGiven = false, quiet = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](const char*& out) {
      if (i + 1 >= argc) {
        error = "option " + arg + " needs a value";
        return false;
      }
      out = argv[++i];
      return true;
    };
    const char* v = nullptr;
    uint64_t n = 0;
    if (arg == "--help" || arg == "-h") {
      error = kHeadlessUsage;
      return 2;
    } else if (arg == "--version") {
      error = std::string("tillands ") + kTillandsVersion + "\n";
      return 2;
    } else if (arg == "--headless") {
      headless = true;
    } else if (arg == "--quiet") {
      quiet = true;
    } else if (arg == "--data") {
      if (!value(v)) return 1;
      if (!*v) return error = "--data needs a directory", 1;
      options.dataDir = v;
    } else if (arg == "--size") {
      if (!value(v)) return 1;
      const char* x = std::strchr(v, 'x');
      uint64_t w = 0, h = 0;
      if (!x || !ParseUnsigned(std::string(v, x).c_str(), 8192, w) || !ParseUnsigned(x + 1, 8192, h) ||
          w < 32 || h < 32)
        return error = std::string("bad --size '") + v + "': expected WxH with 32..8192 each, e.g. 1280x720",
               1;
      options.width = static_cast<uint16_t>(w);
      options.height = static_cast<uint16_t>(h);
    } else if (arg == "--seconds") {
      if (!value(v)) return 1;
      char* end = nullptr;
      errno = 0;
      double s = std::strtod(v, &end);
      if (errno != 0 || !end || *end != 0 || !(s > 0) || s > 864000.0)
        return error = std::string("bad --seconds '") + v + "': expected a number above 0 and at most 864000",
               1;
      options.seconds = s;
      secondsGiven = true;
    } else if (arg == "--from") {
      if (!value(v)) return 1;
      char* end = nullptr;
      errno = 0;
      const double s = std::strtod(v, &end);
      if (errno != 0 || !end || *end != 0 || !(s >= 0) || s > 864000.0)
        return error = std::string("bad --from '") + v + "': expected 0..864000", 1;
      options.from = s;
    } else if (arg == "--frames") {
      if (!value(v)) return 1;
      if (!ParseOptionNumber(arg, v, 1, 100000000, n, error)) return 1;
      options.frames = n;
      framesGiven = true;
    } else if (arg == "--seed") {
      if (!value(v)) return 1;
      if (!ParseOptionNumber(arg, v, 0, 0xFFFFFFFFull, n, error)) return 1;
      options.seed = static_cast<uint32_t>(n);
      seedGiven = true;
    } else if (arg == "--fps") {
      if (!value(v)) return 1;
      if (!ParseOptionNumber(arg, v, 1, 1000, n, error)) return 1;
      options.fps = static_cast<uint16_t>(n);
    } else if (arg == "--animations") {
      if (!value(v)) return 1;
      if (!ParseOptionNumber(arg, v, 10, 100, n, error)) return 1;
      options.animations = static_cast<uint32_t>(n);
    } else if (arg == "--sound") {
      if (!value(v)) return 1;
      if (std::strcmp(v, "on") == 0)
        options.sound = true;
      else if (std::strcmp(v, "off") == 0)
        options.sound = false;
      else
        return error = std::string("bad --sound '") + v + "': expected on or off", 1;
    } else if (arg == "--png") {
      if (!value(v)) return 1;
      if (!*v) return error = "--png needs a directory", 1;
      options.pngDir = Absolute(v);
    } else if (arg == "--gif") {
      if (!value(v)) return 1;
      if (!*v) return error = "--gif needs a file name", 1;
      options.gifFile = Absolute(v);
    } else if (arg == "--scale") {
      if (!value(v)) return 1;
      if (std::strcmp(v, "auto") == 0)
        options.scale = 0;
      else if (ParseUnsigned(v, 3, n) && n >= 1)
        options.scale = static_cast<uint8_t>(n);
      else
        return error = std::string("bad --scale '") + v + "': expected 1, 2, 3 or auto", 1;
    } else if (arg == "--ppm") {
      if (!value(v)) return 1;
      if (!*v) return error = "--ppm needs a directory", 1;
      options.ppmDir = Absolute(v);
    } else if (arg == "--raw") {
      options.raw = true;
    } else if (arg == "--every") {
      if (!value(v)) return 1;
      if (!ParseOptionNumber(arg, v, 1, 1000000, n, error)) return 1;
      options.every = static_cast<uint32_t>(n);
    } else {
      error = "unknown option '" + arg + "' (see --help)";
      return 1;
    }
  }
  if (!headless) return error = "nothing to do: this program runs as 'tillands --headless' (see --help)", 1;
  if (secondsGiven && framesGiven) return error = "give either --seconds or --frames, not both", 1;
  if (options.dataDir.empty()) return error = "no data directory: give --data DIR", 1;
  if (!seedGiven) {
    // Not reproducible by intent; the summary prints the seed so the run can be repeated.
    options.seed = static_cast<uint32_t>(std::chrono::system_clock::now().time_since_epoch().count());
  }
  options.progress = !quiet;
  return 0;
}

namespace {

// The clock starts well away from 0 so that no deadline of the first minutes lies at or near 0, and
// far from the 32-bit wrap.
constexpr uint32_t kHeadlessClockStart = kSimulatedClockStartMs;

// The window that is not there: a memory display surface, a timer that is a number, and the
// destruction and quit requests turned into flags the run loop reads.
class HeadlessHost final : public SaverWindowHost, public SaverPlatform {
 public:
  HeadlessHost(SaverApplication& app, SettingsStore& store, SimulatedSoundSink& sound,
               const HeadlessOptions& options, std::function<void()> messageLoop)
      : app_(app), store_(store), sound_(sound), options_(options), messageLoop_(std::move(messageLoop)) {}

  // The platform's half of the program's course.
  SettingsStore& Settings() override { return store_; }
  void ReadScreenMetrics(SaverApplication& app) override {
    app.screenWidth = options_.width;
    app.screenHeight = options_.height;
    app.screenBitsPerPixel = 8;
  }
  void RunSettingsDialog(SaverApplication&) override {}
  void RunPreview(SaverApplication&, int64_t) override {}
  void CreateSaverWindow(SaverApplication&) override {
    // The window exists while its creation message runs (a failed one destroys it there).
    windowAlive_ = true;
    SaverWindowEvent(app_, *this, SaverEvent{SaverEventKind::Create});
  }
  void RunSaverMessageLoop(SaverApplication&) override { messageLoop_(); }

  uint16_t StartFrameTimer(uint16_t id, uint32_t /*periodMs*/) override {
    timerRunning_ = true;
    return id;
  }
  void StopFrameTimer(uint16_t /*id*/) override { timerRunning_ = false; }
  SurfaceRect ClientRect() override { return {0, 0, app_.screenWidth, app_.screenHeight}; }
  DisplaySurface* CreateDisplay(const SurfaceRect& rect, uint16_t bitsPerPixel, uint8_t fill) override {
    MemoryDisplaySurface::Options options;
    options.keepsShownFrame = true;  // the frames take the way the X11 saver's take
    surface_ = MemoryDisplaySurface::Create(rect, bitsPerPixel, fill, options).release();
    return surface_;
  }
  uint32_t RandomSeed(uint32_t /*now*/) override { return options_.seed; }
  void StopAllSounds() override { sound_.StopAll(); }
  void DestroyWindow() override {
    if (!windowAlive_) return;
    windowAlive_ = false;
    SaverWindowEvent(app_, *this, SaverEvent{SaverEventKind::Destroy});
  }
  void PostQuit(int code) override {
    if (quitPosted_) return;
    quitPosted_ = true;
    quitCode_ = code;
  }
  void ShowMessage(const char* text, const char* caption) override {
    std::fprintf(stderr, "%s: %s\n", caption, text);
  }

  bool WindowAlive() const { return windowAlive_; }
  bool QuitPosted() const { return quitPosted_; }
  int QuitCode() const { return quitCode_; }
  // The surface while the window lives (the application record owns it).
  MemoryDisplaySurface* Surface() const { return app_.display ? surface_ : nullptr; }

 private:
  SaverApplication& app_;
  SettingsStore& store_;
  SimulatedSoundSink& sound_;
  const HeadlessOptions& options_;
  std::function<void()> messageLoop_;
  MemoryDisplaySurface* surface_ = nullptr;
  bool timerRunning_ = false;
  bool windowAlive_ = false;
  bool quitPosted_ = false;
  int quitCode_ = 0;
};

// The static data's warnings join the base library's: grouped when the front end routes them.
void PrintWarning(const char* text) {
  if (XB_WarningSink sink = XB_GetWarningSink()) return sink(text);
  std::fprintf(stderr, "Warning! %s\n", text);
}

}  // namespace

HeadlessSummary RunHeadless(const HeadlessOptions& options,
                            const std::function<bool(const HeadlessFrame&)>& onFrame) {
  HeadlessSummary summary;
  summary.seed = options.seed;

  std::error_code ec;
  const std::filesystem::path previousDirectory = std::filesystem::current_path(ec);

  MemorySettingsStore store;
  store.SetNumber(SettingsHive::CurrentUser, kSettingsKeyPath, "FrameRate", options.fps);
  store.SetNumber(SettingsHive::CurrentUser, kSettingsKeyPath, "Num Animations", options.animations);
  store.SetNumber(SettingsHive::CurrentUser, kSettingsKeyPath, "Sound", options.sound ? 1 : 0);
  store.SetNumber(SettingsHive::CurrentUser, kSettingsKeyPath, "Scale", options.scale);
  store.SetText(SettingsHive::CurrentUser, kSettingsKeyPath, "GamePath", options.dataDir);

  SimulatedClock clock(kHeadlessClockStart);
  SimulatedSoundSink sound(clock);
  FrontEndSeams seams;
  seams.clock = &clock;
  seams.sound = &sound;
  seams.warning = &PrintWarning;
  seams.fatalMode = XB_GetFatalMode();       // the caller's choice (the program exits, tests throw)
  seams.readCaptureFromEnvironment = false;  // headless frames are written by the caller
  SaverProcess process(seams);
  SaverApplication* app = &process.App();
  std::vector<uint8_t> enlarged;

  const uint64_t tickCount = options.TickCount();
  const uint32_t tickMs = options.TickMs();
  const uint64_t progressStep = tickCount >= 200 ? (tickCount + 19) / 20 : 0;  // every 5 %
  HeadlessHost* hostPointer = nullptr;
  bool loopRan = false;
  // The message loop of the saver: one timer event per tick until the run's length or the saver's quit.
  auto messageLoop = [&] {
    HeadlessHost& host = *hostPointer;
    loopRan = true;
    summary.started = host.WindowAlive();
    if (!summary.started) {
      summary.stopReason = "the saver window could not be initialised (display, palette or bob libraries)";
      summary.failed = true;
      return;
    }
    for (uint64_t tick = 0; tick < tickCount; ++tick) {
      if (host.QuitPosted() || app->quitRequested || !host.WindowAlive()) break;
      clock.Advance(tickMs);
      SaverWindowEvent(*app, host, SaverEvent{SaverEventKind::Timer, app->timerId});
      ++summary.ticks;
      MemoryDisplaySurface* surface = host.Surface();
      if (surface && surface->PresentCount() > summary.framesPresented) {
        summary.framesPresented = surface->PresentCount();
        HeadlessFrame frame;
        frame.tick = tick;
        frame.timeMs = clock.NowMs() - kHeadlessClockStart;
        frame.width = surface->Width();
        frame.height = surface->Height();
        frame.indices = surface->PresentedIndices().data();
        if (app->displayScale > 1) {
          // The frame as the screen shows it: enlarged by the display scale.
          const uint16_t scale = app->displayScale;
          enlarged.resize(size_t(frame.width) * scale * frame.height * scale);
          EnlargeIndices(frame.indices, frame.width, frame.width, frame.height, scale, enlarged.data(),
                         uint32_t(frame.width) * scale);
          frame.indices = enlarged.data();
          frame.width = static_cast<uint16_t>(frame.width * scale);
          frame.height = static_cast<uint16_t>(frame.height * scale);
        }
        frame.colours = surface->PresentedColours();
        if (onFrame && !onFrame(frame)) {
          summary.stopReason = "writing the output failed";
          break;
        }
      }
      if (options.progress && progressStep && (tick + 1) % progressStep == 0 && tick + 1 < tickCount)
        std::fprintf(stderr, "tillands: %3u%%  frame %llu of %llu, %.1f s simulated\n",
                     unsigned((tick + 1) * 100 / tickCount), (unsigned long long)(tick + 1),
                     (unsigned long long)tickCount, double(clock.NowMs() - kHeadlessClockStart) / 1000.0);
    }
  };
  HeadlessHost host(*app, store, sound, options, messageLoop);
  hostPointer = &host;
  if (!std::filesystem::is_directory(options.dataDir, ec)) {
    summary.stopReason = "data directory '" + options.dataDir + "' does not exist";
    summary.failed = true;
  } else {
    RunApplication(*app, "/s", host);
    if (!loopRan) {
      summary.stopReason = "no data directory";
      summary.failed = true;
    }
  }
  if (summary.started && summary.stopReason.empty() && host.QuitPosted() && host.WindowAlive()) {
    summary.stopReason = "the static data has no remap table \"shadow\"; the saver quit on its first frame";
    summary.failed = true;
  }
  // Nothing asks the headless saver to stop, so ending before the asked length is a failure too.
  if (summary.started && summary.stopReason.empty() && summary.ticks < tickCount) {
    summary.stopReason = "the saver stopped by itself after " + std::to_string(summary.ticks) + " of " +
                         std::to_string(tickCount) + " ticks";
    summary.failed = true;
  }

  summary.simulatedMs = clock.NowMs() - kHeadlessClockStart;
  summary.framesDrawn = app->statistics.ticks;
  summary.phaseSwitches = app->statistics.phaseSwitches;
  summary.introOver = app->introOver != 0;
  summary.textPhase = app->textPhase != 0;
  for (int k = 0; k < kSceneCount; ++k) summary.scenesStarted[k] = app->statistics.scenesStarted[k];
  for (const ActorSlot& slot : app->actors) {
    if (slot.activity <= 0) continue;
    ++summary.activitiesAlive;
    if (slot.activity <= kLastActivity) ++summary.activityCounts[slot.activity];
  }
  summary.soundCuesRequested = app->statistics.soundCuesRequested;
  summary.soundsPlayed = sound.Played();
  summary.soundsDropped = sound.Dropped();
  summary.soundsMissing = sound.Missing();

  // A window that is still there (the run was long enough, or the saver only posted its quit) is
  // destroyed like any saver window, so everything is released in its order.
  host.DestroyWindow();
  if (!previousDirectory.empty()) std::filesystem::current_path(previousDirectory, ec);
  return summary;
}

std::string FormatHeadlessSummary(const HeadlessSummary& s) {
  std::string out;
  char line[256];
  auto add = [&](const char* format, auto... args) {
    std::snprintf(line, sizeof line, format, args...);
    out += line;
  };
  add("tillands: seed %u, %llu frames (%llu presented, %llu drawn), %.1f s simulated\n", s.seed,
      (unsigned long long)s.ticks, (unsigned long long)s.framesPresented, (unsigned long long)s.framesDrawn,
      double(s.simulatedMs) / 1000.0);
  if (!s.stopReason.empty()) add("  stopped: %s\n", s.stopReason.c_str());
  add("  phases: %u switches; intro %s; now in the %s phase\n", s.phaseSwitches,
      s.introOver ? "over" : "showing", s.textPhase ? "text" : "scene");
  out += "  scenes started:";
  bool any = false;
  for (int k = 0; k < kSceneCount; ++k) {
    if (!s.scenesStarted[k]) continue;
    add(" %s %u,", SceneKindName(k), s.scenesStarted[k]);
    any = true;
  }
  if (any) out.pop_back();
  out += any ? "\n" : " none\n";
  add("  activities alive: %u", s.activitiesAlive);
  if (s.activitiesAlive) {
    out += " (";
    bool first = true;
    for (int a = 1; a <= kLastActivity; ++a) {
      if (!s.activityCounts[a]) continue;
      add("%s%d: %u", first ? "" : ", ", a, s.activityCounts[a]);
      first = false;
    }
    out += ")";
  }
  out += "\n";
  add("  sound cues: %llu requested, %llu played, %llu dropped while another played, %llu without a sound\n",
      (unsigned long long)s.soundCuesRequested, (unsigned long long)s.soundsPlayed,
      (unsigned long long)s.soundsDropped, (unsigned long long)s.soundsMissing);
  return out;
}

GifFrameDelays::GifFrameDelays(uint64_t periodMs) : periodMs_(periodMs) {}

int GifFrameDelays::Next() {
  ++frames_;
  // Where the frame ends on the simulated clock, in hundredths rounded to nearest; the delay is what
  // is left after the frames before, so rounding never adds up.
  const uint64_t due = (frames_ * periodMs_ + 5) / 10;
  uint64_t delay = due > shown_ ? due - shown_ : 0;
  if (delay < kMinGifDelay) delay = kMinGifDelay;
  shown_ += delay;
  return static_cast<int>(delay);
}
