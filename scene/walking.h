// Walking, standing and sites: the two-leg paths creatures walk in eight directions, the per-frame
// walking step, entry, exit and random targets, the start of standing animations, the placement of
// static objects and the table of building sites they avoid.
#pragma once

#include <cstdint>

#include "scene/saver_application.h"

// Off the extended screen: more than 100 pixels outside; on the screen: strictly inside.
bool OffExtendedScreen(const SaverApplication& app, float x, float y);
bool OnScreen(const SaverApplication& app, float x, float y);
// Point inside a site rectangle (edges included), coordinates truncated.
bool InsideSite(const SiteRecord& site, float x, float y);
// Outside every active site.
bool OutsideAllSites(const SaverApplication& app, float x, float y);

void ChooseDirections(ActorSlot& actor);
// Step per frame of `direction` for the actor's creature and animation code (speed / 9 pixels);
// false for the codes that have no step (the step is then left as it was).
bool DirectionStep(uint16_t direction, float speed, float& stepX, float& stepY);
void SetWalkVelocity(ActorSlot& actor);
void ComputeCorner(ActorSlot& actor);
// Whether the actor's planned walk (or, with pointOnly, its position) touches an active site other than
// its own. A walk that cannot move (walking speed 0) counts as blocked.
bool PathBlockedBySite(SaverApplication& app, ActorSlot& actor, bool pointOnly);

void StartWalk(SaverApplication& app, ActorSlot& actor, float x, float y, float targetX, float targetY,
               const char* name, int32_t activity, int16_t animationCode, uint16_t direction);
int32_t StartStanding(SaverApplication& app, ActorSlot& actor, float x, float y, uint32_t durationMs,
                      const char* name, int32_t activity, uint16_t direction);
bool WalkToPoint(SaverApplication& app, ActorSlot& actor, float targetX, float targetY, int32_t activity,
                 int16_t animationCode);
bool LeaveScreen(SaverApplication& app, ActorSlot& actor, int32_t activity, int16_t animationCode);
bool EnterFromSide(SaverApplication& app, ActorSlot& actor, int32_t activity, int16_t animationCode);

void PickEntryPoint(SaverApplication& app, ActorSlot& actor, int32_t activity);
void PickExitPoint(SaverApplication& app, ActorSlot& actor, int32_t activity);
void PickWalkerKind(SaverApplication& app, ActorSlot& actor);
void PickIdleAnimation(SaverApplication& app, ActorSlot& actor);

// Static objects. A position of (0, 0) is drawn at random inside the screen, outside every site, from
// the size of the main picture. "keepCounter" leaves the fade level as it is (used by the wind-down).
void PlaceObject(SaverApplication& app, ActorSlot& actor, uint16_t picture, uint16_t mask, float x, float y,
                 int32_t activity, bool keepCounter = false);
void PlaceTimedObject(SaverApplication& app, ActorSlot& actor, uint16_t picture, uint32_t durationMs, float x,
                      float y, int32_t activity);
void PlaceFadingObject(SaverApplication& app, ActorSlot& actor, uint16_t picture, uint16_t mask, float x,
                       float y, int32_t activity, bool keepCounter = false);
void PlaceLayeredObject(SaverApplication& app, ActorSlot& actor, const uint16_t bobs[8], float x, float y,
                        int32_t activity, bool keepCounter = false);
void PlaceTimedLayeredObject(SaverApplication& app, ActorSlot& actor, uint16_t layer1, uint16_t layer2,
                             uint16_t mainPicture, uint16_t shadowBob, uint32_t durationMs, float x, float y,
                             int32_t activity);
void PlaceFadingLayeredObject(SaverApplication& app, ActorSlot& actor, const uint16_t bobs[8], float x,
                              float y, int32_t activity, bool keepCounter = false);

// The site table.
void LayOutSites(SaverApplication& app);
struct SiteChoice {
  bool found = false;
  int32_t centreX = 0;
  int32_t centreY = 0;
  uint16_t index = 0;
};
SiteChoice TakeFreeSite(SaverApplication& app);
// First record that is neither active nor occupied; false when there is none.
bool FindUnusedSiteRecord(const SaverApplication& app, uint16_t& index);

// The per-frame walking step of the walking activities.
void AdvanceWalker(SaverApplication& app, ActorSlot& actor);

// The number of plots LayOutSites makes for a screen height.
int PlotCountForHeight(int height);
