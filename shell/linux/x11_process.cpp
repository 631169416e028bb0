#include "shell/linux/x11_process.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>

// clang-format off
#include <X11/Xlib.h>
// clang-format on

int g_signalPipe[2] = {-1, -1};
volatile sig_atomic_t g_terminate = 0;
unsigned long g_watchedWindow = 0;
volatile bool g_windowGone = false;
unsigned long g_xErrors = 0;
unsigned long g_xWatchedRequest = 0;
volatile bool g_xWatchedRequestFailed = false;

namespace {

void OnTerminate(int) {
  g_terminate = 1;
  if (g_signalPipe[1] >= 0) {
    const char byte = 1;
    ssize_t ignored = write(g_signalPipe[1], &byte, 1);
    (void)ignored;
  }
}

int OnXError(Display*, XErrorEvent* e) {
  ++g_xErrors;
  if (g_xWatchedRequest && e->serial == g_xWatchedRequest) g_xWatchedRequestFailed = true;
  if ((e->error_code == BadWindow || e->error_code == BadDrawable) && e->resourceid == g_watchedWindow)
    g_windowGone = true;
  return 0;
}

int OnXIOError(Display*) {
  // The connection to the X server is gone: nothing can be shown any more. XScreenSaver or the
  // session ended; that is an end, not a failure, when we were asked to stop anyway.
  _exit(g_terminate ? 0 : 1);
}

}  // namespace

void InstallX11ProcessHandlers() {
  XSetErrorHandler(OnXError);
  XSetIOErrorHandler(OnXIOError);
  if (pipe(g_signalPipe) == 0) {
    for (int fd : g_signalPipe) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
  }
  struct sigaction action {};
  action.sa_handler = OnTerminate;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

void DrainSignalPipe() {
  char drain[16];
  while (read(g_signalPipe[0], drain, sizeof drain) > 0) {
  }
}

uint32_t SteadyMs() {
  using namespace std::chrono;
  return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}
