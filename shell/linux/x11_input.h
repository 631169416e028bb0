// Input of the Linux saver: which X events end it in which mode (any key, click or move full screen;
// Escape or Q in a window; nothing as a hack, where XScreenSaver decides), and the keyboard and pointer
// grabs of full screen with the blank cursor.
#pragma once

#include "shell/linux/linux_options.h"
#include "shell/saver_window.h"

// Xlib last: its macros (None, Bool, Status) would rename words of the headers above.
// clang-format off
#include <X11/Xlib.h>
// clang-format on

// The saver's event for an input event in the mode, or false when the event means nothing there.
bool TranslateX11Input(const XEvent& event, LinuxRunKind kind, SaverEvent& out);

class X11Grabs {
 public:
  explicit X11Grabs(Display* display) : dpy_(display) {}
  ~X11Grabs();
  X11Grabs(const X11Grabs&) = delete;
  X11Grabs& operator=(const X11Grabs&) = delete;

  // Hides the cursor over the window and takes the keyboard and the pointer; false when another
  // program holds them (then neither is held).
  bool Take(Window window);
  // Gives the grabs back; shows the cursor again unless the window is not ours (or gone).
  void Release(Window window, bool restoreCursor);

 private:
  Display* dpy_;
  Cursor blankCursor_ = 0;
  bool grabbed_ = false;
};
