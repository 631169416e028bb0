#include "shell/tick_guard.h"

#include <gtest/gtest.h>

#include <functional>

#include "shell/settings.h"
#include "tests/shell/saver_window_fixture.h"

namespace {

// A display surface whose presentation runs a hook: it stands for the modal box that a tick may show
// (its message loop delivers further timer messages and input while the tick is still running).
class HookSurface final : public DisplaySurface {
 public:
  explicit HookSurface(const SurfaceRect& rect) {
    rect_ = rect;
    width_ = static_cast<uint16_t>(rect.right - rect.left);
    height_ = static_cast<uint16_t>(rect.bottom - rect.top);
    pixels_.assign(size_t(Pitch()) * height_, 0);
  }
  bool SetPalette(const uint8_t*) override { return true; }
  uint8_t* Pixels() override { return pixels_.data(); }
  bool Present() override {
    ++presents;
    if (onPresent) onPresent();
    return true;
  }
  void ReleasePalette() override {}
  void Release() override {}

  std::function<void()> onPresent;
  int presents = 0;

 private:
  std::vector<uint8_t> pixels_;
};

class GuardedHost : public tl_test::RecordingHost {
 public:
  GuardedHost(SaverApplication& app, TickGuard& guard) : RecordingHost(app), guard_(guard) {}
  DisplaySurface* CreateDisplay(const SurfaceRect& rect, uint16_t, uint8_t) override {
    surface = new HookSurface(rect);
    return surface;
  }
  void DestroyWindow() override {
    if (guard_.DeferDestroy()) {
      log.push_back("destroyDeferred");
      return;
    }
    RecordingHost::DestroyWindow();
  }
  HookSurface* surface = nullptr;

 private:
  TickGuard& guard_;
};

// The guard outlives the fixture, whose destructor still destroys the window through the host.
struct GuardHolder {
  TickGuard guard;
};

struct GuardFixture : GuardHolder, tl_test::SaverFixture {
  GuardedHost* guarded = nullptr;
  GuardFixture() {
    auto h = std::make_unique<GuardedHost>(app(), guard);
    guarded = h.get();
    host = std::move(h);
  }
  SaverEventResult Send(SaverEventKind kind) {
    return GuardedSaverWindowEvent(app(), *host, guard, SaverEvent{kind, app().timerId});
  }
  SaverEventResult GuardedTick() {
    clock.Advance(FrameTimerPeriodMs(app().frameRate));
    return Send(SaverEventKind::Timer);
  }
};

TEST(TickGuard, TimerMessagesDuringATickAreDroppedAndTicksGoOnAfterwards) {
  GuardFixture f;
  ASSERT_TRUE(f.Create());
  int nested = 0;
  uint64_t ticksInside = 0;
  f.guarded->surface->onPresent = [&] {
    if (nested++ > 0) return;
    // A box's message loop hands two more frame timer messages to the window.
    const uint64_t before = f.app().statistics.ticks;
    EXPECT_TRUE(f.guard.InTick());
    f.Send(SaverEventKind::Timer);
    f.Send(SaverEventKind::Timer);
    ticksInside = f.app().statistics.ticks - before;
  };
  f.GuardedTick();
  EXPECT_EQ(ticksInside, 0u) << "a tick ran inside a tick";
  EXPECT_EQ(f.guard.DroppedTicks(), 2u);
  EXPECT_EQ(f.guarded->surface->presents, 1);
  EXPECT_FALSE(f.guard.InTick());
  // The next message draws the next frame as usual.
  f.GuardedTick();
  EXPECT_EQ(f.guarded->surface->presents, 2);
  // A timer of another identifier is never a tick and is not counted as dropped.
  GuardedSaverWindowEvent(f.app(), *f.host, f.guard, SaverEvent{SaverEventKind::Timer, 77});
  EXPECT_EQ(f.guard.DroppedTicks(), 2u);
}

TEST(TickGuard, AKeyDuringATickDestroysTheWindowOnlyAfterTheTick) {
  GuardFixture f;
  ASSERT_TRUE(f.Create());
  bool aliveInside = false;
  bool frameInside = false;
  f.guarded->surface->onPresent = [&] {
    f.Send(SaverEventKind::KeyDown);
    aliveInside = f.host->alive;
    frameInside = f.app().frameBitmap != nullptr;
  };
  f.GuardedTick();
  EXPECT_TRUE(aliveInside);
  EXPECT_TRUE(frameInside) << "the frame was freed under the running tick";
  EXPECT_FALSE(f.host->alive) << "the deferred destruction did not happen after the tick";
  EXPECT_EQ(f.app().frameBitmap, nullptr);
  EXPECT_EQ(f.app().quitRequested, 1);
  // Outside a tick the same key destroys at once.
  GuardFixture g;
  ASSERT_TRUE(g.Create());
  g.Send(SaverEventKind::KeyDown);
  EXPECT_FALSE(g.host->alive);
}

}  // namespace
