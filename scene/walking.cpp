#include "scene/walking.h"

#include <algorithm>
#include <cstring>

#include "graphics/xb_bob_manager.h"
#include "scene/activities.h"
#include "scene/actor_pool.h"
#include "scene/creature_ops.h"

namespace {

// Bounds for loops that the saver repeats until they succeed; far above what real data ever needs.
constexpr int kPlacementTries = 10000;
constexpr int kAnimalRedraws = 10000;
constexpr long kPathSimulationSteps = 1L << 20;

bool HasVerticalLeg(const ActorSlot& actor) {
  return actor.firstDirection == kDirN || actor.firstDirection == kDirS || actor.secondDirection == kDirN ||
         actor.secondDirection == kDirS;
}

void PlanLegs(ActorSlot& actor) {
  ChooseDirections(actor);
  SetWalkVelocity(actor);
  ComputeCorner(actor);
}

int ScreenW(const SaverApplication& app) {
  return app.screenWidth;
}
int ScreenH(const SaverApplication& app) {
  return app.screenHeight;
}

}  // namespace

bool OffExtendedScreen(const SaverApplication& app, float x, float y) {
  const int32_t ix = Trunc(x), iy = Trunc(y);
  return ix < -100 || ix > ScreenW(app) + 100 || iy < -100 || iy > ScreenH(app) + 100;
}

bool OnScreen(const SaverApplication& app, float x, float y) {
  const int32_t ix = Trunc(x), iy = Trunc(y);
  return ix > 0 && ix < ScreenW(app) && iy > 0 && iy < ScreenH(app);
}

bool InsideSite(const SiteRecord& site, float x, float y) {
  const int32_t ix = Trunc(x), iy = Trunc(y);
  return site.left <= ix && ix <= site.right && site.top <= iy && iy <= site.bottom;
}

bool OutsideAllSites(const SaverApplication& app, float x, float y) {
  for (const SiteRecord& site : app.sites) {
    if (site.active && InsideSite(site, x, y)) return false;
  }
  return true;
}

void ChooseDirections(ActorSlot& actor) {
  const float dx = actor.targetX - actor.x;
  const float dy = actor.targetY - actor.y;
  uint16_t first, second;
  const int32_t tdx = Trunc(dx), tdy = Trunc(dy);
  if (tdx > -6 && tdx < 6) {
    first = second = (actor.targetY <= actor.y) ? kDirN : kDirS;
  } else if (tdy > -6 && tdy < 6) {
    first = second = (actor.targetX <= actor.x) ? kDirW : kDirE;
  } else {
    const float m = dy / dx;
    const bool below = actor.targetY > actor.y;
    const bool right = actor.targetX > actor.x;
    if (below && right) {
      if (m < 0.5f)
        first = kDirE, second = kDirSE;
      else if (m < 1.0f)
        first = kDirSE, second = kDirE;
      else if (m <= 2.0f)
        first = kDirSE, second = kDirS;
      else
        first = kDirS, second = kDirSE;
    } else if (below) {
      if (m < -2.0f)
        first = kDirS, second = kDirSW;
      else if (m < -1.0f)
        first = kDirSW, second = kDirS;
      else if (m <= -0.5f)
        first = kDirSW, second = kDirW;
      else
        first = kDirW, second = kDirSW;
    } else if (right) {
      if (m < -2.0f)
        first = kDirN, second = kDirNE;
      else if (m < -1.0f)
        first = kDirNE, second = kDirN;
      else if (m <= -0.5f)
        first = kDirNE, second = kDirE;
      else
        first = kDirE, second = kDirNE;
    } else {
      if (m < 0.5f)
        first = kDirW, second = kDirNW;
      else if (m < 1.0f)
        first = kDirNW, second = kDirW;
      else if (m <= 2.0f)
        first = kDirNW, second = kDirN;
      else
        first = kDirN, second = kDirNW;
    }
  }
  actor.firstDirection = first;
  actor.secondDirection = second;
}

