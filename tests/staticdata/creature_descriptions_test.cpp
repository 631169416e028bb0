// Walk-data and creature descriptions, groups, master jobs, random colour sets and the record
// capacities; and the second load of an unchanged directory, which must give identical tables.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <sstream>

#include "graphics/xb_palette.h"
#include "staticdata/ve_static_data_manager.h"
#include "tests/staticdata/static_data_fixture.h"

namespace {

using tl_test::StaticDataTest;

TEST_F(StaticDataTest, WalkDataDescriptions) {
  WriteStandardSet();
  VE_STATIC_DATA_MANAGER* data = Load();
  ASSERT_EQ(data->walkDataCount, 3);
  const VE_WALKDATA_DESCRIPTION& man = data->walkData[0];
  for (int d = 0; d < 6; ++d) EXPECT_EQ(man.walkAnimations[d], d);
  EXPECT_EQ(man.hasVertical, 1);
  EXPECT_EQ(data->GetWalkAnimation(0, 10), 6);
  EXPECT_EQ(data->GetWalkAnimation(0, 11), 7);
  ASSERT_EQ(man.waitCount, 3);
  EXPECT_EQ(man.wait[0].perDirection, 0);
  EXPECT_EQ(man.wait[0].ids[0], 11);
  EXPECT_EQ(man.wait[1].perDirection, 0);
  EXPECT_EQ(man.wait[1].ids[0], 8);
  EXPECT_EQ(man.wait[2].perDirection, 1);
  EXPECT_EQ(man.wait[2].ids[5], 5);
  EXPECT_EQ(man.waitTicks, 60);
  EXPECT_EQ(man.walkSpeed, 18);
  EXPECT_EQ(man.turnSpeed, 3);
  // Without vertical animations direction 10 walks as 5 and 11 as 1; a missing WaitTicks keeps 120.
  const VE_WALKDATA_DESCRIPTION& woman = data->walkData[1];
  EXPECT_EQ(woman.hasVertical, 0);
  EXPECT_EQ(woman.waitTicks, 120);
  EXPECT_EQ(data->GetWalkAnimation(1, 10), woman.walkAnimations[5]);
  EXPECT_EQ(data->GetWalkAnimation(1, 11), woman.walkAnimations[1]);
  EXPECT_EQ(data->GetWalkAnimation(1, 100), VE_NO_ID);
  EXPECT_EQ(data->GetWalkAnimation(VE_NO_ID, 0), VE_NO_ID);
  EXPECT_EQ(data->GetWalkData(3), nullptr);  // one past the last record is no record
  const VE_WALKDATA_DESCRIPTION& sheep = data->walkData[2];
  EXPECT_EQ(sheep.hasTurnFrames, 1);
  EXPECT_EQ(sheep.turnLibraries[0], data->FindBobLibrary("sheep"));
  EXPECT_EQ(sheep.turnValues[5], 6);
  EXPECT_EQ(data->l_GetWalkDataDescriptionId("SHEEP_walking"), 2);
  EXPECT_TRUE(warnings.empty());
  EXPECT_EQ(data->l_GetWalkDataDescriptionId("goat_walking"), VE_NO_ID);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0], "VE_STATIC_DATA_MANAGER::l_GetWalkDataDescriptionId: goat_walking not found!");
}

