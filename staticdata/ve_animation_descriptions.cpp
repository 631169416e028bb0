// Animation descriptions: the "AnimationType" sections of z_animation_descriptions.ini and their
// binary cache z_animation_descriptions.cdf, read instead of the text whenever it exists.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/xb_error.h"
#include "base/xb_file.h"
#include "base/xb_ini_file_reader.h"
#include "graphics/xb_bob_manager.h"
#include "staticdata/application_services.h"
#include "staticdata/ve_name_utils.h"
#include "staticdata/ve_static_data_manager.h"

namespace {

constexpr uint32_t kHeadBytes = 70;                // the fixed part of a cached description
constexpr uint32_t kMinRecordBytes = 70 + 15 + 1;  // head, 15 absent libraries, absent sound
constexpr size_t kMaxSoundName = 255;              // the cache stores the length in one byte

bool ValidSpeed(uint16_t speed) {
  return speed == 1 || speed == 2 || speed == 3 || speed == 4 || speed == 6 || speed == 12;
}

// 12 / speed ticks of the animation clock per frame, at least 1. A speed of 0 has no quotient; it
// plays at one tick per frame (after the invalid-fps warning).
uint16_t TicksPerFrame(uint16_t speed) {
  if (speed == 0) return 1;
  uint16_t ticks = static_cast<uint16_t>(12 / speed);
  return ticks ? ticks : 1;
}

char* CopyText(const char* text, size_t maxLength) {
  size_t n = std::strlen(text);
  if (n > maxLength) n = maxLength;
  char* copy = new char[n + 1];
  std::memcpy(copy, text, n);
  copy[n] = 0;
  return copy;
}

}  // namespace

void VE_STATIC_DATA_MANAGER::l_LoadAnimationDescriptions() {
  animationsFromCache = l_ReadAnimationCache();
  if (animationsFromCache) return;

  const std::string iniPath = MakeDataPath(VE_ANIMATIONS_INI);
  XB_INI_FILE_READER reader(iniPath.c_str(), true);
  uint32_t count = reader.CountSections("AnimationType");
  animations = new VE_ANIMATION_DESCRIPTION[count]();
  animationCount = count;
  g_animationTable = animations;
  uint32_t i = 0;
  for (const char* s = reader.FindSection("AnimationType"); s && i < count;
       s = reader.FindNextSection("AnimationType"), ++i)
    l_ReadAnimationSection(reader, animations[i]);
  l_WriteAnimationCache();
  reader.Close();
}

