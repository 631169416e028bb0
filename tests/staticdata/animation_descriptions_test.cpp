// Animation descriptions: keys, layer libraries, warnings for inconsistent sections, and the .cdf
// cache that stands in for the text on the next start.
#include <gtest/gtest.h>

#include <filesystem>

#include <cstring>

#include "graphics/xb_bob_manager.h"
#include "staticdata/ve_static_data_manager.h"
#include "tests/common/fatal_test.h"
#include "tests/staticdata/static_data_fixture.h"

namespace {

using tl_test::StaticDataTest;

std::vector<uint16_t> Frames(const VE_ANIMATION_DESCRIPTION& a) {
  return std::vector<uint16_t>(a.frames, a.frames + a.frameCount);
}

TEST_F(StaticDataTest, AnimationKeysFillTheDescription) {
  WriteStandardSet();
  VE_STATIC_DATA_MANAGER* data = Load();
  EXPECT_TRUE(warnings.empty()) << warnings[0];
  ASSERT_EQ(data->animationCount, 12u);
  EXPECT_EQ(g_animationTable, data->animations);
  const VE_ANIMATION_DESCRIPTION& walk = data->animations[0];
  EXPECT_STREQ(walk.name, "man_walk_0");
  // mode, speed, ticks per frame, frames, replays, zero, events, directions, shadow offset, colours
  const uint16_t head[] = {1, 3, 4, 3};
  EXPECT_EQ(0, std::memcmp(&walk.mode, head, sizeof(head)));
  EXPECT_EQ(Frames(walk), (std::vector<uint16_t>{1, 2, 3}));
  EXPECT_EQ(walk.replays, 1);
  EXPECT_EQ(walk.startDirection, 2);
  EXPECT_EQ(walk.endDirection, 100);
  EXPECT_EQ(walk.shadowBobOffset, 1);
  EXPECT_EQ(walk.carryGoodColours1, 0);
  EXPECT_EQ(walk.carryGoodColours2, 1);
  ASSERT_EQ(walk.eventCount, 2);
  const VE_ANIMATION_EVENT events[] = {{0, 101, 0}, {2, 101, 9}};  // a left-out value is 0
  EXPECT_EQ(0, std::memcmp(walk.events, events, sizeof(events)));
  EXPECT_STREQ(walk.eventSound, "step");
  // BobLibrary adds every layer library whose file exists.
  std::string layers;
  for (auto* l : walk.layers) layers += std::string(l ? data->FindBobLibraryName(l) : "-") + " ";
  EXPECT_EQ(layers,
            "man man_head_0 man_head_1 man_head_2 man_head_3 man_head_4 man_head_5 man_hairs_0 man_hairs_1 "
            "man_cap man_scout man_helmet0 man_helmet1 man_helmet2 man_shadow ");
  // "MAN" in another description shares the one registry record of "man".
  EXPECT_EQ(data->animations[1].layers[VE_LAYER_BODY], walk.layers[VE_LAYER_BODY]);
  EXPECT_EQ(data->animations[1].carryGoodColours1, VE_NO_ID);
  EXPECT_EQ(data->animations[1].startDirection, 100);  // no StartDirection: 100, as the cache stores it
  EXPECT_EQ(data->animations[1].layers[VE_LAYER_SHADOW], nullptr);
  // woman has no layer files: only a body.
  const VE_ANIMATION_DESCRIPTION& woman = data->animations[9];
  for (int l = 1; l < VE_LAYER_COUNT; ++l) EXPECT_EQ(woman.layers[l], nullptr);
  EXPECT_EQ(data->BobLibraryCount(), 17u);
  // BobOffset applies to the later Bobs keys of its section only.
  EXPECT_EQ(Frames(data->animations[8]), (std::vector<uint16_t>{5, 6, 7, 8}));
  EXPECT_EQ(data->animations[8].mode, 2);
  EXPECT_EQ(data->animations[11].ticksPerFrame, 12);  // speed 1
  EXPECT_EQ(data->animations[1].ticksPerFrame, 1);    // speed 12
  EXPECT_EQ(data->GetAnimationDescriptionId("MAN_IDLE"), 8);
}

TEST_F(StaticDataTest, InconsistentAnimationSectionsWarnAndStayInBounds) {
  WriteStandardSet();
  WriteData("ve_graphics\\creatures\\z_animation_descriptions.ini",
            "[AnimationType]\nName = \"five\"\nBobLibrary = \"man\"\nSpeed = 5\nFrames = 1\nBobs = 1\n"
            "[AnimationType]\nName = \"fast\"\nBobLibrary = \"man\"\nSpeed = 24\nFrames = 1\nBobs = 1\n"
            "[AnimationType]\nName = \"zero\"\nBobLibrary = \"man\"\nSpeed = 0\nFrames = 1\nBobs = 1\n"
            "[AnimationType]\nName = \"short\"\nBobLibrary = \"man\"\nSpeed = 2\nFrames = 4\nBobs = 3, 4\n"
            "[AnimationType]\nName = \"long\"\nBobLibrary = \"man\"\nSpeed = 2\nBobs = 1, 2, 3\nFrames = 2\n"
            "[AnimationType]\nBobLibrary = \"man\"\nSpeed = 2\n"
            "[AnimationType]\nName = \"bodiless\"\nSpeed = 2\nCarryGoodRemapTables = \"Nothing\"\n"
            "[AnimationType]\nName = \"" +
                std::string(70, 'n') + "\"\nBobLibrary = \"" + std::string(60, 'b') + "\"\nSpeed = 2\n" +
                "[AnimationType]\nName = \"unhurried\"\nBobLibrary = \"man\"\nFrames = 2\nBobs = 1, 2\n");
  VE_STATIC_DATA_MANAGER* data = Load();
  ASSERT_EQ(data->animationCount, 9u);
  // Without a Speed key: speed 0 as stored, one tick per frame (it plays), and no warning.
  EXPECT_EQ(data->animations[8].speed, 0);
  EXPECT_EQ(data->animations[8].ticksPerFrame, 1);
  for (const std::string& w : warnings) EXPECT_EQ(w.find("unhurried"), std::string::npos) << w;
  EXPECT_EQ(data->animations[0].ticksPerFrame, 2);  // 12 / 5
  EXPECT_EQ(data->animations[1].ticksPerFrame, 1);  // quotient 0 raised to 1
  EXPECT_EQ(data->animations[2].ticksPerFrame, 1);  // speed 0: one tick per frame
  // Frames without a Bobs value repeat the last given bob; extra Bobs are dropped.
  EXPECT_EQ(Frames(data->animations[3]), (std::vector<uint16_t>{3, 4, 4, 4}));
  EXPECT_EQ(Frames(data->animations[4]), (std::vector<uint16_t>{1, 2}));
  EXPECT_EQ(data->animations[5].frameCount, 0);
  EXPECT_EQ(data->animations[5].frames, nullptr);
  EXPECT_EQ(data->animations[6].carryGoodColours1, VE_NO_ID);
  EXPECT_EQ(data->animations[6].carryGoodColours2, VE_NO_ID);
  EXPECT_EQ(std::strlen(data->animations[7].name), 49u);
  EXPECT_EQ(data->animations[7].layers[VE_LAYER_BODY], nullptr);
  const std::string p = "VE_STATIC_DATA_MANAGER::l_LoadAnimationDescriptions: ";
  std::vector<std::string> expected = {
      p + "AnimType five - FPS 5: invalid fps",
      p + "AnimType zero - FPS 0: invalid fps",
      p + "AnimType short: not all frames defined",
      p + "AnimType long: 3 Bobs for 2 frames, the rest is dropped",
      p + "no name set",
      p + "AnimType bodiless: no body bob manager defined",
      "VE_STATIC_DATA_MANAGER::GetOrLoadBobLibrary: name " + std::string(60, 'b') +
          " is longer than 49 characters",
      p + "AnimType " + std::string(49, 'n') + ": no body bob manager defined",
  };
  // Speed 24 is not one of 1, 2, 3, 4, 6, 12 either.
  expected.insert(expected.begin() + 1, p + "AnimType fast - FPS 24: invalid fps");
  // (The walk data and creatures of the standard set then miss their animations and warn as well.)
  ASSERT_GE(warnings.size(), expected.size());
  warnings.resize(expected.size());
  EXPECT_EQ(warnings, expected);
}

TEST_F(StaticDataTest, AnimationCacheStandsInForTheText) {
  WriteStandardSet();
  Load();
  Unload();
  EXPECT_TRUE(DataExists("ve_graphics\\creatures\\z_animation_descriptions.CDF"));
  EXPECT_TRUE(DataExists("ve_graphics\\creatures\\z_animation_descriptions.cif"));
  // Edits of the text are not seen while the cache exists; removing it brings them in.
  WriteData(
      "ve_graphics\\creatures\\z_animation_descriptions.ini",
      "[AnimationType]\nName = \"man_walk_0\"\nBobLibrary = \"man\"\nSpeed = 1\nFrames = 1\nBobs = 0\n");
  VE_STATIC_DATA_MANAGER* data = Load();
  EXPECT_TRUE(data->animationsFromCache);
  EXPECT_EQ(data->animationCount, 12u);
  Unload();
  RemoveData("ve_graphics\\creatures\\z_animation_descriptions.CDF");
  warnings.clear();
  data = Load();
  EXPECT_FALSE(data->animationsFromCache);
  EXPECT_EQ(data->animationCount, 1u);
}

TEST_F(StaticDataTest, DamagedAnimationCacheIsRebuiltFromTheTextOrFatalWithoutIt) {
  WriteStandardSet();
  const uint32_t count = Load()->animationCount;
  Unload();
  const std::string cdf = "Data_V/VE_Graphics/Creatures/z_animation_descriptions.CDF";
  std::vector<uint8_t> good = dir.Read(cdf);
  std::vector<std::vector<uint8_t>> bad;
  bad.push_back(good);
  bad.back()[0] = 0xFF;                                                      // count beyond the file
  bad.push_back(std::vector<uint8_t>(good.begin(), good.begin() + 4 + 80));  // cut inside a record
  bad.push_back(good);
  bad.back()[4 + 56] = 0xFF;  // frame count of the first record beyond the file
  bad.back()[4 + 57] = 0xFF;
  bad.push_back(good);
  bad.back()[4 + 70 + 2] = 'x';  // a library that does not exist: "man" -> "xan"
  for (size_t i = 0; i < bad.size(); ++i) {
    dir.Write(cdf, bad[i]);
    warnings.clear();
    VE_STATIC_DATA_MANAGER* data = Load();
    EXPECT_FALSE(data->animationsFromCache);
    EXPECT_EQ(data->animationCount, count);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("rebuilt from the description"), std::string::npos) << warnings[0];
    // The frame list is checked whole before it is read: the warning names all 65535 frames' bytes.
    if (i == 2) {
      EXPECT_NE(warnings[0].find("needs 131070 bytes"), std::string::npos) << warnings[0];
    }
    Unload();
    EXPECT_EQ(dir.Read(cdf), good);
  }
  dir.Write(cdf, bad[0]);
  std::filesystem::remove(dir.File("Data_V/VE_Graphics/Creatures/z_animation_descriptions.ini"));
  XB_EXPECT_FATAL_THROW(Load(), "z_animation_descriptions");
  EXPECT_EQ(g_staticData, nullptr);
  EXPECT_EQ(g_animationTable, nullptr);
}

