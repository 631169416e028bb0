// The outfit rules at their edges (the helmet's job range, the helmet before the scout hat before the
// cap, creatures with no outfit at all) and the animation clock's restarts.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>

#include "graphics/xb_palette.h"
#include "staticdata/ve_animation_state.h"
#include "staticdata/ve_static_data_manager.h"
#include "tests/staticdata/static_data_fixture.h"

namespace {

using tl_test::StaticDataTest;

// A state left over from another creature: every outfit field set.
VE_ANIMATION_STATE Worn() {
  VE_ANIMATION_STATE s;
  std::memset(&s, 0, sizeof(s));
  s.headLayer = 3, s.hairOn = 1, s.hairLayer = 1, s.capOn = 1, s.scoutOn = 1, s.helmetOn = 1,
  s.helmetLayer = 2;
  return s;
}

class DressingRulesTest : public StaticDataTest {
 protected:
  void SetUp() override {
    StaticDataTest::SetUp();
    warnings.clear();
    WriteStandardSet();
    // More men: helmet wearers with master jobs around the helmet range, scouts (jobs 30 and 73) with a
    // cap flag, a helmet wearer with a scout's job, and creatures outside every outfit kind.
    std::string extra;
    auto add = [&](const std::string& name, const std::string& types, int job) {
      extra += "[CreatureType]\nName = \"" + name + "\"\nGroup = \"Men\"\nMasterType = " + types +
               "\nMasterJob = " + std::to_string(job) + "\nWalkType = \"man_walking\", 0\n";
    };
    for (int job : {78, 79, 81, 87, 88}) add("helmet" + std::to_string(job), "4, 128", job);
    add("scout30", "4, 64", 30);
    add("scout73", "4, 64", 73);
    add("helmetscout", "4, 128", 30);
    add("capped", "4, 64", 12);
    add("other", "32", 0);
    add("manwithout", "4, 32", 80);
    const std::string path = "Data_V/VE_Graphics/Creatures/z_creature_descriptions.ini";
    WriteData("ve_graphics\\creatures\\z_creature_descriptions.ini", dir.ReadText(path) + extra);
    // A colour set with one slot above 7 (28 masks to 12) and every kind of choice: the set's own slot
    // 25 (masks to 9), a window, and a window that does not exist; weights 10, 20, 30.
    const std::string sets = "Data_V/VE_Graphics/Creatures/x_random_remaps.ini";
    WriteData(
        "ve_graphics\\creatures\\x_random_remaps.ini",
        dir.ReadText(sets) +
            "[RemapRandom]\nName = \"Kinds\"\nRemapRandom = 28, 3, 25, 10, \"Red\", 20, \"Nowhere\", 30\n");
    data = Load();
  }
  VE_STATIC_DATA_MANAGER* data = nullptr;
  // Chooses the outfit of `name` from a worn state with head 4 and hair drawn.
  VE_ANIMATION_STATE Dress(const char* name) {
    VE_ANIMATION_STATE s = Worn();
    randScript = {4, 10, 1, 1};
    randCalls = 0;
    EXPECT_TRUE(ChooseOutfit(s, name)) << name;
    return s;
  }
};

TEST_F(DressingRulesTest, HelmetsBelongToMasterJobs79To87InThreeKinds) {
  for (const auto& [name, on, layer] :
       {std::tuple{"helmet78", 0, 0u}, std::tuple{"helmet79", 1, 0u}, std::tuple{"helmet81", 1, 2u},
        std::tuple{"helmet87", 1, 2u}, std::tuple{"helmet88", 0, 0u}}) {
    SCOPED_TRACE(name);
    const VE_ANIMATION_STATE s = Dress(name);
    EXPECT_EQ(s.helmetOn, on);
    EXPECT_EQ(s.helmetLayer, layer);
    EXPECT_EQ(s.headLayer, 4u);
    EXPECT_EQ(s.hairOn, 1);
    EXPECT_EQ(s.capOn + s.scoutOn, 0);
  }
}

TEST_F(DressingRulesTest, HelmetFlagComesBeforeTheScoutHatAndTheScoutHatBeforeTheCap) {
  for (const char* scout : {"scout30", "scout73"}) {
    const VE_ANIMATION_STATE s = Dress(scout);
    EXPECT_EQ(s.scoutOn, 1) << scout;
    EXPECT_EQ(s.capOn, 0) << scout;
    EXPECT_EQ(s.helmetOn, 0) << scout;
  }
  const VE_ANIMATION_STATE h = Dress("helmetscout");
  EXPECT_EQ(h.helmetOn + h.scoutOn + h.capOn, 0)
      << "a helmet wearer outside the helmet jobs goes bare-headed";
  const VE_ANIMATION_STATE c = Dress("capped");
  EXPECT_EQ(c.capOn, 1);
  EXPECT_EQ(c.scoutOn + c.helmetOn, 0);
}

TEST_F(DressingRulesTest, CreaturesOutsideEveryOutfitKindAreBareAndDrawNothing) {
  for (const char* name : {"other", "manwithout"}) {
    SCOPED_TRACE(name);
    const VE_ANIMATION_STATE s = Dress(name);
    EXPECT_EQ(randCalls, 0);
    EXPECT_EQ(s.headLayer, 0u);
    EXPECT_EQ(s.hairOn + s.capOn + s.scoutOn + s.helmetOn, 0);
    EXPECT_EQ(s.hairLayer + s.helmetLayer, 0u);
  }
  // A creature that does not exist still takes everything off.
  VE_ANIMATION_STATE s = Worn();
  EXPECT_FALSE(ChooseOutfit(s, "nobody"));
  EXPECT_EQ(s.headLayer + s.hairLayer + s.helmetLayer, 0u);
  EXPECT_EQ(s.hairOn + s.capOn + s.scoutOn + s.helmetOn, 0);
}

TEST_F(DressingRulesTest, StartingAnAnimationRestartsItsFirstFrameInFull) {
  VE_ANIMATION_STATE s = Worn();
  StartAnimation(s, 0);  // man_walk_0: 4 ticks per frame
  TickAnimation(s), TickAnimation(s);
  StartAnimation(s, 0);
  for (int i = 0; i < 3; ++i) {
    TickAnimation(s);
    EXPECT_EQ(s.frame, 0) << i;
  }
  TickAnimation(s);
  EXPECT_EQ(s.frame, 1);
  // An animation that names nothing finishes on frame 0, whatever frame the state was on.
  s.animationId = VE_NO_ID;
  s.frame = 2, s.tick = 3;
  EXPECT_FALSE(TickAnimation(s));
  EXPECT_EQ(s.playState, VE_ANIM_FINISHED);
  EXPECT_EQ(s.frame, 0);
  EXPECT_EQ(s.tick, 0);
}

TEST_F(DressingRulesTest, ColourChoicesFollowTheirCumulativeWeightsAndKinds) {
  const VE_RANDOM_REMAP* set = data->FindRandomRemap("Kinds");
  ASSERT_NE(set, nullptr);
  const XB_PALETTE_ENTRY* red = data->GetRemapTable16Colours(data->GetRemapTable16Id("Red"));
  ASSERT_NE(red, nullptr);
  XB_PALETTE start;
  for (int i = 0; i < 256; ++i) start.SetColour(i, XB_PALETTE_ENTRY::Rgb(i, 255 - i, i / 2));
  // The draw is taken modulo the total 60; a draw equal to a cumulative weight takes the next choice.
  struct Case {
    int draw;
    int kind;  // 0 own slot 9, 1 the window, 2 nothing
  };
  for (const Case& c : {Case{0, 0}, Case{9, 0}, Case{10, 1}, Case{29, 1}, Case{30, 2}, Case{59, 2},
                        Case{69, 0}, Case{70, 1}}) {
    SCOPED_TRACE("draw " + std::to_string(c.draw));
    XB_PALETTE palette;
    for (int i = 0; i < 256; ++i) palette.SetColour(i, start.GetColour(i));
    randScript = {c.draw};
    randCalls = 0;
    data->ApplyRandomRemap(*set, palette);
    EXPECT_EQ(randCalls, 1);
    for (int i = 0; i < 256; ++i) {
      XB_PALETTE_ENTRY expected = start.GetColour(i);
      if (i >= 16 * 12 && i < 16 * 13) {
        if (c.kind == 0) expected = start.GetColour(16 * 9 + i - 16 * 12);
        if (c.kind == 1) expected = red[i - 16 * 12];
      }
      ASSERT_EQ(palette.GetColour(i), expected) << i;
    }
  }
}

}  // namespace
