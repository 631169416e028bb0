#include "scene/activities.h"

#include "scene/actor_pool.h"
#include "scene/scenes.h"
#include "scene/sound_cue.h"
#include "scene/walking.h"

FrameKind FrameKindOf(int32_t a) {
  switch (a) {
    case 16:
    case 18:
    case 20:
    case 24:
    case 26:
    case 27:
    case 29:
    case 33:
    case 35:
    case 39:
    case 41:
    case 42:
    case 45:
    case 54:
    case 56:
      return FrameKind::kWalk;
    case 17:
    case 19:
    case 25:
    case 28:
    case 34:
    case 40:
    case 43:
    case 44:
    case 55:
    case 57:
      return FrameKind::kAnim;
    case 1:
    case 2:
    case 3:
    case 7:
    case 8:
    case 9:
    case 13:
    case 22:
    case 31:
    case 37:
    case 51:
      return FrameKind::kTimer;
    case 5:
    case 6:
    case 12:
    case 21:
    case 30:
    case 36:
    case 46:
      return FrameKind::kFadeIn;
    case 10:
    case 11:
    case 14:
    case 23:
    case 32:
    case 38:
    case 48:
      return FrameKind::kFadeOut;
    case 49:
    case 50:
    case 52:
    case 53:
      return FrameKind::kSpecial;
    default:
      return FrameKind::kNone;
  }
}

DrawKind DrawKindOf(int32_t a) {
  if ((a >= 16 && a <= 20) || (a >= 24 && a <= 29) || (a >= 33 && a <= 35) || (a >= 39 && a <= 45) ||
      a == 49 || (a >= 54 && a <= 57))
    return DrawKind::kCreature;
  if (a == 7 || a == 47) return DrawKind::kPicture;
  if (a == 8 || a == 9 || (a >= 50 && a <= 53)) return DrawKind::kShadowPicture;
  if (a == 5 || a == 10 || a == 46 || a == 48) return DrawKind::kDissolving;
  if ((a >= 12 && a <= 14) || (a >= 36 && a <= 38)) return DrawKind::kDissolvingShadow;
  if (a == 6 || a == 11 || (a >= 21 && a <= 23) || (a >= 30 && a <= 32)) return DrawKind::kLayered;
  return DrawKind::kNotDrawn;
}

bool IsTimedActivity(int32_t a) {
  const FrameKind kind = FrameKindOf(a);
  return kind == FrameKind::kTimer || kind == FrameKind::kAnim;
}

bool WaitThenAct(SaverApplication& app, ActorSlot& actor, int32_t activity) {
  actor.activity = activity;
  actor.deadline = SaverNow(app) + SceneRandomRange(app, 5000, 30000);
  return true;
}

void SpawnWaitingWalkers(SaverApplication& app) {
  for (int i = 0; i < app.numAnimations; ++i) {
    const uint16_t slot = AllocateActor(app);
    if (slot != kNoActor) WaitThenAct(app, app.actors[slot], kActWaitingWalker);
  }
}

static void CountScene(SaverApplication& app, SceneKind kind, bool started) {
  if (started) ++app.statistics.scenesStarted[kind];
}

static bool StandIdle(SaverApplication& app, ActorSlot& actor) {
  return StartStanding(app, actor, actor.x, actor.y, SceneRandomRange(app, 10000, 30000), actor.creatureName,
                       kActIdle, kDirSW) != 0;
}

