// XB_INI_FILE_READER: the stored-line normal form, #include and #define, the queries, the limits of
// its fixed buffers, and the compiled .cif cache.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/xb_archive_writer.h"
#include "base/xb_error.h"
#include "base/xb_file.h"
#include "base/xb_ini_file_reader.h"
#include "base/xb_string_array.h"
#include "tests/common/fatal_test.h"
#include "tests/common/temp_dir.h"

namespace {

class IniReaderTest : public ::testing::Test {
 protected:
  void SetUp() override { dir.Enter(); }
  void TearDown() override { dir.Leave(); }

  // Parses `text` as a.ini (no cache) and returns the stored lines, kind byte shown as [S] or [K].
  std::vector<std::string> Parse(const std::string& text, const std::string& name = "a.ini") {
    dir.WriteText(name, text);
    XB_INI_FILE_READER reader(name.c_str(), false);
    return Dump(reader);
  }
  static std::vector<std::string> Dump(const XB_INI_FILE_READER& reader) {
    std::vector<std::string> out;
    const XB_STORABLE_STRING_ARRAY* lines = reader.GetLines();
    for (uint32_t i = 0; lines && i < lines->Slots(); ++i) {
      const char* s = lines->GetString(i);
      if (!s) continue;
      std::string kind = s[0] == 1 ? "[S]" : s[0] == 2 ? "[K]" : "[?]";
      out.push_back(kind + (s + 1));
    }
    return out;
  }

