#include "graphics/xb_picture.h"

#include <gtest/gtest.h>

#include <memory>

#include "base/xb_error.h"
#include "graphics/xb_bitmap.h"
#include "graphics/xb_palette.h"
#include "tests/common/fatal_test.h"
#include "tests/common/temp_dir.h"
#include "tests/graphics/graphics_test_util.h"

namespace {

using Bytes = std::vector<uint8_t>;
using tl_test::PutI32;
using tl_test::PutU16;
using tl_test::PutU32;

void PutI16(Bytes& out, int16_t v) {
  PutU16(out, static_cast<uint16_t>(v));
}

// A PCX file: header with the window, the given encoded data, then the 768-byte palette.
Bytes Pcx(int16_t xmin, int16_t ymin, int16_t xmax, int16_t ymax, const Bytes& encoded) {
  Bytes out = {10, 5, 1, 8};
  PutI16(out, xmin);
  PutI16(out, ymin);
  PutI16(out, xmax);
  PutI16(out, ymax);
  out.resize(128, 0);
  out.insert(out.end(), encoded.begin(), encoded.end());
  out.push_back(12);
  for (int i = 0; i < 256; ++i)
    out.insert(out.end(), {static_cast<uint8_t>(i), 0, static_cast<uint8_t>(255 - i)});
  return out;
}

// A BMP file with a 256-entry palette area (colours used as given) and the pixel bytes as stored.
// `headerSize` 108 or 124 gives the V4/V5 info header painting programs write (its extra fields,
// masks and colour space, are left 0 here).
Bytes Bmp(int32_t width, int32_t height, uint16_t bitCount, uint32_t compression, uint32_t coloursUsed,
          const Bytes& pixelData, uint32_t headerSize = 40) {
  const uint32_t paletteBytes = bitCount == 8 ? 1024 : 0;
  Bytes out = {'B', 'M'};
  PutU32(out, 0);
  PutU32(out, 0);
  PutU32(out, 14 + headerSize + paletteBytes);  // pixel data offset
  PutU32(out, headerSize);
  PutI32(out, width);
  PutI32(out, height);
  PutU16(out, 1);
  PutU16(out, bitCount);
  PutU32(out, compression);
  PutU32(out, static_cast<uint32_t>(pixelData.size()));
  PutU32(out, 0);
  PutU32(out, 0);
  PutU32(out, coloursUsed);
  PutU32(out, 0);
  out.resize(14 + headerSize, 0);
  for (uint32_t i = 0; i < paletteBytes / 4; ++i)
    out.insert(out.end(),
               {static_cast<uint8_t>(i), static_cast<uint8_t>(i / 2), static_cast<uint8_t>(255 - i), 0});
  out.insert(out.end(), pixelData.begin(), pixelData.end());
  return out;
}

std::unique_ptr<XB_PICTURE> Decode(const char* name, const Bytes& bytes) {
  return std::make_unique<XB_PICTURE>(name, bytes.data(), static_cast<uint32_t>(bytes.size()));
}

TEST(PictureTest, PcxOddWidthDropsThePadColumnAndRunsStopAtTheLine) {
  // Width 5: six bytes per scan line. Row 0: a run of 3 x 7, literals 1 2 and the pad 9.
  // Row 1: a run of 10 x 4 (the overflow is discarded), then row 2 starts with the next byte.
  const Bytes encoded = {0xC3, 7, 1, 2, 9, 0xCA, 4, 0xC0, 99, 5, 0xC5, 6};
  auto picture = Decode("Logo.PCX", Pcx(10, 20, 14, 22, encoded));
  XB_BITMAP* b = picture->GetBitmap();
  ASSERT_EQ(b->GetWidth(), 5);
  ASSERT_EQ(b->GetHeight(), 3);
  EXPECT_EQ(gfx_test::Pixels(*b), (Bytes{7, 7, 7, 1, 2, 4, 4, 4, 4, 4, 5, 6, 6, 6, 6}));
  ASSERT_NE(picture->GetPalette(), nullptr);
  EXPECT_EQ(b->GetPalette(), picture->GetPalette());
  EXPECT_EQ(picture->GetPalette()->GetColour(3), XB_PALETTE_ENTRY::Rgb(3, 0, 252));
  EXPECT_EQ(picture->GetPalette()->GetColour(255), XB_PALETTE_ENTRY::Rgb(255, 0, 0));  // the last triple
  EXPECT_TRUE(picture->IsLoaded());
}

TEST(PictureTest, BmpUncompressedRowsArePaddedAndEitherOrderGivesTheSameBitmap) {
  // 3 x 2 pixels, 4 bytes per row; bottom-up stores row 1 first.
  const Bytes bottomUp = {4, 5, 6, 0xAA, 1, 2, 3, 0xAA};
  const Bytes topDown = {1, 2, 3, 0xAA, 4, 5, 6, 0xAA};
  auto a = Decode("a.bmp", Bmp(3, 2, 8, 0, 16, bottomUp));
  auto b = Decode("b.BMP", Bmp(3, -2, 8, 0, 16, topDown));
  EXPECT_EQ(gfx_test::Pixels(*a->GetBitmap()), (Bytes{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(gfx_test::Pixels(*a->GetBitmap()), gfx_test::Pixels(*b->GetBitmap()));
  // Colours used = 16: entries 16 and above stay 0.
  EXPECT_EQ(a->GetPalette()->GetColour(15), (XB_PALETTE_ENTRY{15, 7, 240, 0}));
  EXPECT_EQ(a->GetPalette()->GetColour(16), XB_PALETTE_ENTRY{});
  auto c = Decode("c.bm", Bmp(3, 2, 8, 0, 0, bottomUp));  // ".bm" counts as BMP
  EXPECT_EQ(c->GetPalette()->GetColour(200), (XB_PALETTE_ENTRY{200, 100, 55, 0}));
  // More than 256 colours used: the 256 entries there are, and no more is read.
  auto d = Decode("d.bmp", Bmp(3, 2, 8, 0, 300, bottomUp));
  EXPECT_EQ(d->GetPalette()->GetColour(255), (XB_PALETTE_ENTRY{255, 127, 0, 0}));
  EXPECT_EQ(gfx_test::Pixels(*d->GetBitmap()), (Bytes{1, 2, 3, 4, 5, 6}));
}

TEST(PictureTest, BmpWithV4AndV5HeadersTakesItsColoursFromAfterTheHeader) {
  const Bytes bottomUp = {4, 5, 6, 0xAA, 1, 2, 3, 0xAA};
  const Bytes topDown = {1, 2, 3, 0xAA, 4, 5, 6, 0xAA};
  auto classic = Decode("a.bmp", Bmp(3, 2, 8, 0, 0, bottomUp));
  for (uint32_t header : {108u, 124u}) {
    for (bool down : {false, true}) {
      auto p = Decode("v.bmp", Bmp(3, down ? -2 : 2, 8, 0, 0, down ? topDown : bottomUp, header));
      EXPECT_EQ(gfx_test::Pixels(*p->GetBitmap()), (Bytes{1, 2, 3, 4, 5, 6})) << header;
      for (int i : {0, 1, 77, 255})
        EXPECT_EQ(p->GetPalette()->GetColour(i), classic->GetPalette()->GetColour(i)) << header << " " << i;
    }
  }
  // A V5 header whose colour table would run past the end is still refused.
  Bytes cut = Bmp(1, 1, 8, 0, 0, {1, 0, 0, 0}, 124);
  cut.resize(14 + 124 + 1000);
  XB_EXPECT_FATAL_THROW(Decode("cut5.bmp", cut), "cut5.bmp - corrupt data");
}

// PCX lines as common writers lay them out: the bytes-per-line field (byte 66) is the even-rounded
// width, or more when lines are padded further; lines are read by it whenever it covers the width.
TEST(PictureTest, PcxLinesFollowTheStoredBytesPerLine) {
  auto withLine = [](int16_t xmax, int16_t ymax, uint16_t bytesPerLine, const Bytes& encoded) {
    Bytes file = Pcx(0, 0, xmax, ymax, encoded);
    file[65] = 1;
    file[66] = uint8_t(bytesPerLine), file[67] = uint8_t(bytesPerLine >> 8);
    return file;
  };
  // Width 5 stored with 6 bytes per line decodes exactly as without the field.
  const Bytes six = {0xC3, 7, 1, 2, 9, 0xCA, 4, 0xC0, 99, 5, 0xC5, 6};
  auto plain = Decode("p.pcx", Pcx(0, 0, 4, 2, six));
  auto stated = Decode("s.pcx", withLine(4, 2, 6, six));
  EXPECT_EQ(gfx_test::Pixels(*stated->GetBitmap()), gfx_test::Pixels(*plain->GetBitmap()));
  // Width 5 padded to 8 bytes per line: the padding is skipped, the picture is not sheared.
  const Bytes eight = {1, 2, 3, 4, 5, 0, 0, 0, 6, 7, 8, 9, 10, 0xC3, 0};
  auto padded = Decode("pad.pcx", withLine(4, 1, 8, eight));
  EXPECT_EQ(gfx_test::Pixels(*padded->GetBitmap()), (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  // Width 3 with an odd 3 bytes per line (no pad byte at all).
  auto odd = Decode("odd.pcx", withLine(2, 1, 3, {1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(gfx_test::Pixels(*odd->GetBitmap()), (Bytes{1, 2, 3, 4, 5, 6}));
  // Width 1 padded to 8 bytes per line: the widest pad still believed.
  auto eightOfOne = Decode("one.pcx", withLine(0, 1, 8, {1, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(gfx_test::Pixels(*eightOfOne->GetBitmap()), (Bytes{1, 2}));
  // A field smaller than the width, or with more pad than any writer uses (junk some writers leave
  // there), is not trusted: lines are the even-rounded width, and the file loads.
  for (uint16_t stray : {2, 11, 0x4000, 0xFFFF}) {
    auto p = Decode("stray.pcx", withLine(2, 1, stray, {1, 2, 3, 9, 4, 5, 6, 9}));
    EXPECT_EQ(gfx_test::Pixels(*p->GetBitmap()), (Bytes{1, 2, 3, 4, 5, 6})) << stray;
  }
}

// A picture without pixels is that picture's load failure (its callers go on without it), not a
// stop of the program: no bitmap, no palette, not loaded, and a warning that names the file.
TEST(PictureTest, AZeroSizedPictureIsNotLoadedButWarned) {
  const std::pair<const char*, Bytes> empties[] = {
      {"wide0.pcx", Pcx(4, 0, 3, 1, {})},       {"high0.pcx", Pcx(0, 7, 1, 6, {})},
      {"wide0.bmp", Bmp(0, 2, 8, 0, 0, {})},    {"high0.bmp", Bmp(2, 0, 24, 0, 0, {})},
      {"rle0.bmp", Bmp(3, 0, 8, 1, 0, {0, 1})},
  };
  for (const auto& [name, bytes] : empties) {
    auto p = Decode(name, bytes);
    EXPECT_EQ(p->GetBitmap(), nullptr) << name;
    EXPECT_EQ(p->GetPalette(), nullptr) << name;
    EXPECT_FALSE(p->IsLoaded()) << name;
    EXPECT_NE(std::string(XB_LastWarning()).find(std::string(name) + " - the picture has no pixels"),
              std::string::npos)
        << XB_LastWarning();
  }
}

// The size pre-check must let through every file the decoder can read: run-encoded lines of
// 63 q + 1 pixels take 2 q + 1 bytes (a run of 63 and one literal).
TEST(PictureTest, PcxSizeCheckAcceptsTheTightestEncodings) {
  for (auto [width, height] : {std::pair{64, 770}, std::pair{63, 1000}, std::pair{127, 300}}) {
    Bytes encoded;
    for (int y = 0; y < height; ++y) {
      int left = (width + 1) & ~1;
      while (left >= 63) encoded.insert(encoded.end(), {0xFF, uint8_t(y)}), left -= 63;
      if (left == 1)
        encoded.push_back(uint8_t(y & 0x3F));
      else if (left > 1)
        encoded.insert(encoded.end(), {uint8_t(0xC0 | left), uint8_t(y)});
    }
    auto p = Decode("tight.pcx", Pcx(0, 0, int16_t(width - 1), int16_t(height - 1), encoded));
    ASSERT_EQ(p->GetBitmap()->GetHeight(), height);
    EXPECT_EQ(p->GetBitmap()->Row(height - 1)[0], uint8_t(height - 1)) << width;
  }
}

TEST(PictureTest, TrueColourBmpsBecome32BitBitmapsWithoutPalette) {
  const Bytes pixels24 = {0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0, 0};  // 2 x 1, padded to 8
  auto noFormat = Decode("t.bmp", Bmp(2, 1, 24, 0, 0, pixels24));
  EXPECT_EQ(noFormat->GetBitmap()->GetFormat(), XB_PIXELS_32);
  EXPECT_EQ(noFormat->GetPalette(), nullptr);
  EXPECT_EQ(noFormat->GetBitmap()->GetPixels32()[0], 0u);  // no descriptor installed
  XB_InstallPixelFormat32(XB_PIXEL_FORMAT_32::Xrgb8888());
  auto rgb = Decode("t.bmp", Bmp(2, 1, 24, 0, 0, pixels24));
  EXPECT_EQ(rgb->GetBitmap()->GetPixels32()[0], 0x302010u);
  EXPECT_EQ(rgb->GetBitmap()->GetPixels32()[1], 0x605040u);
  auto rgbx = Decode("t.bmp", Bmp(1, -2, 32, 0, 0, {1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(rgbx->GetBitmap()->GetPixels32()[1], 0x070605u);
  // Three rows of 24-bit pixels: bottom-up files store the last row first, top-down ones the first.
  const Bytes rowA = {1, 2, 3, 4, 5, 6, 0, 0}, rowB = {7, 8, 9, 10, 11, 12, 0, 0},
              rowC = {13, 14, 15, 16, 17, 18, 0, 0};
  auto join = [](std::initializer_list<Bytes> rows) {
    Bytes out;
    for (const Bytes& r : rows) out.insert(out.end(), r.begin(), r.end());
    return out;
  };
  auto up = Decode("up.bmp", Bmp(2, 3, 24, 0, 0, join({rowC, rowB, rowA})));
  auto down = Decode("down.bmp", Bmp(2, -3, 24, 0, 0, join({rowA, rowB, rowC})));
  for (const auto* p : {&up, &down}) {
    const uint32_t* px = (*p)->GetBitmap()->GetPixels32();
    EXPECT_EQ(std::vector<uint32_t>(px, px + 6),
              (std::vector<uint32_t>{0x030201, 0x060504, 0x090807, 0x0C0B0A, 0x0F0E0D, 0x121110}));
  }
  XB_UninstallPixelFormat32();
}

TEST(PictureTest, Rle8FillsUpwardsAndClipsEverythingOutside) {
  // 4 x 3. Bottom row: run 2 x 5, literal 3 bytes (7 8 9; pad), the last pixel falls off the row.
  // End of line. Middle row: delta (1, 1) moves to column 1 of the top row; a run of 9 x 1 runs
  // past the right edge. End of bitmap before the middle row got anything.
  const Bytes data = {2, 5, 0, 3, 7, 8, 9, 0, 0, 0, 0, 2, 1, 1, 9, 1, 0, 1};
  auto p = Decode("r.bmp", Bmp(4, 3, 8, 1, 0, data));
  EXPECT_EQ(gfx_test::Pixels(*p->GetBitmap()), (Bytes{0xEE, 1, 1, 1, 0xEE, 0xEE, 0xEE, 0xEE, 5, 5, 7, 8}));
  // A literal run in the middle of a row: the row goes on after its bytes and pad byte.
  auto mid = Decode("m.bmp", Bmp(6, 1, 8, 1, 0, {0, 3, 7, 8, 9, 0, 2, 5, 0, 1}));
  EXPECT_EQ(gfx_test::Pixels(*mid->GetBitmap()), (Bytes{7, 8, 9, 5, 5, 0xEE}));
  // Deltas that leave the bitmap stop the decoding without writing anywhere.
  auto up = Decode("u.bmp", Bmp(2, 2, 8, 1, 0, {0, 2, 0, 5, 3, 3, 0, 1}));
  EXPECT_EQ(gfx_test::Pixels(*up->GetBitmap()), Bytes(4, 0xEE));
}

TEST(PictureTest, PicturesLoadFromFilesAndHandOverTheirParts) {
  tl_test::TempDir dir;
  const std::string path = dir.Write("Palette.pcx", Pcx(0, 0, 1, 0, {3, 4}));
  XB_PICTURE picture(path.c_str());
  ASSERT_NE(picture.GetBitmap(), nullptr);
  EXPECT_EQ(gfx_test::Pixels(*picture.GetBitmap()), (Bytes{3, 4}));
  std::unique_ptr<XB_PALETTE> palette(picture.DetachPalette());
  EXPECT_NE(palette, nullptr);
  EXPECT_EQ(picture.GetPalette(), nullptr);
  EXPECT_EQ(picture.GetBitmap()->GetPalette(), nullptr);
  picture.Release();
  EXPECT_EQ(picture.GetBitmap(), nullptr);
}

TEST(PictureTest, UnknownAndUnsupportedFormatsAreFatal) {
  const Bytes bmp = Bmp(1, 1, 8, 0, 0, {0, 0, 0, 0});
  XB_EXPECT_FATAL(Decode("logo.gif", bmp), "Unknown GFX format : \\.gif");
  XB_EXPECT_FATAL(Decode("logo.bmp", Bmp(1, 1, 4, 0, 0, {0, 0, 0, 0})),
                  "The bitmap to load was compressed\\.");
  XB_EXPECT_FATAL_THROW(Decode("logo.bmp", Bmp(1, 1, 24, 3, 0, {0, 0, 0, 0})),
                        "The bitmap to load was compressed.");
  XB_EXPECT_FATAL_THROW(Decode("logo", bmp), "Unknown GFX format : \n");      // no extension at all
  XB_EXPECT_FATAL_THROW(Decode("logo.bx", bmp), "Unknown GFX format : .bx");  // ".b" alone is not ".bm"
}

TEST(PictureTest, HeadersThatDoNotFitTheFileAreFatalAndNameIt) {
  XB_EXPECT_FATAL_THROW(Decode("tiny.pcx", Bytes(200, 0)), "tiny.pcx - corrupt data");
  XB_EXPECT_FATAL_THROW(Decode("neg.pcx", Pcx(5, 0, 2, 0, {1})), "neg.pcx - corrupt data: picture size");
  // 30000 x 30000 in a 1 KB file.
  XB_EXPECT_FATAL_THROW(Decode("big.pcx", Pcx(0, 0, 29999, 29999, {1})), "big.pcx - corrupt data");
  // 2000 x 300 is allowed in principle, but these few bytes cannot hold its scan lines.
  XB_EXPECT_FATAL_THROW(Decode("short.pcx", Pcx(0, 0, 1999, 299, {1, 2, 3})), "short.pcx - corrupt data");
  // Lines of 126 pixels take at least two two-byte runs each: 300 of them cannot fit in the 769 bytes
  // after the header (the palette and its marker included).
  XB_EXPECT_FATAL_THROW(
      Decode("runs.pcx", Pcx(0, 0, 125, 299, {})),
      "runs.pcx - corrupt data: the PCX header asks for more scan lines than the file holds");
  // Every byte after the header is a one-pixel run (two bytes per pixel): 384 pixels for 400 wanted.
  Bytes cut = Pcx(0, 0, 99, 3, {});
  cut.resize(128 + 768);
  for (size_t i = 128; i < cut.size(); ++i) cut[i] = 0xC1;
  XB_EXPECT_FATAL_THROW(Decode("cut.pcx", cut), "cut.pcx - corrupt data: the PCX data ends");

  XB_EXPECT_FATAL_THROW(Decode("h.bmp", Bytes(40, 0)), "h.bmp - corrupt data");
  XB_EXPECT_FATAL_THROW(Decode("rows.bmp", Bmp(4, 4, 8, 0, 0, {1, 2, 3})), "rows.bmp - corrupt data");
  XB_EXPECT_FATAL_THROW(Decode("wide.bmp", Bmp(-4, 4, 24, 0, 0, {})), "wide.bmp - corrupt data");
  XB_EXPECT_FATAL_THROW(Decode("huge.bmp", Bmp(100000, 1, 8, 0, 0, {})), "huge.bmp - corrupt data");
  Bytes offset = Bmp(1, 1, 8, 0, 0, {1, 0, 0, 0});
  offset[10] = 0xFF;
  offset[13] = 0x7F;
  XB_EXPECT_FATAL_THROW(Decode("offset.bmp", offset), "offset.bmp - corrupt data");
  Bytes colours = Bmp(1, 1, 24, 0, 0, {1, 2, 3, 0});
  colours[28] = 8;  // now 8-bit, but the file has no room for a colour table
  XB_EXPECT_FATAL_THROW(Decode("colours.bmp", colours), "colours.bmp - corrupt data");
  XB_EXPECT_FATAL_THROW(Decode("rle.bmp", Bmp(4, 4, 8, 1, 0, {2, 5, 0, 7, 1})), "rle.bmp - corrupt data");
  XB_EXPECT_FATAL_THROW(Decode("delta.bmp", Bmp(4, 4, 8, 1, 0, {2, 5, 0, 2, 1})),
                        "delta.bmp - corrupt data: the BMP run-length data ends");
  XB_EXPECT_FATAL_THROW(Decode("down.bmp", Bmp(4, -4, 8, 1, 0, {0, 1})), "down.bmp - corrupt data");
}

}  // namespace
