#include "graphics/xb_font.h"

#include <gtest/gtest.h>

#include <memory>

#include "base/xb_file.h"
#include "base/xb_storable.h"
#include "graphics/bob_authoring.h"
#include "graphics/xb_bitmap.h"
#include "graphics/xb_bob_manager.h"
#include "graphics/xb_palette.h"
#include "tests/common/fatal_test.h"
#include "tests/common/temp_dir.h"
#include "tests/graphics/graphics_test_util.h"

namespace {

using Bytes = std::vector<uint8_t>;
using gfx_test::Bitmap8;
using gfx_test::Pixels;

// Glyphs: 'A' 2 wide of colour 1, 'B' 3 wide of colour 2, 'i' 1 wide, 'a' 4 wide, 'b' 5 wide,
// 'x' and 'y' 1 wide, '_' 6 wide of colour 8; line height 3. Every glyph is one row high.
std::unique_ptr<XB_FONT> TestFont() {
  FontBuilder builder(3);
  builder.AddGlyph('A', *Bitmap8({{1, 1}}), 0);
  builder.AddGlyph('B', *Bitmap8({{2, 2, 2}}), 0);
  builder.AddGlyph('i', *Bitmap8({{3}}), 0);
  builder.AddGlyph('a', *Bitmap8({{4, 4, 4, 4}}), 0);
  builder.AddGlyph('b', *Bitmap8({{4, 4, 4, 4, 4}}), 0);
  builder.AddGlyph('x', *Bitmap8({{6}}), 0);
  builder.AddGlyph('y', *Bitmap8({{7}}), 0, 0, 1);  // sits one pixel lower
  builder.AddGlyph('_', *Bitmap8({{8, 8, 8, 8, 8, 8}}), 0);
  return std::unique_ptr<XB_FONT>(builder.Build());
}

TEST(FontTest, WidthsCountOnePixelOfSpacingAndMeasureSpacesAsI) {
  auto font = TestFont();
  EXPECT_EQ(font->GetCharWidth('A'), 3);
  EXPECT_EQ(font->GetCharWidth('Z'), 0);   // no glyph
  EXPECT_EQ(font->GetCharWidth(10), 0);    // below the first glyph
  EXPECT_EQ(font->GetCharWidth(0xC4), 0);  // above the library
  EXPECT_EQ(font->GetTextWidth("a b"), 5 + 2 + 6);
  EXPECT_EQ(font->GetTextWidth("a\tZb"), 5 + 2 + 0 + 6);
  EXPECT_EQ(font->GetTextWidth(""), 0);
  EXPECT_EQ(font->GetTextWidth(nullptr), 0);
  // Measuring takes '_' as its own glyph (drawing skips it like a space, below).
  EXPECT_EQ(font->GetTextWidth("a_"), 5 + 7);
}

TEST(FontTest, TextAdvancesBreaksLinesAndUsesTheTextColour) {
  auto font = TestFont();
  XB_BITMAP b(12, 12);
  b.Fill(0);
  b.PutText("A");  // no font: nothing
  EXPECT_EQ(Pixels(b), Bytes(144, 0));
  EXPECT_EQ(b.SetFont(font.get()), nullptr);
  b.PutText(nullptr);  // no text: nothing
  EXPECT_EQ(Pixels(b), Bytes(144, 0));
  b.DrawText(1, 0, "A_B");
  EXPECT_EQ(b.Row(0)[1], 1);
  EXPECT_EQ(b.Row(0)[2], 1);
  EXPECT_EQ(b.Row(0)[3], 0);
  EXPECT_EQ(b.Row(0)[4], 0);  // '_' advanced by the width of 'i' (2) without drawing
  EXPECT_EQ(b.Row(0)[6], 2);
  EXPECT_EQ(b.Row(0)[8], 2);
  EXPECT_EQ(b.GetCursorX(), 1 + 3 + 2 + 4);
  // A tab as well.
  const Bytes underscored = Pixels(b);
  b.Fill(0);
  b.DrawText(1, 0, "A\tB");
  EXPECT_EQ(Pixels(b), underscored);
  // The cursor reaches the glyph drawing as a signed 16-bit value: 65536 + 2 draws at 2, 65535 at -1.
  b.Fill(0);
  b.DrawText(65536 + 2, 0, "B");
  EXPECT_EQ(Bytes(b.Row(0), b.Row(0) + 6), (Bytes{0, 0, 2, 2, 2, 0}));
  b.Fill(0);
  b.DrawText(65535, 1, "B");
  EXPECT_EQ(Bytes(b.Row(1), b.Row(1) + 4), (Bytes{2, 2, 0, 0}));

  // x, LF, LF, y: a single line break (line height 3 + 2); three LFs give two; CR LF is one; LF CR two.
  b.Fill(0);
  b.DrawText(0, 0, "x\n\ny");
  EXPECT_EQ(b.Row(0)[0], 6);
  EXPECT_EQ(b.Row(5 + 1)[0], 7);  // the 'y' glyph sits one row below the cursor
  b.DrawText(0, 0, "x\n\n\ny");
  EXPECT_EQ(b.GetCursorY(), 10);
  b.DrawText(4, 0, "x\r\ny");
  EXPECT_EQ(b.GetCursorY(), 5);
  EXPECT_EQ(b.GetCursorX(), 4 + 2);
  b.DrawText(4, 0, "x\n\ry\x01");
  EXPECT_EQ(b.GetCursorY(), 10);

  // A text colour recolours every glyph pixel; the font's colour table is cleared afterwards.
  uint8_t fives[256];
  for (auto& v : fives) v = 5;
  XB_REMAP_TABLE colour(fives);
  b.Fill(0);
  EXPECT_EQ(b.SetTextColour(&colour), nullptr);
  b.DrawText(0, 0, "AB");
  EXPECT_EQ(b.Row(0)[0], 5);
  EXPECT_EQ(b.Row(0)[3], 5);
  EXPECT_EQ(font->GetColourTable(), nullptr);
  EXPECT_EQ(b.SetTextColour(nullptr), &colour);
  b.PutChar('A');
  EXPECT_EQ(b.Row(0)[b.GetCursorX() - 3], 1);
  EXPECT_EQ(b.SetFont(nullptr), font.get());
}

TEST(FontTest, FontFilesRoundTripAndMustHoldABobLibrary) {
  tl_test::TempDir dir;
  dir.Enter();
  auto font = TestFont();
  ASSERT_TRUE(SaveObjectToFile(*font, "ext.fnt", true));
  const Bytes bytes = dir.Read("ext.fnt");
  EXPECT_EQ(bytes[0], 40);
  EXPECT_EQ(bytes[6], 3);   // line height
  EXPECT_EQ(bytes[8], 25);  // nested bob library
  std::unique_ptr<XB_STORABLE> loaded(LoadObjectFromFile("ext.fnt"));
  auto* back = dynamic_cast<XB_FONT*>(loaded.get());
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->GetTextWidth("AB"), 7);

  // A font whose nested object is a palette instead of a bob library.
  // (Built in place: growing an initialiser-list vector trips GCC 12's stringop-overread at -O3.)
  Bytes wrong(12 + 1024, 0);
  wrong[0] = 40, wrong[6] = 3, wrong[8] = 50;
  dir.Write("wrong.fnt", wrong);
  XB_EXPECT_FATAL_THROW(delete LoadObjectFromFile("wrong.fnt"), "wrong.fnt");
  // A font without glyphs measures and draws nothing, and refuses to be saved.
  XB_FONT bare(3, nullptr);
  EXPECT_EQ(bare.GetTextWidth("AB"), 0);
  XB_BITMAP b(4, 4);
  b.Fill(0);
  bare.DrawChar(b, 'A', 0, 0);
  EXPECT_EQ(Pixels(b), Bytes(16, 0));
  XB_EXPECT_FATAL_THROW(SaveObjectToFile(bare, "bare.fnt", true), "cannot save a font without glyphs");
  dir.Leave();
}

}  // namespace
