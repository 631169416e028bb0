#include "base/xb_storable.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/xb_file.h"
#include "base/xb_storable_buffer.h"
#include "base/xb_string_array.h"
#include "tests/common/fatal_test.h"
#include "tests/common/temp_dir.h"

namespace {

using tl_test::PutBytes;
using tl_test::PutU16;
using tl_test::PutU32;

class StorableTest : public ::testing::Test {
 protected:
  void SetUp() override { dir.Enter(); }
  void TearDown() override { dir.Leave(); }
  tl_test::TempDir dir;
};

template <class T>
std::unique_ptr<T> LoadAs(const char* path) {
  XB_STORABLE* object = LoadObjectFromFile(path);
  T* typed = dynamic_cast<T*>(object);
  EXPECT_NE(typed, nullptr);
  if (!typed) delete object;
  return std::unique_ptr<T>(typed);
}

// A framed buffer object as bytes.
void PutBufferObject(std::vector<uint8_t>& out, const std::vector<uint8_t>& bytes) {
  PutU16(out, XB_CLASS_BUFFER);
  PutU16(out, 0);
  PutU32(out, static_cast<uint32_t>(bytes.size()));
  out.insert(out.end(), bytes.begin(), bytes.end());
}

// ---- XB_STORABLE_BUFFER -----------------------------------------------------------------------

TEST_F(StorableTest, BufferFillsAndResizes) {
  XB_STORABLE_BUFFER fresh(4);
  EXPECT_EQ(std::vector<uint8_t>(fresh.Data(), fresh.Data() + 4), std::vector<uint8_t>(4, 0xEE));
  XB_STORABLE_BUFFER b(3, 0x11);
  EXPECT_EQ(b.Size(), 3u);
  b.Data()[0] = 1;
  b.Data()[1] = 2;
  const uint8_t* before = b.Data();
  EXPECT_TRUE(b.Resize(3, true, 0x99));
  EXPECT_EQ(b.Data(), before);  // same size: nothing happens
  EXPECT_TRUE(b.Resize(6, true, 0x99));
  EXPECT_EQ(std::vector<uint8_t>(b.Data(), b.Data() + 6),
            (std::vector<uint8_t>{1, 2, 0x11, 0x99, 0x99, 0x99}));
  EXPECT_TRUE(b.Resize(2, true, 0x77));
  EXPECT_EQ(std::vector<uint8_t>(b.Data(), b.Data() + 2), (std::vector<uint8_t>{1, 2}));
  b.Fill(0x42);
  EXPECT_EQ(b.Data()[1], 0x42);
  // Growing again into room the buffer kept: the regrown bytes are filled anew, not the old ones.
  EXPECT_TRUE(b.Resize(5, true, 0x33));
  EXPECT_EQ(std::vector<uint8_t>(b.Data(), b.Data() + 5),
            (std::vector<uint8_t>{0x42, 0x42, 0x33, 0x33, 0x33}));
  XB_STORABLE_BUFFER empty(0);
  EXPECT_TRUE(empty.Resize(2, true, 5));
  EXPECT_EQ(empty.Data()[1], 5);
}

TEST_F(StorableTest, ScramblingIsStableAndReversible) {
  // The first bytes of a scrambled zero block pin the seed and constants: compiled caches written
  // earlier must keep reading back.
  XB_STORABLE_BUFFER zeros(4, 0);
  zeros.Scramble();
  EXPECT_EQ(std::vector<uint8_t>(zeros.Data(), zeros.Data() + 4),
            (std::vector<uint8_t>{0x6C, 0xA9, 0x05, 0x80}));
  XB_STORABLE_BUFFER b(300);
  for (uint32_t i = 0; i < b.Size(); ++i) b.Data()[i] = static_cast<uint8_t>(i * 7);
  const std::vector<uint8_t> original(b.Data(), b.Data() + b.Size());
  b.Scramble();
  EXPECT_NE(std::vector<uint8_t>(b.Data(), b.Data() + b.Size()), original);
  b.Unscramble();
  EXPECT_EQ(std::vector<uint8_t>(b.Data(), b.Data() + b.Size()), original);
}

TEST_F(StorableTest, BufferSavesLoadsAndPeeks) {
  XB_STORABLE_BUFFER b(5, 0);
  std::memcpy(b.Data(), "hello", 5);
  ASSERT_TRUE(SaveObjectToFile(b, "buffer.obj", true));
  EXPECT_EQ(dir.Read("buffer.obj"), (std::vector<uint8_t>{10, 0, 0, 0, 5, 0, 0, 0, 'h', 'e', 'l', 'l', 'o'}));
  const XB_OBJECT_HEADER header = PeekObjectHeader("BUFFER.OBJ");
  EXPECT_EQ(header.classId, XB_CLASS_BUFFER);
  EXPECT_EQ(header.version, 0);
  auto loaded = LoadAs<XB_STORABLE_BUFFER>("buffer.obj");
  ASSERT_TRUE(loaded);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(loaded->Data()), loaded->Size()), "hello");

  std::unique_ptr<XB_STORABLE_BUFFER> whole(XB_STORABLE_BUFFER::FromFile("buffer.obj"));
  EXPECT_EQ(whole->Size(), 13u);
  EXPECT_EQ(whole->Data()[8], 'h');

  EXPECT_FALSE(SaveObjectToFile(b, "missing_dir/x.obj", false));
  XB_EXPECT_FATAL(SaveObjectToFile(b, "missing_dir/x.obj", true),
                  "XB_FILE::OpenForWriting - file missing_dir/x\\.obj - errno 2: No such file or directory");
}

