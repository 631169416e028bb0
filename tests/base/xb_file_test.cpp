#include "base/xb_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/xb_archive_writer.h"
#include "base/xb_error.h"
#include "base/xb_warning_groups.h"
#include "tests/common/fatal_test.h"
#include "tests/common/temp_dir.h"

namespace {

using tl_test::BytesOf;

using tl_test::ReadAll;

class FileTest : public ::testing::Test {
 protected:
  void SetUp() override { dir.Enter(); }
  void TearDown() override { dir.Leave(); }

  // Writes an archive into the scratch directory and returns its directory object, registered.
  std::unique_ptr<XB_ARCHIVE> MakeArchive(const std::string& name,
                                          const std::vector<XB_ARCHIVE_MEMBER>& members,
                                          bool registerIt = true) {
    std::string error;
    EXPECT_TRUE(XB_WriteArchive(name.c_str(), members, &error)) << error;
    auto archive = std::make_unique<XB_ARCHIVE>(name.c_str());
    if (registerIt) {
      EXPECT_GE(RegisterArchive(archive.get()), 0);
    }
    return archive;
  }

  tl_test::TempDir dir;
};

TEST_F(FileTest, PathCollapsesBackslashRunsAndIsBounded) {
  XB_FILE a("Data_V\\\\VE_Graphics\\\\\\ExtText.fnt");
  EXPECT_STREQ(a.Path(), "Data_V\\VE_Graphics\\ExtText.fnt");
  XB_FILE b("a//b/./c.TXT");  // forward slashes, dots and case stay as given
  EXPECT_STREQ(b.Path(), "a//b/./c.TXT");
  const std::string longName(400, 'x');
  XB_FILE c(longName.c_str());
  EXPECT_EQ(std::strlen(c.Path()), 259u);
}

TEST_F(FileTest, WriteThenReadLittleEndianValues) {
  {
    XB_FILE out("values.bin");
    ASSERT_TRUE(out.OpenForWriting(true));
    out.WriteU8(0xAB);
    out.WriteU16(0x1234);
    out.WriteI16(-2);
    out.WriteU32(0xDEADBEEF);
    out.WriteI32(-5);
    out.WriteTrue();
    out.WriteFalse();
    EXPECT_EQ(out.Position(), 17);
  }
  EXPECT_EQ(dir.Read("values.bin"),
            (std::vector<uint8_t>{0xAB, 0x34, 0x12, 0xFE, 0xFF, 0xEF, 0xBE, 0xAD, 0xDE, 0xFB, 0xFF, 0xFF,
                                  0xFF, 0x01, 0x00, 0x00, 0x00}));
  XB_FILE in("values.bin", true);
  EXPECT_EQ(in.Size(), 17);
  EXPECT_EQ(in.ReadU8(), 0xAB);
  EXPECT_EQ(in.ReadU16(), 0x1234);
  EXPECT_EQ(in.ReadI16(), -2);
  EXPECT_EQ(in.ReadU32(), 0xDEADBEEFu);
  EXPECT_EQ(in.ReadI32(), -5);
  uint16_t flag = 7;
  in.ReadFlag(flag);
  EXPECT_EQ(flag, 1);
  in.ReadFlag(flag);
  EXPECT_EQ(flag, 0);
  EXPECT_EQ(in.Remaining(), 0);
  in.Seek(1);
  EXPECT_EQ(in.Position(), 1);
  EXPECT_EQ(in.Remaining(), 16);
}

TEST_F(FileTest, ClosedFileIgnoresOperations) {
  XB_FILE f("never-opened.bin");
  char buffer[4] = {'a', 'b', 'c', 'd'};
  f.Read(buffer, 4);
  f.Write(buffer, 4);
  f.Seek(10);
  EXPECT_EQ(f.Position(), 0);
  EXPECT_EQ(f.Size(), 0);
  EXPECT_EQ(f.Remaining(), 0);
  EXPECT_EQ(buffer[0], 'a');
  EXPECT_FALSE(dir.Exists("never-opened.bin"));
  f.Close();
}

TEST_F(FileTest, QuietProbesOfMissingFiles) {
  XB_FILE f("missing.bin");
  EXPECT_FALSE(f.OpenForReading(false));
  EXPECT_FALSE(f.IsOpen());
  EXPECT_FALSE(XB_FILE::Exists("missing.bin"));
  char text[XB_MAX_PATH] = "unchanged";
  EXPECT_FALSE(XB_FILE::ResolvePath("missing.bin", text));
  EXPECT_STREQ(text, "unchanged");
  dir.MakeDir("folder");
  EXPECT_FALSE(XB_FILE::Exists("folder"));  // a directory is not a readable file
  XB_FILE w("no_such_dir/x.bin");
  EXPECT_FALSE(w.OpenForWriting(false));
}

TEST_F(FileTest, ReopeningClosesThePreviousHandle) {
  dir.WriteText("a.txt", "hello");
  XB_FILE f("a.txt");
  // Far more opens than a process may hold handles: a leaked handle per open would fail here.
  for (int i = 0; i < 5000; ++i) ASSERT_TRUE(f.OpenForReading(false)) << i;
  EXPECT_EQ(ReadAll(f), "hello");
}

TEST_F(FileTest, PathsResolveWithoutRegardToCase) {
  dir.WriteText("Data_V/VE_Graphics/ExtText.fnt", "font");
  for (const char* spelling : {"Data_V\\VE_Graphics\\ExtText.fnt", "DATA_V\\ve_graphics\\EXTTEXT.FNT",
                               "data_v/VE_GRAPHICS/exttext.fnt", "DATA_V\\\\VE_Graphics\\ExtText.fnt"}) {
    XB_FILE f(spelling);
    ASSERT_TRUE(f.OpenForReading(false)) << spelling;
    EXPECT_EQ(ReadAll(f), "font");
    char text[XB_MAX_PATH] = {};
    ASSERT_TRUE(XB_FILE::ResolvePath(spelling, text));
    EXPECT_STREQ(text, "Data_V/VE_Graphics/ExtText.fnt");
  }
  EXPECT_FALSE(XB_FILE::Exists("DATA_V\\VE_Graphics\\Other.fnt"));
  EXPECT_FALSE(XB_FILE::Exists("DATA_V\\ExtText.fnt\\x"));
}

TEST_F(FileTest, CreatingReusesExistingNamesInAnotherCase) {
  dir.WriteText("Data_V/x.cdf", "old contents");
  {
    XB_FILE out("DATA_V\\X.CDF");
    ASSERT_TRUE(out.OpenForWriting(true));
    out.Write("new", 3);
  }
  EXPECT_EQ(dir.ReadText("Data_V/x.cdf"), "new");
  EXPECT_FALSE(dir.Exists("Data_V/X.CDF"));
  EXPECT_FALSE(dir.Exists("DATA_V"));
  {
    XB_FILE out("data_v\\Fresh.bin");  // new file in an existing folder spelled differently
    ASSERT_TRUE(out.OpenForWriting(true));
    out.WriteU8(1);
  }
  EXPECT_TRUE(dir.Exists("Data_V/Fresh.bin"));
}

TEST_F(FileTest, ArchiveMembersReadAsFilesOfTheirOwn) {
  auto archive = MakeArchive("data_v.dat", {{"Data_V\\first.bin", BytesOf("FIRST")},
                                            {"Data_V\\Logo.txt", BytesOf("logo text")},
                                            {"empty.bin", {}}});
  EXPECT_EQ(archive->Count(), 3u);
  EXPECT_EQ(archive->EntrySize("data_v\\LOGO.TXT"), 9u);
  EXPECT_EQ(archive->EntryOffset("nothing"), 0u);
  EXPECT_EQ(archive->EntrySize("nothing"), 0u);

  XB_FILE f("DATA_V\\\\logo.TXT");
  ASSERT_TRUE(f.OpenForReading(false));
  EXPECT_GE(f.ArchiveSlot(), 0);
  EXPECT_EQ(f.Position(), 0);
  EXPECT_EQ(f.Size(), 9);
  EXPECT_EQ(ReadAll(f), "logo text");
  EXPECT_EQ(f.Position(), 9);
  EXPECT_EQ(f.Remaining(), 0);
  f.Seek(5);
  char four[4];
  f.Read(four, 4);
  EXPECT_EQ(std::string(four, 4), "text");
  f.Seek(0);
  EXPECT_EQ(f.ReadU8(), 'l');

  // A second member opens through an independent handle.
  XB_FILE g("Data_V\\first.bin", true);
  EXPECT_EQ(ReadAll(g), "FIRST");
  EXPECT_EQ(f.ReadU8(), 'o');

  XB_FILE e("EMPTY.BIN", true);
  EXPECT_EQ(e.Size(), 0);
  char text[XB_MAX_PATH] = {};
  ASSERT_TRUE(XB_FILE::ResolvePath("data_v\\\\logo.txt", text));
  EXPECT_STREQ(text, "data_v\\logo.txt");  // members answer with the normalised name
  // A name of 259 characters, the longest a path buffer holds, comes back whole.
  const std::string longest = "Data_V\\" + std::string(248, 'n') + ".txt";
  ASSERT_EQ(longest.size(), size_t(XB_MAX_PATH - 1));
  auto deep = MakeArchive("deep.dat", {{longest, BytesOf("x")}});
  ASSERT_TRUE(XB_FILE::ResolvePath(longest.c_str(), text));
  EXPECT_EQ(std::string(text), longest);
}

TEST_F(FileTest, PlainFilesWinAndLowerSlotsWin) {
  auto low = MakeArchive("low.dat", {{"shared.txt", BytesOf("low")}, {"both.txt", BytesOf("archive")}});
  auto high = MakeArchive("high.dat", {{"SHARED.TXT", BytesOf("high")}, {"only_high.txt", BytesOf("h")}});
  dir.WriteText("both.txt", "plain");
  XB_FILE shared("shared.txt", true);
  EXPECT_EQ(ReadAll(shared), "low");
  XB_FILE both("both.txt", true);
  EXPECT_EQ(both.ArchiveSlot(), -1);
  EXPECT_EQ(ReadAll(both), "plain");
  XB_FILE onlyHigh("only_high.txt", true);
  EXPECT_EQ(ReadAll(onlyHigh), "h");
  // Drive-letter paths never look into archives.
  EXPECT_FALSE(XB_FILE::Exists("C:shared.txt"));
}

TEST_F(FileTest, ArchiveWithoutMembersContainsNothing) {
  auto archive = MakeArchive("empty.dat", {});
  EXPECT_EQ(archive->Count(), 0u);
  EXPECT_FALSE(archive->Contains(""));
  EXPECT_FALSE(archive->Contains("anything"));
  EXPECT_FALSE(XB_FILE::Exists("anything"));
}

TEST_F(FileTest, EqualChecksumsStillCompareNames) {
  // Same checksum but different letters: the name comparison still tells them apart.
  auto archive = MakeArchive("sums.dat", {{"ad", BytesOf("1")}, {"bc", BytesOf("2")}}, false);
  ASSERT_EQ(XB_ARCHIVE::NameChecksum("ad"), XB_ARCHIVE::NameChecksum("bc"));
  EXPECT_EQ(archive->EntrySize("BC"), 1u);
  EXPECT_EQ(archive->EntryOffset("BC"), archive->EntryOffset("ad") + 1);
}

TEST_F(FileTest, ArchiveTableHasTwentySlotsAndArchivesLeaveIt) {
  EXPECT_EQ(RegisterArchive(nullptr), -1);
  std::vector<std::unique_ptr<XB_ARCHIVE>> archives;
  for (int i = 0; i < XB_MAX_ARCHIVES; ++i)
    archives.push_back(
        MakeArchive("a" + std::to_string(i) + ".dat", {{"m" + std::to_string(i), BytesOf("x")}}));
  auto extra = MakeArchive("extra.dat", {{"extra", BytesOf("x")}}, false);
  EXPECT_EQ(RegisterArchive(extra.get()), -1);
  EXPECT_EQ(RegisteredArchive(5), archives[5].get());
  archives[5].reset();  // the destructor frees its slot
  EXPECT_EQ(RegisteredArchive(5), nullptr);
  EXPECT_FALSE(XB_FILE::Exists("m5"));
  EXPECT_EQ(RegisterArchive(extra.get()), 5);
  EXPECT_TRUE(XB_FILE::Exists("extra"));
  EXPECT_EQ(RegisteredArchive(-1), nullptr);
  EXPECT_EQ(RegisteredArchive(XB_MAX_ARCHIVES), nullptr);
  extra.reset();
  archives.clear();
  for (int i = 0; i < XB_MAX_ARCHIVES; ++i) EXPECT_EQ(RegisteredArchive(i), nullptr);
}

TEST_F(FileTest, MemberStaysReadableAfterItsArchiveIsGone) {
  auto archive = MakeArchive("data.dat", {{"a", BytesOf("abc")}, {"b", BytesOf("def")}});
  XB_FILE f("b", true);
  archive.reset();
  EXPECT_EQ(f.Size(), 3);
  f.Seek(1);
  EXPECT_EQ(f.ReadU8(), 'e');
  EXPECT_EQ(f.Position(), 2);
}

TEST_F(FileTest, ReadingPastAMemberEndIsAShortRead) {
  auto archive = MakeArchive("data.dat", {{"a", BytesOf("abc")}, {"b", BytesOf("NEXT MEMBER")}});
  XB_FILE f("a", true);
  char buffer[8] = {};
  XB_EXPECT_FATAL_THROW(f.Read(buffer, 5),
                        "XB_FILE::Read - file a - the file is cut short: 5 bytes wanted at offset 0, 3 left");
  f.Seek(3);
  XB_EXPECT_FATAL_THROW(f.ReadU8(), "XB_FILE::Read - file a");
  f.Seek(100);
  XB_EXPECT_FATAL_THROW(f.ReadU8(), "XB_FILE::Read - file a");
  // Nor can a member be left through its front.
  XB_FILE b("b", true);
  XB_EXPECT_FATAL_THROW(b.Seek(-1), "XB_FILE::Seek - file b - errno 22: Invalid argument");
}

TEST_F(FileTest, CorruptArchiveDirectoriesAreFatalAndNameTheFile) {
  std::vector<uint8_t> hugeCount;
  tl_test::PutU32(hugeCount, 0);
  tl_test::PutU32(hugeCount, 0xFFFFFFFF);
  dir.Write("huge.dat", hugeCount);
  XB_EXPECT_FATAL_THROW(XB_ARCHIVE("huge.dat"), "XB_ARCHIVE - file huge.dat - corrupt data");

  std::vector<uint8_t> longName;
  tl_test::PutU32(longName, 0);
  tl_test::PutU32(longName, 1);
  tl_test::PutU16(longName, 60000);
  tl_test::PutBytes(longName, "short name");
  dir.Write("name.dat", longName);
  XB_EXPECT_FATAL_THROW(XB_ARCHIVE("name.dat"),
                        "XB_ARCHIVE - file name.dat - corrupt data: needs 60008 bytes, 10 left");

  std::vector<uint8_t> shortHeader = {0, 0, 0, 0, 1};
  dir.Write("short.dat", shortHeader);
  XB_EXPECT_FATAL_THROW(XB_ARCHIVE("short.dat"), "XB_FILE::Read - file short.dat");
  XB_EXPECT_FATAL_THROW(XB_ARCHIVE("absent.dat"), "XB_FILE::OpenForReading - file absent.dat - errno 2");
}

TEST_F(FileTest, RequireRemainingGuardsAllocations) {
  dir.WriteText("ten.bin", "0123456789");
  XB_FILE f("ten.bin", true);
  f.RequireRemaining(10, "Loader");
  f.Seek(4);
  XB_EXPECT_FATAL_THROW(f.RequireRemaining(7, "Loader"),
                        "Loader - file ten.bin - corrupt data: needs 7 bytes, 6 left");
}

// --- Fatal messages, word for word, in the saver's own mode ------------------------------------

TEST_F(FileTest, FatalOpenMessageAndFraming) {
  XB_EXPECT_FATAL(XB_FILE("Data_V\\missing.bin", true),
                  "\n\nXB FATAL ERROR:\n\nXB_FILE::OpenForReading - file Data_V.missing\\.bin - errno 2: No "
                  "such file or directory\n\n\n");
  XB_EXPECT_FATAL(XB_FILE("no_dir/out.bin").OpenForWriting(true),
                  "XB_FILE::OpenForWriting - file no_dir/out\\.bin - errno 2: No such file or directory");
}

TEST_F(FileTest, FatalShortReadAndSeekMessages) {
  dir.WriteText("two.bin", "ab");
  XB_EXPECT_FATAL(
      {
        XB_FILE f("two.bin", true);
        f.ReadU32();
      },
      "XB_FILE::Read - file two\\.bin - the file is cut short: 4 bytes wanted at offset 0, 2 left");
  // An empty file says so (no errno of some earlier call).
  dir.WriteText("none.bin", "");
  XB_EXPECT_FATAL(
      {
        XB_FILE f("none.bin", true);
        f.ReadU8();
      },
      "XB_FILE::Read - file none\\.bin - the file is empty");
  XB_EXPECT_FATAL(
      {
        XB_FILE f("two.bin", true);
        f.Seek(-1);
      },
      "XB_FILE::Seek - file two\\.bin - errno 22: Invalid argument");
}

TEST_F(FileTest, LongPathsAreCutToFitTheMessageBuffer) {
  const std::string longName = "Data_V\\" + std::string(230, 'd') + "\\tail_name.bin";
  XB_FILE f(longName.c_str());
  try {
    tl_test::FatalThrowScope scope;
    f.OpenForReading(true);
    FAIL() << "expected a fatal error";
  } catch (const XB_FATAL_EXCEPTION& e) {
    const std::string message = e.what();
    EXPECT_EQ(message.size(), static_cast<size_t>(XB_MESSAGE_BUFFER_SIZE - 1));
    EXPECT_EQ(message.rfind("XB_FILE::OpenForReading - file ...", 0), 0u) << message;
    EXPECT_NE(message.find("tail_name.bin - errno 2: No such file or directory"), std::string::npos)
        << message;
  }
}

TEST(ErrorTest, WarningsPrintAndAreBounded) {
  testing::internal::CaptureStdout();
  XB_Warning("XB_STORABLE_STRING_ARRAY::InsertString: too much strings! Maximum is %d!", 20000);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "RARA::DIVURAR: WARNING: XB_STORABLE_STRING_ARRAY::InsertString: too much strings! Maximum is "
            "20000!\n");
  const std::string longText(500, 'w');
  testing::internal::CaptureStdout();
  XB_Warning("%s", longText.c_str());
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(std::string(XB_LastWarning()), std::string(XB_MESSAGE_BUFFER_SIZE - 1, 'w'));
}

