// A scene per monitor: the layout rule, each monitor's size and scale, and the whole saver course over
// faked monitors, whose captured frames must equal headless runs of each monitor byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "display/memory_display_surface.h"
#include "scene/saver_application.h"
#include "shell/frame_capture.h"
#include "shell/headless_run.h"
#include "shell/monitor_scenes.h"
#include "shell/run_application.h"
#include "shell/saver_startup.h"
#include "shell/settings.h"
#include "shell/settings_store.h"
#include "shell/simulated_sound.h"
#include "tests/common/synthetic_world.h"
#include "tests/common/temp_dir.h"

namespace {

std::string Text(const std::vector<SurfaceRect>& rects) {
  std::string s;
  for (const SurfaceRect& r : rects)
    s += std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right - r.left) + "x" +
         std::to_string(r.bottom - r.top) + ";";
  return s;
}

TEST(MonitorSceneRects, EachMonitorInWindowCoordinatesInTheFrontEndsOrder) {
  // Laptop at the origin with a larger monitor to its left and higher up: the window starts there.
  const SurfaceRect window{-2560, -300, 1920, 1140};
  const std::vector<SurfaceRect> offset{{0, 0, 1920, 1080}, {-2560, -300, 0, 1140}};
  EXPECT_EQ(Text(MonitorSceneRects(offset, window, kMonitorsEach)), "2560,300 1920x1080;0,0 2560x1440;");
  // Span: the one scene over the whole window, as the saver always did.
  EXPECT_EQ(Text(MonitorSceneRects(offset, window, kMonitorsSpan)), "0,0 4480x1440;");
  // Stacked; a mirrored output (same rectangle twice), a monitor without pixels and one around all
  // the others (a server's "all outputs" monitor) are no screens of their own.
  const SurfaceRect tall{0, 0, 1920, 2160};
  EXPECT_EQ(Text(MonitorSceneRects({{0, 0, 1920, 1080},
                                    {0, 0, 1920, 2160},
                                    {0, 1080, 1920, 2160},
                                    {0, 1080, 1920, 2160},
                                    {5, 5, 5, 900}},
                                   tall, kMonitorsEach)),
            "0,0 1920x1080;0,1080 1920x1080;");
  // Nothing usable: the whole window.
  EXPECT_EQ(Text(MonitorSceneRects({}, tall, kMonitorsEach)), "0,0 1920x2160;");
  EXPECT_EQ(Text(MonitorSceneRects({{3000, 0, 4000, 100}}, tall, kMonitorsEach)), "0,0 1920x2160;");
  // A monitor reaching past the window is cut to it.
  EXPECT_EQ(
      Text(MonitorSceneRects({{0, 0, 800, 600}, {800, 0, 2000, 700}}, {0, 0, 1600, 600}, kMonitorsEach)),
      "0,0 800x600;800,0 800x600;");
}

TEST(MonitorScenes, EachSceneTakesItsOwnScaleFromItsOwnHeight) {
  SaverApplication* app = CreateSaverApplication(nullptr);
  app->soundOn = 1;
  app->introEndTime = 123;
  {
    MonitorScenes scenes(*app);
    // A 4K monitor beside a 1080p one: doubled there, 1:1 here (one scale from the bounding box
    // would double both).
    scenes.Arrange({{0, 0, 3840, 2160}, {3840, 0, 5760, 1080}});
    ASSERT_EQ(scenes.Count(), 2u);
    EXPECT_EQ(&scenes.Scene(0), app);
    EXPECT_EQ(scenes.Scene(0).displayScale, 2);
    EXPECT_EQ(scenes.Scene(0).screenWidth, 1920);
    EXPECT_EQ(scenes.Scene(0).screenHeight, 1080);
    EXPECT_EQ(scenes.Scene(1).displayScale, 1);
    EXPECT_EQ(scenes.Scene(1).screenWidth, 1920);
    EXPECT_EQ(scenes.Scene(1).introEndTime, 123u);
    EXPECT_EQ(scenes.Scene(1).soundSink, nullptr);  // one scene speaks
    EXPECT_EQ(g_application, app);
    // One rectangle: the record keeps what the start-up gave it.
    app->screenWidth = 777;
    scenes.Arrange({{0, 0, 3840, 2160}});
    EXPECT_EQ(scenes.Count(), 1u);
    EXPECT_EQ(app->screenWidth, 777);
  }
  DestroySaverApplication(app);
}

