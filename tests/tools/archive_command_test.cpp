// The archive command group of tillands-assets, run as a program the way a user runs it.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/xb_archive_writer.h"
#include "base/xb_file.h"
#include "tests/common/temp_dir.h"
#include "tests/tools/image_tool_support.h"

namespace {

namespace fs = std::filesystem;

using asset_test::Result;

class ArchiveCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(asset_test::ToolPath()))
      GTEST_SKIP() << "tillands-assets not built at " << asset_test::ToolPath();
  }

  Result Run(const std::string& args) { return asset_test::RunTool(dir, args); }

  // Every regular file below `root`, as relative path -> contents.
  std::vector<std::pair<std::string, std::string>> Tree(const std::string& root) {
    std::vector<std::pair<std::string, std::string>> files;
    for (const auto& entry : fs::recursive_directory_iterator(dir.Path() / root))
      if (entry.is_regular_file())
        files.emplace_back(fs::relative(entry.path(), dir.Path() / root).string(),
                           dir.ReadText(entry.path()));
    std::sort(files.begin(), files.end());
    return files;
  }

  tl_test::TempDir dir;
};

TEST_F(ArchiveCommandTest, PackListAndExtractRoundTrip) {
  dir.WriteText("src/Data_V/VE_Graphics/ExtText.fnt", "font bytes");
  dir.WriteText("src/Data_V/VE_Graphics/BobManager/Screensaver_Packed.bmd", std::string(3000, 'b'));
  dir.WriteText("src/Logo.txt", "[LOGOTEXT]\n");
  dir.WriteText("src/empty.bin", "");

  Result pack = Run("archive pack src data_v.dat");
  ASSERT_EQ(pack.status, 0) << pack.err;
  EXPECT_EQ(pack.out, "packed 4 members into data_v.dat\n");

  Result list = Run("archive list data_v.dat");
  ASSERT_EQ(list.status, 0) << list.err;
  // Directory: 8 bytes of header, then 10 bytes plus the name per member.
  const int dirEnd = 8 + (10 + 52) + (10 + 30) + (10 + 8) + (10 + 9);
  const auto line = [](int offset, int size, const char* name) {
    char text[200];
    std::snprintf(text, sizeof text, "%10d  %10d  %s\n", offset, size, name);
    return std::string(text);
  };
  EXPECT_EQ(list.out, std::string("    offset        size  name\n") +
                          line(dirEnd, 3000, "Data_V\\VE_Graphics\\BobManager\\Screensaver_Packed.bmd") +
                          line(dirEnd + 3000, 10, "Data_V\\VE_Graphics\\ExtText.fnt") +
                          line(dirEnd + 3010, 11, "Logo.txt") + line(dirEnd + 3021, 0, "empty.bin") +
                          "4 members, 3021 bytes\n");

  Result extract = Run("archive extract data_v.dat out");
  ASSERT_EQ(extract.status, 0) << extract.err;
  EXPECT_EQ(Tree("out"), Tree("src"));

  // Packing the extracted tree again gives the same bytes.
  ASSERT_EQ(Run("archive pack out again.dat").status, 0);
  EXPECT_EQ(dir.Read("again.dat"), dir.Read("data_v.dat"));

  // The saver finds the members by the names it opens, in any case.
  dir.Enter();
  {
    XB_ARCHIVE archive("data_v.dat");
    ASSERT_GE(RegisterArchive(&archive), 0);
    XB_FILE f("DATA_V\\ve_graphics\\exttext.FNT", true);
    std::string text(static_cast<size_t>(f.Size()), '\0');
    f.Read(text.data(), static_cast<uint32_t>(text.size()));
    EXPECT_EQ(text, "font bytes");
  }
  dir.Leave();
}

