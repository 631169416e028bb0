// Creature descriptions ("CreatureType" sections of z_creature_descriptions.ini), their groups and
// master job map, and the named random colour sets of x_random_remaps.ini.
#include <cstring>
#include <string>
#include <vector>

#include "base/xb_ini_file_reader.h"
#include "graphics/xb_palette.h"
#include "staticdata/application_services.h"
#include "staticdata/ve_name_utils.h"
#include "staticdata/ve_static_data_manager.h"

namespace {
const char* const kWhere = "VE_STATIC_DATA_MANAGER::l_LoadCreatureDescriptions";
}

void VE_STATIC_DATA_MANAGER::l_LoadCreatureDescriptions() {
  const std::string iniPath = MakeDataPath(VE_CREATURES_INI);
  XB_INI_FILE_READER reader(iniPath.c_str(), true);
  uint32_t count = reader.CountSections("CreatureType");
  if (count > VE_NO_ID) count = VE_NO_ID;  // ids are u16 and 0xFFFF means none
  creatures = new VE_CREATURE_DESCRIPTION[count]();
  creatureCount = static_cast<uint16_t>(count);
  for (uint16_t& entry : masterJobMap) entry = VE_NO_ID;

  // First pass: the group of each creature (its last Group key), then the distinct group names in
  // order of first appearance.
  std::vector<std::string> noted(count);
  uint32_t i = 0;
  for (const char* s = reader.FindSection("CreatureType"); s && i < count;
       s = reader.FindNextSection("CreatureType"), ++i) {
    while (reader.NextKey()) {
      if (!ve::EqualNoCase(reader.GetKeyName(), "Group")) continue;
      char group[VE_NAME_SIZE];
      reader.CopyStringValue(group, sizeof(group));
      noted[i] = group;
    }
  }
  groupNames = new char[count ? count : 1][VE_NAME_SIZE]();
  for (uint32_t c = 0; c < count; ++c) {
    uint16_t id = 0;
    while (id < groupCount && !ve::EqualNoCase(groupNames[id], noted[c].c_str())) ++id;
    if (id == groupCount) ve::CopyName(groupNames[groupCount++], noted[c].c_str(), VE_NAME_SIZE);
    creatures[c].groupId = id;
  }

  i = 0;
  for (const char* s = reader.FindSection("CreatureType"); s && i < count;
       s = reader.FindNextSection("CreatureType"), ++i)
    l_ReadCreatureSection(reader, creatures[i], static_cast<uint16_t>(i));
  reader.Close();
}