// A desk with faked monitors: the saver's whole course (RunApplication) over memory surfaces, one per
// monitor scene, with the capture on.
class FakeDesk final : public SaverPlatform, public SaverWindowHost {
 public:
  FakeDesk(SaverApplication& app, std::vector<SurfaceRect> monitors, uint16_t width, uint16_t height)
      : app_(app), monitors_(std::move(monitors)), width_(width), height_(height) {}

  SettingsStore& Settings() override { return store; }
  void ReadScreenMetrics(SaverApplication& app) override {
    app.screenWidth = width_;
    app.screenHeight = height_;
    app.screenBitsPerPixel = 8;
  }
  std::vector<SurfaceRect> SceneMonitors() override { return monitors_; }
  void RunSettingsDialog(SaverApplication&) override {}
  void RunPreview(SaverApplication&, int64_t) override {}
  void CreateSaverWindow(SaverApplication&) override {
    alive = true;
    SaverWindowEvent(app_, *this, SaverEvent{SaverEventKind::Create});
  }
  void RunSaverMessageLoop(SaverApplication&) override { loop(*this); }
  void ShowMessage(const char*, const char*) override {}
  bool ChangeDirectory(const char* path) override { return SaverStartHost::ChangeDirectory(path); }

  uint16_t StartFrameTimer(uint16_t id, uint32_t) override {
    ++timersStarted;
    return id;
  }
  void StopFrameTimer(uint16_t) override { ++timersStopped; }
  SurfaceRect ClientRect() override { return {0, 0, app_.screenWidth, app_.screenHeight}; }
  DisplaySurface* CreateDisplay(const SurfaceRect& rect, uint16_t bits, uint8_t fill) override {
    return CreateSceneDisplay(rect, bits, fill, 1);
  }
  DisplaySurface* CreateSceneDisplay(const SurfaceRect& rect, uint16_t bits, uint8_t fill,
                                     uint16_t scale) override {
    surfaces.push_back(Text({rect}) + " x" + std::to_string(scale));
    return MemoryDisplaySurface::Create(rect, bits, fill).release();
  }
  void DestroyWindow() override {
    if (!alive) return;
    alive = false;
    SaverWindowEvent(app_, *this, SaverEvent{SaverEventKind::Destroy});
  }
  void PostQuit(int) override { quit = true; }
  void Tick() { SaverWindowEvent(app_, *this, SaverEvent{SaverEventKind::Timer, app_.timerId}); }

  MemorySettingsStore store;
  std::function<void(FakeDesk&)> loop;
  std::vector<std::string> surfaces;  // every surface made: place, size, scale
  int timersStarted = 0, timersStopped = 0;
  bool alive = false, quit = false;

 private:
  SaverApplication& app_;
  std::vector<SurfaceRect> monitors_;
  uint16_t width_, height_;
};

std::vector<uint8_t> ReadFile(const std::filesystem::path& path) {
  return tl_test::FileBytes(path);
}

// A headless frame as the capture writes it.
std::vector<uint8_t> PpmOf(const HeadlessFrame& f) {
  const std::string header = "P6\n" + std::to_string(f.width) + " " + std::to_string(f.height) + "\n255\n";
  const size_t pixels = size_t(f.width) * f.height;
  std::vector<uint8_t> bytes(header.size() + 3 * pixels);
  std::copy(header.begin(), header.end(), bytes.begin());
  uint8_t* out = bytes.data() + header.size();  // a plain loop: the suites compile unoptimised
  for (size_t i = 0; i < pixels; ++i, out += 3) {
    const uint8_t* c = f.colours + 3 * f.indices[i];
    out[0] = c[0], out[1] = c[1], out[2] = c[2];
  }
  return bytes;
}

