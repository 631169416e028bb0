#include "graphics/xb_bitmap.h"

#include <gtest/gtest.h>

#include <memory>

#include "base/xb_file.h"
#include "base/xb_storable.h"
#include "graphics/xb_palette.h"
#include "tests/common/fatal_test.h"
#include "tests/common/temp_dir.h"
#include "tests/graphics/graphics_test_util.h"

namespace {

using gfx_test::Bitmap8;
using gfx_test::Pixels;

TEST(RectTest, IntersectionAndClipping) {
  const XB_RECT screen(0, 0, 10, 10);
  EXPECT_TRUE(screen.Intersects(XB_RECT(9, 9, 5, 5)));
  EXPECT_FALSE(screen.Intersects(XB_RECT(10, 0, 10, 10)));  // edges touch only
  EXPECT_FALSE(screen.Intersects(XB_RECT(0, -3, 4, 3)));

  XB_RECT a(-2, 3, 10, 10);
  EXPECT_TRUE(a.ClipToWithReport(XB_RECT(0, 0, 5, 100)));
  EXPECT_EQ(a, XB_RECT(0, 3, 5, 10));
  XB_RECT inside(1, 1, 2, 2);
  EXPECT_FALSE(inside.ClipToWithReport(screen));
  EXPECT_EQ(inside, XB_RECT(1, 1, 2, 2));
  XB_RECT bottomRight(7, 8, 9, 9);
  bottomRight.ClipTo(screen);
  EXPECT_EQ(bottomRight, XB_RECT(7, 8, 3, 2));
  bottomRight.Offset(-7, 2);
  EXPECT_EQ(bottomRight, XB_RECT(0, 10, 3, 2));
  bottomRight.Clear();
  EXPECT_EQ(bottomRight, XB_RECT());
}

TEST(BitmapTest, NewBitmapsShowTheFillPatternAndKeepTheirInvariants) {
  XB_BITMAP small(3, 2);
  EXPECT_EQ(Pixels(small), std::vector<uint8_t>(6, 0xEE));
  EXPECT_EQ(small.GetRight(), 2);
  EXPECT_EQ(small.GetBottom(), 1);
  EXPECT_EQ(small.GetPixels16(), nullptr);
  XB_BITMAP hi(4, 3, XB_PIXELS_16);
  EXPECT_EQ(hi.GetPitchInBytes(), 8);
  EXPECT_NE(hi.GetPixels16(), nullptr);
  EXPECT_EQ(hi.GetPixels32(), nullptr);
  XB_BITMAP other(2, 2, 7);  // unknown formats give 8-bit bitmaps
  EXPECT_EQ(other.GetFormat(), XB_PIXELS_8);
  XB_BITMAP empty(0, 5);
  empty.Fill(3);  // a bitmap without pixels is left alone
  EXPECT_EQ(empty.GetPixels(), nullptr);
  XB_EXPECT_FATAL_THROW(XB_BITMAP(70000, 2), "out of range");
  XB_EXPECT_FATAL_THROW(XB_BITMAP(-1, 2), "out of range");
}

TEST(BitmapTest, BlitClipsAtEveryEdge) {
  auto source = Bitmap8({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}});
  XB_BITMAP dest(4, 4);
  dest.Fill(0);
  source->BlitTo(dest, -1, -1);
  EXPECT_EQ(Pixels(dest), (std::vector<uint8_t>{5, 6, 0, 0, 8, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  dest.Fill(0);
  source->BlitTo(dest, 2, 3);
  EXPECT_EQ(Pixels(dest), (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2}));
  dest.Fill(0);
  source->BlitTo(dest, 4, 0);  // touching the right edge: nothing
  source->BlitTo(dest, 0, -3);
  EXPECT_EQ(Pixels(dest), std::vector<uint8_t>(16, 0));

  // A 10 x 10 source at (-5, -5) puts its bottom-right quarter into the top-left corner.
  XB_BITMAP big(10, 10), target(10, 10);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) big.Row(y)[x] = static_cast<uint8_t>(y * 10 + x);
  target.Fill(0);
  big.BlitTo(target, -5, -5);
  EXPECT_EQ(target.Row(0)[0], 55);
  EXPECT_EQ(target.Row(4)[4], 99);
  EXPECT_EQ(target.Row(5)[5], 0);
}

class HiColourTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < 256; ++i)
      palette.SetColour(i, XB_PALETTE_ENTRY::Rgb(static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), 16));
  }
  void TearDown() override {
    XB_UninstallPixelFormat16();
    XB_UninstallPixelFormat32();
    XB_UninstallDefaultPalette();
  }
  XB_PALETTE palette;
};