TEST_F(StaticDataTest, BobLibraryRegistry) {
  WriteStandardSet();
  VE_STATIC_DATA_MANAGER* data = Load();
  uint32_t before = data->BobLibraryCount();
  EXPECT_EQ(data->GetOrLoadBobLibrary(""), nullptr);
  EXPECT_EQ(data->GetOrLoadBobLibrary(nullptr), nullptr);
  EXPECT_EQ(data->BobLibraryCount(), before);
  EXPECT_EQ(data->GetOrLoadBobLibrary("Woman"), data->FindBobLibrary("WOMAN"));
  EXPECT_EQ(data->BobLibraryCount(), before);
  EXPECT_TRUE(VE_STATIC_DATA_MANAGER::BobLibraryExists("sheep"));
  EXPECT_FALSE(VE_STATIC_DATA_MANAGER::BobLibraryExists("goat"));
  EXPECT_EQ(data->FindBobLibrary("goat"), nullptr);
  EXPECT_EQ(data->FindBobLibraryName(nullptr), nullptr);
  XB_EXPECT_FATAL_THROW(data->GetOrLoadBobLibrary("goat"), "goat.bmd");
  EXPECT_EQ(data->BobLibraryCount(), before);
  EXPECT_STREQ(VE_STATIC_DATA_MANAGER::MakeDataPath("C:\\game\\a.ini"), "C:\\game\\a.ini");
  EXPECT_STREQ(VE_STATIC_DATA_MANAGER::MakeDataPath("ve_graphics\\a.ini"), "DATA_V\\ve_graphics\\a.ini");
}

}  // namespace