TEST_F(StorableTest, BufferSizeBeyondTheFileIsFatal) {
  std::vector<uint8_t> bytes;
  PutU16(bytes, XB_CLASS_BUFFER);
  PutU16(bytes, 0);
  PutU32(bytes, 0xFFFFFFF0u);
  PutBytes(bytes, "abc");
  dir.Write("big.obj", bytes);
  XB_EXPECT_FATAL_THROW(LoadObjectFromFile("big.obj"),
                        "XB_STORABLE_BUFFER - file big.obj - corrupt data: needs 4294967280 bytes, 3 left");
}

// ---- The factory ------------------------------------------------------------------------------

TEST_F(StorableTest, UnknownClassIdIsFatal) {
  std::vector<uint8_t> bytes;
  PutU16(bytes, 77);
  PutU16(bytes, 0);
  dir.Write("unknown.obj", bytes);
  XB_EXPECT_FATAL(
      LoadObjectFromFile("unknown.obj"),
      "\n\nXB FATAL ERROR:\n\nXB_STORABLE: LoadObject - cannot load unknown object - class id 77\n");
  dir.Write("empty.obj", {});
  XB_EXPECT_FATAL_THROW(LoadObjectFromFile("empty.obj"), "XB_FILE::Read - file empty.obj");
  XB_EXPECT_FATAL_THROW(LoadObjectFromFile("absent.obj"),
                        "XB_FILE::OpenForReading - file absent.obj - errno 2");
}

class Probe : public XB_STORABLE {
 public:
  static constexpr uint16_t kClassId = 201;
  explicit Probe(uint32_t v) : value(v) {}
  uint16_t GetClassId() const override { return kClassId; }
  uint16_t GetVersion() const override { return 3; }
  void Save(XB_FILE& file) override { file.WriteU32(value); }
  uint32_t value;
};

TEST_F(StorableTest, RegisteredClassesLoadWithTheirVersion) {
  XB_RegisterStorableClass(Probe::kClassId, [](XB_FILE& file, uint16_t version) -> XB_STORABLE* {
    return new Probe(file.ReadU32() + version * 1000u);
  });
  Probe p(7);
  ASSERT_TRUE(SaveObjectToFile(p, "probe.obj", true));
  auto loaded = LoadAs<Probe>("probe.obj");
  ASSERT_TRUE(loaded);
  EXPECT_EQ(loaded->value, 3007u);
  // Registering the class again replaces its loader.
  XB_RegisterStorableClass(Probe::kClassId, [](XB_FILE& file, uint16_t) -> XB_STORABLE* {
    return new Probe(file.ReadU32() + 50u);
  });
  EXPECT_EQ(LoadAs<Probe>("probe.obj")->value, 57u);

  // A nested object of the wrong class is refused by name, not used as the wrong type.
  XB_FILE f("probe.obj", true);
  XB_EXPECT_FATAL_THROW(LoadObjectOfClass<XB_STORABLE_BUFFER>(f, "Caller"),
                        "Caller - file probe.obj - expected object class 10, found class 201");
}

