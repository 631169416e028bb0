// Deterministic capture: a window front end that runs on the simulated clock with a fixed seed and
// writes its first presented frames as files, so that what a real window showed can be compared byte
// for byte with the headless renderer's frames for the same seed and size.
//
// Switched on by environment variables only (never by new command-line letters: the Windows saver's
// command line belongs to the desktop):
//   TILLANDS_CAPTURE_DIR     folder for the frames (created); frame_NNNNNN.ppm, NNNNNN = 0-based tick
//   TILLANDS_CAPTURE_FRAMES  how many presented frames to write (default 1; the saver keeps running)
//   TILLANDS_SEED            seed of both random generators (default: from the clock, as always)
//   TILLANDS_SIMULATED_CLOCK 1: the clock starts at kSimulatedClockStartMs and advances one timer
//                            period (1000 / frame rate ms) at every frame timer event, as headless does
// A capture folder alone implies the simulated clock and seed 1 unless the other variables say otherwise.
//
// With a scene per monitor each monitor's frames go into a folder of their own, monitor_K/ (K = the
// scene's number, 0 the primary), and "monitors.txt" beside them says for each monitor its number,
// its place and size in the window, its display scale and its seed (one line each: K x y width height
// scale seed): each folder equals a headless run of that size, scale and seed. The file is written
// again whenever the layout changes (a display change while the saver runs).
//
// Frames are binary PPM (P6) of the colours as shown (0 and 255 black), width × height of the scene
// (before any integer enlargement), written to a temporary file and renamed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "display/display_surface.h"

struct SaverApplication;
class SaverClock;
class SimulatedClock;

// Where the simulated clock starts: away from 0 so that no early deadline lies near it, far from the
// 32-bit wrap. The headless renderer uses the same start.
constexpr uint32_t kSimulatedClockStartMs = 100000;

struct CaptureOptions {
  std::string dir;      // empty: no frames written
  uint32_t frames = 0;  // frames to write
  bool haveSeed = false;
  uint32_t seed = 0;
  bool simulatedClock = false;

  bool Active() const { return !dir.empty() || haveSeed || simulatedClock; }
};

// Reads the variables above. Bad values are reported on stderr and ignored.
CaptureOptions CaptureOptionsFromEnvironment();

class FrameCapture {
 public:
  explicit FrameCapture(const CaptureOptions& options);
  ~FrameCapture();

  const CaptureOptions& Options() const { return options_; }
  // The clock the saver must use while the capture runs on simulated time, else null.
  SaverClock* Clock();
  // The seed that replaces the front end's, when one is fixed.
  bool FixedSeed(uint32_t& seed) const;
  // Called at every frame timer event before the frame is drawn: moves the simulated clock on.
  void BeforeTick(const SaverApplication& app);
  // Called after every presented frame: writes it while frames remain. False when writing failed.
  bool AfterPresent(const SaverApplication& app);
  // The same for several monitors' scenes presented in one tick (areas: their places in the window).
  bool AfterPresentScenes(const std::vector<const SaverApplication*>& scenes,
                          const std::vector<SurfaceRect>& areas);
  uint32_t FramesWritten() const { return written_; }

 private:
  CaptureOptions options_;
  SimulatedClock* clock_ = nullptr;
  uint64_t tick_ = 0;
  uint32_t written_ = 0;
  std::string layoutWritten_;  // monitors.txt as last written

  bool WriteFrame(const SaverApplication& app, const std::string& dir);
};

// The active capture of this process (set by SaverProcess), or null. The window's timer handling
// consults it; nothing else does.
FrameCapture* ActiveFrameCapture();
void SetActiveFrameCapture(FrameCapture* capture);

// One frame as binary PPM (P6): width × height pixels of `indices` (rows `pitch` bytes apart) through
// `rgb` (256 × red, green, blue). Written to a temporary file beside `path` and renamed into place.
bool WritePpmFrame(const std::string& path, const uint8_t* indices, uint32_t pitch, uint16_t width,
                   uint16_t height, const uint8_t* rgb, std::string& error);
