// A tiny X client for the Linux front end's tests.
//
//   x_test_host W H [--argb] [--grab]   makes a window of the given size (a depth-32 ARGB one with
//                                       --argb; holding the keyboard grab with --grab), prints its id
//                                       in hex and keeps it until it is killed, like XScreenSaver does
//                                       with the window it hands to a hack
//   x_test_host --close ID [TYPE]       sends the window manager's close to window ID: a ClientMessage
//                                       WM_DELETE_WINDOW of type WM_PROTOCOLS (or of the atom TYPE)
//   x_test_host --alpha ID              prints "opaque N of M": the pixels of window ID (depth 32)
//                                       whose alpha bits are all set
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int SendClose(Display* dpy, Window window, const char* type) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(dpy, type ? type : "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(dpy, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(dpy, window, False, NoEventMask, &event);
  XSync(dpy, False);
  return 0;
}

int CountOpaque(Display* dpy, Window window) {
  XWindowAttributes a;
  if (!XGetWindowAttributes(dpy, window, &a) || a.depth != 32) {
    std::fprintf(stderr, "x_test_host: window 0x%lx is not a depth-32 window\n", window);
    return 1;
  }
  XImage* image = XGetImage(dpy, window, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
  if (!image) return 1;
  const unsigned long alpha =
      ~(a.visual->red_mask | a.visual->green_mask | a.visual->blue_mask) & 0xFFFFFFFFul;
  unsigned long opaque = 0;
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x)
      if ((XGetPixel(image, x, y) & alpha) == alpha) ++opaque;
  std::printf("opaque %lu of %lu\n", opaque, static_cast<unsigned long>(a.width) * a.height);
  XDestroyImage(image);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: x_test_host W H [--argb] [--grab] | --close ID [TYPE] | --alpha ID\n");
    return 1;
  }
  Display* dpy = XOpenDisplay(nullptr);
  if (!dpy) {
    std::fprintf(stderr, "x_test_host: no display\n");
    return 1;
  }
  if (std::strcmp(argv[1], "--close") == 0)
    return SendClose(dpy, std::strtoul(argv[2], nullptr, 0), argc > 3 ? argv[3] : nullptr);
  if (std::strcmp(argv[1], "--alpha") == 0) return CountOpaque(dpy, std::strtoul(argv[2], nullptr, 0));
  bool argb = false, grab = false;
  for (int i = 3; i < argc; ++i) {
    if (std::strcmp(argv[i], "--argb") == 0) argb = true;
    if (std::strcmp(argv[i], "--grab") == 0) grab = true;
  }
  const int screen = DefaultScreen(dpy);
  const Window root = RootWindow(dpy, screen);
  XSetWindowAttributes attributes{};
  unsigned long mask = CWBackPixel | CWBorderPixel;
  Visual* visual = DefaultVisual(dpy, screen);
  int depth = DefaultDepth(dpy, screen);
  if (argb) {
    XVisualInfo info;
    if (!XMatchVisualInfo(dpy, screen, 32, TrueColor, &info)) {
      std::fprintf(stderr, "x_test_host: no depth-32 visual\n");
      return 1;
    }
    visual = info.visual;
    depth = 32;
    attributes.colormap = XCreateColormap(dpy, root, visual, AllocNone);
    mask |= CWColormap;
  }
  const Window window = XCreateWindow(dpy, root, 0, 0, std::atoi(argv[1]), std::atoi(argv[2]), 0, depth,
                                      InputOutput, visual, mask, &attributes);
  XSelectInput(dpy, window, StructureNotifyMask);
  XMapWindow(dpy, window);
  for (;;) {
    XEvent event;
    XNextEvent(dpy, &event);
    if (event.type == MapNotify) break;
  }
  if (grab && XGrabKeyboard(dpy, window, True, GrabModeAsync, GrabModeAsync, CurrentTime) != GrabSuccess) {
    std::fprintf(stderr, "x_test_host: cannot grab the keyboard\n");
    return 1;
  }
  std::printf("0x%lx\n", static_cast<unsigned long>(window));
  std::fflush(stdout);
  for (;;) {
    XEvent event;
    XNextEvent(dpy, &event);
  }
}
