// The headless saver: the real saver cycle (start-up, intro, scene and text phases with their
// wind-downs) on a memory display surface, driven by a simulated clock that advances one timer period
// (1000 / frame rate milliseconds) per tick. Nothing here touches a window, a timer or a sound device,
// so the same options always give the same frames.
//
// The settings reach the saver the way they do on a desktop: through a settings store (in memory here)
// holding "FrameRate", "Num Animations", "Sound" and "GamePath", read by the saver's own LoadSettings
// and saver-mode start.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "scene/saver_application.h"

struct HeadlessOptions {
  std::string dataDir;  // the game data directory ("GamePath")
  uint16_t width = 1280;
  uint16_t height = 720;
  uint64_t frames = 0;    // ticks to run; 0: take seconds
  double seconds = 60.0;  // simulated seconds when frames is 0
  uint32_t seed = 1;
  uint16_t fps = 12;
  uint32_t animations = 30;  // stored as "Num Animations" (the saver clamps it to 10..100)
  bool sound = true;
  uint8_t scale = 1;      // the "Scale" setting: 0 automatic, 1..3
  bool progress = false;  // progress lines on standard error for long runs

  // Outputs (used by the front end's frame writer; paths are absolute once parsed).
  std::string pngDir;
  std::string gifFile;
  std::string ppmDir;
  bool raw = false;
  uint32_t every = 1;
  double from = 0.0;  // frames are written from this simulated second on (the run starts at 0)

  // The number of ticks the run asks for.
  uint64_t TickCount() const;
  // The first tick whose frame is written (`from` in ticks, rounded up).
  uint64_t FirstWrittenTick() const;
  // The simulated milliseconds per tick.
  uint32_t TickMs() const;
};

// Parses the command line of `tillands --headless` (argv[0] is the program). Returns 0 to run, 1 on
// bad input (message in `error`), 2 when help or the version was asked for (`error` holds the text to
// print).
int ParseHeadlessArguments(int argc, const char* const* argv, HeadlessOptions& options, std::string& error,
                           const std::string& defaultDataDir);
extern const char* const kHeadlessUsage;

// One presented frame.
struct HeadlessFrame {
  uint64_t tick = 0;    // 0-based
  uint32_t timeMs = 0;  // simulated milliseconds since the start of the run
  uint16_t width = 0;
  uint16_t height = 0;
  const uint8_t* indices = nullptr;  // width × height palette indices, no padding
  const uint8_t* colours = nullptr;  // 256 × (red, green, blue) as shown: 0 and 255 black
};

struct HeadlessSummary {
  bool started = false;    // the data directory was accepted and the window initialised
  std::string stopReason;  // why the run ended before its tick count, or empty
  bool failed = false;     // the saver did not start or quit on its own: a failed run (stopReason says why)
  uint64_t ticks = 0;      // timer ticks run
  uint64_t framesPresented = 0;
  uint64_t framesDrawn = 0;  // UpdateFrame calls that drew (scene statistics)
  uint32_t phaseSwitches = 0;
  bool introOver = false;
  bool textPhase = false;
  uint32_t scenesStarted[kSceneCount] = {};
  uint32_t activitiesAlive = 0;
  uint32_t activityCounts[kLastActivity + 1] = {};
  uint64_t soundCuesRequested = 0;  // cues that reached the sound sink
  uint64_t soundsPlayed = 0;
  uint64_t soundsDropped = 0;  // requested while another was playing
  uint64_t soundsMissing = 0;  // no such WAVE resource
  uint32_t seed = 0;
  uint32_t simulatedMs = 0;
};

// Runs the saver. onFrame is called after every presented frame; returning false stops the run
// (an output error). Warnings go to standard error. The current directory is restored at the end.
HeadlessSummary RunHeadless(const HeadlessOptions& options,
                            const std::function<bool(const HeadlessFrame&)>& onFrame);

// The summary as text lines (standard error of the front end).
std::string FormatHeadlessSummary(const HeadlessSummary& summary);

// The delays of the GIF frames written `periodMs` apart (every Kth frame: K timer periods), in the
// GIF's 1/100 s. Each frame gets the time until the next one with the rounding error carried, so the
// delays add up to the simulated time. Players stretch delays below 2 (0.02 s), so none is shorter;
// at more than 50 GIF frames per second the GIF runs slow.
class GifFrameDelays {
 public:
  static constexpr uint64_t kMinGifDelay = 2;
  explicit GifFrameDelays(uint64_t periodMs);
  int Next();
  uint64_t ShownHundredths() const { return shown_; }

 private:
  uint64_t periodMs_;
  uint64_t frames_ = 0;
  uint64_t shown_ = 0;
};
