#include "graphics/bob_authoring.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "base/xb_storable.h"
#include "graphics/xb_bitmap.h"
#include "graphics/xb_bob_manager.h"
#include "graphics/xb_font.h"
#include "tests/common/fatal_test.h"
#include "tests/common/temp_dir.h"
#include "tests/graphics/graphics_test_util.h"

namespace {

using Bytes = std::vector<uint8_t>;
using gfx_test::Bitmap8;
using gfx_test::Pixels;

// Draws bob `number` at its own origin into a bitmap of its size prefilled with `background`.
Bytes DrawBack(XB_BOB_MANAGER& lib, uint32_t number, uint8_t background) {
  const XB_BOB_ENTRY* e = lib.GetEntry(number);
  XB_BITMAP canvas(e->width, e->height);
  canvas.Fill(background);
  lib.DrawBob(number, canvas, static_cast<int16_t>(-e->x), static_cast<int16_t>(-e->y), 0);
  return Pixels(canvas);
}

std::unique_ptr<XB_BITMAP> Coverage(const XB_BITMAP& art, uint8_t key) {
  auto c = std::make_unique<XB_BITMAP>(art.GetWidth(), art.GetHeight());
  for (int64_t i = 0; i < int64_t{art.GetWidth()} * art.GetHeight(); ++i)
    c->GetPixels()[i] = art.GetPixels()[i] == key ? 0 : 1;
  return c;
}

TEST(BobAuthoringTest, RandomBobsDrawBackExactly) {
  std::mt19937 rng(99);
  for (int round = 0; round < 40; ++round) {
    const int32_t w = 1 + static_cast<int32_t>(rng() % 400), h = 1 + static_cast<int32_t>(rng() % 40);
    const uint8_t key = static_cast<uint8_t>(rng());
    auto art = gfx_test::RandomArt(rng, w, h, key, round % 4 * 0.3, round % 2 ? 0.99 : 0.5);
    auto cover = Coverage(*art, key);
    auto levels = std::make_unique<XB_BITMAP>(w, h);
    for (int64_t i = 0; i < int64_t{w} * h; ++i)
      levels->GetPixels()[i] = cover->GetPixels()[i] ? static_cast<uint8_t>(art->GetPixels()[i] % 255) : 255;

    BobLibraryBuilder builder(100);
    builder.AddPacked(100, *art, key, -w / 2, -h);
    builder.AddShadow(102, *cover, 3, 4);  // 101 stays a gap
    builder.AddMask(103, *levels);
    std::unique_ptr<XB_BOB_MANAGER> lib(builder.Build());
    EXPECT_EQ(lib->GetCount(), 4u);
    EXPECT_EQ(lib->GetBobKind(101), XB_BOB_NONE);
    XB_RECT r;
    ASSERT_TRUE(lib->GetBobRect(100, r));
    EXPECT_EQ(r, XB_RECT(-w / 2, -h, w, h));

    // Packed: every opaque pixel comes back, the key stays background.
    EXPECT_EQ(DrawBack(*lib, 100, key), Pixels(*art)) << "round " << round;
    // Shadow: the shadow table marks exactly the covered pixels.
    uint8_t mark[256];
    for (int i = 0; i < 256; ++i) mark[i] = 200;
    XB_BITMAP canvas(w, h);
    canvas.Fill(1);
    lib->DrawBobShadow(102, canvas, -3, -4, mark);
    for (int64_t i = 0; i < int64_t{w} * h; ++i)
      ASSERT_EQ(canvas.GetPixels()[i], cover->GetPixels()[i] ? 200 : 1) << "round " << round;
    // Mask: levels come back, 255 stays transparent.
    XB_BITMAP maskCanvas(w, h);
    maskCanvas.Fill(255);
    lib->DrawBob(103, maskCanvas, 0, 0, 0);
    EXPECT_EQ(Pixels(maskCanvas), Pixels(*levels));
    // The decoders used by the tools agree.
    std::unique_ptr<XB_BITMAP> decoded(DecodeBob(*lib, 103, 0));
    EXPECT_EQ(Pixels(*decoded), Pixels(*levels));
    std::unique_ptr<XB_BITMAP> coverage(DecodeBobCoverage(*lib, 100));
    for (int64_t i = 0; i < int64_t{w} * h; ++i)
      ASSERT_EQ(coverage->GetPixels()[i] != 0, cover->GetPixels()[i] != 0);
  }
}

TEST(BobAuthoringTest, EdgeShapesEncodeCompactly) {
  // Empty rows, a single pixel, and runs longer than 127 on both sides.
  Bytes wide(300, 0);
  for (int x = 10; x < 150; ++x) wide[x] = 7;  // 140 opaque: 127 + 13
  wide[299] = 9;                               // after a gap of 149: skip 127 + 22
  auto art = Bitmap8({Bytes(300, 0), wide, [] {
                        Bytes single(300, 0);
                        single[5] = 3;
                        return single;
                      }()});
  EncodedBob bob = EncodePackedBob(*art, 0);
  ASSERT_EQ(bob.rows.size(), 3u);
  EXPECT_EQ(bob.rows[0], XB_BOB_EMPTY_ROW);
  EXPECT_EQ(bob.rows[1] >> 22, 10u);
  EXPECT_EQ(bob.rows[2] >> 22, 5u);
  const uint8_t* row1 = bob.data.data() + (bob.rows[1] & XB_BOB_OFFSET_MASK);
  EXPECT_EQ(row1[0], 127);
  EXPECT_EQ(row1[128], 13);
  EXPECT_EQ(row1[128 + 14], 0x80 | 127);
  EXPECT_EQ(row1[128 + 15], 0x80 | 22);
  EXPECT_EQ(row1[128 + 16], 1);
  EXPECT_EQ(row1[128 + 17], 9);
  EXPECT_EQ(row1[128 + 18], 0);
  EXPECT_EQ(bob.data.back(), 0);
  EXPECT_EQ(bob.data.size(), size_t{128 + 19 + 3});

  // Index 0 is an ordinary colour when a coverage mask says where the bob is.
  auto zeros = Bitmap8({{0, 0, 5}});
  auto cover = Bitmap8({{1, 0, 1}});
  BobLibraryBuilder builder;
  builder.AddPackedCovered(0, *zeros, *cover);
  builder.Add(1, EncodePackedBob(*Bitmap8({{4, 4}}), 4));  // fully transparent: all rows empty
  builder.ReserveUpTo(5);
  std::unique_ptr<XB_BOB_MANAGER> lib(builder.Build());
  EXPECT_EQ(lib->GetCount(), 6u);
  EXPECT_EQ(DrawBack(*lib, 0, 9), (Bytes{0, 9, 5}));
  EXPECT_EQ(lib->GetRowTable()[lib->GetEntry(1)->firstRow], XB_BOB_EMPTY_ROW);
  // Long level runs split at 255.
  auto flat = std::make_unique<XB_BITMAP>(600, 1);
  flat->Fill(17);
  EncodedBob mask = EncodeLevelMask(*flat);
  EXPECT_EQ(mask.data, (Bytes{255, 17, 255, 17, 90, 17, 0}));
}

TEST(BobAuthoringTest, FormatLimitsAreRefusedWithAClearError) {
  XB_BITMAP tooWide(1024, 1);
  XB_EXPECT_FATAL(EncodePackedBob(tooWide, 0),
                  "a packed bob of 1024 columns is too wide; a bob has at most 1023");
  XB_EXPECT_FATAL_THROW(EncodeLevelMask(tooWide), "too wide");
  XB_BITMAP hi(2, 2, XB_PIXELS_32);
  XB_EXPECT_FATAL_THROW(EncodeShadowBob(hi), "needs an 8-bit bitmap");
  XB_EXPECT_FATAL_THROW(EncodePackedBobCovered(XB_BITMAP(2, 2), XB_BITMAP(3, 2)), "does not match");
  BobLibraryBuilder builder(10);
  XB_EXPECT_FATAL_THROW(builder.AddPacked(9, XB_BITMAP(1, 1), 0), "below the library's first number");
  // 1023 x 1100 opaque pixels need 1023 + 9 bytes per row: more than 4 MiB for the library.
  XB_BITMAP big(1023, 1100);
  big.Fill(1);
  builder.AddPacked(10, big, 0);
  builder.AddPacked(11, big, 0);
  builder.AddPacked(12, big, 0);
  builder.AddPacked(13, big, 0);
  XB_EXPECT_FATAL_THROW(delete builder.Build(), "exceed the 4194304 bytes (4 MiB)");
  FontBuilder fonts(8);
  XB_EXPECT_FATAL_THROW(fonts.AddGlyph(31, XB_BITMAP(1, 1), 0), "no glyph slot");
}

TEST(BobAuthoringTest, SavedLibrariesAndFontsLoadBack) {
  tl_test::TempDir dir;
  dir.Enter();
  BobLibraryBuilder builder(2);
  builder.AddPacked(3, *Bitmap8({{1, 0, 2}, {0, 3, 0}}), 0, -1, -2);
  ASSERT_TRUE(builder.SaveBmd("lib.bmd"));
  std::unique_ptr<XB_STORABLE> object(LoadObjectFromFile("lib.bmd"));
  auto* lib = dynamic_cast<XB_BOB_MANAGER*>(object.get());
  ASSERT_NE(lib, nullptr);
  EXPECT_EQ(lib->GetFirstIndex(), 2u);
  EXPECT_EQ(lib->GetCount(), 2u);
  EXPECT_EQ(DrawBack(*lib, 3, 0), (Bytes{1, 0, 2, 0, 3, 0}));
  EXPECT_FALSE(builder.SaveBmd("no/such/dir/lib.bmd"));

  FontBuilder fonts(12);
  fonts.AddGlyph('A', *Bitmap8({{0, 5}, {5, 5}}), 0, 0, 1);
  ASSERT_TRUE(fonts.SaveFnt("f.fnt"));
  std::unique_ptr<XB_STORABLE> fontObject(LoadObjectFromFile("f.fnt"));
  auto* font = dynamic_cast<XB_FONT*>(fontObject.get());
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(font->GetLineHeight(), 12);
  EXPECT_EQ(font->GetCharWidth('A'), 3);
  dir.Leave();
}

}  // namespace
