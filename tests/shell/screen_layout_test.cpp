#include "shell/screen_layout.h"

#include <gtest/gtest.h>

#include "scene/saver_application.h"

namespace {

class FakeLayout : public ScreenLayout {
 public:
  std::vector<SurfaceRect> monitors;
  SurfaceRect primary{0, 0, 1024, 768};
  std::vector<SurfaceRect> MonitorRects() override { return monitors; }
  SurfaceRect PrimaryRect() override { return primary; }
  uint16_t BitsPerPixel() override { return 32; }
};

void ExpectRect(const SurfaceRect& r, int32_t l, int32_t t, int32_t rr, int32_t b) {
  EXPECT_EQ(r.left, l);
  EXPECT_EQ(r.top, t);
  EXPECT_EQ(r.right, rr);
  EXPECT_EQ(r.bottom, b);
}

struct AppHolder {
  SaverApplication* app = CreateSaverApplication(nullptr);
  ~AppHolder() { DestroySaverApplication(app); }
};

TEST(ScreenLayout, TheWindowCoversEveryMonitor) {
  FakeLayout layout;
  AppHolder holder;
  // One monitor: exactly the primary screen.
  layout.monitors = {{0, 0, 1920, 1080}};
  ExpectRect(ReadSaverScreenMetrics(*holder.app, layout), 0, 0, 1920, 1080);
  EXPECT_EQ(holder.app->screenWidth, 1920);
  EXPECT_EQ(holder.app->screenHeight, 1080);
  EXPECT_EQ(holder.app->screenBitsPerPixel, 32);

  // A second monitor to the left of the primary one, taller and lower: the window starts at negative
  // coordinates and spans both.
  layout.monitors = {{0, 0, 1920, 1080}, {-1200, -300, 0, 1620}};
  ExpectRect(ReadSaverScreenMetrics(*holder.app, layout), -1200, -300, 1920, 1620);
  EXPECT_EQ(holder.app->screenWidth, 3120);
  EXPECT_EQ(holder.app->screenHeight, 1920);

  // Stacked monitors, reported in any order.
  layout.monitors = {{0, 1080, 2560, 2520}, {0, 0, 1920, 1080}};
  ExpectRect(ReadSaverScreenMetrics(*holder.app, layout), 0, 0, 2560, 2520);
}

TEST(ScreenLayout, NoUsableMonitorFallsBackToThePrimaryScreen) {
  FakeLayout layout;
  AppHolder holder;
  ExpectRect(ReadSaverScreenMetrics(*holder.app, layout), 0, 0, 1024, 768);
  // Monitors without pixels (or inverted rectangles) cover nothing.
  layout.monitors = {{10, 10, 10, 500}, {0, 0, 800, -5}};
  ExpectRect(ReadSaverScreenMetrics(*holder.app, layout), 0, 0, 1024, 768);
  EXPECT_EQ(holder.app->screenWidth, 1024);
  // A monitor without height beside a real one does not stretch the area.
  layout.monitors = {{5000, 5000, 6000, 5000}, {0, 0, 640, 480}};
  ExpectRect(ReadSaverScreenMetrics(*holder.app, layout), 0, 0, 640, 480);
  // An inverted primary screen gives an empty area, never a negative size.
  layout.monitors = {};
  layout.primary = {300, 200, 100, 50};
  ExpectRect(ReadSaverScreenMetrics(*holder.app, layout), 300, 200, 300, 200);
  EXPECT_EQ(holder.app->screenWidth, 0);
  EXPECT_EQ(holder.app->screenHeight, 0);
}

TEST(ScreenLayout, SizesBeyondSixteenBitsAreCut) {
  FakeLayout layout;
  AppHolder holder;
  layout.monitors = {{-2000000000, 0, -1999998000, 1000}, {2000000000, 0, 2000001000, 70000}};
  const SurfaceRect r = ReadSaverScreenMetrics(*holder.app, layout);
  EXPECT_EQ(r.left, -2000000000);
  EXPECT_EQ(int64_t(r.right) - r.left, 65535);
  EXPECT_EQ(r.bottom, 65535);
  EXPECT_EQ(holder.app->screenWidth, 65535);
  EXPECT_EQ(holder.app->screenHeight, 65535);
  // Far from the origin only the size counts: a small monitor low down is not cut.
  layout.monitors = {{0, 40000, 800, 41000}};
  ExpectRect(ReadSaverScreenMetrics(*holder.app, layout), 0, 40000, 800, 41000);
}

}  // namespace
