// The description commands of tillands-assets (ini, cdf, remap, data), run as a program the way a
// modder runs them.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "base/xb_archive_writer.h"
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
  // Texts are Windows-1252: the dump prints UTF-8, --raw the stored bytes.
  dir.WriteText("text.ini", "[T]\nTEXT = \"H\xE4user\"\n");
  EXPECT_EQ(Run("ini dump text.ini").out, "[S] T\n[K] TEXT \"H\xC3\xA4user\"\n");
  EXPECT_EQ(Run("ini dump text.ini --raw").out, "[S] T\n[K] TEXT \"H\xE4user\"\n");
  // Warnings go to standard error in the tool's name, never into the dump; repeats are grouped and
  // --quiet leaves only the counts.
  std::string many;
  for (int i = 0; i < 50; ++i) many += "Key = #MISSING\n";
  dir.WriteText("warn.ini", many);
  Result warned = Run("ini dump warn.ini");
  EXPECT_EQ(warned.status, 0);
  EXPECT_EQ(warned.out.find("could not be solved"), std::string::npos) << warned.out;
  EXPECT_TRUE(Has(warned.err,
                  "tillands-assets: warning: XB_INI_FILE_READER::L_DoLoadIniFile - #define could "
                  "not be solved - <MISSING>"));
  EXPECT_LT(warned.err.size(), 1000u);  // not 50 lines
  EXPECT_TRUE(Has(warned.err, "50 warnings in all"));
  Result quiet = Run("ini dump warn.ini --quiet");
  EXPECT_EQ(quiet.out, warned.out);
  EXPECT_FALSE(Has(quiet.err, "warning: XB_INI"));
  EXPECT_TRUE(Has(quiet.err, "50 warnings in all, 50 not shown"));
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
  // Warnings go to standard error in the tool's name; the report counts them.
  EXPECT_TRUE(Has(warned.err,
                  "tillands-assets: warning: VE_STATIC_DATA_MANAGER::GetAnimationDescriptionId: "
                  "no_such_anim not found!"));
  EXPECT_FALSE(Has(warned.out, "no_such_anim"));
  EXPECT_TRUE(Has(warned.out, "warnings: 1\ncheck FAILED"));
  // Everything that would stop the saver is one line each, and the check goes on past it: a missing
  // screensaver library (the window cannot start) and a missing description file (the first frame).
  fs::remove(dir.File("game/Data_V/VE_Graphics/BobManager/Screensaver_Packed.bmd"));
  // (its compiled cache from the earlier runs would stand in for it, so both go)
  fs::remove(dir.File("game/Data_V/VE_Graphics/creatures/x_random_remaps.ini"));
  fs::remove(dir.File("game/Data_V/VE_Graphics/creatures/x_random_remaps.cif"));
  Result missing = Run("data check game");
  EXPECT_EQ(missing.status, 1);
  EXPECT_TRUE(Has(missing.out, "error: the saver stops at start: ")) << missing.out;
  EXPECT_TRUE(Has(missing.out, "Screensaver_Packed.bmd"));
  EXPECT_TRUE(Has(missing.out, "error: the saver stops on its first frame: ")) << missing.out;
  EXPECT_TRUE(Has(missing.out, "x_random_remaps.cif"));
  EXPECT_TRUE(Has(missing.out, "check FAILED"));
}

