// The two binary caches of the static data (remaptables.cdf and z_animation_descriptions.cdf) as bytes
// laid down by hand: what the loader writes after parsing the text must be exactly the published
// layout of what it parsed, and a cache written by hand to that layout must load as what it says.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "graphics/xb_bob_manager.h"
#include "graphics/xb_palette.h"
#include "staticdata/ve_descriptions.h"
#include "staticdata/ve_static_data_manager.h"
#include "tests/common/byte_layout.h"
#include "tests/staticdata/static_data_fixture.h"

namespace {

using tl_test::Bytes;
using tl_test::StaticDataTest;
using tl_test::U16;
using tl_test::U32;
using tl_test::U8;
// A fixed-width, NUL-padded name field.
void Name(Bytes& b, const char* name, size_t width) {
  const size_t n = std::strlen(name);
  EXPECT_LT(n, width);
  b.insert(b.end(), name, name + n);
  b.insert(b.end(), width - n, 0);
}
void Raw(Bytes& b, const uint8_t* p, size_t n) {
  b.insert(b.end(), p, p + n);
}

const char* const kRemapCache = "ve_graphics\\remaptables\\remaptables.cdf";
const char* const kAnimationCache = "ve_graphics\\creatures\\z_animation_descriptions.cdf";

// The remap cache as laid out: table count; per table its 30-byte name, the remap table framed as
// class 55 (256 bytes) and its palette framed as class 50 (1024 bytes); window count; per window its
// 30-byte name, table id and start.
Bytes RemapCache(const VE_STATIC_DATA_MANAGER& data) {
  Bytes b;
  U32(b, data.remapTableCount);
  for (uint32_t i = 0; i < data.remapTableCount; ++i) {
    const VE_REMAP_TABLE_ENTRY& t = data.remapTables[i];
    Name(b, t.name, 30);
    U16(b, 55), U16(b, 0);
    Raw(b, t.remapTable->GetData(), 256);
    U16(b, 50), U16(b, 0);
    Raw(b, reinterpret_cast<const uint8_t*>(t.palette->GetColours()), 1024);
  }
  U32(b, data.remapTable16Count);
  for (uint32_t i = 0; i < data.remapTable16Count; ++i) {
    const VE_REMAP_TABLE16_ENTRY& w = data.remapTables16[i];
    Name(b, w.name, 30);
    U16(b, w.tableId), U16(b, w.start);
  }
  return b;
}

// The animation cache as laid out: count, then per description the 70-byte fixed head, 15 library
// references (present flag, length, name with its NUL), the frames, the events and the event sound.
Bytes AnimationCache(const VE_STATIC_DATA_MANAGER& data) {
  Bytes b;
  U32(b, data.animationCount);
  for (uint32_t i = 0; i < data.animationCount; ++i) {
    const VE_ANIMATION_DESCRIPTION& a = data.animations[i];
    Name(b, a.name, 50);
    U16(b, a.mode), U16(b, a.speed), U16(b, a.ticksPerFrame), U16(b, a.frameCount);
    U8(b, a.replays), U8(b, 0);
    U16(b, a.eventCount);
    U8(b, a.startDirection), U8(b, a.endDirection);
    U16(b, a.shadowBobOffset), U16(b, a.carryGoodColours1), U16(b, a.carryGoodColours2);
    for (int layer = 0; layer < 15; ++layer) {
      const char* library = a.layers[layer] ? data.FindBobLibraryName(a.layers[layer]) : nullptr;
      U8(b, library ? 1 : 0);
      if (!library) continue;
      U8(b, static_cast<uint32_t>(std::strlen(library)));
      Raw(b, reinterpret_cast<const uint8_t*>(library), std::strlen(library) + 1);
    }
    for (uint32_t f = 0; f < a.frameCount; ++f) U16(b, a.frames[f]);
    for (uint32_t e = 0; e < a.eventCount; ++e) {
      U16(b, a.events[e].frame), U16(b, a.events[e].code), U16(b, a.events[e].value);
    }
    U8(b, a.eventSound ? 1 : 0);
    if (a.eventSound) {
      U8(b, static_cast<uint32_t>(std::strlen(a.eventSound)));
      Raw(b, reinterpret_cast<const uint8_t*>(a.eventSound), std::strlen(a.eventSound));
    }
  }
  return b;
}

TEST_F(StaticDataTest, CachesWrittenAfterParsingFollowTheByteLayout) {
  WriteStandardSet();
  const VE_STATIC_DATA_MANAGER* data = Load();
  ASSERT_FALSE(data->remapTablesFromCache);
  ASSERT_FALSE(data->animationsFromCache);
  ASSERT_GE(data->remapTable16Count, 3u);
  const Bytes remap = RemapCache(*data), animations = AnimationCache(*data);
  bool anyEvent = false, anySound = false, anyLayer = false;
  for (uint32_t i = 0; i < data->animationCount; ++i) {
    anyEvent |= data->animations[i].eventCount > 0;
    anySound |= data->animations[i].eventSound != nullptr;
    anyLayer |= data->animations[i].layers[14] != nullptr;
  }
  EXPECT_TRUE(anyEvent && anySound && anyLayer) << "the set exercises every optional part";
  Unload();
  EXPECT_EQ(dir.Read("Data_V/VE_Graphics/RemapTables/remaptables.CDF"), remap);
  EXPECT_EQ(dir.Read("Data_V/VE_Graphics/Creatures/z_animation_descriptions.CDF"), animations);
}

TEST_F(StaticDataTest, HandMadeRemapCacheLoadsAsItSays) {
  WriteStandardSet();
  // Three tables with distinct bytes and colours, three windows; the names the standard set uses.
  Bytes b;
  U32(b, 3);
  const char* tables[3] = {"Shadow", "Player", "Civil"};
  for (int t = 0; t < 3; ++t) {
    Name(b, tables[t], 30);
    U16(b, 55), U16(b, 0);
    for (int i = 0; i < 256; ++i) U8(b, (i * (t + 3) + t) & 255);
    U16(b, 50), U16(b, 0);
    for (int i = 0; i < 256; ++i) U8(b, i), U8(b, 255 - i), U8(b, (i + 64 * t) & 255), U8(b, 0);
  }
  U32(b, 3);
  Name(b, "Blue", 30), U16(b, 1), U16(b, 1);
  Name(b, "Red", 30), U16(b, 1), U16(b, 200);
  Name(b, "Low", 30), U16(b, 2), U16(b, 0);
  WriteDataBytes(kRemapCache, b);

  const VE_STATIC_DATA_MANAGER* data = Load();
  ASSERT_TRUE(data->remapTablesFromCache);
  ASSERT_EQ(data->remapTableCount, 3u);
  for (int t = 0; t < 3; ++t) {
    SCOPED_TRACE(tables[t]);
    EXPECT_STREQ(data->remapTables[t].name, tables[t]);
    const uint8_t* bytes = data->remapTables[t].remapTable->GetData();
    for (int i = 0; i < 256; ++i) ASSERT_EQ(bytes[i], (i * (t + 3) + t) & 255) << i;
    const auto* colours = reinterpret_cast<const uint8_t*>(data->remapTables[t].palette->GetColours());
    EXPECT_EQ(colours[4 * 10 + 0], 10) << "blue first";
    EXPECT_EQ(colours[4 * 10 + 1], 245);
    EXPECT_EQ(colours[4 * 10 + 2], (10 + 64 * t) & 255);
  }
  ASSERT_EQ(data->remapTable16Count, 3u);
  EXPECT_STREQ(data->remapTables16[1].name, "Red");
  EXPECT_EQ(data->remapTables16[1].tableId, 1);
  EXPECT_EQ(data->remapTables16[1].start, 200);
  EXPECT_EQ(data->remapTables16[1].window, data->remapTables[1].remapTable->GetData() + 200);
  EXPECT_EQ(data->remapTables16[2].window, data->remapTables[2].remapTable->GetData());
  EXPECT_EQ(g_shadowTable, data->remapTables[0].remapTable);
}

TEST_F(StaticDataTest, HandMadeAnimationCacheLoadsAsItSays) {
  WriteStandardSet();
  Load();  // the text once, so that the remap cache and the libraries exist as usual
  Unload();
  Bytes b;
  U32(b, 2);
  // 1: "hand_walk": mode 2, speed 4, 3 ticks a frame, 3 frames, replays 5, 2 events, directions 1
  // and 4, shadow offset 7, carried-good windows 1 and none; body "man" and shadow "man_shadow"
  // libraries; frames 9, 8, 7; events (0, 2, 101) and (2, 3, 0); sound "hammer".
  Name(b, "hand_walk", 50);
  U16(b, 2), U16(b, 4), U16(b, 3), U16(b, 3), U8(b, 5), U8(b, 0), U16(b, 2), U8(b, 1), U8(b, 4);
  U16(b, 7), U16(b, 1), U16(b, 0xFFFF);
  auto library = [&](const char* name) {
    U8(b, 1), U8(b, static_cast<uint32_t>(std::strlen(name)));
    Raw(b, reinterpret_cast<const uint8_t*>(name), std::strlen(name) + 1);
  };
  library("man");
  for (int layer = 1; layer < 14; ++layer) U8(b, 0);
  library("man_shadow");
  U16(b, 9), U16(b, 8), U16(b, 7);
  U16(b, 0), U16(b, 2), U16(b, 101), U16(b, 2), U16(b, 3), U16(b, 0);
  U8(b, 1), U8(b, 6), Raw(b, reinterpret_cast<const uint8_t*>("hammer"), 6);
  // 2: "hand_idle": one frame, no events, no sound, body only.
  Name(b, "hand_idle", 50);
  U16(b, 1), U16(b, 12), U16(b, 1), U16(b, 1), U8(b, 0), U8(b, 0), U16(b, 0), U8(b, 100), U8(b, 100);
  U16(b, 0), U16(b, 0xFFFF), U16(b, 0xFFFF);
  library("man");
  for (int layer = 1; layer < 15; ++layer) U8(b, 0);
  U16(b, 4);
  U8(b, 0);
  RemoveData("ve_graphics\\creatures\\z_animation_descriptions.CDF");
  WriteDataBytes(kAnimationCache, b);

  const VE_STATIC_DATA_MANAGER* data = Load();
  ASSERT_TRUE(data->animationsFromCache);
  ASSERT_EQ(data->animationCount, 2u);
  const VE_ANIMATION_DESCRIPTION& walk = data->animations[0];
  EXPECT_STREQ(walk.name, "hand_walk");
  EXPECT_EQ(walk.mode, 2);
  EXPECT_EQ(walk.speed, 4);
  EXPECT_EQ(walk.ticksPerFrame, 3);
  EXPECT_EQ(walk.frameCount, 3);
  EXPECT_EQ(walk.replays, 5);
  EXPECT_EQ(walk.eventCount, 2);
  EXPECT_EQ(walk.startDirection, 1);
  EXPECT_EQ(walk.endDirection, 4);
  EXPECT_EQ(walk.shadowBobOffset, 7);
  EXPECT_EQ(walk.carryGoodColours1, 1);
  EXPECT_EQ(walk.carryGoodColours2, 0xFFFF);
  EXPECT_EQ(walk.layers[0], data->FindBobLibrary("man"));
  EXPECT_NE(walk.layers[0], nullptr);
  for (int layer = 1; layer < 14; ++layer) EXPECT_EQ(walk.layers[layer], nullptr) << layer;
  EXPECT_EQ(walk.layers[14], data->FindBobLibrary("man_shadow"));
  EXPECT_NE(walk.layers[14], nullptr);
  ASSERT_NE(walk.frames, nullptr);
  EXPECT_EQ(walk.frames[0], 9);
  EXPECT_EQ(walk.frames[2], 7);
  ASSERT_NE(walk.events, nullptr);
  EXPECT_EQ(walk.events[0].frame, 0);
  EXPECT_EQ(walk.events[0].code, 2);
  EXPECT_EQ(walk.events[0].value, 101);
  EXPECT_EQ(walk.events[1].frame, 2);
  EXPECT_EQ(walk.events[1].code, 3);
  EXPECT_STREQ(walk.eventSound, "hammer");
  const VE_ANIMATION_DESCRIPTION& idle = data->animations[1];
  EXPECT_STREQ(idle.name, "hand_idle");
  EXPECT_EQ(idle.speed, 12);
  EXPECT_EQ(idle.eventCount, 0);
  EXPECT_EQ(idle.frames[0], 4);
  EXPECT_EQ(idle.eventSound, nullptr);
  EXPECT_EQ(data->GetAnimationDescriptionId("HAND_IDLE"), 1);
}

}  // namespace
