// The Windows front end: the platform's half of the saver (SaverPlatform), the saver window's host
// (SaverWindowHost), and the window, preview and dialog procedures that turn Win32 messages into the
// spine's events. Every rule lives in the spine; this file only maps messages and calls the system.
#pragma once

#include <windows.h>

#include "scene/saver_application.h"
#include "shell/run_application.h"
#include "shell/saver_window.h"
#include "shell/screen_layout.h"
#include "shell/tick_guard.h"
#include "shell/win32/registry_store.h"

// The saver's window class and title, and the name of its single-instance mutex.
extern const char* const kSaverWindowClass;  // "Tillands ScreenSaver"

// The multimedia clock.
class MultimediaClock final : public SaverClock {
 public:
  uint32_t NowMs() override;
};

// Sounds from the program's WAVE resources: asynchronous, no default sound for a missing name, and a
// cue that arrives while another sound plays is dropped (SND_NOSTOP).
class ResourceSoundSink final : public SoundSink {
 public:
  explicit ResourceSoundSink(HINSTANCE instance) : instance_(instance) {}
  void PlayNamedSound(const char* resourceName) override;

 private:
  HINSTANCE instance_;
};

// All monitors, through EnumDisplayMonitors.
class DesktopLayout final : public ScreenLayout {
 public:
  std::vector<SurfaceRect> MonitorRects() override;
  SurfaceRect PrimaryRect() override;
  uint16_t BitsPerPixel() override;
};

// The fatal-error reporter of this front end (FrontEndSeams::fatalReporter): the box above, then the
// process ends (status 3) with no window left.
[[noreturn]] void ReportFatalError(const char* message);
// The static data's warnings (FrontEndSeams::warning): the "Warning!" box.
void ReportWarning(const char* text);

class Win32Saver final : public SaverPlatform, public SaverWindowHost {
 public:
  Win32Saver(SaverApplication& app, HINSTANCE instance);
  ~Win32Saver() override;

  // SaverPlatform
  SettingsStore& Settings() override { return store_; }
  void ReadScreenMetrics(SaverApplication& app) override;
  std::vector<SurfaceRect> SceneMonitors() override;
  void RunSettingsDialog(SaverApplication& app) override;
  void RunPreview(SaverApplication& app, int64_t parentHandle) override;
  void CreateSaverWindow(SaverApplication& app) override;
  void MakeSaverWindowTopmost() override;
  void RunSaverMessageLoop(SaverApplication& app) override;
  // SaverStartHost
  void ShowMessage(const char* text, const char* caption) override;
  bool ChangeDirectory(const char* path) override;

  // SaverWindowHost
  void* AcquireWindowDC() override;
  void ReleaseWindowDC(void* dc) override;
  uint16_t StartFrameTimer(uint16_t id, uint32_t periodMs) override;
  void StopFrameTimer(uint16_t id) override;
  SurfaceRect ClientRect() override;
  DisplaySurface* CreateDisplay(const SurfaceRect& rect, uint16_t bitsPerPixel, uint8_t fill) override;
  DisplaySurface* CreateSceneDisplay(const SurfaceRect& rect, uint16_t bitsPerPixel, uint8_t fill,
                                     uint16_t scale) override;
  const uint8_t* LoadResource(int number, const char* typeName) override;
  void StopAllSounds() override;
  void DestroyWindow() override;
  void PostQuit(int code) override;
  void CaptureMouseAndHideCursor() override;
  void ShowCursorAndReleaseMouse() override;

  // The static data's "Warning!" box: blocking, above the topmost saver window, with the cursor shown
  // and the mouse free while it is up.
  void ShowWarning(const char* text);
  // A fatal error of the data: the saver window is hidden and its timer stopped, then the error's text
  // shows in the saver's own box (caption "Tillands Bildschirmschoner"), above everything.
  void ShowFatalError(const char* message);

  // Where the run stands, for the sound log: "before-window", "window" or "destroyed".
  const char* Stage() const;

  // The one instance of this process (the window procedures reach it through here), or null.
  static Win32Saver* Current();

  LRESULT SaverMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT PreviewMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR DialogMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

 private:
  bool RegisterClassWith(WNDPROC procedure);
  // WM_DISPLAYCHANGE: the window follows the new virtual screen and the scenes are laid out anew.
  void OnDisplayChange();
  // WM_PAINT with a scene per monitor: black where no monitor's scene is. False with one scene.
  bool PaintDeadAreas(HWND window);

  SaverApplication& app_;
  HINSTANCE instance_;
  RegistrySettingsStore store_;
  TickGuard guard_;
  HWND window_ = nullptr;
  bool windowAlive_ = false;
  bool mouseCaptured_ = false;
  // The window's rectangle on the virtual screen (all monitors).
  SurfaceRect screenArea_;
  // Measurements for TILLANDS_STATS_FILE (see the destructor): start, first frame, time in ticks.
  LARGE_INTEGER start_{}, firstFrame_{}, tickTime_{}, lastTick_{};
  uint64_t timedTicks_ = 0;
};