bool DirectionStep(uint16_t direction, float s, float& stepX, float& stepY) {
  switch (direction) {
    case kDirE:
      stepX = s, stepY = 0.0f;
      return true;
    case kDirSE:
      stepX = s, stepY = s;
      return true;
    case kDirSW:
      stepX = -s, stepY = s;
      return true;
    case kDirW:
      stepX = -s, stepY = 0.0f;
      return true;
    case kDirNW:
      stepX = -s, stepY = -s;
      return true;
    case kDirNE:
      stepX = s, stepY = -s;
      return true;
    case kDirN:
      stepX = 0.0f, stepY = -s;
      return true;
    case kDirS:
      stepX = 0.0f, stepY = s;
      return true;
    default:
      return false;
  }
}

static float WalkStepSize(const ActorSlot& actor) {
  return static_cast<float>(SceneWalkSpeed(actor.creatureName, actor.animationCode)) / 9.0f;
}

void SetWalkVelocity(ActorSlot& actor) {
  DirectionStep(actor.firstDirection, WalkStepSize(actor), actor.stepX, actor.stepY);
}

void ComputeCorner(ActorSlot& actor) {
  const float x = actor.x, y = actor.y, tx = actor.targetX, ty = actor.targetY;
  float cx = tx, cy = ty;
  switch (actor.firstDirection) {
    case kDirE:
      cy = y;
      if (actor.secondDirection == kDirNE)
        cx = tx - (y - ty);
      else if (actor.secondDirection == kDirSE)
        cx = tx - (ty - y);
      else
        cx = tx;
      break;
    case kDirW:
      cy = y;
      if (actor.secondDirection == kDirNW)
        cx = tx + (y - ty);
      else if (actor.secondDirection == kDirSW)
        cx = tx + (ty - y);
      else
        cx = tx;
      break;
    case kDirN:
      cx = x;
      if (actor.secondDirection == kDirNW)
        cy = ty + (x - tx);
      else if (actor.secondDirection == kDirNE)
        cy = ty + (tx - x);
      else
        cy = ty;
      break;
    case kDirS:
      cx = x;
      if (actor.secondDirection == kDirSW)
        cy = ty - (x - tx);
      else if (actor.secondDirection == kDirSE)
        cy = ty - (tx - x);
      else
        cy = ty;
      break;
    default:
      break;  // a diagonal first leg ends level with the target: the corner is the target itself
  }
  actor.cornerX = cx;
  actor.cornerY = cy;
}

// Walks the planned path point by point, handing each point to `visit` until it returns true (then so
// does the walk). The first leg ends after the point that is near the corner (or level with the
// target); the second leg runs to the target. Any leg that would not end (a step of zero, or more
// points than any screen can hold) counts as blocked: true as well.
template <class Visit>
bool WalkPlannedPath(const SaverApplication& app, const ActorSlot& actor, Visit visit) {
  float px = actor.x, py = actor.y;
  if (actor.stepX == 0.0f && actor.stepY == 0.0f) return true;
  long steps = 0;
  for (;;) {
    if (visit(px, py)) return true;
    const bool stop = (Near(px, actor.cornerX) && Near(py, actor.cornerY)) || Near(px, actor.targetX) ||
                      Near(py, actor.targetY) || OffExtendedScreen(app, px, py);
    px += actor.stepX;
    py += actor.stepY;
    if (stop) break;
    if (++steps > kPathSimulationSteps) return true;
  }
  float sx = actor.stepX, sy = actor.stepY;
  DirectionStep(actor.secondDirection, WalkStepSize(actor), sx, sy);
  if (sx == 0.0f && sy == 0.0f) return true;
  steps = 0;
  for (;;) {
    if (visit(px, py)) return true;
    if ((Near(px, actor.targetX) && Near(py, actor.targetY)) || OffExtendedScreen(app, px, py)) break;
    px += sx;
    py += sy;
    if (++steps > kPathSimulationSteps) return true;
  }
  return false;
}

// Whether the planned path touches one site.
static bool SimulatedPathTouches(const SaverApplication& app, const ActorSlot& actor,
                                 const SiteRecord& site) {
  return WalkPlannedPath(app, actor, [&](float x, float y) { return InsideSite(site, x, y); });
}

// The planned path walked once for all sites: the box around the whole pixels it visits. A site
// outside the box cannot be touched, so only the sites inside it are walked against point by point;
// a path that never ends blocks every site. Sending every villager away at once (the wind-down) walks
// each path once instead of once per site.
struct PathExtent {
  bool known = false;
  bool endless = false;
  int32_t left = 0, top = 0, right = -1, bottom = -1;

