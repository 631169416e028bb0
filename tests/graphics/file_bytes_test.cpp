// The .bmd and .fnt files as bytes laid down by hand: our reader must understand a file written to the
// published layout, and our writer must produce exactly those bytes. A round trip through our own
// writer and reader cannot show a field that both get wrong the same way.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/xb_storable.h"
#include "graphics/graphics_storables.h"
#include "graphics/xb_bitmap.h"
#include "graphics/xb_bob_manager.h"
#include "graphics/xb_font.h"
#include "tests/common/byte_layout.h"
#include "tests/common/temp_dir.h"
#include "tests/graphics/graphics_test_util.h"

namespace {

using tl_test::Bytes;
using tl_test::U16;
using tl_test::U32;
void Append(Bytes& b, const Bytes& more) {
  b.insert(b.end(), more.begin(), more.end());
}
// A nested byte buffer object: class id 10, version 0, size, bytes.
void Buffer(Bytes& b, const Bytes& bytes) {
  U16(b, 10), U16(b, 0), U32(b, static_cast<uint32_t>(bytes.size()));
  Append(b, bytes);
}
void Entry(Bytes& b, uint16_t kind, int32_t x, int32_t y, int32_t w, int32_t h, int32_t firstRow,
           uint32_t palette = 0) {
  U16(b, kind), U16(b, 0);
  for (int32_t v : {x, y, w, h, firstRow}) U32(b, static_cast<uint32_t>(v));
  U32(b, palette);  // palette reference, stored as 0 by our writer
}

// A library numbered from 7: bob 7 a packed 3 x 2 bob at offset (-1, -2) whose second row starts at
// column 1; bob 8 empty; bob 9 a 2 x 1 shadow bob. The row table lists bob 9's row first,
// so that a reader taking rows in entry order would draw the wrong ones. `junk` bytes follow the pixel
// bytes in their buffer beyond the size the header gives, and `palette` fills the entries' palette field.
Bytes HandMadeLibrary(const Bytes& junk = {}, uint32_t palette = 0) {
  const Bytes pixels = {
      2, 11, 12, 0x81, 0,  // bob 7 row 0 at byte 0: two pixels, a skip of one (the row end)
      1, 13, 0,            // bob 7 row 1 at byte 5: one pixel
      2, 0,                // bob 9 row 0 at byte 8: two darkened pixels
  };
  Bytes b;
  U16(b, 25), U16(b, 0);  // class id, version
  U32(b, 7);              // first index
  U32(b, 3);              // count
  U32(b, static_cast<uint32_t>(pixels.size()));
  b.resize(b.size() + 16, 0);  // reserved
  Bytes table;
  Entry(table, XB_BOB_PACKED, -1, -2, 3, 2, 1, palette);
  Entry(table, XB_BOB_NONE, 0, 0, 0, 0, 0, palette);
  Entry(table, XB_BOB_SHADOW, 0, 0, 2, 1, 0, palette);
  Buffer(b, table);
  Bytes stored = pixels;
  Append(stored, junk);
  Buffer(b, stored);
  Bytes rows;
  U32(rows, 8);                // bob 9's row
  U32(rows, 0);                // bob 7 row 0: byte 0, column 0
  U32(rows, 5u | (1u << 22));  // bob 7 row 1: byte 5, column 1
  Buffer(b, rows);
  return b;
}

class FileBytesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterGraphicsStorables();
    dir.Enter();
  }
  void TearDown() override { dir.Leave(); }
  tl_test::TempDir dir;
};

