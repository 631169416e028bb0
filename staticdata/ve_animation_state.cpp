// Creature animation state: the animation clock, frame events, outfit and colour choice, drawing.
// Every operation reaches the descriptions through g_staticData and checks each id against its
// table, so a state holding 0xFFFF (or any stale id) draws nothing and answers false or 0.
#include "staticdata/ve_animation_state.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "graphics/xb_bob_manager.h"
#include "graphics/xb_palette.h"
#include "staticdata/application_services.h"
#include "staticdata/ve_static_data_manager.h"

namespace {

const VE_ANIMATION_DESCRIPTION* CurrentAnimation(const VE_ANIMATION_STATE& state) {
  return g_staticData ? g_staticData->GetAnimation(state.animationId) : nullptr;
}

// Looks the creature up by name (an unknown name warns each time).
const VE_CREATURE_DESCRIPTION* LookUpCreature(const char* name) {
  if (!g_staticData) return nullptr;
  return g_staticData->GetCreature(g_staticData->GetCreatureDescriptionIdByName(name));
}

uint16_t CreatureAnimationId(const char* creatureName, uint16_t key, int direction) {
  const VE_CREATURE_DESCRIPTION* creature = LookUpCreature(creatureName);
  return creature ? g_staticData->FindCreatureAnimation(creature, key, direction) : VE_NO_ID;
}

bool IsMan(uint16_t flags) {
  return (flags & VE_TYPE_MAN) && !(flags & VE_TYPE_NO_OUTFIT);
}
bool IsWoman(uint16_t flags) {
  return (flags & VE_TYPE_WOMAN) && !(flags & VE_TYPE_NO_OUTFIT);
}

uint32_t Rand() {
  return static_cast<uint32_t>(ApplicationRand());
}

}  // namespace

void StartAnimation(VE_ANIMATION_STATE& state, uint16_t animationId) {
  state.playState = VE_ANIM_PLAYING;
  state.animationId = animationId;
  state.tick = 0;
  state.frame = 0;
}

bool TickAnimation(VE_ANIMATION_STATE& state) {
  if (state.playState != VE_ANIM_PLAYING) return false;
  const VE_ANIMATION_DESCRIPTION* a = CurrentAnimation(state);
  // An animation that does not exist (or has no frames) is over at once.
  if (!a || a->frameCount == 0) {
    state.playState = VE_ANIM_FINISHED;
    state.tick = 0;
    state.frame = 0;
    return false;
  }
  ++state.tick;
  if (state.tick >= a->ticksPerFrame) {
    state.tick = 0;
    ++state.frame;
  }
  if (state.frame >= a->frameCount) {
    state.playState = VE_ANIM_FINISHED;
    state.frame = static_cast<uint16_t>(a->frameCount - 1);
    return false;
  }
  return true;
}

bool AdvanceAnimation(VE_ANIMATION_STATE& state) {
  if (TickAnimation(state)) return false;
  StartAnimation(state, state.animationId);
  return true;
}

void RunFrameEvents(VE_ANIMATION_STATE& state) {
  if (state.tick != 0) return;
  const VE_ANIMATION_DESCRIPTION* a = CurrentAnimation(state);
  if (!a || !a->events) return;
  for (uint32_t i = 0; i < a->eventCount; ++i) {
    const VE_ANIMATION_EVENT& e = a->events[i];
    if (e.frame == state.frame && e.code == VE_EVENT_PLAY_SOUND && a->eventSound)
      ApplicationSoundCue(a->eventSound);
  }
}

void DrawAnimation(const VE_ANIMATION_STATE& state, XB_BITMAP* surface, int16_t x, int16_t y) {
  const VE_ANIMATION_DESCRIPTION* a = CurrentAnimation(state);
  if (!surface || !a || !a->frames || state.frame >= a->frameCount) return;
  XB_BITMAP& bitmap = *surface;
  uint32_t bob = a->frames[state.frame];
  const uint8_t* map = state.colourMap;

  if (XB_BOB_MANAGER* shadow = a->layers[VE_LAYER_SHADOW]) {
    if (g_shadowTable)
      shadow->DrawBobShadow(bob + a->shadowBobOffset, bitmap, x, y, g_shadowTable->GetData());
  }
  if (XB_BOB_MANAGER* body = a->layers[VE_LAYER_BODY]) body->DrawBobRemapped(bob, bitmap, x, y, map);
  if (state.headLayer < VE_HEAD_LAYERS) {
    if (XB_BOB_MANAGER* head = a->layers[VE_LAYER_HEAD0 + state.headLayer])
      head->DrawBobRemapped(bob, bitmap, x, y, map);
  }
  // At most one more layer: the scout hat beats the helmet, the helmet the cap, the cap the hair.
  XB_BOB_MANAGER* extra = nullptr;
  if (state.scoutOn) {
    extra = a->layers[VE_LAYER_SCOUT];
  } else if (state.helmetOn) {
    extra = state.helmetLayer < VE_HELMET_LAYERS ? a->layers[VE_LAYER_HELMET0 + state.helmetLayer] : nullptr;
  } else if (state.capOn) {
    extra = a->layers[VE_LAYER_CAP];
  } else if (state.hairOn) {
    extra = state.hairLayer < VE_HAIR_LAYERS ? a->layers[VE_LAYER_HAIRS0 + state.hairLayer] : nullptr;
  }
  if (extra) extra->DrawBobRemapped(bob, bitmap, x, y, map);
}