void VE_STATIC_DATA_MANAGER::l_ReadCreatureSection(XB_INI_FILE_READER& reader, VE_CREATURE_DESCRIPTION& c,
                                                   uint16_t id) {
  c.size = 170;
  for (uint16_t& job : c.allowedJobTypes) job = VE_NO_ID;
  for (uint16_t& job : c.forbiddenJobTypes) job = VE_NO_ID;
  c.educatedJobType = VE_NO_ID;
  c.remapTable = VE_NO_ID;
  uint32_t slotKeys = reader.CountKeys("RemapRandom");
  if (slotKeys > VE_NO_ID) slotKeys = VE_NO_ID;
  if (slotKeys) c.ownColours.slots = new VE_RANDOM_REMAP_SLOT[slotKeys]();
  c.ownColours.slotCount = static_cast<uint16_t>(slotKeys);
  uint16_t slotsFilled = 0;
  uint32_t allowed = 0, forbidden = 0;
  char name[VE_NAME_SIZE];
  auto nextAnimation = [&]() -> uint16_t {
    reader.CopyStringValue(name, sizeof(name));
    return GetAnimationDescriptionId(name);
  };

  while (reader.NextKey()) {
    const char* key = reader.GetKeyName();
    if (ve::EqualNoCase(key, "Name")) {
      reader.CopyStringValue(c.name, sizeof(c.name));
    } else if (ve::EqualNoCase(key, "WalkType")) {
      if (c.walkKindCount >= VE_MAX_WALK_KINDS) {
        ShowWarning("%s: CreatureType %s: more than %d WalkType keys, the rest is ignored", kWhere, c.name,
                    VE_MAX_WALK_KINDS);
        continue;
      }
      reader.CopyStringValue(name, sizeof(name));
      VE_WALK_KIND_ENTRY& entry = c.walkKinds[c.walkKindCount++];
      entry.walkDataId = l_GetWalkDataDescriptionId(name);
      entry.walkKind = static_cast<uint16_t>(reader.GetIntValue());
    } else if (ve::EqualNoCase(key, "Animation") || ve::EqualNoCase(key, "AnimationX")) {
      if (c.animationCount >= VE_MAX_CREATURE_ANIMATIONS) {
        ShowWarning("%s: CreatureType %s: more than %d Animation and AnimationX keys, the rest is ignored",
                    kWhere, c.name, VE_MAX_CREATURE_ANIMATIONS);
        continue;
      }
      VE_CREATURE_ANIMATION_ENTRY& entry = c.animations[c.animationCount++];
      if (ve::EqualNoCase(key, "AnimationX")) {
        entry.perDirection = 1;
        for (uint16_t& animation : entry.ids) animation = nextAnimation();
      } else {
        entry.perDirection = 0;
        entry.ids[0] = nextAnimation();
      }
      entry.key = static_cast<uint16_t>(reader.GetIntValue());
      entry.value = static_cast<uint16_t>(reader.GetIntValue());
    } else if (ve::EqualNoCase(key, "MasterType")) {
      while (reader.GetValueType() == XB_INI_VALUE_NUMBER)
        c.typeFlags |= static_cast<uint16_t>(reader.GetIntValue());
    } else if (ve::EqualNoCase(key, "WalkOn")) {
      while (reader.GetValueType() == XB_INI_VALUE_NUMBER)
        c.walkOnFlags |= static_cast<uint16_t>(reader.GetIntValue());
    } else if (ve::EqualNoCase(key, "AllowsJobType") || ve::EqualNoCase(key, "ForbidsJobType")) {
      bool allows = ve::EqualNoCase(key, "AllowsJobType");
      uint16_t* list = allows ? c.allowedJobTypes : c.forbiddenJobTypes;
      uint32_t& used = allows ? allowed : forbidden;
      const uint32_t capacity = allows ? VE_MAX_ALLOWED_JOBS : VE_MAX_FORBIDDEN_JOBS;
      bool dropped = false;
      while (reader.GetValueType() == XB_INI_VALUE_NUMBER) {
        int32_t job = reader.GetIntValue();
        if (used < capacity)
          list[used++] = static_cast<uint16_t>(job);
        else
          dropped = true;
      }
      if (dropped)
        ShowWarning("%s: CreatureType %s: more than %u %s values, the rest is ignored", kWhere, c.name,
                    static_cast<unsigned>(capacity), key);
    } else if (ve::EqualNoCase(key, "EducatesJobType")) {
      c.educatedJobType = static_cast<uint16_t>(reader.GetIntValue());
    } else if (ve::EqualNoCase(key, "MasterJob")) {
      int32_t job = reader.GetIntValue();
      if (job < 0 || job >= VE_MASTER_JOB_COUNT) {
        ShowWarning("%s: CreatureType %s: MasterJob %d is not below %d, ignored", kWhere, c.name, job,
                    VE_MASTER_JOB_COUNT);
        continue;
      }
      c.masterJob = static_cast<uint16_t>(job);
      masterJobMap[job] = id;
    } else if (ve::EqualNoCase(key, "JobLevel")) {
      c.jobLevel = static_cast<uint8_t>(reader.GetIntValue());
    } else if (ve::EqualNoCase(key, "Equipment")) {
      c.equipment = static_cast<uint16_t>(reader.GetIntValue());
    } else if (ve::EqualNoCase(key, "WalkRange")) {
      c.walkRange = static_cast<uint16_t>(reader.GetIntValue());
    } else if (ve::EqualNoCase(key, "JobWalkRange")) {
      c.jobWalkRange = static_cast<uint16_t>(reader.GetIntValue());
    } else if (ve::EqualNoCase(key, "Size")) {
      c.size = static_cast<uint16_t>(reader.GetIntValue());
    } else if (ve::EqualNoCase(key, "Energy")) {
      c.energy = static_cast<uint16_t>(reader.GetIntValue());
    } else if (ve::EqualNoCase(key, "RemapName")) {
      c.remapTable = reader.CopyStringValue(name, sizeof(name)) ? GetRemapTableId(name) : VE_NO_ID;
    } else if (ve::EqualNoCase(key, "RemapRandom")) {
      l_ReadSlotLine(reader, c.ownColours, slotsFilled, c.name);
    }
  }
}

