#include "shell/linux/x11_window.h"

#include <cstdio>

#include "shell/linux/x11_process.h"

// clang-format off
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>
// clang-format on

bool FindX11Target(Display* dpy, int screen, const X11SaverOptions& options, X11Target& target) {
  if (options.kind == LinuxRunKind::Hack) {
    target.window = options.windowId ? static_cast<Window>(options.windowId) : RootWindow(dpy, screen);
    target.foreign = true;
    g_watchedWindow = target.window;
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(dpy, target.window, &attributes) || g_windowGone) {
      std::fprintf(stderr, "tillands: the window 0x%lx does not exist\n",
                   static_cast<unsigned long>(target.window));
      return false;
    }
    target.visual = attributes.visual;
    target.depth = attributes.depth;
    target.width = static_cast<uint32_t>(attributes.width);
    target.height = static_cast<uint32_t>(attributes.height);
    // We select no input: XScreenSaver decides when the hack ends. The structure events tell resizes
    // and the window's destruction.
    XSelectInput(dpy, target.window, StructureNotifyMask | ExposureMask);
  } else {
    target.visual = DefaultVisual(dpy, screen);
    target.depth = DefaultDepth(dpy, screen);
    if (options.kind == LinuxRunKind::FullScreen) {
      target.width = static_cast<uint32_t>(DisplayWidth(dpy, screen));
      target.height = static_cast<uint32_t>(DisplayHeight(dpy, screen));
    } else {
      target.width = options.windowWidth;
      target.height = options.windowHeight;
    }
  }
  if (target.visual->c_class != TrueColor ||
      (target.depth != 16 && target.depth != 24 && target.depth != 30 && target.depth != 32)) {
    std::fprintf(stderr,
                 "tillands: the window's visual is not true colour of depth 16, 24, 30 or 32 (depth %d)\n",
                 target.depth);
    return false;
  }
  return true;
}

Window CreateOwnX11Window(Display* dpy, int screen, const X11SaverOptions& options, const X11Target& target,
                          Atom& deleteWindow) {
  const Window root = RootWindow(dpy, screen);
  XSetWindowAttributes attributes{};
  attributes.background_pixel = 0;
  attributes.border_pixel = 0;
  unsigned long mask = CWBackPixel | CWBorderPixel | CWEventMask;
  attributes.event_mask = KeyPressMask | StructureNotifyMask | ExposureMask;
  if (options.kind == LinuxRunKind::FullScreen) {
    attributes.event_mask |= ButtonPressMask | PointerMotionMask;
    if (!options.managedFullScreen) {
      // One window over every monitor, above everything, without the window manager's frame.
      attributes.override_redirect = True;
      mask |= CWOverrideRedirect;
    }
  }
  const Window window = XCreateWindow(dpy, root, 0, 0, target.width, target.height, 0, target.depth,
                                      InputOutput, target.visual, mask, &attributes);
  g_watchedWindow = window;
  XStoreName(dpy, window, "Tillands ScreenSaver");
  XClassHint hint;
  char name[] = "tillands", className[] = "Tillands";
  hint.res_name = name;
  hint.res_class = className;
  XSetClassHint(dpy, window, &hint);
  deleteWindow = XInternAtom(dpy, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(dpy, window, &deleteWindow, 1);
  if (options.kind == LinuxRunKind::FullScreen && options.managedFullScreen) {
    // Asked for before the map (EWMH): the window manager maps it full screen, above its panels, and
    // gives it the keyboard focus (which a Wayland compositor never gives an override-redirect window).
    Atom fullScreen = XInternAtom(dpy, "_NET_WM_STATE_FULLSCREEN", False);
    XChangeProperty(dpy, window, XInternAtom(dpy, "_NET_WM_STATE", False), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&fullScreen), 1);
  }
  XMapRaised(dpy, window);
  XFlush(dpy);
  return window;
}

bool HoldsPrimaryMonitorOrigin(Display* dpy, int screen, Window window) {
  const Window root = RootWindow(dpy, screen);
  int px = 0, py = 0;
  int eventBase = 0, errorBase = 0;
  if (XRRQueryExtension(dpy, &eventBase, &errorBase)) {
    int count = 0;
    XRRMonitorInfo* monitors = XRRGetMonitors(dpy, root, True, &count);
    if (monitors) {
      int chosen = count > 0 ? 0 : -1;
      for (int i = 0; i < count; ++i)
        if (monitors[i].primary) chosen = i;
      if (chosen >= 0) {
        px = monitors[chosen].x;
        py = monitors[chosen].y;
      }
      XRRFreeMonitors(monitors);
    }
  }
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(dpy, window, &attributes)) return false;
  int wx = 0, wy = 0;
  Window child = 0;
  if (!XTranslateCoordinates(dpy, window, root, 0, 0, &wx, &wy, &child)) return false;
  return px >= wx && py >= wy && px < wx + attributes.width && py < wy + attributes.height;
}