TEST_F(StaticDataTest, CreatureDescriptionsGroupsAndJobs) {
  WriteStandardSet();
  VE_STATIC_DATA_MANAGER* data = Load();
  ASSERT_EQ(data->creatureCount, 5);
  // Groups Men, men, Women, MEN, Animals: three names in order of first appearance.
  ASSERT_EQ(data->groupCount, 3);
  EXPECT_STREQ(data->groupNames[0], "Men");
  EXPECT_STREQ(data->groupNames[1], "Women");
  EXPECT_STREQ(data->groupNames[2], "Animals");
  const uint16_t groups[] = {0, 0, 1, 0, 2};
  for (int c = 0; c < 5; ++c) EXPECT_EQ(data->creatures[c].groupId, groups[c]) << c;

  const VE_CREATURE_DESCRIPTION& civilian = data->creatures[0];
  EXPECT_EQ(civilian.typeFlags, 4);  // through #define MAN
  EXPECT_EQ(civilian.remapTable, 2);
  ASSERT_EQ(civilian.ownColours.slotCount, 1);
  EXPECT_EQ(civilian.ownColours.slots[0].slot, 1);
  EXPECT_EQ(civilian.ownColours.slots[0].choices[0], 2);

  const VE_CREATURE_DESCRIPTION& man = data->creatures[1];
  EXPECT_EQ(man.typeFlags, 0x44);
  EXPECT_EQ(man.remapTable, VE_NO_ID);
  EXPECT_EQ(man.size, 170);
  EXPECT_EQ(man.masterJob, 12);
  EXPECT_EQ(man.jobLevel, 2);
  EXPECT_EQ(man.walkRange, 40);
  const uint16_t allowed[10] = {3, 5, 7, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF};
  EXPECT_EQ(0, std::memcmp(man.allowedJobTypes, allowed, sizeof(allowed)));
  EXPECT_EQ(man.forbiddenJobTypes[0], VE_NO_ID);
  EXPECT_EQ(man.educatedJobType, VE_NO_ID);
  ASSERT_EQ(man.animationCount, 2);
  EXPECT_EQ(man.animations[0].perDirection, 0);
  EXPECT_EQ(man.animations[0].key, 2000);
  EXPECT_EQ(man.animations[0].value, 7);
  // An AnimationX entry answers direction 10 with its sixth id and 11 with its third.
  EXPECT_EQ(data->FindCreatureAnimation(&man, 1000, 10), 5);
  EXPECT_EQ(data->FindCreatureAnimation(&man, 1000, 11), 2);
  EXPECT_EQ(data->FindCreatureAnimation(&man, 1000, 3), 3);
  EXPECT_EQ(data->FindCreatureAnimation(&man, 1000, 100), VE_NO_ID);
  EXPECT_EQ(data->FindCreatureAnimation(&man, 2000, 4), 8);
  EXPECT_EQ(data->FindCreatureAnimation(&man, 2001, 0), VE_NO_ID);
  EXPECT_EQ(data->FindCreatureAnimation(nullptr, 2000, 0), VE_NO_ID);

  const VE_CREATURE_DESCRIPTION& woman = data->creatures[2];
  EXPECT_EQ(woman.size, 150);
  EXPECT_EQ(woman.remapTable, 1);
  EXPECT_EQ(woman.forbiddenJobTypes[0], 9);
  EXPECT_EQ(woman.forbiddenJobTypes[1], VE_NO_ID);
  EXPECT_EQ(woman.educatedJobType, 4);

  const VE_CREATURE_DESCRIPTION& soldier = data->creatures[3];
  EXPECT_EQ(soldier.typeFlags, 0x84);
  EXPECT_EQ(data->FindWalkData(&soldier, 3), 1);
  EXPECT_EQ(data->FindWalkData(&soldier, 0), 0);
  EXPECT_EQ(data->FindWalkData(&soldier, 7), VE_NO_ID);
  for (int j = 0; j < VE_MASTER_JOB_COUNT; ++j)
    EXPECT_EQ(data->masterJobMap[j], j == 12 ? 1 : j == 80 ? 3 : VE_NO_ID) << j;
  EXPECT_EQ(data->GetCreatureDescriptionIdByName("SOLDIER"), 3);

  // Colour sets: 10 players, man and woman each.
  ASSERT_EQ(data->randomRemapCount, 20u);
  const VE_RANDOM_REMAP* set = data->FindRandomRemap("player_3_color_man");
  ASSERT_NE(set, nullptr);
  ASSERT_EQ(set->slotCount, 1);
  const VE_RANDOM_REMAP_SLOT& slot = set->slots[0];
  EXPECT_EQ(slot.slot, 2);
  EXPECT_EQ(slot.choiceCount, 2);
  EXPECT_EQ(slot.choices[0], 0);
  EXPECT_EQ(slot.choices[1], 1);
  EXPECT_EQ(slot.cumulativeWeights[0], 60);
  EXPECT_EQ(slot.cumulativeWeights[1], 100);
  EXPECT_EQ(slot.totalWeight, 100);
  EXPECT_EQ(data->FindRandomRemap("Player_10_Color_Man"), nullptr);
  EXPECT_TRUE(warnings.empty());
}

// A one-character slip, a '.' where a number belongs, reads as 0 in every number list the loaders
// read; the start goes on (it once looped for ever) and the well-formed values stay as written.
TEST_F(StaticDataTest, ALoneDotInANumberListReadsAsZeroAndLoadingGoesOn) {
  WriteStandardSet();
  WriteData("ve_graphics\\creatures\\z_creature_descriptions.ini",
            "[CreatureType]\nName = \"Dotty\"\nMasterType = .\nMasterType = 4, .\nWalkOn = .\n"
            "AllowsJobType = 3, .\nForbidsJobType = .\nMasterJob = 12\n");
  WriteData("ve_graphics\\creatures\\z_animation_descriptions.ini",
            "[AnimationType]\nName = \"dots\"\nBobLibrary = \"man\"\nSpeed = 12\nFrames = 2\n"
            "Bobs = 5, .\n");
  VE_STATIC_DATA_MANAGER* data = Load();
  ASSERT_EQ(data->creatureCount, 1);
  const VE_CREATURE_DESCRIPTION& c = data->creatures[0];
  EXPECT_EQ(c.typeFlags, 4);
  EXPECT_EQ(c.walkOnFlags, 0);
  EXPECT_EQ(c.allowedJobTypes[0], 3);
  EXPECT_EQ(c.allowedJobTypes[1], 0);
  EXPECT_EQ(c.allowedJobTypes[2], VE_NO_ID);
  EXPECT_EQ(c.forbiddenJobTypes[0], 0);
  EXPECT_EQ(c.forbiddenJobTypes[1], VE_NO_ID);
  EXPECT_EQ(c.masterJob, 12);
  ASSERT_EQ(data->animationCount, 1u);
  ASSERT_EQ(data->animations[0].frameCount, 2);
  EXPECT_EQ(data->animations[0].frames[0], 5);
  EXPECT_EQ(data->animations[0].frames[1], 0);
  for (const std::string& w : warnings) EXPECT_EQ(w.find("Bobs for"), std::string::npos) << w;
}

