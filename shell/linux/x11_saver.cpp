#include "shell/linux/x11_saver.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

#include "scene/saver_application.h"
#include "shell/linux/sdl_sound.h"
#include "shell/linux/x11_process.h"
#include "shell/monitor_scenes.h"
#include "shell/run_application.h"
#include "shell/saver_startup.h"
#include "shell/saver_window.h"
#include "shell/resources/resources.h"

// The X11 parts last: Xlib's macros (None, Bool, Status) would rename words of the headers above.
// clang-format off
#include "shell/linux/x11_input.h"
#include "shell/linux/x11_picture.h"
#include "shell/linux/x11_window.h"
#include <X11/extensions/Xrandr.h>
// clang-format on

namespace {

class X11Front;

// The display surface: the 8-bit pixel memory the saver writes, and a colour table in the window's
// pixel format built once per palette.
class X11Surface final : public DisplaySurface {
 public:
  // scale 0: the window's one scene (enlarged by the record's scale, or fitted); otherwise one
  // monitor's scene placed at the rectangle's left and top and enlarged by scale.
  X11Surface(X11Front& front, const SurfaceRect& rect, uint16_t bitsPerPixel, uint8_t fill,
             uint16_t scale = 0);
  bool SetPalette(const uint8_t* rgb) override;
  uint8_t* Pixels() override { return pixels_.empty() ? nullptr : pixels_.data(); }
  bool Present() override;
  // The window's one scene keeps its shown frame here; monitor scenes compare their own.
  bool KeepsShownFrame() const override { return sceneScale_ == 0; }
  bool PresentChanges(const std::vector<SurfaceChange>& changes,
                      const std::vector<SurfaceChange>& rows) override;
  void ReleasePalette() override { hasPalette_ = false; }
  void Release() override {
    pixels_.clear();
    pixels_.shrink_to_fit();
    hasPalette_ = false;
  }
  const uint32_t* Table() const { return table_; }
  uint16_t SceneScale() const { return sceneScale_; }
  X11Picture::SceneShown& Shown() { return shown_; }

 private:
  X11Front& front_;
  uint16_t sceneScale_ = 0;
  X11Picture::SceneShown shown_;
  std::vector<uint8_t> pixels_;
  uint32_t table_[256] = {};
  bool hasPalette_ = false;
};

// The saver's platform on X11: the window of the mode, the loop (X events, the frame timer, signals
// through one poll), and the picture.
class X11Front final : public SaverPlatform, public SaverWindowHost {
 public:
  X11Front(const X11SaverOptions& options, SettingsStore& settings, SdlSoundSink* sound, Display* display)
      : options_(options),
        settings_(settings),
        sound_(sound),
        dpy_(display),
        screen_(DefaultScreen(display)),
        grabs_(display) {}

  ~X11Front() override {
    picture_.reset();
    if (gc_) XFreeGC(dpy_, gc_);
  }

  void SetApp(SaverApplication* app) { app_ = app; }
  bool StartFailed() const { return startFailed_; }

  // Finds (hack) or prepares the target window's facts; false with a message when impossible.
  bool Prepare() {
    // A benchmark that starts us measures start to first frame: TILLANDS_FIRST_FRAME_FD names a
    // descriptor it gave us, which gets one byte once the first frame has reached the X server.
    if (const char* fd = std::getenv("TILLANDS_FIRST_FRAME_FD")) {
      char* end = nullptr;
      const long n = std::strtol(fd, &end, 10);
      if (end != fd && *end == 0 && n > 2 && n < 1024) firstFrameFd_ = static_cast<int>(n);
    }
    if (!FindX11Target(dpy_, screen_, options_, target_)) return false;
    if (options_.kind == LinuxRunKind::Window ||
        (options_.kind == LinuxRunKind::FullScreen && options_.managedFullScreen)) {
      // A window manager (a tiling one above all) decides the window's size when it maps it: the
      // scene is laid out for that size, not for the one asked for.
      target_.window = CreateOwnX11Window(dpy_, screen_, options_, target_, deleteWindow_);
      WaitUntilMapped();
    }
    if (options_.kind == LinuxRunKind::FullScreen) {
      // A RandR change of the screen (a monitor added, a resolution changed) resizes the root: the
      // full-screen window follows it, and the monitors' scenes are laid out anew.
      XSelectInput(dpy_, RootWindow(dpy_, screen_), StructureNotifyMask);
      int errorBase = 0;
      if (XRRQueryExtension(dpy_, &rrEventBase_, &errorBase))
        XRRSelectInput(dpy_, RootWindow(dpy_, screen_),
                       RRScreenChangeNotifyMask | RRCrtcChangeNotifyMask | RROutputChangeNotifyMask);
      else
        rrEventBase_ = -1;
    }
    wmProtocols_ = XInternAtom(dpy_, "WM_PROTOCOLS", False);
    picture_ = std::make_unique<X11Picture>(dpy_, target_.visual, target_.depth);
    picture_->Resize(target_.width, target_.height);
    return true;
  }

