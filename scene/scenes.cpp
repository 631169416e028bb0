#include "scene/scenes.h"

#include "graphics/xb_bob_manager.h"
#include "scene/activities.h"
#include "scene/actor_pool.h"
#include "scene/creature_ops.h"
#include "scene/sound_cue.h"
#include "scene/walking.h"

namespace {

constexpr float kStorkRate = 0.0088495575f;  // 1 / 113: the stork crosses the screen in 113 frames
constexpr int kPointTries = 99;

bool BobExists(const SaverApplication& app, uint16_t number) {
  XB_RECT rect;
  return app.packedBobs && app.packedBobs->GetBobRect(number, rect);
}

uint32_t HoldTime(SaverApplication& app) {
  return SceneRandomRange(app, 10000, 30000);
}

ActorSlot* NewSlot(SaverApplication& app) {
  const uint16_t slot = AllocateActor(app);
  return slot == kNoActor ? nullptr : &app.actors[slot];
}

void CopySite(ActorSlot& to, const ActorSlot& from) {
  to.siteX = from.siteX;
  to.siteY = from.siteY;
  to.siteIndex = from.siteIndex;
}

bool SameSitePlace(const ActorSlot& a, const ActorSlot& b) {
  return a.siteX == b.siteX && a.siteY == b.siteY;
}

ActorSlot* FirstWithActivity(SaverApplication& app, int32_t activity) {
  for (ActorSlot& other : app.actors) {
    if (other.activity == activity) return &other;
  }
  return nullptr;
}

ActorSlot* FirstAtPlace(SaverApplication& app, int32_t activity, const ActorSlot& place) {
  for (ActorSlot& other : app.actors) {
    if (other.activity == activity && SameSitePlace(other, place)) return &other;
  }
  return nullptr;
}

int CountAtSite(const SaverApplication& app, int32_t activity, uint16_t siteIndex) {
  int count = 0;
  for (const ActorSlot& other : app.actors) {
    if (other.activity == activity && other.siteIndex == siteIndex) ++count;
  }
  return count;
}

// A random point inside the given ranges that lies outside every site, in at most 99 tries.
bool FindFreePoint(SaverApplication& app, int32_t xlo, int32_t xhi, int32_t ylo, int32_t yhi, float& x,
                   float& y) {
  for (int tries = 0; tries < kPointTries; ++tries) {
    x = static_cast<float>(SceneRandomCoord(app, xlo, xhi));
    y = static_cast<float>(SceneRandomCoord(app, ylo, yhi));
    if (OutsideAllSites(app, x, y)) return true;
  }
  return false;
}

// Workers of a building plot that have finished their work walk off; one that finds no way out ends
// its work at once and tries again.
void SendWorkersAway(SaverApplication& app, int32_t working, int32_t leaving, uint16_t siteIndex) {
  for (ActorSlot& worker : app.actors) {
    if (worker.activity != working || worker.siteIndex != siteIndex) continue;
    if (LeaveScreen(app, worker, leaving, 1000))
      worker.finishPending = 1;
    else
      worker.deadline = 0;
  }
}

// A villager of a scene: a new slot with the place's site fields that walks in to a point.
struct Visitor {
  const char* name;
  uint16_t facing;
  int16_t dx, dy;
};

void SendVisitors(SaverApplication& app, const ActorSlot& place, const Visitor* visitors, int count,
                  int32_t activity) {
  for (int i = 0; i < count; ++i) {
    ActorSlot* v = NewSlot(app);
    if (!v) return;
    CopySite(*v, place);
    SetCreatureName(*v, visitors[i].name);
    v->arrivalDirection = static_cast<int16_t>(visitors[i].facing);
    if (!WalkToPoint(app, *v, static_cast<float>(place.siteX + visitors[i].dx),
                     static_cast<float>(place.siteY + visitors[i].dy), activity, 1000))
      ClearActor(*v);
  }
}

// --- Buildings -------------------------------------------------------------------------------------

struct BuildingKind {
  SceneKind kind;
  uint16_t requiredBob;
  int minFree;
  int anchorDy;
  int32_t workerWalking, workerWorking, workerLeaving;
  int32_t fadingIn, standing, fadingOut;
  int32_t visitorWalking, visitorStanding, visitorLeaving;
  uint16_t firstBob;  // eight consecutive bobs: layer 1 picture/mask, layer 2, main, shadow, layer shadow
  int workerCount;
  Visitor workers[3];
  int visitorCount;
  Visitor visitors[4];
};

const BuildingKind kSmallBuilding = {
    kSceneSmallBuilding,
    8,
    7,
    30,
    18,
    19,
    20,
    21,
    22,
    23,
    24,
    25,
    26,
    4,
    2,
    {{"constructionworker_trainee", kDirE, -90, -5}, {"constructionworker_master", kDirNE, -30, 30}, {}},
    3,
    {{"civilian", kDirE, -100, 0}, {"woman_01", kDirNE, -50, 47}, {"woman_01", kDirNW, 60, 55}, {}}};

const BuildingKind kLargeBuilding = {kSceneLargeBuilding,
                                     16,
                                     10,
                                     15,
                                     27,
                                     28,
                                     29,
                                     30,
                                     31,
                                     32,
                                     33,
                                     34,
                                     35,
                                     12,
                                     3,
                                     {{"constructionworker_trainee", kDirNW, 35, 55},
                                      {"constructionworker_master", kDirNE, -60, 40},
                                      {"constructionworker_trainee", kDirNE, 60, 35}},
                                     4,
                                     {{"civilian", kDirE, -100, 30},
                                      {"woman_01", kDirNE, -50, 70},
                                      {"woman_01", kDirNE, 20, 70},
                                      {"civilian", kDirNW, 60, 60}}};

bool StartBuilding(SaverApplication& app, const BuildingKind& b) {
  if (!BobExists(app, b.requiredBob) || app.textPhase || CountFreeActors(app) < b.minFree) return false;
  const SiteChoice site = TakeFreeSite(app);
  if (!site.found) return false;
  const uint16_t siteX = static_cast<uint16_t>(site.centreX - 15);
  const uint16_t siteY = static_cast<uint16_t>(site.centreY + b.anchorDy);
  ActorSlot* made[3] = {};
  for (int i = 0; i < b.workerCount; ++i) {
    ActorSlot* w = NewSlot(app);
    bool ok = w != nullptr;
    if (ok) {
      w->siteX = siteX;
      w->siteY = siteY;
      w->siteIndex = site.index;
      SetCreatureName(*w, b.workers[i].name);
      w->arrivalDirection = static_cast<int16_t>(b.workers[i].facing);
      ok = WalkToPoint(app, *w, static_cast<float>(siteX + b.workers[i].dx),
                       static_cast<float>(siteY + b.workers[i].dy), b.workerWalking, 1000);
      made[i] = w;
    }
    if (!ok) {
      // The plot stays taken until the site table is laid out again.
      for (ActorSlot* m : made) {
        if (m) ClearActor(*m);
      }
      return false;
    }
  }
  return true;
}

const BuildingKind* BuildingOf(int32_t activity) {
  if (activity >= 18 && activity <= 26) return &kSmallBuilding;
  if (activity >= 27 && activity <= 35) return &kLargeBuilding;
  return nullptr;
}

void EndBuildingActivity(SaverApplication& app, ActorSlot& actor, const BuildingKind& b) {
  const int32_t a = actor.activity;
  if (a == b.workerWalking) {
    StartStanding(app, actor, actor.x, actor.y, 300000, actor.creatureName, b.workerWorking,
                  static_cast<uint16_t>(actor.arrivalDirection));
    if (CountAtSite(app, b.workerWorking, actor.siteIndex) >= b.workerCount) {
      ActorSlot* building = NewSlot(app);
      if (!building) return;
      CopySite(*building, actor);
      uint16_t bobs[8];
      for (int i = 0; i < 8; ++i) bobs[i] = static_cast<uint16_t>(b.firstBob + i);
      PlaceLayeredObject(app, *building, bobs, building->siteX, building->siteY, b.fadingIn);
    }
  } else if (a == b.workerWorking) {
    if (!LeaveScreen(app, actor, b.workerLeaving, 1000)) actor.deadline = 0;
  } else if (a == b.fadingIn) {
    PlaceTimedLayeredObject(app, actor, actor.layerBob[kLayer1Picture], actor.layerBob[kLayer2Picture],
                            actor.layerBob[kMainPicture], actor.layerBob[kShadowBob], 300000, actor.x,
                            actor.y, b.standing);
    SendWorkersAway(app, b.workerWorking, b.workerLeaving, actor.siteIndex);
    SendVisitors(app, actor, b.visitors, b.visitorCount, b.visitorWalking);
  } else if (a == b.standing) {
    PlaceFadingLayeredObject(app, actor, actor.layerBob, actor.x, actor.y, b.fadingOut);
  } else if (a == b.fadingOut) {
    if (actor.siteIndex < kSiteCount) app.sites[actor.siteIndex].occupied = 0;
    ClearActor(actor);
  } else if (a == b.visitorWalking) {
    StartStanding(app, actor, actor.x, actor.y, HoldTime(app), actor.creatureName, b.visitorStanding,
                  static_cast<uint16_t>(actor.arrivalDirection));
    if (ActorSlot* building = FirstWithActivity(app, b.standing)) {
      PlaceTimedLayeredObject(app, *building, building->layerBob[kLayer1Picture],
                              building->layerBob[kLayer2Picture], building->layerBob[kMainPicture],
                              building->layerBob[kShadowBob], SceneRandomRange(app, 60000, 120000),
                              building->x, building->y, b.standing);
    }
    SendWorkersAway(app, b.workerWorking, b.workerLeaving, actor.siteIndex);
  } else if (a == b.visitorStanding) {
    LeaveScreen(app, actor, b.visitorLeaving, 1000);
  } else {
    ClearActor(actor);  // workers and villagers that have left
  }
}

// --- Herds and troops ----------------------------------------------------------------------------

// A follower walks beside the leader: its own start, the leader's displacement, no site test.
void WalkBeside(SaverApplication& app, ActorSlot& member, float startX, float startY, float targetX,
                float targetY) {
  member.x = startX;
  member.y = startY;
  member.targetX = targetX;
  member.targetY = targetY;
  ChooseDirections(member);
  SetWalkVelocity(member);
  ComputeCorner(member);
  StartWalk(app, member, startX, startY, targetX, targetY, member.creatureName, kActWalker, 1000, kDirAuto);
}

const char* HerdName(uint32_t r) {
  return r <= 33 ? "rabbit" : r <= 66 ? "sheep" : "sheepnude";
}
const char* SoldierName(uint32_t r) {
  return r <= 33 ? "soldier_a" : r <= 66 ? "soldier_b" : "soldier_c";
}

// Six members crossing together. herdName null: soldiers, each drawing its own name. Returns the
// leader (null when the group could not start).
ActorSlot* StartGroup(SaverApplication& app, const char* herdName) {
  ActorSlot* leader = nullptr;
  float leaderX = 0, leaderY = 0;
  for (int i = 0; i < 6; ++i) {
    ActorSlot* m = NewSlot(app);
    if (!m) return leader;
    m->finishPending = 1;
    m->animationCode = 1000;
    SetCreatureName(*m, herdName ? herdName : SoldierName(SceneRandomRange(app, 1, 100)));
    if (i == 0) {
      if (!EnterFromSide(app, *m, kActWalker, 1000)) {
        ClearActor(*m);
        return nullptr;
      }
      leader = m;
      leaderX = leader->x;
      leaderY = leader->y;
      continue;
    }
    const int16_t sx =
        static_cast<int16_t>(Trunc(leaderX) + static_cast<int32_t>(SceneRandomRange(app, 20, 100)) - 50);
    const int16_t sy =
        static_cast<int16_t>(Trunc(leaderY) + static_cast<int32_t>(SceneRandomRange(app, 20, 100)) - 50);
    WalkBeside(app, *m, sx, sy, sx + (leader->targetX - leaderX), sy + (leader->targetY - leaderY));
  }
  return leader;
}

}  // namespace

