// Each scene's chain of activities from its start to its end, on the synthetic world.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <tuple>

#include "scene/activities.h"
#include "scene/actor_pool.h"
#include "scene/frame_update.h"
#include "scene/scenes.h"
#include "scene/walking.h"
#include "staticdata/application_services.h"
#include "staticdata/ve_animation_state.h"
#include "tests/scene/scene_world.h"

namespace {

using tl_test::SceneWorld;
using tl_test::SceneWorldOptions;

SceneWorldOptions SmallScreen() {
  SceneWorldOptions options;
  options.width = 800;
  options.height = 600;
  return options;
}

// A scene phase without the big logo and the waiting walkers, that never winds down by itself.
class ScenesTest : public ::testing::Test {
 protected:
  ScenesTest() : world(SmallScreen()), app(world.app()) {
    app.introOver = 1;
    app.phaseDeadline = world.clock.NowMs() + 0x40000000u;
    LayOutSites(app);
  }
  // Ticks until the condition holds; false after maxFrames.
  bool RunUntil(const std::function<bool()>& condition, int maxFrames) {
    for (int i = 0; i < maxFrames; ++i) {
      if (condition()) return true;
      world.Tick();
    }
    return condition();
  }
  int CountAny(std::initializer_list<int32_t> activities) {
    int n = 0;
    for (int32_t a : activities) n += world.Count(a);
    return n;
  }
  bool Played(const char* name) {
    for (const std::string& s : world.sound.played) {
      if (s == name) return true;
    }
    return false;
  }
  SceneWorld world;
  SaverApplication& app;
};

TEST_F(ScenesTest, SmallBuildingRisesIsVisitedAndFreesItsPlot) {
  ASSERT_TRUE(StartSmallBuilding(app));
  ASSERT_EQ(world.Count(kActSmallWorkerWalking), 2);
  const uint16_t plot = world.First(kActSmallWorkerWalking)->siteIndex;
  EXPECT_TRUE(app.sites[plot].occupied);
  ASSERT_TRUE(RunUntil([&] { return world.Count(kActSmallBuildingFadingIn) > 0; }, 3000));
  EXPECT_EQ(world.Count(kActSmallWorkerWorking), 2) << "the building comes when both workers work";
  const ActorSlot* building = world.First(kActSmallBuildingFadingIn);
  EXPECT_EQ(building->siteIndex, plot);
  EXPECT_EQ(building->layerBob[kMainPicture], 8);
  ASSERT_TRUE(RunUntil([&] { return world.Count(kActSmallBuildingStanding) > 0; }, 300));
  EXPECT_EQ(world.Count(kActSmallWorkerWorking), 0);
  EXPECT_EQ(world.Count(kActSmallWorkerLeaving), 2);
  EXPECT_EQ(world.Count(kActSmallVisitorWalking), 3);
  ASSERT_TRUE(RunUntil([&] { return world.Count(kActSmallBuildingFadingOut) > 0; }, 12 * 400));
  EXPECT_TRUE(app.sites[plot].occupied);
  ASSERT_TRUE(RunUntil([&] { return CountAny({21, 22, 23}) == 0; }, 300));
  EXPECT_FALSE(app.sites[plot].occupied) << "the plot is free again";
  EXPECT_TRUE(app.sites[plot].active);
  ASSERT_TRUE(RunUntil([&] { return CountAny({18, 19, 20, 24, 25, 26}) == 0; }, 12 * 60));
}

TEST_F(ScenesTest, LargeBuildingNeedsThreeWorkersOfItsOwnPlot) {
  // Two workers at plot 0 work already, one at plot 1; a worker of plot 1 arrives: 2 at plot 1.
  auto worker = [&](uint16_t site, int32_t activity) -> ActorSlot& {
    ActorSlot& w = world.NewActor();
    std::strcpy(w.creatureName, "constructionworker_master");
    w.siteIndex = site, w.siteX = 300, w.siteY = 300, w.x = 250, w.y = 300;
    w.activity = activity;
    return w;
  };
  worker(0, kActLargeWorkerWorking);
  worker(0, kActLargeWorkerWorking);
  worker(1, kActLargeWorkerWorking);
  EndActivity(app, worker(1, kActLargeWorkerWalking));
  EXPECT_EQ(world.Count(kActLargeBuildingFadingIn), 0) << "workers of another plot do not count";
  EndActivity(app, worker(0, kActLargeWorkerWalking));
  ASSERT_EQ(world.Count(kActLargeBuildingFadingIn), 1);
  const ActorSlot* building = world.First(kActLargeBuildingFadingIn);
  EXPECT_EQ(building->siteIndex, 0);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(building->layerBob[i], 12 + i);
  EXPECT_EQ(building->counter, 1);
  EXPECT_EQ(building->x, 300.0f);
}

TEST_F(ScenesTest, BuildingStartersRefuseWithoutPlotOrSlots) {
  for (SiteRecord& site : app.sites) site.occupied = site.active;
  EXPECT_FALSE(StartSmallBuilding(app));
  LayOutSites(app);
  app.textPhase = 1;
  EXPECT_FALSE(StartSmallBuilding(app));
  app.textPhase = 0;
  for (int i = 0; i < kActorCount - 6; ++i) world.NewActor().activity = kActWalker;
  EXPECT_FALSE(StartSmallBuilding(app)) << "fewer than 7 free slots";
}

TEST_F(ScenesTest, TreeGrowsIsFelledAndFalls) {
  // Plant until a tree that can be felled stands (picture 34 trees are never felled).
  ActorSlot* tree = nullptr;
  for (int attempt = 0; attempt < 20 && !tree; ++attempt) {
    ActorSlot& t = world.NewActor();
    ASSERT_TRUE(PlantTree(app, t));
    EXPECT_EQ(t.activity, kActTreeGrowing);
    EXPECT_EQ(t.layerBob[kMainPicture], 31);
    world.Tick(13);
    EXPECT_EQ(t.layerBob[kShadowBob], t.layerBob[kMainPicture]);
    if (t.layerBob[kMainPicture] == 33) tree = &t;
  }
  ASSERT_NE(tree, nullptr);
  EXPECT_TRUE(Played("plop"));
  ASSERT_TRUE(RunUntil([&] { return tree->activity == kActTreeChopped; }, 12 * 600));
  const ActorSlot* cutter = world.First(kActWoodcutterChopping);
  ASSERT_NE(cutter, nullptr);
  EXPECT_STREQ(cutter->creatureName, "woodworker_trainee");
  EXPECT_GE(Trunc(cutter->y), tree->siteY + 4) << "drawn in front of the tree";
  ASSERT_TRUE(RunUntil([&] { return tree->activity == kActTreeFalling; }, 12 * 13));
  const float standingY = tree->y;
  ASSERT_TRUE(RunUntil([&] { return tree->layerBob[kMainPicture] == 43; }, 100));
  EXPECT_TRUE(Played("TreeFalling"));
  EXPECT_EQ(tree->y, standingY - 40.0f);
  ASSERT_TRUE(RunUntil([&] { return tree->activity == 0; }, 20));
  EXPECT_EQ(world.Count(kActWoodcutterChopping), 0) << "the woodcutter walks off";
}

TEST_F(ScenesTest, UnfellableTreeAndOrphanedFallingTree) {
  ActorSlot& tree = world.NewActor();
  ASSERT_TRUE(PlantTree(app, tree));
  tree.layerBob[kMainPicture] = tree.layerBob[kShadowBob] = 34;
  for (int i = 0; i < 50; ++i) {
    tree.deadline = 0;
    world.Tick();
    EXPECT_EQ(tree.activity, kActTreeGrowing);
  }
  EXPECT_EQ(world.Count(kActWoodcutterWalking), 0);
  // A fallen tree whose woodcutter is gone keeps its last picture.
  tree.activity = kActTreeFalling;
  tree.layerBob[kMainPicture] = 43;
  world.Tick(60);
  EXPECT_EQ(tree.activity, kActTreeFalling);
  EXPECT_EQ(tree.layerBob[kMainPicture], 43);
}

TEST_F(ScenesTest, StorkDropsExactlyOneBaby) {
  ASSERT_TRUE(StartStork(app));
  EXPECT_FALSE(StartStork(app)) << "one stork at a time";
  ActorSlot* stork = world.First(kActStork);
  ASSERT_NE(stork, nullptr);
  EXPECT_TRUE(stork->finishPending);
  EXPECT_FLOAT_EQ(stork->stepX, 850 * 0.0088495575f);
  int babies = 0;
  std::set<int> babySlots;
  for (int frame = 0; frame < 200 && world.Count(kActStork); ++frame) {
    world.Tick();
    for (int i = 0; i < kActorCount; ++i) {
      const ActorSlot& a = app.actors[i];
      if (IsBaby(a.creatureName) && !babySlots.count(i)) {
        babySlots.insert(i);
        ++babies;
        EXPECT_EQ(a.activity, kActIdle) << "a new baby starts idle";
        EXPECT_EQ(frame, 55);
      }
    }
  }
  EXPECT_EQ(world.Count(kActStork), 0);
  EXPECT_EQ(babies, 1);
}

TEST_F(ScenesTest, FlowerClusterComesUpAndGoes) {
  ASSERT_TRUE(StartFlowerCluster(app));
  EXPECT_EQ(world.Count(kActWaitingFlower), 6);
  std::set<int> bloomed;
  for (int frame = 0; frame < 12 * 70 && CountAny({2, 8}) > 0; ++frame) {
    world.Tick();
    for (int i = 0; i < kActorCount; ++i) {
      const ActorSlot& a = app.actors[i];
      if (a.activity != kActFlower) continue;
      bloomed.insert(i);
      EXPECT_GE(a.layerBob[kMainPicture], 20);
      EXPECT_LE(a.layerBob[kMainPicture], 30);
      EXPECT_EQ(a.layerBob[kShadowBob], a.layerBob[kMainPicture]);
    }
  }
  EXPECT_EQ(CountAny({2, 8}), 0);
  EXPECT_EQ(bloomed.size(), 6u);
  EXPECT_TRUE(Played("plop"));
}

TEST_F(ScenesTest, ClayPitIsDugAndItsSiteRemoved) {
  ASSERT_TRUE(StartClayPit(app));
  ActorSlot* worker = world.First(kActClayWorkerWalking);
  ASSERT_NE(worker, nullptr);
  const uint16_t record = worker->siteIndex;
  const SiteRecord& site = app.sites[record];
  EXPECT_TRUE(site.active && site.occupied);
  EXPECT_EQ(site.right - site.left, 80);
  EXPECT_EQ(site.top, worker->siteY);
  ASSERT_TRUE(RunUntil([&] { return world.Count(kActClayPitFadingIn) == 1; }, 3000));
  EXPECT_EQ(world.Count(kActClayWorkerWorking), 1);
  ASSERT_TRUE(RunUntil([&] { return world.Count(kActClayWorkerFinishing) == 1; }, 300));
  EXPECT_STREQ(world.First(kActClayWorkerFinishing)->creatureName, "fisher_trainee");
  EXPECT_EQ(world.Count(kActClayPitStanding), 1);
  ASSERT_TRUE(RunUntil([&] { return world.Count(kActClayPitFadingOut) == 1; }, 100));
  EXPECT_EQ(world.Count(kActClayWorkerLeaving), 1);
  ASSERT_TRUE(RunUntil([&] { return CountAny({42, 43, 44, 45, 46, 47, 48}) == 0; }, 3000));
  EXPECT_FALSE(app.sites[record].active) << "the pit's site record is removed";
}

TEST_F(ScenesTest, MonumentGathersVillagersAndReleasesTheFlag) {
  app.monumentInUse = 1;  // the big logo of the phase is still showing
  EXPECT_FALSE(StartMonument(app));
  app.monumentInUse = 0;
  ASSERT_TRUE(StartMonument(app));
  EXPECT_TRUE(app.monumentInUse);
  ActorSlot* monument = world.First(kActMonumentFadingIn);
  ASSERT_NE(monument, nullptr);
  EXPECT_EQ(monument->x, 400.0f);
  EXPECT_EQ(monument->y, 560.0f);
  ASSERT_TRUE(RunUntil([&] { return monument->activity == kActMonumentHolding; }, 300));
  const int villagers = world.Count(kActMonumentVisitorWalking);
  EXPECT_GT(villagers, 10);
  EXPECT_LE(villagers, 15);
  ASSERT_TRUE(RunUntil([&] { return world.Count(kActMonumentVisitorStanding) > 0; }, 3000));
  ASSERT_TRUE(RunUntil([&] { return monument->activity == kActMonumentFadingOut; }, 12 * 400));
  EXPECT_EQ(CountAny({39, 40}), 0) << "the gathered villagers leave";
  ASSERT_TRUE(RunUntil([&] { return !app.monumentInUse; }, 300));
  EXPECT_EQ(world.Count(kActMonumentFadingOut), 0);
}

TEST_F(ScenesTest, SoldiersHerdsAndShepherdCrossTogether) {
  ASSERT_TRUE(StartSoldiers(app));
  int soldiers = 0;
  for (const ActorSlot& a : app.actors) {
    if (a.activity != kActWalker) continue;
    ++soldiers;
    EXPECT_TRUE(a.finishPending);
    EXPECT_TRUE(IsSoldier(a.creatureName));
  }
  EXPECT_EQ(soldiers, 6);
  world.ClearPool();
  ASSERT_TRUE(StartShepherd(app));
  std::set<std::string> names;
  const ActorSlot* leader = nullptr;
  for (const ActorSlot& a : app.actors) {
    if (a.activity != kActWalker) continue;
    names.insert(a.creatureName);
    if (!leader) leader = &a;
    if (std::strcmp(a.creatureName, "sheep") == 0) {
      EXPECT_NEAR(a.targetX - a.x, leader->targetX - leader->x, 1.0f) << "followers keep the leader's course";
      EXPECT_NEAR(a.targetY - a.y, leader->targetY - leader->y, 1.0f);
    } else {
      EXPECT_EQ(a.targetX, leader->targetX) << "the shepherd heads for the leader's target";
      EXPECT_EQ(std::fabs(a.x - leader->x), 50.0f);
    }
  }
  EXPECT_EQ(names, (std::set<std::string>{"sheep", "scout_master"}));
  ASSERT_TRUE(RunUntil([&] { return world.Count(kActWalker) == 0; }, 3000)) << "all leave and are cleared";
  world.ClearPool();
  ASSERT_TRUE(StartHerd(app));
  names.clear();
  for (const ActorSlot& a : app.actors) {
    if (a.activity == kActWalker) names.insert(a.creatureName);
  }
  EXPECT_EQ(names.size(), 1u) << "a herd is of one kind";
  EXPECT_TRUE(IsAnimal(names.begin()->c_str()));
}

TEST_F(ScenesTest, FamilyMeetsAndBecomesWalkers) {
  ASSERT_TRUE(StartFamilyMeeting(app));
  std::set<int> family, met, walkedOn;
  for (int i = 0; i < kActorCount; ++i) {
    if (app.actors[i].activity == kActFamilyWalking) family.insert(i);
  }
  EXPECT_EQ(family.size(), 6u);
  for (int frame = 0; frame < 12 * 120 && CountAny({56, 57}) > 0; ++frame) {
    world.Tick();
    for (int i : family) {
      const ActorSlot& a = app.actors[i];
      if (a.activity == kActFamilyMeeting) {
        met.insert(i);
        EXPECT_EQ(a.animationCode, 1007);
      }
      if (a.activity == kActWalker && met.count(i)) walkedOn.insert(i);
    }
  }
  EXPECT_EQ(met, family);
  EXPECT_EQ(walkedOn, family) << "they walk on as ordinary walkers";
}

TEST_F(ScenesTest, ForestNeedsMoreFreeSlotsThanTrees) {
  EXPECT_EQ(ForestSizeForHeight(599), 15);
  EXPECT_EQ(ForestSizeForHeight(600), 30);
  EXPECT_EQ(ForestSizeForHeight(1200), 75);
  ASSERT_TRUE(StartForest(app));
  EXPECT_EQ(world.Count(kActWaitingTree), 30);
  ASSERT_TRUE(RunUntil([&] { return world.Count(kActWaitingTree) == 0; }, 12 * 31));
  EXPECT_GE(world.Count(kActTreeGrowing), 25);
  for (int i = 0; i < kActorCount; ++i) {
    if (app.actors[i].activity == 0) app.actors[i].activity = kActWalker;
  }
  EXPECT_FALSE(StartForest(app));
}

TEST_F(ScenesTest, BigLogoDissolvesInHoldsAndOut) {
  app.monumentInUse = 1;
  StartBigLogo(app);
  ActorSlot& logo = app.actors[0];
  EXPECT_EQ(logo.activity, kActLogoFadingIn);
  EXPECT_EQ(logo.x, 400.0f);
  EXPECT_EQ(logo.y, 400.0f);
  world.Tick(253);
  EXPECT_EQ(logo.activity, kActLogoHolding);
  EXPECT_EQ(logo.counter, 254);
  ASSERT_TRUE(RunUntil([&] { return logo.activity == kActLogoFadingOut; }, 12 * 31));
  world.Tick(253);
  EXPECT_EQ(logo.activity, 0);
  EXPECT_TRUE(app.cornerLogoOn);
  EXPECT_FALSE(app.monumentInUse);
}

// (offset x, offset y, facing) of a villager's target from its place, as the scene tables give them.
using Spot = std::tuple<int, int, int>;

std::multiset<Spot> TargetsOf(const SaverApplication& app, int32_t activity, int originX, int originY) {
  std::multiset<Spot> spots;
  for (const ActorSlot& a : app.actors) {
    if (a.activity != activity) continue;
    spots.insert({Trunc(a.targetX) - originX, Trunc(a.targetY) - originY, a.arrivalDirection});
  }
  return spots;
}

TEST_F(ScenesTest, MonumentVillagersTakeTheirPlacesAndEachArrivalRestartsTheHold) {
  world.ClearPool();  // no plots in the way: every villager finds its path
  ASSERT_TRUE(StartMonument(app));
  ActorSlot* monument = world.First(kActMonumentFadingIn);
  ASSERT_NE(monument, nullptr);
  ASSERT_TRUE(RunUntil([&] { return monument->activity == kActMonumentHolding; }, 300));
  const uint32_t shown = world.clock.NowMs() - world.TickMs();
  EXPECT_EQ(monument->deadline, shown + 300000);
  const std::multiset<Spot> expected = {
      {-210, -20, kDirNE}, {-180, -30, kDirNE}, {-150, -50, kDirNE}, {-110, -10, kDirNE}, {-90, -30, kDirNE},
      {-60, 0, kDirNE},    {-30, 20, kDirNE},   {0, -40, kDirNE},    {30, 0, kDirNW},     {80, -30, kDirNW},
      {100, -45, kDirNW},  {130, -30, kDirNW},  {170, -60, kDirNW},  {200, -40, kDirNW},  {240, -20, kDirNW}};
  EXPECT_EQ(TargetsOf(app, kActMonumentVisitorWalking, Trunc(monument->x), Trunc(monument->y)), expected);
  ASSERT_TRUE(RunUntil([&] { return world.Count(kActMonumentVisitorStanding) > 0; }, 3000));
  const uint32_t arrived = world.clock.NowMs() - world.TickMs();
  EXPECT_GE(monument->deadline, arrived + 10000) << "an arrival holds the monument 10 to 30 s from now";
  EXPECT_LE(monument->deadline, arrived + 30000);
  EXPECT_EQ(monument->activity, kActMonumentHolding);
}

TEST_F(ScenesTest, BuildingVillagersTakeTheirPlacesAndEachArrivalRestartsTheHold) {
  for (bool large : {false, true}) {
    SCOPED_TRACE(large ? "large" : "small");
    world.ClearPool();
    LayOutSites(app);
    ASSERT_TRUE(large ? StartLargeBuilding(app) : StartSmallBuilding(app));
    const int32_t workerWalking = large ? kActLargeWorkerWalking : kActSmallWorkerWalking;
    const ActorSlot* worker = world.First(workerWalking);
    ASSERT_NE(worker, nullptr);
    const int siteX = worker->siteX, siteY = worker->siteY;
    const std::multiset<Spot> workers =
        large ? std::multiset<Spot>{{35, 55, kDirNW}, {-60, 40, kDirNE}, {60, 35, kDirNE}}
              : std::multiset<Spot>{{-90, -5, kDirE}, {-30, 30, kDirNE}};
    EXPECT_EQ(TargetsOf(app, workerWalking, siteX, siteY), workers);
    const int32_t visitorWalking = large ? kActLargeVisitorWalking : kActSmallVisitorWalking;
    const int32_t visitorStanding = large ? kActLargeVisitorStanding : kActSmallVisitorStanding;
    const int32_t standing = large ? kActLargeBuildingStanding : kActSmallBuildingStanding;
    ASSERT_TRUE(RunUntil([&] { return world.Count(standing) == 1; }, 12 * 400));
    const std::multiset<Spot> villagers =
        large ? std::multiset<Spot>{{-100, 30, kDirE}, {-50, 70, kDirNE}, {20, 70, kDirNE}, {60, 60, kDirNW}}
              : std::multiset<Spot>{{-100, 0, kDirE}, {-50, 47, kDirNE}, {60, 55, kDirNW}};
    EXPECT_EQ(TargetsOf(app, visitorWalking, siteX, siteY), villagers);
    ActorSlot* building = world.First(standing);
    EXPECT_EQ(building->deadline, world.clock.NowMs() - world.TickMs() + 300000);
    ASSERT_TRUE(RunUntil([&] { return world.Count(visitorStanding) > 0; }, 3000));
    const uint32_t arrived = world.clock.NowMs() - world.TickMs();
    EXPECT_GE(building->deadline, arrived + 60000) << "an arrival holds the building 60 to 120 s from now";
    EXPECT_LE(building->deadline, arrived + 120000);
  }
}

TEST_F(ScenesTest, WoodcutterHoldsTheTreeThenFellsItTwelveSecondsAfterArriving) {
  world.ClearPool();
  // A tree in a lower slot with the same column but another row: not the one the woodcutter came for.
  ActorSlot& decoy = world.NewActor();
  decoy.activity = 15;  // held (an activity that does nothing) until it is made a tree below
  ActorSlot& tree = world.NewActor();
  ASSERT_TRUE(PlantTree(app, tree));
  tree.layerBob[kMainPicture] = tree.layerBob[kShadowBob] = 33;
  tree.x = 400, tree.y = 300;
  for (int i = 0; i < 100 && world.Count(kActWoodcutterWalking) == 0; ++i) {
    tree.deadline = 0;
    world.Tick();
  }
  ASSERT_EQ(world.Count(kActWoodcutterWalking), 1);
  const uint32_t called = world.clock.NowMs() - world.TickMs();
  EXPECT_EQ(tree.deadline, called + 300000) << "the tree waits for its woodcutter";
  EXPECT_EQ(tree.siteX, 400);
  EXPECT_EQ(tree.siteY, 300);
  decoy = tree;
  decoy.siteY = 307;
  decoy.deadline = called + 10000000;
  ASSERT_TRUE(RunUntil([&] { return tree.activity == kActTreeChopped; }, 12 * 300));
  EXPECT_EQ(tree.deadline, world.clock.NowMs() - world.TickMs() + 12000);
  EXPECT_EQ(decoy.activity, kActTreeGrowing);
}

TEST_F(ScenesTest, StorkFliesLevelWithADipAndStartsWithinItsBand) {
  ASSERT_TRUE(StartStork(app));
  ActorSlot* stork = world.First(kActStork);
  ASSERT_NE(stork, nullptr);
  const float rate = 0.0088495575f;
  float x = stork->x, y = stork->y;
  EXPECT_EQ(x, 825.0f);
  for (uint16_t frame = 0; frame < 56; ++frame) {
    world.Tick();
    ASSERT_EQ(stork->activity, kActStork);
    x -= stork->stepX;
    y -= (static_cast<float>(frame) * rate - 0.5f) * 2.0f * 10.0f;
    ASSERT_FLOAT_EQ(stork->x, x) << frame;
    ASSERT_FLOAT_EQ(stork->y, y) << frame;
  }
  const ActorSlot* baby = nullptr;
  for (const ActorSlot& a : app.actors) {
    if (IsBaby(a.creatureName)) baby = &a;
  }
  ASSERT_NE(baby, nullptr) << "dropped on the 56th frame";
  EXPECT_FLOAT_EQ(baby->x, x - 5.0f);
  EXPECT_FLOAT_EQ(baby->y, y + 15.0f);

  int lo = 9999, hi = -9999;
  for (int i = 0; i < 5000; ++i) {
    ClearActor(*world.First(kActStork));
    ASSERT_TRUE(StartStork(app));
    const int startY = Trunc(world.First(kActStork)->y);
    lo = std::min(lo, startY), hi = std::max(hi, startY);
  }
  EXPECT_EQ(lo, 25);
  EXPECT_EQ(hi, 600 - 300);
}

// Building workers stand and work facing the way their plot gives them: on the small site the trainee
// east and the master north-east; on the large one north-west, north-east, north-east.
TEST_F(ScenesTest, BuildingWorkersKeepTheirArrivalFacingWhileTheyWork) {
  auto facings = [&](int32_t working) {
    std::multiset<std::pair<std::string, uint16_t>> seen;
    for (const ActorSlot& a : app.actors) {
      if (a.activity == working) {
        seen.emplace(a.creatureName, a.firstDirection);
        EXPECT_EQ(a.animationCode, 2001);
      }
    }
    return seen;
  };
  ASSERT_TRUE(StartSmallBuilding(app));
  ASSERT_TRUE(RunUntil([&] { return world.Count(kActSmallWorkerWorking) == 2; }, 3000));
  const std::multiset<std::pair<std::string, uint16_t>> small = {{"constructionworker_trainee", kDirE},
                                                                 {"constructionworker_master", kDirNE}};
  for (int frame = 0; frame < 24; ++frame, world.Tick()) ASSERT_EQ(facings(kActSmallWorkerWorking), small);

  world.ClearPool();
  LayOutSites(app);
  ASSERT_TRUE(StartLargeBuilding(app));
  ASSERT_TRUE(RunUntil([&] { return world.Count(kActLargeWorkerWorking) == 3; }, 3000));
  const std::multiset<std::pair<std::string, uint16_t>> large = {{"constructionworker_trainee", kDirNW},
                                                                 {"constructionworker_master", kDirNE},
                                                                 {"constructionworker_trainee", kDirNE}};
  for (int frame = 0; frame < 24; ++frame, world.Tick()) ASSERT_EQ(facings(kActLargeWorkerWorking), large);
}

// Once his tree has fallen the woodcutter walks off for good: the tree goes, he leaves with his work
// code and is cleared at the edge; no new scene takes his place. A woodcutter at another tree stays.
TEST_F(ScenesTest, WoodcutterIsClearedNotRescheduledOnceHisTreeHasFallen) {
  world.ClearPool();
  ActorSlot& tree = world.NewActor();
  ASSERT_TRUE(PlantTree(app, tree));
  tree.activity = kActTreeFalling;
  tree.layerBob[kMainPicture] = tree.layerBob[kShadowBob] = 43;
  tree.x = 400, tree.y = 260, tree.siteX = 400, tree.siteY = 300;
  auto woodcutter = [&]() -> ActorSlot& {
    ActorSlot& c = world.NewActor();
    c.activity = kActWoodcutterWalking;
    return c;
  };
  ActorSlot& elsewhere = woodcutter();
  ActorSlot& cutter = woodcutter();
  for (ActorSlot* c : {&elsewhere, &cutter}) {
    StartStanding(app, *c, 373, 304, 300000, "woodworker_trainee", kActWoodcutterChopping, kDirE);
    c->siteX = 400, c->siteY = 300;
  }
  elsewhere.siteY = 310;
  EndActivity(app, tree);
  EXPECT_EQ(tree.activity, kActFree);
  EXPECT_EQ(elsewhere.activity, kActWoodcutterChopping);
  EXPECT_EQ(cutter.activity, kActWalker);
  EXPECT_EQ(cutter.animationCode, 2000);
  EXPECT_FALSE(OnScreen(app, cutter.targetX, cutter.targetY));
  ClearActor(elsewhere);
  ASSERT_TRUE(RunUntil([&] { return cutter.activity == kActFree; }, 12 * 300));
  world.Tick(3);
  int busy = 0;
  for (const ActorSlot& a : app.actors) busy += a.activity != kActFree;
  EXPECT_EQ(busy, 0) << "no scene is chosen in his place";
}

// A slot that becomes a creature is dressed then: its colour map (from its own colours and a player
// colour set) and its outfit, drawn from the shared generator in that order, creature by creature. A
// later start (arriving, working) keeps the colours it has.
TEST_F(ScenesTest, ACreatureIsDressedFromItsColourSetOnItsFirstStartOnly) {
  SeedPortableRand(4321);
  ASSERT_TRUE(StartSmallBuilding(app));
  ActorSlot* trainee = nullptr;
  ActorSlot* master = nullptr;
  for (ActorSlot& a : app.actors) {
    if (a.activity != kActSmallWorkerWalking) continue;
    (std::strcmp(a.creatureName, "constructionworker_master") == 0 ? master : trainee) = &a;
  }
  ASSERT_TRUE(trainee && master);
  SeedPortableRand(4321);
  VE_ANIMATION_STATE first{}, second{};
  ASSERT_TRUE(DressCreature(first, "constructionworker_trainee"));
  ChooseOutfit(first, "constructionworker_trainee");
  ASSERT_TRUE(DressCreature(second, "constructionworker_master"));
  EXPECT_EQ(
      std::vector<uint8_t>(std::begin(trainee->animState.colourMap), std::end(trainee->animState.colourMap)),
      std::vector<uint8_t>(std::begin(first.colourMap), std::end(first.colourMap)));
  EXPECT_EQ(
      std::vector<uint8_t>(std::begin(master->animState.colourMap), std::end(master->animState.colourMap)),
      std::vector<uint8_t>(std::begin(second.colourMap), std::end(second.colourMap)));
  EXPECT_EQ(first.colourMap[200], 200) << "its own colours: the Identity table over the screen palette";

  std::memset(trainee->animState.colourMap, 77, sizeof trainee->animState.colourMap);
  EndActivity(app, *trainee);
  ASSERT_EQ(trainee->activity, kActSmallWorkerWorking);
  EXPECT_EQ(trainee->animState.colourMap[200], 77) << "arriving does not dress again";
}

// The stork's flight ends when its flying animation completes a cycle: a longer animation flies
// exactly that many frames longer, and ends on the screen, not at the edge.
TEST(StorkFlight, EndsWhenItsFlyingAnimationCompletesACycle) {
  auto flight = [](uint16_t frames) {
    SceneWorldOptions options = SmallScreen();
    options.world.storkFlightFrames = frames;
    SceneWorld world(options);
    SaverApplication& app = world.app();
    app.introOver = 1;
    app.phaseDeadline = world.clock.NowMs() + 0x40000000u;
    EXPECT_TRUE(StartStork(app));
    int ticks = 0;
    float lastX = 0;
    for (; world.Count(kActStork) && ticks < 1000; ++ticks) {
      lastX = world.First(kActStork)->x;
      world.Tick();
    }
    return std::pair{ticks, lastX};
  };
  const auto [ticks70, x70] = flight(70);
  const auto [ticks90, x90] = flight(90);
  EXPECT_EQ(ticks90 - ticks70, 20);
  EXPECT_GT(x70, x90);
  EXPECT_GT(x90, 100.0f) << "well inside the screen";
}

TEST_F(ScenesTest, FamilyMeetsAroundOnePointAndNeedsSevenFreeSlots) {
  world.ClearPool();
  for (int i = 0; i < kActorCount - 6; ++i) world.NewActor().activity = kActWaitingWalker;
  EXPECT_FALSE(StartFamilyMeeting(app)) << "six free slots are not enough";
  ClearActor(app.actors[0]);
  ASSERT_TRUE(StartFamilyMeeting(app)) << "seven are";
  world.ClearPool();
  ASSERT_TRUE(StartFamilyMeeting(app));
  const ActorSlot* first = world.First(kActFamilyWalking);
  ASSERT_NE(first, nullptr);
  const int px = Trunc(first->targetX) + 30, py = Trunc(first->targetY) + 20;
  EXPECT_EQ(TargetsOf(app, kActFamilyWalking, px, py), (std::multiset<Spot>{{-30, -20, kDirSE},
                                                                            {0, -20, kDirSE},
                                                                            {10, 0, kDirW},
                                                                            {20, 20, kDirW},
                                                                            {0, 30, kDirNW},
                                                                            {-30, 30, kDirNE}}));
}

TEST_F(ScenesTest, ClayPitRefusesWhenNoFreePointIsFound) {
  // One site over the whole screen: no point for the pit.
  app.sites[0] = SiteRecord{1, 1, {0, 0}, -10, -10, 900, 700};
  const int before = CountFreeActors(app);
  EXPECT_FALSE(StartClayPit(app));
  EXPECT_EQ(CountFreeActors(app), before) << "nothing is left behind";
  EXPECT_FALSE(StartFamilyMeeting(app));
  EXPECT_EQ(CountFreeActors(app), before);
}

TEST_F(ScenesTest, GroupsNeedMoreFreeSlotsThanTheirMembers) {
  struct Group {
    const char* name;
    bool (*start)(SaverApplication&);
    int needed;  // free slots needed: one more than the members
  };
  for (const Group& g : {Group{"soldiers", StartSoldiers, 7}, Group{"herd", StartHerd, 7},
                         Group{"shepherd", StartShepherd, 8}, Group{"family", StartFamilyMeeting, 7}}) {
    SCOPED_TRACE(g.name);
    world.ClearPool();
    for (int i = 0; i < kActorCount - (g.needed - 1); ++i) world.NewActor().activity = 15;
    EXPECT_FALSE(g.start(app)) << g.needed - 1 << " free slots are not enough";
    EXPECT_EQ(CountFreeActors(app), g.needed - 1);
    for (ActorSlot& a : app.actors) {
      if (a.activity == 15) {
        ClearActor(a);
        break;
      }
    }
    EXPECT_TRUE(g.start(app)) << g.needed << " are";
  }
}

TEST_F(ScenesTest, ClayPitSpotsSpanTheirWholeRange) {
  int loX = 9999, hiX = -9999, loY = 9999, hiY = -9999;
  for (int i = 0; i < 5000; ++i) {
    world.ClearPool();
    ASSERT_TRUE(StartClayPit(app));
    const ActorSlot* worker = world.First(kActClayWorkerWalking);
    loX = std::min(loX, static_cast<int>(worker->siteX)),
    hiX = std::max(hiX, static_cast<int>(worker->siteX));
    loY = std::min(loY, static_cast<int>(worker->siteY)),
    hiY = std::max(hiY, static_cast<int>(worker->siteY));
  }
  EXPECT_EQ(loX, 80);
  EXPECT_EQ(hiX, 800 - 80);
  EXPECT_EQ(loY, 80);
  EXPECT_EQ(hiY, 600 - 160);
}

}  // namespace
