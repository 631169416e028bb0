// Activity ends, the scene chooser, waiting walkers and sound cues.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <set>
#include <string>

#include "scene/activities.h"
#include "scene/actor_pool.h"
#include "scene/frame_update.h"
#include "scene/sound_cue.h"
#include "scene/walking.h"
#include "tests/scene/scene_world.h"

namespace {

using tl_test::SceneWorld;

bool IsAmbient(const std::string& cue) {
  return cue == "cricket" || cue == "bird1" || cue == "bird2" || cue == "pond1";
}

class ActivitiesTest : public ::testing::Test {
 protected:
  ActivitiesTest() : app(world.app()) {
    app.introOver = 1;
    app.phaseDeadline = world.clock.NowMs() + 0x40000000u;
    LayOutSites(app);
  }
  SceneWorld world;
  SaverApplication& app;
};

TEST_F(ActivitiesTest, SpawnedWaitingWalkersBecomeWalkers) {
  app.numAnimations = 40;
  SpawnWaitingWalkers(app);
  EXPECT_EQ(world.Count(kActWaitingWalker), 40);
  const uint32_t now = world.clock.NowMs();
  for (const ActorSlot& a : app.actors) {
    if (a.activity != kActWaitingWalker) continue;
    EXPECT_GE(a.deadline, now + 5000);
    EXPECT_LE(a.deadline, now + 30000);
  }
  world.clock.Advance(30000);
  world.Tick();
  EXPECT_LE(world.Count(kActWaitingWalker), 6) << "about one in twenty waits again";
  EXPECT_GE(world.Count(kActWalker), 34);
}

TEST_F(ActivitiesTest, FinishPendingClearsWithoutCueOrFollowUp) {
  for (int i = 0; i < 300; ++i) {
    ActorSlot& a = world.NewActor();
    std::strcpy(a.creatureName, "civilian");
    a.activity = kActSmallWorkerWalking;
    a.finishPending = 1;
    EndActivity(app, a);
    EXPECT_EQ(a.activity, 0);
  }
  EXPECT_TRUE(world.sound.played.empty());
  EXPECT_EQ(world.Count(kActSmallWorkerWorking), 0);
}

TEST_F(ActivitiesTest, AmbientCuesPlayOnlyOutsideTheTextPhase) {
  auto endMany = [&] {
    world.sound.played.clear();
    for (int i = 0; i < 400; ++i) {
      ActorSlot& a = world.NewActor();
      a.activity = kActUnused4;
      EndActivity(app, a);
    }
    int ambient = 0;
    for (const std::string& cue : world.sound.played) ambient += IsAmbient(cue);
    return ambient;
  };
  const int sceneAmbient = endMany();
  EXPECT_GT(sceneAmbient, 20);  // 9 in 75
  EXPECT_LT(sceneAmbient, 100);
  app.textPhase = 1;
  EXPECT_EQ(endMany(), 0);
}

TEST_F(ActivitiesTest, WalkerEndingOffScreenLeadsToExactlyOneChooserAction) {
  for (int round = 0; round < 150; ++round) {
    world.ClearPool();
    LayOutSites(app);
    ActorSlot& a = world.NewActor();
    const uint16_t slot = SlotIndex(app, a);
    std::strcpy(a.creatureName, "civilian");
    a.activity = kActWalker;
    a.x = -60, a.y = 300;
    uint32_t before = 0;
    for (uint32_t n : app.statistics.scenesStarted) before += n;
    EndActivity(app, a);
    uint32_t after = 0;
    for (uint32_t n : app.statistics.scenesStarted) after += n;
    const int32_t activity = app.actors[slot].activity;
    if (after == before) {
      EXPECT_TRUE(activity == kActWalker || activity == kActWaitingWalker) << activity;
    } else {
      EXPECT_EQ(after, before + 1);
    }
  }
}

TEST_F(ActivitiesTest, WalkerEndingOnScreenStandsIdle) {
  ActorSlot& a = world.NewActor();
  std::strcpy(a.creatureName, "boy_00");
  a.activity = kActWalker;
  a.x = 300, a.y = 300;
  const uint32_t now = world.clock.NowMs();
  EndActivity(app, a);
  EXPECT_EQ(a.activity, kActIdle);
  EXPECT_EQ(a.firstDirection, kDirSW);
  EXPECT_LE(a.deadline, now + 30000);
  // In the text phase a walker that leaves re-enters from a side.
  app.textPhase = 1;
  a.activity = kActWalker;
  a.x = 2000;
  EndActivity(app, a);
  EXPECT_EQ(a.activity, kActWalker);
  EXPECT_TRUE(a.x == -50.0f || a.x == app.screenWidth + 25.0f) << a.x;
}

TEST_F(ActivitiesTest, IdleEndChoosesLeaveWalkOrIdleAndBabiesStayLonger) {
  std::map<int32_t, int> adultEnds, babyEnds;
  for (int i = 0; i < 300; ++i) {
    for (const char* name : {"civilian", "baby_female"}) {
      ActorSlot& a = world.NewActor();
      StartStanding(app, a, 400, 300, 10000, name, kActIdle, kDirSW);
      EndActivity(app, a);
      ASSERT_TRUE(a.activity == kActIdle || a.activity == kActWalker);
      const bool leaving = a.activity == kActWalker && !OnScreen(app, a.targetX, a.targetY);
      const int32_t kind = a.activity == kActIdle ? 0 : leaving ? 2 : 1;
      (IsBaby(name) ? babyEnds : adultEnds)[kind]++;
      ClearActor(a);
    }
  }
  EXPECT_GT(adultEnds[2], babyEnds[2] * 2) << "babies leave one time in ten, adults almost one in two";
  EXPECT_GT(babyEnds[0], adultEnds[0] * 2) << "babies idle again one time in three, adults one in ten";
}

TEST_F(ActivitiesTest, ChooserStartsEveryKindOfSceneOverTime) {
  std::set<int> kinds;
  for (int round = 0; round < 3000 && kinds.size() < kSceneCount - 1; ++round) {
    world.ClearPool();
    LayOutSites(app);
    app.monumentInUse = 0;
    ActorSlot& a = world.NewActor();
    uint32_t before[kSceneCount];
    std::memcpy(before, app.statistics.scenesStarted, sizeof(before));
    ChooseScene(app, a);
    for (int k = 0; k < kSceneCount; ++k) {
      if (app.statistics.scenesStarted[k] != before[k]) kinds.insert(k);
    }
  }
  EXPECT_EQ(kinds.size(), static_cast<size_t>(kSceneCount - 1)) << "all but the big logo";
  EXPECT_FALSE(kinds.count(kSceneBigLogo));
}

// Over many draws on a fresh screen, where every scene can start, each action is taken in proportion to
// its share of the 120 draws. The shares differ by one draw at most between neighbours, so a boundary
// moved by one changes a share by a third or more and shows.
TEST_F(ActivitiesTest, ChooserTakesEachActionInProportionToItsDraws) {
  const int rounds = 12000;
  // Draws out of 120 per scene kind (index = SceneKind), then the three actions on the freed slot.
  const int sceneDraws[kSceneCount] = {0, 1, 1, 3, 3, 6, 3, 3, 3, 6, 3, 3, 3};
  int scenes[kSceneCount] = {}, walkToPoint = 0, enterFromSide = 0, wait = 0;
  for (int round = 0; round < rounds; ++round) {
    world.ClearPool();
    LayOutSites(app);
    app.monumentInUse = 0;
    ActorSlot& a = world.NewActor();
    uint32_t before[kSceneCount];
    std::memcpy(before, app.statistics.scenesStarted, sizeof(before));
    ChooseScene(app, a);
    int started = 0;
    for (int k = 0; k < kSceneCount; ++k) {
      if (app.statistics.scenesStarted[k] != before[k]) ++scenes[k], ++started;
    }
    ASSERT_LE(started, 1);
    if (started) continue;
    if (a.activity == kActWaitingWalker) {
      ++wait;
    } else if (a.activity == kActWalker && OnScreen(app, a.targetX, a.targetY)) {
      EXPECT_EQ(a.animationCode, 1000);
      ++walkToPoint;
    } else if (a.activity == kActWalker) {
      EXPECT_EQ(a.animationCode, 1000);
      ++enterFromSide;
    }
  }
  auto expectShare = [&](int count, int draws, const std::string& what) {
    const double p = draws / 120.0, mean = rounds * p, sd = std::sqrt(rounds * p * (1 - p));
    EXPECT_NEAR(count, mean, 3.5 * sd + 2) << what << ": " << draws << " of 120 draws";
  };
  for (int k = 1; k < kSceneCount; ++k) expectShare(scenes[k], sceneDraws[k], SceneKindName(k));
  EXPECT_EQ(scenes[kSceneBigLogo], 0);
  expectShare(walkToPoint, 38, "walk to a point");
  expectShare(enterFromSide, 38, "enter from a side");
  expectShare(wait, 6, "wait");
}

class SoundTest : public ::testing::Test {
 protected:
  SoundTest() : app(world.app()) {}
  SceneWorld world;
  SaverApplication& app;
};

TEST_F(SoundTest, SoundOffDrawsNoRandomNumber) {
  app.soundOn = 0;
  const uint32_t state = app.random.State();
  PlaySoundCue(app, "baby");
  PlaySoundCue(app, "prayingman");
  EXPECT_EQ(app.random.State(), state);
  EXPECT_TRUE(world.sound.played.empty());
  app.soundOn = 1;
  PlaySoundCue(app, nullptr);
  EXPECT_TRUE(world.sound.played.empty());
}

TEST_F(SoundTest, NumberedVariantsKeepTheGivenSpelling) {
  std::set<std::string> seen;
  for (int i = 0; i < 200; ++i) {
    PlaySoundCue(app, "BABY");
    PlaySoundCue(app, "Sheep");
  }
  for (const std::string& s : world.sound.played) seen.insert(s);
  EXPECT_EQ(seen, (std::set<std::string>{"BABY1", "BABY2", "BABY3", "BABY4", "Sheep1", "Sheep2", "Sheep3",
                                         "Sheep4", "Sheep5"}));
  world.sound.played.clear();
  PlaySoundCue(app, "TreeFalling");
  PlaySoundCue(app, "no such sound");
  EXPECT_EQ(world.sound.played, (std::vector<std::string>{"TreeFalling", "no such sound"}));
}

TEST_F(SoundTest, PrayingManPlaysSixteenTimesInAHundred) {
  // A draw of 1..84 out of 100 stays silent: 16 in 100 play (15 or 17 would be 1000 off here, where
  // the spread is about 160).
  const int cues = 200000;
  for (int i = 0; i < cues; ++i) PlaySoundCue(app, "PrayingMan");
  const double n = static_cast<double>(world.sound.played.size());
  EXPECT_NEAR(n, cues * 0.16, 500);
  app.soundSink = nullptr;  // no sink: dropped silently, still counted
  const uint64_t before = app.statistics.soundCuesRequested;
  PlaySoundCue(app, "plop");
  EXPECT_EQ(app.statistics.soundCuesRequested, before + 1);
  app.soundSink = &world.sound;
}

TEST_F(SoundTest, AnimationEventsReachTheSinkThroughTheStaticData) {
  ActorSlot& a = world.NewActor();
  StartStanding(app, a, 300, 300, 1000, "civilian", kActSmallWorkerWorking, kDirE);  // "work" plays "hammer"
  world.Tick(20);
  bool hammer = false;
  for (const std::string& s : world.sound.played) hammer |= s == "hammer";
  EXPECT_TRUE(hammer);
}

TEST_F(SoundTest, LongNamesAreCutTo127Characters) {
  const std::string name(200, 'x');
  PlaySoundCue(app, name.c_str());
  ASSERT_EQ(world.sound.played.size(), 1u);
  EXPECT_EQ(world.sound.played[0], name.substr(0, 127));
}

TEST(SceneKinds, EveryKindHasItsNameAndOthersAreUnknown) {
  EXPECT_STREQ(SceneKindName(kSceneBigLogo), "big logo");
  EXPECT_STREQ(SceneKindName(kSceneShepherd), "shepherd");
  EXPECT_STREQ(SceneKindName(kSceneCount), "unknown");
  EXPECT_STREQ(SceneKindName(-1), "unknown");
}

TEST_F(ActivitiesTest, WaitingLastsFiveToThirtySecondsAcrossTheWholeRange) {
  ActorSlot a{};
  const uint32_t now = world.clock.NowMs();
  uint32_t lo = 0xFFFFFFFFu, hi = 0;
  for (int i = 0; i < 400000; ++i) {  // 25001 values: both ends come up all but certainly
    ASSERT_TRUE(WaitThenAct(app, a, kActWaitingWalker));
    lo = std::min(lo, a.deadline - now), hi = std::max(hi, a.deadline - now);
  }
  EXPECT_EQ(a.activity, kActWaitingWalker);
  EXPECT_EQ(lo, 5000u);
  EXPECT_EQ(hi, 30000u);
}

}  // namespace
