#include "shell/linux/x11_process.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

// clang-format off
#include <X11/Xlib.h>
// clang-format on

int g_signalPipe[2] = {-1, -1};
volatile sig_atomic_t g_terminate = 0;
unsigned long g_watchedWindow = 0;
volatile bool g_windowGone = false;
unsigned long g_xErrors = 0;
int g_expectedErrors = 0;

namespace {

void OnTerminate(int) {
  g_terminate = 1;
  if (g_signalPipe[1] >= 0) {
    const char byte = 1;
    ssize_t ignored = write(g_signalPipe[1], &byte, 1);
    (void)ignored;
  }
}

int OnXError(Display* dpy, XErrorEvent* e) {
  ++g_xErrors;
  if ((e->error_code == BadWindow || e->error_code == BadDrawable) && e->resourceid == g_watchedWindow) {
    g_windowGone = true;
    return 0;
  }
  if (g_expectedErrors > 0) return 0;
  // A broken request repeats every frame: the first few tell what went wrong.
  constexpr unsigned long kShown = 5;
  static unsigned long shown = 0;
  if (shown > kShown) return 0;
  if (shown++ == kShown) {
    std::fprintf(stderr, "tillands: further X errors are not shown\n");
    return 0;
  }
  char text[160] = {}, request[120] = {}, number[32];
  XGetErrorText(dpy, e->error_code, text, sizeof text);
  std::snprintf(number, sizeof number, "%d", e->request_code);
  XGetErrorDatabaseText(dpy, "XRequest", number, number, request, sizeof request);
  std::fprintf(stderr, "tillands: X error: %s (request %s, minor %d, resource 0x%lx)\n", text, request,
               e->minor_code, e->resourceid);
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
  // Close-on-exec: nothing the saver might start inherits the pipe.
  if (g_signalPipe[0] < 0 && pipe2(g_signalPipe, O_NONBLOCK | O_CLOEXEC) != 0)
    g_signalPipe[0] = g_signalPipe[1] = -1;
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