  // XScreenSaver runs one hack per monitor: only the one whose window holds the primary monitor's
  // origin plays sound, so cues never double.
  bool PlaysSound() const {
    return options_.kind != LinuxRunKind::Hack || HoldsPrimaryMonitorOrigin(dpy_, screen_, target_.window);
  }

  uint32_t PixelValue(uint8_t r, uint8_t g, uint8_t b) const { return picture_->PixelValue(r, g, b); }

  // ---- SaverPlatform
  SettingsStore& Settings() override { return settings_; }
  void ReadScreenMetrics(SaverApplication& app) override {
    app.screenWidth = static_cast<uint16_t>(std::min<uint32_t>(picture_->Width(), 65535));
    app.screenHeight = static_cast<uint16_t>(std::min<uint32_t>(picture_->Height(), 65535));
    app.screenBitsPerPixel = static_cast<uint16_t>(target_.depth);
  }
  // Full screen: the window lies at the root's origin, so root coordinates are the window's.
  // A window and a hack have one scene (XScreenSaver starts a hack per monitor by itself).
  std::vector<SurfaceRect> SceneMonitors() override {
    if (options_.kind != LinuxRunKind::FullScreen) return {};
    return X11MonitorRects(dpy_, screen_);
  }
  void RunSettingsDialog(SaverApplication&) override {}
  void RunPreview(SaverApplication&, int64_t) override {}
  void ShowMessage(const char* text, const char* caption) override {
    std::fprintf(stderr, "tillands: %s: %s\n", caption, text);
    startFailed_ = true;
  }

  void CreateSaverWindow(SaverApplication& app) override {
    if (!target_.foreign && !target_.window)
      target_.window = CreateOwnX11Window(dpy_, screen_, options_, target_, deleteWindow_);
    gc_ = XCreateGC(dpy_, target_.window, 0, nullptr);
    XSetForeground(dpy_, gc_, PixelValue(255, 255, 255));
    XSetBackground(dpy_, gc_, 0);
    picture_->SetWindow(target_.window, gc_);
    app.window = reinterpret_cast<void*>(target_.window);
    windowAlive_ = true;
    SaverWindowEvent(app, *this, SaverEvent{SaverEventKind::Create});
    if (!windowAlive_) startFailed_ = true;
  }

