// tillands-assets image, and the PNG helpers it writes with.
#include <memory>
#include <vector>

#include "tests/tools/image_tool_support.h"
#include "tools/common/gif_writer.h"
#include "tools/common/png_io.h"

#include <gif_lib.h>

namespace {

using Bytes = std::vector<uint8_t>;
class ImageCommandTest : public asset_test::AssetToolTest {};

void Put16(Bytes& b, uint16_t v) {
  b.insert(b.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)});
}
void Put32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

Bytes Pcx3x2() {
  Bytes out = {10, 5, 1, 8};
  for (uint16_t v : {0, 0, 2, 1}) Put16(out, v);
  out.resize(128, 0);
  out.insert(out.end(), {1, 2, 3, 0, 0xC4, 9});  // row 0: 1 2 3 (+pad), row 1: 9 9 9 (+pad)
  out.push_back(12);
  for (int i = 0; i < 256; ++i)
    out.insert(out.end(), {static_cast<uint8_t>(i), 7, static_cast<uint8_t>(255 - i)});
  return out;
}

Bytes Bmp24(int32_t w, int32_t h, const Bytes& rows) {
  Bytes out = {'B', 'M'};
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 54);
  Put32(out, 40);
  Put32(out, static_cast<uint32_t>(w));
  Put32(out, static_cast<uint32_t>(h));
  Put16(out, 1);
  Put16(out, 24);
  for (int i = 0; i < 6; ++i) Put32(out, 0);
  out.insert(out.end(), rows.begin(), rows.end());
  return out;
}

TEST(PngIoTest, EveryKindRoundTripsAndBadInputIsReported) {
  tl_test::TempDir dir;
  PngImage paletted;
  paletted.kind = PngImage::Kind::Paletted;
  paletted.width = 3;
  paletted.height = 2;
  paletted.pixels = {0, 1, 255, 7, 7, 0};
  for (int i = 0; i < 256; ++i) paletted.palette.push_back({static_cast<uint8_t>(i), 1, 2});
  paletted.paletteAlpha = {255, 0};
  std::string error;
  ASSERT_TRUE(WritePng(dir.File("p.png"), paletted, &error)) << error;
  PngImage back;
  ASSERT_TRUE(ReadPng(dir.File("p.png"), &back, &error)) << error;
  EXPECT_EQ(back.kind, PngImage::Kind::Paletted);
  EXPECT_EQ(back.pixels, paletted.pixels);
  EXPECT_EQ(back.palette, paletted.palette);
  EXPECT_EQ(back.paletteAlpha, paletted.paletteAlpha);

  for (PngImage::Kind kind : {PngImage::Kind::Grey, PngImage::Kind::Rgb, PngImage::Kind::Rgba}) {
    PngImage image;
    image.kind = kind;
    image.width = 5;
    image.height = 3;
    for (int i = 0; i < 15 * image.BytesPerPixel(); ++i) image.pixels.push_back(static_cast<uint8_t>(i * 17));
    ASSERT_TRUE(WritePng(dir.File("k.png"), image, &error)) << error;
    ASSERT_TRUE(ReadPng(dir.File("k.png"), &back, &error)) << error;
    EXPECT_EQ(back.kind, kind);
    EXPECT_EQ(back.pixels, image.pixels);
  }

  PngImage empty;
  EXPECT_FALSE(WritePng(dir.File("e.png"), empty, &error));
  EXPECT_NE(error.find("e.png"), std::string::npos);
  paletted.pixels.resize(2);
  EXPECT_FALSE(WritePng(dir.File("s.png"), paletted, &error));
  EXPECT_FALSE(WritePng(dir.File("no/such/dir/x.png"), paletted, &error));
  dir.Write("fake.png", Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9});
  EXPECT_FALSE(ReadPng(dir.File("fake.png"), &back, &error));
  EXPECT_NE(error.find("not a PNG"), std::string::npos);
  Bytes truncated = dir.Read("k.png");
  truncated.resize(truncated.size() / 2);
  dir.Write("cut.png", truncated);
  EXPECT_FALSE(ReadPng(dir.File("cut.png"), &back, &error));
}

