// Walk-data descriptions: the "WalkDataType" sections of z_walkdata_descriptions.ini.
#include <string>

#include "base/xb_ini_file_reader.h"
#include "staticdata/application_services.h"
#include "staticdata/ve_name_utils.h"
#include "staticdata/ve_static_data_manager.h"

void VE_STATIC_DATA_MANAGER::l_LoadWalkDataDescriptions() {
  const std::string iniPath = MakeDataPath(VE_WALKDATA_INI);
  XB_INI_FILE_READER reader(iniPath.c_str(), true);
  uint32_t count = reader.CountSections("WalkDataType");
  if (count > VE_NO_ID) count = VE_NO_ID;  // ids are u16 and 0xFFFF means none
  walkData = new VE_WALKDATA_DESCRIPTION[count]();
  walkDataCount = static_cast<uint16_t>(count);
  uint32_t i = 0;
  for (const char* s = reader.FindSection("WalkDataType"); s && i < count;
       s = reader.FindNextSection("WalkDataType"), ++i)
    l_ReadWalkDataSection(reader, walkData[i]);
  reader.Close();
}

void VE_STATIC_DATA_MANAGER::l_ReadWalkDataSection(XB_INI_FILE_READER& reader, VE_WALKDATA_DESCRIPTION& w) {
  w.waitTicks = 120;
  w.waitCount = 0;
  char name[VE_NAME_SIZE];
  // Resolves the next quoted animation name of the line; a missing name warns like an unknown one.
  auto nextAnimation = [&]() -> uint16_t {
    reader.CopyStringValue(name, sizeof(name));
    return GetAnimationDescriptionId(name);
  };
  while (reader.NextKey()) {
    const char* key = reader.GetKeyName();
    if (ve::EqualNoCase(key, "Name")) {
      reader.CopyStringValue(w.name, sizeof(w.name));
    } else if (ve::EqualNoCase(key, "WalkAnimation")) {
      for (uint16_t& id : w.walkAnimations) id = nextAnimation();
    } else if (ve::EqualNoCase(key, "WalkVerticalAnimation")) {
      w.hasVertical = 1;
      for (uint16_t& id : w.verticalAnimations) id = nextAnimation();
    } else if (ve::EqualNoCase(key, "TurnFrames")) {
      w.hasTurnFrames = 1;
      for (auto& library : w.turnLibraries) library = GetOrLoadBobLibrary(reader.GetStringValue());
      for (uint16_t& value : w.turnValues) value = static_cast<uint16_t>(reader.GetIntValue());
    } else if (ve::EqualNoCase(key, "WaitAnimation") || ve::EqualNoCase(key, "WaitAnimationX")) {
      bool perDirection = ve::EqualNoCase(key, "WaitAnimationX");
      if (w.waitCount >= VE_MAX_WAIT_ENTRIES) {
        ShowWarning(
            "VE_STATIC_DATA_MANAGER::l_LoadWalkDataDescriptions: WalkDataType %s: more than %d wait "
            "animations, %s ignored",
            w.name, VE_MAX_WAIT_ENTRIES, key);
        continue;
      }
      VE_WAIT_ENTRY& entry = w.wait[w.waitCount++];
      entry.perDirection = perDirection ? 1 : 0;
      if (perDirection) {
        for (uint16_t& id : entry.ids) id = nextAnimation();
      } else {
        entry.ids[0] = nextAnimation();
      }
    } else if (ve::EqualNoCase(key, "WaitTicks")) {
      w.waitTicks = static_cast<uint16_t>(reader.GetIntValue());
    } else if (ve::EqualNoCase(key, "WalkSpeed")) {
      w.walkSpeed = static_cast<uint16_t>(reader.GetIntValue());
    } else if (ve::EqualNoCase(key, "TurnSpeed")) {
      w.turnSpeed = static_cast<uint16_t>(reader.GetIntValue());
    }
  }
}

uint16_t VE_STATIC_DATA_MANAGER::GetWalkAnimation(uint16_t walkDataId, int direction) const {
  const VE_WALKDATA_DESCRIPTION* w = GetWalkData(walkDataId);
  if (!w) return VE_NO_ID;
  if (direction == 10) return w->hasVertical ? w->verticalAnimations[0] : w->walkAnimations[5];
  if (direction == 11) return w->hasVertical ? w->verticalAnimations[1] : w->walkAnimations[1];
  if (direction < 0 || direction > 5) return VE_NO_ID;
  return w->walkAnimations[direction];
}
