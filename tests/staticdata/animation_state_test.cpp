// Creature animation state: the animation clock, frame events, drawing with its layers, carried-good
// colours, dressing and outfits, and the queries, including calls before any static data exists.
#include <gtest/gtest.h>

#include <cstring>
#include <numeric>

#include "graphics/xb_bitmap.h"
#include "graphics/xb_palette.h"
#include "staticdata/application_services.h"
#include "staticdata/ve_animation_state.h"
#include "staticdata/ve_static_data_manager.h"
#include "tests/staticdata/static_data_fixture.h"

namespace {

using tl_test::StaticDataTest;

VE_ANIMATION_STATE Fresh() {
  VE_ANIMATION_STATE s;
  std::memset(&s, 0, sizeof(s));
  std::iota(s.colourMap, s.colourMap + 256, 0);  // identity colours: drawn pixels show bob colours
  return s;
}

TEST_F(StaticDataTest, AnimationClockFinishesAndRestarts) {
  WriteStandardSet();
  Load();
  VE_ANIMATION_STATE s = Fresh();
  // A zeroed state has never started: advancing starts its animation (id 0) and reports a restart.
  EXPECT_TRUE(AdvanceAnimation(s));
  EXPECT_EQ(s.playState, VE_ANIM_PLAYING);
  // man_walk_0: 3 frames at 4 ticks per frame: eleven times false, the twelfth call restarts.
  for (int i = 0; i < 11; ++i) {
    EXPECT_FALSE(AdvanceAnimation(s)) << i;
    EXPECT_EQ(s.frame, (i + 1) / 4);
  }
  EXPECT_TRUE(AdvanceAnimation(s));
  EXPECT_EQ(s.frame, 0);
  EXPECT_EQ(s.tick, 0);
  EXPECT_EQ(GetAnimationLength("Man", 1000, 0), 12u);
  // TickAnimation alone leaves a finished animation on its last frame.
  StartAnimation(s, 10);  // sheep_walk: 1 frame at 6 ticks
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(TickAnimation(s));
  EXPECT_FALSE(TickAnimation(s));
  EXPECT_EQ(s.playState, VE_ANIM_FINISHED);
  EXPECT_EQ(s.frame, 0);
  EXPECT_FALSE(TickAnimation(s));
  // Ids that name nothing finish at once and are never read.
  StartAnimation(s, VE_NO_ID);
  EXPECT_FALSE(TickAnimation(s));
  EXPECT_EQ(s.playState, VE_ANIM_FINISHED);
  EXPECT_TRUE(AdvanceAnimation(s));
}

TEST_F(StaticDataTest, FrameEventsFireOnceWhenTheirFrameBegins) {
  WriteStandardSet();
  Load();
  VE_ANIMATION_STATE s = Fresh();
  StartAnimation(s, 0);  // events: frame 0 and frame 2 play "step"
  RunFrameEvents(s);
  EXPECT_EQ(sounds, std::vector<std::string>{"step"});
  for (int t = 0; t < 7; ++t) {  // ticks within frames 0 and 1: nothing more
    TickAnimation(s);
    RunFrameEvents(s);
  }
  EXPECT_EQ(sounds.size(), 1u);
  TickAnimation(s);  // frame 2 begins
  RunFrameEvents(s);
  EXPECT_EQ(sounds.size(), 2u);
  RunFrameEvents(s);  // still tick 0 of the same frame: the caller runs events once per tick
  EXPECT_EQ(sounds.size(), 3u);
  StartAnimation(s, 1);  // no events
  RunFrameEvents(s);
  StartAnimation(s, VE_NO_ID);
  RunFrameEvents(s);
  EXPECT_EQ(sounds.size(), 3u);
}

class DrawTest : public StaticDataTest {
 protected:
  // Draws man_walk_0 frame 0 (bob 1) at (2, 1) on a background of 100; returns row 1.
  std::vector<uint8_t> DrawRow(const VE_ANIMATION_STATE& s) {
    XB_BITMAP bitmap(12, 3, XB_PIXELS_8);
    bitmap.Fill(100);
    DrawAnimation(s, &bitmap, 2, 1);
    return std::vector<uint8_t>(bitmap.Row(1), bitmap.Row(1) + 12);
  }
};

TEST_F(DrawTest, LayersDrawInOrderWithAtMostOneExtra) {
  WriteStandardSet();
  Load();
  VE_ANIMATION_STATE s = Fresh();
  StartAnimation(s, 0);
  s.headLayer = 2;
  // Columns from x = 2: body, head, cap, scout, helmet, hairs, shadow (bob 1 + offset 1).
  const uint8_t B = 100;
  EXPECT_EQ(DrawRow(s), (std::vector<uint8_t>{B, B, 11, 71, B, B, B, B, 50, B, B, B}));
  s.hairOn = 1;
  s.hairLayer = 1;
  EXPECT_EQ(DrawRow(s)[7], 131);
  s.capOn = 1;  // the cap beats the hair
  EXPECT_EQ(DrawRow(s), (std::vector<uint8_t>{B, B, 11, 71, 151, B, B, B, 50, B, B, B}));
  s.helmetOn = 1;
  s.helmetLayer = 2;  // the helmet beats the cap
  EXPECT_EQ(DrawRow(s), (std::vector<uint8_t>{B, B, 11, 71, B, B, 211, B, 50, B, B, B}));
  s.scoutOn = 1;  // the scout hat beats the helmet
  EXPECT_EQ(DrawRow(s), (std::vector<uint8_t>{B, B, 11, 71, B, 171, B, B, 50, B, B, B}));
  // Every layer goes through the colour map.
  s.colourMap[11] = 3;
  s.colourMap[71] = 4;
  EXPECT_EQ(DrawRow(s)[2], 3);
  EXPECT_EQ(DrawRow(s)[3], 4);
  // Layer numbers outside their libraries and animations without the layer draw nothing extra.
  s.scoutOn = 0;
  s.helmetLayer = 7;
  s.headLayer = 9;
  EXPECT_EQ(DrawRow(s), (std::vector<uint8_t>{B, B, 3, B, B, B, B, B, 50, B, B, B}));
  StartAnimation(s, 9);  // woman_walk: body only, bob 0 of "woman" is colour 80
  s.capOn = 1;
  EXPECT_EQ(DrawRow(s), (std::vector<uint8_t>{B, B, 80, B, B, B, B, B, B, B, B, B}));
}

TEST_F(DrawTest, NothingIsDrawnForIdsOrFramesThatNameNothing) {
  WriteStandardSet();
  Load();
  const std::vector<uint8_t> empty(12, 100);
  VE_ANIMATION_STATE s = Fresh();
  StartAnimation(s, VE_NO_ID);
  EXPECT_EQ(DrawRow(s), empty);
  StartAnimation(s, 12);
  EXPECT_EQ(DrawRow(s), empty);
  StartAnimation(s, 0);
  s.frame = 3;
  EXPECT_EQ(DrawRow(s), empty);
  s.frame = 0;
  DrawAnimation(s, nullptr, 0, 0);
  Unload();
  EXPECT_EQ(DrawRow(s), empty);
}

TEST_F(StaticDataTest, CarriedGoodColoursComeFromTheWindows) {
  WriteStandardSet();
  Load();
  VE_ANIMATION_STATE s = Fresh();
  ASSERT_TRUE(StartCreatureAnimation(s, "Man", 1000, 0));  // man_walk_0 carries Blue and Red
  EXPECT_EQ(s.animationId, 0);
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(s.colourMap[224 + i], 255 - (1 + i));  // Player table bytes 1..16
    EXPECT_EQ(s.colourMap[240 + i], 255 - (2 + i));  // Player table bytes 2..17
  }
  // An animation without carried-good colours leaves 224..255 as they are.
  VE_ANIMATION_STATE t = Fresh();
  ASSERT_TRUE(StartCreatureAnimation(t, "Man", 1000, 1));
  EXPECT_EQ(t.animationId, 1);
  for (int i = 224; i < 256; ++i) EXPECT_EQ(t.colourMap[i], i);
  // A failed start keeps the state's animation.
  EXPECT_FALSE(StartCreatureAnimation(t, "Man", 4242, 0));
  EXPECT_EQ(t.animationId, 1);
  EXPECT_TRUE(warnings.empty());
  EXPECT_FALSE(StartCreatureAnimation(t, "Nobody", 1000, 0));
  EXPECT_EQ(warnings,
            std::vector<std::string>{
                "VE_STATIC_DATA_MANAGER::GetCreatureDescriptionIdByName: of name Nobody not found!"});
}