// Command-line programs route warnings to standard error, grouped by kind: the first few in full, the
// rest counted in a summary; quiet shows none and keeps the counts.
TEST(ErrorTest, WarningsCanBeRoutedAndGrouped) {
  EXPECT_EQ(XB_WARNING_GROUPS::KindOf("bob 12 of <a.bmd> has \"x\" 7"), "bob # of <...> has \"...\" #");
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  XB_WARNING_GROUPS groups("prog", 2);
  groups.SetOutput(out);
  XB_RouteWarningsTo(&groups);
  testing::internal::CaptureStdout();
  for (int i = 0; i < 5; ++i) XB_Warning("define <N%d> could not be solved in %d", i, i);
  XB_Warning("something else");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");  // nothing on standard output
  XB_RouteWarningsTo(nullptr);
  EXPECT_EQ(groups.Total(), 6u);
  EXPECT_EQ(groups.Hidden(), 3u);
  groups.PrintSummary();
  std::rewind(out);
  std::string text;
  for (int c; (c = std::fgetc(out)) != EOF;) text += static_cast<char>(c);
  std::fclose(out);
  EXPECT_EQ(text,
            "prog: warning: define <N0> could not be solved in 0\n"
            "prog: warning: define <N1> could not be solved in 1\n"
            "prog: (further warnings like this one are counted at the end)\n"
            "prog: warning: something else\n"
            "prog: 5 warnings in all like: define <N0> could not be solved in 0\n"
            "prog: 6 warnings in all, 3 not shown\n");
  XB_WARNING_GROUPS quiet("prog");
  quiet.SetQuiet(true);
  std::FILE* none = std::tmpfile();
  quiet.SetOutput(none);
  quiet.Add("a");
  EXPECT_EQ(std::ftell(none), 0);
  EXPECT_EQ(quiet.Hidden(), 1u);
  std::fclose(none);
  // Routed back: the saver's own standard-output line.
  testing::internal::CaptureStdout();
  XB_Warning("back");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "RARA::DIVURAR: WARNING: back\n");
}

