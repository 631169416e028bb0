// Start to first frame of the Linux saver: starts the program RUNS times and measures, with the
// wall clock of this process, from just before the start until the saver reports that its first
// frame has reached the X server (one byte on the descriptor named by TILLANDS_FIRST_FRAME_FD).
// The first WARMUP starts are not counted: they write the data directory's caches and bring the
// files into memory, so the figures are those of a start from caches.
//
//   bench_startup [--runs N] [--warmup K] -- PROGRAM [ARGUMENTS...]     (DISPLAY must be set)
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifndef TL_VERSION
#define TL_VERSION "unknown"
#endif

namespace {

const char* const kUsage =
    "usage: bench_startup [--runs N] [--warmup K] -- PROGRAM [ARGUMENTS...]\n"
    "Starts PROGRAM (the Linux saver in any of its modes) K + N times (defaults 2 and 10) and prints\n"
    "the time from its start to its first frame on the X server for the last N, with their median,\n"
    "minimum and maximum.\n";

using Clock = std::chrono::steady_clock;

// One start: milliseconds to the first frame, or a negative number when none came within 10 s.
double OneStart(char** argv) {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  const Clock::time_point start = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    const std::string fd = std::to_string(fds[1]);
    setenv("TILLANDS_FIRST_FRAME_FD", fd.c_str(), 1);
    execvp(argv[0], argv);
    std::fprintf(stderr, "bench_startup: cannot start %s: %s\n", argv[0], std::strerror(errno));
    _exit(127);
  }
  close(fds[1]);
  if (pid < 0) {
    close(fds[0]);
    return -1;
  }
  pollfd p{fds[0], POLLIN, 0};
  double ms = -1;
  char byte = 0;
  if (poll(&p, 1, 10000) == 1 && read(fds[0], &byte, 1) == 1)
    ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  close(fds[0]);
  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
  return ms;
}

}  // namespace

int main(int argc, char** argv) {
  long runs = 10, warmup = 2;
  int i = 1;
  for (; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg == "--version") {
      std::printf("bench_startup %s\n", TL_VERSION);
      return 0;
    }
    if (arg == "--") {
      ++i;
      break;
    }
    if ((arg == "--runs" || arg == "--warmup") && i + 1 < argc) {
      char* end = nullptr;
      const long n = std::strtol(argv[i + 1], &end, 10);
      if (!end || *end || n < (arg == "--runs" ? 1 : 0) || n > 1000) {
        std::fprintf(stderr, "bench_startup: %s takes a number up to 1000: '%s'\n%s", arg.c_str(),
                     argv[i + 1], kUsage);
        return 1;
      }
      (arg == "--runs" ? runs : warmup) = n;
      ++i;
      continue;
    }
    std::fprintf(stderr, "bench_startup: unknown option '%s'\n%s", arg.c_str(), kUsage);
    return 1;
  }
  if (i >= argc) {
    std::fprintf(stderr, "bench_startup: no program given\n%s", kUsage);
    return 1;
  }
  if (!std::getenv("DISPLAY")) {
    std::fprintf(stderr, "bench_startup: DISPLAY is not set\n");
    return 1;
  }
  std::vector<double> ms;
  for (long k = 0; k < warmup + runs; ++k) {
    const double t = OneStart(argv + i);
    if (t < 0) {
      std::fprintf(stderr, "bench_startup: start %ld showed no frame within 10 s\n", k + 1);
      return 1;
    }
    if (k >= warmup) ms.push_back(t);
  }
  std::printf("start to first frame over %zu starts:", ms.size());
  for (double t : ms) std::printf(" %.1f", t);
  std::sort(ms.begin(), ms.end());
  std::printf(" ms\nmedian %.1f ms, min %.1f ms, max %.1f ms\n", ms[ms.size() / 2], ms.front(), ms.back());
  return 0;
}
