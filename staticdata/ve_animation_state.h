// The creature animation state held inside every actor, and the operations that start, advance,
// dress and draw creature animations for the scene director. The scene director never touches the
// description records themselves; it only names creatures, animation keys and directions.
//
// All operations reach the descriptions through the process-wide static data manager. While no
// manager exists (the first frame is drawn before the static data is loaded) they do nothing and
// report failure: false, 0, or nothing drawn.
#pragma once

#include <cstddef>
#include <cstdint>

class XB_BITMAP;

// Play states of VE_ANIMATION_STATE::playState.
enum : uint8_t {
  VE_ANIM_NEVER_STARTED = 0,
  VE_ANIM_PLAYING = 1,
  VE_ANIM_FINISHED = 2,
};

// Event code that plays the animation's event sound.
constexpr uint16_t VE_EVENT_PLAY_SOUND = 101;

// Plain data (284 bytes) living inside the actor record; zeroing the actor clears it.
struct VE_ANIMATION_STATE {
  uint8_t playState;  // VE_ANIM_NEVER_STARTED, VE_ANIM_PLAYING, VE_ANIM_FINISHED
  uint8_t zero;
  uint16_t animationId;    // index into the animation table
  uint16_t tick;           // animation clock ticks spent in the current frame
  uint16_t frame;          // index into the animation's frame list
  uint8_t colourMap[256];  // creature colours -> screen palette indices, used for every layer
  uint32_t headLayer;      // which head library (0 to 5)
  uint8_t hairOn;
  uint32_t hairLayer;  // which hairs library (0 or 1)
  uint8_t capOn;
  uint8_t scoutOn;
  uint8_t helmetOn;
  uint32_t helmetLayer;  // which helmet library (0 to 2)
};
static_assert(sizeof(VE_ANIMATION_STATE) == 284);
static_assert(offsetof(VE_ANIMATION_STATE, colourMap) == 8);
static_assert(offsetof(VE_ANIMATION_STATE, headLayer) == 264);
static_assert(offsetof(VE_ANIMATION_STATE, hairLayer) == 272);
static_assert(offsetof(VE_ANIMATION_STATE, helmetLayer) == 280);

// --- State operations -------------------------------------------------------------------------

// Play state 1, the id, tick 0, frame 0.
void StartAnimation(VE_ANIMATION_STATE& state, uint16_t animationId);
// One tick of the animation clock. False when the state is not playing, or when this tick finished
// the animation (play state 2, frame left on the last frame); true while it goes on.
bool TickAnimation(VE_ANIMATION_STATE& state);
// TickAnimation; when the animation had finished (or never started) it is restarted with the same
// id and the result is true.
bool AdvanceAnimation(VE_ANIMATION_STATE& state);
// Fires the events of the current frame (only while tick is 0): code 101 plays the event sound.
void RunFrameEvents(VE_ANIMATION_STATE& state);
// Draws shadow, body, head and at most one of scout / helmet / cap / hair at (x, y).
void DrawAnimation(const VE_ANIMATION_STATE& state, XB_BITMAP* surface, int16_t x, int16_t y);
// Copies the carried-good colour windows of the current animation into colour map 224..255.
void UpdateCarryGoodColours(VE_ANIMATION_STATE& state);

// --- Creature operations (creatures by name; unknown names warn and fail) -----------------------

bool StartCreatureAnimation(VE_ANIMATION_STATE& state, const char* creatureName, uint16_t key, int direction);
bool StartWalkAnimation(VE_ANIMATION_STATE& state, const char* creatureName, uint16_t walkKind,
                        int direction);
// Builds the colour map from the creature's colours and a random player colour set.
bool DressCreature(VE_ANIMATION_STATE& state, const char* creatureName);
// Chooses the outfit layers (head, hair, cap, scout hat, helmet).
bool ChooseOutfit(VE_ANIMATION_STATE& state, const char* creatureName);
// Walk speed of the creature's walk data of that kind; 0 when unknown.
uint16_t GetWalkSpeed(const char* creatureName, uint16_t walkKind);
bool HasCreatureAnimation(const char* creatureName, uint16_t key, int direction);
// Frame count x ticks per frame of the animation; 0 when there is none.
uint32_t GetAnimationLength(const char* creatureName, uint16_t key, int direction);