TEST_F(FileBytesTest, HandMadeBobLibraryReadsDrawsAndIsWrittenBackByteForByte) {
  const Bytes file = HandMadeLibrary();
  dir.Write("hand.bmd", file);
  std::unique_ptr<XB_BOB_MANAGER> lib(dynamic_cast<XB_BOB_MANAGER*>(LoadObjectFromFile("hand.bmd")));
  ASSERT_NE(lib, nullptr);
  EXPECT_EQ(lib->GetFirstIndex(), 7u);
  EXPECT_EQ(lib->GetCount(), 3u);
  XB_RECT r;
  EXPECT_FALSE(lib->GetBobRect(6, r));
  ASSERT_TRUE(lib->GetBobRect(7, r));
  EXPECT_EQ(r.x, -1);
  EXPECT_EQ(r.y, -2);
  EXPECT_EQ(r.width, 3);
  EXPECT_EQ(r.height, 2);
  EXPECT_FALSE(lib->GetBobRect(8, r)) << "kind 0 is no bob";
  ASSERT_TRUE(lib->GetBobRect(9, r));
  EXPECT_EQ(r.width, 2);
  EXPECT_FALSE(lib->GetBobRect(10, r));

  auto bitmap = gfx_test::Bitmap8({{1, 1, 1, 1}, {1, 1, 1, 1}, {1, 1, 1, 1}});
  lib->DrawBob(7, *bitmap, 1, 2, 0);
  EXPECT_EQ(gfx_test::Pixels(*bitmap), (Bytes{11, 12, 1, 1, 1, 13, 1, 1, 1, 1, 1, 1}));
  uint8_t shadow[256];
  for (int i = 0; i < 256; ++i) shadow[i] = static_cast<uint8_t>(255 - i);
  lib->DrawBobShadow(9, *bitmap, 1, 2, shadow);
  EXPECT_EQ(gfx_test::Pixels(*bitmap), (Bytes{11, 12, 1, 1, 1, 13, 1, 1, 1, 254, 254, 1}));

  ASSERT_TRUE(SaveObjectToFile(*lib, "again.bmd", true));
  EXPECT_EQ(dir.Read("again.bmd"), file);

  // A pixel buffer longer than the size in use is written cut to that size, and the palette
  // references (run-time values) are written as 0.
  dir.Write("loose.bmd", HandMadeLibrary({0xEE, 0xEE, 0xEE, 0xEE}, 0x12345678));
  std::unique_ptr<XB_BOB_MANAGER> loose(dynamic_cast<XB_BOB_MANAGER*>(LoadObjectFromFile("loose.bmd")));
  ASSERT_NE(loose, nullptr);
  ASSERT_TRUE(SaveObjectToFile(*loose, "tight.bmd", true));
  EXPECT_EQ(dir.Read("tight.bmd"), file);
}

TEST_F(FileBytesTest, HandMadeFontReadsItsLineHeightAndGlyphsAndIsWrittenBackByteForByte) {
  Bytes file;
  U16(file, 40), U16(file, 0);  // class id, version
  U16(file, 0);                 // reserved
  U16(file, 13);                // line height
  // Glyph library numbered from 33 ('A' - 32): 'A' is 3 wide; 'B' has no bob; 'C' is 1 wide, and the
  // bob of 'i' (73) lies beyond the library, so spaces measure 0.
  const Bytes pixels = {3, 5, 6, 7, 0, 1, 9, 0};
  Bytes glyphs;
  U16(glyphs, 25), U16(glyphs, 0);
  U32(glyphs, 33), U32(glyphs, 3), U32(glyphs, static_cast<uint32_t>(pixels.size()));
  glyphs.resize(glyphs.size() + 16, 0);
  Bytes table;
  Entry(table, XB_BOB_PACKED, 0, 0, 3, 1, 0);
  Entry(table, XB_BOB_NONE, 0, 0, 0, 0, 0);
  Entry(table, XB_BOB_PACKED, 0, 0, 1, 1, 1);
  Buffer(glyphs, table);
  Buffer(glyphs, pixels);
  Bytes rows;
  U32(rows, 0), U32(rows, 5);
  Buffer(glyphs, rows);
  Append(file, glyphs);
  dir.Write("hand.fnt", file);

  std::unique_ptr<XB_FONT> font(dynamic_cast<XB_FONT*>(LoadObjectFromFile("hand.fnt")));
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(font->GetLineHeight(), 13);
  EXPECT_EQ(font->GetCharWidth('A'), 4) << "glyph width + 1";
  EXPECT_EQ(font->GetCharWidth('B'), 0);
  EXPECT_EQ(font->GetCharWidth('C'), 2);
  EXPECT_EQ(font->GetTextWidth("ABCA"), 10);

  ASSERT_TRUE(SaveObjectToFile(*font, "again.fnt", true));
  EXPECT_EQ(dir.Read("again.fnt"), file);
}

}  // namespace