TEST(GifWriterTest, FramesReadBackWithTheirPaletteAndDelay) {
  tl_test::TempDir dir;
  std::vector<RgbColour> palette;
  for (int i = 0; i < 256; ++i)
    palette.push_back({static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), 9});
  GifWriter gif;
  std::string error;
  ASSERT_TRUE(gif.Open(dir.File("a.gif"), 3, 2, palette, 0, &error)) << error;
  const Bytes first = {0, 1, 2, 3, 4, 5}, second = {255, 254, 0, 0, 7, 7};
  ASSERT_TRUE(gif.AddFrame(first.data(), 10, &error)) << error;
  ASSERT_TRUE(gif.AddFrame(second.data(), 25, &error)) << error;
  ASSERT_TRUE(gif.Close(&error)) << error;

  int code = 0;
  GifFileType* in = DGifOpenFileName(dir.File("a.gif").c_str(), &code);
  ASSERT_NE(in, nullptr);
  ASSERT_EQ(DGifSlurp(in), GIF_OK);
  ASSERT_EQ(in->ImageCount, 2);
  EXPECT_EQ(in->SWidth, 3);
  EXPECT_EQ(Bytes(in->SavedImages[0].RasterBits, in->SavedImages[0].RasterBits + 6), first);
  EXPECT_EQ(Bytes(in->SavedImages[1].RasterBits, in->SavedImages[1].RasterBits + 6), second);
  EXPECT_EQ(in->SColorMap->Colors[200].Red, 200);
  GraphicsControlBlock control;
  ASSERT_EQ(DGifSavedExtensionToGCB(in, 1, &control), GIF_OK);
  EXPECT_EQ(control.DelayTime, 25);
  DGifCloseFile(in, &code);

  GifWriter closed;
  EXPECT_FALSE(closed.AddFrame(first.data(), 1, &error));
  EXPECT_FALSE(closed.Open(dir.File("no/such/dir/a.gif"), 3, 2, palette, 0, &error));
  EXPECT_FALSE(closed.Open(dir.File("b.gif"), 0, 2, palette, 0, &error));
}

TEST_F(ImageCommandTest, ImageWritesPalettedAndTrueColourPngs) {
  dir.Write("Logo.PCX", Pcx3x2());
  asset_test::Result r = Run("image Logo.PCX logo.png");
  ASSERT_EQ(r.status, 0) << r.err;
  PngImage png;
  std::string error;
  ASSERT_TRUE(ReadPng(dir.File("logo.png"), &png, &error)) << error;
  EXPECT_EQ(png.kind, PngImage::Kind::Paletted);
  EXPECT_EQ(png.pixels, (Bytes{1, 2, 3, 9, 9, 9}));
  ASSERT_EQ(png.palette.size(), 256u);
  EXPECT_EQ(png.palette[2], (RgbColour{2, 7, 253}));

  // 2 x 2, bottom-up, rows padded to 8 bytes.
  dir.Write("photo.bmp", Bmp24(2, 2, {1, 2, 3, 4, 5, 6, 0, 0, 10, 20, 30, 40, 50, 60, 0, 0}));
  r = Run("image photo.bmp photo.png");
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_TRUE(ReadPng(dir.File("photo.png"), &png, &error)) << error;
  EXPECT_EQ(png.kind, PngImage::Kind::Rgb);
  EXPECT_EQ(png.pixels, (Bytes{30, 20, 10, 60, 50, 40, 3, 2, 1, 6, 5, 4}));
}

TEST_F(ImageCommandTest, ImageReportsBadInputAndUsage) {
  EXPECT_EQ(Run("image --help").status, 0);
  EXPECT_NE(Run("image --help").out.find("usage: tillands-assets image"), std::string::npos);
  EXPECT_EQ(Run("image only-one-arg").status, 1);
  dir.Write("broken.bmp", Bmp24(4000, 4000, {1, 2, 3}));
  asset_test::Result r = Run("image broken.bmp out.png");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("broken.bmp"), std::string::npos) << r.err;
  dir.Write("pic.tga", Bytes(100, 0));
  r = Run("image pic.tga out.png");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("tillands-assets image: pic.tga: not a picture the saver reads (expected a .pcx or "
                       ".bmp file)"),
            std::string::npos)
      << r.err;
  // A missing file is missing input (1); an empty one says so (2), cut-short ones say where they end.
  r = Run("image missing.pcx out.png");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("missing.pcx: no such file"), std::string::npos) << r.err;
  dir.Write("empty.pcx", {});
  r = Run("image empty.pcx out.png");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("empty.pcx: the file is empty"), std::string::npos) << r.err;
  dir.Write("ok.pcx", Pcx3x2());
  EXPECT_EQ(Run("image ok.pcx no/such/dir/out.png").status, 1);
}

}  // namespace