class MonitorDesk : public ::testing::Test {
 protected:
  void SetUp() override { tl_test::WriteSyntheticWorld(world.Path().string(), {}); }

  // The saver's whole course on a desk of that size and those monitors, on a simulated clock; `loop`
  // is its message loop and must end it. Every timer started is stopped again.
  void RunOnDesk(const std::vector<SurfaceRect>& monitors, uint16_t width, uint16_t height,
                 const std::function<void(FakeDesk&, SaverApplication&, SimulatedClock&)>& loop) {
    FrontEndSeams seams;
    seams.readCaptureFromEnvironment = false;
    seams.fatalMode = XB_FatalMode::Throw;
    SaverProcess process(seams);
    SimulatedClock clock(100000);
    SaverApplication& app = process.App();
    app.clock = &clock;
    FakeDesk desk(app, monitors, width, height);
    desk.store.SetText(SettingsHive::CurrentUser, kSettingsKeyPath, "GamePath", world.Path().string());
    desk.loop = [&](FakeDesk& d) { loop(d, app, clock); };
    const auto cwd = std::filesystem::current_path();
    RunApplication(app, "/s", desk);
    std::error_code ec;
    std::filesystem::current_path(cwd, ec);
    EXPECT_TRUE(desk.quit);
    EXPECT_EQ(desk.timersStarted, desk.timersStopped);
  }

  tl_test::TempDir world;
  tl_test::TempDir capture;
};