bool StartSmallBuilding(SaverApplication& app) {
  return StartBuilding(app, kSmallBuilding);
}
bool StartLargeBuilding(SaverApplication& app) {
  return StartBuilding(app, kLargeBuilding);
}

// --- Big logo and monument -------------------------------------------------------------------------

void StartBigLogo(SaverApplication& app) {
  ActorSlot& logo = app.actors[0];
  PlaceObject(app, logo, 46, 47, static_cast<float>(app.screenWidth / 2),
              static_cast<float>(app.screenHeight / 2 + 100), kActLogoFadingIn);
  ++app.statistics.scenesStarted[kSceneBigLogo];
}

const GatheringPlace kGatheringTable[15] = {
    {-210, -20, kDirNE}, {-180, -30, kDirNE}, {-150, -50, kDirNE}, {-110, -10, kDirNE}, {-90, -30, kDirNE},
    {-60, 0, kDirNE},    {-30, 20, kDirNE},   {0, -40, kDirNE},    {30, 0, kDirNW},     {80, -30, kDirNW},
    {100, -45, kDirNW},  {130, -30, kDirNW},  {170, -60, kDirNW},  {200, -40, kDirNW},  {240, -20, kDirNW}};

bool StartMonument(SaverApplication& app) {
  const bool first = SceneRandomRange(app, 1, 100) < 60;
  const uint16_t picture = first ? 50 : 52;
  if (!BobExists(app, picture) || app.textPhase || CountFreeActors(app) < 16 || app.monumentInUse)
    return false;
  app.monumentInUse = 1;
  ActorSlot* monument = NewSlot(app);
  if (!monument) return false;
  PlaceObject(app, *monument, picture, static_cast<uint16_t>(picture + 1),
              static_cast<float>(app.screenWidth / 2), static_cast<float>(app.screenHeight / 2 + 260),
              kActMonumentFadingIn);
  return true;
}

