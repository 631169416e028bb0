// Activities and the scene chooser. Every actor carries an activity code; when an activity is over the
// frame update calls EndActivity, which decides what the actor does next. Chaining activities through
// EndActivity is how every scene is told.
#pragma once

#include <cstdint>

#include "scene/saver_application.h"

// Bound on the loops that draw again until one action succeeds. With sane data they end within a few
// draws; the bound only guards against data with which no action can ever succeed.
constexpr int kRetryLimit = 1000;

// Called only from the per-frame handling of an actor.
void EndActivity(SaverApplication& app, ActorSlot& actor);
// Sets the activity and a deadline 5 to 30 seconds away; always true.
bool WaitThenAct(SaverApplication& app, ActorSlot& actor, int32_t activity);
// numAnimations times: a slot waiting to become a walker.
void SpawnWaitingWalkers(SaverApplication& app);
// Starts a scene or gives the (cleared) slot a walker's task; draws until an action succeeds.
void ChooseScene(SaverApplication& app, ActorSlot& actor);

// What an activity does per frame and how it is drawn.
enum class FrameKind { kNone, kWalk, kAnim, kTimer, kFadeIn, kFadeOut, kSpecial };
enum class DrawKind {
  kNotDrawn,
  kCreature,
  kPicture,
  kShadowPicture,
  kDissolving,
  kDissolvingShadow,
  kLayered
};
FrameKind FrameKindOf(int32_t activity);
DrawKind DrawKindOf(int32_t activity);
// Activities that end at a deadline (timer, anim) or by fading: the soak test checks them.
bool IsTimedActivity(int32_t activity);