TEST_F(MonitorDesk, EveryMonitorRunsTheSceneAHeadlessRunOfItsSizeAndSeedShows) {
  // The first frames are compared as captured; the run goes on until the seeds show (the first
  // walkers' random places), and its last frames are compared in memory.
  constexpr uint32_t kFrames = 30;
  constexpr uint32_t kTicks = 8000;
  constexpr uint16_t kFps = 1000;
  CaptureOptions options;
  options.dir = capture.Path().string();
  options.frames = kFrames;
  options.haveSeed = true;
  options.seed = 500;
  options.simulatedClock = true;
  // Two monitors of different sizes, the second lower down; the top right corner is a dead area.
  const std::vector<SurfaceRect> monitors{{0, 0, 320, 200}, {320, 24, 560, 204}};
  std::vector<std::vector<uint8_t>> finals(2);  // each monitor's last frame, palette indices
  {
    FrontEndSeams seams;
    seams.readCaptureFromEnvironment = false;
    seams.fatalMode = XB_FatalMode::Throw;
    SaverProcess process(seams);
    FrameCapture frameCapture(options);
    SetActiveFrameCapture(&frameCapture);
    SimulatedSoundSink sound(*frameCapture.Clock());
    SaverApplication& app = process.App();
    app.clock = frameCapture.Clock();
    app.soundSink = &sound;
    FakeDesk desk(app, monitors, 560, 204);
    desk.store.SetNumber(SettingsHive::CurrentUser, kSettingsKeyPath, "FrameRate", kFps);
    desk.store.SetText(SettingsHive::CurrentUser, kSettingsKeyPath, "GamePath", world.Path().string());
    std::vector<SaverApplication*> records;
    desk.loop = [&](FakeDesk& d) {
      MonitorScenes* scenes = ActiveMonitorScenes();
      ASSERT_NE(scenes, nullptr);
      ASSERT_EQ(scenes->Count(), 2u);
      for (uint32_t i = 0; i < kTicks; ++i) d.Tick();
      records = {&scenes->Scene(0), &scenes->Scene(1)};
      for (int k = 0; k < 2; ++k) {
        DisplaySurface& shown = *records[k]->display;
        for (uint32_t y = 0; y < shown.Height(); ++y)
          finals[k].insert(finals[k].end(), shown.Pixels() + size_t(y) * shown.Pitch(),
                           shown.Pixels() + size_t(y) * shown.Pitch() + shown.Width());
      }
      // Only the primary's scene speaks (the others draw the same random numbers for their cues, so
      // their courses stay those of a run of their own).
      EXPECT_EQ(records[0]->soundSink, &sound);
      EXPECT_EQ(records[1]->soundSink, nullptr);
      EXPECT_GT(records[1]->statistics.soundCuesRequested, 0u);
      EXPECT_TRUE(records[0]->introOver && records[1]->introOver);
      // A key ends every scene: the one window goes, and with it every scene's objects.
      SaverWindowEvent(app, d, SaverEvent{SaverEventKind::KeyDown});
      EXPECT_EQ(records[1]->display, nullptr);
      EXPECT_EQ(records[1]->packedBobs, nullptr);
    };
    std::error_code ec;
    const auto cwd = std::filesystem::current_path();
    RunApplication(app, "/s", desk);
    std::filesystem::current_path(cwd, ec);
    EXPECT_FALSE(desk.alive);
    EXPECT_TRUE(desk.quit);
    EXPECT_EQ(desk.timersStarted, 1);  // one timer drives all scenes
    EXPECT_EQ(desk.timersStopped, 1);
    EXPECT_EQ(desk.surfaces, (std::vector<std::string>{"0,0 320x200; x1", "320,24 240x180; x1"}));
  }

  std::ifstream list(capture.Path() / "monitors.txt");
  std::string line;
  std::vector<std::string> lines;
  while (std::getline(list, line)) lines.push_back(line);
  ASSERT_EQ(lines, (std::vector<std::string>{"0 0 0 320 200 1 500", "1 320 24 240 180 1 501"}));

  std::vector<uint8_t> other;
  for (int k = 0; k < 2; ++k) {
    HeadlessOptions headless;
    headless.dataDir = world.Path().string();
    headless.width = k == 0 ? 320 : 240;
    headless.height = k == 0 ? 200 : 180;
    headless.fps = kFps;
    headless.seed = 500 + k;
    headless.frames = kTicks;
    uint32_t compared = 0, moving = 0;
    std::vector<uint8_t> previous, last;
    RunHeadless(headless, [&](const HeadlessFrame& f) {
      if (f.tick + 1 == kTicks) last.assign(f.indices, f.indices + size_t(f.width) * f.height);
      if (f.tick >= kFrames) return true;
      char name[40];
      std::snprintf(name, sizeof name, "frame_%06llu.ppm", (unsigned long long)f.tick);
      const std::vector<uint8_t> ppm = ReadFile(capture.Path() / ("monitor_" + std::to_string(k)) / name);
      EXPECT_TRUE(ppm == PpmOf(f)) << "monitor " << k << " frame " << f.tick;
      if (!previous.empty() && previous != ppm) ++moving;
      previous = ppm;
      ++compared;
      return true;
    });
    EXPECT_EQ(compared, kFrames);
    EXPECT_GT(moving, kFrames / 2) << "monitor " << k << ": the scene should move";
    EXPECT_TRUE(last == finals[k]) << "monitor " << k << ": the last frame";
    if (k == 0) other = last;
  }
  // The seeds show by the end: the first monitor's size with the second monitor's seed looks different
  // (so a scene on the wrong seed, or on another scene's random numbers, would have failed above).
  HeadlessOptions swapped;
  swapped.dataDir = world.Path().string();
  swapped.width = 320;
  swapped.height = 200;
  swapped.fps = kFps;
  swapped.seed = 501;
  swapped.frames = kTicks;
  std::vector<uint8_t> last;
  RunHeadless(swapped, [&](const HeadlessFrame& f) {
    last.assign(f.indices, f.indices + size_t(f.width) * f.height);
    return true;
  });
  EXPECT_NE(last, other);
}

