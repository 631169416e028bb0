// Frame times of the real saver over a long simulated run: the headless saver (start-up, intro,
// scene and text phases with their wind-downs, the demo world, 100 animations) on a memory display
// surface, timing every tick's UpdateFrame + presentation with the wall clock. A viewer sees a stall
// as one slow frame among quick ones, so the figures are the median, the 99th percentile and the
// maximum, with the slowest ticks named by their place in the run.
//
// Not a Google Benchmark program: the figure is a distribution over one deterministic run, not a
// mean over repetitions. The first tick (which also loads the static data) is reported on its own.
// Each tick is timed twice: by the thread's CPU time, which a busy machine does not inflate by
// running others in between (the figures to compare), and by the wall clock, which it does.
#include <algorithm>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "base/xb_error.h"
#include "base/xb_warning_groups.h"
#include "shell/headless_run.h"
#include "shell/resources/resources.h"

#ifndef TL_VERSION
#define TL_VERSION "unknown"
#endif

namespace {

using Clock = std::chrono::steady_clock;

const char* const kUsage =
    "usage: bench_frame_times [--data DIR] [--minutes M] [--size WxH]... [--animations N] [--seed N]\n"
    "                         [--fps N] [--slowest K] [--kernel-sets LIST]\n"
    "Runs the saver headless for M simulated minutes (default 30) at each size (default 1920x1080 and\n"
    "3840x2160) with N animations (default 100) and prints p50, p99 and the maximum of the CPU time\n"
    "and the wall time of each tick (UpdateFrame + presentation into a memory surface), and the K\n"
    "slowest ticks (default 5). With --kernel-sets (e.g. plain,sse,avx2,avx512) the whole run is made\n"
    "once per drawing kernel set, each forced by TILLANDS_DRAW_KERNELS.\n"
    "The data directory defaults to the build tree's demo world.\n";

struct Size {
  uint16_t width, height;
};

// The CPU time this thread has used, in milliseconds.
double ThreadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

struct Slow {
  double ms;
  double wallMs;
  uint64_t tick;
  uint32_t simulatedMs;
  bool page;
};

// A frame of the intro or the text page: those are filled with one colour before the page is drawn
// in the middle, so their top row is all one colour; a scene frame's top row shows the background
// tiles and the scrolling text.
bool IsPageFrame(const HeadlessFrame& frame) {
  const uint8_t* row = frame.indices;
  for (uint16_t x = 1; x < frame.width; ++x)
    if (row[x] != row[0]) return false;
  return true;
}

double Percentile(std::vector<double> sorted, double p) {
  if (sorted.empty()) return 0;
  // Nearest rank: the smallest value with at least p of the samples at or below it.
  size_t rank = static_cast<size_t>(p * static_cast<double>(sorted.size()) + 0.999999);
  rank = std::clamp<size_t>(rank, 1, sorted.size());
  return sorted[rank - 1];
}

bool ParseSize(const char* text, Size& size) {
  unsigned w = 0, h = 0;
  char extra = 0;
  if (std::sscanf(text, "%ux%u%c", &w, &h, &extra) != 2 || w < 640 || h < 480 || w > 8192 || h > 8192)
    return false;
  size = {static_cast<uint16_t>(w), static_cast<uint16_t>(h)};
  return true;
}

bool ParseNumber(const char* text, unsigned long low, unsigned long high, unsigned long& value) {
  char* end = nullptr;
  value = std::strtoul(text, &end, 10);
  return end && end != text && *end == 0 && value >= low && value <= high;
}

}  // namespace