void VE_STATIC_DATA_MANAGER::l_ReadAnimationSection(XB_INI_FILE_READER& reader, VE_ANIMATION_DESCRIPTION& a) {
  a.eventCount = static_cast<uint16_t>(reader.CountKeys("Event"));
  if (a.eventCount) a.events = new VE_ANIMATION_EVENT[a.eventCount]();
  a.mode = 1;
  a.startDirection = 100;
  a.endDirection = 100;
  a.carryGoodColours1 = VE_NO_ID;
  a.carryGoodColours2 = VE_NO_ID;

  int32_t bobOffset = 0;
  uint16_t nextEvent = 0;
  // Bobs values are collected first and fitted to Frames at the end of the section, so the order of
  // the Frames and Bobs keys does not matter and the frame list is never written past its end.
  std::vector<uint16_t> bobs;
  // Library names are taken whole (up to the line's length) so that a name too long for the registry
  // is refused by GetOrLoadBobLibrary instead of being cut into the name of another file.
  char name[XB_INI_LINE_SIZE];

  while (reader.NextKey()) {
    const char* key = reader.GetKeyName();
    if (ve::EqualNoCase(key, "Name")) {
      reader.CopyStringValue(a.name, sizeof(a.name));
    } else if (ve::EqualNoCase(key, "BobLibrary")) {
      if (!reader.CopyStringValue(name, sizeof(name))) continue;
      a.layers[VE_LAYER_BODY] = GetOrLoadBobLibrary(name);
      char layer[XB_INI_LINE_SIZE + 16];
      auto addLayer = [&](int slot) {
        if (BobLibraryExists(layer)) a.layers[slot] = GetOrLoadBobLibrary(layer);
      };
      for (int h = 0; h < VE_HEAD_LAYERS; ++h) {
        std::snprintf(layer, sizeof(layer), "%s_head_%d", name, h);
        addLayer(VE_LAYER_HEAD0 + h);
      }
      for (int h = 0; h < VE_HAIR_LAYERS; ++h) {
        std::snprintf(layer, sizeof(layer), "%s_hairs_%d", name, h);
        addLayer(VE_LAYER_HAIRS0 + h);
      }
      std::snprintf(layer, sizeof(layer), "%s_cap", name);
      addLayer(VE_LAYER_CAP);
      std::snprintf(layer, sizeof(layer), "%s_scout", name);
      addLayer(VE_LAYER_SCOUT);
      for (int h = 0; h < VE_HELMET_LAYERS; ++h) {
        std::snprintf(layer, sizeof(layer), "%s_helmet%d", name, h);
        addLayer(VE_LAYER_HELMET0 + h);
      }
    } else if (ve::EqualNoCase(key, "Mode")) {
      a.mode = static_cast<uint16_t>(reader.GetIntValue());
    } else if (ve::EqualNoCase(key, "Speed")) {
      a.speed = static_cast<uint16_t>(reader.GetIntValue());
      a.ticksPerFrame = TicksPerFrame(a.speed);
      if (!ValidSpeed(a.speed))
        ShowWarning("VE_STATIC_DATA_MANAGER::l_LoadAnimationDescriptions: AnimType %s - FPS %d: invalid fps",
                    a.name, a.speed);
    } else if (ve::EqualNoCase(key, "Frames")) {
      a.frameCount = static_cast<uint16_t>(reader.GetIntValue());
    } else if (ve::EqualNoCase(key, "BobOffset")) {
      bobOffset = reader.GetIntValue();
    } else if (ve::EqualNoCase(key, "Bobs")) {
      while (reader.GetValueType() == XB_INI_VALUE_NUMBER && bobs.size() < 0x10000)
        bobs.push_back(static_cast<uint16_t>(reader.GetIntValue() + bobOffset));
    } else if (ve::EqualNoCase(key, "Event")) {
      if (nextEvent >= a.eventCount) continue;
      VE_ANIMATION_EVENT& e = a.events[nextEvent++];
      e.frame = static_cast<uint16_t>(reader.GetIntValue());
      e.code = static_cast<uint16_t>(reader.GetIntValue());
      e.value =
          reader.GetValueType() == XB_INI_VALUE_NUMBER ? static_cast<uint16_t>(reader.GetIntValue()) : 0;
    } else if (ve::EqualNoCase(key, "EventSound")) {
      const char* sound = reader.GetStringValue();
      if (!sound) continue;
      delete[] a.eventSound;
      a.eventSound = CopyText(sound, kMaxSoundName);
    } else if (ve::EqualNoCase(key, "StartDirection")) {
      a.startDirection = static_cast<uint8_t>(reader.GetIntValue());
    } else if (ve::EqualNoCase(key, "EndDirection")) {
      a.endDirection = static_cast<uint8_t>(reader.GetIntValue());
    } else if (ve::EqualNoCase(key, "ShadowBobLibrary")) {
      if (reader.CopyStringValue(name, sizeof(name))) a.layers[VE_LAYER_SHADOW] = GetOrLoadBobLibrary(name);
    } else if (ve::EqualNoCase(key, "ShadowBobOffset")) {
      a.shadowBobOffset = static_cast<uint16_t>(reader.GetIntValue());
    } else if (ve::EqualNoCase(key, "CarryGoodRemapTables")) {
      a.carryGoodColours1 = reader.CopyStringValue(name, sizeof(name)) ? GetRemapTable16Id(name) : VE_NO_ID;
      a.carryGoodColours2 = reader.CopyStringValue(name, sizeof(name)) ? GetRemapTable16Id(name) : VE_NO_ID;
    } else if (ve::EqualNoCase(key, "Replays")) {
      a.replays = static_cast<uint8_t>(reader.GetIntValue());
    }
  }
  // A section without Speed plays one frame per tick instead of never advancing.
  if (a.ticksPerFrame == 0) a.ticksPerFrame = 1;

  if (a.frameCount) {
    a.frames = new uint16_t[a.frameCount];
    // Frames that no Bobs value defines repeat the last defined bob (bob 0 when there is none), so
    // the list never holds undefined numbers.
    uint16_t last = bobs.empty() ? 0 : bobs.back();
    for (uint32_t f = 0; f < a.frameCount; ++f) a.frames[f] = f < bobs.size() ? bobs[f] : last;
  }

  if (!a.name[0]) ShowWarning("VE_STATIC_DATA_MANAGER::l_LoadAnimationDescriptions: no name set");
  if (!a.layers[VE_LAYER_BODY])
    ShowWarning(
        "VE_STATIC_DATA_MANAGER::l_LoadAnimationDescriptions: AnimType %s: no body bob manager defined",
        a.name);
  if (bobs.size() < a.frameCount) {
    ShowWarning("VE_STATIC_DATA_MANAGER::l_LoadAnimationDescriptions: AnimType %s: not all frames defined",
                a.name);
  } else if (bobs.size() > a.frameCount) {
    ShowWarning(
        "VE_STATIC_DATA_MANAGER::l_LoadAnimationDescriptions: AnimType %s: %u Bobs for %u frames, the rest "
        "is "
        "dropped",
        a.name, static_cast<unsigned>(bobs.size()), static_cast<unsigned>(a.frameCount));
  }
}

