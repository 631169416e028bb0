// The description commands of tillands-assets (ini, cdf, remap, data), run as a program the way a
// modder runs them.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/common/synthetic_world.h"
#include "tests/common/temp_dir.h"
#include "tests/tools/image_tool_support.h"

namespace {

namespace fs = std::filesystem;

using asset_test::Result;

class DescriptionCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(asset_test::ToolPath()))
      GTEST_SKIP() << "tillands-assets not built at " << asset_test::ToolPath();
  }

  Result Run(const std::string& args) { return asset_test::RunTool(dir, args); }

  static bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
  }

  tl_test::TempDir dir;
};

TEST_F(DescriptionCommandTest, EveryCommandHasHelpAndRefusesBadUsage) {
  for (const char* command : {"ini", "cdf", "remap", "data"}) {
    Result help = Run(std::string(command) + " --help");
    EXPECT_EQ(help.status, 0) << command;
    EXPECT_TRUE(Has(help.out, std::string("usage: tillands-assets ") + command)) << command;
    Result bad = Run(command);
    EXPECT_EQ(bad.status, 1) << command;
    EXPECT_TRUE(Has(bad.err, "usage:")) << command;
  }
  EXPECT_EQ(Run("ini frobnicate a.ini").status, 1);
  Result missing = Run("ini dump nothing.ini");
  EXPECT_EQ(missing.status, 1);
  EXPECT_TRUE(Has(missing.err, "no such description: nothing.ini"));
  EXPECT_EQ(Run("data check no-such-dir").status, 1);
  EXPECT_EQ(Run("cdf dump nothing.cdf").status, 2);
}

TEST_F(DescriptionCommandTest, IniDumpAndCompile) {
  dir.WriteText("inc.ini", "[Inner]\nValue = #N\n");
  dir.WriteText("desc.ini",
                "#define N 7\n[Creature Type]\nName = \"Big  Man\", 3\n#include \"inc.ini\"\n; gone\n");
  Result dump = Run("ini dump desc.ini");
  EXPECT_EQ(dump.status, 0) << dump.err;
  EXPECT_EQ(dump.out, "[S] Creature Type\n[K] Name \"Big  Man\" 3\n[S] Inner\n[K] Value 7\n");
  EXPECT_FALSE(dir.Exists("desc.cif"));
  Result compile = Run("ini compile desc.ini");
  EXPECT_EQ(compile.status, 0) << compile.err;
  EXPECT_TRUE(Has(compile.out, "4 stored lines"));
  ASSERT_TRUE(dir.Exists("desc.cif"));
  // The cache dumps the same lines, alone or under the text's name.
  EXPECT_EQ(Run("ini dump desc.cif").out, dump.out);
  fs::remove(dir.File("desc.ini"));
  EXPECT_EQ(Run("ini dump desc.ini").out, dump.out);
  Result again = Run("ini compile desc.cif");
  EXPECT_EQ(again.status, 1);
  EXPECT_TRUE(Has(again.err, "compiled cache already"));
  dir.WriteText("loop.ini", "#include \"loop.ini\"\n");
  Result loop = Run("ini dump loop.ini");
  EXPECT_EQ(loop.status, 2);
  EXPECT_TRUE(Has(loop.err, "#include cycle"));
}