  tl_test::TempDir dir;
};

using LineList = std::vector<std::string>;

TEST_F(IniReaderTest, NormalisesKeysSectionsAndValues) {
  EXPECT_EQ(Parse("Speed=12\nSpeed = 12\n\tSpeed 12   \r\n"),
            (LineList{"[K]Speed 12", "[K]Speed 12", "[K]Speed 12"}));
  EXPECT_EQ(Parse("Name = \"Big  Man\"\nAnimation = \"A\", 1000, 3\n"),
            (LineList{"[K]Name \"Big  Man\"", "[K]Animation \"A\" 1000 3"}));
  EXPECT_EQ(Parse("[Creature Type]\n[Open\n[Closed] trailing text\n"),
            (LineList{"[S]Creature Type", "[S]Closed"}));
  // Unquoted words are dropped byte by byte; a digit inside one still starts a number.
  EXPECT_EQ(Parse("Value = abc\nMixed = ab7c\n"), (LineList{"[K]Value", "[K]Mixed 7"}));
  // Comments: lines that start with anything but a letter, '[' or '#'.
  EXPECT_EQ(Parse("; comment\n// other\n1 = 2\n#unknown directive\nKey_1 = -4.5, .5\n"),
            (LineList{"[K]Key_1 -4.5 .5"}));
  // An unterminated quoted value gets its closing quote.
  EXPECT_EQ(Parse("Name = \"open"), (LineList{"[K]Name \"open\""}));
  EXPECT_EQ(Parse(""), LineList{});
}

TEST_F(IniReaderTest, ValueQueriesWalkTheLine) {
  dir.WriteText("a.ini",
                "[S]\nBobs = 1,2, 3\nNeg = -5\nQuoted = \"abc7\"\nFloat = 12.5\nName = \"Long name\", "
                "\"B\"\nNone = abc\n");
  XB_INI_FILE_READER r("a.ini", false);
  ASSERT_TRUE(r.FindSection("s"));
  ASSERT_TRUE(r.NextKey());
  EXPECT_STREQ(r.GetKeyName(), "Bobs");
  for (int v = 1; v <= 3; ++v) {
    EXPECT_EQ(r.GetValueType(), XB_INI_VALUE_NUMBER);
    EXPECT_EQ(r.GetIntValue(), v);
  }
  EXPECT_EQ(r.GetValueType(), XB_INI_VALUE_NONE);
  EXPECT_EQ(r.GetIntValue(), 0);
  ASSERT_TRUE(r.NextKey());
  EXPECT_EQ(r.GetIntValue(), -5);
  ASSERT_TRUE(r.NextKey());
  EXPECT_EQ(r.GetValueType(), XB_INI_VALUE_STRING);
  EXPECT_EQ(r.GetIntValue(), 7);  // the number is found inside the quoted text
  ASSERT_TRUE(r.NextKey());
  EXPECT_EQ(r.GetIntValue(), 12);
  ASSERT_TRUE(r.NextKey());
  char small[5];
  EXPECT_TRUE(r.CopyStringValue(small, sizeof(small)));
  EXPECT_STREQ(small, "Long");
  EXPECT_STREQ(r.GetStringValue(), "B");
  EXPECT_EQ(r.GetStringValue(), nullptr);
  EXPECT_FALSE(r.CopyStringValue(small, sizeof(small)));
  EXPECT_STREQ(small, "");
  ASSERT_TRUE(r.NextKey());
  EXPECT_EQ(r.GetValueType(), XB_INI_VALUE_NONE);
  EXPECT_EQ(r.NextKey(), nullptr);  // end of the lines

  // Numbers beyond 32 bits stop at the ends of the signed range.
  dir.WriteText("big.ini", "[S]\nBig = 2147483647, 2147483648, 99999999999, -2147483648, -99999999999\n");
  XB_INI_FILE_READER big("big.ini", false);
  ASSERT_TRUE(big.FindSection("S") && big.NextKey());
  for (int32_t expected : {2147483647, 2147483647, 2147483647, -2147483647 - 1, -2147483647 - 1})
    EXPECT_EQ(big.GetIntValue(), expected);
}

// A '.' reads as a number but holds no digit: the read gives 0 and still moves on, so a loop that
// reads numbers while the next value is one ends (a lone '.' once hung the saver's start).
TEST_F(IniReaderTest, NumberReadsWithoutADigitStillMoveOn) {
  dir.WriteText("a.ini", "[S]\nMasterType = .\nBobs = ., 5\nDots = . . \"x\"\n");
  XB_INI_FILE_READER r("a.ini", false);
  ASSERT_TRUE(r.FindSection("S"));
  ASSERT_TRUE(r.NextKey());
  EXPECT_EQ(r.GetValueType(), XB_INI_VALUE_NUMBER);
  EXPECT_EQ(r.GetIntValue(), 0);
  EXPECT_EQ(r.GetValueType(), XB_INI_VALUE_NONE);
  // A digit later on the line is still found, exactly as before.
  ASSERT_TRUE(r.NextKey());
  EXPECT_EQ(r.GetIntValue(), 5);
  EXPECT_EQ(r.GetValueType(), XB_INI_VALUE_NONE);
  ASSERT_TRUE(r.NextKey());
  int reads = 0;
  while (r.GetValueType() == XB_INI_VALUE_NUMBER && reads < 10) {
    EXPECT_EQ(r.GetIntValue(), 0);
    ++reads;
  }
  EXPECT_EQ(reads, 1);
  EXPECT_EQ(r.GetStringValue(), nullptr);  // the rest of the line is behind the cursor
}

TEST_F(IniReaderTest, SectionAndKeyWalking) {
  dir.WriteText("a.ini",
                "Loose = 1\n[AnimationType]\nName = \"a\"\nEvent = 1\nEvent = 2\n[Other]\nEvent = 3\n"
                "[ANIMATIONTYPE]\nName = \"b\"\nEvent = 4\n");
  XB_INI_FILE_READER r("a.ini", false);
  EXPECT_EQ(r.CountSections("animationtype"), 2u);
  EXPECT_EQ(r.CountSections("missing"), 0u);
  EXPECT_FALSE(r.HasSection("missing"));
  ASSERT_STREQ(r.FindSection("animationtype"), "AnimationType");
  EXPECT_EQ(r.CountKeys("event"), 2u);
  ASSERT_TRUE(r.NextKey());
  EXPECT_EQ(r.CountKeys("Event"), 2u);  // counting does not move the walk
  EXPECT_STREQ(r.GetKeyName(), "Name");
  EXPECT_STREQ(r.GetStringValue(), "a");
  EXPECT_TRUE(r.FindKey("EVENT"));
  EXPECT_EQ(r.GetIntValue(), 1);
  EXPECT_TRUE(r.FindKey("Event"));  // the current line is tested first
  ASSERT_TRUE(r.NextKey());
  EXPECT_EQ(r.GetIntValue(), 2);
  EXPECT_EQ(r.NextKey(), nullptr);  // stops at [Other]
  // From a section line FindKey first steps into that section: here [Other].
  EXPECT_TRUE(r.FindKey("Event"));
  EXPECT_EQ(r.GetIntValue(), 3);
  ASSERT_STREQ(r.FindNextSection("AnimationType"), "ANIMATIONTYPE");
  EXPECT_EQ(r.CountKeys("Event"), 1u);
  ASSERT_TRUE(r.FindKey("Name"));
  EXPECT_STREQ(r.GetStringValue(), "b");
  EXPECT_EQ(r.FindNextSection("AnimationType"), nullptr);
  // A search that found nothing leaves the walk at the end, not in the section it started from.
  ASSERT_STREQ(r.FindSection("AnimationType"), "AnimationType");
  EXPECT_EQ(r.FindNextSection("Missing"), nullptr);
  EXPECT_EQ(r.NextKey(), nullptr);
  r.Close();
  EXPECT_EQ(r.FindSection("AnimationType"), nullptr);
  EXPECT_EQ(r.CountSections("AnimationType"), 0u);
  // A description of a single line: its section has no keys, not one empty key after it.
  dir.WriteText("one.ini", "[Only]\n");
  XB_INI_FILE_READER one("one.ini", false);
  ASSERT_STREQ(one.FindSection("only"), "Only");
  EXPECT_EQ(one.NextKey(), nullptr);
}

TEST_F(IniReaderTest, DefinesAreExpandedInKeyLines) {
  EXPECT_EQ(Parse("#define SPEED 6\nSpeed = #SPEED\n#define speed 9\nAgain = #speed\n"),
            (LineList{"[K]Speed 6", "[K]Again 6"}));  // the first define of a name wins
  EXPECT_EQ(Parse("#define NAME \"Big Man\" rest\nName = #name, 3\n"), (LineList{"[K]Name \"Big Man\" 3"}));
  EXPECT_EQ(Parse("#define OPEN \"abc\nName = #OPEN\n"), (LineList{"[K]Name \"abc\""}));
  // Empty values are passed over; invalid names are no defines.
  EXPECT_EQ(Parse("#define EMPTY\n#define -X 1\nA = #EMPTY\nB = #-X\n"), (LineList{"[K]A", "[K]B"}));
  EXPECT_EQ(Parse("Speed = #UNKNOWN\n"), (LineList{"[K]Speed"}));
  EXPECT_NE(std::string(XB_LastWarning()).find("#define could not be solved - <UNKNOWN> in file <a.ini>"),
            std::string::npos);
}

TEST_F(IniReaderTest, IncludesAreParsedInPlaceWithTheDefinesSoFar) {
  dir.WriteText("x.ini", "[Inner]\nValue = #N\n#define LATE 2\n");
  EXPECT_EQ(
      Parse("#define N 1\n[Outer]\n#include \"x.ini\"\nAfter = #LATE\n#Include \"x.ini\"\n#include x.ini\n"),
      (LineList{"[S]Outer", "[S]Inner", "[K]Value 1", "[K]After 2"}));
  // The same file may be included twice in a row; only a file that includes itself is a cycle.
  EXPECT_EQ(Parse("#include \"x.ini\"\n#include \"X.INI\"\n#define N 5\n").size(), 4u);
}

TEST_F(IniReaderTest, IncludeFailuresAreFatal) {
  dir.WriteText("self.ini", "A = 1\n#include \"SELF.ini\"\n");
  XB_EXPECT_FATAL_THROW(XB_INI_FILE_READER("self.ini", false), "#include cycle - <SELF.ini>");
  dir.WriteText("p.ini", "#include \"q.ini\"\n");
  dir.WriteText("q.ini", "#include \"p.ini\"\n");
  XB_EXPECT_FATAL_THROW(XB_INI_FILE_READER("p.ini", false), "#include cycle - <p.ini>");
  // A chain of distinct files deeper than the limit is runaway nesting as well.
  for (int i = 0; i < XB_INI_MAX_INCLUDE_DEPTH + 2; ++i)
    dir.WriteText("d" + std::to_string(i) + ".ini", "#include \"d" + std::to_string(i + 1) + ".ini\"\n");
  XB_EXPECT_FATAL_THROW(XB_INI_FILE_READER("d0.ini", false), "#include nested deeper than 32");
  dir.WriteText("m.ini", "#include \"missing.ini\"\n");
  XB_EXPECT_FATAL_THROW(XB_INI_FILE_READER("m.ini", false), "missing.ini");
  // Two quotes with nothing between them name a file too: one that cannot exist.
  dir.WriteText("e.ini", "#include \"\"\n");
  XB_EXPECT_FATAL_THROW(XB_INI_FILE_READER("e.ini", false), "XB_FILE::OpenForReading - file  - errno");
}

TEST_F(IniReaderTest, OversizedInputIsCutNeverOverflows) {
  // A 2000-byte line is cut after 1022 bytes and the next line starts after its end.
  std::string longLine = "Key " + std::string(1996, '7');
  LineList got = Parse(longLine + "\nNext = 1\n");
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].size(), 3u + 1022u);
  EXPECT_EQ(got[1], "[K]Next 1");
  // Expanding defines may grow a key line; it is cut at 1023 bytes with its kind byte.
  std::string text = "#define V \"" + std::string(90, 'v') + "\"\nK =";
  for (int i = 0; i < 40; ++i) text += " #V";
  got = Parse(text + "\n");
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].size(), 3u + 1022u);
  // Define names and values are cut to 99 bytes; a cut quoted value keeps a closing quote.
  text = "#define " + std::string(150, 'N') + " " + std::string(150, '1') + "\n#define Q \"" +
         std::string(150, 'q') + "\"\nA = #" + std::string(99, 'N') + "\nB = #Q\n";
  got = Parse(text);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0], "[K]A " + std::string(99, '1'));
  EXPECT_EQ(got[1], "[K]B \"" + std::string(97, 'q') + "\"");
  // An include path longer than a path buffer is cut (and then simply not found).
  dir.WriteText("long.ini", "#include \"" + std::string(400, 'p') + "\"\n");
  XB_EXPECT_FATAL_THROW(XB_INI_FILE_READER("long.ini", false), std::string(50, 'p'));
  // Bytes after a NUL end the parse.
  EXPECT_EQ(Parse(std::string("A = 1\n\0B = 2\n", 13)), (LineList{"[K]A 1"}));
}

