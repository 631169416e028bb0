// The creature operations of the static data as the scene director uses them: on an actor's
// animation state, by creature name, animation code and direction.
#pragma once

#include <cstdint>

#include "scene/saver_application.h"
#include "staticdata/ve_animation_state.h"

inline bool SceneStartWalkAnimation(ActorSlot& actor, const char* name, int16_t code, uint16_t direction) {
  return StartWalkAnimation(actor.animState, name, static_cast<uint16_t>(code), direction);
}
inline bool SceneStartCreatureAnimation(ActorSlot& actor, const char* name, int16_t code,
                                        uint16_t direction) {
  return StartCreatureAnimation(actor.animState, name, static_cast<uint16_t>(code), direction);
}
// Colour map, then the random outfit: what a slot gets when it first becomes a creature.
inline void SceneDressCreature(ActorSlot& actor, const char* name) {
  DressCreature(actor.animState, name);
  ChooseOutfit(actor.animState, name);
}
inline bool SceneAdvanceAnimation(ActorSlot& actor) {
  return AdvanceAnimation(actor.animState);
}
inline void SceneRunFrameEvents(ActorSlot& actor) {
  RunFrameEvents(actor.animState);
}
inline uint16_t SceneWalkSpeed(const char* name, int16_t code) {
  return GetWalkSpeed(name, static_cast<uint16_t>(code));
}
inline bool SceneHasCreatureAnimation(const char* name, int16_t code, uint16_t direction) {
  return HasCreatureAnimation(name, static_cast<uint16_t>(code), direction);
}
inline uint32_t SceneAnimationLength(const char* name, int16_t code, uint16_t direction) {
  return GetAnimationLength(name, static_cast<uint16_t>(code), direction);
}