static void GatherAtMonument(SaverApplication& app, ActorSlot& monument) {
  for (const GatheringPlace& place : kGatheringTable) {
    ActorSlot* v = NewSlot(app);
    if (!v) return;
    SetCreatureName(*v, SceneRandomRange(app, 1, 100) > 50 ? "woman_01" : "civilian");
    v->arrivalDirection = static_cast<int16_t>(place.facing);
    if (!WalkToPoint(app, *v, static_cast<float>(Trunc(monument.x) + place.dx),
                     static_cast<float>(Trunc(monument.y) + place.dy), kActMonumentVisitorWalking, 1000))
      ClearActor(*v);
  }
}

// --- Forest, trees and flowers ---------------------------------------------------------------------

int ForestSizeForHeight(int height) {
  if (height < 600) return 15;
  if (height < 768) return 30;
  if (height < 1024) return 45;
  if (height < 1200) return 60;
  return 75;
}

bool StartForest(SaverApplication& app) {
  const int trees = ForestSizeForHeight(app.screenHeight);
  if (app.textPhase || CountFreeActors(app) <= trees) return false;
  for (int i = 0; i < trees; ++i) {
    ActorSlot* spot = NewSlot(app);
    if (!spot) return false;
    WaitThenAct(app, *spot, kActWaitingTree);
  }
  return true;
}

