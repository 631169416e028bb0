#include "shell/linux/x11_saver.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "display/display_scale.h"
#include "scene/saver_application.h"
#include "shell/linux/sdl_sound.h"
#include "shell/run_application.h"
#include "shell/saver_startup.h"
#include "shell/saver_window.h"
#include "shell/resources/resources.h"

// Xlib last: its macros (None, Bool, Status) would rename words of the headers above.
// clang-format off
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/keysym.h>
#include <sys/ipc.h>
#include <sys/shm.h>
// clang-format on

FitRect FitScene(uint32_t sceneWidth, uint32_t sceneHeight, uint32_t windowWidth, uint32_t windowHeight) {
  FitRect r;
  if (!sceneWidth || !sceneHeight || !windowWidth || !windowHeight) return r;
  // Compare w / sw with h / sh without floating point: the narrower ratio decides.
  if (uint64_t(windowWidth) * sceneHeight <= uint64_t(windowHeight) * sceneWidth) {
    r.width = static_cast<int32_t>(windowWidth);
    r.height = static_cast<int32_t>(std::max<uint64_t>(1, uint64_t(sceneHeight) * windowWidth / sceneWidth));
  } else {
    r.height = static_cast<int32_t>(windowHeight);
    r.width = static_cast<int32_t>(std::max<uint64_t>(1, uint64_t(sceneWidth) * windowHeight / sceneHeight));
  }
  r.x = (static_cast<int32_t>(windowWidth) - r.width) / 2;
  r.y = (static_cast<int32_t>(windowHeight) - r.height) / 2;
  return r;
}