void ChooseScene(SaverApplication& app, ActorSlot& actor) {
  for (int attempt = 0; attempt < kRetryLimit; ++attempt) {
    const uint32_t r = SceneRandomRange(app, 1, 120);
    bool done;
    if (r == 1) {
      CountScene(app, kSceneMonument, done = StartMonument(app));
    } else if (r == 2) {
      CountScene(app, kSceneForest, done = StartForest(app));
    } else if (r <= 5) {
      CountScene(app, kSceneSmallBuilding, done = StartSmallBuilding(app));
    } else if (r <= 8) {
      CountScene(app, kSceneLargeBuilding, done = StartLargeBuilding(app));
    } else if (r <= 14) {
      CountScene(app, kSceneFlowers, done = StartFlowerCluster(app));
    } else if (r <= 17) {
      CountScene(app, kSceneClayPit, done = StartClayPit(app));
    } else if (r <= 20) {
      CountScene(app, kSceneSoldiers, done = StartSoldiers(app));
    } else if (r <= 23) {
      CountScene(app, kSceneStork, done = StartStork(app));
    } else if (r <= 29) {
      const uint16_t slot = AllocateActor(app);
      done = slot != kNoActor && PlantTree(app, app.actors[slot]);
      CountScene(app, kSceneTree, done);
    } else if (r <= 32) {
      CountScene(app, kSceneHerd, done = StartHerd(app));
    } else if (r <= 35) {
      CountScene(app, kSceneFamily, done = StartFamilyMeeting(app));
    } else if (r <= 38) {
      CountScene(app, kSceneShepherd, done = StartShepherd(app));
    } else if (r <= 76) {
      done = WalkToPoint(app, actor, 0, 0, kActWalker, 1000);
    } else if (r <= 114) {
      done = EnterFromSide(app, actor, kActWalker, 1000);
    } else {
      done = WaitThenAct(app, actor, kActWaitingWalker);
    }
    if (done) return;
  }
  // Nothing could start in a thousand draws (data with which no creature can walk): wait and try later.
  WaitThenAct(app, actor, kActWaitingWalker);
}

static void EndWaitingWalker(SaverApplication& app, ActorSlot& actor) {
  ClearActor(actor);
  if (app.textPhase) {
    EnterFromSide(app, actor, kActWalker, 1000);
    return;
  }
  for (int attempt = 0; attempt < kRetryLimit; ++attempt) {
    const uint32_t r = SceneRandomRange(app, 1, 100);
    bool done;
    if (r < 48)
      done = EnterFromSide(app, actor, kActWalker, 1000);
    else if (r < 96)
      done = WalkToPoint(app, actor, 0, 0, kActWalker, 1000);
    else
      done = WaitThenAct(app, actor, kActWaitingWalker);
    if (done) return;
  }
  WaitThenAct(app, actor, kActWaitingWalker);
}

static void EndWalker(SaverApplication& app, ActorSlot& actor) {
  if (OnScreen(app, actor.x, actor.y)) {
    StandIdle(app, actor);
    return;
  }
  ClearActor(actor);
  if (app.textPhase)
    EnterFromSide(app, actor, kActWalker, 1000);
  else
    ChooseScene(app, actor);
}

static void EndIdle(SaverApplication& app, ActorSlot& actor) {
  const bool baby = IsBaby(actor.creatureName);
  for (int attempt = 0; attempt < kRetryLimit; ++attempt) {
    const uint32_t r = SceneRandomRange(app, 1, 100);
    bool done;
    if (baby) {
      if (r < 35)
        done = StandIdle(app, actor);
      else if (r < 90)
        done = WalkToPoint(app, actor, 0, 0, kActWalker, 1000);
      else
        done = LeaveScreen(app, actor, kActWalker, 1000);
    } else {
      if (r < 45)
        done = LeaveScreen(app, actor, kActWalker, 1000);
      else if (r < 90)
        done = WalkToPoint(app, actor, 0, 0, kActWalker, 1000);
      else
        done = StandIdle(app, actor);
    }
    if (done) return;
  }
  StandIdle(app, actor);
}

static void PlayAmbientCue(SaverApplication& app) {
  if (SceneRandomRange(app, 1, 75) >= 10) return;
  const uint32_t r = SceneRandomRange(app, 1, 100);
  const char* cue = r < 26 ? "cricket" : r < 51 ? "bird1" : r < 76 ? "bird2" : "pond1";
  PlaySoundCue(app, cue);
}

void EndActivity(SaverApplication& app, ActorSlot& actor) {
  if (actor.finishPending) {
    ClearActor(actor);
    return;
  }
  if (!app.textPhase) PlayAmbientCue(app);
  switch (actor.activity) {
    case kActWaitingWalker:
      EndWaitingWalker(app, actor);
      break;
    case kActWalker:
      EndWalker(app, actor);
      break;
    case kActIdle:
      EndIdle(app, actor);
      break;
    default:
      EndSceneActivity(app, actor);
      break;
  }
}
