// The window the Linux saver draws into, by mode: XScreenSaver's window (or the root) for a hack, one
// override-redirect window over the whole X screen for full screen, a normal top-level window for
// --window.
#pragma once

#include <cstdint>

#include "shell/linux/x11_saver.h"

// Xlib last: its macros (None, Bool, Status) would rename words of the headers above.
// clang-format off
#include <X11/Xlib.h>
// clang-format on

struct X11Target {
  Window window = 0;     // 0 until made (our own window) or the hack's window
  bool foreign = false;  // the window belongs to someone else (XScreenSaver)
  Visual* visual = nullptr;
  int depth = 24;
  uint32_t width = 0, height = 0;
};

// Finds the hack's window, or the visual and size of our own window; false with a message on stderr
// when the saver cannot draw there.
bool FindX11Target(Display* display, int screen, const X11SaverOptions& options, X11Target& target);

// Creates and maps our own window (full screen or --window) for the target found; deleteWindow gets
// the atom of the window manager's close.
Window CreateOwnX11Window(Display* display, int screen, const X11SaverOptions& options,
                          const X11Target& target, Atom& deleteWindow);

// True when the window's area (in root coordinates) holds the origin of the primary monitor (RandR's
// primary output, else the first monitor, else the screen's origin).
bool HoldsPrimaryMonitorOrigin(Display* display, int screen, Window window);