  void RunSaverMessageLoop(SaverApplication& app) override {
    const int xfd = ConnectionNumber(dpy_);
    while (!app.quitRequested && !quitPosted_) {
      if (g_terminate || failed_) {
        if (failed_) startFailed_ = true;
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
      if (relayoutPending_ && windowAlive_) {
        relayoutPending_ = false;
        RequestLayout();
      }
      if (quitPosted_ || app.quitRequested) break;
      uint32_t now = SteadyMs();
      if (timerRunning_ && static_cast<int32_t>(now - nextTick_) >= 0) {
        SaverWindowEvent(app, *this, SaverEvent{SaverEventKind::Timer, timerId_});
        // Like a window timer, missed ticks are not made up in a burst.
        nextTick_ += period_;
        now = SteadyMs();
        if (static_cast<int32_t>(now - nextTick_) >= 0) nextTick_ = now + period_;
        // Handle the events that arrived while drawing. With a period of 0 (a frame rate above 1000)
        // frames follow as fast as they are drawn, but the poll below still runs between them.
        if (period_ != 0) continue;
      }
      XFlush(dpy_);
      int timeout = -1;
      if (timerRunning_) timeout = std::max<int32_t>(0, static_cast<int32_t>(nextTick_ - now));
      pollfd fds[2] = {{xfd, POLLIN, 0}, {g_signalPipe[0], POLLIN, 0}};
      poll(fds, 2, timeout);
      if (fds[1].revents & POLLIN) DrainSignalPipe();
    }
  }

  // ---- SaverWindowHost
  uint16_t StartFrameTimer(uint16_t id, uint32_t periodMs) override {
    timerRunning_ = true;
    timerId_ = id;
    period_ = periodMs;
    // The first tick comes at once rather than one period later: the screen shows the first frame
    // (the intro) without a black pause. A window that is not viewable yet gets it again on Expose.
    nextTick_ = SteadyMs();
    return id;
  }
  void StopFrameTimer(uint16_t) override { timerRunning_ = false; }
  SurfaceRect ClientRect() override { return {0, 0, app_->screenWidth, app_->screenHeight}; }
  DisplaySurface* CreateDisplay(const SurfaceRect& rect, uint16_t bitsPerPixel, uint8_t fill) override {
    return new X11Surface(*this, rect, bitsPerPixel, fill);
  }
  DisplaySurface* CreateSceneDisplay(const SurfaceRect& rect, uint16_t bitsPerPixel, uint8_t fill,
                                     uint16_t scale) override {
    return new X11Surface(*this, rect, bitsPerPixel, fill, scale ? scale : 1);
  }
  uint32_t RandomSeed(uint32_t now) override { return options_.seed ? *options_.seed : now; }
  void StopAllSounds() override {
    if (sound_) sound_->StopAll();
  }
  void DestroyWindow() override {
    if (!windowAlive_) return;
    windowAlive_ = false;
    SaverWindowEvent(*app_, *this, SaverEvent{SaverEventKind::Destroy});
    if (!target_.foreign && !g_windowGone) XDestroyWindow(dpy_, target_.window);
    XFlush(dpy_);
  }
  void PostQuit(int) override { quitPosted_ = true; }
  void CaptureMouseAndHideCursor() override {
    if (options_.kind != LinuxRunKind::FullScreen) return;
    if (!grabs_.Take(target_.window)) {
      // Without the grabs "any key" would go to the window that had the focus, behind a saver that
      // does not end: XScreenSaver refuses to blank in this case too.
      std::fprintf(stderr,
                   "tillands: cannot grab the keyboard and the mouse (another program holds them); not "
                   "blanking the screen\n");
      failed_ = true;
    }
  }
  void ScenesMoving() override {
    picture_->DropImage();
    XClearWindow(dpy_, target_.window);
  }
  void ShowCursorAndReleaseMouse() override {
    grabs_.Release(target_.window, !g_windowGone && !target_.foreign);
  }

  // ---- presentation
  // changes: only these rectangles differ from the frame shown last (null: find out by comparing);
  // rows: the changed pixels in them, row by row.
  void Show(X11Surface& surface, const uint8_t* pixels, const std::vector<SurfaceChange>* changes = nullptr,
            const std::vector<SurfaceChange>* rows = nullptr) {
    if (g_windowGone || !windowAlive_) {
      // This frame's changes never reach the image: the next frame has to go out whole.
      if (changes) picture_->Invalidate();
      return;
    }
    const uint16_t scale = app_->displayScale ? app_->displayScale : 1;
    const bool shown = surface.SceneScale()
                           ? picture_->ShowAt(pixels, surface.Pitch(), surface.Width(), surface.Height(),
                                              surface.SceneScale(), surface.Table(), surface.Rect().left,
                                              surface.Rect().top, surface.Shown())
                           : picture_->Show(pixels, surface.Pitch(), surface.Width(), surface.Height(), scale,
                                            surface.Table(), changes, rows);
    if (!shown) {
      if (!failed_)
        std::fprintf(stderr,
                     "tillands: cannot make a %ux%u image of depth %d for the window; nothing can be shown\n",
                     picture_->Width(), picture_->Height(), target_.depth);
      failed_ = true;
      return;
    }
    if (options_.showFps) picture_->DrawFps();
    if (firstFrameFd_ >= 0) {
      XSync(dpy_, False);
      const char byte = 1;
      ssize_t ignored = write(firstFrameFd_, &byte, 1);
      (void)ignored;
      close(firstFrameFd_);
      firstFrameFd_ = -1;
    }
  }
  // The colours changed: the next frame goes out whole.
  void InvalidateFrame() { picture_->Invalidate(); }

 private:
  // Until the window manager has mapped the window (its size known), or SIGTERM/SIGINT.
  void WaitUntilMapped() {
    const int xfd = ConnectionNumber(dpy_);
    XFlush(dpy_);
    while (!g_terminate) {
      XEvent event;
      while (XCheckWindowEvent(dpy_, target_.window, StructureNotifyMask, &event)) {
        if (event.type == ConfigureNotify) {
          target_.width = static_cast<uint32_t>(std::max(1, event.xconfigure.width));
          target_.height = static_cast<uint32_t>(std::max(1, event.xconfigure.height));
        }
        if (event.type == MapNotify) return;
      }
      pollfd fds[2] = {{xfd, POLLIN, 0}, {g_signalPipe[0], POLLIN, 0}};
      poll(fds, 2, -1);
      if (fds[1].revents & POLLIN) DrainSignalPipe();
    }
  }

  void HandleEvent(SaverApplication& app, XEvent& event) {
    switch (event.type) {
      case ConfigureNotify:
        if (options_.kind == LinuxRunKind::FullScreen &&
            event.xconfigure.window == RootWindow(dpy_, screen_) && target_.window) {
          XResizeWindow(dpy_, target_.window, static_cast<unsigned>(std::max(1, event.xconfigure.width)),
                        static_cast<unsigned>(std::max(1, event.xconfigure.height)));
        } else if (event.xconfigure.window == target_.window) {
          const uint32_t w = static_cast<uint32_t>(std::max(1, event.xconfigure.width));
          const uint32_t h = static_cast<uint32_t>(std::max(1, event.xconfigure.height));
          // A window of our own gets scenes of its new size (a hack keeps its scene, fitted: XScreenSaver
          // sizes its windows by itself).
          if (options_.kind != LinuxRunKind::Hack && (w != picture_->Width() || h != picture_->Height()))
            relayoutPending_ = true;
          picture_->Resize(w, h);
        }
        break;
      case Expose:
        if (event.xexpose.count == 0) picture_->Repaint();
        break;
      case DestroyNotify:
        if (event.xdestroywindow.window == target_.window) {
          g_windowGone = true;
          DestroyWindow();
        }
        break;
      case ClientMessage:
        // The window manager's close: WM_DELETE_WINDOW inside a WM_PROTOCOLS message (any other
        // client message may carry the same number in its first word).
        if (event.xclient.message_type == wmProtocols_ && event.xclient.format == 32 &&
            static_cast<Atom>(event.xclient.data.l[0]) == deleteWindow_)
          DestroyWindow();
        break;
      default: {
        if (rrEventBase_ >= 0 &&
            (event.type == rrEventBase_ + RRScreenChangeNotify || event.type == rrEventBase_ + RRNotify)) {
          XRRUpdateConfiguration(&event);
          relayoutPending_ = true;
          break;
        }
        SaverEvent input{SaverEventKind::Other};
        if (TranslateX11Input(event, options_.kind, input)) SaverWindowEvent(app, *this, input);
        break;
      }
    }
  }

  // The monitors or the window's size changed: the spine lays the scenes out again for the window as
  // it is now, at its next frame tick.
  void RequestLayout() {
    if (MonitorScenes* scenes = ActiveMonitorScenes())
      scenes->RequestLayout(SceneMonitors(),
                            static_cast<int32_t>(std::min<uint32_t>(picture_->Width(), 65535)),
                            static_cast<int32_t>(std::min<uint32_t>(picture_->Height(), 65535)));
  }

  const X11SaverOptions& options_;
  SettingsStore& settings_;
  SdlSoundSink* sound_;
  Display* dpy_;
  int screen_;
  SaverApplication* app_ = nullptr;
  X11Target target_;
  std::unique_ptr<X11Picture> picture_;
  X11Grabs grabs_;
  GC gc_ = nullptr;
  Atom deleteWindow_ = 0, wmProtocols_ = 0;
  bool failed_ = false;  // the picture or the grabs failed: the saver ends with status 1
  bool relayoutPending_ = false;
  int rrEventBase_ = -1;
  bool windowAlive_ = false, quitPosted_ = false, startFailed_ = false;
  bool timerRunning_ = false;
  uint16_t timerId_ = 0;
  uint32_t period_ = 83, nextTick_ = 0;
  int firstFrameFd_ = -1;
};

X11Surface::X11Surface(X11Front& front, const SurfaceRect& rect, uint16_t bitsPerPixel, uint8_t fill,
                       uint16_t scale)
    : front_(front), sceneScale_(scale) {
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

bool X11Surface::PresentChanges(const std::vector<SurfaceChange>& changes,
                                const std::vector<SurfaceChange>& rows) {
  if (!hasPalette_ || pixels_.empty()) return false;
  front_.Show(*this, pixels_.data(), &changes, &rows);
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
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (!name || !*name)
      std::fprintf(stderr, "tillands: no X display: $DISPLAY is not set");
    else
      std::fprintf(stderr, "tillands: cannot open the X display '%s'", name);
    if (wayland && *wayland)
      std::fprintf(stderr, " (a Wayland session: the saver draws through XWayland, which sets $DISPLAY)\n");
    else
      std::fprintf(stderr, " (try tillands --headless)\n");
    return 1;
  }
  InstallX11ProcessHandlers();

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
      if (!front.PlaysSound()) seams.sound = nullptr;
      SaverProcess process(seams);
      front.SetApp(&process.App());
      process.Run("/s", front);
      if (front.StartFailed() && !g_terminate) status = 1;
    }
  }
  XCloseDisplay(dpy);
  return status;
}