TEST_F(DescriptionCommandTest, DataCheckLoadsAWorldAndDumpsItsCaches) {
  tl_test::WriteSyntheticWorld(dir.File("game"), {});
  Result first = Run("data check game");
  EXPECT_EQ(first.status, 0) << first.out << first.err;
  EXPECT_TRUE(Has(first.out, "remap tables: "));
  EXPECT_TRUE(Has(first.out, "animations: "));
  EXPECT_TRUE(Has(first.out, "creatures: "));
  EXPECT_TRUE(Has(first.out, "Screensaver_Masked.bmd: "));
  EXPECT_TRUE(Has(first.out, "warnings: 0\ncheck passed"));
  Result second = Run("data check game");
  EXPECT_EQ(second.status, 0);
  EXPECT_TRUE(Has(second.out, "[from remaptables.cdf]"));
  EXPECT_TRUE(Has(second.out, "[from z_animation_descriptions.cdf]"));

  Result cdf = Run("cdf dump game/Data_V/VE_Graphics/creatures/z_animation_descriptions.CDF");
  EXPECT_EQ(cdf.status, 0) << cdf.err;
  EXPECT_TRUE(Has(cdf.out, "animation descriptions\n[0] "));
  EXPECT_TRUE(Has(cdf.out, "libraries  body="));
  Result remap = Run("remap dump game/Data_V/VE_Graphics/remaptables/remaptables.CDF");
  EXPECT_EQ(remap.status, 0) << remap.err;
  EXPECT_TRUE(Has(remap.out, "] Shadow\n"));
  EXPECT_TRUE(Has(remap.out, "RemapTable16 windows"));
  // The dumps check what they read: a cut cache is a fatal error naming the file.
  std::vector<uint8_t> bytes = dir.Read("game/Data_V/VE_Graphics/remaptables/remaptables.CDF");
  bytes.resize(bytes.size() / 2);
  dir.Write("cut.cdf", bytes);
  Result cut = Run("remap dump cut.cdf");
  EXPECT_EQ(cut.status, 2);
  EXPECT_TRUE(Has(cut.err, "cut.cdf"));
}

TEST_F(DescriptionCommandTest, DataCheckFailsOnAWorldWithoutCreaturesAndSurvivesALoneDot) {
  tl_test::WriteSyntheticWorld(dir.File("game"), {});
  const std::string creatures = "game/Data_V/VE_Graphics/creatures/z_creature_descriptions.ini";
  ASSERT_TRUE(dir.Exists(creatures));
  const std::string text = dir.ReadText(creatures);
  // A '.' typed for a number: the check finishes (it once looped for ever) and the data loads.
  dir.WriteText(creatures, text + "[CreatureType]\nName = \"typo\"\nMasterType = .\n");
  Result dot = Run("data check game");
  EXPECT_EQ(dot.status, 0) << dot.out << dot.err;
  // Without any creature every scene stays empty: the check fails.
  fs::remove(dir.File("game/Data_V/VE_Graphics/creatures/z_creature_descriptions.cif"));
  dir.WriteText(creatures, "");
  Result empty = Run("data check game");
  EXPECT_EQ(empty.status, 1);
  EXPECT_TRUE(Has(empty.out, "creatures: 0"));
  EXPECT_TRUE(Has(empty.out, "no creature"));
  EXPECT_TRUE(Has(empty.out, "check FAILED"));
}

TEST_F(DescriptionCommandTest, DataCheckFailsOnWarningsAndMissingPieces) {
  tl_test::WriteSyntheticWorld(dir.File("game"), {});
  // An unknown animation name in a walk-data description: a warning, so the check fails.
  const std::string walk = "game/Data_V/VE_Graphics/creatures/z_walkdata_descriptions.ini";
  ASSERT_TRUE(dir.Exists(walk));
  dir.WriteText(walk,
                dir.ReadText(walk) + "[WalkDataType]\nName = \"broken\"\nWaitAnimation = \"no_such_anim\"\n");
  Result warned = Run("data check game");
  EXPECT_EQ(warned.status, 1);
  EXPECT_TRUE(
      Has(warned.out, "warning: VE_STATIC_DATA_MANAGER::GetAnimationDescriptionId: no_such_anim not found!"));
  EXPECT_TRUE(Has(warned.out, "warnings: 1\ncheck FAILED"));
  // A missing screensaver library is reported; a missing description file is fatal.
  fs::remove(dir.File("game/Data_V/VE_Graphics/BobManager/Screensaver_Packed.bmd"));
  Result missing = Run("data check game");
  EXPECT_EQ(missing.status, 1);
  EXPECT_TRUE(Has(missing.out, "Screensaver_Packed.bmd is missing"));
  // (its compiled cache from the earlier runs would stand in for it, so both go)
  fs::remove(dir.File("game/Data_V/VE_Graphics/creatures/x_random_remaps.ini"));
  fs::remove(dir.File("game/Data_V/VE_Graphics/creatures/x_random_remaps.cif"));
  Result fatal = Run("data check game");
  EXPECT_EQ(fatal.status, 2);
  EXPECT_TRUE(Has(fatal.err, "x_random_remaps.cif"));
}

}  // namespace