namespace {

// SIGTERM and SIGINT end the saver from the loop: the handler only writes a byte into a pipe that the
// loop polls, so the end is prompt (no waiting for the next frame) and runs the normal destruction.
int g_signalPipe[2] = {-1, -1};
volatile sig_atomic_t g_terminate = 0;

void OnTerminate(int) {
  g_terminate = 1;
  if (g_signalPipe[1] >= 0) {
    const char byte = 1;
    ssize_t ignored = write(g_signalPipe[1], &byte, 1);
    (void)ignored;
  }
}

// X errors never end the process inside Xlib: a hack's window may vanish at any moment (XScreenSaver
// destroys it at deactivation without waiting), and every request on it then fails. The errors are
// remembered; the loop ends the saver when its window is gone.
Window g_watchedWindow = 0;
volatile bool g_windowGone = false;
unsigned long g_xErrors = 0;

int OnXError(Display*, XErrorEvent* e) {
  ++g_xErrors;
  if ((e->error_code == BadWindow || e->error_code == BadDrawable) && e->resourceid == g_watchedWindow)
    g_windowGone = true;
  return 0;
}

int OnXIOError(Display*) {
  // The connection to the X server is gone: nothing can be shown any more. XScreenSaver or the
  // session ended; that is an end, not a failure, when we were asked to stop anyway.
  _exit(g_terminate ? 0 : 1);
}

uint32_t SteadyMs() {
  using namespace std::chrono;
  return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

struct ChannelShift {
  int shift = 0;
  int bits = 0;
};
ChannelShift FromMask(unsigned long mask) {
  ChannelShift c;
  if (!mask) return c;
  while (!(mask & 1)) {
    mask >>= 1;
    ++c.shift;
  }
  while (mask & 1) {
    mask >>= 1;
    ++c.bits;
  }
  return c;
}

class X11Front;

// The display surface: the 8-bit pixel memory the saver writes, and a colour table in the window's
// pixel format built once per palette.
class X11Surface final : public DisplaySurface {
 public:
  X11Surface(X11Front& front, const SurfaceRect& rect, uint16_t bitsPerPixel, uint8_t fill);
  bool SetPalette(const uint8_t* rgb) override;
  uint8_t* Pixels() override { return pixels_.empty() ? nullptr : pixels_.data(); }
  bool Present() override;
  void ReleasePalette() override { hasPalette_ = false; }
  void Release() override {
    pixels_.clear();
    pixels_.shrink_to_fit();
    hasPalette_ = false;
  }
  const uint32_t* Table() const { return table_; }

 private:
  X11Front& front_;
  std::vector<uint8_t> pixels_;
  uint32_t table_[256] = {};
  bool hasPalette_ = false;
};

class X11Front final : public SaverPlatform, public SaverWindowHost {
 public:
  X11Front(const X11SaverOptions& options, SettingsStore& settings, SdlSoundSink* sound, Display* display)
      : options_(options),
        settings_(settings),
        sound_(sound),
        dpy_(display),
        screen_(DefaultScreen(display)) {}

  ~X11Front() override {
    DropImage();
    if (gc_) XFreeGC(dpy_, gc_);
    if (blankCursor_) XFreeCursor(dpy_, blankCursor_);
  }

  void SetApp(SaverApplication* app) { app_ = app; }
  bool StartFailed() const { return startFailed_; }

  // Finds (hack) or prepares the target window's facts; false with a message when impossible.
  bool Prepare() {
    if (options_.kind == LinuxRunKind::Hack) {
      window_ = options_.windowId ? static_cast<Window>(options_.windowId) : RootWindow(dpy_, screen_);
      foreign_ = true;
      g_watchedWindow = window_;
      XWindowAttributes attributes;
      if (!XGetWindowAttributes(dpy_, window_, &attributes) || g_windowGone) {
        std::fprintf(stderr, "tillands: the window 0x%lx does not exist\n",
                     static_cast<unsigned long>(window_));
        return false;
      }
      visual_ = attributes.visual;
      depth_ = attributes.depth;
      width_ = static_cast<uint32_t>(attributes.width);
      height_ = static_cast<uint32_t>(attributes.height);
      // We select no input: XScreenSaver decides when the hack ends. The structure events tell
      // resizes and the window's destruction.
      XSelectInput(dpy_, window_, StructureNotifyMask | ExposureMask);
    } else {
      visual_ = DefaultVisual(dpy_, screen_);
      depth_ = DefaultDepth(dpy_, screen_);
      if (options_.kind == LinuxRunKind::FullScreen) {
        width_ = static_cast<uint32_t>(DisplayWidth(dpy_, screen_));
        height_ = static_cast<uint32_t>(DisplayHeight(dpy_, screen_));
      } else {
        width_ = options_.windowWidth;
        height_ = options_.windowHeight;
      }
    }
    if (visual_->c_class != TrueColor || (depth_ != 24 && depth_ != 32 && depth_ != 30)) {
      std::fprintf(stderr, "tillands: the window's visual is not true colour with 24 or 32 bits (depth %d)\n",
                   depth_);
      return false;
    }
    red_ = FromMask(visual_->red_mask);
    green_ = FromMask(visual_->green_mask);
    blue_ = FromMask(visual_->blue_mask);
    return true;
  }

  uint32_t PixelValue(uint8_t r, uint8_t g, uint8_t b) const {
    auto put = [](uint8_t v, const ChannelShift& c) {
      const uint32_t scaled = c.bits >= 8 ? uint32_t(v) << (c.bits - 8) : uint32_t(v) >> (8 - c.bits);
      return scaled << c.shift;
    };
    return put(r, red_) | put(g, green_) | put(b, blue_);
  }

  // ---- SaverPlatform
  SettingsStore& Settings() override { return settings_; }
  void ReadScreenMetrics(SaverApplication& app) override {
    app.screenWidth = static_cast<uint16_t>(std::min<uint32_t>(width_, 65535));
    app.screenHeight = static_cast<uint16_t>(std::min<uint32_t>(height_, 65535));
    app.screenBitsPerPixel = static_cast<uint16_t>(depth_);
  }
  void RunSettingsDialog(SaverApplication&) override {}
  void RunPreview(SaverApplication&, int64_t) override {}
  void ShowMessage(const char* text, const char* caption) override {
    std::fprintf(stderr, "tillands: %s: %s\n", caption, text);
    startFailed_ = true;
  }

  void CreateSaverWindow(SaverApplication& app) override {
    if (!foreign_) CreateOwnWindow();
    gc_ = XCreateGC(dpy_, window_, 0, nullptr);
    XSetForeground(dpy_, gc_, PixelValue(255, 255, 255));
    XSetBackground(dpy_, gc_, 0);
    app.window = reinterpret_cast<void*>(window_);
    windowAlive_ = true;
    SaverWindowEvent(app, *this, SaverEvent{SaverEventKind::Create});
    if (!windowAlive_) startFailed_ = true;
  }

  void RunSaverMessageLoop(SaverApplication& app) override {
    const int xfd = ConnectionNumber(dpy_);
    while (!app.quitRequested && !quitPosted_) {
      if (g_terminate) {
        DestroyWindow();
        break;
      }
      while (!quitPosted_ && XPending(dpy_) > 0) {
        XEvent event;
        XNextEvent(dpy_, &event);
        HandleEvent(app, event);
      }
      if (g_windowGone && windowAlive_) {
        // The hack's window went away (XScreenSaver deactivated): end quietly.
        DestroyWindow();
      }
      if (quitPosted_ || app.quitRequested) break;
      uint32_t now = SteadyMs();
      if (timerRunning_ && static_cast<int32_t>(now - nextTick_) >= 0) {
        SaverWindowEvent(app, *this, SaverEvent{SaverEventKind::Timer, timerId_});
        // Like a window timer, missed ticks are not made up in a burst.
        nextTick_ += period_;
        now = SteadyMs();
        if (static_cast<int32_t>(now - nextTick_) >= 0) nextTick_ = now + period_;
        continue;  // handle the events that arrived while drawing
      }
      XFlush(dpy_);
      int timeout = -1;
      if (timerRunning_) timeout = std::max<int32_t>(0, static_cast<int32_t>(nextTick_ - now));
      pollfd fds[2] = {{xfd, POLLIN, 0}, {g_signalPipe[0], POLLIN, 0}};
      poll(fds, 2, timeout);
      if (fds[1].revents & POLLIN) {
        char drain[16];
        while (read(g_signalPipe[0], drain, sizeof drain) > 0) {
        }
      }
    }
  }

  // ---- SaverWindowHost
  uint16_t StartFrameTimer(uint16_t id, uint32_t periodMs) override {
    timerRunning_ = true;
    timerId_ = id;
    period_ = periodMs;
    nextTick_ = SteadyMs() + periodMs;
    return id;
  }
  void StopFrameTimer(uint16_t) override { timerRunning_ = false; }
  SurfaceRect ClientRect() override { return {0, 0, app_->screenWidth, app_->screenHeight}; }
  DisplaySurface* CreateDisplay(const SurfaceRect& rect, uint16_t bitsPerPixel, uint8_t fill) override {
    return new X11Surface(*this, rect, bitsPerPixel, fill);
  }
  uint32_t RandomSeed(uint32_t now) override { return options_.seed ? *options_.seed : now; }
  void StopAllSounds() override {
    if (sound_) sound_->StopAll();
  }
  void DestroyWindow() override {
    if (!windowAlive_) return;
    windowAlive_ = false;
    SaverWindowEvent(*app_, *this, SaverEvent{SaverEventKind::Destroy});
    if (!foreign_ && !g_windowGone) XDestroyWindow(dpy_, window_);
    XFlush(dpy_);
  }
  void PostQuit(int) override { quitPosted_ = true; }
  void CaptureMouseAndHideCursor() override {
    if (options_.kind != LinuxRunKind::FullScreen) return;
    static char empty[1] = {0};
    Pixmap pixmap = XCreateBitmapFromData(dpy_, window_, empty, 1, 1);
    XColor black{};
    blankCursor_ = XCreatePixmapCursor(dpy_, pixmap, pixmap, &black, &black, 0, 0);
    XFreePixmap(dpy_, pixmap);
    XDefineCursor(dpy_, window_, blankCursor_);
    // The window must be viewable before it can take the grabs; a window manager may map it late.
    for (int attempt = 0; attempt < 50; ++attempt) {
      const int k = XGrabKeyboard(dpy_, window_, True, GrabModeAsync, GrabModeAsync, CurrentTime);
      const int p = XGrabPointer(dpy_, window_, True, ButtonPressMask | PointerMotionMask, GrabModeAsync,
                                 GrabModeAsync, None, blankCursor_, CurrentTime);
      if (k == GrabSuccess && p == GrabSuccess) {
        grabbed_ = true;
        break;
      }
      XUngrabKeyboard(dpy_, CurrentTime);
      XUngrabPointer(dpy_, CurrentTime);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  void ShowCursorAndReleaseMouse() override {
    if (grabbed_) {
      XUngrabKeyboard(dpy_, CurrentTime);
      XUngrabPointer(dpy_, CurrentTime);
      grabbed_ = false;
    }
    if (blankCursor_ && !g_windowGone && !foreign_) XUndefineCursor(dpy_, window_);
  }

  // ---- presentation
  void Show(const X11Surface& surface, const uint8_t* pixels) {
    if (g_windowGone || !windowAlive_) return;
    if (!EnsureImage()) return;
    const uint16_t w = surface.Width(), h = surface.Height();
    const uint16_t scale = app_->displayScale ? app_->displayScale : 1;
    const FitRect fit = FitScene(w, h, width_, height_);
    uint32_t* dst = reinterpret_cast<uint32_t*>(image_->data);
    const uint32_t dstPitch = static_cast<uint32_t>(image_->bytes_per_line / 4);
    if (fit.width == int32_t(w) * scale && fit.height == int32_t(h) * scale) {
      PresentChangedBands(surface, pixels, scale, fit, dst, dstPitch);
    } else {
      // A window of another shape: nearest neighbour into the fitted rectangle, all of it.
      previous_.clear();
      if (xMap_.size() != size_t(fit.width)) {
        xMap_.resize(size_t(fit.width));
        for (int32_t x = 0; x < fit.width; ++x)
          xMap_[size_t(x)] = uint32_t(uint64_t(x) * w / uint32_t(fit.width));
      }
      for (int32_t y = 0; y < fit.height; ++y) {
        const uint8_t* row = pixels + size_t(uint64_t(y) * h / uint32_t(fit.height)) * surface.Pitch();
        uint32_t* out = dst + size_t(fit.y + y) * dstPitch + size_t(fit.x);
        for (int32_t x = 0; x < fit.width; ++x) out[x] = surface.Table()[row[xMap_[size_t(x)]]];
      }
      PutImage();
    }
    if (options_.showFps) DrawFps();
  }
  // The colours changed: the next frame goes out whole.
  void InvalidateFrame() { previous_.clear(); }

 private:
  // Most of a frame is the same as the one before (the background; only villagers, the scroll band
  // and fades move), so only what changed is converted and sent: the frame is cut into tiles, and
  // the changed ones go out as rectangles. The first
  // frame after the image was made (and after a resize) goes out whole.
  void PresentChangedBands(const X11Surface& surface, const uint8_t* pixels, uint16_t scale,
                           const FitRect& fit, uint32_t* dst, uint32_t dstPitch) {
    const uint16_t w = surface.Width(), h = surface.Height();
    const uint32_t pitch = surface.Pitch();
    const size_t bytes = size_t(pitch) * h;
    if (previous_.size() != bytes) {
      EnlargeToColours(pixels, pitch, w, h, scale, surface.Table(),
                       dst + size_t(fit.y) * dstPitch + size_t(fit.x), dstPitch);
      previous_.assign(pixels, pixels + bytes);
      PutImage();
      return;
    }
    // Bands of 16 rows, cut into tiles of 64 columns; the runs of changed tiles in a band go out as
    // one rectangle each.
    constexpr uint32_t kBandRows = 16, kTileColumns = 64;
    const uint32_t tiles = (w + kTileColumns - 1) / kTileColumns;
    changedTiles_.resize(tiles);
    for (uint32_t y0 = 0; y0 < h; y0 += kBandRows) {
      const uint32_t y1 = std::min<uint32_t>(h, y0 + kBandRows);
      std::fill(changedTiles_.begin(), changedTiles_.end(), uint8_t(0));
      bool any = false;
      for (uint32_t y = y0; y < y1; ++y) {
        const uint8_t* row = pixels + size_t(y) * pitch;
        uint8_t* old = previous_.data() + size_t(y) * pitch;
        if (std::memcmp(row, old, w) == 0) continue;
        for (uint32_t t = 0; t < tiles; ++t) {
          const uint32_t x = t * kTileColumns, n = std::min<uint32_t>(kTileColumns, w - x);
          if (std::memcmp(row + x, old + x, n) == 0) continue;
          changedTiles_[t] = 1;
          std::memcpy(old + x, row + x, n);
          any = true;
        }
      }
      if (!any) continue;
      for (uint32_t t = 0; t < tiles;) {
        if (!changedTiles_[t]) {
          ++t;
          continue;
        }
        uint32_t u = t;
        while (u + 1 < tiles && changedTiles_[u + 1]) ++u;
        const uint32_t left = t * kTileColumns, cols = std::min<uint32_t>((u + 1) * kTileColumns, w) - left;
        const int32_t x = fit.x + int32_t(left * scale), y = fit.y + int32_t(y0 * scale);
        EnlargeToColours(pixels + size_t(y0) * pitch + left, pitch, static_cast<uint16_t>(cols),
                         static_cast<uint16_t>(y1 - y0), scale, surface.Table(),
                         dst + size_t(y) * dstPitch + size_t(x), dstPitch);
        Put(x, y, cols * scale, (y1 - y0) * scale);
        t = u + 1;
      }
    }
    FinishFrame();
  }

 public:
 private:
  void CreateOwnWindow() {
    const Window root = RootWindow(dpy_, screen_);
    XSetWindowAttributes attributes{};
    attributes.background_pixel = 0;
    attributes.border_pixel = 0;
    unsigned long mask = CWBackPixel | CWBorderPixel | CWEventMask;
    attributes.event_mask = KeyPressMask | StructureNotifyMask | ExposureMask;
    if (options_.kind == LinuxRunKind::FullScreen) {
      // One window over every monitor, above everything, without the window manager's frame.
      attributes.override_redirect = True;
      attributes.event_mask |= ButtonPressMask | PointerMotionMask;
      mask |= CWOverrideRedirect;
    }
    window_ =
        XCreateWindow(dpy_, root, 0, 0, width_, height_, 0, depth_, InputOutput, visual_, mask, &attributes);
    g_watchedWindow = window_;
    XStoreName(dpy_, window_, "Tillands ScreenSaver");
    XClassHint hint;
    char name[] = "tillands", className[] = "Tillands";
    hint.res_name = name;
    hint.res_class = className;
    XSetClassHint(dpy_, window_, &hint);
    deleteWindow_ = XInternAtom(dpy_, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(dpy_, window_, &deleteWindow_, 1);
    XMapRaised(dpy_, window_);
    XFlush(dpy_);
  }

  void HandleEvent(SaverApplication& app, XEvent& event) {
    switch (event.type) {
      case ConfigureNotify:
        if (event.xconfigure.window == window_) {
          const uint32_t w = static_cast<uint32_t>(std::max(1, event.xconfigure.width));
          const uint32_t h = static_cast<uint32_t>(std::max(1, event.xconfigure.height));
          if (w != width_ || h != height_) {
            width_ = w;
            height_ = h;
            DropImage();
          }
        }
        break;
      case Expose:
        if (event.xexpose.count == 0 && image_) PutImage();
        break;
      case DestroyNotify:
        if (event.xdestroywindow.window == window_) {
          g_windowGone = true;
          DestroyWindow();
        }
        break;
      case ClientMessage:
        if (static_cast<Atom>(event.xclient.data.l[0]) == deleteWindow_) DestroyWindow();
        break;
      case KeyPress: {
        if (options_.kind == LinuxRunKind::Window) {
          const KeySym key = XLookupKeysym(&event.xkey, 0);
          if (key != XK_Escape && key != XK_q && key != XK_Q) break;
        } else if (options_.kind != LinuxRunKind::FullScreen) {
          break;
        }
        SaverWindowEvent(app, *this, SaverEvent{SaverEventKind::KeyDown});
        break;
      }
      case ButtonPress: {
        if (options_.kind != LinuxRunKind::FullScreen) break;
        SaverEventKind kind = SaverEventKind::Other;
        if (event.xbutton.button == Button1) kind = SaverEventKind::LeftButtonDown;
        if (event.xbutton.button == Button2) kind = SaverEventKind::MiddleButtonDown;
        if (event.xbutton.button == Button3) kind = SaverEventKind::RightButtonDown;
        // Wheel steps (buttons 4 and up) are no clicks.
        if (kind != SaverEventKind::Other) SaverWindowEvent(app, *this, SaverEvent{kind});
        break;
      }
      case MotionNotify:
        if (options_.kind == LinuxRunKind::FullScreen) {
          SaverEvent move{SaverEventKind::MouseMove};
          move.x = static_cast<int16_t>(event.xmotion.x);
          move.y = static_cast<int16_t>(event.xmotion.y);
          SaverWindowEvent(app, *this, move);
        }
        break;
      default:
        break;
    }
  }

  // The image in memory shared with a local X server (MIT-SHM): a put then costs the server one copy
  // instead of Xlib copying every row into the connection. Only for our own windows: a hack's window
  // belongs to XScreenSaver (often another user's session and server set-up) and is kept on the plain
  // path that has the fewest ways to fail. Anything unusual (a remote server, another byte order, a
  // refused attach) falls back to plain XPutImage; TILLANDS_X_SHM=0 forces the fallback.
  bool TryShmImage() {
    if (!shmAllowed_ || foreign_) return false;
    shmAllowed_ = false;  // until it worked
    const char* env = std::getenv("TILLANDS_X_SHM");
    const uint32_t probe = 1;
    const int native = *reinterpret_cast<const uint8_t*>(&probe) ? LSBFirst : MSBFirst;
    if ((env && std::strcmp(env, "0") == 0) || !XShmQueryExtension(dpy_) || ImageByteOrder(dpy_) != native)
      return false;
    XImage* image = XShmCreateImage(dpy_, visual_, static_cast<unsigned>(depth_), ZPixmap, nullptr, &shm_,
                                    width_, height_);
    if (!image) return false;
    if (image->bits_per_pixel != 32) {
      XDestroyImage(image);
      return false;
    }
    shm_.shmid = shmget(IPC_PRIVATE, size_t(image->bytes_per_line) * image->height, IPC_CREAT | 0600);
    if (shm_.shmid < 0) {
      XDestroyImage(image);
      return false;
    }
    void* address = shmat(shm_.shmid, nullptr, 0);
    if (address == reinterpret_cast<void*>(-1)) {
      shmctl(shm_.shmid, IPC_RMID, nullptr);
      XDestroyImage(image);
      return false;
    }
    shm_.shmaddr = image->data = static_cast<char*>(address);
    shm_.readOnly = False;
    const unsigned long errorsBefore = g_xErrors;
    XShmAttach(dpy_, &shm_);
    XSync(dpy_, False);
    // Marked for removal now: it goes when both sides have detached, even if we end abruptly.
    shmctl(shm_.shmid, IPC_RMID, nullptr);
    if (g_xErrors != errorsBefore) {
      shmdt(shm_.shmaddr);
      image->data = nullptr;
      XDestroyImage(image);
      return false;
    }
    image_ = image;
    shmImage_ = true;
    shmAllowed_ = true;
    return true;
  }

  bool EnsureImage() {
    if (image_) return true;
    if (width_ == 0 || height_ == 0 || width_ > 32768 || height_ > 32768) return false;
    if (TryShmImage()) {
      xMap_.clear();
      previous_.clear();
      return true;
    }
    char* data = static_cast<char*>(std::calloc(size_t(width_) * height_, 4));
    if (!data) return false;
    image_ =
        XCreateImage(dpy_, visual_, static_cast<unsigned>(depth_), ZPixmap, 0, data, width_, height_, 32, 0);
    if (!image_) {
      std::free(data);
      return false;
    }
    if (image_->bits_per_pixel != 32) {
      XDestroyImage(image_);
      image_ = nullptr;
      return false;
    }
    // The pixels are written as native 32-bit words; Xlib swaps them when the server differs.
    const uint32_t probe = 1;
    image_->byte_order = *reinterpret_cast<const uint8_t*>(&probe) ? LSBFirst : MSBFirst;
    xMap_.clear();
    previous_.clear();
    return true;
  }
  void DropImage() {
    if (image_ && shmImage_) {
      if (!g_windowGone) XShmDetach(dpy_, &shm_);
      XSync(dpy_, False);
      shmdt(shm_.shmaddr);
      image_->data = nullptr;
    }
    if (image_) XDestroyImage(image_);
    image_ = nullptr;
    shmImage_ = false;
    previous_.clear();
  }
  void Put(int x, int y, unsigned w, unsigned h) {
    if (shmImage_)
      XShmPutImage(dpy_, window_, gc_, image_, x, y, x, y, w, h, False);
    else
      XPutImage(dpy_, window_, gc_, image_, x, y, x, y, w, h);
  }
  // With shared memory the server must have read the image before the next frame writes into it.
  void FinishFrame() {
    if (shmImage_) XSync(dpy_, False);
  }
  void PutImage() {
    Put(0, 0, width_, height_);
    FinishFrame();
  }
  void DrawFps() {
    ++fpsFrames_;
    const uint32_t now = SteadyMs();
    if (fpsStart_ == 0) fpsStart_ = now;
    if (now - fpsStart_ >= 1000) {
      fpsShown_ = fpsFrames_ * 1000.0 / double(now - fpsStart_);
      fpsFrames_ = 0;
      fpsStart_ = now;
    }
    char text[32];
    const int n = std::snprintf(text, sizeof text, "%.1f fps", fpsShown_);
    XDrawImageString(dpy_, window_, gc_, 8, static_cast<int>(height_) - 8, text, n);
  }

  const X11SaverOptions& options_;
  SettingsStore& settings_;
  SdlSoundSink* sound_;
  Display* dpy_;
  int screen_;
  SaverApplication* app_ = nullptr;
  Window window_ = 0;
  bool foreign_ = false;
  Visual* visual_ = nullptr;
  int depth_ = 24;
  uint32_t width_ = 0, height_ = 0;  // the window's current size
  ChannelShift red_, green_, blue_;
  GC gc_ = nullptr;
  Atom deleteWindow_ = 0;
  Cursor blankCursor_ = 0;
  bool grabbed_ = false;
  XImage* image_ = nullptr;
  XShmSegmentInfo shm_{};
  bool shmImage_ = false;
  bool shmAllowed_ = true;
  std::vector<uint32_t> xMap_;
  std::vector<uint8_t> previous_;  // the frame last sent, 8-bit, to find what changed
  std::vector<uint8_t> changedTiles_;
  bool windowAlive_ = false, quitPosted_ = false, startFailed_ = false;
  bool timerRunning_ = false;
  uint16_t timerId_ = 0;
  uint32_t period_ = 83, nextTick_ = 0;
  uint32_t fpsFrames_ = 0, fpsStart_ = 0;
  double fpsShown_ = 0;
};

X11Surface::X11Surface(X11Front& front, const SurfaceRect& rect, uint16_t bitsPerPixel, uint8_t fill)
    : front_(front) {
  rect_ = rect;
  bitsPerPixel_ = bitsPerPixel;
  if (bitsPerPixel != 8 || !SurfaceSizeFromRect(rect, width_, height_)) {
    failed_ = true;
    return;
  }
  pixels_.assign(size_t(Pitch()) * height_, fill);
}

bool X11Surface::SetPalette(const uint8_t* rgb) {
  if (!rgb) return false;
  SurfaceColours colours;
  BuildSurfaceColours(rgb, nullptr, colours);
  for (int i = 0; i < 256; ++i)
    table_[i] = front_.PixelValue(colours.table[i][2], colours.table[i][1], colours.table[i][0]);
  hasPalette_ = true;
  front_.InvalidateFrame();
  return true;
}

bool X11Surface::Present() {
  if (!hasPalette_ || pixels_.empty()) return false;
  front_.Show(*this, pixels_.data());
  return true;
}

void PrintWarning(const char* text) {
  std::fprintf(stderr, "tillands: Warning! %s\n", text);
}

}  // namespace

int RunX11Saver(const X11SaverOptions& options, SettingsStore& settings, SdlSoundSink* sound) {
  Display* dpy = XOpenDisplay(nullptr);
  if (!dpy) {
    const char* name = std::getenv("DISPLAY");
    std::fprintf(stderr, "tillands: cannot open the X display '%s' (try tillands --headless)\n",
                 name ? name : "");
    return 1;
  }
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

  int status = 0;
  {
    X11Front front(options, settings, sound, dpy);
    if (!front.Prepare()) {
      status = 1;
    } else {
      FrontEndSeams seams;
      seams.sound = sound;
      seams.warning = &PrintWarning;
      seams.fatalMode = XB_FatalMode::Exit2;
      seams.registerResources = RegisterGeneratedResources;
      SaverProcess process(seams);
      front.SetApp(&process.App());
      process.Run("/s", front);
      if (front.StartFailed() && !g_terminate) status = 1;
    }
  }
  XCloseDisplay(dpy);
  return status;
}