TEST_F(StaticDataTest, DescriptionsBeyondTheRecordCapacitiesAreWarnedAndSkipped) {
  WriteStandardSet();
  std::string creature = "[CreatureType]\nName = \"Crowd\"\n";
  for (int i = 0; i < 31; ++i) creature += "WalkType = \"man_walking\", " + std::to_string(i) + "\n";
  for (int i = 0; i < 11; ++i) creature += "Animation = \"man_idle\", " + std::to_string(2000 + i) + ", 0\n";
  creature +=
      "AllowsJobType = 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11\nForbidsJobType = 1, 2, 3\nMasterJob = 200\n";
  creature += "RemapRandom = 17, 13";
  for (int i = 0; i < 13; ++i) creature += ", " + std::to_string(i) + ", 1";
  creature += "\nRemapRandom = 4, 3, \"Blue\", 5\nRemapRandom = 5, 1, \"Nothing\", 5, 7\n";
  // A second creature with colours of its own: the sanitizer build sees each creature's set released.
  creature += "[CreatureType]\nName = \"Second\"\nRemapRandom = 1, 1, \"Blue\", 5\n";
  WriteData("ve_graphics\\creatures\\z_creature_descriptions.ini", creature);
  WriteData(
      "ve_graphics\\creatures\\z_walkdata_descriptions.ini",
      "[WalkDataType]\nName = \"man_walking\"\nWaitAnimation = \"man_wait\"\nWaitAnimation = \"man_wait\"\n"
      "WaitAnimation = \"man_wait\"\nWaitAnimationX = \"man_wait\"\nWalkAnimation = \"gone\"\n");
  VE_STATIC_DATA_MANAGER* data = Load();
  const VE_CREATURE_DESCRIPTION& c = data->creatures[0];
  EXPECT_EQ(c.walkKindCount, VE_MAX_WALK_KINDS);
  EXPECT_EQ(c.walkKinds[29].walkKind, 29);
  EXPECT_EQ(c.animationCount, VE_MAX_CREATURE_ANIMATIONS);
  EXPECT_EQ(c.animations[9].key, 2009);
  EXPECT_EQ(c.allowedJobTypes[9], 10);
  EXPECT_EQ(c.forbiddenJobTypes[1], 2);
  EXPECT_EQ(c.masterJob, 0);
  ASSERT_EQ(c.ownColours.slotCount, 3);
  const VE_RANDOM_REMAP_SLOT& many = c.ownColours.slots[0];
  EXPECT_EQ(many.slot, 1);  // 17 masked to 4 bits
  EXPECT_EQ(many.choiceCount, VE_MAX_CHOICES);
  EXPECT_EQ(many.choices[11], VE_CHOICE_OWN_SLOT + 11);
  EXPECT_EQ(many.totalWeight, 12);
  // A line that announces more pairs than it holds ends with its last pair.
  EXPECT_EQ(c.ownColours.slots[1].choiceCount, 1);
  EXPECT_EQ(c.ownColours.slots[1].totalWeight, 5);
  EXPECT_EQ(c.ownColours.slots[2].choices[0], VE_NO_ID);  // unknown window, no warning
  EXPECT_EQ(data->walkData[0].waitCount, VE_MAX_WAIT_ENTRIES);
  EXPECT_EQ(data->walkData[0].walkAnimations[0], VE_NO_ID);
  auto count = [&](const std::string& text) {
    int n = 0;
    for (const std::string& w : warnings) n += w.find(text) != std::string::npos;
    return n;
  };
  EXPECT_EQ(count("more than 3 wait animations, WaitAnimationX ignored"), 1);
  EXPECT_EQ(count("GetAnimationDescriptionId: gone not found!"), 1);
  EXPECT_EQ(count("GetAnimationDescriptionId:  not found!"), 5);  // the five missing names of the line
  EXPECT_EQ(count("CreatureType Crowd: more than 30 WalkType keys"), 1);
  EXPECT_EQ(count("CreatureType Crowd: more than 10 Animation and AnimationX keys"), 1);
  EXPECT_EQ(count("CreatureType Crowd: more than 10 AllowsJobType values"), 1);
  EXPECT_EQ(count("CreatureType Crowd: more than 2 ForbidsJobType values"), 1);
  EXPECT_EQ(count("CreatureType Crowd: MasterJob 200 is not below 200"), 1);
  EXPECT_EQ(count("Crowd: RemapRandom slot 1 has 13 choices, only 12 are used"), 1);
}