bool VE_STATIC_DATA_MANAGER::l_ReadAnimationCache() {
  const std::string path = MakeDataPath(VE_ANIMATIONS_CDF);
  if (!XB_FILE::Exists(path.c_str())) return false;
  const char* what = "VE_STATIC_DATA_MANAGER::l_ReadAnimationCache";
  XB_FILE file(path.c_str(), true);
  file.RequireRemaining(4, what);
  uint32_t count = file.ReadU32();
  file.RequireRemaining(static_cast<uint64_t>(count) * kMinRecordBytes, what);
  animations = new VE_ANIMATION_DESCRIPTION[count]();
  animationCount = count;
  g_animationTable = animations;

  for (uint32_t i = 0; i < count; ++i) {
    VE_ANIMATION_DESCRIPTION& a = animations[i];
    file.RequireRemaining(kHeadBytes, what);
    file.Read(a.name, sizeof(a.name));
    a.name[sizeof(a.name) - 1] = 0;
    a.mode = file.ReadU16();
    a.speed = file.ReadU16();
    a.ticksPerFrame = file.ReadU16();
    if (a.ticksPerFrame == 0) a.ticksPerFrame = 1;  // a frame must end some time
    a.frameCount = file.ReadU16();
    a.replays = file.ReadU8();
    a.zero = file.ReadU8();
    uint16_t eventCount = file.ReadU16();
    a.startDirection = file.ReadU8();
    a.endDirection = file.ReadU8();
    a.shadowBobOffset = file.ReadU16();
    a.carryGoodColours1 = file.ReadU16();
    a.carryGoodColours2 = file.ReadU16();

    for (int layer = 0; layer < VE_LAYER_COUNT; ++layer) {
      file.RequireRemaining(1, what);
      if (!file.ReadU8()) continue;
      file.RequireRemaining(1, what);
      uint32_t length = file.ReadU8();
      file.RequireRemaining(length + 1, what);
      char name[256 + 1];
      file.Read(name, length + 1);
      name[length] = 0;
      a.layers[layer] = GetOrLoadBobLibrary(name);
    }
    file.RequireRemaining(static_cast<uint64_t>(a.frameCount) * 2, what);
    if (a.frameCount) {
      a.frames = new uint16_t[a.frameCount];
      for (uint32_t f = 0; f < a.frameCount; ++f) a.frames[f] = file.ReadU16();
    }
    file.RequireRemaining(static_cast<uint64_t>(eventCount) * 6 + 1, what);
    if (eventCount) {
      a.events = new VE_ANIMATION_EVENT[eventCount]();
      a.eventCount = eventCount;
      for (uint32_t e = 0; e < eventCount; ++e) {
        a.events[e].frame = file.ReadU16();
        a.events[e].code = file.ReadU16();
        a.events[e].value = file.ReadU16();
      }
    }
    if (file.ReadU8()) {
      file.RequireRemaining(1, what);
      uint32_t length = file.ReadU8();
      file.RequireRemaining(length, what);
      a.eventSound = new char[length + 1];
      file.Read(a.eventSound, length);
      a.eventSound[length] = 0;
    }
  }
  file.Close();
  return true;
}