  void Walk(const SaverApplication& app, const ActorSlot& actor) {
    known = true;
    bool first = true;
    endless = WalkPlannedPath(app, actor, [&](float x, float y) {
      const int32_t ix = Trunc(x), iy = Trunc(y);
      if (first) {
        left = right = ix;
        top = bottom = iy;
        first = false;
      }
      left = std::min(left, ix);
      right = std::max(right, ix);
      top = std::min(top, iy);
      bottom = std::max(bottom, iy);
      return false;
    });
  }
  bool Meets(const SiteRecord& site) const {
    return site.left <= right && left <= site.right && site.top <= bottom && top <= site.bottom;
  }
};

bool PathBlockedBySite(SaverApplication& app, ActorSlot& actor, bool pointOnly) {
  PathExtent extent;
  for (uint16_t i = 0; i < kSiteCount; ++i) {
    const SiteRecord& site = app.sites[i];
    if (!site.active) continue;
    if (actor.siteX != 0 && actor.siteIndex == i) continue;
    if (pointOnly) {
      if (InsideSite(site, actor.x, actor.y)) return true;
      continue;
    }
    if (InsideSite(site, actor.x, actor.y)) {
      actor.siteIndex = i;  // standing in a site: it may walk out of it
      continue;
    }
    if (InsideSite(site, actor.cornerX, actor.cornerY) || InsideSite(site, actor.targetX, actor.targetY))
      return true;
    if (!extent.known) extent.Walk(app, actor);
    if (extent.endless) return true;  // a path that never ends blocks at every site
    if (extent.Meets(site) && SimulatedPathTouches(app, actor, site)) return true;
  }
  return false;
}

void StartWalk(SaverApplication& app, ActorSlot& actor, float x, float y, float targetX, float targetY,
               const char* name, int32_t activity, int16_t animationCode, uint16_t direction) {
  if (!name) return;
  actor.x = x;
  actor.y = y;
  actor.targetX = targetX;
  actor.targetY = targetY;
  SetCreatureName(actor, name);
  actor.animationCode = animationCode;
  if (direction == kDirAuto)
    ChooseDirections(actor);
  else
    actor.firstDirection = direction;
  if (!SameName(actor.creatureName, "stork")) {
    SetWalkVelocity(actor);
    ComputeCorner(actor);
  }
  SceneStartWalkAnimation(actor, actor.creatureName, animationCode, actor.firstDirection);
  if (actor.activity < 15) SceneDressCreature(actor, actor.creatureName);
  actor.activity = activity;
  (void)app;
}

static bool PlaysOnce(int16_t code) {
  return code == 1002 || code == 1003 || (code >= 2002 && code <= 2005);
}

int32_t StartStanding(SaverApplication& app, ActorSlot& actor, float x, float y, uint32_t durationMs,
                      const char* name, int32_t activity, uint16_t direction) {
  if (!name) return activity;
  const uint32_t now = SaverNow(app);
  actor.x = x;
  actor.y = y;
  SetCreatureName(actor, name);
  actor.firstDirection = direction;
  actor.deadline = now + durationMs;
  switch (activity) {
    case kActIdle: {
      PickIdleAnimation(app, actor);
      const uint32_t n = SceneAnimationLength(actor.creatureName, actor.animationCode, direction);
      // A frame rate of 0 would divide by zero; such a setting is read as 1 frame per second.
      const uint32_t f = app.frameRate ? app.frameRate : 1u;
      if (n != 0) {
        double g = static_cast<double>(f) * durationMs / n * 0.001;
        if (g < 1.0 || PlaysOnce(actor.animationCode)) g = 1.0;
        actor.deadline = now + static_cast<uint32_t>(g) * n * 1000u / f;
      }
      // An animation of length 0 (the creature has none) keeps the requested duration.
      break;
    }
    case kActSmallWorkerWorking:
    case kActLargeWorkerWorking:
      actor.animationCode = 2001;
      break;
    case kActSmallVisitorStanding:
    case kActLargeVisitorStanding:
    case kActMonumentVisitorStanding:
      if (SameName(actor.creatureName, "woman_01"))
        actor.animationCode = 1008;
      else
        actor.animationCode = SceneRandomRange(app, 1, 100) <= 50 ? 1005 : 1008;
      break;
    case kActClayWorkerWorking:
    case kActClayWorkerFinishing:
    case kActWoodcutterChopping:
      actor.animationCode = 2000;
      break;
    case kActFamilyMeeting:
      actor.animationCode = 1007;
      break;
    default:
      break;
  }
  SceneStartCreatureAnimation(actor, actor.creatureName, actor.animationCode, direction);
  if (actor.activity < 15) SceneDressCreature(actor, actor.creatureName);
  actor.activity = activity;
  return activity;
}

