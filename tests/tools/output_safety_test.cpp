// The toolkit never destroys files: outputs are all or nothing, never written over their own inputs,
// make-world removes only the caches of its own world, and archive packing stores nothing from
// outside the packed tree.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/tools/image_tool_support.h"
#include "tools/common/png_io.h"
#include "tools/world/world_builder.h"

namespace {

namespace fs = std::filesystem;
using asset_test::AssetToolTest;

PngImage Frame(uint8_t red) {
  PngImage image;
  image.kind = PngImage::Kind::Paletted;
  image.width = 8;
  image.height = 4;
  image.palette = {RgbColour{red, 0, 0}};
  image.pixels.assign(32, 0);
  return image;
}

// Every file below the scratch directory with its contents, the tool's captured output aside.
std::map<std::string, std::vector<uint8_t>> Snapshot(const tl_test::TempDir& dir) {
  std::map<std::string, std::vector<uint8_t>> files;
  for (const auto& entry : fs::recursive_directory_iterator(dir.Path())) {
    const std::string name = fs::relative(entry.path(), dir.Path()).string();
    if (entry.is_regular_file() && name != "stdout.txt" && name != "stderr.txt")
      files[name] = dir.Read(entry.path().string());
  }
  return files;
}

TEST_F(AssetToolTest, AnOutputThatIsAlsoAnInputIsRefusedAndKept) {
  std::string error;
  ASSERT_TRUE(WritePng(dir.File("a.png"), Frame(10), &error)) << error;
  ASSERT_TRUE(WritePng(dir.File("b.png"), Frame(20), &error)) << error;
  dir.WriteText("l.bmd", "not a library, but an input");
  dir.WriteText("manifest.txt", "0 packed 0 0 a.png key 0\n");
  const auto before = Snapshot(dir);
  // The same file however it is spelled.
  const std::string other = "../" + dir.Path().filename().string() + "/b.png";
  for (const std::string& command :
       {std::string("frame-sheet a.png a.png b.png"), "frame-sheet ./b.png a.png " + other,
        std::string("image a.png a.png"), std::string("contact-sheet l.bmd l.bmd"),
        std::string("bmd build manifest.txt a.png"), std::string("bmd build manifest.txt manifest.txt")}) {
    const auto r = Run(command);
    EXPECT_NE(r.status, 0) << command;
    EXPECT_NE(r.err.find("also an input"), std::string::npos) << command << ": " << r.err;
    EXPECT_EQ(Snapshot(dir), before) << command;
  }
  // Two frames given where the first is the output: an existing frame is not replaced by a sheet.
  const auto frames = Run("frame-sheet a.png b.png");
  EXPECT_EQ(frames.status, 1);
  EXPECT_NE(frames.err.find("refusing to overwrite"), std::string::npos) << frames.err;
  EXPECT_EQ(Snapshot(dir), before);
  // An earlier sheet is replaced as before.
  ASSERT_EQ(Run("frame-sheet sheet.png a.png b.png").status, 0);
  ASSERT_EQ(Run("frame-sheet sheet.png b.png").status, 0);
}

TEST_F(AssetToolTest, AFailedOutputLeavesNothingBehind) {
  std::string error;
  ASSERT_TRUE(WritePng(dir.File("a.png"), Frame(10), &error)) << error;
  PngImage other = Frame(20);
  other.width = 4;
  other.pixels.resize(16);
  ASSERT_TRUE(WritePng(dir.File("small.png"), other, &error)) << error;
  dir.WriteText("sheet.png", "an earlier sheet");
  dir.WriteText("broken.pcx", "not a picture at all");
  const auto before = Snapshot(dir);
  EXPECT_NE(Run("frame-sheet sheet.png a.png small.png").status, 0);  // sizes differ
  EXPECT_NE(Run("image broken.pcx out.png").status, 0);
  EXPECT_NE(Run("frame-sheet missing_dir/sheet.png a.png").status, 0);
  EXPECT_EQ(Snapshot(dir), before);  // no out.png, no temporary file, the earlier sheet intact
}

TEST_F(AssetToolTest, ArchivePackRefusesLinksLeavingTheTreeAndStoresInsideLinksByName) {
  dir.WriteText("outside/secret.txt", "not for the archive");
  dir.WriteText("src/a.txt", "inside");
  fs::create_symlink(dir.File("outside/secret.txt"), dir.File("src/escape.txt"));
  auto r = Run("archive pack src out.dat");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("symbolic link"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("escape.txt"), std::string::npos) << r.err;
  EXPECT_FALSE(dir.Exists("out.dat"));
  // A relative link climbing out, a link to an outside folder and a dangling link: refused as well.
  fs::remove(dir.File("src/escape.txt"));
  fs::create_symlink("../outside/secret.txt", dir.File("src/up.txt"));
  EXPECT_EQ(Run("archive pack src out.dat").status, 1);
  fs::remove(dir.File("src/up.txt"));
  fs::create_directory_symlink(dir.File("outside"), dir.File("src/folder"));
  EXPECT_EQ(Run("archive pack src out.dat").status, 1);
  fs::remove(dir.File("src/folder"));
  fs::create_symlink("nowhere.txt", dir.File("src/dangling.txt"));
  EXPECT_EQ(Run("archive pack src out.dat").status, 1);
  fs::remove(dir.File("src/dangling.txt"));
  EXPECT_FALSE(dir.Exists("out.dat"));

  // A link inside the tree: its target's bytes under the link's own name.
  fs::create_symlink("a.txt", dir.File("src/alias.txt"));
  r = Run("archive pack src out.dat");
  ASSERT_EQ(r.status, 0) << r.err;
  r = Run("archive list out.dat");
  EXPECT_NE(r.out.find("alias.txt"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("secret"), std::string::npos) << r.out;
  ASSERT_EQ(Run("archive extract out.dat back").status, 0);
  EXPECT_EQ(dir.ReadText("back/alias.txt"), "inside");
}

// make-world's directory rules, on a small world (the full one takes seconds to build).
TEST(MakeWorldSafety, OnlyItsOwnCachesGoAndForeignDirectoriesAreRefused) {
  tlworld::WorldOutput world;
  world.AppendText("DATA_V\\VE_Graphics\\Creatures\\z_animation_descriptions.ini", "[AnimationType]\n");
  world.AddFile("DATA_V\\data.bin", {1, 2, 3});
  world.Finish();
  std::string error;

  // A home directory full of someone else's files, some of them ending in .cif and .cdf.
  tl_test::TempDir home;
  home.WriteText("notes/plan.cif", "mine");
  home.WriteText("work/table.CDF", "mine too");
  home.WriteText("readme.txt", "hello");
  EXPECT_FALSE(tlworld::WriteWorld(world, home.Path().string(), false, &error));
  EXPECT_NE(error.find("not empty"), std::string::npos) << error;
  EXPECT_NE(error.find("--force"), std::string::npos) << error;
  EXPECT_FALSE(home.Exists("DATA_V"));
  // Forced: the world is written and every foreign file stays, .cif and .cdf included.
  ASSERT_TRUE(tlworld::WriteWorld(world, home.Path().string(), false, &error, true)) << error;
  EXPECT_EQ(home.ReadText("notes/plan.cif"), "mine");
  EXPECT_EQ(home.ReadText("work/table.CDF"), "mine too");
  EXPECT_TRUE(home.Exists("DATA_V/data.bin"));

  // An earlier world is written over without --force; the saver's caches of its descriptions go
  // (found in any letter case), every other .cif and .cdf stays.
  home.WriteText("DATA_V/VE_Graphics/Creatures/Z_Animation_Descriptions.CDF", "stale");
  home.WriteText("DATA_V/VE_Graphics/Creatures/z_animation_descriptions.cif", "stale");
  home.WriteText("DATA_V/VE_Graphics/Creatures/other.cif", "someone's");
  ASSERT_TRUE(tlworld::WriteWorld(world, home.Path().string(), false, &error)) << error;
  EXPECT_FALSE(home.Exists("DATA_V/VE_Graphics/Creatures/Z_Animation_Descriptions.CDF"));
  EXPECT_FALSE(home.Exists("DATA_V/VE_Graphics/Creatures/z_animation_descriptions.cif"));
  EXPECT_EQ(home.ReadText("DATA_V/VE_Graphics/Creatures/other.cif"), "someone's");
  EXPECT_EQ(home.ReadText("notes/plan.cif"), "mine");

  // Empty and new directories need no --force.
  tl_test::TempDir empty;
  ASSERT_TRUE(tlworld::WriteWorld(world, empty.File("new/world"), false, &error)) << error;
  ASSERT_TRUE(tlworld::WriteWorld(world, empty.File("new/world"), true, &error)) << error;
  EXPECT_TRUE(empty.Exists(std::string("new/world/") + tlworld::kArchiveName));
}

}  // namespace