// A slot line: slot number, choice count n, then n pairs (choice, weight); a choice is a quoted
// RemapTable16 name or a number s meaning "slot s of the colour set itself".
void VE_STATIC_DATA_MANAGER::l_ReadSlotLine(XB_INI_FILE_READER& reader, VE_RANDOM_REMAP& set,
                                            uint16_t& filled, const char* owner) {
  if (filled >= set.slotCount) return;
  VE_RANDOM_REMAP_SLOT& slot = set.slots[filled++];
  slot.slot = static_cast<uint16_t>(reader.GetIntValue() & 15);
  int32_t n = reader.GetIntValue();
  if (n > VE_MAX_CHOICES) {
    ShowWarning("VE_STATIC_DATA_MANAGER: %s: RemapRandom slot %u has %d choices, only %d are used", owner,
                static_cast<unsigned>(slot.slot), n, VE_MAX_CHOICES);
    n = VE_MAX_CHOICES;
  }
  uint16_t total = 0;
  uint16_t k = 0;
  for (; k < n; ++k) {
    int type = reader.GetValueType();
    if (type == XB_INI_VALUE_NONE) break;  // a line with fewer pairs than it announces ends here
    if (type == XB_INI_VALUE_STRING) {
      char name[VE_NAME_SIZE];
      reader.CopyStringValue(name, sizeof(name));
      slot.choices[k] = GetRemapTable16Id(name);
    } else {
      slot.choices[k] = static_cast<uint16_t>(VE_CHOICE_OWN_SLOT + (reader.GetIntValue() & 15));
    }
    total = static_cast<uint16_t>(total + reader.GetIntValue());
    slot.cumulativeWeights[k] = total;
  }
  slot.choiceCount = k;
  slot.totalWeight = total;
}

void VE_STATIC_DATA_MANAGER::l_LoadRandomRemaps() {
  const std::string iniPath = MakeDataPath(VE_RANDOM_REMAPS_INI);
  XB_INI_FILE_READER reader(iniPath.c_str(), true);
  uint32_t count = reader.CountSections("RemapRandom");
  if (count) {
    randomRemaps = new VE_RANDOM_REMAP[count]();
    randomRemapCount = count;
  }
  uint32_t i = 0;
  for (const char* s = reader.FindSection("RemapRandom"); s && i < count;
       s = reader.FindNextSection("RemapRandom"), ++i) {
    VE_RANDOM_REMAP& set = randomRemaps[i];
    uint32_t slotKeys = reader.CountKeys("RemapRandom");
    if (slotKeys > VE_NO_ID) slotKeys = VE_NO_ID;
    if (slotKeys) set.slots = new VE_RANDOM_REMAP_SLOT[slotKeys]();
    set.slotCount = static_cast<uint16_t>(slotKeys);
    uint16_t filled = 0;
    while (reader.NextKey()) {
      const char* key = reader.GetKeyName();
      if (ve::EqualNoCase(key, "Name"))
        reader.CopyStringValue(set.name, VE_REMAP_NAME_SIZE);
      else if (ve::EqualNoCase(key, "RemapRandom"))
        l_ReadSlotLine(reader, set, filled, set.name);
    }
  }
  reader.Close();
}

