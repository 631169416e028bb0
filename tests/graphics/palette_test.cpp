#include "graphics/xb_palette.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "base/xb_storable.h"
#include "tests/common/temp_dir.h"

namespace {

XB_PALETTE DistinctPalette() {
  XB_PALETTE p;
  for (int i = 0; i < 256; ++i)
    p.SetColour(i, XB_PALETTE_ENTRY::Rgb(static_cast<uint8_t>(i), static_cast<uint8_t>(i * 3),
                                         static_cast<uint8_t>(i * 7)));
  return p;
}

TEST(PaletteTest, NearestColourWeighsGreenMostAndKeepsTheFirstOfEquals) {
  XB_PALETTE p;
  for (int i = 0; i < 256; ++i) p.SetColour(i, XB_PALETTE_ENTRY::Rgb(200, 200, 200));
  p.SetColour(3, XB_PALETTE_ENTRY::Rgb(20, 0, 0));  // 336400 from black
  p.SetColour(4, XB_PALETTE_ENTRY::Rgb(0, 0, 40));  // 360000
  p.SetColour(5, XB_PALETTE_ENTRY::Rgb(0, 10, 0));  // 422500
  EXPECT_EQ(p.FindNearestColour(XB_PALETTE_ENTRY::Rgb(0, 0, 0)), 3);
  // Red weighs 29 and blue 15: red 15 and blue 29 lie equally far from black, and the first one wins.
  p.SetColour(8, XB_PALETTE_ENTRY::Rgb(0, 0, 29));
  p.SetColour(9, XB_PALETTE_ENTRY::Rgb(15, 0, 0));
  EXPECT_EQ(p.FindNearestColour(XB_PALETTE_ENTRY::Rgb(0, 0, 0)), 8);
  p.SetColour(7, XB_PALETTE_ENTRY::Rgb(1, 2, 3));
  p.SetColour(200, XB_PALETTE_ENTRY::Rgb(1, 2, 3));
  EXPECT_EQ(p.FindNearestColour(XB_PALETTE_ENTRY::Rgb(1, 2, 3)), 7);
}

TEST(PaletteTest, RemapTablesMatchColoursBetweenPalettes) {
  const XB_PALETTE distinct = DistinctPalette();
  XB_REMAP_TABLE identity(distinct, distinct, 0, 255);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(identity[i], i);

  XB_PALETTE repeated = distinct;
  repeated.SetColour(10, distinct.GetColour(4));  // 10 now repeats 4
  XB_REMAP_TABLE self(repeated, repeated, 0, 255);
  EXPECT_EQ(self[10], 4);
  EXPECT_EQ(self[11], 11);

  XB_REMAP_TABLE partial(distinct, distinct, 5, 9);
  EXPECT_EQ(partial[4], 0);
  EXPECT_EQ(partial[7], 7);
  EXPECT_EQ(partial[10], 0);
  XB_REMAP_TABLE clamped(distinct, distinct, 250, 4000);  // a range past the table stops at 255
  EXPECT_EQ(clamped[255], 255);
}

// The fast search must give the linear search's answer for every colour, ties included, on palettes
// that defeat its pruning (one green for all, many duplicates) as well as on ordinary ones.
TEST(PaletteTest, NearestColourSearchGivesTheLinearSearchAnswers) {
  uint32_t state = 12345;
  auto next = [&state] { return (state = state * 1103515245u + 12345u) >> 16; };
  std::vector<XB_PALETTE> palettes(5);
  for (int i = 0; i < 256; ++i) {
    const auto v = [&](uint32_t x) { return static_cast<uint8_t>(x); };
    palettes[0].SetColour(i, DistinctPalette().GetColour(i));
    palettes[1].SetColour(i, XB_PALETTE_ENTRY::Rgb(v(next()), v(next()), v(next())));
    palettes[2].SetColour(i, XB_PALETTE_ENTRY::Rgb(v(next()), 77, v(next())));  // one green
    // Eight colours repeated: equal distances everywhere, the first index must win.
    palettes[3].SetColour(i, XB_PALETTE_ENTRY::Rgb(v(i % 8 * 36), v(i % 4 * 80), v(i % 2 * 255)));
    palettes[4].SetColour(i,
                          XB_PALETTE_ENTRY::Rgb(v(next() % 4 * 64), v(next() % 3 * 120), v(next() % 5 * 60)));
  }
  for (const XB_PALETTE& destination : palettes) {
    XB_NEAREST_COLOUR_SEARCH search(destination);
    EXPECT_TRUE(search.BuiltFrom(destination));
    for (int r = 0; r < 256; r += 15)
      for (int g = 0; g < 256; g += 3)
        for (int b = 0; b < 256; b += 15) {
          const XB_PALETTE_ENTRY c = XB_PALETTE_ENTRY::Rgb(static_cast<uint8_t>(r), static_cast<uint8_t>(g),
                                                           static_cast<uint8_t>(b));
          ASSERT_EQ(search.Find(c), destination.FindNearestColour(c)) << r << "," << g << "," << b;
        }
    // Remembered answers are the same answers, and remap tables are built from them.
    for (const XB_PALETTE& source : palettes) {
      XB_REMAP_TABLE table(source, destination, 0, 255);
      uint8_t remembered[256];
      search.BuildRemap(source, remembered, 3, 250);
      for (int i = 0; i < 256; ++i) {
        const uint8_t linear = destination.FindNearestColour(source.GetColour(i));
        ASSERT_EQ(table[i], linear) << i;
        ASSERT_EQ(remembered[i], i >= 3 && i <= 250 ? linear : 0) << i;
      }
    }
  }
  XB_PALETTE changed = palettes[1];
  changed.SetColour(9, XB_PALETTE_ENTRY::Rgb(1, 2, 3));
  EXPECT_FALSE(XB_NEAREST_COLOUR_SEARCH(palettes[1]).BuiltFrom(changed));
}

TEST(PaletteTest, HiColourTablesFollowTheDescriptorAndTheColours) {
  XB_PALETTE p = DistinctPalette();
  EXPECT_EQ(p.Get16BitTable(), nullptr);
  EXPECT_EQ(XB_PIXEL_FORMAT_16{}.Pixel(255, 255, 255), 0);  // a descriptor not marked valid makes 0
  EXPECT_EQ(XB_PIXEL_FORMAT_32{}.Pixel(255, 255, 255), 0u);
  EXPECT_EQ(p.Get16BitColour(5), 0);
  EXPECT_EQ(p.Get32BitColour(5), 0u);
  XB_InstallPixelFormat16(XB_PIXEL_FORMAT_16::Rgb565());
  XB_InstallPixelFormat32(XB_PIXEL_FORMAT_32::Xrgb8888());
  ASSERT_NE(p.Get16BitTable(), nullptr);
  EXPECT_EQ(p.Get16BitColour(255), XB_MakePixel16(255, 253, 249));
  EXPECT_EQ(p.Get32BitColour(2), 0x02060Eu);
  const uint16_t* first = p.Get16BitTable();
  EXPECT_EQ(p.Get16BitTable(), first);  // built once

  XB_PALETTE other;
  other.SetColour(2, XB_PALETTE_ENTRY::Rgb(255, 0, 0));
  p.Assign(other);
  EXPECT_EQ(p.Get16BitColour(2), 0xF800);
  EXPECT_EQ(p.Get32BitColour(2), 0xFF0000u);

  // A different descriptor makes the tables rebuild.
  XB_PIXEL_FORMAT_16 bgr = XB_PIXEL_FORMAT_16::Rgb565();
  std::swap(bgr.redLeft, bgr.blueLeft);
  XB_InstallPixelFormat16(bgr);
  EXPECT_EQ(p.Get16BitColour(2), 0x001F);
  XB_UninstallPixelFormat16();
  XB_UninstallPixelFormat32();
  EXPECT_EQ(p.Get16BitTable(), nullptr);
  EXPECT_EQ(XB_MakePixel32(1, 2, 3), 0u);
}

TEST(PaletteTest, PalettesAndRemapTablesRoundTripThroughStreams) {
  tl_test::TempDir dir;
  dir.Enter();
  XB_PALETTE p = DistinctPalette();
  ASSERT_TRUE(SaveObjectToFile(p, "p.obj", true));
  auto bytes = dir.Read("p.obj");
  ASSERT_EQ(bytes.size(), 4u + 1024u);
  EXPECT_EQ(bytes[4 + 4 * 3 + 0], 21);  // entry 3: blue first
  EXPECT_EQ(bytes[4 + 4 * 3 + 2], 3);   // red third
  std::unique_ptr<XB_STORABLE> loaded(LoadObjectFromFile("p.obj"));
  auto* palette = dynamic_cast<XB_PALETTE*>(loaded.get());
  ASSERT_NE(palette, nullptr);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(palette->GetColour(i), p.GetColour(i));

  uint8_t values[256];
  for (int i = 0; i < 256; ++i) values[i] = static_cast<uint8_t>(255 - i);
  XB_REMAP_TABLE table(values);
  ASSERT_TRUE(SaveObjectToFile(table, "r.obj", true));
  std::unique_ptr<XB_STORABLE> loadedTable(LoadObjectFromFile("r.obj"));
  auto* remap = dynamic_cast<XB_REMAP_TABLE*>(loadedTable.get());
  ASSERT_NE(remap, nullptr);
  EXPECT_EQ(std::vector<uint8_t>(remap->GetData(), remap->GetData() + 256),
            std::vector<uint8_t>(values, values + 256));
  dir.Leave();
}

}  // namespace