// Every field of every table as text, library references by their registered names.
std::string Snapshot(const VE_STATIC_DATA_MANAGER& d) {
  std::ostringstream o;
  auto lib = [&](const XB_BOB_MANAGER* l) { return std::string(l ? d.FindBobLibraryName(l) : "-"); };
  auto bytes = [&](const void* p, size_t n) {
    const uint8_t* b = static_cast<const uint8_t*>(p);
    for (size_t i = 0; i < n; ++i) o << int(b[i]) << ',';
    o << '\n';
  };
  auto slots = [&](const VE_RANDOM_REMAP& s) {
    o << s.name << ' ' << s.slotCount << '\n';
    bytes(s.slots, s.slotCount * sizeof(VE_RANDOM_REMAP_SLOT));
  };
  for (uint32_t i = 0; i < d.remapTableCount; ++i) {
    o << "T " << d.remapTables[i].name << '\n';
    bytes(d.remapTables[i].remapTable->GetData(), 256);
    bytes(d.remapTables[i].palette->GetColours(), 1024);
  }
  for (uint32_t i = 0; i < d.remapTable16Count; ++i) {
    const VE_REMAP_TABLE16_ENTRY& w = d.remapTables16[i];
    o << "W " << w.name << ' ' << w.tableId << ' ' << w.start << ' '
      << (w.window ? w.window - d.remapTables[w.tableId].remapTable->GetData() : -1) << '\n';
  }
  for (uint32_t i = 0; i < d.animationCount; ++i) {
    const VE_ANIMATION_DESCRIPTION& a = d.animations[i];
    o << "A ";
    bytes(&a, 70);  // the fixed head, name included
    for (auto* l : a.layers) o << lib(l) << ' ';
    bytes(a.frames, a.frameCount * 2u);
    bytes(a.events, a.eventCount * sizeof(VE_ANIMATION_EVENT));
    o << (a.eventSound ? a.eventSound : "(none)") << '\n';
  }
  for (uint16_t i = 0; i < d.walkDataCount; ++i) {
    VE_WALKDATA_DESCRIPTION w;
    std::memcpy(&w, &d.walkData[i], sizeof(w));  // padding included
    o << "D " << lib(w.turnLibraries[0]) << ' ' << lib(w.turnLibraries[1]) << '\n';
    w.turnLibraries[0] = w.turnLibraries[1] = nullptr;
    bytes(&w, sizeof(w));
  }
  for (uint16_t i = 0; i < d.creatureCount; ++i) {
    VE_CREATURE_DESCRIPTION c;
    std::memcpy(&c, &d.creatures[i], sizeof(c));
    slots(c.ownColours);
    c.ownColours.slots = nullptr;
    bytes(&c, sizeof(c));
  }
  for (uint16_t i = 0; i < d.groupCount; ++i) o << "G " << d.groupNames[i] << '\n';
  bytes(d.masterJobMap, sizeof(d.masterJobMap));
  for (uint32_t i = 0; i < d.randomRemapCount; ++i) slots(d.randomRemaps[i]);
  o << "libraries " << d.BobLibraryCount() << '\n';
  return o.str();
}

TEST_F(StaticDataTest, SecondLoadOfAnUnchangedDirectoryGivesIdenticalTablesAndIds) {
  WriteStandardSet();
  const std::string first = Snapshot(*Load());
  Unload();
  VE_STATIC_DATA_MANAGER* data = Load();
  EXPECT_TRUE(data->remapTablesFromCache);
  EXPECT_TRUE(data->animationsFromCache);
  EXPECT_EQ(Snapshot(*data), first);
  Unload();
  // With only the caches left (every text removed), the data is still the same.
  for (const char* f :
       {"ve_graphics\\remaptables\\remaptables.ini", "ve_graphics\\creatures\\z_animation_descriptions.ini",
        "ve_graphics\\creatures\\z_walkdata_descriptions.ini",
        "ve_graphics\\creatures\\z_creature_descriptions.ini", "ve_graphics\\creatures\\x_random_remaps.ini"})
    RemoveData(f);
  EXPECT_EQ(Snapshot(*Load()), first);
  EXPECT_TRUE(warnings.empty());
}

}  // namespace