bool PlantTree(SaverApplication& app, ActorSlot& actor) {
  float x, y;
  if (!FindFreePoint(app, 50, app.screenWidth - 50, 100, app.screenHeight - 50, x, y)) return false;
  actor.layerBob[kMainPicture] = 31;
  actor.layerBob[kShadowBob] = 31;
  PlaceTimedObject(app, actor, 31, HoldTime(app), x, y, kActTreeGrowing);
  PlaySoundCue(app, "plop");
  return true;
}

bool StartFlowerCluster(SaverApplication& app) {
  if (CountFreeActors(app) <= 6) return false;
  const int32_t a = SceneRandomCoord(app, 100, app.screenWidth - 100);
  const int32_t b = SceneRandomCoord(app, 100, app.screenHeight - 100);
  for (int i = 0; i < 6; ++i) {
    ActorSlot* spot = NewSlot(app);
    if (!spot) continue;
    spot->x = static_cast<float>(a + static_cast<int32_t>(SceneRandomRange(app, 1, 200)) - 200);
    spot->y = static_cast<float>(b + static_cast<int32_t>(SceneRandomRange(app, 1, 200)) - 200);
    WaitThenAct(app, *spot, kActWaitingFlower);
  }
  return true;
}

static void ShowFlower(SaverApplication& app, ActorSlot& actor) {
  if (actor.layerBob[kMainPicture] == 0)
    actor.layerBob[kMainPicture] = static_cast<uint16_t>(19 + SceneRandomRange(app, 1, 11));
  actor.layerBob[kShadowBob] = actor.layerBob[kMainPicture];
  PlaceTimedObject(app, actor, actor.layerBob[kMainPicture], HoldTime(app), actor.x, actor.y, kActFlower);
  PlaySoundCue(app, "plop");
}