TEST_F(StaticDataTest, WalkAnimationsAndQueries) {
  WriteStandardSet();
  Load();
  VE_ANIMATION_STATE s = Fresh();
  EXPECT_TRUE(StartWalkAnimation(s, "Woman", 0, 10));
  EXPECT_EQ(s.animationId, 9);
  EXPECT_TRUE(StartWalkAnimation(s, "Man", 0, 11));
  EXPECT_EQ(s.animationId, 7);
  EXPECT_TRUE(StartWalkAnimation(s, "Soldier", 3, 2));
  EXPECT_EQ(s.animationId, 9);
  EXPECT_FALSE(StartWalkAnimation(s, "Man", 5, 0));
  EXPECT_FALSE(StartWalkAnimation(s, "Man", 0, 100));
  EXPECT_EQ(s.animationId, 9);
  EXPECT_EQ(GetWalkSpeed("Man", 0), 18);
  EXPECT_EQ(GetWalkSpeed("Sheep", 0), 5);
  EXPECT_EQ(GetWalkSpeed("Man", 5), 0);
  EXPECT_TRUE(HasCreatureAnimation("sheep", 2000, 3));
  EXPECT_FALSE(HasCreatureAnimation("sheep", 1000, 3));
  EXPECT_EQ(GetAnimationLength("Man", 2000, 0), 8u);  // man_idle: 4 frames at 2 ticks
  EXPECT_EQ(GetAnimationLength("Man", 3000, 0), 0u);
  EXPECT_TRUE(warnings.empty());
  EXPECT_EQ(GetWalkSpeed("Nobody", 0), 0);
  EXPECT_FALSE(HasCreatureAnimation("Nobody", 2000, 0));
  EXPECT_EQ(GetAnimationLength("Nobody", 2000, 0), 0u);
  EXPECT_EQ(warnings.size(), 3u);
}

