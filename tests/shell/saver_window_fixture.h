// Test fixture for the saver window: an application record over a synthetic data directory, a
// simulated clock, the simulated sound sink and a host that records what the window asks of the
// platform.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "display/memory_display_surface.h"
#include "scene/saver_application.h"
#include "shell/saver_window.h"
#include "shell/simulated_sound.h"
#include "tests/common/synthetic_world.h"
#include "tests/common/temp_dir.h"

namespace tl_test {

class RecordingHost : public SaverWindowHost, public SaverStartHost {
 public:
  explicit RecordingHost(SaverApplication& app) : app_(app) {}

  void* AcquireWindowDC() override {
    log.push_back("acquireDC");
    return &dcToken;
  }
  void ReleaseWindowDC(void* dc) override {
    log.push_back(dc == &dcToken ? "releaseDC" : "releaseDC(other)");
  }
  uint16_t StartFrameTimer(uint16_t id, uint32_t periodMs) override {
    log.push_back("startTimer");
    timerPeriod = periodMs;
    return static_cast<uint16_t>(id + timerIdOffset);
  }
  void StopFrameTimer(uint16_t id) override { log.push_back("stopTimer " + std::to_string(id)); }
  SurfaceRect ClientRect() override { return {0, 0, app_.screenWidth, app_.screenHeight}; }
  DisplaySurface* CreateDisplay(const SurfaceRect& rect, uint16_t bitsPerPixel, uint8_t fill) override {
    log.push_back("createDisplay");
    if (noDisplay) return nullptr;
    MemoryDisplaySurface::Options options;
    options.failCreate = failDisplay;
    surface = MemoryDisplaySurface::Create(rect, bitsPerPixel, fill, options).release();
    createdFill = fill;
    return surface;
  }
  const uint8_t* LoadResource(int number, const char* typeName) override {
    return noPalette ? nullptr : SaverWindowHost::LoadResource(number, typeName);
  }
  uint32_t RandomSeed(uint32_t now) override { return fixedSeed ? fixedSeed : now; }
  void StopAllSounds() override { log.push_back("stopSounds"); }
  void DestroyWindow() override {
    log.push_back("destroyWindow");
    if (!alive) return;
    alive = false;
    SaverWindowEvent(app_, *this, SaverEvent{SaverEventKind::Destroy});
  }
  void PostQuit(int code) override { quitCodes.push_back(code); }
  void CaptureMouseAndHideCursor() override { log.push_back("capture"); }
  void ShowCursorAndReleaseMouse() override { log.push_back("uncapture"); }
  void NoteReleased(const char* field) override { released.emplace_back(field); }
  void ShowMessage(const char* text, const char* caption) override {
    messages.push_back(std::string(caption) + ": " + text);
  }
  bool ChangeDirectory(const char* path) override {
    directories.emplace_back(path);
    return true;
  }

  bool alive = true;
  bool noDisplay = false;
  bool failDisplay = false;
  bool noPalette = false;
  uint32_t fixedSeed = 0;
  uint16_t timerIdOffset = 0;
  uint32_t timerPeriod = 0;
  uint8_t createdFill = 0;
  int dcToken = 0;
  MemoryDisplaySurface* surface = nullptr;  // owned by the application record
  std::vector<std::string> log;
  std::vector<std::string> released;
  std::vector<int> quitCodes;
  std::vector<std::string> messages;
  std::vector<std::string> directories;

 private:
  SaverApplication& app_;
};

struct SaverFixtureOptions {
  uint16_t width = 322;  // not a multiple of 4: the surface rows are padded
  uint16_t height = 200;
  uint16_t frameRate = 12;
  bool soundOn = true;
  SyntheticWorldOptions world;
};

// The record, clock, sound and host over a synthetic world that is the current directory.
class SaverFixture {
 public:
  explicit SaverFixture(const SaverFixtureOptions& options = {});
  ~SaverFixture();

  SaverApplication& app() { return *app_; }
  // WM_CREATE, as the window's creation sends it.
  bool Create();
  // One WM_TIMER with the record's timer id, after the clock has moved on by one period.
  void Tick();

  TempDir dir;
  SimulatedClock clock{50000};
  std::unique_ptr<SimulatedSoundSink> sound;
  std::unique_ptr<RecordingHost> host;
  std::vector<std::string> warnings;

 private:
  SaverApplication* app_ = nullptr;
};

}  // namespace tl_test