TEST_F(IniReaderTest, CompiledCacheStandsInForTheText) {
  const std::string text = "#define W 3\n[Creature]\nName = \"Big  Man\"\nWalk = #W, -1\n[Other]\nX = 1\n";
  dir.WriteText("desc.ini", text);
  LineList fromText;
  {
    XB_INI_FILE_READER r("desc.ini", true);
    EXPECT_FALSE(r.LoadedFromCache());
    fromText = Dump(r);
  }
  ASSERT_TRUE(dir.Exists("desc.cif"));
  // Present only as its .cif, the description loads identically.
  dir.WriteText("desc.ini", "");
  std::filesystem::remove(dir.File("desc.ini"));
  {
    XB_INI_FILE_READER r("desc.ini", false);
    EXPECT_TRUE(r.LoadedFromCache());
    EXPECT_EQ(Dump(r), fromText);
    ASSERT_TRUE(r.FindSection("creature"));
    ASSERT_TRUE(r.FindKey("walk"));
    EXPECT_EQ(r.GetIntValue(), 3);
  }
  // A .ini that holds a compiled string array is read as a cache.
  dir.Write("copy.ini", dir.Read("desc.cif"));
  {
    XB_INI_FILE_READER r("copy.ini", true);
    EXPECT_TRUE(r.LoadedFromCache());
    EXPECT_EQ(Dump(r), fromText);
  }
  EXPECT_FALSE(dir.Exists("copy.cif"));
  // Without cache writing nothing is written; text shorter than a stream header is text.
  dir.WriteText("tiny.ini", "A");
  {
    XB_INI_FILE_READER r("tiny.ini", false);
    EXPECT_EQ(Dump(r), (LineList{"[K]A"}));
  }
  EXPECT_FALSE(dir.Exists("tiny.cif"));
  XB_EXPECT_FATAL_THROW(XB_INI_FILE_READER("absent.ini", true), "absent.cif");
  // A cache that holds some other object is refused, not misread.
  dir.WriteText("odd.cif", std::string("\x0a\x00\x00\x00\x01\x00\x00\x00x", 9));
  XB_EXPECT_FATAL_THROW(XB_INI_FILE_READER("odd.ini", false), "odd.cif");
}

