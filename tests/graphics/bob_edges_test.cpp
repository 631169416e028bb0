// Bob libraries and drawing at their edges: rows that end exactly at the end of the pixel bytes, a mask
// run cut by the left edge whose level equals the threshold, and the columns past a mask's last run in
// hi-colour drawing.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "graphics/xb_bitmap.h"
#include "graphics/xb_bob_manager.h"
#include "graphics/xb_palette.h"
#include "tests/common/fatal_test.h"
#include "tests/graphics/graphics_test_util.h"

namespace {

using Bytes = std::vector<uint8_t>;
using gfx_test::Entry;
using gfx_test::Pixels;
using gfx_test::RawLibrary;

using gfx_test::Blank;
using gfx_test::Row;

TEST(BobEdges, RowsMissingTheirEndByteAtTheEndOfThePixelBytesAreRefused) {
  // Each row's data is complete but for its closing 0, which would be the byte after the buffer.
  XB_EXPECT_FATAL_THROW(RawLibrary(0, {Entry(XB_BOB_PACKED, 0, 0, 1, 1, 0)}, {1, 7}, {Row(0, 0)}),
                        "runs past");
  XB_EXPECT_FATAL_THROW(RawLibrary(0, {Entry(XB_BOB_SHADOW, 0, 0, 2, 1, 0)}, {2}, {Row(0, 0)}), "runs past");
  XB_EXPECT_FATAL_THROW(RawLibrary(0, {Entry(XB_BOB_MASK, 0, 0, 2, 1, 0)}, {2, 9}, {Row(0, 0)}), "runs past");
  // With the closing byte they are sound.
  EXPECT_NE(RawLibrary(0, {Entry(XB_BOB_MASK, 0, 0, 2, 1, 0)}, {2, 9, 0}, {Row(0, 0)}), nullptr);
}

TEST(BobEdges, AMaskRunCutByTheLeftEdgeShowsAtALevelEqualToTheThreshold) {
  // Picture 0: 6 pixels 10..15; mask 1: one run of 6 at level 100. Drawn 2 columns left of the edge.
  auto lib = RawLibrary(0, {Entry(XB_BOB_PACKED, 0, 0, 6, 1, 0), Entry(XB_BOB_MASK, 0, 0, 6, 1, 1)},
                        {6, 10, 11, 12, 13, 14, 15, 0, 6, 100, 0}, {Row(0, 0), Row(0, 8)});
  uint8_t identity[256];
  for (int i = 0; i < 256; ++i) identity[i] = static_cast<uint8_t>(i);
  // With the mask's runs walked on every draw, and with its levels decoded once.
  for (const size_t budget : {size_t{0}, XB_BOB_MANAGER::kDefaultLevelPlaneBudget}) {
    lib->SetLevelPlaneBudget(budget);
    auto b = Blank(5, 1, 0);
    lib->DrawBobThroughMask(0, 1, 100, *b, -2, 0, identity, identity);
    EXPECT_EQ(Pixels(*b), (Bytes{12, 13, 14, 15, 0})) << "budget " << budget;
    b = Blank(5, 1, 0);
    lib->DrawBobThroughMask(0, 1, 99, *b, -2, 0, identity, identity);
    EXPECT_EQ(Pixels(*b), (Bytes{0, 0, 0, 0, 0})) << "budget " << budget;
  }
}

TEST(BobEdges, HiColourDrawsThroughAMaskNeverShowColumnsPastItsLastRun) {
  // Picture 0: 4 pixels; mask 1 covers only the first 2 columns at level 0. At threshold 254 the
  // columns without a mask level (255) stay undrawn.
  auto lib = RawLibrary(0, {Entry(XB_BOB_PACKED, 0, 0, 4, 1, 0), Entry(XB_BOB_MASK, 0, 0, 4, 1, 1)},
                        {4, 1, 2, 3, 4, 0, 2, 0, 0}, {Row(0, 0), Row(0, 6)});
  XB_PALETTE palette;
  for (int i = 0; i < 256; ++i) palette.SetColour(i, XB_PALETTE_ENTRY::Rgb(static_cast<uint8_t>(i), 0, 0));
  lib->SetLibraryPalette(&palette);
  uint8_t identity[256];
  for (int i = 0; i < 256; ++i) identity[i] = static_cast<uint8_t>(i);
  XB_InstallPixelFormat16(XB_PIXEL_FORMAT_16::Rgb565());
  XB_BITMAP b16(4, 1, XB_PIXELS_16);
  for (int x = 0; x < 4; ++x) b16.GetPixels16()[x] = 0x1234;
  lib->DrawBobThroughMask(0, 1, 254, b16, 0, 0, identity, identity);
  EXPECT_NE(b16.GetPixels16()[0], 0x1234);
  EXPECT_NE(b16.GetPixels16()[1], 0x1234);
  EXPECT_EQ(b16.GetPixels16()[2], 0x1234);
  EXPECT_EQ(b16.GetPixels16()[3], 0x1234);
  // Without a 16-bit pixel format nothing is drawn.
  XB_UninstallPixelFormat16();
  for (int x = 0; x < 4; ++x) b16.GetPixels16()[x] = 0x1234;
  lib->DrawBobThroughMask(0, 1, 254, b16, 0, 0, identity, identity);
  EXPECT_EQ(b16.GetPixels16()[0], 0x1234);
}

}  // namespace