TEST_F(StaticDataTest, DressingBuildsTheColourMap) {
  WriteStandardSet();
  Load();
  // Man: civilian's colours first (its slot 1 from window Low = Civil colours 0..15), then the player
  // set 13 % 10 = 3, whose slot 2 draws 70 % 100 -> Red (Player colours 32..47 = greys 223..208).
  randScript = {5, 13, 70};
  VE_ANIMATION_STATE s = Fresh();
  s.animationId = VE_NO_ID;  // no carried goods
  ASSERT_TRUE(DressCreature(s, "Man"));
  EXPECT_EQ(randCalls, 3);
  for (int i = 0; i < 256; ++i) {
    int expected = i;
    if (i >= 16 && i < 32) expected = i - 16;
    if (i >= 32 && i < 48) expected = 223 - (i - 32);
    EXPECT_EQ(s.colourMap[i], expected) << i;
  }
  // A draw below 60 takes Blue (Player colours 16..31).
  randScript = {0, 3, 59};
  ASSERT_TRUE(DressCreature(s, "Man"));
  EXPECT_EQ(s.colourMap[32], 239);
  // Woman: her own table (Player, inverting) replaces everything; then her set's slot 3 is Red.
  randScript = {4, 0};
  ASSERT_TRUE(DressCreature(s, "Woman"));
  for (int i = 0; i < 256; ++i)
    EXPECT_EQ(s.colourMap[i], (i >= 48 && i < 64) ? 223 - (i - 48) : 255 - i) << i;
  // The colours are matched against the screen palette as it is now, also after it changed.
  screen->SetColour(0, XB_PALETTE_ENTRY::Rgb(255, 255, 255));  // white twice now: 0 and 255
  randScript = {4, 0};
  ASSERT_TRUE(DressCreature(s, "Woman"));
  EXPECT_EQ(s.colourMap[0], 0);    // white: the first index that has it
  EXPECT_EQ(s.colourMap[255], 1);  // black is gone; grey 1 is nearest
  EXPECT_EQ(s.colourMap[100], 155);
  // The carried-good colours of the state's animation follow.
  s.animationId = 0;
  randScript = {4, 0};
  ASSERT_TRUE(DressCreature(s, "Woman"));
  EXPECT_EQ(s.colourMap[224], 254);
  EXPECT_FALSE(DressCreature(s, "Nobody"));
}