int main(int argc, char** argv) {
  XB_SetFatalMode(XB_FatalMode::Exit2);
  RegisterGeneratedResources();
  static XB_WARNING_GROUPS warnings("bench_frame_times");
  warnings.SetQuiet(true);
  XB_RouteWarningsTo(&warnings);

  // The build tree's demo world, found beside the program (<build>/bench/bench_frame_times) rather
  // than compiled in, so that no checkout's path ends up in the object file.
  std::error_code selfError;
  std::string data = (std::filesystem::read_symlink("/proc/self/exe", selfError).parent_path().parent_path() /
                      "world" / "Tillands")
                         .string();
  if (selfError) data.clear();
  unsigned long minutes = 30, animations = 100, seed = 1, fps = 12, slowest = 5;
  std::vector<Size> sizes;
  std::vector<std::string> kernelSets;
  std::vector<char*> passOn{argv[0]};  // the arguments of one run per kernel set
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    auto bad = [&](const char* what) {
      std::fprintf(stderr, "bench_frame_times: %s: '%s'\n%s", what, value ? value : "", kUsage);
      return 1;
    };
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg == "--version") {
      std::printf("bench_frame_times %s\n", TL_VERSION);
      return 0;
    } else if (arg == "--data" && value) {
      data = value;
    } else if (arg == "--minutes" && value) {
      if (!ParseNumber(value, 1, 600, minutes)) return bad("--minutes takes 1..600");
    } else if (arg == "--size" && value) {
      Size s;
      if (!ParseSize(value, s)) return bad("--size takes WxH from 640x480 to 8192x8192");
      sizes.push_back(s);
    } else if (arg == "--animations" && value) {
      if (!ParseNumber(value, 10, 100, animations)) return bad("--animations takes 10..100");
    } else if (arg == "--seed" && value) {
      if (!ParseNumber(value, 0, 0xFFFFFFFFul, seed)) return bad("--seed takes a 32-bit number");
    } else if (arg == "--fps" && value) {
      if (!ParseNumber(value, 1, 1000, fps)) return bad("--fps takes 1..1000");
    } else if (arg == "--kernel-sets" && value) {
      for (std::string list = value; !list.empty();) {
        const size_t comma = list.find(',');
        kernelSets.push_back(list.substr(0, comma));
        list = comma == std::string::npos ? "" : list.substr(comma + 1);
      }
      ++i;
      continue;
    } else if (arg == "--slowest" && value) {
      if (!ParseNumber(value, 0, 100, slowest)) return bad("--slowest takes 0..100");
    } else {
      std::fprintf(stderr, "bench_frame_times: unknown or incomplete option '%s'\n%s", arg.c_str(), kUsage);
      return 1;
    }
    passOn.push_back(argv[i]);
    passOn.push_back(argv[i + 1]);
    ++i;
  }
  if (!kernelSets.empty()) {
    // One run per set, each in a process of its own: the set is chosen once per process.
    passOn.push_back(nullptr);
    int status = 0;
    for (const std::string& set : kernelSets) {
      std::fflush(stdout);
      const pid_t pid = fork();
      if (pid == 0) {
        setenv("TILLANDS_DRAW_KERNELS", set.c_str(), 1);
        execv("/proc/self/exe", passOn.data());
        _exit(127);
      }
      int child = 0;
      if (pid < 0 || waitpid(pid, &child, 0) < 0 || !WIFEXITED(child) || WEXITSTATUS(child) != 0) status = 1;
    }
    return status;
  }
  std::error_code ec;
  if (data.empty() || !std::filesystem::is_directory(data, ec)) {
    std::fprintf(stderr, "bench_frame_times: no data directory '%s' (build the demo world or give --data)\n",
                 data.c_str());
    return 1;
  }
  if (sizes.empty()) sizes = {{1920, 1080}, {3840, 2160}};
  const char* kernels = std::getenv("TILLANDS_DRAW_KERNELS");
  std::printf("frame times: %lu simulated minutes at %lu fps, %lu animations, seed %lu, kernels %s\n",
              minutes, fps, animations, seed,
              kernels && *kernels ? kernels : "as the processor picks (TILLANDS_DRAW_KERNELS unset)");

  for (const Size& size : sizes) {
    HeadlessOptions options;
    options.dataDir = data;
    options.width = size.width;
    options.height = size.height;
    options.seconds = static_cast<double>(minutes) * 60.0;
    options.seed = static_cast<uint32_t>(seed);
    options.fps = static_cast<uint16_t>(fps);
    options.animations = static_cast<uint32_t>(animations);
    options.sound = true;  // the simulated sink: cues cost what they cost on a desktop, without a device
    options.scale = 1;     // the scene at the full size
    const uint64_t ticks = options.TickCount();

    std::vector<double> ms, wall, pageMs, sceneMs;
    std::vector<Slow> slow;
    ms.reserve(ticks);
    wall.reserve(ticks);
    slow.reserve(ticks);
    Clock::time_point last = Clock::now();
    double lastCpu = ThreadCpuMs();
    double firstTickMs = 0;
    const uint64_t step = ticks / 10 ? ticks / 10 : 1;
    const HeadlessSummary summary = RunHeadless(options, [&](const HeadlessFrame& frame) {
      const double cpu = ThreadCpuMs() - lastCpu;
      const double took = std::chrono::duration<double, std::milli>(Clock::now() - last).count();
      if (frame.tick == 0) {
        firstTickMs = cpu;
      } else {
        const bool page = IsPageFrame(frame);
        ms.push_back(cpu);
        wall.push_back(took);
        (page ? pageMs : sceneMs).push_back(cpu);
        slow.push_back({cpu, took, frame.tick, frame.timeMs, page});
      }
      if ((frame.tick + 1) % step == 0)
        std::fprintf(stderr, "  %ux%u: %llu of %llu ticks\n", size.width, size.height,
                     static_cast<unsigned long long>(frame.tick + 1), static_cast<unsigned long long>(ticks));
      last = Clock::now();  // the bookkeeping above is not the saver's
      lastCpu = ThreadCpuMs();
      return true;
    });
    if (summary.failed || ms.empty()) {
      std::fprintf(stderr, "bench_frame_times: the run failed: %s\n", summary.stopReason.c_str());
      return 1;
    }
    auto report = [&](const char* what, std::vector<double> sorted) {
      if (sorted.empty()) return;
      std::sort(sorted.begin(), sorted.end());
      const double p50 = Percentile(sorted, 0.50), p99 = Percentile(sorted, 0.99), max = sorted.back();
      const size_t above20 =
          static_cast<size_t>(sorted.end() - std::upper_bound(sorted.begin(), sorted.end(), 20.0));
      std::printf(
          "%ux%u %s: p50 %.3f ms, p99 %.3f ms, max %.3f ms; p99/p50 %.2f, max/p50 %.2f; %zu above 20 ms\n",
          size.width, size.height, what, p50, p99, max, p99 / p50, max / p50, above20);
    };
    std::printf("%ux%u: %zu ticks after the first; the first tick (intro frame + static data) %.1f ms CPU\n",
                size.width, size.height, ms.size(), firstTickMs);
    report("CPU time ", ms);
    report("wall time", wall);
    // The spread split by what is drawn: a page (intro, text) costs a fill and a picture, a scene
    // the background and up to 100 animated villagers.
    std::printf("%ux%u: %zu page frames, %zu scene frames\n", size.width, size.height, pageMs.size(),
                sceneMs.size());
    report("CPU, pages ", pageMs);
    report("CPU, scenes", sceneMs);
    // For each slow tick the median of the second around it (the ticks before and after, itself
    // left out): a stall stands alone above its neighbours, a heavier scene lifts them all.
    auto around = [&](uint64_t tick) {
      std::vector<double> near;
      const uint64_t half = fps / 2;
      for (uint64_t t = tick > half ? tick - half : 1; t <= tick + half && t < ms.size() + 1; ++t)
        if (t != tick) near.push_back(ms[t - 1]);
      std::sort(near.begin(), near.end());
      return near.empty() ? 0.0 : near[near.size() / 2];
    };
    std::partial_sort(slow.begin(), slow.begin() + std::min<size_t>(slowest, slow.size()), slow.end(),
                      [](const Slow& a, const Slow& b) { return a.ms > b.ms; });
    for (size_t k = 0; k < slowest && k < slow.size(); ++k)
      std::printf(
          "  slow tick %llu at %.1f s simulated (%s): %.3f ms CPU, %.3f ms wall; the second around it: "
          "median %.3f ms CPU (x%.2f)\n",
          static_cast<unsigned long long>(slow[k].tick), slow[k].simulatedMs / 1000.0,
          slow[k].page ? "page" : "scene", slow[k].ms, slow[k].wallMs, around(slow[k].tick),
          slow[k].ms / std::max(around(slow[k].tick), 1e-6));
    std::fflush(stdout);
  }
  return 0;
}