TEST_F(MonitorDesk, ADisplayChangeLaysTheScenesOutAgain) {
  RunOnDesk({{0, 0, 320, 200}, {320, 0, 640, 200}}, 640, 200,
            [](FakeDesk& d, SaverApplication&, SimulatedClock& clock) {
              MonitorScenes& scenes = *ActiveMonitorScenes();
              for (int i = 0; i < 20; ++i, clock.Advance(83)) d.Tick();
              // A third monitor appears below; then all but one go away; then two again.
              const std::vector<std::vector<SurfaceRect>> layouts{
                  {{0, 0, 320, 200}, {320, 0, 640, 200}, {0, 200, 400, 500}},
                  {{0, 0, 400, 300}},
                  {{0, 0, 200, 150}, {200, 0, 400, 150}}};
              for (const auto& layout : layouts) {
                scenes.Rearrange(d, layout);
                ASSERT_TRUE(d.alive);
                ASSERT_EQ(scenes.Count(), layout.size());
                for (int i = 0; i < 20; ++i, clock.Advance(83)) d.Tick();
                for (size_t k = 0; k < layout.size(); ++k) {
                  const SaverApplication& s = scenes.Scene(k);
                  ASSERT_NE(s.display, nullptr);
                  EXPECT_EQ(s.display->Width(), layout[k].right - layout[k].left);
                  EXPECT_EQ(s.display->Rect().left, layout[k].left);
                  EXPECT_EQ(s.display->Rect().top, layout[k].top);
                  EXPECT_GE(static_cast<const MemoryDisplaySurface*>(s.display)->PresentCount(), 20u);
                  EXPECT_TRUE(s.introOver);  // the scene started afresh and runs
                }
              }
              d.DestroyWindow();
            });
}

TEST_F(MonitorDesk, AResizedWindowGetsOneNewSceneAtTheNextTickForTheLastSizeAsked) {
  tl_test::SyntheticWorldOptions withIntro;
  withIntro.withLogo = true;
  tl_test::WriteSyntheticWorld(world.Path().string(), withIntro);
  RunOnDesk({}, 320, 200, [](FakeDesk& d, SaverApplication& app, SimulatedClock& clock) {
    MonitorScenes& scenes = *ActiveMonitorScenes();
    for (int i = 0; i < 150; ++i, clock.Advance(83)) d.Tick();
    ASSERT_TRUE(app.introOver);
    // A drag: many sizes between two ticks. Nothing is rebuilt until the tick, and then once.
    const std::vector<std::string> before = d.surfaces;
    scenes.RequestLayout({}, 800, 600);
    scenes.RequestLayout({}, 640, 2400);
    scenes.RequestLayout({}, 500, 300);
    EXPECT_EQ(d.surfaces, before);
    d.Tick();
    std::vector<std::string> expected = before;
    expected.push_back("0,0 500x300; x1");
    EXPECT_EQ(d.surfaces, expected);
    EXPECT_EQ(app.screenWidth, 500);
    EXPECT_EQ(app.screenHeight, 300);
    EXPECT_FALSE(app.introOver);  // the new scene starts with its intro, as after a display change
    EXPECT_EQ(app.introEndTime, clock.NowMs() + kIntroLengthMs);
    // The size it already has (or one that came and went within a tick): nothing is rebuilt.
    scenes.RequestLayout({}, 700, 700);
    scenes.RequestLayout({}, 500, 300);
    clock.Advance(83);
    d.Tick();
    EXPECT_EQ(d.surfaces, expected);
    // A tall window takes the scale of its height, as a screen of that height would.
    scenes.RequestLayout({}, 640, 2400);
    clock.Advance(83);
    d.Tick();
    EXPECT_EQ(app.displayScale, 2);
    EXPECT_EQ(app.screenHeight, 1200);
    d.DestroyWindow();
  });
}

}  // namespace