static void SetTreePicture(ActorSlot& tree, uint16_t picture) {
  tree.layerBob[kMainPicture] = picture;
  tree.layerBob[kShadowBob] = picture;
}

void AdvanceGrowingTree(SaverApplication& app, ActorSlot& tree) {
  if (DeadlinePassed(SaverNow(app), tree.deadline)) {
    EndActivity(app, tree);
    if (tree.activity != kActTreeGrowing) return;
  }
  ++tree.counter;
  if (tree.counter % 6 != 0) return;
  const uint16_t picture = tree.layerBob[kMainPicture];
  if (picture == 31)
    SetTreePicture(tree, 32);
  else if (picture == 32)
    SetTreePicture(tree, SceneRandomRange(app, 1, 100) < 85 ? 33 : 34);
}

static void CallWoodcutter(SaverApplication& app, ActorSlot& tree) {
  const uint32_t now = SaverNow(app);
  tree.siteX = static_cast<uint16_t>(Trunc(tree.x));
  tree.siteY = static_cast<uint16_t>(Trunc(tree.y));
  tree.deadline = now + HoldTime(app);
  if (tree.layerBob[kMainPicture] == 34) return;   // this kind of tree is never felled
  if (SceneRandomRange(app, 1, 100) < 51) return;  // ask again at the next deadline
  ActorSlot* cutter = NewSlot(app);
  if (!cutter) return;
  SetCreatureName(*cutter, "woodworker_trainee");
  cutter->siteX = tree.siteX;
  cutter->siteY = tree.siteY;
  cutter->siteIndex = kTreeSiteIndex;
  if (WalkToPoint(app, *cutter, tree.x - 27, tree.y + 4, kActWoodcutterWalking, 1000)) {
    tree.deadline = SaverNow(app) + 300000;
  } else {
    ClearActor(*cutter);
  }
}

void AdvanceFallingTree(SaverApplication& app, ActorSlot& tree) {
  ++tree.counter;
  if (tree.counter % 6 != 0) return;
  const uint16_t picture = tree.layerBob[kMainPicture];
  if (picture == 33) {
    SetTreePicture(tree, 35);
    PlaySoundCue(app, "TreeFalling");
  } else if (picture >= 35 && picture <= 41) {
    SetTreePicture(tree, static_cast<uint16_t>(picture + 1));
  } else if (picture == 42) {
    SetTreePicture(tree, 43);
    tree.y -= 40.0f;
  } else if (picture == 43) {
    EndActivity(app, tree);
  }
}

void ShrinkTree(SaverApplication& app, ActorSlot& tree) {
  tree.layerBob[kShadowBob] = tree.layerBob[kMainPicture];
  PlaceTimedObject(app, tree, tree.layerBob[kMainPicture], HoldTime(app), tree.x, tree.y, kActTreeShrinking);
  PlaySoundCue(app, "plop");
}

void AdvanceShrinkingTree(SaverApplication& app, ActorSlot& tree) {
  if (DeadlinePassed(SaverNow(app), tree.deadline)) {
    EndActivity(app, tree);
    if (tree.activity != kActTreeShrinking) return;
  }
  ++tree.counter;
  if (tree.counter % 6 != 0) return;
  const uint16_t picture = tree.layerBob[kMainPicture];
  if (picture == 33 || picture == 34) {
    SetTreePicture(tree, 32);
  } else if (picture == 32) {
    SetTreePicture(tree, 31);
  } else if (picture == 31) {
    tree.finishPending = 1;
    EndActivity(app, tree);
  }
}

// --- Stork -----------------------------------------------------------------------------------------

