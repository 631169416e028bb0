// A tiny X client for the hack tests: it makes a window of the given size, prints its id in hex,
// and keeps it until it is killed, like XScreenSaver does with the window it hands to a hack.
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: x_test_host WIDTH HEIGHT\n");
    return 1;
  }
  Display* dpy = XOpenDisplay(nullptr);
  if (!dpy) {
    std::fprintf(stderr, "x_test_host: no display\n");
    return 1;
  }
  const int screen = DefaultScreen(dpy);
  const Window window =
      XCreateSimpleWindow(dpy, RootWindow(dpy, screen), 0, 0, std::atoi(argv[1]), std::atoi(argv[2]), 0,
                          BlackPixel(dpy, screen), BlackPixel(dpy, screen));
  XSelectInput(dpy, window, StructureNotifyMask);
  XMapWindow(dpy, window);
  for (;;) {
    XEvent event;
    XNextEvent(dpy, &event);
    if (event.type == MapNotify) break;
  }
  std::printf("0x%lx\n", static_cast<unsigned long>(window));
  std::fflush(stdout);
  for (;;) {
    XEvent event;
    XNextEvent(dpy, &event);
  }
}
