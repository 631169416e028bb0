// Animation descriptions: the "AnimationType" sections of z_animation_descriptions.ini and their
// binary cache z_animation_descriptions.cdf, read instead of the text whenever it exists.
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "base/xb_atomic_file.h"
#include "base/xb_error.h"
#include "base/xb_file.h"
#include "base/xb_ini_file_reader.h"
#include "graphics/xb_bob_manager.h"
#include "staticdata/application_services.h"
#include "staticdata/ve_cache_guard.h"
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

// Existence of the layer libraries probed during one text load. Hundreds of sections name the same
// body library, and each probe of a missing layer file is a failed open (on a case-sensitive file
// system a directory scan), so each name is probed once per load.
std::map<std::string, bool> g_layerExists;

bool LayerExists(const char* name) {
  std::string key(name);
  for (char& c : key) c = ve::LowerAscii(c);
  auto it = g_layerExists.find(key);
  if (it != g_layerExists.end()) return it->second;
  bool exists = VE_STATIC_DATA_MANAGER::BobLibraryExists(name);
  g_layerExists.emplace(std::move(key), exists);
  return exists;
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
  const std::string iniPath = MakeDataPath(VE_ANIMATIONS_INI);
  animationsFromCache = ve::ReadCacheOrFallBack(
      iniPath, [this] { return l_ReadAnimationCache(); }, [this] { l_FreeAnimations(); });
  if (!animationsFromCache) {
    XB_INI_FILE_READER reader(iniPath.c_str(), true);
    uint32_t count = reader.CountSections("AnimationType");
    g_layerExists.clear();
    animations = new VE_ANIMATION_DESCRIPTION[count]();
    animationCount = count;
    g_animationTable = animations;
    uint32_t i = 0;
    for (const char* s = reader.FindSection("AnimationType"); s && i < count;
         s = reader.FindNextSection("AnimationType"), ++i)
      l_ReadAnimationSection(reader, animations[i]);
    g_layerExists.clear();
    l_WriteAnimationCache();
    reader.Close();
  }
  l_IndexAnimations();
}