// Civilian's colours come first only for men that carry neither 0x10 nor 0x20 as well: these two draw
// their player set at once and keep the black of the working palette outside it.
TEST_F(StaticDataTest, MenFlaggedAlso0x10Or0x20AreDressedWithoutCivilian) {
  WriteStandardSet();
  const std::string path = "Data_V/VE_Graphics/Creatures/z_creature_descriptions.ini";
  WriteData("ve_graphics\\creatures\\z_creature_descriptions.ini",
            dir.ReadText(path) +
                "[CreatureType]\nName = \"ManAnimal\"\nGroup = \"Men\"\nMasterType = 4, 16\n"
                "WalkType = \"man_walking\", 0\n"
                "[CreatureType]\nName = \"ManOther\"\nGroup = \"Men\"\nMasterType = 4, 32\n"
                "WalkType = \"man_walking\", 0\n");
  Load();
  for (const char* name : {"ManAnimal", "ManOther"}) {
    SCOPED_TRACE(name);
    // Player set 13 % 10 = 3 ("Man", as the flags have 0x04), its slot 2 draws 70 -> Red.
    randScript = {13, 70};
    randCalls = 0;
    VE_ANIMATION_STATE s = Fresh();
    s.animationId = VE_NO_ID;
    ASSERT_TRUE(DressCreature(s, name));
    EXPECT_EQ(randCalls, 2);
    const uint8_t black = s.colourMap[0];
    EXPECT_NE(black, 100);
    for (int i = 0; i < 256; ++i)
      EXPECT_EQ(s.colourMap[i], (i >= 32 && i < 48) ? 223 - (i - 32) : black) << i;
  }
}

TEST_F(StaticDataTest, DressingFailsWithoutPlayerColours) {
  WriteStandardSet();
  WriteData("ve_graphics\\creatures\\x_random_remaps.ini",
            "[RemapRandom]\nName = \"Player_0_Color_Man\"\nRemapRandom = 2, 1, \"Blue\", 0\n");
  VE_STATIC_DATA_MANAGER* data = Load();
  VE_ANIMATION_STATE s = Fresh();
  s.animationId = VE_NO_ID;
  // No set for player 1: the colour map is not touched.
  randScript = {0, 1};
  EXPECT_FALSE(DressCreature(s, "Man"));
  for (int i = 0; i < 256; ++i) ASSERT_EQ(s.colourMap[i], i);
  // A slot whose weights add up to 0 leaves its palette colours as they are (the draw still happens).
  XB_PALETTE palette;
  palette.SetColour(40, XB_PALETTE_ENTRY::Rgb(1, 2, 3));
  randCalls = 0;
  data->ApplyRandomRemap(*data->FindRandomRemap("Player_0_Color_Man"), palette);
  EXPECT_EQ(randCalls, 1);
  EXPECT_EQ(palette.GetColour(40), XB_PALETTE_ENTRY::Rgb(1, 2, 3));
  // Player 0 exists: dressing works (the zero-weight slot changes nothing).
  randScript = {0, 10};
  EXPECT_TRUE(DressCreature(s, "Man"));
  // Without a screen palette there is nothing to match against.
  VE_APPLICATION_SERVICES none;
  SetApplicationServices(none);
  EXPECT_FALSE(DressCreature(s, "Man"));
}

// A choice naming a window that does not exist colours nothing (its id, "none", must not read as
// "copy slot 15").
TEST_F(StaticDataTest, AChoiceOfAnUnknownWindowColoursNothing) {
  WriteStandardSet();
  WriteData("ve_graphics\\creatures\\x_random_remaps.ini",
            "[RemapRandom]\nName = \"Unknown\"\nRemapRandom = 2, 1, \"NoSuchWindow\", 5\n");
  VE_STATIC_DATA_MANAGER* data = Load();
  XB_PALETTE palette;
  for (int i = 0; i < 256; ++i) palette.SetColour(i, XB_PALETTE_ENTRY::Rgb(uint8_t(i), 0, 0));
  randScript = {3};
  randCalls = 0;
  data->ApplyRandomRemap(*data->FindRandomRemap("Unknown"), palette);
  EXPECT_EQ(randCalls, 1);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(palette.GetColour(i), XB_PALETTE_ENTRY::Rgb(uint8_t(i), 0, 0)) << i;
}