TEST_F(StorableTest, DeepNestingIsFatal) {
  // String arrays whose index object is again a string array, deeper than any real file.
  std::vector<uint8_t> bytes;
  for (int i = 0; i < 40; ++i) {
    PutU16(bytes, XB_CLASS_STRING_ARRAY);
    PutU16(bytes, 0);
    PutU32(bytes, 0);
  }
  dir.Write("deep.obj", bytes);
  XB_EXPECT_FATAL_THROW(LoadObjectFromFile("deep.obj"),
                        "LoadObject - file deep.obj - objects nested deeper than 16");
  // The depth count recovers after the error: an ordinary object still loads.
  XB_STORABLE_BUFFER b(1, 0);
  ASSERT_TRUE(SaveObjectToFile(b, "one.obj", true));
  EXPECT_TRUE(LoadAs<XB_STORABLE_BUFFER>("one.obj"));
}

// ---- XB_STORABLE_STRING_ARRAY ------------------------------------------------------------------

TEST_F(StorableTest, AddStringFillsSlotsInOrder) {
  XB_STORABLE_STRING_ARRAY a(0);
  EXPECT_EQ(a.AddString("zero"), 0u);
  EXPECT_EQ(a.AddString(""), 1u);
  EXPECT_EQ(a.AddString("two"), 2u);
  EXPECT_EQ(a.Slots(), 3u);
  EXPECT_EQ(a.Count(), 3u);
  EXPECT_STREQ(a.GetString(0), "zero");
  EXPECT_STREQ(a.GetString(1), "");
  EXPECT_STREQ(a.GetString(2), "two");
  EXPECT_EQ(a.GetString(3), nullptr);
  EXPECT_FALSE(a.InsertString(1, "taken"));
  EXPECT_STREQ(a.GetString(1), "");
  EXPECT_EQ(a.Count(), 3u);

  XB_STORABLE_STRING_ARRAY holes(4);
  EXPECT_EQ(holes.GetString(0), nullptr);
  EXPECT_TRUE(holes.InsertString(2, "two"));
  EXPECT_EQ(holes.AddString("first hole"), 0u);
  EXPECT_EQ(holes.AddString("next hole"), 1u);
  EXPECT_EQ(holes.AddString("last hole"), 3u);
  EXPECT_EQ(holes.AddString("appended"), 4u);
  EXPECT_STREQ(holes.GetString(2), "two");
  EXPECT_STREQ(holes.GetString(4), "appended");
}

TEST_F(StorableTest, StringArrayLimit) {
  XB_STORABLE_STRING_ARRAY a(0);
  EXPECT_TRUE(a.InsertString(19999, "last"));
  EXPECT_EQ(a.Slots(), 20000u);
  EXPECT_EQ(a.Count(), 1u);
  EXPECT_EQ(a.GetString(0), nullptr);
  EXPECT_EQ(a.GetString(19998), nullptr);
  EXPECT_STREQ(a.GetString(19999), "last");
  testing::internal::CaptureStdout();
  EXPECT_FALSE(a.InsertString(20000, "too far"));
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "RARA::DIVURAR: WARNING: XB_STORABLE_STRING_ARRAY::InsertString: too much strings! Maximum is "
            "20000!\n");
  EXPECT_EQ(a.Slots(), 20000u);
  // AddString on a full-length array with one string scans for the lowest hole.
  EXPECT_EQ(a.AddString("hole"), 0u);
}

TEST_F(StorableTest, StringArrayRoundTripScramblesOnlyTheFile) {
  XB_STORABLE_STRING_ARRAY a(0);
  a.AddString("Data_V\\VE_Graphics\\ExtText.fnt");
  a.InsertString(5, "five");
  ASSERT_TRUE(SaveObjectToFile(a, "strings.obj", true));
  EXPECT_STREQ(a.GetString(0), "Data_V\\VE_Graphics\\ExtText.fnt");  // unchanged in memory
  EXPECT_STREQ(a.GetString(5), "five");

  const std::vector<uint8_t> file = dir.Read("strings.obj");
  const std::string asText(file.begin(), file.end());
  EXPECT_EQ(asText.find("ExtText"), std::string::npos);  // the data is scrambled in the file
  EXPECT_EQ(file[0], 65);
  EXPECT_EQ(file[2], 1);  // version 1

  auto b = LoadAs<XB_STORABLE_STRING_ARRAY>("strings.obj");
  ASSERT_TRUE(b);
  EXPECT_EQ(b->Slots(), 6u);
  EXPECT_EQ(b->Count(), 2u);
  EXPECT_STREQ(b->GetString(0), "Data_V\\VE_Graphics\\ExtText.fnt");
  for (uint32_t i = 1; i < 5; ++i) EXPECT_EQ(b->GetString(i), nullptr);
  EXPECT_STREQ(b->GetString(5), "five");
  EXPECT_EQ(b->AddString("new"), 1u);  // the loaded array keeps working
}