TEST_F(HiColourTest, ConversionsNeedATableAndUseTheDefaultPalette) {
  auto source = Bitmap8({{0, 1}, {2, 255}});
  XB_BITMAP dest16(2, 2, XB_PIXELS_16), dest32(3, 2, XB_PIXELS_32);
  dest16.Fill(9);  // no palette, no default, no descriptor: 0
  EXPECT_EQ(dest16.GetPixels16()[0], 0);
  source->BlitTo(dest16, 0, 0);  // no table: nothing drawn
  EXPECT_EQ(dest16.GetPixels16()[3], 0);

  XB_InstallPixelFormat16(XB_PIXEL_FORMAT_16::Rgb565());
  XB_InstallPixelFormat32(XB_PIXEL_FORMAT_32::Xrgb8888());
  source->BlitTo(dest16, 0, 0);  // still no palette anywhere
  EXPECT_EQ(dest16.GetPixels16()[3], 0);
  XB_InstallDefaultPalette(&palette);
  source->BlitTo(dest16, 0, 0);
  EXPECT_EQ(dest16.GetPixels16()[3], XB_MakePixel16(255, 0, 16));
  dest32.Fill(1);
  EXPECT_EQ(dest32.GetPixels32()[5], 0x01FE10u);
  source->BlitTo(dest32, 1, 0);
  EXPECT_EQ(dest32.GetPixels32()[0], 0x01FE10u);
  EXPECT_EQ(dest32.GetPixels32()[1], 0x00FF10u);
  EXPECT_EQ(dest32.GetPixels32()[5], 0xFF0010u);

  // 32 -> 16 converts only bitmaps of the same rectangle, ignoring the position.
  XB_BITMAP from32(2, 2, XB_PIXELS_32), to16(2, 2, XB_PIXELS_16);
  from32.GetPixels32()[0] = 0x00F80000;
  from32.GetPixels32()[1] = 0x0000FC00;
  from32.GetPixels32()[2] = 0x000000F8;
  from32.GetPixels32()[3] = 0x00FFFFFF;
  from32.BlitTo(to16, 5, 5);  // no overlap: nothing
  EXPECT_EQ(to16.GetPixels16()[0], 0xEEEE);
  from32.BlitTo(to16, 1, 1);
  EXPECT_EQ(std::vector<uint16_t>(to16.GetPixels16(), to16.GetPixels16() + 4),
            (std::vector<uint16_t>{0xF800, 0x07E0, 0x001F, 0xFFFF}));
  XB_BITMAP wide16(3, 2, XB_PIXELS_16);
  wide16.Fill(0);
  from32.BlitTo(wide16, 0, 0);
  EXPECT_EQ(wide16.GetPixels16()[0], XB_MakePixel16(0, 255, 16));
  // 16 -> 8 is not a supported pair.
  XB_BITMAP eight(2, 2);
  to16.BlitTo(eight, 0, 0);
  EXPECT_EQ(Pixels(eight), std::vector<uint8_t>(4, 0xEE));
}

TEST_F(HiColourTest, ShadeDarkensExactlyTheClippedRectangle) {
  XB_BITMAP b(6, 4);
  b.Fill(9);
  uint8_t zero[256] = {};
  b.ShadeRect(zero, XB_RECT(4, -2, 5, 4));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(b.Row(y)[x], (x >= 4 && y < 2) ? 0 : 9) << x << "," << y;
  b.ShadeRect(zero, XB_RECT(6, 0, 3, 3));  // outside: nothing
  EXPECT_EQ(b.Row(0)[5], 0);
  EXPECT_EQ(b.Row(3)[5], 9);

  XB_BITMAP b32(2, 1, XB_PIXELS_32);
  b32.GetPixels32()[0] = 0x00FF8001;
  b32.GetPixels32()[1] = 0x00102030;
  b32.Shade(nullptr);
  EXPECT_EQ(b32.GetPixels32()[0], 0x007F4000u);
  EXPECT_EQ(b32.GetPixels32()[1], 0x00081018u);

  XB_BITMAP b16(1, 1, XB_PIXELS_16);
  b16.GetPixels16()[0] = 0xFFFF;
  b16.Shade(nullptr);  // no descriptor: nothing
  EXPECT_EQ(b16.GetPixels16()[0], 0xFFFF);
  XB_InstallPixelFormat16(XB_PIXEL_FORMAT_16::Rgb565());
  b16.Shade(nullptr);
  EXPECT_EQ(b16.GetPixels16()[0], 0x7BEF);  // each channel halved
  XB_BITMAP r16(3, 2, XB_PIXELS_16);
  for (int i = 0; i < 6; ++i) r16.GetPixels16()[i] = 0xFFFF;
  r16.ShadeRect(nullptr, XB_RECT(1, 1, 5, 5));  // only the lower right two pixels
  EXPECT_EQ(std::vector<uint16_t>(r16.GetPixels16(), r16.GetPixels16() + 6),
            (std::vector<uint16_t>{0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0x7BEF, 0x7BEF}));
}

