#include "graphics/xb_bob_manager.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <random>

#include "base/xb_file.h"
#include "base/xb_storable.h"
#include "graphics/bob_authoring.h"
#include "graphics/xb_bitmap.h"
#include "graphics/xb_palette.h"
#include "tests/common/fatal_test.h"
#include "tests/common/temp_dir.h"
#include "tests/graphics/graphics_test_util.h"

namespace {

using Bytes = std::vector<uint8_t>;
using gfx_test::Bitmap8;
using gfx_test::Entry;
using gfx_test::Pixels;
using gfx_test::RawLibrary;

constexpr uint32_t kEmpty = XB_BOB_EMPTY_ROW;
using gfx_test::Blank;
using gfx_test::Row;

struct Tables {
  uint8_t identity[256], plus1[256], zero[256], fives[256], shadow[256];
  Tables() {
    for (int i = 0; i < 256; ++i) {
      identity[i] = static_cast<uint8_t>(i);
      plus1[i] = static_cast<uint8_t>(i + 1);
      zero[i] = 0;
      fives[i] = 5;
      shadow[i] = static_cast<uint8_t>(i / 2 + 100);
    }
  }
};
const Tables kT;

TEST(BobLibraryTest, NumbersOutsideTheRangeAndEmptyEntriesHaveNoRectangle) {
  std::vector<XB_BOB_ENTRY> entries(5);
  entries[0] = Entry(XB_BOB_PACKED, -1, -2, 3, 1, 0);
  entries[2] = Entry(XB_BOB_SHADOW, 0, 0, 2, 1, 0);
  auto lib = RawLibrary(10, entries, {1, 9, 0}, {Row(0, 0)});
  XB_RECT r;
  EXPECT_FALSE(lib->GetBobRect(9, r));
  EXPECT_FALSE(lib->GetBobRect(15, r));
  ASSERT_TRUE(lib->GetBobRect(10, r));
  EXPECT_EQ(r, XB_RECT(-1, -2, 3, 1));
  EXPECT_FALSE(lib->GetBobRect(11, r));  // kind 0
  EXPECT_EQ(lib->GetBobKind(12), XB_BOB_SHADOW);

  auto empty = RawLibrary(0, {}, {}, {});
  EXPECT_EQ(empty->GetCount(), 0u);
  EXPECT_EQ(empty->GetRowTable(), nullptr);
  EXPECT_FALSE(empty->GetBobRect(0, r));
  auto b = Blank(4, 4);
  empty->DrawBob(0, *b, 0, 0, 0);
  lib->DrawBob(11, *b, 0, 0, 0);
  lib->DrawBob(0xFFFFFFFF, *b, 0, 0, 0);
  EXPECT_EQ(Pixels(*b), Bytes(16, 0));
}

TEST(BobDrawingTest, RowsStartAtTheirColumnAndClipAtTheLeftAndTop) {
  // Row 0: data at byte 16, first column 3: literals 7 8. Row 1: skip 2, literals 1 2 3.
  Bytes data(16, 0);
  data.insert(data.end(), {2, 7, 8, 0});
  const uint32_t second = static_cast<uint32_t>(data.size());
  data.insert(data.end(), {0x82, 3, 1, 2, 3, 0});
  auto lib = RawLibrary(0, {Entry(XB_BOB_PACKED, 0, 0, 6, 2, 0)}, data, {0x00C00010, Row(0, second)});
  auto b = Blank(6, 2);
  lib->DrawBob(0, *b, 0, 0, 0);
  EXPECT_EQ(Pixels(*b), (Bytes{0, 0, 0, 7, 8, 0, 0, 0, 1, 2, 3, 0}));
  b = Blank(6, 2);
  lib->DrawBob(0, *b, -3, 0, 0);  // three leftmost columns lost
  EXPECT_EQ(Pixels(*b), (Bytes{7, 8, 0, 0, 0, 0, 2, 3, 0, 0, 0, 0}));
  b = Blank(6, 2);
  lib->DrawBob(0, *b, 4, -1, 0);  // right edge clipped, top row gone
  EXPECT_EQ(Pixels(*b), (Bytes{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  lib->DrawBob(0, *b, 3, -1, 0);
  EXPECT_EQ(Pixels(*b), (Bytes{0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0}));
}

TEST(BobDrawingTest, TopClippingSkipsDescriptorsAndEmptyRowsStillCount) {
  // Six rows, each one pixel of its row number; row 2 is empty.
  Bytes data;
  std::vector<uint32_t> rows;
  for (uint8_t r = 0; r < 6; ++r) {
    rows.push_back(r == 2 ? kEmpty : Row(0, static_cast<uint32_t>(data.size())));
    data.insert(data.end(), {1, static_cast<uint8_t>(r + 1), 0});
  }
  auto lib = RawLibrary(0, {Entry(XB_BOB_PACKED, 0, 0, 1, 6, 0)}, data, rows);
  auto b = Blank(1, 6);
  lib->DrawBob(0, *b, 0, -4, 0);  // starts with the fifth descriptor
  EXPECT_EQ(Pixels(*b), (Bytes{5, 6, 0, 0, 0, 0}));
  b = Blank(1, 6, 9);
  lib->DrawBob(0, *b, 0, 0, 0);
  EXPECT_EQ(Pixels(*b), (Bytes{1, 2, 9, 4, 5, 6}));
}

TEST(BobDrawingTest, RemappedShadowAndMaskDraws) {
  // Bob 0 packed (1 2 3), bob 1 shadow (two pixels after a skip of one), bob 2 level mask.
  const Bytes data = {3, 1, 2, 3, 0, 0x81, 2, 0, 1, 0, 1, 255, 2, 7, 0};
  auto lib = RawLibrary(0,
                        {Entry(XB_BOB_PACKED, 0, 0, 3, 1, 0), Entry(XB_BOB_SHADOW, 0, 0, 3, 1, 1),
                         Entry(XB_BOB_MASK, 0, 0, 4, 1, 2)},
                        data, {Row(0, 0), Row(0, 5), Row(0, 8)});
  auto b = Blank(4, 1, 40);
  lib->DrawBob(0, *b, 0, 0, 1);  // remapped without a table: nothing
  EXPECT_EQ(Pixels(*b), Bytes(4, 40));
  lib->DrawBobRemapped(0, *b, 0, 0, kT.plus1);
  EXPECT_EQ(Pixels(*b), (Bytes{2, 3, 4, 40}));
  lib->DrawBob(1, *b, 0, 0, 0);  // no shadow table yet: nothing
  EXPECT_EQ(Pixels(*b), (Bytes{2, 3, 4, 40}));
  lib->DrawBobShadow(1, *b, 0, 0, kT.zero);
  EXPECT_EQ(Pixels(*b), (Bytes{2, 0, 0, 40}));
  b->Fill(40);
  lib->DrawBob(1, *b, 1, 0, 0);  // the shadow table stays set
  EXPECT_EQ(Pixels(*b), (Bytes{40, 40, 0, 0}));
  lib->DrawBob(1, *b, 0, 0, 1);  // shadow in remapped mode: nothing
  lib->DrawBob(2, *b, 0, 0, 1);
  EXPECT_EQ(Pixels(*b), (Bytes{40, 40, 0, 0}));
  lib->DrawBob(2, *b, 0, 0, 0);  // levels as colours, level 255 transparent
  EXPECT_EQ(Pixels(*b), (Bytes{0, 40, 7, 7}));
  b->Fill(40);
  lib->DrawBob(0, *b, 1, 0, 1);  // the remap table stays set after remapped draws
  EXPECT_EQ(Pixels(*b), (Bytes{40, 2, 3, 4}));
  EXPECT_EQ(lib->GetRemapTable(), kT.plus1);
  EXPECT_EQ(lib->GetShadowTable(), kT.zero);
}

TEST(BobDrawingTest, DrawingThroughAMask) {
  // Bob 0: 4 x 3 of pixels 10..; mask 1: 4 x 2 at y offset 1, levels 0 20 200 | 50 x4.
  const Bytes data = {4,  10, 11, 12, 13, 0, 4, 14, 15, 16,  17, 0, 4,  18,
                      19, 20, 21, 0,  1,  0, 1, 20, 2,  200, 0,  4, 50, 0};
  auto lib = RawLibrary(0, {Entry(XB_BOB_PACKED, 0, 0, 4, 3, 0), Entry(XB_BOB_MASK, 1, 1, 3, 2, 3)}, data,
                        {Row(0, 0), Row(0, 6), Row(0, 12), Row(0, 18), Row(0, 25)});
  auto b = Blank(5, 3);
  lib->DrawBobThroughMask(0, 1, 255, *b, 0, 0, nullptr, nullptr);  // above 254: the whole bob, plainly
  EXPECT_EQ(Pixels(*b), (Bytes{10, 11, 12, 13, 0, 14, 15, 16, 17, 0, 18, 19, 20, 21, 0}));
  b = Blank(5, 3);
  lib->DrawBobThroughMask(0, 1, 0, *b, 0, 0, kT.plus1, kT.plus1);
  // Row 0 lies above the mask; row 1 meets levels 0 20 200 from column 1; column 0 (left of the
  // first run) counts as 255.
  EXPECT_EQ(Pixels(*b), (Bytes{0, 0, 0, 0, 0, 0, 17, 0, 0, 0, 0, 0, 0, 0, 0}));
  lib->DrawBobThroughMask(0, 1, 60, *b, 0, 0, kT.identity, kT.plus1);
  EXPECT_EQ(Pixels(*b), (Bytes{0, 0, 0, 0, 0, 0, 16, 17, 0, 0, 0, 20, 21, 22, 0}));
  lib->DrawBobThroughMask(0, 1, 60, *b, 0, 0, nullptr, kT.plus1);      // a table missing: nothing
  lib->DrawBobThroughMask(1, 0, 60, *b, 0, 0, kT.identity, kT.plus1);  // kinds swapped: nothing
  EXPECT_EQ(Pixels(*b), (Bytes{0, 0, 0, 0, 0, 0, 16, 17, 0, 0, 0, 20, 21, 22, 0}));

  b = Blank(5, 3, 10);
  lib->DrawShadowThroughMask(1, 20, *b, 0, 0, kT.shadow);
  EXPECT_EQ(Pixels(*b), (Bytes{10, 10, 10, 10, 10, 10, 105, 105, 10, 10, 10, 10, 10, 10, 10}));
  lib->DrawShadowThroughMask(1, 20, *b, 0, 0, nullptr);
  lib->DrawShadowThroughMask(0, 20, *b, 0, 0, kT.shadow);  // not a mask
  EXPECT_EQ(b->Row(1)[1], 105);
  EXPECT_EQ(b->Row(2)[1], 10);
}

TEST(BobDrawingTest, HiColourDraws) {
  XB_PALETTE palette;
  for (int i = 0; i < 256; ++i) palette.SetColour(i, XB_PALETTE_ENTRY::Rgb(static_cast<uint8_t>(i), 0, 0));
  const Bytes data = {2, 1, 2, 0, 2, 0, 1, 255, 1, 9, 0};
  auto lib = RawLibrary(0,
                        {Entry(XB_BOB_PACKED, 0, 0, 2, 1, 0), Entry(XB_BOB_SHADOW, 0, 0, 2, 1, 1),
                         Entry(XB_BOB_MASK, 0, 0, 2, 1, 2)},
                        data, {Row(0, 0), Row(0, 4), Row(0, 6)});
  XB_BITMAP b32(2, 1, XB_PIXELS_32), b16(2, 1, XB_PIXELS_16);
  lib->DrawBob(0, b32, 0, 0, 0);  // no descriptor, no palette: nothing
  EXPECT_EQ(b32.GetPixels32()[0], 0xEEEEEEEEu);
  XB_InstallPixelFormat32(XB_PIXEL_FORMAT_32::Xrgb8888());
  XB_InstallPixelFormat16(XB_PIXEL_FORMAT_16::Rgb565());
  lib->DrawBob(0, b32, 0, 0, 0);  // still no palette
  EXPECT_EQ(b32.GetPixels32()[0], 0xEEEEEEEEu);
  lib->SetLibraryPalette(&palette);
  lib->DrawBob(0, b32, 0, 0, 0);
  EXPECT_EQ(b32.GetPixels32()[1], 0x020000u);
  lib->DrawBobRemapped(0, b32, 0, 0, kT.fives);
  EXPECT_EQ(b32.GetPixels32()[0], 0x050000u);
  lib->DrawBobShadow(1, b32, 0, 0, kT.zero);
  EXPECT_EQ(b32.GetPixels32()[0], 0x020000u);
  lib->DrawBob(2, b32, 0, 0, 0);  // masks are not drawn into hi-colour bitmaps
  EXPECT_EQ(b32.GetPixels32()[1], 0x020000u);
  XB_PALETTE other;
  other.SetColour(1, XB_PALETTE_ENTRY::Rgb(0, 0, 255));
  lib->SetEntryPalette(0, &other);
  lib->DrawBob(0, b16, 0, 0, 0);
  EXPECT_EQ(b16.GetPixels16()[0], 0x001F);
  lib->DrawBobShadow(1, b16, 0, 0, kT.zero);
  EXPECT_EQ(b16.GetPixels16()[0], 0x000F);
  XB_UninstallPixelFormat16();
  lib->DrawBobShadow(1, b16, 0, 0, kT.zero);  // no 16-bit descriptor: nothing
  EXPECT_EQ(b16.GetPixels16()[0], 0x000F);

  // A shadow bob darkens 16-bit pixels through the descriptor's half mask, while shading a bitmap
  // uses the pixel the descriptor makes of grey 127: with a half mask that differs, each keeps its own.
  XB_PIXEL_FORMAT_16 odd = XB_PIXEL_FORMAT_16::Rgb565();
  odd.halfMask = 0x0421;  // pixel(127, 127, 127) is 0x7BEF
  XB_InstallPixelFormat16(odd);
  XB_BITMAP s16(2, 1, XB_PIXELS_16), g16(2, 1, XB_PIXELS_16);
  for (XB_BITMAP* t : {&s16, &g16}) t->GetPixels16()[0] = t->GetPixels16()[1] = 0xFFFF;
  lib->DrawBobShadow(1, s16, 0, 0, kT.zero);
  g16.Shade(nullptr);
  EXPECT_EQ(std::vector<uint16_t>(s16.GetPixels16(), s16.GetPixels16() + 2),
            (std::vector<uint16_t>{0x0421, 0x0421}));
  EXPECT_EQ(std::vector<uint16_t>(g16.GetPixels16(), g16.GetPixels16() + 2),
            (std::vector<uint16_t>{0x7BEF, 0x7BEF}));
  XB_UninstallPixelFormat16();

  // Through a mask, hi-colour pixels take the packed bob's own palette first, then the library's,
  // then the default one; neither the mask's palette nor the bitmap's own palette plays a part.
  XB_PALETTE green, blue;
  for (int i = 0; i < 256; ++i) {
    green.SetColour(i, XB_PALETTE_ENTRY::Rgb(0, static_cast<uint8_t>(i), 0));
    blue.SetColour(i, XB_PALETTE_ENTRY::Rgb(0, 0, static_cast<uint8_t>(i)));
  }
  other.SetColour(4, XB_PALETTE_ENTRY::Rgb(1, 2, 3));
  XB_BITMAP t32(2, 1, XB_PIXELS_32);
  t32.SetPalette(&green);
  lib->SetEntryPalette(2, &green);
  auto through = [&] {
    t32.GetPixels32()[0] = t32.GetPixels32()[1] = 7;
    lib->DrawBobThroughMask(0, 2, 100, t32, 0, 0, kT.plus1, kT.plus1);  // column 1 only: 2 -> 4
    return std::vector<uint32_t>(t32.GetPixels32(), t32.GetPixels32() + 2);
  };
  EXPECT_EQ(through(), (std::vector<uint32_t>{7, 0x010203}));
  lib->SetEntryPalette(0, nullptr);
  EXPECT_EQ(through(), (std::vector<uint32_t>{7, 0x040000})) << "the library palette";
  lib->SetLibraryPalette(nullptr);
  XB_InstallDefaultPalette(&blue);
  EXPECT_EQ(through(), (std::vector<uint32_t>{7, 0x000004})) << "the default palette";
  XB_UninstallDefaultPalette();
  XB_UninstallPixelFormat32();
}

// ---- fast and clipped paths against the reference renderer -------------------------------------

class PlacementProperty : public ::testing::TestWithParam<uint16_t> {
 protected:
  void SetUp() override {
    XB_InstallPixelFormat16(XB_PIXEL_FORMAT_16::Rgb565());
    XB_InstallPixelFormat32(XB_PIXEL_FORMAT_32::Xrgb8888());
    for (int i = 0; i < 256; ++i)
      palette.SetColour(i, XB_PALETTE_ENTRY::Rgb(static_cast<uint8_t>(i * 5), static_cast<uint8_t>(i * 11),
                                                 static_cast<uint8_t>(i * 13)));
    XB_InstallDefaultPalette(&palette);
  }
  void TearDown() override {
    XB_UninstallDefaultPalette();
    XB_UninstallPixelFormat16();
    XB_UninstallPixelFormat32();
  }
  XB_PALETTE palette;
};

std::unique_ptr<XB_BITMAP> RandomBackground(std::mt19937& rng, int32_t w, int32_t h, uint16_t format) {
  auto b = std::make_unique<XB_BITMAP>(w, h, format);
  for (int64_t i = 0; i < int64_t{b->GetPitchInBytes()} * h; ++i)
    b->GetPixels()[i] = static_cast<uint8_t>(rng());
  return b;
}

std::unique_ptr<XB_BITMAP> Copy(const XB_BITMAP& from) {
  auto b = std::make_unique<XB_BITMAP>(from.GetWidth(), from.GetHeight(), from.GetFormat());
  from.BlitTo(*b, 0, 0);
  return b;
}

// A library of random bobs of every kind, plus one whose rows overhang its width (legal data that
// must take the clipped path).
std::unique_ptr<XB_BOB_MANAGER> RandomLibrary(std::mt19937& rng) {
  BobLibraryBuilder builder(3);
  std::uniform_int_distribution<int> side(1, 150), offset(-40, 40);
  for (uint32_t n = 3; n < 3 + 12; n += 3) {
    auto art = gfx_test::RandomArt(rng, side(rng), side(rng), 0, 0.4, 0.97);
    builder.AddPacked(n, *art, 0, offset(rng), offset(rng));
    builder.AddShadow(n + 1, *art, offset(rng), offset(rng));
    for (int64_t i = 0; i < int64_t{art->GetWidth()} * art->GetHeight(); ++i)
      if (art->GetPixels()[i] == 0) art->GetPixels()[i] = 255;
    builder.AddMask(n + 2, *art, offset(rng), offset(rng));
  }
  std::unique_ptr<XB_BOB_MANAGER> built(builder.Build());
  return built;
}

std::unique_ptr<XB_BOB_MANAGER> OverhangLibrary() {
  // Packed, shadow and mask entries 3 wide whose rows reach column 6.
  const Bytes data = {0x81, 5, 1, 2, 3, 4, 5, 0, 0x82, 4, 0, 1, 9, 5, 3, 0};
  return RawLibrary(0,
                    {Entry(XB_BOB_PACKED, -1, 0, 3, 2, 0), Entry(XB_BOB_SHADOW, 0, -1, 3, 2, 0 + 2),
                     Entry(XB_BOB_MASK, 0, 0, 3, 1, 4)},
                    data, {Row(0, 0), Row(1, 0), Row(0, 8), Row(0, 8), Row(0, 11)});
}

TEST_P(PlacementProperty, FastAndClippedPathsMatchTheReference) {
  const uint16_t format = GetParam();
  std::mt19937 rng(1234 + format);
  auto lib = RandomLibrary(rng);
  auto overhang = OverhangLibrary();
  std::uniform_int_distribution<int> px(-200, 260), py(-200, 220), thr(0, 256);
  int changed = 0;
  for (int round = 0; round < 300; ++round) {
    const int32_t w = 40 + static_cast<int32_t>(rng() % 100), h = 30 + static_cast<int32_t>(rng() % 80);
    auto target = RandomBackground(rng, w, h, format);
    auto expect = Copy(*target);
    const Bytes before = Pixels(*target);
    const int16_t x = static_cast<int16_t>(px(rng) * w / 200), y = static_cast<int16_t>(py(rng) * h / 200);
    const uint32_t n = 3 + 3 * (rng() % 4);
    const uint16_t threshold = static_cast<uint16_t>(thr(rng));
    XB_BOB_MANAGER& l = round % 10 == 9 ? *overhang : *lib;
    const uint32_t packed = round % 10 == 9 ? 0 : n, shadow = packed + 1, mask = packed + 2;
    switch (round % 5) {
      case 0:
        l.DrawBob(packed, *target, x, y, 0);
        gfx_test::ReferenceDraw(l, packed, *expect, x, y, {gfx_test::RefOp::Plain});
        break;
      case 1:
        l.DrawBobRemapped(packed, *target, x, y, kT.plus1);
        gfx_test::ReferenceDraw(l, packed, *expect, x, y, {gfx_test::RefOp::Remapped, kT.plus1});
        break;
      case 2:
        l.DrawBobShadow(shadow, *target, x, y, kT.shadow);
        gfx_test::ReferenceDraw(l, shadow, *expect, x, y, {gfx_test::RefOp::Shadow, kT.shadow});
        if (format == XB_PIXELS_8) {
          l.DrawBob(mask, *target, x, y, 0);
          gfx_test::ReferenceDraw(l, mask, *expect, x, y, {gfx_test::RefOp::MaskLevels});
        }
        break;
      case 3:
        if (threshold > 254) {
          l.DrawBob(packed, *target, x, y, 0);
          gfx_test::ReferenceDraw(l, packed, *expect, x, y, {gfx_test::RefOp::Plain});
        } else {
          l.DrawBobThroughMask(packed, mask, threshold, *target, x, y, kT.plus1, kT.shadow);
          gfx_test::ReferenceDrawThroughMask(l, packed, mask, threshold, *expect, x, y, kT.plus1, kT.shadow);
        }
        break;
      case 4:
        l.DrawShadowThroughMask(mask, threshold, *target, x, y, kT.shadow);
        gfx_test::ReferenceShadowThroughMask(l, mask, threshold, *expect, x, y, kT.shadow);
        break;
    }
    ASSERT_EQ(Pixels(*target), Pixels(*expect))
        << "round " << round << " bob " << n << " at " << x << "," << y << " into " << w << "x" << h;
    changed += Pixels(*target) != before;
  }
  EXPECT_GT(changed, 120);  // the placements really draw, not just miss
}

INSTANTIATE_TEST_SUITE_P(AllFormats, PlacementProperty,
                         ::testing::Values(XB_PIXELS_8, XB_PIXELS_16, XB_PIXELS_32));

// ---- damaged libraries ----------------------------------------------------------------------------

TEST(BobValidationTest, LibrariesWhoseRowsPointOutsideTheirBuffersAreRefused) {
  const Bytes good = {2, 1, 2, 0};
  XB_EXPECT_FATAL_THROW(RawLibrary(0, {Entry(XB_BOB_PACKED, 0, 0, 2, 2, 0)}, good, {Row(0, 0)}),
                        "outside the row table");
  XB_EXPECT_FATAL_THROW(RawLibrary(0, {Entry(XB_BOB_PACKED, 0, 0, 2, 1, -1)}, good, {Row(0, 0)}),
                        "outside the row table");
  XB_EXPECT_FATAL_THROW(RawLibrary(0, {Entry(XB_BOB_PACKED, 0, 0, 2, 1, 0)}, good, {Row(0, 4)}),
                        "runs past the pixel bytes");
  XB_EXPECT_FATAL_THROW(RawLibrary(0, {Entry(XB_BOB_PACKED, 0, 0, 9, 1, 0)}, {5, 1, 2, 0}, {Row(0, 0)}),
                        "runs past the pixel bytes");
  XB_EXPECT_FATAL_THROW(RawLibrary(0, {Entry(XB_BOB_SHADOW, 0, 0, 9, 1, 0)}, {0x85, 3}, {Row(0, 0)}),
                        "runs past the pixel bytes");
  XB_EXPECT_FATAL_THROW(RawLibrary(0, {Entry(XB_BOB_MASK, 0, 0, 9, 1, 0)}, {3, 1, 2}, {Row(0, 0)}),
                        "runs past the pixel bytes");
  XB_EXPECT_FATAL_THROW(RawLibrary(0, {Entry(XB_BOB_PACKED, 0, 0, -2, 1, 0)}, good, {Row(0, 0)}),
                        "bad rectangle");
  XB_EXPECT_FATAL_THROW(RawLibrary(0, {Entry(XB_BOB_PACKED, 0x7FFFFFF0, 0, 2, 1, 0)}, good, {Row(0, 0)}),
                        "bad rectangle");
  // Entries of kind 0 and of unknown kinds are never drawn, so their rows are not checked; the
  // rectangle of an unknown kind is still read by GetBobRect and must be sound.
  XB_EXPECT_FATAL_THROW(RawLibrary(0, {Entry(7, -0x7FFFFFFF, 0, 2, 9, 5)}, good, {Row(0, 0)}),
                        "bad rectangle");
  // Rows shared between bobs, listed out of order: each distinct row is checked once, every use of a
  // bad one is still refused, and good shared rows draw for every bob that uses them.
  const Bytes twoRows = {2, 1, 2, 0, 1, 7, 0};
  auto shared = RawLibrary(0, {Entry(XB_BOB_PACKED, 0, 0, 2, 2, 0), Entry(XB_BOB_PACKED, 0, 0, 2, 2, 1)},
                           twoRows, {Row(0, 4), Row(0, 0), Row(0, 4)});
  auto sb = Blank(2, 2);
  shared->DrawBob(1, *sb, 0, 0, 0);
  EXPECT_EQ(Pixels(*sb), (Bytes{1, 2, 7, 0}));
  XB_EXPECT_FATAL_THROW(
      RawLibrary(0, {Entry(XB_BOB_PACKED, 0, 0, 2, 1, 0), Entry(XB_BOB_PACKED, 0, 0, 2, 2, 0)},
                 {2, 1, 2, 0, 5}, {Row(0, 4), Row(0, 0)}),
      "row 0 of bob 0 runs past");
  auto lenient =
      RawLibrary(0, {Entry(XB_BOB_NONE, 0, 0, 2, 9, 5), Entry(7, 0, 0, 2, 9, 5)}, good, {Row(0, 0)});
  auto b = Blank(2, 2);
  lenient->DrawBob(1, *b, 0, 0, 0);
  EXPECT_EQ(Pixels(*b), Bytes(4, 0));
}

class BmdFileTest : public ::testing::Test {
 protected:
  void SetUp() override { dir.Enter(); }
  void TearDown() override { dir.Leave(); }
  tl_test::TempDir dir;
};

TEST_F(BmdFileTest, LibrariesRoundTripByteForByteAndDamagedFilesNameThemselves) {
  std::mt19937 rng(7);
  auto lib = RandomLibrary(rng);
  ASSERT_TRUE(SaveObjectToFile(*lib, "a.bmd", true));
  std::unique_ptr<XB_BOB_MANAGER> loaded(dynamic_cast<XB_BOB_MANAGER*>(LoadObjectFromFile("a.bmd")));
  ASSERT_NE(loaded, nullptr);
  ASSERT_TRUE(SaveObjectToFile(*loaded, "b.bmd", true));
  const Bytes a = dir.Read("a.bmd");
  EXPECT_EQ(a, dir.Read("b.bmd"));
  ASSERT_GT(a.size(), 40u);
  EXPECT_EQ(a[0], 25);
  EXPECT_EQ(a[4], 3);  // first index

  // The row table's first descriptor redirected far outside the pixel bytes.
  Bytes bad = a;
  const uint32_t tableBytes = 12 * XB_BOB_ENTRY_SIZE;
  const size_t pixelSizeAt = 32 + 8 + tableBytes + 4;
  const uint32_t pixelSize = bad[pixelSizeAt] | bad[pixelSizeAt + 1] << 8 | bad[pixelSizeAt + 2] << 16;
  const size_t firstRowAt = pixelSizeAt + 4 + pixelSize + 8;
  bad[firstRowAt] = 0xF0;
  bad[firstRowAt + 1] = 0xFF;
  bad[firstRowAt + 2] = 0x3F;
  dir.Write("bad.bmd", bad);
  XB_EXPECT_FATAL(delete LoadObjectFromFile("bad.bmd"), "bad\\.bmd - corrupt data: row 0 of bob 3 runs past");

  // A count the file cannot hold.
  Bytes count = a;
  count[8] = 0xFF;
  count[9] = 0xFF;
  count[10] = 0xFF;
  dir.Write("count.bmd", count);
  XB_EXPECT_FATAL_THROW(delete LoadObjectFromFile("count.bmd"), "count.bmd");

  // More pixel bytes in use than the stored block holds: refused, where a save would have grown the
  // block to the claimed size.
  Bytes inUse = a;
  inUse[12] = 0xF0;
  inUse[13] = 0xFF;
  inUse[14] = 0xFF;
  inUse[15] = 0xDF;
  dir.Write("inuse.bmd", inUse);
  XB_EXPECT_FATAL_THROW(delete LoadObjectFromFile("inuse.bmd"), "pixel bytes in use");
}

TEST(BobLibraryTest, ARowRangeAtTheEdgeOfTheIntegersIsReportedWithoutOverflow) {
  // Found by the .bmd fuzzer: the message's last row, first row + height - 1, overflowed 32 bits for
  // a first row of INT32_MIN; the range is reported as it is.
  const int32_t lowest = std::numeric_limits<int32_t>::min();
  XB_EXPECT_FATAL_THROW(RawLibrary(0, {Entry(XB_BOB_PACKED, 0, 0, 1, 0, lowest)}, {0}, {}),
                        "rows -2147483648..-2147483649 of bob 0 lie outside the row table (0 rows)");
  const int32_t highest = std::numeric_limits<int32_t>::max();
  XB_EXPECT_FATAL_THROW(RawLibrary(0, {Entry(XB_BOB_PACKED, 0, 0, 1, 3, highest)}, {0}, {Row(0, 0)}),
                        "rows 2147483647..2147483649 of bob 0");
}

TEST_F(BmdFileTest, AnEmptyLibraryClaimingPixelBytesSavesWithoutMakingThem) {
  // An empty library keeps its header figure for the round trip but owns no block to grow.
  Bytes empty = {25, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0xF0, 0xFF, 0xFF, 0xDF};
  empty.resize(empty.size() + 16, 0);
  dir.Write("empty.bmd", empty);
  std::unique_ptr<XB_STORABLE> loaded(LoadObjectFromFile("empty.bmd"));
  ASSERT_NE(loaded, nullptr);
  ASSERT_TRUE(SaveObjectToFile(*loaded, "again.bmd", true));
  EXPECT_EQ(dir.Read("again.bmd"), empty);
}

}  // namespace
