// The program's course between the creation and the destruction of the application record, the same
// for every front end: parse the command line, load the settings, then run the chosen mode. The front
// end supplies the platform's half through SaverPlatform.
#pragma once

#include <cstdint>
#include <vector>

#include "shell/command_line.h"
#include "shell/saver_window.h"

struct SaverApplication;
class SettingsStore;

class SaverPlatform : public SaverStartHost {
 public:
  virtual SettingsStore& Settings() = 0;
  // screenWidth, screenHeight and screenBitsPerPixel of the screen (the whole area the saver window
  // covers). In saver mode the spine then divides the size by app.displayScale: the window's client
  // rectangle handed to the spine (SaverWindowHost::ClientRect) is that scene size, and the front end
  // enlarges every presented frame by displayScale (display/display_scale.h).
  virtual void ReadScreenMetrics(SaverApplication& app) = 0;
  // The monitors the saver window covers, in the window's coordinates (its top left is 0, 0), real
  // pixels, the primary monitor first. Empty when the front end cannot tell or has one scene anyway (a
  // window, a hack): then one scene covers the window, as with the "Monitors" setting at "span".
  virtual std::vector<SurfaceRect> SceneMonitors() { return {}; }
  // The modal settings dialog (configure mode).
  virtual void RunSettingsDialog(SaverApplication& app) = 0;
  // Preview mode with the parent window's handle (never 0): screen size from the parent's client
  // area, the child window, its message loop.
  virtual void RunPreview(SaverApplication& app, int64_t parentHandle) = 0;
  // Creates the full-screen saver window; its creation sends SaverEventKind::Create (which may destroy
  // it again when the initialisation fails).
  virtual void CreateSaverWindow(SaverApplication& app) = 0;
  virtual void MakeSaverWindowTopmost() {}
  // Runs until the saver's quit: the loop ends when quitRequested is set or the quit message arrives.
  virtual void RunSaverMessageLoop(SaverApplication& app) = 0;
};

// Returns the mode that ran (None for an unknown mode or a preview without a parent).
// In saver mode it lays out a scene per monitor (monitor_scenes.h), active while the window lives.
RunMode RunApplication(SaverApplication& app, const char* commandLine, SaverPlatform& platform);
