// tillands-assets bmd: list, export and build, run as a program.
#include <memory>
#include <random>
#include <vector>

#include "base/xb_storable.h"
#include "graphics/bob_authoring.h"
#include "graphics/xb_bitmap.h"
#include "graphics/xb_bob_manager.h"
#include "tests/tools/image_tool_support.h"
#include "tools/common/png_io.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::unique_ptr<XB_BITMAP> Art(std::mt19937& rng, int32_t w, int32_t h, int colours, int holesInTen) {
  auto b = std::make_unique<XB_BITMAP>(w, h);
  for (int64_t i = 0; i < int64_t{w} * h; ++i)
    b->GetPixels()[i] =
        static_cast<int>(rng() % 10) < holesInTen ? 0 : static_cast<uint8_t>(1 + rng() % colours);
  return b;
}

class BmdCommandTest : public asset_test::AssetToolTest {
 protected:
  // A library with every kind, gaps, a bob that uses all 256 indices, an empty bob and trailing gaps.
  void MakeLibrary(const char* name) {
    std::mt19937 rng(5);
    BobLibraryBuilder builder(4);
    builder.AddPacked(4, *Art(rng, 30, 20, 200, 3), 0, -15, -19);
    auto levels = Art(rng, 25, 10, 254, 4);
    for (int64_t i = 0; i < 250; ++i)
      if (levels->GetPixels()[i] == 0) levels->GetPixels()[i] = 255;
    builder.AddMask(5, *levels, 2, 3);
    builder.AddShadow(7, *Art(rng, 40, 12, 1, 5), -20, -6);  // 6 stays a gap
    XB_BITMAP every(256, 2), coverage(256, 2);
    for (int x = 0; x < 256; ++x) {
      every.Row(0)[x] = static_cast<uint8_t>(x);
      every.Row(1)[x] = static_cast<uint8_t>(255 - x);
      coverage.Row(0)[x] = 1;
      coverage.Row(1)[x] = x % 3 ? 1 : 0;
    }
    builder.AddPackedCovered(8, every, coverage, 1, 1);
    builder.AddPacked(9, XB_BITMAP(0, 4), 0, 0, 0);
    builder.ReserveUpTo(12);
    ASSERT_TRUE(builder.SaveBmd(dir.File(name).c_str()));
  }
};

