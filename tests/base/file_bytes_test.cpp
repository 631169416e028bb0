// The packed data file, the object stream's string array and the compiled INI cache as bytes laid down
// by hand: our readers must understand files written to the published layout, and our writers must
// produce exactly those bytes. Round trips through our own writer and reader cannot show a field that
// both get wrong the same way.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/xb_archive_writer.h"
#include "base/xb_file.h"
#include "base/xb_ini_file_reader.h"
#include "base/xb_storable.h"
#include "base/xb_string_array.h"
#include "tests/common/byte_layout.h"
#include "tests/common/temp_dir.h"

namespace {

using tl_test::Bytes;
using tl_test::U16;
using tl_test::U32;
void Text(Bytes& b, const std::string& s) {
  b.insert(b.end(), s.begin(), s.end());
}
// Scrambling method 1 as the string array's buffers are stored: key from 0x6B, advancing after byte i
// by i * 0x1F + 0x3D; each byte becomes (b XOR key) + 1. These constants are part of our cache format.
Bytes Scrambled(Bytes bytes) {
  uint8_t key = 0x6B;
  for (size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<uint8_t>((bytes[i] ^ key) + 1);
    key = static_cast<uint8_t>(key + static_cast<uint8_t>(i) * 0x1F + 0x3D);
  }
  return bytes;
}
// A framed byte buffer object: class id 10, version 0, size, bytes.
void Buffer(Bytes& b, const Bytes& bytes) {
  U16(b, 10), U16(b, 0), U32(b, static_cast<uint32_t>(bytes.size()));
  b.insert(b.end(), bytes.begin(), bytes.end());
}
// A framed string array, version 1, as its writer lays it out.
Bytes StringArrayFile(uint32_t slots, uint32_t count, const Bytes& index, const Bytes& data) {
  Bytes b;
  U16(b, 65), U16(b, 1);
  U32(b, slots), U32(b, count);
  Buffer(b, Scrambled(index));
  U16(b, 1);
  Buffer(b, Scrambled(data));
  return b;
}

using tl_test::ReadAll;

class FileBytesTest : public ::testing::Test {
 protected:
  void SetUp() override { dir.Enter(); }
  void TearDown() override { dir.Leave(); }
  tl_test::TempDir dir;
};

TEST_F(FileBytesTest, HandMadeArchiveIsReadByItsDirectoryAndOurWriterLaysOutTheSameBytes) {
  // Four bytes nobody reads, two members stored out of order with a gap between them: only the
  // directory's offsets and sizes say where each one lies.
  Bytes file = {'J', 'U', 'N', 'K'};
  U32(file, 2);
  const std::string first = "Data_V\\Logo.txt", second = "a.bin";
  const uint32_t directoryEnd = 8 + (2 + 15 + 8) + (2 + 5 + 8);
  U16(file, 15), Text(file, first), U32(file, directoryEnd + 4), U32(file, 9);
  U16(file, 5), Text(file, second), U32(file, directoryEnd), U32(file, 3);
  Text(file, "ABC");
  Text(file, "\xFF");  // lies between the members; never read
  Text(file, "logo text");
  ASSERT_EQ(file.size(), directoryEnd + 13u);
  dir.Write("hand.dat", file);
  XB_ARCHIVE archive("hand.dat");
  ASSERT_EQ(archive.Count(), 2u);
  ASSERT_GE(RegisterArchive(&archive), 0);
  {
    XB_FILE logo("data_v\\LOGO.TXT", true);
    EXPECT_EQ(logo.Size(), 9);
    EXPECT_EQ(ReadAll(logo), "logo text");
    XB_FILE a("A.BIN", true);
    EXPECT_EQ(ReadAll(a), "ABC");
  }
  UnregisterArchive(&archive);

  // Our writer: zero in the first four bytes, the directory in member order, the members back to back.
  Bytes expected;
  U32(expected, 0), U32(expected, 2);
  U16(expected, 15), Text(expected, first), U32(expected, directoryEnd), U32(expected, 9);
  U16(expected, 5), Text(expected, second), U32(expected, directoryEnd + 9), U32(expected, 3);
  Text(expected, "logo text");
  Text(expected, "ABC");
  std::string error;
  EXPECT_EQ(XB_BuildArchiveImage(
                {{first, Bytes{'l', 'o', 'g', 'o', ' ', 't', 'e', 'x', 't'}}, {second, Bytes{'A', 'B', 'C'}}},
                &error),
            expected)
      << error;
}

TEST_F(FileBytesTest, StringArrayStreamMatchesTheHandMadeBytesBothWays) {
  // Slot 0 "ab", slot 1 empty, slot 2 "c": offsets 0, none, 3 into "ab\0c\0".
  Bytes index;
  U32(index, 0), U32(index, 0xFFFFFFFFu), U32(index, 3);
  const Bytes data = {'a', 'b', 0, 'c', 0};
  const Bytes file = StringArrayFile(3, 2, index, data);

  XB_STORABLE_STRING_ARRAY a(0);
  ASSERT_EQ(a.AddString("ab"), 0u);
  ASSERT_TRUE(a.InsertString(2, "c"));
  ASSERT_TRUE(SaveObjectToFile(a, "ours.obj", true));
  EXPECT_EQ(dir.Read("ours.obj"), file);

  dir.Write("hand.obj", file);
  std::unique_ptr<XB_STORABLE> loaded(LoadObjectFromFile("hand.obj"));
  auto* strings = dynamic_cast<XB_STORABLE_STRING_ARRAY*>(loaded.get());
  ASSERT_NE(strings, nullptr);
  EXPECT_EQ(strings->Slots(), 3u);
  EXPECT_EQ(strings->Count(), 2u);
  EXPECT_STREQ(strings->GetString(0), "ab");
  EXPECT_EQ(strings->GetString(1), nullptr);
  EXPECT_STREQ(strings->GetString(2), "c");
}

TEST_F(FileBytesTest, CompiledIniCacheHoldsTheStoredLinesAsAStringArray) {
  // "[Sec]" is stored as kind 1 + name, "Key = "v", 3" as kind 2 + key and its values.
  const std::string section = "\x01Sec", key = "\x02Key \"v\" 3";
  Bytes index;
  U32(index, 0), U32(index, static_cast<uint32_t>(section.size() + 1));
  Bytes data;
  Text(data, section), data.push_back(0), Text(data, key), data.push_back(0);
  const Bytes cif = StringArrayFile(2, 2, index, data);

  dir.WriteText("desc.ini", "[Sec]\nKey = \"v\", 3\n");
  { XB_INI_FILE_READER reader("desc.ini", true); }
  EXPECT_EQ(dir.Read("desc.cif"), cif);

  // A description present only as a hand-made cache.
  Bytes other = data;
  other[section.size() + 1 + key.find('v')] = 'X';  // the key's value "v" becomes "X"
  dir.Write("only.cif", StringArrayFile(2, 2, index, other));
  XB_INI_FILE_READER reader("only.ini", false);
  ASSERT_TRUE(reader.LoadedFromCache());
  ASSERT_TRUE(reader.FindSection("sec"));
  ASSERT_TRUE(reader.FindKey("key"));
  EXPECT_STREQ(reader.GetStringValue(), "X");
  EXPECT_EQ(reader.GetIntValue(), 3);
}

}  // namespace