static const int16_t kIdleCodes[21] = {1000, 1001, 1002, 1003, 1005, 1006, 1007, 1008, 2000, 2001, 2002,
                                       2003, 2004, 2005, 2006, 2007, 2008, 2009, 2010, 2012, 2013};

void PickIdleAnimation(SaverApplication& app, ActorSlot& actor) {
  // Look for a match before drawing: a creature with none of the codes falls back to the plain walk
  // code (standing in place) without touching the random stream, and one with any of them draws until
  // a draw finds one, however rare it is, so the stream advances by exactly the draws the choice
  // took. The generator's period is 2^31 - 2 and every residue of 21 comes up in it, so the loop ends.
  bool hasAny = false;
  for (int16_t code : kIdleCodes)
    hasAny = hasAny || SceneHasCreatureAnimation(actor.creatureName, code, actor.firstDirection);
  if (!hasAny) {
    actor.animationCode = 1000;
    return;
  }
  for (;;) {
    const int16_t code = kIdleCodes[SceneRandom(app, 20)];
    if (SceneHasCreatureAnimation(actor.creatureName, code, actor.firstDirection)) {
      actor.animationCode = code;
      return;
    }
  }
}

bool WalkToPoint(SaverApplication& app, ActorSlot& actor, float targetX, float targetY, int32_t activity,
                 int16_t animationCode) {
  if (actor.creatureName[0] == 0) PickWalkerKind(app, actor);
  actor.targetX = targetX;
  actor.targetY = targetY;
  actor.animationCode = animationCode;
  const bool hasPosition = !(Trunc(actor.x) == 0 && Trunc(actor.y) == 0);
  const bool hasTarget = Trunc(targetX) != 0 && Trunc(targetY) != 0;
  if (!hasPosition && hasTarget) {
    int blocked = 0;
    for (;;) {
      PickEntryPoint(app, actor, activity);
      PlanLegs(actor);
      if (!PathBlockedBySite(app, actor, false)) break;
      if (++blocked >= 99) return false;
    }
  } else {
    if (!hasPosition) PickEntryPoint(app, actor, kActWalker);
    if (Trunc(targetX) == 0 && Trunc(targetY) == 0) {
      const int W = ScreenW(app), H = ScreenH(app);
      int tries = 0, redraws = 0;
      for (;;) {
        actor.targetX = static_cast<float>(SceneRandomCoord(app, 25, W - 50));
        actor.targetY = static_cast<float>(SceneRandomCoord(app, 25, H - 50));
        ChooseDirections(actor);
        if (IsAnimal(actor.creatureName) && HasVerticalLeg(actor)) {
          if (++redraws >= kAnimalRedraws) return false;
          continue;
        }
        SetWalkVelocity(actor);
        ComputeCorner(actor);
        if (++tries >= 100) return false;
        if (!PathBlockedBySite(app, actor, false)) break;
      }
    }
  }
  StartWalk(app, actor, actor.x, actor.y, actor.targetX, actor.targetY, actor.creatureName, activity,
            animationCode, kDirAuto);
  return true;
}

bool LeaveScreen(SaverApplication& app, ActorSlot& actor, int32_t activity, int16_t animationCode) {
  actor.animationCode = animationCode;
  for (int tries = 1;; ++tries) {
    PickExitPoint(app, actor, activity);
    PlanLegs(actor);
    if (tries >= 100) return false;
    if (IsAnimal(actor.creatureName) && HasVerticalLeg(actor)) continue;
    if (PathBlockedBySite(app, actor, false)) continue;
    break;
  }
  StartWalk(app, actor, actor.x, actor.y, actor.targetX, actor.targetY, actor.creatureName, activity,
            animationCode, kDirAuto);
  return true;
}