TEST(ErrorTest, FatalModes) {
  EXPECT_EQ(XB_GetFatalMode(), XB_FatalMode::Abort);
  EXPECT_EXIT(
      {
        XB_SetFatalMode(XB_FatalMode::Exit2);
        XB_FatalError("broken %s", "data");
      },
      ::testing::ExitedWithCode(2), "^tillands: broken data\n$");
  // Every program reports in its own name.
  EXPECT_EXIT(
      {
        XB_SetProgramName("tillands-assets");
        XB_SetFatalMode(XB_FatalMode::Exit2);
        XB_FatalError("broken %s", "data");
      },
      ::testing::ExitedWithCode(2), "^tillands-assets: broken data\n$");
  {
    tl_test::FatalThrowScope scope;
    EXPECT_THROW(XB_FatalError("x"), XB_FATAL_EXCEPTION);
  }
  EXPECT_EQ(XB_GetFatalMode(), XB_FatalMode::Abort);
  XB_EXPECT_FATAL(XB_FatalError("%d bottles", 99), "\n\nXB FATAL ERROR:\n\n99 bottles\n\n\n");
  // A front end's reporter gets the message after the line is printed and ends the process its way.
  EXPECT_EXIT(
      {
        XB_SetFatalMode(XB_FatalMode::Abort);
        XB_SetFatalReporter([](const char* message) {
          std::fprintf(stderr, "box: %s\n", message);
          std::_Exit(3);
        });
        XB_FatalError("%d bottles", 98);
      },
      ::testing::ExitedWithCode(3), "^box: 98 bottles\n$");
}

}  // namespace

namespace {

TEST(ArchiveWriterTest, RefusesWhatTheFormatCannotHold) {
  std::string error;
  EXPECT_TRUE(XB_BuildArchiveImage({{std::string(70000, 'n'), {}}}, &error).empty());
  EXPECT_NE(error.find("longer than 65535"), std::string::npos);
  EXPECT_FALSE(XB_WriteArchive("no_such_dir/x.dat", {{"a", {1}}}, &error));
  EXPECT_EQ(error, "cannot create no_such_dir/x.dat: No such file or directory");
}

}  // namespace