TEST_F(StorableTest, EmptyStringArraySavesNoData) {
  XB_STORABLE_STRING_ARRAY a(3);
  ASSERT_TRUE(SaveObjectToFile(a, "empty.obj", true));
  const std::vector<uint8_t> file = dir.Read("empty.obj");
  ASSERT_EQ(file.size(), 4u + 8u + 4u + 4u + 12u + 2u);
  EXPECT_EQ(file[file.size() - 2], 0);
  EXPECT_EQ(file[file.size() - 1], 0);
  auto b = LoadAs<XB_STORABLE_STRING_ARRAY>("empty.obj");
  ASSERT_TRUE(b);
  EXPECT_EQ(b->Slots(), 3u);
  for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(b->GetString(i), nullptr);
}

TEST_F(StorableTest, VersionZeroBodiesAreReadUnscrambled) {
  std::vector<uint8_t> index;
  PutU32(index, 0);
  PutU32(index, 0xFFFFFFFFu);
  PutU32(index, 4);
  std::vector<uint8_t> bytes;
  PutU16(bytes, XB_CLASS_STRING_ARRAY);
  PutU16(bytes, 0);
  PutU32(bytes, 3);  // slots; no count field in version 0
  PutBufferObject(bytes, index);
  PutU16(bytes, 1);
  PutBufferObject(bytes, {'a', 'b', 'c', 0, 'x', 0});
  dir.Write("v0.obj", bytes);
  auto a = LoadAs<XB_STORABLE_STRING_ARRAY>("v0.obj");
  ASSERT_TRUE(a);
  EXPECT_EQ(a->Count(), 3u);
  EXPECT_STREQ(a->GetString(0), "abc");
  EXPECT_EQ(a->GetString(1), nullptr);
  EXPECT_STREQ(a->GetString(2), "x");
}

TEST_F(StorableTest, CorruptStringArraysAreFatal) {
  auto write = [&](const char* name, uint32_t slots, const std::vector<uint8_t>& index, bool withData,
                   const std::vector<uint8_t>& data) {
    std::vector<uint8_t> bytes;
    PutU16(bytes, XB_CLASS_STRING_ARRAY);
    PutU16(bytes, 0);
    PutU32(bytes, slots);
    PutBufferObject(bytes, index);
    PutU16(bytes, withData ? 1 : 0);
    if (withData) PutBufferObject(bytes, data);
    dir.Write(name, bytes);
  };
  std::vector<uint8_t> oneOffset;
  PutU32(oneOffset, 0);
  std::vector<uint8_t> farOffset;
  PutU32(farOffset, 2);
  write("slots.obj", 20001, {}, false, {});
  write("size.obj", 2, oneOffset, true, {'a', 0});
  write("outside.obj", 1, farOffset, true, {'a', 0});
  write("nodata.obj", 1, oneOffset, false, {});
  write("unterminated.obj", 1, oneOffset, true, {'a', 'b'});
  const char* const prefix = "XB_STORABLE_STRING_ARRAY - file ";
  XB_EXPECT_FATAL_THROW(LoadObjectFromFile("slots.obj"),
                        std::string(prefix) + "slots.obj - corrupt data: too many");
  XB_EXPECT_FATAL_THROW(LoadObjectFromFile("size.obj"),
                        std::string(prefix) + "size.obj - corrupt data: index size");
  XB_EXPECT_FATAL_THROW(LoadObjectFromFile("outside.obj"),
                        "outside.obj - corrupt data: string offset outside");
  XB_EXPECT_FATAL_THROW(LoadObjectFromFile("nodata.obj"), "nodata.obj - corrupt data: string offset outside");
  XB_EXPECT_FATAL_THROW(LoadObjectFromFile("unterminated.obj"),
                        "unterminated.obj - corrupt data: last string");
}

}  // namespace