bool EnterFromSide(SaverApplication& app, ActorSlot& actor, int32_t activity, int16_t animationCode) {
  actor.animationCode = animationCode;
  if (actor.creatureName[0] == 0) PickWalkerKind(app, actor);
  const int W = ScreenW(app), H = ScreenH(app);
  for (int tries = 1;; ++tries) {
    if (SceneRandom(app, 100) > 50) {
      actor.x = -50.0f;
      actor.y = static_cast<float>(SceneRandomCoord(app, 25, H - 50));
      actor.targetX = static_cast<float>(W + 50);
      actor.targetY = static_cast<float>(SceneRandomCoord(app, 25, H - 50));
      if (IsSoldier(actor.creatureName)) actor.y = static_cast<float>(SceneRandomCoord(app, 100, H - 100));
    } else {
      actor.x = static_cast<float>(W + 25);
      actor.y = static_cast<float>(SceneRandomCoord(app, 25, H - 50));
      actor.targetX = -50.0f;
      actor.targetY = static_cast<float>(SceneRandomCoord(app, 25, H - 50));
    }
    PlanLegs(actor);
    if (tries >= 100) return false;
    if (!PathBlockedBySite(app, actor, false)) break;
  }
  StartWalk(app, actor, actor.x, actor.y, actor.targetX, actor.targetY, actor.creatureName, activity,
            animationCode, kDirAuto);
  return true;
}

void PickEntryPoint(SaverApplication& app, ActorSlot& actor, int32_t activity) {
  const int W = ScreenW(app), H = ScreenH(app);
  uint32_t r = 0;
  if (activity != kActSmallVisitorWalking && activity != kActLargeVisitorWalking) r = SceneRandom(app, 3);
  switch (r) {
    case 0:
      actor.x = static_cast<float>(SceneRandomCoord(app, 25, W - 50));
      actor.y = static_cast<float>(H + 50);
      break;
    case 1:
      actor.x = static_cast<float>(W + 50);
      actor.y = static_cast<float>(SceneRandomCoord(app, 25, H - 50));
      break;
    case 2:
      actor.x = -50.0f;
      actor.y = static_cast<float>(SceneRandomCoord(app, 25, H - 50));
      break;
    default:
      actor.x = static_cast<float>(SceneRandomCoord(app, 25, W - 50));
      actor.y = -50.0f;
      break;
  }
}

void PickExitPoint(SaverApplication& app, ActorSlot& actor, int32_t activity) {
  const int W = ScreenW(app), H = ScreenH(app);
  const int32_t x = Trunc(actor.x), y = Trunc(actor.y);
  float tx, ty;
  if (activity == kActSmallWorkerLeaving || activity == kActSmallVisitorLeaving ||
      activity == kActLargeWorkerLeaving || activity == kActLargeVisitorLeaving) {
    if (SceneRandom(app, 100) > 50) {
      tx = -50.0f;
      ty = static_cast<float>(SceneRandomCoord(app, y, H));
    } else {
      tx = static_cast<float>(SceneRandomCoord(app, 0, x));
      ty = static_cast<float>(H + 50);
    }
  } else if (activity == kActClayWorkerLeaving) {
    if (SceneRandom(app, 100) < 34) {
      tx = -50.0f;
      ty = static_cast<float>(SceneRandomCoord(app, y, H));
    } else if (SceneRandom(app, 100) > 66) {
      tx = static_cast<float>(SceneRandomCoord(app, 0, W));
      ty = -50.0f;
    } else {
      tx = static_cast<float>(SceneRandomCoord(app, 0, x));
      ty = static_cast<float>(H + 50);
    }
  } else {
    switch (SceneRandom(app, 3)) {
      case 0:
        tx = static_cast<float>(SceneRandomCoord(app, 0, W));
        ty = static_cast<float>(H + 50);
        break;
      case 1:
        tx = static_cast<float>(W + 50);
        ty = static_cast<float>(SceneRandomCoord(app, 0, H));
        break;
      case 2:
        tx = -50.0f;
        ty = static_cast<float>(SceneRandomCoord(app, 0, H));
        break;
      default:
        tx = static_cast<float>(SceneRandomCoord(app, 0, W));
        ty = -50.0f;
        break;
    }
  }
  actor.targetX = tx;
  actor.targetY = ty;
}

