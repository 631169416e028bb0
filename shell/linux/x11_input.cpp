#include "shell/linux/x11_input.h"

#include <chrono>
#include <thread>

// clang-format off
#include <X11/keysym.h>
// clang-format on

bool TranslateX11Input(const XEvent& event, LinuxRunKind kind, SaverEvent& out) {
  switch (event.type) {
    case KeyPress: {
      if (kind == LinuxRunKind::Window) {
        const KeySym key = XLookupKeysym(const_cast<XKeyEvent*>(&event.xkey), 0);
        if (key != XK_Escape && key != XK_q && key != XK_Q) return false;
      } else if (kind != LinuxRunKind::FullScreen) {
        return false;
      }
      out = SaverEvent{SaverEventKind::KeyDown};
      return true;
    }
    case ButtonPress: {
      if (kind != LinuxRunKind::FullScreen) return false;
      SaverEventKind button = SaverEventKind::Other;
      if (event.xbutton.button == Button1) button = SaverEventKind::LeftButtonDown;
      if (event.xbutton.button == Button2) button = SaverEventKind::MiddleButtonDown;
      if (event.xbutton.button == Button3) button = SaverEventKind::RightButtonDown;
      // Wheel steps (buttons 4 and up) are no clicks.
      if (button == SaverEventKind::Other) return false;
      out = SaverEvent{button};
      return true;
    }
    case MotionNotify:
      if (kind != LinuxRunKind::FullScreen) return false;
      out = SaverEvent{SaverEventKind::MouseMove};
      out.x = static_cast<int16_t>(event.xmotion.x);
      out.y = static_cast<int16_t>(event.xmotion.y);
      return true;
    default:
      return false;
  }
}

X11Grabs::~X11Grabs() {
  if (blankCursor_) XFreeCursor(dpy_, blankCursor_);
}

bool X11Grabs::Take(Window window) {
  static char empty[1] = {0};
  Pixmap pixmap = XCreateBitmapFromData(dpy_, window, empty, 1, 1);
  XColor black{};
  blankCursor_ = XCreatePixmapCursor(dpy_, pixmap, pixmap, &black, &black, 0, 0);
  XFreePixmap(dpy_, pixmap);
  XDefineCursor(dpy_, window, blankCursor_);
  // The window must be viewable before it can take the grabs; a window manager may map it late.
  for (int attempt = 0; attempt < 50; ++attempt) {
    const int k = XGrabKeyboard(dpy_, window, True, GrabModeAsync, GrabModeAsync, CurrentTime);
    const int p = XGrabPointer(dpy_, window, True, ButtonPressMask | PointerMotionMask, GrabModeAsync,
                               GrabModeAsync, None, blankCursor_, CurrentTime);
    if (k == GrabSuccess && p == GrabSuccess) {
      grabbed_ = true;
      break;
    }
    XUngrabKeyboard(dpy_, CurrentTime);
    XUngrabPointer(dpy_, CurrentTime);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return grabbed_;
}

void X11Grabs::Release(Window window, bool restoreCursor) {
  if (grabbed_) {
    XUngrabKeyboard(dpy_, CurrentTime);
    XUngrabPointer(dpy_, CurrentTime);
    grabbed_ = false;
  }
  if (blankCursor_ && restoreCursor) XUndefineCursor(dpy_, window);
}