TEST_F(ArchiveCommandTest, ExtractSkipsUnsafeShadowedAndOutOfRangeMembers) {
  std::vector<XB_ARCHIVE_MEMBER> members = {{"..\\escape.txt", {'x'}},
                                            {"C:\\windows.txt", {'x'}},
                                            {"\\rooted.txt", {'x'}},
                                            {"sub\\ok.txt", {'o', 'k'}},
                                            {"SUB\\OK.TXT", {'n', 'o'}}};
  std::string error;
  std::vector<uint8_t> image = XB_BuildArchiveImage(members, &error);
  ASSERT_FALSE(image.empty()) << error;
  dir.Write("odd.dat", image);
  Result r = Run("archive extract odd.dat out");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("member name not safe to extract, skipped: \"..\\escape.txt\""), std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("\"C:\\windows.txt\""), std::string::npos);
  EXPECT_NE(r.err.find("\"\\rooted.txt\""), std::string::npos);
  EXPECT_NE(r.err.find("\"SUB\\OK.TXT\" is shadowed"), std::string::npos);
  EXPECT_FALSE(dir.Exists("escape.txt"));
  EXPECT_EQ(Tree("out"), (std::vector<std::pair<std::string, std::string>>{{"sub/ok.txt", "ok"}}));

  // A member whose bytes lie past the end of the file.
  std::vector<uint8_t> cut =
      XB_BuildArchiveImage({{"whole.txt", {'a', 'b'}}, {"cut.txt", {'1', '2', '3'}}}, &error);
  cut.resize(cut.size() - 1);
  dir.Write("cut.dat", cut);
  r = Run("archive extract cut.dat cutout");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("member \"cut.txt\" lies beyond the end of the archive"), std::string::npos) << r.err;
  EXPECT_EQ(dir.ReadText("cutout/whole.txt"), "ab");
  // Listing marks it and reports the damage.
  r = Run("archive list cut.dat");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("cut.txt  [PAST THE END OF THE FILE]"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("whole.txt  [PAST"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("tillands-assets archive: cut.dat: 1 member lies past the end of the file"),
            std::string::npos)
      << r.err;

  // Member names are Windows-1252: listed as UTF-8, or as stored with --raw.
  std::vector<uint8_t> umlaut = XB_BuildArchiveImage({{"Gr\xFC\xDF.txt", {'x'}}}, &error);
  dir.Write("names.dat", umlaut);
  r = Run("archive list names.dat");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("Gr\xC3\xBC\xC3\x9F.txt"), std::string::npos) << r.out;
  r = Run("archive list names.dat --raw");
  EXPECT_NE(r.out.find("Gr\xFC\xDF.txt"), std::string::npos) << r.out;
}

TEST_F(ArchiveCommandTest, BadInputGivesClearErrors) {
  Result help = Run("archive --help");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("usage: tillands-assets archive list FILE", 0), 0u);

  EXPECT_EQ(Run("archive").status, 1);
  Result unknown = Run("archive shuffle x");
  EXPECT_EQ(unknown.status, 1);
  EXPECT_NE(unknown.err.find("unknown action 'shuffle'"), std::string::npos);
  Result count = Run("archive pack onlyone");
  EXPECT_EQ(count.status, 1);
  EXPECT_NE(count.err.find("wrong number of arguments for 'pack'"), std::string::npos);
  Result missing = Run("archive list nothing.dat");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("no such archive file: nothing.dat"), std::string::npos);
  EXPECT_EQ(Run("archive pack no_such_dir x.dat").status, 1);

  // A damaged directory is the base library's fatal error, printed and ended with status 2.
  dir.Write("damaged.dat", {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x0F});
  Result damaged = Run("archive list damaged.dat");
  EXPECT_EQ(damaged.status, 2);
  EXPECT_EQ(
      damaged.err,
      "tillands-assets: XB_ARCHIVE - file damaged.dat - corrupt data: needs 2684354550 bytes, 0 left\n");

  // Names that differ only in case cannot both be found by the saver: packing refuses them.
  dir.WriteText("twins/a.txt", "1");
  dir.WriteText("twins/A.TXT", "2");
  Result twins = Run("archive pack twins twins.dat");
  EXPECT_EQ(twins.status, 1);
  EXPECT_NE(twins.err.find("differ only in letter case"), std::string::npos);
}

TEST_F(ArchiveCommandTest, PackNeverIncludesItsOwnOutput) {
  dir.WriteText("data/a.txt", "a");
  ASSERT_EQ(Run("archive pack data data/data_v.dat").status, 0);
  ASSERT_EQ(Run("archive pack data data/data_v.dat").status, 0);
  Result list = Run("archive list data/data_v.dat");
  EXPECT_NE(list.out.find("1 members"), std::string::npos) << list.out;
}

}  // namespace