bool StartStork(SaverApplication& app) {
  if (FirstWithActivity(app, kActStork)) return false;
  ActorSlot* stork = NewSlot(app);
  if (!stork) return false;
  stork->animationCode = 1000;
  SetCreatureName(*stork, "stork");
  stork->finishPending = 1;
  const float x = static_cast<float>(app.screenWidth + 25);
  const float y = static_cast<float>(SceneRandomCoord(app, 25, app.screenHeight - 300));
  stork->x = x;
  stork->y = y;
  stork->targetX = -50.0f;
  stork->targetY = y;
  stork->stepX = static_cast<float>(app.screenWidth + 50) * kStorkRate;
  StartWalk(app, *stork, x, y, -50.0f, y, "stork", kActStork, 1000, kDirAuto);
  return true;
}

static void DropBaby(SaverApplication& app, const ActorSlot& stork) {
  ActorSlot* baby = NewSlot(app);
  if (!baby) return;
  baby->animationCode = 1000;
  const char* name = SceneRandomRange(app, 1, 100) > 50 ? "baby_male" : "baby_female";
  baby->x = stork.x - 5.0f;
  baby->y = stork.y + 15.0f;
  baby->targetX = baby->x;
  baby->targetY = baby->y;
  StartStanding(app, *baby, baby->x, baby->y, HoldTime(app), name, kActIdle, kDirSW);
}

void AdvanceStork(SaverApplication& app, ActorSlot& stork) {
  const bool cycleDone = SceneAdvanceAnimation(stork);
  SceneRunFrameEvents(stork);
  if ((Near(stork.x, stork.targetX) && Near(stork.y, stork.targetY)) ||
      OffExtendedScreen(app, stork.x, stork.y) || cycleDone) {
    EndActivity(app, stork);
    if (stork.activity != kActStork) return;
  }
  stork.x -= stork.stepX;
  stork.y -= (static_cast<float>(stork.counter) * kStorkRate - 0.5f) * 2.0f * 10.0f;
  ++stork.counter;
  if (stork.counter == 56) DropBaby(app, stork);
}

// --- Clay pit --------------------------------------------------------------------------------------

bool StartClayPit(SaverApplication& app) {
  uint16_t record;
  if (app.textPhase || CountFreeActors(app) < 7 || !FindUnusedSiteRecord(app, record)) return false;
  ActorSlot* worker = NewSlot(app);
  if (!worker) return false;
  float x, y;
  if (!FindFreePoint(app, 80, app.screenWidth - 80, 80, app.screenHeight - 160, x, y)) {
    ClearActor(*worker);
    return false;
  }
  worker->siteX = static_cast<uint16_t>(Trunc(x));
  worker->siteY = static_cast<uint16_t>(Trunc(y));
  worker->siteIndex = record;
  worker->x = 0;
  worker->y = 0;
  SetCreatureName(*worker, "clayworker_trainee");
  if (!WalkToPoint(app, *worker, x - 25, y + 65, kActClayWorkerWalking, 1000)) {
    ClearActor(*worker);
    return false;
  }
  SiteRecord& site = app.sites[record];
  site.active = 1;
  site.occupied = 1;
  site.left = worker->siteX - 40;
  site.right = worker->siteX + 40;
  site.top = worker->siteY;
  site.bottom = worker->siteY + 80;
  return true;
}

static void EndClayActivity(SaverApplication& app, ActorSlot& actor) {
  switch (actor.activity) {
    case kActClayWorkerWalking: {
      StartStanding(app, actor, actor.x, actor.y, 300000, actor.creatureName, kActClayWorkerWorking, kDirNE);
      ActorSlot* pit = NewSlot(app);
      if (!pit) return;
      CopySite(*pit, actor);
      PlaceObject(app, *pit, 44, 45, actor.siteX, static_cast<float>(actor.siteY + 1), kActClayPitFadingIn);
      break;
    }
    case kActClayPitFadingIn: {
      if (ActorSlot* worker = FirstAtPlace(app, kActClayWorkerWorking, actor)) {
        const uint32_t n = SceneAnimationLength("fisher_trainee", 2000, kDirNE);
        const uint32_t f = app.frameRate ? app.frameRate : 1u;  // a frame rate of 0 reads as 1
        StartStanding(app, *worker, worker->x, worker->y, n * 1000u / f, "fisher_trainee",
                      kActClayWorkerFinishing, kDirNE);
      }
      PlaceTimedObject(app, actor, actor.layerBob[kMainPicture], 300000, actor.x, actor.y,
                       kActClayPitStanding);
      break;
    }
    case kActClayWorkerFinishing: {
      if (ActorSlot* pit = FirstAtPlace(app, kActClayPitStanding, actor)) {
        PlaceFadingObject(app, *pit, pit->layerBob[kMainPicture], pit->layerBob[kMainMask], pit->x, pit->y,
                          kActClayPitFadingOut);
      }
      LeaveScreen(app, actor, kActClayWorkerLeaving, 2002);
      break;
    }
    case kActClayPitFadingOut:
      if (actor.siteIndex < kSiteCount) app.sites[actor.siteIndex] = SiteRecord{};
      ClearActor(actor);
      break;
    default:
      ClearActor(actor);  // 43, 45, 47
      break;
  }
}