TEST_F(StaticDataTest, OutfitsFollowTypeFlagsAndJobs) {
  WriteStandardSet();
  Load();
  VE_ANIMATION_STATE s = Fresh();
  randScript = {7, 65};
  ASSERT_TRUE(ChooseOutfit(s, "Man"));  // man with cap flag
  EXPECT_EQ(s.headLayer, 2u);
  EXPECT_EQ(s.hairOn, 1);
  EXPECT_EQ(s.capOn, 1);
  EXPECT_EQ(s.helmetOn + s.scoutOn, 0);
  randScript = {9, 66};
  ASSERT_TRUE(ChooseOutfit(s, "Soldier"));  // helmet flag, master job 80
  EXPECT_EQ(s.headLayer, 4u);
  EXPECT_EQ(s.hairOn, 0);
  EXPECT_EQ(s.helmetOn, 1);
  EXPECT_EQ(s.helmetLayer, 1u);
  EXPECT_EQ(s.capOn, 0);
  randScript = {8, 3};
  randCalls = 0;
  ASSERT_TRUE(ChooseOutfit(s, "Woman"));
  EXPECT_EQ(randCalls, 2);
  EXPECT_EQ(s.headLayer, 0u);
  EXPECT_EQ(s.hairOn, 1);
  EXPECT_EQ(s.hairLayer, 1u);
  EXPECT_EQ(s.helmetOn, 0);
  randCalls = 0;
  ASSERT_TRUE(ChooseOutfit(s, "Sheep"));
  EXPECT_EQ(randCalls, 1);
  EXPECT_EQ(s.hairOn, 0);
  EXPECT_EQ(s.hairLayer, 0u);
  s.capOn = 1;
  EXPECT_FALSE(ChooseOutfit(s, "Nobody"));
  EXPECT_EQ(s.capOn, 0);
}

TEST(StaticDataAbsentTest, OperationsBeforeTheDataIsLoadedDoNothing) {
  ASSERT_EQ(g_staticData, nullptr);
  VE_ANIMATION_STATE s = Fresh();
  EXPECT_FALSE(StartCreatureAnimation(s, "Man", 1000, 0));
  EXPECT_FALSE(StartWalkAnimation(s, "Man", 0, 0));
  EXPECT_FALSE(DressCreature(s, "Man"));
  EXPECT_FALSE(ChooseOutfit(s, "Man"));
  EXPECT_EQ(GetWalkSpeed("Man", 0), 0);
  EXPECT_FALSE(HasCreatureAnimation("Man", 1000, 0));
  EXPECT_EQ(GetAnimationLength("Man", 1000, 0), 0u);
  EXPECT_TRUE(AdvanceAnimation(s));
  RunFrameEvents(s);
  UpdateCarryGoodColours(s);
  XB_BITMAP bitmap(4, 4, XB_PIXELS_8);
  bitmap.Fill(9);
  DrawAnimation(s, &bitmap, 1, 1);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(bitmap.GetPixels()[i], 9);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(s.colourMap[i], i);
}

TEST(ApplicationServicesTest, PortableRandFollowsTheWindowsRuntimeSequence) {
  ResetApplicationServices();
  SeedPortableRand(1);
  const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
  for (int e : expected) EXPECT_EQ(ApplicationRand(), e);
  SeedPortableRand(12345);
  int first = PortableRand();
  SeedPortableRand(12345);
  EXPECT_EQ(PortableRand(), first);
  // Defaults: no palette, cues ignored; warnings are counted and kept.
  EXPECT_EQ(ApplicationPalette(), nullptr);
  ApplicationSoundCue("step");
  ResetShownWarningCount();
  testing::internal::CaptureStderr();
  ShowWarning("VE_STATIC_DATA_MANAGER::Test: %s", std::string(1200, 'x').c_str());
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(ShownWarningCount(), 1u);
  EXPECT_EQ(std::strlen(LastShownWarning()), static_cast<size_t>(VE_WARNING_BUFFER_SIZE - 1));
  EXPECT_NE(err.find("VE_STATIC_DATA_MANAGER::Test: xxx"), std::string::npos);
}

}  // namespace