// ---------------------------------------------------------------------------------------------------
// Queries

const VE_RANDOM_REMAP* VE_STATIC_DATA_MANAGER::FindRandomRemap(const char* name) const {
  for (uint32_t i = 0; i < randomRemapCount; ++i)
    if (ve::EqualNoCase(randomRemaps[i].name, name)) return &randomRemaps[i];
  return nullptr;
}

uint16_t VE_STATIC_DATA_MANAGER::FindWalkData(const VE_CREATURE_DESCRIPTION* creature,
                                              uint16_t walkKind) const {
  if (!creature) return VE_NO_ID;
  for (uint32_t i = 0; i < creature->walkKindCount && i < VE_MAX_WALK_KINDS; ++i)
    if (creature->walkKinds[i].walkKind == walkKind) return creature->walkKinds[i].walkDataId;
  return VE_NO_ID;
}

uint16_t VE_STATIC_DATA_MANAGER::FindCreatureAnimation(const VE_CREATURE_DESCRIPTION* creature, uint16_t key,
                                                       int direction) const {
  if (!creature) return VE_NO_ID;
  for (uint32_t i = 0; i < creature->animationCount && i < VE_MAX_CREATURE_ANIMATIONS; ++i) {
    const VE_CREATURE_ANIMATION_ENTRY& entry = creature->animations[i];
    if (entry.key != key) continue;
    if (!entry.perDirection) return entry.ids[0];
    int index = direction == 10 ? 5 : direction == 11 ? 2 : direction;
    // Directions outside 0..5, 10 and 11 (such as 100, "choose automatically") name no entry.
    if (index < 0 || index > 5) return VE_NO_ID;
    return entry.ids[index];
  }
  return VE_NO_ID;
}

void VE_STATIC_DATA_MANAGER::ApplyRandomRemap(const VE_RANDOM_REMAP& set, XB_PALETTE& palette) const {
  for (uint32_t i = 0; i < set.slotCount && set.slots; ++i) {
    const VE_RANDOM_REMAP_SLOT& slot = set.slots[i];
    uint32_t r = static_cast<uint32_t>(ApplicationRand());
    // A slot whose weights add up to 0 has nothing to choose from: its colours stay as they are (the
    // random number is still drawn, so the sequence does not depend on the weights).
    if (slot.totalWeight == 0) continue;
    uint32_t value = r % slot.totalWeight;
    uint32_t k = 0;
    uint32_t choices = slot.choiceCount < VE_MAX_CHOICES ? slot.choiceCount : VE_MAX_CHOICES;
    while (k < choices && slot.cumulativeWeights[k] <= value) ++k;
    if (k == choices) continue;
    uint16_t choice = slot.choices[k];
    // An unknown window name was stored as VE_NO_ID, whose top bit would otherwise read as "own slot
    // 15": it colours nothing, like a known name whose window points nowhere.
    if (choice == VE_NO_ID) continue;
    XB_PALETTE_ENTRY colours[16];
    if (choice & VE_CHOICE_OWN_SLOT) {
      uint32_t source = (choice - VE_CHOICE_OWN_SLOT) & 15;
      for (int c = 0; c < 16; ++c) colours[c] = palette.GetColour(static_cast<int>(16 * source + c));
    } else {
      const XB_PALETTE_ENTRY* window = GetRemapTable16Colours(choice);
      if (!window) continue;  // an unknown window colours nothing
      std::memcpy(colours, window, sizeof(colours));
    }
    uint32_t target = slot.slot & 15;
    for (int c = 0; c < 16; ++c) palette.SetColour(static_cast<int>(16 * target + c), colours[c]);
  }
}