// --- Soldiers, herds, shepherd, family -------------------------------------------------------------

bool StartSoldiers(SaverApplication& app) {
  if (CountFreeActors(app) <= 6) return false;
  return StartGroup(app, nullptr) != nullptr;
}

bool StartHerd(SaverApplication& app) {
  if (CountFreeActors(app) <= 6) return false;
  const char* name = HerdName(SceneRandomRange(app, 1, 100));
  return StartGroup(app, name) != nullptr;
}

bool StartShepherd(SaverApplication& app) {
  if (CountFreeActors(app) <= 7) return false;
  ActorSlot* leader = StartGroup(app, "sheep");
  if (!leader) return false;
  ActorSlot* shepherd = NewSlot(app);
  if (!shepherd) return true;
  shepherd->finishPending = 1;
  shepherd->animationCode = 1000;
  SetCreatureName(*shepherd, "scout_master");
  // The leader has not moved yet: its position is still its start.
  const float startX = leader->x < 1.0f ? leader->x - 50.0f : leader->x + 50.0f;
  WalkBeside(app, *shepherd, startX, leader->y, leader->targetX, leader->targetY);
  return true;
}

bool StartFamilyMeeting(SaverApplication& app) {
  static const Visitor kFamily[6] = {{nullptr, kDirSE, -30, -20}, {nullptr, kDirSE, 0, -20},
                                     {nullptr, kDirW, 10, 0},     {nullptr, kDirW, 20, 20},
                                     {nullptr, kDirNW, 0, 30},    {nullptr, kDirNE, -30, 30}};
  if (CountFreeActors(app) <= 6) return false;
  ActorSlot* member = NewSlot(app);
  if (!member) return false;
  float px, py;
  if (!FindFreePoint(app, 35, app.screenWidth - 35, 35, app.screenHeight - 35, px, py)) {
    ClearActor(*member);
    return false;
  }
  for (int i = 0; i < 6; ++i) {
    if (i > 0) member = NewSlot(app);
    if (!member) return true;
    SetCreatureName(*member, SceneRandomRange(app, 1, 100) > 50 ? "woman_01" : "civilian");
    member->arrivalDirection = static_cast<int16_t>(kFamily[i].facing);
    if (!WalkToPoint(app, *member, px + kFamily[i].dx, py + kFamily[i].dy, kActFamilyWalking, 1000))
      ClearActor(*member);
  }
  return true;
}

// --- Ends of scene activities ----------------------------------------------------------------------

