// frame-sheet: frames land in their grid cells, shrunk, and bad input is refused with a message.
#include <gtest/gtest.h>

#include "tests/tools/image_tool_support.h"
#include "tools/common/png_io.h"

namespace {

using asset_test::AssetToolTest;

// A paletted frame of 8 x 4 pixels whose every pixel shows `colour`, except pixel (4, 0) in white.
PngImage Frame(RgbColour colour) {
  PngImage image;
  image.kind = PngImage::Kind::Paletted;
  image.width = 8;
  image.height = 4;
  image.palette = {colour, RgbColour{255, 255, 255}};
  image.pixels.assign(32, 0);
  image.pixels[4] = 1;
  return image;
}

RgbColour At(const PngImage& sheet, int x, int y) {
  const uint8_t* p = &sheet.pixels[(size_t(y) * size_t(sheet.width) + size_t(x)) * 3];
  return RgbColour{p[0], p[1], p[2]};
}

TEST_F(AssetToolTest, FrameSheetPlacesShrunkFramesInAGrid) {
  std::string error;
  ASSERT_TRUE(WritePng(dir.File("a.png"), Frame({200, 0, 0}), &error)) << error;
  ASSERT_TRUE(WritePng(dir.File("b.png"), Frame({0, 200, 0}), &error)) << error;
  ASSERT_TRUE(WritePng(dir.File("c.png"), Frame({0, 0, 200}), &error)) << error;
  const auto r = Run("frame-sheet sheet.png a.png b.png c.png --columns 2 --shrink 2");
  ASSERT_EQ(r.status, 0) << r.err;

  PngImage sheet;
  ASSERT_TRUE(ReadPng(dir.File("sheet.png"), &sheet, &error)) << error;
  // Cells of 4 x 2 with 4-pixel gaps: 2 columns, 2 rows.
  EXPECT_EQ(sheet.width, 2 * 4 + 3 * 4);
  EXPECT_EQ(sheet.height, 2 * 2 + 3 * 4);
  EXPECT_EQ(At(sheet, 4, 4), (RgbColour{200, 0, 0}));
  EXPECT_EQ(At(sheet, 4 + 2, 4), (RgbColour{255, 255, 255}));  // pixel (4, 0) survives a shrink of 2
  EXPECT_EQ(At(sheet, 12, 4), (RgbColour{0, 200, 0}));
  EXPECT_EQ(At(sheet, 4, 10), (RgbColour{0, 0, 200}));
  EXPECT_EQ(At(sheet, 12, 10), (RgbColour{24, 24, 24}));  // the empty fourth cell stays background
  EXPECT_EQ(At(sheet, 0, 0), (RgbColour{24, 24, 24}));
}

TEST_F(AssetToolTest, FrameSheetRefusesMismatchedOrMissingInput) {
  std::string error;
  PngImage small = Frame({1, 2, 3});
  small.width = 4;
  small.pixels.resize(16);
  ASSERT_TRUE(WritePng(dir.File("a.png"), Frame({200, 0, 0}), &error)) << error;
  ASSERT_TRUE(WritePng(dir.File("small.png"), small, &error)) << error;

  auto r = Run("frame-sheet sheet.png a.png small.png");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("size differs"), std::string::npos) << r.err;
  r = Run("frame-sheet sheet.png missing.png");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("missing.png"), std::string::npos) << r.err;
  r = Run("frame-sheet sheet.png a.png --shrink 0");
  EXPECT_EQ(r.status, 1);
  r = Run("frame-sheet --help");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("usage: tillands-assets frame-sheet"), std::string::npos);
}

}  // namespace