void PickWalkerKind(SaverApplication& app, ActorSlot& actor) {
  static const char* const kKinds[10] = {"woman_01", "girl_00",  "boy_00", "civilian", "civilian",
                                         "civilian", "civilian", "rabbit", "sheep",    "sheepnude"};
  SetCreatureName(actor, kKinds[SceneRandom(app, 9)]);
}

// A random position for an object whose main picture is `picture`: inside the screen by the picture's
// half size and outside every active site. Without the picture the position stays (0, 0).
static void PlaceAtRandom(SaverApplication& app, ActorSlot& actor, uint16_t picture) {
  XB_RECT rect;
  if (!app.packedBobs || !app.packedBobs->GetBobRect(picture, rect)) return;
  const int W = ScreenW(app), H = ScreenH(app);
  const int w = rect.width, h = rect.height;
  for (int tries = 0; tries < kPlacementTries; ++tries) {
    actor.x = static_cast<float>(SceneRandomCoord(app, w / 2 + 25, W - w / 2 - 50));
    actor.y = static_cast<float>(SceneRandomCoord(app, h / 2 + 25, H - h / 2 - 50));
    if (OutsideAllSites(app, actor.x, actor.y)) return;
  }
}

static void SetObjectPosition(SaverApplication& app, ActorSlot& actor, uint16_t picture, float x, float y) {
  actor.x = x;
  actor.y = y;
  if (Trunc(x) == 0 && Trunc(y) == 0) PlaceAtRandom(app, actor, picture);
}

void PlaceObject(SaverApplication& app, ActorSlot& actor, uint16_t picture, uint16_t mask, float x, float y,
                 int32_t activity, bool keepCounter) {
  actor.activity = activity;
  actor.layerBob[kMainPicture] = picture;
  actor.layerBob[kMainMask] = mask;
  SetObjectPosition(app, actor, picture, x, y);
  if (!keepCounter) actor.counter = 1;
}

void PlaceTimedObject(SaverApplication& app, ActorSlot& actor, uint16_t picture, uint32_t durationMs, float x,
                      float y, int32_t activity) {
  actor.activity = activity;
  actor.layerBob[kMainPicture] = picture;
  SetObjectPosition(app, actor, picture, x, y);
  actor.deadline = SaverNow(app) + durationMs;
}

void PlaceFadingObject(SaverApplication& app, ActorSlot& actor, uint16_t picture, uint16_t mask, float x,
                       float y, int32_t activity, bool keepCounter) {
  actor.activity = activity;
  actor.layerBob[kMainPicture] = picture;
  actor.layerBob[kMainMask] = mask;
  SetObjectPosition(app, actor, picture, x, y);
  if (!keepCounter) actor.counter = 254;
}

void PlaceLayeredObject(SaverApplication& app, ActorSlot& actor, const uint16_t bobs[8], float x, float y,
                        int32_t activity, bool keepCounter) {
  actor.activity = activity;
  std::memcpy(actor.layerBob, bobs, sizeof(actor.layerBob));
  SetObjectPosition(app, actor, bobs[kMainPicture], x, y);
  if (!keepCounter) actor.counter = 1;
}

void PlaceTimedLayeredObject(SaverApplication& app, ActorSlot& actor, uint16_t layer1, uint16_t layer2,
                             uint16_t mainPicture, uint16_t shadowBob, uint32_t durationMs, float x, float y,
                             int32_t activity) {
  actor.activity = activity;
  actor.layerBob[kLayer1Picture] = layer1;
  actor.layerBob[kLayer2Picture] = layer2;
  actor.layerBob[kMainPicture] = mainPicture;
  actor.layerBob[kShadowBob] = shadowBob;
  SetObjectPosition(app, actor, mainPicture, x, y);
  actor.deadline = SaverNow(app) + durationMs;
}

void PlaceFadingLayeredObject(SaverApplication& app, ActorSlot& actor, const uint16_t bobs[8], float x,
                              float y, int32_t activity, bool keepCounter) {
  actor.activity = activity;
  std::memcpy(actor.layerBob, bobs, sizeof(actor.layerBob));
  SetObjectPosition(app, actor, bobs[kMainPicture], x, y);
  if (!keepCounter) actor.counter = 254;
}

