// The program's course by mode, with a platform that only records what it is asked to do.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scene/saver_application.h"
#include "shell/run_application.h"
#include "shell/settings.h"
#include "shell/settings_store.h"

namespace {

class FakePlatform : public SaverPlatform {
 public:
  SettingsStore& Settings() override { return store; }
  void ReadScreenMetrics(SaverApplication& app) override {
    calls.push_back("metrics");
    app.screenWidth = 1024;
    app.screenHeight = 768;
  }
  void RunSettingsDialog(SaverApplication& app) override {
    calls.push_back("dialog " + std::to_string(app.numAnimations));
  }
  void RunPreview(SaverApplication&, int64_t parent) override {
    calls.push_back("preview " + std::to_string(parent));
  }
  void CreateSaverWindow(SaverApplication& app) override {
    calls.push_back("window");
    app.quitRequested = failWindow ? 1 : 0;  // a failed creation destroys the window at once
  }
  void MakeSaverWindowTopmost() override { calls.push_back("topmost"); }
  void RunSaverMessageLoop(SaverApplication& app) override {
    calls.push_back("loop quit=" + std::to_string(app.quitRequested));
  }
  void ShowMessage(const char* text, const char*) override {
    calls.push_back(std::string("message ") + text);
  }
  bool ChangeDirectory(const char* path) override {
    calls.push_back(std::string("cd ") + path);
    return true;
  }

  MemorySettingsStore store;
  bool failWindow = false;
  std::vector<std::string> calls;
};

struct Started {
  explicit Started(const char* line, FakePlatform& platform) : app(CreateSaverApplication(nullptr)) {
    mode = RunApplication(*app, line, platform);
  }
  ~Started() { DestroySaverApplication(app); }
  SaverApplication* app;
  RunMode mode;
};

TEST(RunApplication, ConfigurePasswordAndUnknownModes) {
  FakePlatform p;
  p.store.SetNumber(SettingsHive::CurrentUser, kSettingsKeyPath, "Num Animations", 44);
  {
    Started r("/c:77", p);
    EXPECT_EQ(r.mode, RunMode::Configure);
    EXPECT_EQ(p.calls, std::vector<std::string>{"dialog 44"});  // settings are loaded first
  }
  p.calls.clear();
  {
    Started r("/a", p);
    EXPECT_EQ(r.mode, RunMode::Password);
    EXPECT_EQ(r.app->numAnimations, 44);
    EXPECT_TRUE(p.calls.empty());
  }
  {
    Started r("/x", p);
    EXPECT_EQ(r.mode, RunMode::None);
    EXPECT_EQ(r.app->numAnimations, 0);  // ends before the settings
  }
}

TEST(RunApplication, PreviewNeedsAParentHandle) {
  FakePlatform p;
  {
    Started r("/p 6789", p);
    EXPECT_EQ(r.mode, RunMode::Preview);
    EXPECT_EQ(p.calls, (std::vector<std::string>{"metrics", "preview 6789"}));
  }
  p.calls.clear();
  {
    Started r("/p 0", p);
    EXPECT_EQ(r.mode, RunMode::None);
    EXPECT_EQ(p.calls, std::vector<std::string>{"metrics"});
  }
}

TEST(RunApplication, SaverModeOrder) {
  FakePlatform p;
  {
    Started r("/s", p);
    EXPECT_EQ(r.mode, RunMode::Saver);
    ASSERT_EQ(p.calls.size(), 2u);
    EXPECT_EQ(p.calls[1].rfind("message Datenpfad nicht gefunden.", 0), 0u);
  }
  p.calls.clear();
  p.store.SetText(SettingsHive::CurrentUser, kSettingsKeyPath, "GamePath", "/data");
  {
    Started r("/S", p);
    EXPECT_EQ(p.calls, (std::vector<std::string>{"metrics", "cd /data", "window", "topmost", "loop quit=0"}));
    // The sites are laid out over the screen once the window exists.
    bool anySite = false;
    for (const SiteRecord& s : r.app->sites) anySite |= s.active != 0;
    EXPECT_TRUE(anySite);
  }
  // A window whose initialisation failed: the loop still runs, to collect the quit.
  p.calls.clear();
  p.failWindow = true;
  {
    Started r("s", p);
    EXPECT_EQ(p.calls.back(), "loop quit=0");
  }
}

}  // namespace