TEST_F(BmdCommandTest, ListShowsOneLinePerBob) {
  MakeLibrary("lib.bmd");
  asset_test::Result r = Run("bmd list lib.bmd");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("first 4, count 9"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\n4 packed -15 -19 30 20\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\n5 mask 2 3 25 10\n"), std::string::npos);
  EXPECT_NE(r.out.find("\n7 shadow -20 -6 40 12\n"), std::string::npos);
  EXPECT_NE(r.out.find("\n9 packed 0 0 0 4\n"), std::string::npos);
  EXPECT_EQ(r.out.find("\n6 "), std::string::npos);  // gaps are not bobs
}

TEST_F(BmdCommandTest, ExportThenBuildGivesTheSameLibrary) {
  MakeLibrary("lib.bmd");
  asset_test::Result r = Run("bmd export lib.bmd out");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string manifest = dir.ReadText("out/manifest.txt");
  EXPECT_NE(manifest.find("4 packed -15 -19 bob0004.png key "), std::string::npos) << manifest;
  EXPECT_NE(manifest.find("8 packed 1 1 bob0008.png coverage bob0008_coverage.png"), std::string::npos);
  EXPECT_NE(manifest.find("9 packed 0 0 - size 0 4"), std::string::npos);

  PngImage png;
  std::string error;
  ASSERT_TRUE(ReadPng(dir.File("out/bob0004.png"), &png, &error)) << error;
  EXPECT_EQ(png.kind, PngImage::Kind::Paletted);
  EXPECT_EQ(png.width, 30);
  ASSERT_TRUE(ReadPng(dir.File("out/bob0007.png"), &png, &error)) << error;
  EXPECT_EQ(png.kind, PngImage::Kind::Grey);

  r = Run("bmd build out/manifest.txt again.bmd");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(dir.Read("again.bmd"), dir.Read("lib.bmd"));

  // The palette of a picture may colour the export.
  Bytes pcx = {10, 5, 1, 8, 0, 0, 0, 0, 0, 0, 0, 0};
  pcx.resize(128, 0);
  pcx.push_back(1);
  pcx.push_back(12);
  for (int i = 0; i < 768; ++i) pcx.push_back(static_cast<uint8_t>(i / 3));
  dir.Write("pal.pcx", pcx);
  r = Run("bmd export lib.bmd coloured --palette pal.pcx");
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_TRUE(ReadPng(dir.File("coloured/bob0004.png"), &png, &error)) << error;
  EXPECT_EQ(png.palette[77], (RgbColour{77, 77, 77}));
}

TEST_F(BmdCommandTest, BadLibrariesAndManifestsAreReported) {
  EXPECT_EQ(Run("bmd --help").status, 0);
  EXPECT_EQ(Run("bmd").status, 1);
  EXPECT_EQ(Run("bmd list").status, 1);
  EXPECT_EQ(Run("bmd export a b --colours x").status, 1);

  MakeLibrary("lib.bmd");
  Bytes bytes = dir.Read("lib.bmd");
  bytes.resize(bytes.size() - 10);
  dir.Write("cut.bmd", bytes);
  asset_test::Result r = Run("bmd list cut.bmd");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("cut.bmd"), std::string::npos) << r.err;

  dir.WriteText("m1.txt", "first 0\n0 packed 0 0 missing.png key 0\n");
  r = Run("bmd build m1.txt o.bmd");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("m1.txt:2: "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("missing.png"), std::string::npos) << r.err;
  dir.WriteText("m2.txt", "first 3\n1 packed 0 0 x.png key 0\n");
  r = Run("bmd build m2.txt o.bmd");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("out of range"), std::string::npos) << r.err;
  dir.WriteText("m3.txt", "0 sprite 0 0 x.png\n");
  EXPECT_NE(Run("bmd build m3.txt o.bmd").err.find("unknown bob kind 'sprite'"), std::string::npos);
  dir.WriteText("m4.txt", "count 1\n0 mask 0 0 - size 0 1\n3 mask 0 0 - size 0 1\n");
  EXPECT_NE(Run("bmd build m4.txt o.bmd").err.find("smaller than the bobs need"), std::string::npos);
  // Absurd entry counts are refused before anything is allocated or written (a three-line manifest
  // once made a 2.8 GB file).
  dir.WriteText("m5.txt", "count 4000000000\n0 mask 0 0 - size 0 1\n");
  r = Run("bmd build m5.txt big.bmd");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("m5.txt:1: 'count 4000000000' is more than a library may hold"), std::string::npos)
      << r.err;
  dir.WriteText("m6.txt", "first 10\n10 mask 0 0 - size 0 1\n4000000000 mask 0 0 - size 0 1\n");
  r = Run("bmd build m6.txt big.bmd");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("m6.txt:3: bob number 4000000000 lies more than 65536 entries after 'first'"),
            std::string::npos)
      << r.err;
  EXPECT_FALSE(dir.Exists("big.bmd"));
  dir.WriteText("m7.txt", "first 100\ncount 65536\n100 mask 0 0 - size 0 1\n");
  EXPECT_EQ(Run("bmd build m7.txt top.bmd").status, 0);  // the largest library allowed is fine

  // An RGB picture cannot stand for palette indices.
  PngImage rgb;
  rgb.kind = PngImage::Kind::Rgb;
  rgb.width = rgb.height = 1;
  rgb.pixels = {1, 2, 3};
  std::string error;
  ASSERT_TRUE(WritePng(dir.File("rgb.png"), rgb, &error));
  dir.WriteText("m5.txt", "0 packed 0 0 rgb.png key 0\n");
  EXPECT_NE(Run("bmd build m5.txt o.bmd").err.find("not RGB"), std::string::npos);
}

}  // namespace
