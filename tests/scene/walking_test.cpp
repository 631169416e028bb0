// Walking geometry, path blocking by sites, walks that arrive, entry/exit rules for animals, standing
// animations and their durations, object placement and the site table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <set>
#include <string>
#include <utility>

#include "graphics/xb_random.h"
#include "scene/activities.h"
#include "scene/actor_pool.h"
#include "scene/creature_ops.h"
#include "scene/frame_update.h"
#include "scene/walking.h"
#include "staticdata/ve_animation_state.h"
#include "tests/scene/scene_world.h"

namespace {

using tl_test::SceneWorld;
using tl_test::SceneWorldOptions;

ActorSlot Plan(float x, float y, float tx, float ty) {
  ActorSlot a{};
  a.x = x, a.y = y, a.targetX = tx, a.targetY = ty;
  ChooseDirections(a);
  ComputeCorner(a);
  return a;
}

TEST(WalkGeometry, DirectionsFollowTheSlopeTable) {
  struct Case {
    float tx, ty;
    uint16_t first, second;
  };
  // From (100, 100).
  const Case cases[] = {
      {105, 300, kDirS, kDirS},   // 5 pixels to the side: straight down
      {95, 0, kDirN, kDirN},      // 5 pixels to the other side: straight up
      {106, 300, kDirS, kDirSE},  // 6 pixels: a two-leg walk
      {300, 104, kDirE, kDirE},   {0, 96, kDirW, kDirW},     {300, 150, kDirE, kDirSE},  // m = 0.25
      {200, 170, kDirSE, kDirE},                                                         // m = 0.7
      {200, 250, kDirSE, kDirS},                                                         // m = 1.5
      {150, 300, kDirS, kDirSE},                                                         // m = 4
      {50, 300, kDirS, kDirSW},                                                          // m = -4
      {0, 250, kDirSW, kDirS},                                                           // m = -1.5
      {0, 170, kDirSW, kDirW},                                                           // m = -0.7
      {0, 120, kDirW, kDirSW},                                                           // m = -0.2
      {140, -100, kDirN, kDirNE}, {200, -50, kDirNE, kDirN}, {200, 30, kDirNE, kDirE},
      {300, 50, kDirE, kDirNE},   {0, 80, kDirW, kDirNW},    {0, 30, kDirNW, kDirW},
      {0, -50, kDirNW, kDirN},    {50, -100, kDirN, kDirNW},
  };
  for (const Case& c : cases) {
    const ActorSlot a = Plan(100, 100, c.tx, c.ty);
    EXPECT_EQ(a.firstDirection, c.first) << c.tx << "," << c.ty;
    EXPECT_EQ(a.secondDirection, c.second) << c.tx << "," << c.ty;
  }
}

TEST(WalkGeometry, CornerEndsTheAxisLegLevelWithTheDiagonal) {
  ActorSlot a = Plan(100, 100, 400, 150);  // E then SE
  EXPECT_EQ(a.cornerX, 350.0f);
  EXPECT_EQ(a.cornerY, 100.0f);
  a = Plan(100, 100, 150, 400);  // S then SE
  EXPECT_EQ(a.cornerX, 100.0f);
  EXPECT_EQ(a.cornerY, 350.0f);
  a = Plan(400, 400, 100, 350);  // W then NW
  EXPECT_EQ(a.cornerX, 150.0f);
  EXPECT_EQ(a.cornerY, 400.0f);
  a = Plan(100, 100, 200, 170);  // diagonal first: the corner is the target
  EXPECT_EQ(a.cornerX, 200.0f);
  EXPECT_EQ(a.cornerY, 170.0f);
  a.firstDirection = kDirN, a.secondDirection = kDirNE;
  ComputeCorner(a);
  EXPECT_EQ(a.cornerY, 170.0f + 100.0f);
}

class WalkingTest : public ::testing::Test {
 protected:
  SceneWorld world;
  SaverApplication& app = world.app();
};

TEST_F(WalkingTest, WalkerArrivesOnBothLegsAndStandsIdle) {
  ActorSlot& a = world.NewActor();
  std::strcpy(a.creatureName, "civilian");
  a.x = 100, a.y = 100;
  ASSERT_TRUE(WalkToPoint(app, a, 500, 250, kActWalker, 1000));
  EXPECT_EQ(a.activity, kActWalker);
  EXPECT_EQ(a.firstDirection, kDirE);
  EXPECT_EQ(a.secondDirection, kDirSE);
  EXPECT_FLOAT_EQ(a.stepX, 2.0f);  // WalkSpeed 18 / 9
  bool turned = false;
  for (int frame = 0; frame < 1000 && a.activity == kActWalker; ++frame) {
    AdvanceWalker(app, a);
    if (a.activity == kActWalker && a.firstDirection == kDirSE) {
      turned = true;
      EXPECT_EQ(a.secondDirection, kDirSE);
    }
  }
  EXPECT_TRUE(turned);
  EXPECT_EQ(a.activity, kActIdle) << "a walk that ends on the screen turns into standing";
  EXPECT_LT(std::fabs(a.x - 500), 8.0f);
  EXPECT_LT(std::fabs(a.y - 250), 8.0f);
  EXPECT_EQ(a.firstDirection, kDirSW);
}

TEST_F(WalkingTest, APathThatGrazesASitesEdgeIsBlockedAndOnePixelAwayIsNot) {
  ActorSlot& a = world.NewActor();
  std::strcpy(a.creatureName, "civilian");
  auto blocked = [&](float tx, float ty, SiteRecord site) {
    app.sites[2] = site;
    a.x = 100, a.y = 100, a.targetX = tx, a.targetY = ty, a.animationCode = 1000;
    ChooseDirections(a), SetWalkVelocity(a), ComputeCorner(a);
    return PathBlockedBySite(app, a, false);
  };
  // East along row 100: sites ending on that row or starting on it, and their neighbours a row off.
  EXPECT_TRUE(blocked(700, 100, SiteRecord{1, 0, {0, 0}, 300, 60, 400, 100}));
  EXPECT_FALSE(blocked(700, 100, SiteRecord{1, 0, {0, 0}, 300, 60, 400, 99}));
  EXPECT_TRUE(blocked(700, 100, SiteRecord{1, 0, {0, 0}, 300, 100, 400, 140}));
  EXPECT_FALSE(blocked(700, 100, SiteRecord{1, 0, {0, 0}, 300, 101, 400, 140}));
  // South along column 100: the same for the left and right edges.
  EXPECT_TRUE(blocked(100, 600, SiteRecord{1, 0, {0, 0}, 40, 300, 100, 350}));
  EXPECT_FALSE(blocked(100, 600, SiteRecord{1, 0, {0, 0}, 40, 300, 99, 350}));
  EXPECT_TRUE(blocked(100, 600, SiteRecord{1, 0, {0, 0}, 100, 300, 160, 350}));
  EXPECT_FALSE(blocked(100, 600, SiteRecord{1, 0, {0, 0}, 101, 300, 160, 350}));
}

TEST_F(WalkingTest, SitesBlockPathsExceptTheActorsOwn) {
  app.sites[2] = SiteRecord{1, 0, {0, 0}, 300, 50, 400, 150};
  ActorSlot& a = world.NewActor();
  std::strcpy(a.creatureName, "civilian");
  a.x = 100, a.y = 100, a.targetX = 700, a.targetY = 100, a.animationCode = 1000;
  ChooseDirections(a), SetWalkVelocity(a), ComputeCorner(a);
  EXPECT_TRUE(PathBlockedBySite(app, a, false)) << "the walk crosses the site";
  a.targetY = 40;  // passes above it
  ChooseDirections(a), SetWalkVelocity(a), ComputeCorner(a);
  EXPECT_TRUE(PathBlockedBySite(app, a, false)) << "the E leg runs through the site before climbing";
  a.targetX = 250, a.targetY = 300;
  ChooseDirections(a), SetWalkVelocity(a), ComputeCorner(a);
  EXPECT_FALSE(PathBlockedBySite(app, a, false));
  a.targetX = 350, a.targetY = 100;  // target inside
  ChooseDirections(a), SetWalkVelocity(a), ComputeCorner(a);
  EXPECT_TRUE(PathBlockedBySite(app, a, false));
  a.siteX = 350, a.siteIndex = 2;  // its own site
  EXPECT_FALSE(PathBlockedBySite(app, a, false));

  // Standing inside a site: it may walk out, and the site becomes its own.
  ActorSlot& b = world.NewActor();
  std::strcpy(b.creatureName, "civilian");
  b.x = 350, b.y = 100, b.targetX = 900, b.targetY = 100, b.animationCode = 1000;
  ChooseDirections(b), SetWalkVelocity(b), ComputeCorner(b);
  EXPECT_TRUE(PathBlockedBySite(app, b, true));
  EXPECT_FALSE(PathBlockedBySite(app, b, false));
  EXPECT_EQ(b.siteIndex, 2);
}

TEST_F(WalkingTest, AnimalsGetNoVerticalLegFromWalkToPointOrLeaveScreen) {
  for (int i = 0; i < 200; ++i) {
    ActorSlot& a = world.NewActor();
    std::strcpy(a.creatureName, i % 2 ? "sheep" : "rabbit");
    a.x = 640, a.y = 360;
    ASSERT_TRUE(i % 3 ? WalkToPoint(app, a, 0, 0, kActWalker, 1000) : LeaveScreen(app, a, kActWalker, 1000));
    for (uint16_t d : {a.firstDirection, a.secondDirection}) {
      EXPECT_NE(d, kDirN);
      EXPECT_NE(d, kDirS);
    }
    ClearActor(a);
  }
}

TEST_F(WalkingTest, EnterFromSideStartsOutsideAndCrosses) {
  for (int i = 0; i < 50; ++i) {
    ActorSlot& a = world.NewActor();
    std::strcpy(a.creatureName, "soldier_b");
    ASSERT_TRUE(EnterFromSide(app, a, kActWalker, 1000));
    EXPECT_TRUE(a.x == -50.0f || a.x == app.screenWidth + 25.0f);
    if (a.x < 0) {
      EXPECT_GE(a.y, 100.0f) << "soldiers entering from the left draw their start again";
      EXPECT_LE(a.y, app.screenHeight - 100.0f);
      EXPECT_EQ(a.targetX, app.screenWidth + 50.0f);
    } else {
      EXPECT_EQ(a.targetX, -50.0f);
    }
    ClearActor(a);
  }
}

TEST_F(WalkingTest, NoPathWithinTheTryLimitReportsFailure) {
  // One site covering the screen but not the entry points: every walk crosses it.
  app.sites[0] = SiteRecord{1, 0, {0, 0}, -40, -40, app.screenWidth + 20, app.screenHeight + 40};
  ActorSlot& a = world.NewActor();
  std::strcpy(a.creatureName, "civilian");
  a.x = 5000, a.y = 5000;
  EXPECT_FALSE(WalkToPoint(app, a, 0, 0, kActWalker, 1000));
  EXPECT_FALSE(EnterFromSide(app, a, kActWalker, 1000));
  EXPECT_EQ(a.activity, 0) << "nothing started";
  ActorSlot& b = world.NewActor();
  EXPECT_FALSE(WalkToPoint(app, b, 300, 300, 42, 1000))
      << "entry from outside gives up after 99 blocked paths";
}

TEST_F(WalkingTest, StandingRepeatsTheIdleAnimationAWholeNumberOfTimes) {
  for (int i = 0; i < 40; ++i) {
    ActorSlot& a = world.NewActor();
    const uint32_t now = world.clock.NowMs();
    const uint32_t duration = 10050 + 97 * i;
    StartStanding(app, a, 200, 200, duration, "woman_01", kActIdle, kDirSW);
    ASSERT_EQ(a.activity, kActIdle);
    const uint32_t n = GetAnimationLength("woman_01", static_cast<uint16_t>(a.animationCode), kDirSW);
    ASSERT_GT(n, 0u) << "an idle code the creature has";
    const bool once = a.animationCode == 1002;
    const uint32_t repeats = once ? 1u : static_cast<uint32_t>(12.0 * duration / n * 0.001);
    EXPECT_EQ(a.deadline - now, repeats * n * 1000 / 12) << a.animationCode;
    EXPECT_LE(a.deadline - now, duration);
    ClearActor(a);
  }
}

TEST_F(WalkingTest, FrameRateZeroNeverDivides) {
  app.frameRate = 0;
  ActorSlot& a = world.NewActor();
  const uint32_t now = world.clock.NowMs();
  StartStanding(app, a, 200, 200, 20000, "civilian", kActIdle, kDirSW);
  EXPECT_EQ(a.activity, kActIdle);
  EXPECT_GT(a.deadline - now, 0u);
  EXPECT_LE(a.deadline - now, 20000u);
}

TEST_F(WalkingTest, PlacementAvoidsSitesAndStaysOnScreen) {
  LayOutSites(app);
  for (int i = 0; i < 100; ++i) {
    ActorSlot& a = world.NewActor();
    PlaceObject(app, a, 44, 45, 0, 0, kActPictureFadingIn);
    EXPECT_EQ(a.counter, 1);
    EXPECT_EQ(a.layerBob[kMainPicture], 44);
    EXPECT_EQ(a.layerBob[kMainMask], 45);
    EXPECT_TRUE(OutsideAllSites(app, a.x, a.y));
    EXPECT_GE(a.x, 15 + 25);
    EXPECT_LE(a.x, app.screenWidth - 15 - 50);
    a.counter = 77;
    PlaceFadingObject(app, a, 44, 45, a.x, a.y, kActPictureFadingOut, true);
    EXPECT_EQ(a.counter, 77) << "the wind-down keeps the current level";
    ClearActor(a);
  }
  ActorSlot& missing = world.NewActor();
  PlaceObject(app, missing, 999, 998, 0, 0, kActPictureFadingIn);
  EXPECT_EQ(missing.x, 0.0f) << "without the picture the position stays";
}

TEST_F(WalkingTest, SiteLayoutFollowsTheScreenHeight) {
  EXPECT_EQ(PlotCountForHeight(599), 1);
  EXPECT_EQ(PlotCountForHeight(600), 2);
  app.screenHeight = 1200;
  app.screenWidth = 1600;
  for (int round = 0; round < 20; ++round) {
    LayOutSites(app);
    int active = 0;
    for (int i = 0; i < kSiteCount; ++i) {
      const SiteRecord& s = app.sites[i];
      if (!s.active) continue;
      ++active;
      EXPECT_EQ(s.right - s.left, 230);
      EXPECT_EQ(s.bottom - s.top, 200);
      for (int j = 0; j < i; ++j) {
        const SiteRecord& o = app.sites[j];
        for (int cx : {s.left, s.right}) {
          for (int cy : {s.top, s.bottom}) {
            EXPECT_FALSE(o.left <= cx && cx <= o.right && o.top <= cy && cy <= o.bottom);
          }
        }
      }
    }
    EXPECT_EQ(active, 5);
  }
  int taken = 0;
  SiteChoice choice;
  while ((choice = TakeFreeSite(app)).found) {
    const SiteRecord& s = app.sites[choice.index];
    EXPECT_TRUE(s.occupied);
    EXPECT_EQ(choice.centreX, s.left + 115);
    EXPECT_EQ(choice.centreY, s.top + 100);
    ++taken;
  }
  EXPECT_EQ(taken, 5);
  uint16_t unused = 0;
  ASSERT_TRUE(FindUnusedSiteRecord(app, unused));
  EXPECT_EQ(unused, 5);
}

TEST_F(WalkingTest, ScreensTooSmallForAPlotLayOutNone) {
  // 320 x 240 leaves no room for a 230 x 200 plot; every plot would land far below the screen.
  app.screenWidth = 320;
  app.screenHeight = 240;
  LayOutSites(app);
  for (int i = 0; i < kSiteCount; ++i) EXPECT_FALSE(app.sites[i].active);
  EXPECT_FALSE(TakeFreeSite(app).found);
  // The smallest screen that fits one still gets its plot, inside the screen.
  app.screenWidth = 305;
  app.screenHeight = 275;
  LayOutSites(app);
  ASSERT_TRUE(app.sites[0].active);
  EXPECT_EQ(app.sites[0].left, 25);
  EXPECT_EQ(app.sites[0].top, 25);
}

TEST(WalkingEdgeCases, SpeedZeroCountsAsBlockedAndEndsWalksInPlace) {
  SceneWorldOptions options;
  options.world.walkSpeed = 0;
  SceneWorld world(options);
  SaverApplication& app = world.app();
  app.sites[0] = SiteRecord{1, 0, {0, 0}, 600, 600, 700, 700};
  ActorSlot& a = world.NewActor();
  std::strcpy(a.creatureName, "civilian");
  a.x = 100, a.y = 100, a.targetX = 900, a.targetY = 100, a.animationCode = 1000;
  ChooseDirections(a), SetWalkVelocity(a), ComputeCorner(a);
  EXPECT_TRUE(PathBlockedBySite(app, a, false)) << "a walk that cannot move is never planned";
  EXPECT_FALSE(WalkToPoint(app, a, 0, 0, kActWalker, 1000));
  // With position and target given no site test is made: the walk starts, and ends where it stands.
  ASSERT_TRUE(WalkToPoint(app, a, 300, 300, kActWalker, 1000));
  AdvanceWalker(app, a);
  EXPECT_EQ(a.activity, kActIdle);
  // Whole phases still end: the wind-down waits only for the deadlines.
  world.ClearPool();
  world.BeginScenes();
  world.clock.Advance(kScenePhaseMs);
  for (int i = 0; i < 12 * 600 && !app.textPhase; ++i) world.Tick();
  EXPECT_TRUE(app.textPhase);
}

TEST(WalkingEdgeCases, CreatureWithoutIdleAnimationsFallsBack) {
  SceneWorldOptions options;
  options.world.withIdleAnimations = false;
  SceneWorld world(options);
  SaverApplication& app = world.app();
  ActorSlot& a = world.NewActor();
  StartStanding(app, a, 300, 300, 15000, "civilian", kActIdle, kDirSW);
  EXPECT_EQ(a.activity, kActIdle);
  EXPECT_EQ(a.animationCode, 1000);
  EXPECT_EQ(a.deadline, world.clock.NowMs() + 15000) << "no animation length: the requested duration";
  // Its end still leads somewhere without spinning.
  world.clock.Advance(15000);
  a.animState.playState = VE_ANIM_FINISHED;
  world.Tick(2);
  EXPECT_NE(a.activity, 0);
}

// The idle choice draws until it finds a code the creature has, however many draws that takes, and
// draws nothing at all for a creature that has none: the random stream moves on by exactly the draws
// the choice needed.
TEST(WalkingEdgeCases, IdleChoiceDrawsUntilTheOnlyMatchAndNotAtAllWithoutOne) {
  SceneWorldOptions options;
  options.world.extraCreatures =
      "[CreatureType]\nName = \"hermit\"\nGroup = \"synthetic\"\nRemapName = \"Identity\"\nMasterType = 4\n"
      "Animation = \"stand\", 2013, 0\n\n"
      "[CreatureType]\nName = \"statue\"\nGroup = \"synthetic\"\nRemapName = \"Identity\"\nMasterType = 4\n";
  SceneWorld world(options);
  SaverApplication& app = world.app();
  // 2013 is the last of the 21 codes (draw 20). One seed whose first 200 draws never give it, and two
  // ordinary ones.
  uint32_t late = 1;
  for (;; ++late) {
    XB_RANDOM r(late);
    int draws = 1;
    while (r.Random(20) != 20) ++draws;
    if (draws > 200) break;
  }
  for (uint32_t seed : {late, 7u, 4242u}) {
    ActorSlot a{};
    std::strcpy(a.creatureName, "hermit");
    a.firstDirection = kDirSW;
    app.random.Seed(seed);
    XB_RANDOM expected(seed);
    while (expected.Random(20) != 20) {
    }
    PickIdleAnimation(app, a);
    EXPECT_EQ(a.animationCode, 2013) << seed;
    EXPECT_EQ(app.random.State(), expected.State()) << seed;

    std::strcpy(a.creatureName, "statue");
    PickIdleAnimation(app, a);
    EXPECT_EQ(a.animationCode, 1000) << "the walk code, standing in place";
    EXPECT_EQ(app.random.State(), expected.State()) << "no draw for a creature without idle codes";
  }
}

// Visitors of buildings and monuments stand in 1005 or 1008 at even odds; "woman_01" always stands in
// 1008 and draws nothing for it.
TEST_F(WalkingTest, Woman01StandsInHerOwnCodeOnArrivalWhateverTheDraw) {
  for (int32_t activity : {kActSmallVisitorStanding, kActLargeVisitorStanding, kActMonumentVisitorStanding}) {
    std::set<int16_t> others;
    for (uint32_t seed = 1; seed <= 40; ++seed) {
      ActorSlot woman{}, man{};
      woman.activity = man.activity = kActSmallVisitorWalking;
      app.random.Seed(seed);
      StartStanding(app, woman, 200, 200, 10000, "woman_01", activity, kDirNE);
      EXPECT_EQ(woman.animationCode, 1008) << activity << " seed " << seed;
      EXPECT_EQ(app.random.State(), XB_RANDOM(seed).State()) << "no draw for her";
      StartStanding(app, man, 200, 200, 10000, "civilian", activity, kDirNE);
      others.insert(man.animationCode);
    }
    EXPECT_EQ(others, (std::set<int16_t>{1005, 1008})) << activity;
  }
}

TEST_F(WalkingTest, EachDirectionStepsByTheTableAndUnknownCodesKeepTheStep) {
  ActorSlot a{};
  std::strcpy(a.creatureName, "civilian");
  a.animationCode = 1000;
  const float s = 2.0f;  // WalkSpeed 18 / 9
  struct Step {
    uint16_t direction;
    float x, y;
  };
  for (const Step& step :
       {Step{kDirE, s, 0}, Step{kDirSE, s, s}, Step{kDirSW, -s, s}, Step{kDirW, -s, 0}, Step{kDirNW, -s, -s},
        Step{kDirNE, s, -s}, Step{kDirN, 0, -s}, Step{kDirS, 0, s}}) {
    a.firstDirection = step.direction;
    a.stepX = a.stepY = 99.0f;
    SetWalkVelocity(a);
    EXPECT_EQ(a.stepX, step.x) << step.direction;
    EXPECT_EQ(a.stepY, step.y) << step.direction;
  }
  for (uint16_t unknown = 6; unknown <= 9; ++unknown) {
    a.firstDirection = unknown;
    a.stepX = 7.0f, a.stepY = -7.0f;
    SetWalkVelocity(a);
    EXPECT_EQ(a.stepX, 7.0f);
    EXPECT_EQ(a.stepY, -7.0f);
  }
}

TEST_F(WalkingTest, ScreenAndSiteEdgesAreExact) {
  const float W = app.screenWidth, H = app.screenHeight;
  // On the screen is strict on all four edges; fractions are truncated first.
  EXPECT_TRUE(OnScreen(app, 1, 1));
  EXPECT_TRUE(OnScreen(app, W - 1, H - 1));
  EXPECT_TRUE(OnScreen(app, W - 0.5f, H - 0.5f));
  EXPECT_FALSE(OnScreen(app, 0.9f, 100));
  EXPECT_FALSE(OnScreen(app, 100, 0));
  EXPECT_FALSE(OnScreen(app, W, 100));
  EXPECT_FALSE(OnScreen(app, 100, H));
  // The extended screen reaches 100 pixels beyond every edge, inclusive.
  EXPECT_FALSE(OffExtendedScreen(app, -100, -100));
  EXPECT_FALSE(OffExtendedScreen(app, W + 100, H + 100));
  EXPECT_FALSE(OffExtendedScreen(app, -100.9f, 0)) << "truncated toward zero";
  EXPECT_TRUE(OffExtendedScreen(app, -101, 0));
  EXPECT_TRUE(OffExtendedScreen(app, 0, -101));
  EXPECT_TRUE(OffExtendedScreen(app, W + 101, 0));
  EXPECT_TRUE(OffExtendedScreen(app, 0, H + 101));
  // A site holds its edges.
  const SiteRecord site{1, 0, {0, 0}, 10, 20, 30, 40};
  for (auto [x, y] : {std::pair{10, 20}, std::pair{30, 40}, std::pair{10, 40}, std::pair{30, 20}}) {
    EXPECT_TRUE(InsideSite(site, x, y)) << x << "," << y;
  }
  for (auto [x, y] : {std::pair{9, 30}, std::pair{31, 30}, std::pair{20, 19}, std::pair{20, 41}}) {
    EXPECT_FALSE(InsideSite(site, x, y)) << x << "," << y;
  }
}

TEST_F(WalkingTest, PlotCountsChangeAtExactHeights) {
  const std::pair<int, int> cases[] = {{599, 1},  {600, 2},  {767, 2},  {768, 3},
                                       {1023, 3}, {1024, 4}, {1199, 4}, {1200, 5}};
  for (auto [height, plots] : cases) EXPECT_EQ(PlotCountForHeight(height), plots) << height;
  uint16_t index = 99;
  ASSERT_TRUE(FindUnusedSiteRecord(app, index));
  EXPECT_EQ(index, 0) << "the first free record";
  app.sites[0].occupied = 1;
  ASSERT_TRUE(FindUnusedSiteRecord(app, index));
  EXPECT_EQ(index, 1);
  for (SiteRecord& site : app.sites) site.active = 1;
  EXPECT_FALSE(FindUnusedSiteRecord(app, index));
}

// Which side a point lies beyond, and its coordinate along that side.
enum Side { kBelow, kRight, kLeft, kAbove, kNowhere };
Side SideOf(const SaverApplication& app, float x, float y) {
  if (y == app.screenHeight + 50.0f) return kBelow;
  if (x == app.screenWidth + 50.0f) return kRight;
  if (x == -50.0f) return kLeft;
  if (y == -50.0f) return kAbove;
  return kNowhere;
}

TEST_F(WalkingTest, WalkersEnterAndLeaveByTheFourSidesEquallyAcrossTheirWholeRanges) {
  app.screenWidth = 300, app.screenHeight = 200;
  const int W = 300, H = 200, draws = 20000;  // every end value is all but certain to come up
  ActorSlot a{};
  int count[5] = {};
  int lo[5] = {9999, 9999, 9999, 9999, 9999}, hi[5] = {-9999, -9999, -9999, -9999, -9999};
  auto note = [&](Side side, float along) {
    ++count[side];
    lo[side] = std::min(lo[side], static_cast<int>(along));
    hi[side] = std::max(hi[side], static_cast<int>(along));
  };
  for (int i = 0; i < draws; ++i) {
    PickEntryPoint(app, a, kActWalker);
    const Side side = SideOf(app, a.x, a.y);
    note(side, side == kBelow || side == kAbove ? a.x : a.y);
  }
  EXPECT_EQ(count[kNowhere], 0);
  for (int side = kBelow; side <= kAbove; ++side) {
    SCOPED_TRACE("entry side " + std::to_string(side));
    EXPECT_NEAR(count[side], draws / 4, draws / 20);
    EXPECT_EQ(lo[side], 25);
    EXPECT_EQ(hi[side], (side == kBelow || side == kAbove ? W : H) - 50);
  }
  for (int32_t visitor : {kActSmallVisitorWalking, kActLargeVisitorWalking}) {
    for (int i = 0; i < 50; ++i) {
      PickEntryPoint(app, a, visitor);
      EXPECT_EQ(SideOf(app, a.x, a.y), kBelow) << "visitors come from below";
    }
  }

  std::fill(std::begin(count), std::end(count), 0);
  std::fill(std::begin(lo), std::end(lo), 9999);
  std::fill(std::begin(hi), std::end(hi), -9999);
  for (int i = 0; i < draws; ++i) {
    PickExitPoint(app, a, kActWalker);
    const Side side = SideOf(app, a.targetX, a.targetY);
    note(side, side == kBelow || side == kAbove ? a.targetX : a.targetY);
  }
  EXPECT_EQ(count[kNowhere], 0);
  for (int side = kBelow; side <= kAbove; ++side) {
    SCOPED_TRACE("exit side " + std::to_string(side));
    EXPECT_NEAR(count[side], draws / 4, draws / 20);
    EXPECT_EQ(lo[side], 0);
    EXPECT_EQ(hi[side], side == kBelow || side == kAbove ? W : H);
  }

  // Workers and visitors leaving a building go left (below their own height) or down (left of their
  // own place), about evenly; a clay worker also goes up.
  a.x = 120.7f, a.y = 80.9f;
  for (int32_t leaving : {kActSmallWorkerLeaving, kActSmallVisitorLeaving, kActLargeWorkerLeaving,
                          kActLargeVisitorLeaving, kActClayWorkerLeaving}) {
    SCOPED_TRACE("activity " + std::to_string(leaving));
    std::fill(std::begin(count), std::end(count), 0);
    std::fill(std::begin(lo), std::end(lo), 9999);
    std::fill(std::begin(hi), std::end(hi), -9999);
    for (int i = 0; i < draws; ++i) {
      PickExitPoint(app, a, leaving);
      const Side side = SideOf(app, a.targetX, a.targetY);
      note(side, side == kBelow || side == kAbove ? a.targetX : a.targetY);
    }
    EXPECT_EQ(count[kRight] + count[kNowhere], 0);
    EXPECT_EQ(lo[kLeft], 80);
    EXPECT_EQ(hi[kLeft], H);
    EXPECT_EQ(lo[kBelow], 0);
    EXPECT_EQ(hi[kBelow], 120);
    if (leaving == kActClayWorkerLeaving) {
      // Random(100) < 34 goes left; of the rest a second draw > 66 goes up.
      EXPECT_NEAR(count[kLeft], draws * 34 / 101, draws / 25);
      EXPECT_NEAR(count[kAbove], draws * 67 / 101 * 33 / 101, draws / 25);
      EXPECT_EQ(lo[kAbove], 0);
      EXPECT_EQ(hi[kAbove], W);
    } else {
      EXPECT_NEAR(count[kLeft], draws * 50 / 101, draws / 25);
      EXPECT_EQ(count[kAbove], 0);
    }
  }
}

TEST_F(WalkingTest, RandomPlacementSpansTheScreenInsetByThePicture) {
  app.screenWidth = 300, app.screenHeight = 200;
  const int w = 30, h = 20;  // bob 44, the clay pit
  int loX = 9999, hiX = -9999, loY = 9999, hiY = -9999;
  for (int i = 0; i < 6000; ++i) {
    ActorSlot a{};
    PlaceFadingObject(app, a, 44, 45, 0, 0, kActPictureFadingOut, false);
    EXPECT_EQ(a.counter, 254) << "fading out starts from full";
    loX = std::min(loX, static_cast<int>(a.x)), hiX = std::max(hiX, static_cast<int>(a.x));
    loY = std::min(loY, static_cast<int>(a.y)), hiY = std::max(hiY, static_cast<int>(a.y));
  }
  EXPECT_EQ(loX, w / 2 + 25);
  EXPECT_EQ(hiX, 300 - w / 2 - 50);
  EXPECT_EQ(loY, h / 2 + 25);
  EXPECT_EQ(hiY, 200 - h / 2 - 50);
  const uint16_t building[8] = {4, 5, 6, 7, 8, 9, 10, 11};
  ActorSlot b{};
  PlaceFadingLayeredObject(app, b, building, 100, 100, kActLayeredFadingOut, false);
  EXPECT_EQ(b.counter, 254);
  PlaceLayeredObject(app, b, building, 100, 100, kActLayeredFadingIn, false);
  EXPECT_EQ(b.counter, 1);
  EXPECT_EQ(b.layerBob[kLayerShadowMask], 11);
}

TEST_F(WalkingTest, IdleAnimationsAreDrawnFromEveryListedCodeTheCreatureHas) {
  // The idle codes a standing creature may show.
  const int16_t listed[] = {1000, 1001, 1002, 1003, 1005, 1006, 1007, 1008, 2000, 2001, 2002,
                            2003, 2004, 2005, 2006, 2007, 2008, 2009, 2010, 2012, 2013};
  std::set<int16_t> expected, drawn;
  ActorSlot a{};
  std::strcpy(a.creatureName, "civilian");
  a.firstDirection = kDirSW;
  for (int16_t code : listed) {
    if (SceneHasCreatureAnimation("civilian", code, kDirSW)) expected.insert(code);
  }
  ASSERT_GE(expected.size(), 5u);
  for (int i = 0; i < 2000; ++i) {
    PickIdleAnimation(app, a);
    drawn.insert(a.animationCode);
  }
  EXPECT_EQ(drawn, expected);
}

TEST_F(WalkingTest, WalkersTurnOntoTheSecondLegWhenLevelWithTheTargetAndFaceTheirArrivalWay) {
  // A diagonal first leg (SE, then E): the turn comes on the first frame that finds y level with the
  // target, not before.
  ActorSlot& a = world.NewActor();
  std::strcpy(a.creatureName, "civilian");
  a.x = 100, a.y = 100;
  ASSERT_TRUE(WalkToPoint(app, a, 300, 250, kActWalker, 1000));  // slope 0.75
  ASSERT_EQ(a.firstDirection, kDirSE);
  ASSERT_EQ(a.secondDirection, kDirE);
  int frames = 0;
  while (a.firstDirection == kDirSE && frames++ < 500) {
    const bool level = Near(a.y, a.targetY);
    AdvanceWalker(app, a);
    EXPECT_EQ(a.firstDirection == kDirE, level) << "y " << a.y;
  }
  EXPECT_EQ(a.stepY, 0.0f);
  EXPECT_EQ(a.secondDirection, kDirE) << "both legs now the same";
  // A walker arriving on the screen stands facing south-west; a villager faces its arrival way.
  while (a.activity == kActWalker && frames++ < 1000) AdvanceWalker(app, a);
  EXPECT_EQ(a.activity, kActIdle);
  EXPECT_EQ(a.firstDirection, kDirSW);
  ActorSlot& v = world.NewActor();
  std::strcpy(v.creatureName, "woman_01");
  v.x = 300, v.y = 300;
  v.arrivalDirection = kDirNE;
  ASSERT_TRUE(WalkToPoint(app, v, 350, 300, kActSmallVisitorWalking, 1000));
  while (v.activity == kActSmallVisitorWalking && frames++ < 2000) AdvanceWalker(app, v);
  EXPECT_EQ(v.activity, kActSmallVisitorStanding);
  EXPECT_EQ(v.firstDirection, kDirNE);
}

}  // namespace