// What stops the saver at start or leaves a scene without its pictures or creatures fails the check,
// one line per problem, with status 1.
TEST_F(DescriptionCommandTest, DataCheckFailsOnEverythingThatStopsTheSaver) {
  tl_test::SyntheticWorldOptions withLogo;
  withLogo.withLogo = true;
  tl_test::WriteSyntheticWorld(dir.File("game"), withLogo);
  Result good = Run("data check game");
  ASSERT_EQ(good.status, 0) << good.out << good.err;

  // A cut-short logo picture, and an empty packed data file.
  std::vector<uint8_t> logo = dir.Read("game/Logo.bmp");
  dir.Write("game/Logo.bmp", std::vector<uint8_t>(logo.begin(), logo.begin() + 100));
  Result cut = Run("data check game");
  EXPECT_EQ(cut.status, 1);
  EXPECT_TRUE(Has(cut.out, "error: the saver stops at start: XB_PICTURE - file Logo.bmp")) << cut.out;
  dir.Write("game/Logo.bmp", logo);
  dir.Write("game/data_v.dat", {});
  Result archive = Run("data check game");
  EXPECT_EQ(archive.status, 1);
  EXPECT_TRUE(Has(archive.out, "data_v.dat - the file is empty")) << archive.out;
  // A packed data file one byte short: its last member is cut off.
  std::string error;
  std::vector<uint8_t> packed = XB_BuildArchiveImage({{"Readme.txt", {'h', 'i'}}}, &error);
  ASSERT_FALSE(packed.empty()) << error;
  packed.pop_back();
  dir.Write("game/data_v.dat", packed);
  Result shortArchive = Run("data check game");
  EXPECT_EQ(shortArchive.status, 1);
  EXPECT_TRUE(Has(shortArchive.out, "error: data_v.dat: member \"Readme.txt\" lies past the end of the file"))
      << shortArchive.out;
  fs::remove(dir.File("game/data_v.dat"));

  // A scene's creature missing from the descriptions, and a scene's bob of the wrong kind.
  const std::string creatures = "game/Data_V/VE_Graphics/creatures/z_creature_descriptions.ini";
  const std::string text = dir.ReadText(creatures);
  size_t at = text.find("\"stork\"");
  ASSERT_NE(at, std::string::npos);
  dir.WriteText(creatures, text.substr(0, at) + "\"storch\"" + text.substr(at + 7));
  Result stork = Run("data check game");
  EXPECT_EQ(stork.status, 1);
  EXPECT_TRUE(Has(stork.out, "error: no creature \"stork\"")) << stork.out;
}

// A compiled cache older than its text wins over it: the check says so and names the command that
// rebuilds the caches; after it the check passes and the edit takes effect.
TEST_F(DescriptionCommandTest, StaleCachesAreReportedAndDataRefreshRebuildsThem) {
  tl_test::WriteSyntheticWorld(dir.File("game"), {});
  ASSERT_EQ(Run("data check game").status, 0);
  const std::string anims = "game/Data_V/VE_Graphics/creatures/z_animation_descriptions.ini";
  const std::string cache = "game/Data_V/VE_Graphics/creatures/z_animation_descriptions.CDF";
  ASSERT_TRUE(dir.Exists(cache));
  dir.WriteText(
      anims,
      dir.ReadText(anims) +
          "[AnimationType]\nName = \"added\"\nBobLibrary = \"synth\"\nSpeed = 12\nFrames = 1\nBobs = 0\n");
  fs::last_write_time(dir.File(cache), fs::last_write_time(dir.File(anims)) - std::chrono::seconds(5));
  Result stale = Run("data check game");
  EXPECT_EQ(stale.status, 1);
  EXPECT_TRUE(Has(stale.out, "error: stale cache: ")) << stale.out;
  EXPECT_TRUE(Has(stale.out, "z_animation_descriptions.CDF is older than"));
  EXPECT_TRUE(Has(stale.out, "tillands-assets data refresh game"));
  const std::string before = stale.out.substr(stale.out.find("animations: "), 16);

  Result refresh = Run("data refresh game");
  EXPECT_EQ(refresh.status, 0) << refresh.err;
  EXPECT_TRUE(Has(refresh.out, "z_animation_descriptions.CDF"));
  Result fresh = Run("data check game");
  EXPECT_FALSE(Has(fresh.out, "stale cache")) << fresh.out;
  EXPECT_NE(fresh.out.substr(fresh.out.find("animations: "), 16), before);  // one more animation
  EXPECT_EQ(Run("data refresh").status, 1);
  EXPECT_EQ(Run("data refresh no-such-dir").status, 1);
}

}  // namespace