TEST_F(IniReaderTest, CachePathKeepsDirectoryAndName) {
  EXPECT_EQ(XB_INI_FILE_READER::MakeCachePath("DATA_V\\a.b\\desc.ini"), "DATA_V\\a.b\\desc.cif");
  EXPECT_EQ(XB_INI_FILE_READER::MakeCachePath("C:\\x\\noext"), "C:\\x\\noext.cif");
  EXPECT_EQ(XB_INI_FILE_READER::MakeCachePath("dir.v/name.INI"), "dir.v/name.cif");
}

TEST_F(IniReaderTest, CacheIsWrittenBesideTheTextAsTheFileLayerFindsIt) {
  // The loaders ask with the game's spelling; on a case-sensitive file system the cache must land
  // beside the file that was found, not in a new directory of the asked spelling.
  dir.WriteText("Data_V/Creatures/Desc.INI", "[A]\nB = 1\n");
  {
    XB_INI_FILE_READER r("DATA_V\\creatures\\desc.ini", true);
    EXPECT_EQ(r.CountSections("a"), 1u);
  }
  EXPECT_TRUE(dir.Exists("Data_V/Creatures/Desc.cif"));
  std::filesystem::remove(dir.File("Data_V/Creatures/Desc.INI"));
  XB_INI_FILE_READER r("DATA_V\\creatures\\desc.ini", true);
  EXPECT_TRUE(r.LoadedFromCache());
  EXPECT_EQ(r.CountSections("a"), 1u);
}