void EndSceneActivity(SaverApplication& app, ActorSlot& actor) {
  if (const BuildingKind* building = BuildingOf(actor.activity)) {
    EndBuildingActivity(app, actor, *building);
    return;
  }
  const uint16_t picture = actor.layerBob[kMainPicture];
  const uint16_t mask = actor.layerBob[kMainMask];
  switch (actor.activity) {
    case kActWaitingFlower:
      ShowFlower(app, actor);
      break;
    case kActWaitingTree:
      if (!PlantTree(app, actor)) ClearActor(actor);
      break;
    case kActPictureFadingIn:
      PlaceTimedObject(app, actor, picture, HoldTime(app), actor.x, actor.y, kActPictureHolding);
      break;
    case kActLayeredFadingIn:
      PlaceTimedLayeredObject(app, actor, actor.layerBob[kLayer1Picture], actor.layerBob[kLayer2Picture],
                              picture, actor.layerBob[kShadowBob], HoldTime(app), actor.x, actor.y,
                              kActLayeredHolding);
      break;
    case kActPictureHolding:
      PlaceFadingObject(app, actor, picture, mask, actor.x, actor.y, kActPictureFadingOut);
      actor.finishPending = 1;
      break;
    case kActFlower:
      PlaySoundCue(app, "plop");
      ClearActor(actor);
      break;
    case kActLayeredHolding:
      PlaceFadingLayeredObject(app, actor, actor.layerBob, actor.x, actor.y, kActLayeredFadingOut);
      actor.finishPending = 1;
      break;
    case kActLogoFadingIn:
      PlaceTimedObject(app, actor, picture, HoldTime(app), actor.x, actor.y, kActLogoHolding);
      break;
    case kActLogoHolding:
      PlaceFadingObject(app, actor, picture, mask, actor.x, actor.y, kActLogoFadingOut);
      break;
    case kActLogoFadingOut:
      ClearActor(actor);
      app.cornerLogoOn = 1;
      app.monumentInUse = 0;
      break;
    case kActMonumentFadingIn:
      PlaceTimedObject(app, actor, picture, 300000, actor.x, actor.y, kActMonumentHolding);
      GatherAtMonument(app, actor);
      break;
    case kActMonumentHolding:
      PlaceFadingObject(app, actor, picture, mask, actor.x, actor.y, kActMonumentFadingOut);
      for (ActorSlot& v : app.actors) {
        if (v.activity == kActMonumentVisitorWalking || v.activity == kActMonumentVisitorStanding)
          LeaveScreen(app, v, kActMonumentVisitorLeaving, 1000);
      }
      break;
    case kActMonumentFadingOut:
      ClearActor(actor);
      app.monumentInUse = 0;
      break;
    case kActMonumentVisitorWalking:
      StartStanding(app, actor, actor.x, actor.y, 300000, actor.creatureName, kActMonumentVisitorStanding,
                    static_cast<uint16_t>(actor.arrivalDirection));
      if (ActorSlot* monument = FirstWithActivity(app, kActMonumentHolding)) {
        PlaceTimedObject(app, *monument, monument->layerBob[kMainPicture], HoldTime(app), monument->x,
                         monument->y, kActMonumentHolding);
      }
      break;
    case kActMonumentVisitorStanding:
      LeaveScreen(app, actor, kActMonumentVisitorLeaving, 1000);
      break;
    case kActClayWorkerWalking:
    case kActClayWorkerWorking:
    case kActClayWorkerFinishing:
    case kActClayWorkerLeaving:
    case kActClayPitFadingIn:
    case kActClayPitStanding:
    case kActClayPitFadingOut:
      EndClayActivity(app, actor);
      break;
    case kActTreeGrowing:
      CallWoodcutter(app, actor);
      break;
    case kActTreeChopped:
      actor.layerBob[kShadowBob] = picture;
      PlaceTimedObject(app, actor, picture, 300000, actor.x, actor.y, kActTreeFalling);
      PlaySoundCue(app, "plop");
      break;
    case kActTreeFalling:
      for (ActorSlot& cutter : app.actors) {
        if (cutter.activity != kActWoodcutterChopping || !SameSitePlace(cutter, actor)) continue;
        if (LeaveScreen(app, cutter, kActWalker, 2000)) {
          cutter.finishPending = 1;
          ClearActor(actor);
          break;
        }
      }
      break;
    case kActWoodcutterWalking: {
      if (Trunc(actor.y) < actor.siteY + 4) actor.y = static_cast<float>(actor.siteY + 4);
      StartStanding(app, actor, actor.x, actor.y, 300000, actor.creatureName, kActWoodcutterChopping, kDirE);
      if (ActorSlot* tree = FirstAtPlace(app, kActTreeGrowing, actor)) {
        tree->activity = kActTreeChopped;
        tree->deadline = SaverNow(app) + 12000;
      }
      break;
    }
    case kActFamilyWalking:
      StartStanding(app, actor, actor.x, actor.y, HoldTime(app), actor.creatureName, kActFamilyMeeting,
                    static_cast<uint16_t>(actor.arrivalDirection));
      break;
    case kActFamilyMeeting:
      LeaveScreen(app, actor, kActWalker, 1000);
      break;
    default:
      // 4, 10, 11, 15, the stork, a shrinking tree, the leaving walkers: no follow-up.
      ClearActor(actor);
      break;
  }
}