void VE_STATIC_DATA_MANAGER::l_IndexAnimations() {
  animationIndex_.clear();
  animationIndex_.reserve(animationCount);
  for (uint32_t i = 0; i < animationCount && i < VE_NO_ID; ++i) {
    std::string key(animations[i].name);
    for (char& c : key) c = ve::LowerAscii(c);
    animationIndex_.emplace(std::move(key), static_cast<uint16_t>(i));  // the first of a name stays
  }
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
      char layer[XB_INI_LINE_SIZE + 32];  // room for the longest suffix and number
      auto addLayer = [&](int slot) {
        if (LayerExists(layer)) a.layers[slot] = GetOrLoadBobLibrary(layer);
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

namespace {

// The cache is read into memory at once and parsed there: one read instead of one per field, and
// every count and length is checked against the bytes that are left before it is used.
class CacheReader {
 public:
  CacheReader(const uint8_t* data, size_t size, const char* path) : p_(data), left_(size), path_(path) {}
  void Need(uint64_t count) {
    if (count > left_)
      XB_FatalError(
          "VE_STATIC_DATA_MANAGER::l_ReadAnimationCache - file %s - corrupt data: needs %llu bytes, %llu "
          "left",
          XB_CutPath(path_).c_str(), static_cast<unsigned long long>(count),
          static_cast<unsigned long long>(left_));
  }
  uint8_t U8() {
    Need(1);
    --left_;
    return *p_++;
  }
  uint16_t U16() {
    Need(2);
    uint16_t v = static_cast<uint16_t>(p_[0] | p_[1] << 8);
    p_ += 2;
    left_ -= 2;
    return v;
  }
  uint32_t U32() {
    Need(4);
    uint32_t v = uint32_t{p_[0]} | uint32_t{p_[1]} << 8 | uint32_t{p_[2]} << 16 | uint32_t{p_[3]} << 24;
    p_ += 4;
    left_ -= 4;
    return v;
  }
  void Bytes(void* out, size_t count) {
    Need(count);
    std::memcpy(out, p_, count);
    p_ += count;
    left_ -= count;
  }

 private:
  const uint8_t* p_;
  size_t left_;
  const char* path_;
};

// Little-endian writer into memory; the cache is written with one call.
struct CacheWriter {
  std::vector<uint8_t> bytes;
  void U8(uint8_t v) { bytes.push_back(v); }
  void U16(uint16_t v) {
    bytes.push_back(static_cast<uint8_t>(v));
    bytes.push_back(static_cast<uint8_t>(v >> 8));
  }
  void U32(uint32_t v) {
    U16(static_cast<uint16_t>(v));
    U16(static_cast<uint16_t>(v >> 16));
  }
  void Bytes(const void* data, size_t count) {
    const uint8_t* b = static_cast<const uint8_t*>(data);
    bytes.insert(bytes.end(), b, b + count);
  }
};

}  // namespace

bool VE_STATIC_DATA_MANAGER::l_ReadAnimationCache() {
  const std::string path = MakeDataPath(VE_ANIMATIONS_CDF);
  if (!XB_FILE::Exists(path.c_str())) return false;
  std::vector<uint8_t> bytes;
  {
    XB_FILE file(path.c_str(), true);
    int32_t size = file.Size();
    bytes.resize(size > 0 ? static_cast<size_t>(size) : 0);
    if (!bytes.empty()) file.Read(bytes.data(), static_cast<uint32_t>(bytes.size()));
    file.Close();
  }
  CacheReader in(bytes.data(), bytes.size(), path.c_str());
  uint32_t count = in.U32();
  in.Need(static_cast<uint64_t>(count) * kMinRecordBytes);
  animations = new VE_ANIMATION_DESCRIPTION[count]();
  animationCount = count;
  g_animationTable = animations;

  for (uint32_t i = 0; i < count; ++i) {
    VE_ANIMATION_DESCRIPTION& a = animations[i];
    in.Need(kHeadBytes);
    in.Bytes(a.name, sizeof(a.name));
    a.name[sizeof(a.name) - 1] = 0;
    a.mode = in.U16();
    a.speed = in.U16();
    a.ticksPerFrame = in.U16();
    if (a.ticksPerFrame == 0) a.ticksPerFrame = 1;  // a frame must end some time
    a.frameCount = in.U16();
    a.replays = in.U8();
    a.zero = in.U8();
    uint16_t eventCount = in.U16();
    a.startDirection = in.U8();
    a.endDirection = in.U8();
    a.shadowBobOffset = in.U16();
    a.carryGoodColours1 = in.U16();
    a.carryGoodColours2 = in.U16();

    for (int layer = 0; layer < VE_LAYER_COUNT; ++layer) {
      if (!in.U8()) continue;
      uint32_t length = in.U8();
      char name[256 + 1];
      in.Bytes(name, length + 1);
      name[length] = 0;
      a.layers[layer] = GetOrLoadBobLibrary(name);
    }
    in.Need(static_cast<uint64_t>(a.frameCount) * 2);
    if (a.frameCount) {
      a.frames = new uint16_t[a.frameCount];
      for (uint32_t f = 0; f < a.frameCount; ++f) a.frames[f] = in.U16();
    }
    in.Need(static_cast<uint64_t>(eventCount) * 6 + 1);
    if (eventCount) {
      a.events = new VE_ANIMATION_EVENT[eventCount]();
      a.eventCount = eventCount;
      for (uint32_t e = 0; e < eventCount; ++e) {
        a.events[e].frame = in.U16();
        a.events[e].code = in.U16();
        a.events[e].value = in.U16();
      }
    }
    if (in.U8()) {
      uint32_t length = in.U8();
      in.Need(length);
      a.eventSound = new char[length + 1];
      in.Bytes(a.eventSound, length);
      a.eventSound[length] = 0;
    }
  }
  return true;
}

void VE_STATIC_DATA_MANAGER::l_WriteAnimationCache() {
  char resolved[XB_MAX_PATH];
  if (!XB_FILE::ResolvePath(MakeDataPath(VE_ANIMATIONS_INI), resolved)) return;
  size_t length = std::strlen(resolved);
  if (length < 3) return;
  std::memcpy(resolved + length - 3, "CDF", 3);
  CacheWriter out;
  out.U32(animationCount);
  for (uint32_t i = 0; i < animationCount; ++i) {
    const VE_ANIMATION_DESCRIPTION& a = animations[i];
    out.Bytes(a.name, sizeof(a.name));
    out.U16(a.mode);
    out.U16(a.speed);
    out.U16(a.ticksPerFrame);
    out.U16(a.frameCount);
    out.U8(a.replays);
    out.U8(a.zero);
    out.U16(a.eventCount);
    out.U8(a.startDirection);
    out.U8(a.endDirection);
    out.U16(a.shadowBobOffset);
    out.U16(a.carryGoodColours1);
    out.U16(a.carryGoodColours2);
    for (int layer = 0; layer < VE_LAYER_COUNT; ++layer) {
      const char* name = FindBobLibraryName(a.layers[layer]);
      if (!name) {
        out.U8(0);
        continue;
      }
      uint8_t n = static_cast<uint8_t>(std::strlen(name));  // registry names hold at most 49
      out.U8(1);
      out.U8(n);
      out.Bytes(name, n + 1u);
    }
    for (uint32_t f = 0; f < a.frameCount; ++f) out.U16(a.frames[f]);
    for (uint32_t e = 0; e < a.eventCount; ++e) {
      out.U16(a.events[e].frame);
      out.U16(a.events[e].code);
      out.U16(a.events[e].value);
    }
    if (a.eventSound) {
      uint8_t n = static_cast<uint8_t>(std::strlen(a.eventSound));  // cut to 255 when read
      out.U8(1);
      out.U8(n);
      out.Bytes(a.eventSound, n);
    } else {
      out.U8(0);
    }
  }
  // As with the other caches, a directory that cannot be written only loses the speed-up.
  // Written all at once under a temporary name, so a saver starting beside us never reads half of it.
  XB_WriteFileAtomic(resolved, out.bytes, nullptr);
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
  animationIndex_.clear();
}