// A description that lives only in the packed data file is read from there, includes and all; its
// cache goes under the name asked for, in the directory of that name when it exists on disk, and is
// silently left out when it does not.
TEST_F(IniReaderTest, ADescriptionInsideThePackedFileIsReadAndCachedBesideItsName) {
  auto bytes = [](const std::string& t) { return std::vector<uint8_t>(t.begin(), t.end()); };
  std::string error;
  ASSERT_TRUE(XB_WriteArchive(
      "data_v.dat",
      {{"Data_V\\Descs\\packed.ini", bytes("[A]\nB = 7\n#include \"Data_V\\Descs\\more.ini\"\n")},
       {"Data_V\\Descs\\more.ini", bytes("[C]\nD = \"x\"\n")}},
      &error))
      << error;
  auto archive = std::make_unique<XB_ARCHIVE>("data_v.dat");
  ASSERT_GE(RegisterArchive(archive.get()), 0);
  {
    XB_INI_FILE_READER r("DATA_V\\descs\\PACKED.ini", true);
    EXPECT_FALSE(r.LoadedFromCache());
    EXPECT_EQ(Dump(r), (LineList{"[S]A", "[K]B 7", "[S]C", "[K]D \"x\""}));
  }
  EXPECT_FALSE(dir.Exists("Data_V")) << "no directory is made for the cache";
  std::filesystem::create_directories(dir.File("Data_V/Descs"));
  { XB_INI_FILE_READER r("DATA_V\\descs\\PACKED.ini", true); }
  EXPECT_TRUE(dir.Exists("Data_V/Descs/PACKED.cif")) << "the asked name, in the directory found";
  archive.reset();
  XB_INI_FILE_READER cached("DATA_V\\descs\\PACKED.ini", true);
  EXPECT_TRUE(cached.LoadedFromCache());
  EXPECT_EQ(Dump(cached), (LineList{"[S]A", "[K]B 7", "[S]C", "[K]D \"x\""}));
}

}  // namespace
