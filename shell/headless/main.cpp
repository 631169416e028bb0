// tillands: the headless front end of the screensaver. Runs the real saver cycle on a simulated clock
// and writes the frames as PNG files, an animated GIF or raw RGB for ffmpeg.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

#include "base/xb_error.h"
#include "base/xb_warning_groups.h"
#include "shell/headless/frame_writers.h"
#include "shell/frame_capture.h"
#include "shell/headless_run.h"
#include "shell/resources/resources.h"

#if defined(_WIN32)
#include <io.h>
#define dup _dup
#define dup2 _dup2
#define fdopen _fdopen
#else
#include <unistd.h>
#endif

namespace {

// The built demo world: world/Tillands beside the build tree that holds this program
// (<build>/shell/linux/tillands). No build path is compiled in, so two builds of one commit in
// different directories give the same program.
std::string DefaultDataDir(const char* argv0) {
  std::error_code ec;
  std::filesystem::path self = std::filesystem::canonical("/proc/self/exe", ec);
  if (ec && argv0) self = std::filesystem::absolute(argv0, ec);
  if (ec) return {};
  const std::filesystem::path beside = self.parent_path().parent_path().parent_path() / "world" / "Tillands";
  return std::filesystem::is_directory(beside, ec) ? beside.string() : std::string();
}

}  // namespace

// The renderer's entry: `tillands --headless ...` (the one tillands program dispatches here).
int HeadlessMain(int argc, char** argv);
int HeadlessMain(int argc, char** argv) {
  // A damaged data file ends the program with a message and status 2, never with a core dump.
  XB_SetFatalMode(XB_FatalMode::Exit2);
  RegisterGeneratedResources();
  // Warnings go to standard error, grouped by kind; --quiet leaves only their count.
  static XB_WARNING_GROUPS warnings("tillands");
  XB_RouteWarningsTo(&warnings);
  for (int i = 1; i < argc; ++i)
    if (std::string(argv[i]) == "--quiet") warnings.SetQuiet(true);

  HeadlessOptions options;
  std::string error;
  switch (ParseHeadlessArguments(argc, argv, options, error, DefaultDataDir(argc > 0 ? argv[0] : nullptr))) {
    case 2:
      std::fputs(error.c_str(), stdout);
      return 0;
    case 1:
      std::fprintf(stderr, "tillands: %s\n", error.c_str());
      return 1;
    default:
      break;
  }

  // Raw frames own the real standard output; everything else that prints there (the base library's
  // warnings) goes to standard error instead, so it can never corrupt the frame stream.
  std::FILE* rawOut = nullptr;
  if (options.raw) {
    std::fflush(stdout);
    const int rawFd = dup(1);
    if (rawFd < 0 || !(rawOut = fdopen(rawFd, "wb")) || dup2(2, 1) < 0) {
      std::fprintf(stderr, "tillands: cannot set up standard output for raw frames\n");
      return 1;
    }
  }

  std::error_code ec;
  if (!options.pngDir.empty()) {
    std::filesystem::create_directories(options.pngDir, ec);
    if (!std::filesystem::is_directory(options.pngDir, ec)) {
      std::fprintf(stderr, "tillands: cannot create the directory %s\n", options.pngDir.c_str());
      return 1;
    }
  }
  if (!options.ppmDir.empty()) {
    std::filesystem::create_directories(options.ppmDir, ec);
    if (!std::filesystem::is_directory(options.ppmDir, ec)) {
      std::fprintf(stderr, "tillands: cannot create the directory %s\n", options.ppmDir.c_str());
      return 1;
    }
  }
  if (!options.gifFile.empty()) {
    const std::filesystem::path parent = std::filesystem::path(options.gifFile).parent_path();
    if (!parent.empty()) std::filesystem::create_directories(parent, ec);
  }
  const uint64_t firstWritten = options.FirstWrittenTick();
  GifFrameDelays gifDelays(uint64_t{options.every} * options.TickMs());
  AnimatedGif gif;
  bool gifOpen = false;
  uint64_t written = 0;
  std::string outputError;

  auto onFrame = [&](const HeadlessFrame& frame) {
    if (frame.tick < firstWritten || (frame.tick - firstWritten) % options.every != 0) return true;
    if (!options.pngDir.empty()) {
      char name[64];
      std::snprintf(name, sizeof name, "frame_%06llu.png", (unsigned long long)frame.tick);
      const std::string path = (std::filesystem::path(options.pngDir) / name).string();
      if (!WritePalettedPng(path, frame.indices, frame.width, frame.height, frame.colours, outputError))
        return false;
    }
    if (!options.ppmDir.empty()) {
      char name[64];
      std::snprintf(name, sizeof name, "frame_%06llu.ppm", (unsigned long long)frame.tick);
      const std::string path = (std::filesystem::path(options.ppmDir) / name).string();
      if (!WritePpmFrame(path, frame.indices, frame.width, frame.width, frame.height, frame.colours,
                         outputError))
        return false;
    }
    if (!options.gifFile.empty()) {
      if (!gifOpen) {
        if (!gif.Open(options.gifFile, frame.width, frame.height, frame.colours, outputError)) return false;
        gifOpen = true;
      }
      if (!gif.AddFrame(frame.indices, frame.colours, gifDelays.Next(), outputError)) return false;
    }
    if (rawOut && !WriteRawRgbFrame(rawOut, frame.indices, frame.width, frame.height, frame.colours)) {
      outputError = "cannot write to standard output";
      return false;
    }
    ++written;
    return true;
  };

  HeadlessSummary summary = RunHeadless(options, onFrame);
  // A run that failed keeps no GIF: only a complete one is put in place.
  if (gifOpen && outputError.empty() && !summary.failed && !gif.Close(outputError) &&
      summary.stopReason.empty())
    summary.stopReason = "writing the GIF failed";
  if (rawOut && std::fclose(rawOut) != 0 && outputError.empty())
    outputError = "cannot write to standard output";

  if (!summary.started) {
    // Nothing ran: the reason is all there is to say.
    std::fprintf(stderr, "tillands: %s\n", summary.stopReason.c_str());
    warnings.PrintSummary();
    return 1;
  }
  std::fputs(FormatHeadlessSummary(summary).c_str(), stderr);
  if (warnings.Total()) {
    std::fprintf(stderr, "  warnings: %llu\n", static_cast<unsigned long long>(warnings.Total()));
    warnings.PrintSummary();
  }
  if (!options.pngDir.empty() || !options.gifFile.empty() || !options.ppmDir.empty() || options.raw)
    std::fprintf(stderr, "  frames written: %llu (every %u)\n", (unsigned long long)written, options.every);
  if (!outputError.empty()) std::fprintf(stderr, "tillands: %s\n", outputError.c_str());
  if (!outputError.empty()) return 1;
  // A saver that quit on its own (damaged data it can only refuse) is a failed run, not a short one.
  if (summary.failed) {
    std::fprintf(stderr, "tillands: %s\n", summary.stopReason.c_str());
    return 1;
  }
  return 0;
}
