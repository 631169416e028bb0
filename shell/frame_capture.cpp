#include "shell/frame_capture.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "base/xb_atomic_file.h"
#include "display/display_surface.h"
#include "graphics/xb_palette.h"
#include "scene/saver_application.h"
#include "shell/settings.h"

namespace {

FrameCapture* g_activeCapture = nullptr;

bool ReadNumberVariable(const char* name, uint64_t maxValue, uint64_t& value) {
  const char* text = std::getenv(name);
  if (!text || !*text) return false;
  errno = 0;
  char* end = nullptr;
  const unsigned long long v = std::strtoull(text, &end, 10);
  if (*text == '-' || errno != 0 || !end || *end != 0 || v > maxValue) {
    std::fprintf(stderr, "tillands: ignoring %s='%s' (expected 0..%llu)\n", name, text,
                 (unsigned long long)maxValue);
    return false;
  }
  value = v;
  return true;
}

}  // namespace

CaptureOptions CaptureOptionsFromEnvironment() {
  CaptureOptions options;
  if (const char* dir = std::getenv("TILLANDS_CAPTURE_DIR")) options.dir = dir;
  uint64_t n = 0;
  options.frames = options.dir.empty() ? 0 : 1;
  if (!options.dir.empty() && ReadNumberVariable("TILLANDS_CAPTURE_FRAMES", 100000000ull, n))
    options.frames = static_cast<uint32_t>(n);
  if (ReadNumberVariable("TILLANDS_SEED", 0xFFFFFFFFull, n)) {
    options.haveSeed = true;
    options.seed = static_cast<uint32_t>(n);
  }
  options.simulatedClock = !options.dir.empty();
  if (ReadNumberVariable("TILLANDS_SIMULATED_CLOCK", 1, n)) options.simulatedClock = n == 1;
  // Frames that are to match the headless renderer need its seed too.
  if (!options.dir.empty() && !options.haveSeed) {
    options.haveSeed = true;
    options.seed = 1;
  }
  return options;
}

FrameCapture::FrameCapture(const CaptureOptions& options) : options_(options) {
  if (options_.simulatedClock) clock_ = new SimulatedClock(kSimulatedClockStartMs);
  if (!options_.dir.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(options_.dir, ec);
  }
}

FrameCapture::~FrameCapture() {
  if (g_activeCapture == this) g_activeCapture = nullptr;
  delete clock_;
}

SaverClock* FrameCapture::Clock() {
  return clock_;
}

bool FrameCapture::FixedSeed(uint32_t& seed) const {
  if (!options_.haveSeed) return false;
  seed = options_.seed;
  return true;
}

void FrameCapture::BeforeTick(const SaverApplication& app) {
  ++tick_;
  if (clock_) clock_->Advance(FrameTimerPeriodMs(app.frameRate));
}

bool FrameCapture::AfterPresent(const SaverApplication& app) {
  if (options_.dir.empty() || written_ >= options_.frames) return true;
  const bool ok = WriteFrame(app, options_.dir);
  ++written_;
  return ok;
}

bool FrameCapture::AfterPresentScenes(const std::vector<const SaverApplication*>& scenes,
                                      const std::vector<SurfaceRect>& areas) {
  if (options_.dir.empty()) return true;
  bool ok = true;
  const std::filesystem::path dir(options_.dir);
  // The description follows the layout: after a display change it tells the new monitors (and a
  // watcher can wait for it instead of for the time a change takes).
  std::string text;
  for (size_t k = 0; k < scenes.size() && k < areas.size(); ++k) {
    uint32_t seed = 0;
    FixedSeed(seed);
    char line[120];
    std::snprintf(line, sizeof line, "%u %d %d %u %u %u %u\n", unsigned(k), areas[k].left, areas[k].top,
                  unsigned(scenes[k]->screenWidth), unsigned(scenes[k]->screenHeight),
                  unsigned(scenes[k]->displayScale), unsigned(seed + k));
    text += line;
  }
  if (text != layoutWritten_) {
    std::string error;
    if (XB_WriteFileAtomic((dir / "monitors.txt").string().c_str(),
                           std::vector<uint8_t>(text.begin(), text.end()), &error)) {
      layoutWritten_ = text;
    } else {
      std::fprintf(stderr, "tillands: capture: %s\n", error.c_str());
      ok = false;
    }
  }
  if (written_ >= options_.frames) return ok;
  for (size_t k = 0; k < scenes.size(); ++k) {
    const std::filesystem::path sub = dir / ("monitor_" + std::to_string(k));
    std::error_code ec;
    std::filesystem::create_directories(sub, ec);
    ok = WriteFrame(*scenes[k], sub.string()) && ok;
  }
  ++written_;
  return ok;
}

bool FrameCapture::WriteFrame(const SaverApplication& app, const std::string& dir) {
  DisplaySurface* surface = app.display;
  if (!surface || !surface->Pixels() || !app.palette) return true;
  // The colours as the screen shows them: the palette's colours, 0 and 255 black.
  uint8_t rgb[768];
  for (int i = 0; i < 256; ++i) {
    const XB_PALETTE_ENTRY& c = app.palette->GetColour(i);
    const bool black = i == 0 || i == 255;
    rgb[3 * i] = black ? 0 : c.red;
    rgb[3 * i + 1] = black ? 0 : c.green;
    rgb[3 * i + 2] = black ? 0 : c.blue;
  }
  char name[40];
  std::snprintf(name, sizeof name, "frame_%06llu.ppm", (unsigned long long)(tick_ ? tick_ - 1 : 0));
  std::string error;
  const bool ok = WritePpmFrame((std::filesystem::path(dir) / name).string(), surface->Pixels(),
                                surface->Pitch(), surface->Width(), surface->Height(), rgb, error);
  if (!ok) std::fprintf(stderr, "tillands: capture: %s\n", error.c_str());
  return ok;
}

FrameCapture* ActiveFrameCapture() {
  return g_activeCapture;
}

void SetActiveFrameCapture(FrameCapture* capture) {
  g_activeCapture = capture;
}

bool WritePpmFrame(const std::string& path, const uint8_t* indices, uint32_t pitch, uint16_t width,
                   uint16_t height, const uint8_t* rgb, std::string& error) {
  // All or nothing under a temporary name of this process's own (two runs capturing into one
  // folder never share a temporary file), renamed by the platform layer.
  char header[40];
  const int headerLength =
      std::snprintf(header, sizeof header, "P6\n%u %u\n255\n", unsigned(width), unsigned(height));
  std::vector<uint8_t> bytes(size_t(headerLength) + size_t(width) * height * 3);
  std::memcpy(bytes.data(), header, size_t(headerLength));
  uint8_t* out = bytes.data() + headerLength;
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* in = indices + size_t(y) * pitch;
    for (uint32_t x = 0; x < width; ++x, out += 3) std::memcpy(out, &rgb[3 * in[x]], 3);
  }
  if (!XB_WriteFileAtomic(path.c_str(), bytes, &error)) return false;
  return true;
}