TEST(BitmapTest, SpanHelpersHonourPitchesAndUnalignedStarts) {
  std::vector<uint8_t> area(5 * 13, 1);
  uint8_t table[256];
  for (int i = 0; i < 256; ++i) table[i] = static_cast<uint8_t>(i + 10);
  XB_SpanMap8(area.data() + 1, 13, 11, 3, table);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 13; ++x) EXPECT_EQ(area[y * 13 + x], (y < 3 && x >= 1 && x <= 11) ? 11 : 1);
  XB_SpanFill8(area.data() + 3, 13, 7, 2, 0);
  EXPECT_EQ(area[3], 0);
  EXPECT_EQ(area[13 + 9], 0);
  EXPECT_EQ(area[13 + 10], 11);
  uint32_t src[4] = {1, 2, 3, 4}, dst[6] = {};
  XB_SpanCopy32(dst, 3, src, 2, 2, 2);
  EXPECT_EQ(std::vector<uint32_t>(dst, dst + 6), (std::vector<uint32_t>{1, 2, 0, 3, 4, 0}));
}

class BitmapStreamTest : public ::testing::Test {
 protected:
  void SetUp() override { dir.Enter(); }
  void TearDown() override { dir.Leave(); }
  tl_test::TempDir dir;
};

TEST_F(BitmapStreamTest, RoundTripKeepsPixelsAndRestoresTheEdges) {
  auto original = Bitmap8({{1, 2, 3, 4, 5}, {6, 7, 8, 9, 10}});
  ASSERT_TRUE(SaveObjectToFile(*original, "b.obj", true));
  std::unique_ptr<XB_STORABLE> loaded(LoadObjectFromFile("b.obj"));
  auto* bitmap = dynamic_cast<XB_BITMAP*>(loaded.get());
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(bitmap->GetRect(), XB_RECT(0, 0, 5, 2));
  EXPECT_EQ(bitmap->GetRight(), 4);
  EXPECT_EQ(bitmap->GetBottom(), 1);
  EXPECT_EQ(Pixels(*bitmap), Pixels(*original));

  XB_BITMAP hi(2, 1, XB_PIXELS_32);
  hi.GetPixels32()[1] = 0x123456;
  ASSERT_TRUE(SaveObjectToFile(hi, "h.obj", true));
  std::unique_ptr<XB_STORABLE> hiLoaded(LoadObjectFromFile("h.obj"));
  auto* hiBitmap = dynamic_cast<XB_BITMAP*>(hiLoaded.get());
  ASSERT_NE(hiBitmap, nullptr);
  EXPECT_EQ(hiBitmap->GetPixels32()[1], 0x123456u);
}

TEST_F(BitmapStreamTest, DamagedStreamsAndVirtualBitmapsAreRefused) {
  // A rectangle of 4 x 4 over a 3-byte buffer.
  std::vector<uint8_t> bytes;
  tl_test::PutU16(bytes, XB_CLASS_BITMAP);
  tl_test::PutU16(bytes, 0);
  tl_test::PutU16(bytes, 0);
  for (int32_t v : {0, 0, 4, 4}) tl_test::PutI32(bytes, v);
  tl_test::PutU16(bytes, XB_CLASS_BUFFER);
  tl_test::PutU16(bytes, 0);
  tl_test::PutU32(bytes, 3);
  bytes.insert(bytes.end(), {1, 2, 3});
  dir.Write("short.obj", bytes);
  XB_EXPECT_FATAL_THROW(delete LoadObjectFromFile("short.obj"), "short.obj - corrupt data");
  // An absurd size is refused before anything is read for it.
  bytes[14] = 0xFF;
  bytes[15] = 0xFF;
  bytes[16] = 0xFF;
  bytes[17] = 0x7F;
  dir.Write("huge.obj", bytes);
  XB_EXPECT_FATAL_THROW(delete LoadObjectFromFile("huge.obj"), "out of range");

  uint8_t memory[4] = {};
  std::unique_ptr<XB_BITMAP> view(XB_BITMAP::CreateVirtual(memory, 2, 2, XB_PIXELS_8));
  view->Fill(7);
  EXPECT_EQ(memory[3], 7);
  // A view over no pixel memory has nothing to draw on or to copy: it changes nothing, also where
  // its rectangle meets the area asked for.
  std::unique_ptr<XB_BITMAP> none(XB_BITMAP::CreateVirtual(nullptr, 2, 2, XB_PIXELS_8));
  const uint8_t zero[256] = {};
  none->Fill(1);
  none->Shade(zero);
  none->BlitTo(*view, 0, 0);
  EXPECT_EQ(memory[3], 7);
  XB_EXPECT_FATAL(SaveObjectToFile(*view, "v.obj", true), "XB_BITMAP: cannot save virtual bitmap");
}

}  // namespace