void UpdateCarryGoodColours(VE_ANIMATION_STATE& state) {
  const VE_ANIMATION_DESCRIPTION* a = CurrentAnimation(state);
  if (!a) return;
  if (a->carryGoodColours1 != VE_NO_ID) {
    if (const uint8_t* window = g_staticData->GetRemapTable16Window(a->carryGoodColours1))
      std::memcpy(state.colourMap + 224, window, 16);
  }
  if (a->carryGoodColours2 != VE_NO_ID) {
    if (const uint8_t* window = g_staticData->GetRemapTable16Window(a->carryGoodColours2))
      std::memcpy(state.colourMap + 240, window, 16);
  }
}

bool StartCreatureAnimation(VE_ANIMATION_STATE& state, const char* creatureName, uint16_t key,
                            int direction) {
  uint16_t id = CreatureAnimationId(creatureName, key, direction);
  bool started = id != VE_NO_ID;
  if (started) StartAnimation(state, id);
  UpdateCarryGoodColours(state);
  return started;
}

bool StartWalkAnimation(VE_ANIMATION_STATE& state, const char* creatureName, uint16_t walkKind,
                        int direction) {
  const VE_CREATURE_DESCRIPTION* creature = LookUpCreature(creatureName);
  uint16_t id = VE_NO_ID;
  if (creature)
    id = g_staticData->GetWalkAnimation(g_staticData->FindWalkData(creature, walkKind), direction);
  bool started = id != VE_NO_ID;
  if (started) StartAnimation(state, id);
  UpdateCarryGoodColours(state);
  return started;
}

bool DressCreature(VE_ANIMATION_STATE& state, const char* creatureName) {
  const VE_CREATURE_DESCRIPTION* creature = LookUpCreature(creatureName);
  if (!creature) return false;
  VE_STATIC_DATA_MANAGER& data = *g_staticData;
  auto working = std::make_unique<XB_PALETTE>();  // all black

  auto apply = [&](const VE_CREATURE_DESCRIPTION* c) {
    if (!c || c->remapTable == VE_NO_ID || c->remapTable >= data.remapTableCount) return;
    *working = *data.remapTables[c->remapTable].palette;
    data.ApplyRandomRemap(c->ownColours, *working);
  };
  if (IsMan(creature->typeFlags)) apply(LookUpCreature("civilian"));
  apply(creature);

  char setName[64];
  uint32_t r = Rand();
  std::snprintf(setName, sizeof(setName), "Player_%u_Color_%s", r % 10,
                (creature->typeFlags & VE_TYPE_MAN) ? "Man" : "Woman");
  const VE_RANDOM_REMAP* playerColours = data.FindRandomRemap(setName);
  if (!playerColours) return false;
  data.ApplyRandomRemap(*playerColours, *working);

  // Without a screen palette there is nothing to match the colours against.
  const XB_PALETTE* screen = ApplicationPalette();
  if (!screen) return false;
  data.MatchScreenColours(*working, *screen, state.colourMap);
  UpdateCarryGoodColours(state);
  return true;
}

bool ChooseOutfit(VE_ANIMATION_STATE& state, const char* creatureName) {
  state.headLayer = 0;
  state.hairOn = 0;
  state.hairLayer = 0;
  state.capOn = 0;
  state.scoutOn = 0;
  state.helmetOn = 0;
  state.helmetLayer = 0;
  const VE_CREATURE_DESCRIPTION* creature = LookUpCreature(creatureName);
  if (!creature) return false;
  uint16_t flags = creature->typeFlags;
  if (IsMan(flags)) {
    state.headLayer = Rand() % 5;
    state.hairOn = (Rand() % 100) < 66 ? 1 : 0;
    state.hairLayer = 0;
    if (flags & VE_TYPE_HELMET) {
      // Only master jobs 79 to 87 name a helmet; other helmet wearers go bare-headed.
      if (creature->masterJob >= 79 && creature->masterJob <= 87) {
        state.helmetOn = 1;
        state.helmetLayer = static_cast<uint32_t>(creature->masterJob - 79) % 3;
      }
    } else if (creature->masterJob == 30 || creature->masterJob == 73) {
      state.scoutOn = 1;
    } else if (flags & VE_TYPE_CAP) {
      state.capOn = 1;
    }
  } else if (IsWoman(flags)) {
    Rand();
    state.headLayer = 0;
    state.hairOn = 1;
    state.hairLayer = Rand() % 2;
  } else if (flags & VE_TYPE_PLAIN) {
    Rand();
    state.headLayer = 0;
    state.hairOn = 0;
    state.hairLayer = 0;
  }
  return true;
}

uint16_t GetWalkSpeed(const char* creatureName, uint16_t walkKind) {
  const VE_CREATURE_DESCRIPTION* creature = LookUpCreature(creatureName);
  if (!creature) return 0;
  const VE_WALKDATA_DESCRIPTION* walk =
      g_staticData->GetWalkData(g_staticData->FindWalkData(creature, walkKind));
  return walk ? walk->walkSpeed : 0;
}

bool HasCreatureAnimation(const char* creatureName, uint16_t key, int direction) {
  return CreatureAnimationId(creatureName, key, direction) != VE_NO_ID;
}

uint32_t GetAnimationLength(const char* creatureName, uint16_t key, int direction) {
  uint16_t id = CreatureAnimationId(creatureName, key, direction);
  const VE_ANIMATION_DESCRIPTION* a = g_staticData ? g_staticData->GetAnimation(id) : nullptr;
  return a ? static_cast<uint32_t>(a->frameCount) * a->ticksPerFrame : 0;
}