void VE_STATIC_DATA_MANAGER::l_WriteAnimationCache() {
  char resolved[XB_MAX_PATH];
  if (!XB_FILE::ResolvePath(MakeDataPath(VE_ANIMATIONS_INI), resolved)) return;
  size_t length = std::strlen(resolved);
  if (length < 3) return;
  std::memcpy(resolved + length - 3, "CDF", 3);
  // As with the other caches, a directory that cannot be written only loses the speed-up.
  XB_FILE file(resolved);
  if (!file.OpenForWriting(false)) return;
  file.WriteU32(animationCount);
  for (uint32_t i = 0; i < animationCount; ++i) {
    const VE_ANIMATION_DESCRIPTION& a = animations[i];
    file.Write(a.name, sizeof(a.name));
    file.WriteU16(a.mode);
    file.WriteU16(a.speed);
    file.WriteU16(a.ticksPerFrame);
    file.WriteU16(a.frameCount);
    file.WriteU8(a.replays);
    file.WriteU8(a.zero);
    file.WriteU16(a.eventCount);
    file.WriteU8(a.startDirection);
    file.WriteU8(a.endDirection);
    file.WriteU16(a.shadowBobOffset);
    file.WriteU16(a.carryGoodColours1);
    file.WriteU16(a.carryGoodColours2);
    for (int layer = 0; layer < VE_LAYER_COUNT; ++layer) {
      const char* name = FindBobLibraryName(a.layers[layer]);
      if (!name) {
        file.WriteU8(0);
        continue;
      }
      uint8_t n = static_cast<uint8_t>(std::strlen(name));  // registry names hold at most 49
      file.WriteU8(1);
      file.WriteU8(n);
      file.Write(name, n + 1u);
    }
    for (uint32_t f = 0; f < a.frameCount; ++f) file.WriteU16(a.frames[f]);
    for (uint32_t e = 0; e < a.eventCount; ++e) {
      file.WriteU16(a.events[e].frame);
      file.WriteU16(a.events[e].code);
      file.WriteU16(a.events[e].value);
    }
    if (a.eventSound) {
      uint8_t n = static_cast<uint8_t>(std::strlen(a.eventSound));  // cut to 255 when read
      file.WriteU8(1);
      file.WriteU8(n);
      file.Write(a.eventSound, n);
    } else {
      file.WriteU8(0);
    }
  }
  file.Close();
}

void VE_STATIC_DATA_MANAGER::l_FreeAnimations() {
  for (uint32_t i = 0; i < animationCount && animations; ++i) {
    delete[] animations[i].frames;
    delete[] animations[i].events;
    delete[] animations[i].eventSound;
  }
  delete[] animations;
  if (g_animationTable == animations) g_animationTable = nullptr;
  animations = nullptr;
  animationCount = 0;
}
