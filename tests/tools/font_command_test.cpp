// tillands-assets font render, run as a program.
#include <memory>
#include <vector>

#include "graphics/bob_authoring.h"
#include "graphics/xb_bitmap.h"
#include "tests/tools/image_tool_support.h"
#include "tools/common/png_io.h"

namespace {

using Bytes = std::vector<uint8_t>;

class FontCommandTest : public asset_test::AssetToolTest {
 protected:
  // 'A' is a 2 x 3 block of index 1, 'i' a 1 x 3 column of index 2, 'g' hangs one row lower.
  void MakeFont(const char* name) {
    FontBuilder builder(3);
    XB_BITMAP a(2, 3), i(1, 3), g(1, 3);
    a.Fill(1);
    i.Fill(2);
    g.Fill(3);
    builder.AddGlyph('A', a, 0);
    builder.AddGlyph('i', i, 0);
    builder.AddGlyph('g', g, 0, 0, 1);
    XB_BITMAP umlaut(4, 3);  // 0xE4, Windows-1252 for U+00E4
    umlaut.Fill(4);
    builder.AddGlyph(0xE4, umlaut, 0);
    ASSERT_TRUE(builder.SaveFnt(dir.File(name).c_str()));
  }
};

TEST_F(FontCommandTest, RendersTheDrawnPixelsOnATransparentBackground) {
  MakeFont("ext.fnt");
  asset_test::Result r = Run("font render ext.fnt 'A iA' text.png");
  ASSERT_EQ(r.status, 0) << r.err;
  PngImage png;
  std::string error;
  ASSERT_TRUE(ReadPng(dir.File("text.png"), &png, &error)) << error;
  EXPECT_EQ(png.kind, PngImage::Kind::Rgba);
  // A(2) +1, space = width of i + 1 = 2, i(1) +1, A(2): 3 + 2 + 2 + 2 = 9 columns.
  ASSERT_EQ(png.width, 9);
  ASSERT_EQ(png.height, 3);
  const Bytes alphaRow = {255, 255, 0, 0, 0, 255, 0, 255, 255};
  for (int x = 0; x < 9; ++x) EXPECT_EQ(png.pixels[static_cast<size_t>(x) * 4 + 3], alphaRow[x]) << x;

  // Two lines (line height 3 + 2), the hanging glyph extends the box downwards.
  r = Run("font render ext.fnt 'A\\ng' two.png");
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_TRUE(ReadPng(dir.File("two.png"), &png, &error)) << error;
  EXPECT_EQ(png.width, 2);
  EXPECT_EQ(png.height, 5 + 1 + 3);
}

// The text on the command line is UTF-8; the font's glyphs are numbered by Windows-1252 bytes.
TEST_F(FontCommandTest, TextIsConvertedFromUtf8ToTheFontsBytes) {
  MakeFont("ext.fnt");
  PngImage png;
  std::string error;
  asset_test::Result r = Run("font render ext.fnt '\xC3\xA4' u.png");  // "ä" in UTF-8
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_TRUE(ReadPng(dir.File("u.png"), &png, &error)) << error;
  EXPECT_EQ(png.width, 4);
  // --raw takes the bytes as given: the Windows-1252 byte itself.
  r =
      Run("font render ext.fnt '\xE4"
          "A' raw.png --raw");
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_TRUE(ReadPng(dir.File("raw.png"), &png, &error)) << error;
  EXPECT_EQ(png.width, 4 + 1 + 2);
  // A character Windows-1252 does not have is named.
  r = Run("font render ext.fnt '\xC4\x81' x.png");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("has no Windows-1252 character"), std::string::npos) << r.err;
}

TEST_F(FontCommandTest, ReportsBadInput) {
  EXPECT_EQ(Run("font --help").status, 0);
  EXPECT_EQ(Run("font render only.fnt").status, 1);
  EXPECT_EQ(Run("font draw a b c").status, 1);
  MakeFont("ext.fnt");
  EXPECT_NE(Run("font render ext.fnt 'ZZ' out.png").err.find("nothing of the text"), std::string::npos);
  Bytes bytes = dir.Read("ext.fnt");
  bytes[8] = 50;  // the nested object claims to be a palette
  dir.Write("bad.fnt", bytes);
  asset_test::Result r = Run("font render bad.fnt A out.png");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("bad.fnt"), std::string::npos) << r.err;
  // Missing is missing input; empty and cut-short files say so.
  r = Run("font render none.fnt A out.png");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("tillands-assets font: none.fnt: no such file"), std::string::npos) << r.err;
  dir.Write("empty.fnt", {});
  r = Run("font render empty.fnt A out.png");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("tillands-assets: XB_FILE::Read - file empty.fnt - the file is empty"),
            std::string::npos)
      << r.err;
  dir.Write("cut.fnt", Bytes(bytes.begin(), bytes.begin() + 20));
  r = Run("font render cut.fnt A out.png");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("cut.fnt - the file is cut short"), std::string::npos) << r.err;
}

}  // namespace