int PlotCountForHeight(int height) {
  if (height < 600) return 1;
  if (height < 768) return 2;
  if (height < 1024) return 3;
  if (height < 1200) return 4;
  return 5;
}

void LayOutSites(SaverApplication& app) {
  std::memset(app.sites, 0, sizeof(app.sites));
  const int W = ScreenW(app), H = ScreenH(app);
  // A plot is 230 x 200 pixels placed 25 pixels in from the top left and clear of the right and bottom
  // edges. On a screen too small for one (a tiny headless render or preview) the placement range would
  // run backwards and put plots far off the screen, where workers would walk for minutes; lay out none.
  if (W - 280 < 25 || H - 250 < 25) return;
  const int plots = PlotCountForHeight(H);
  for (int i = 0; i < plots; ++i) {
    // Plots never overlap a corner of an earlier one. The saver redraws until one fits; on screens too
    // small for that the plot is left out instead of drawing for ever.
    for (int tries = 0; tries < kPlacementTries; ++tries) {
      const int32_t left = SceneRandomCoord(app, 25, W - 280);
      const int32_t top = SceneRandomCoord(app, 25, H - 250);
      bool clash = false;
      for (int j = 0; j < i && !clash; ++j) {
        const SiteRecord& other = app.sites[j];
        if (!other.active) continue;
        const int32_t xs[2] = {left, left + 230};
        const int32_t ys[2] = {top, top + 200};
        for (int32_t cx : xs) {
          for (int32_t cy : ys) {
            if (other.left <= cx && cx <= other.right && other.top <= cy && cy <= other.bottom) clash = true;
          }
        }
      }
      if (clash) continue;
      SiteRecord& site = app.sites[i];
      site.active = 1;
      site.left = left;
      site.top = top;
      site.right = left + 230;
      site.bottom = top + 200;
      break;
    }
  }
}

SiteChoice TakeFreeSite(SaverApplication& app) {
  SiteChoice choice;
  int count = 0;
  for (const SiteRecord& site : app.sites) {
    if (site.active && !site.occupied) ++count;
  }
  if (count == 0) return choice;
  const uint32_t k = SceneRandomRange(app, 1, count);
  uint32_t seen = 0;
  for (uint16_t i = 0; i < kSiteCount; ++i) {
    SiteRecord& site = app.sites[i];
    if (!site.active || site.occupied) continue;
    if (++seen != k) continue;
    site.occupied = 1;
    choice.found = true;
    choice.centreX = (site.right - site.left) / 2 + site.left;
    choice.centreY = (site.bottom - site.top) / 2 + site.top;
    choice.index = i;
    break;
  }
  return choice;
}

bool FindUnusedSiteRecord(const SaverApplication& app, uint16_t& index) {
  for (uint16_t i = 0; i < kSiteCount; ++i) {
    if (!app.sites[i].active && !app.sites[i].occupied) {
      index = i;
      return true;
    }
  }
  return false;
}

void AdvanceWalker(SaverApplication& app, ActorSlot& actor) {
  SceneAdvanceAnimation(actor);
  SceneRunFrameEvents(actor);
  if (actor.secondDirection != actor.firstDirection &&
      (Near(actor.x, actor.targetX) || Near(actor.y, actor.targetY) ||
       (Near(actor.x, actor.cornerX) && Near(actor.y, actor.cornerY)))) {
    StartWalk(app, actor, actor.x, actor.y, actor.targetX, actor.targetY, actor.creatureName, actor.activity,
              actor.animationCode, actor.secondDirection);
  }
  // A creature that cannot move (walking speed 0, or no walk data) would never arrive and would hold
  // up the end of the phase for ever; its walk ends where it stands.
  const bool stuck = actor.stepX == 0.0f && actor.stepY == 0.0f;
  if ((Near(actor.x, actor.targetX) && Near(actor.y, actor.targetY)) ||
      OffExtendedScreen(app, actor.x, actor.y) || stuck) {
    EndActivity(app, actor);
  }
  actor.x += actor.stepX;
  actor.y += actor.stepY;
}
