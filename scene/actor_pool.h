// The actor pool: taking and freeing slots, the depth-sorted draw order, and the small helpers every
// part of the scene director shares (random draws, truncation, deadlines, creature names).
#pragma once

#include <cstdint>

#include "scene/saver_application.h"

// First slot whose activity is 0 or below; failing that, the first waiting walker (activity 1), which is
// silently dropped; failing that kNoActor. The slot is cleared and its arrivalDirection set to 100.
uint16_t AllocateActor(SaverApplication& app);
// Number of slots whose activity is exactly 0.
int CountFreeActors(const SaverApplication& app);
// Zeroes every field of the slot (activity 0).
void ClearActor(ActorSlot& actor);
// Rebuilds app.drawOrder: active actors in ascending truncated y (ties by slot index), with empty
// places between them; the first flying stork goes to the last place (150).
void BuildDrawOrder(SaverApplication& app);

// Index of an actor inside the pool.
inline uint16_t SlotIndex(const SaverApplication& app, const ActorSlot& actor) {
  return static_cast<uint16_t>(&actor - app.actors);
}

// One draw from the application's generator: lo..hi inclusive in unsigned 32-bit arithmetic, so that
// bounds computed from negative values wrap as the saver always did. The single span that would need a
// modulus of 2^32 (hi == lo - 1) is drawn from the generator's full range instead of dividing by zero.
uint32_t SceneRandomRange(SaverApplication& app, int64_t lo, int64_t hi);
// 0..n inclusive.
uint32_t SceneRandom(SaverApplication& app, uint32_t n);
// A draw of SceneRandomRange read back as a signed coordinate.
inline int32_t SceneRandomCoord(SaverApplication& app, int64_t lo, int64_t hi) {
  return static_cast<int32_t>(SceneRandomRange(app, lo, hi));
}

// Positions are floats truncated toward zero wherever they are compared or drawn.
inline int32_t Trunc(float v) {
  // Out-of-range floats would be undefined to convert; actors never get there, but clamp anyway.
  if (!(v > -2147483520.0f)) return INT32_MIN + 128;
  if (!(v < 2147483520.0f)) return INT32_MAX - 128;
  return static_cast<int32_t>(v);
}
// a is near b when the truncated distance is below 6.
inline bool Near(float a, float b) {
  int32_t d = Trunc(a - b);
  return d < 6 && d > -6;
}

// now >= deadline on the wrapping millisecond clock. A deadline of 0 has always passed (scenes use it
// to end an activity at once).
inline bool DeadlinePassed(uint32_t now, uint32_t deadline) {
  return deadline == 0 || static_cast<int32_t>(now - deadline) >= 0;
}

// Case-insensitive name comparison (creature names, cue names).
bool SameName(const char* a, const char* b);
// Copies at most 31 characters of name into the slot's creatureName (name may be that very field).
void SetCreatureName(ActorSlot& actor, const char* name);
// "rabbit", "sheep" and "sheepnude".
bool IsAnimal(const char* name);
bool IsBaby(const char* name);
bool IsSoldier(const char* name);
