// The generator's building blocks: renderer primitives, the world output and its files, text
// rasterisation, contact sheets, the resource table, the sounds' character, and the commands.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

#include "graphics/bob_authoring.h"
#include "graphics/graphics_storables.h"
#include "graphics/xb_bitmap.h"
#include "graphics/xb_bob_manager.h"
#include "shell/resources/palette_resource.h"
#include "shell/resources/sound_synth.h"
#include "tests/common/build_dirs.h"
#include "tests/common/temp_dir.h"
#include "tools/common/png_io.h"
#include "tools/world/contact_sheet.h"
#include "tools/world/program_resources.h"
#include "tools/world/shape_render.h"
#include "tools/world/text_raster.h"
#include "tools/world/world_builder.h"

namespace {

using namespace tlworld;
namespace fs = std::filesystem;

struct Extent {
  int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1, count = 0;
};
Extent ExtentOf(const Sprite& s) {
  Extent e;
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x)
      if (s.At(x, y)) {
        e.x0 = std::min(e.x0, x), e.x1 = std::max(e.x1, x), e.y0 = std::min(e.y0, y),
        e.y1 = std::max(e.y1, y);
        ++e.count;
      }
  return e;
}

// ---- renderer primitives -----------------------------------------------------------------------------

TEST(ShapePrimitives, SilhouettesHaveTheModelledSizes) {
  const Ramp grey = RampOf({58, 55, 52, 50});
  {
    ShapeRenderer r(100, 100, 50, 70);
    r.Cylinder({0, 0, 0}, 12, 30, r.AddMaterial(grey), 16);
    Extent e = ExtentOf(r.Coverage());
    EXPECT_NEAR(e.x1 - e.x0 + 1, 24 + 2, 2) << "diameter plus the outline";
  }
  {
    ShapeRenderer r(100, 100, 50, 70);
    r.Ellipsoid({0, 0, 20}, {20, 10, 8}, r.AddMaterial(grey));
    Extent e = ExtentOf(r.Coverage());
    EXPECT_NEAR(e.x1 - e.x0 + 1, 40 + 2, 3);
  }
  {
    // A cone narrows to a point: its top row is much narrower than its base.
    ShapeRenderer r(100, 100, 50, 80);
    r.Cone({0, 0, 0}, 15, 40, r.AddMaterial(grey), 16);
    Sprite c = r.Coverage();
    Extent e = ExtentOf(c);
    int top = 0, low = 0;
    for (int x = 0; x < c.width; ++x) top += c.At(x, e.y0 + 2) != 0, low += c.At(x, e.y1 - 8) != 0;
    EXPECT_LT(top, low / 3);
  }
  {
    // A pole reaches both of its end points.
    ShapeRenderer r(100, 100, 50, 70);
    r.Pole({-30, 0, 0}, {30, 0, 20}, 1.5f, r.AddMaterial(grey));
    Sprite c = r.Coverage();
    float sx, sy, d;
    r.Project({-29, 0, 0.5f}, sx, sy, d);
    EXPECT_TRUE(c.At(int(sx), int(sy)));
    r.Project({29, 0, 19.5f}, sx, sy, d);
    EXPECT_TRUE(c.At(int(sx), int(sy)));
  }
}

TEST(ShapePrimitives, RoofsSitOnWallsAndHeightsGrowUpwards) {
  ShapeRenderer r(160, 140, 80, 110);
  int wall = r.AddMaterial(RampOf({134, 132, 130}));
  int roof = r.AddMaterial(RampOf({213, 211, 209}));
  r.Box({-30, -15, 0}, {30, 15, 25}, wall);
  r.GableRoof({-30, -15, 25}, {30, 15, 25}, 45, 4, roof, wall);
  float sx, sy, d;
  r.Project({0, 0, 44}, sx, sy, d);
  EXPECT_EQ(r.MaterialAt(int(sx), int(sy)), roof) << "the ridge is roof";
  r.Project({0, -15, 10}, sx, sy, d);
  EXPECT_EQ(r.MaterialAt(int(sx), int(sy)), wall) << "below the eaves the front wall shows";
  // On the front wall the surface height grows towards the top of the screen.
  float low, high;
  r.Project({0, -15, 3}, sx, sy, d);
  low = r.HeightAt(int(sx), int(sy));
  r.Project({0, -15, 12}, sx, sy, d);  // (higher up, the eaves hang in front of the wall)
  high = r.HeightAt(int(sx), int(sy));
  EXPECT_NEAR(low, 3, 1.5);
  EXPECT_NEAR(high, 12, 1.5);
  // Light can be painted over the rendered shading.
  r.SetLight(int(sx), int(sy), 0.0f);
  EXPECT_EQ(r.LightAt(int(sx), int(sy)), 0.0f);
}

TEST(ShapePrimitives, TallerThingsCastLongerShadowsAndTransformsCompose) {
  auto shadowReach = [](float height) {
    ShapeRenderer r(240, 200, 60, 150);
    r.Box({-4, -4, 0}, {4, 4, height}, r.AddMaterial(RampOf({58, 55, 52})));
    return ExtentOf(r.Shadow()).x1;
  };
  EXPECT_GT(shadowReach(60), shadowReach(20) + 20);
  // Rotating about z by 90 degrees turns east into north; translating afterwards moves the result.
  Transform t = Transform::RotateZ(90).Then(Transform::Translate({5, 0, 0}));
  Vec3 p = t.Apply({1, 0, 0});
  EXPECT_NEAR(p.x, 5, 1e-5);
  EXPECT_NEAR(p.y, 1, 1e-5);
  // RotateY tips something standing up towards the east (the direction trees fall).
  Vec3 top = Transform::RotateY(30).Apply({0, 0, 10});
  EXPECT_GT(top.x, 4);
  EXPECT_LT(top.z, 10);
  // A point on the ground straight ahead of the anchor projects to the anchor.
  ShapeRenderer r(10, 10, 4, 6);
  float sx, sy, d;
  r.Project({0, 0, 0}, sx, sy, d);
  EXPECT_FLOAT_EQ(sx, 4);
  EXPECT_FLOAT_EQ(sy, 6);
}

// ---- world output and files
// ---------------------------------------------------------------------------------

TEST(WorldOutputFiles, RemapTablesTextsAndDirectoryLayout) {
  WorldOutput out;
  out.AppendText("A\\notes.ini", "one\n");
  out.AppendText("A\\notes.ini", "two\n");
  out.AddFile("B\\C\\data.bin", {1, 2, 3});
  out.AddFile("B\\C\\data.bin", {4});  // replaced
  PaletteRgb p = ScreenPalette();
  out.AddRemapTable("Shadow", "shadow.pcx", p);
  out.AddRemapTable("Second", "second.pcx", p);
  out.AddRemapWindow("Win", "Second", 3);
  out.Finish();
  const auto& files = out.Files();
  EXPECT_EQ(std::string(files.at("A\\notes.ini").begin(), files.at("A\\notes.ini").end()), "one\ntwo\n");
  EXPECT_EQ(files.at("B\\C\\data.bin"), std::vector<uint8_t>{4});
  std::string ini(files.at(kRemapTablesIniPath).begin(), files.at(kRemapTablesIniPath).end());
  size_t shadow = ini.find("Name = \"Shadow\""), second = ini.find("Name = \"Second\"");
  ASSERT_NE(shadow, std::string::npos);
  ASSERT_NE(second, std::string::npos);
  EXPECT_LT(shadow, second) << "tables stand in the order they were added";
  EXPECT_NE(ini.find("[RemapTable16]\nName = \"Win\"\nRemapTable = \"Second\", 3"), std::string::npos);
  ASSERT_TRUE(files.count(std::string(kRemapTablesDir) + "second.pcx"));
  // The PCX carries the palette in its last 768 bytes.
  const std::vector<uint8_t>& pcx = files.at(std::string(kRemapTablesDir) + "second.pcx");
  EXPECT_EQ(pcx[pcx.size() - 768 + 3 * 33 + 1], p[33].g);

  tl_test::TempDir dir;
  dir.Write("DATA_V/VE_Graphics/RemapTables/remaptables.CDF", {1});  // caches of an earlier run
  dir.Write("A/notes.cif", {1});
  dir.Write("A/keep.txt", {1});
  std::string error;
  ASSERT_TRUE(WriteWorld(out, dir.Path().string(), false, &error)) << error;
  EXPECT_FALSE(dir.Exists("DATA_V/VE_Graphics/RemapTables/remaptables.CDF"));
  EXPECT_FALSE(dir.Exists("A/notes.cif"));
  EXPECT_TRUE(dir.Exists("A/keep.txt"));
  EXPECT_TRUE(dir.Exists("B/C/data.bin"));
  EXPECT_TRUE(dir.Exists("A/notes.ini"));
  tl_test::TempDir packed;
  ASSERT_TRUE(WriteWorld(out, packed.Path().string(), true, &error)) << error;
  EXPECT_TRUE(packed.Exists(kArchiveName));
  EXPECT_FALSE(packed.Exists("B"));
  // A directory that cannot be made fails with a message naming the file.
  packed.Write("blocker", {1});
  EXPECT_FALSE(WriteWorld(out, packed.File("blocker"), false, &error));
  EXPECT_NE(error.find("blocker"), std::string::npos);
}

TEST(WorldOutputFiles, IconsKeepTransparencyInTheirMask) {
  Sprite s(16, 16, 0, 0);
  s.Set(0, 15, 7);  // only the bottom-left pixel is opaque
  std::vector<uint8_t> ico = EncodeIcon(s);
  const size_t image = 22, xorBytes = 16 * 16, andStart = image + 40 + 1024 + xorBytes;
  ASSERT_EQ(ico.size(), andStart + 16 * 4);
  EXPECT_EQ(ico[image + 40 + 1024], 7) << "rows are stored bottom-up";
  EXPECT_EQ(ico[andStart] & 0x80, 0) << "the opaque pixel is clear in the mask";
  EXPECT_EQ(ico[andStart] & 0x40, 0x40);
  EXPECT_EQ(ico[andStart + 4 * 15], 0xFF) << "the top row is transparent";
}

TEST(WorldOutputFiles, ResourceTableSourceListsEveryResource) {
  std::vector<ProgramResource> res = {{"WAVE", "PLOP", "PLOP.wav", {1, 2, 3}},
                                      {"ICON", "#105", "i.ico", {9}}};
  tl_test::TempDir dir;
  std::string error;
  ASSERT_TRUE(WriteResourceSource(res, dir.File("gen.cpp"), &error)) << error;
  std::string text = dir.ReadText("gen.cpp");
  EXPECT_NE(text.find("{\"WAVE\", \"PLOP\", kData0, sizeof kData0}"), std::string::npos);
  EXPECT_NE(text.find("{\"ICON\", \"#105\", kData1, sizeof kData1}"), std::string::npos);
  EXPECT_NE(text.find("1,2,3,"), std::string::npos);
  EXPECT_NE(text.find("kGeneratedResourceCount"), std::string::npos);
  ASSERT_TRUE(WriteResourceFiles(res, dir.File("files"), &error)) << error;
  EXPECT_EQ(dir.Read("files/PLOP.wav"), (std::vector<uint8_t>{1, 2, 3}));
}

// ---- text
// ----------------------------------------------------------------------------------------------------

TEST(TextRasterTest, Windows1252AndLines) {
  EXPECT_EQ(Windows1252ToUnicode(0x80), 0x20ACu);
  EXPECT_EQ(Windows1252ToUnicode(0x81), 0u);
  EXPECT_EQ(Windows1252ToUnicode(0x9F), 0x178u);
  EXPECT_EQ(Windows1252ToUnicode(0xE4), 0xE4u);
  TextRaster raster(kDefaultFontFile, 17);
  if (!raster.Ok()) GTEST_SKIP() << "no DejaVu font installed";
  GlyphImage a;
  ASSERT_TRUE(raster.Glyph('A', &a));
  EXPECT_GT(a.width, 5);
  EXPECT_GT(a.advance, a.width / 2);
  int w1, h1, b1, w2, h2, b2;
  raster.Line("Tillands", &w1, &h1, &b1);
  std::vector<uint8_t> two = raster.Line("Tillands Tillands", &w2, &h2, &b2);
  EXPECT_GT(w2, 2 * w1 - 4);
  EXPECT_EQ(h1, h2);
  EXPECT_EQ(two.size(), size_t(w2) * size_t(h2));
}

// ---- contact sheet
// ---------------------------------------------------------------------------------------------

TEST(ContactSheetTest, DrawsEveryKindOfBob) {
  RegisterGraphicsStorables();
  XB_BITMAP pic(6, 4), cov(6, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) pic.Row(y)[x] = 200, cov.Row(y)[x] = 1;
  BobLibraryBuilder b(0);
  b.AddPacked(0, pic, 0);
  b.AddShadow(2, cov);
  b.AddMask(3, pic);
  std::unique_ptr<XB_BOB_MANAGER> lib(b.Build());
  uint8_t palette[768];
  for (int i = 0; i < 768; ++i) palette[i] = uint8_t(i / 3);
  tl_test::TempDir dir;
  std::string error;
  ContactSheetOptions options;
  options.scale = 2;
  ASSERT_TRUE(WriteContactSheet(*lib, dir.File("sheet.png"), palette, options, &error)) << error;
  PngImage png;
  ASSERT_TRUE(ReadPng(dir.File("sheet.png"), &png, &error)) << error;
  EXPECT_EQ(png.width % 2, 0);
  int packedPixels = 0;
  for (uint8_t v : png.pixels) packedPixels += v == 200;
  EXPECT_GE(packedPixels, 6 * 4 * 4) << "the packed bob's pixels, scaled";
  EXPECT_FALSE(WriteContactSheet(*lib, dir.File("missing/dir/sheet.png"), palette, options, &error));
}

// ---- the sounds' character
// ----------------------------------------------------------------------------------

struct SoundStats {
  double crossingsPerSecond = 0, mean = 0;
};
SoundStats Stats(const char* name) {
  for (size_t k = 0; k < kWaveSpecCount; ++k) {
    if (std::string(kWaveSpecs[k].name) != name) continue;
    std::vector<uint8_t> wav = SynthesizeWave(kWaveSpecs[k]);
    size_t n = (wav.size() - 44) / 2;
    int crossings = 0;
    double sum = 0;
    int16_t prev = 0;
    for (size_t i = 0; i < n; ++i) {
      int16_t s = int16_t(uint16_t(wav[44 + 2 * i] | wav[45 + 2 * i] << 8));
      if ((s >= 0) != (prev >= 0)) ++crossings;
      prev = s;
      sum += s;
    }
    return {crossings / kWaveSpecs[k].seconds, sum / double(n)};
  }
  ADD_FAILURE() << name;
  return {};
}

TEST(SoundCharacter, HighAndLowSoundsWhereTheyBelong) {
  // A cricket and birds sing high; a snoring man, a praying man and a thud are low.
  EXPECT_GT(Stats("CRICKET").crossingsPerSecond, 3000);
  EXPECT_GT(Stats("BIRD1").crossingsPerSecond, 2000);
  EXPECT_LT(Stats("SNORKINGMAN").crossingsPerSecond, Stats("BIRD2").crossingsPerSecond);
  EXPECT_LT(Stats("PRAYINGMAN").crossingsPerSecond, Stats("BABY1").crossingsPerSecond);
  for (const char* name : {"SHEEP1", "BABY2", "TREEFALLING", "PLATSCH", "HAMMER"})
    EXPECT_LT(std::fabs(Stats(name).mean), 600) << name << " carries a DC offset";
}

// ---- the commands
// -----------------------------------------------------------------------------------------------

class WorldCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(tool_)) GTEST_SKIP() << "tillands-assets not built";
  }
  int Run(const std::string& args) {
    std::string command =
        "cd '" + dir_.Path().string() + "' && '" + tool_ + "' " + args + " >out.txt 2>err.txt";
    int raw = std::system(command.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }
  std::string tool_ = tl_test::BinaryDir() + "/tools/tillands-assets";
  tl_test::TempDir dir_;
};

TEST_F(WorldCommands, HelpAndBadUsage) {
  for (const char* command : {"make-world", "contact-sheet", "make-resources", "creature-sheet"}) {
    EXPECT_EQ(Run(std::string(command) + " --help"), 0) << command;
    EXPECT_NE(dir_.ReadText("out.txt").find("usage: tillands-assets"), std::string::npos) << command;
    EXPECT_EQ(Run(command), 1) << command << " without arguments";
    EXPECT_NE(dir_.ReadText("err.txt").find("usage:"), std::string::npos) << command;
    EXPECT_EQ(Run(std::string(command) + " a b c --bogus"), 1) << command;
  }
  EXPECT_EQ(Run("contact-sheet missing.bmd out.png"), 1);
  EXPECT_NE(dir_.ReadText("err.txt").find("cannot open 'missing.bmd'"), std::string::npos);
  dir_.Write("junk.bmd", {10, 0, 0, 0, 4, 0, 0, 0, 1, 2, 3, 4});  // a byte buffer, not a library
  EXPECT_EQ(Run("contact-sheet junk.bmd out.png"), 2);            // damaged data: status 2
  EXPECT_NE(dir_.ReadText("err.txt").find("tillands-assets contact-sheet: 'junk.bmd' holds no bob library"),
            std::string::npos);
  EXPECT_EQ(Run("contact-sheet junk.bmd out.png --scale 0"), 1);
  EXPECT_EQ(Run("creature-sheet junk.bmd"), 1);  // not a directory
  EXPECT_NE(dir_.ReadText("err.txt").find("is not a directory"), std::string::npos);
  EXPECT_EQ(Run("creature-sheet . --scale 9"), 1);
}

TEST_F(WorldCommands, CreatureSheetsShowEveryLibrary) {
  fs::create_directories(dir_.Path() / "sheets");
  ASSERT_EQ(Run("creature-sheet sheets"), 0) << dir_.ReadText("err.txt");
  // A PNG per creature library, named in the output; the man's many animations make the tallest.
  auto heightOf = [&](const char* name) {
    const std::string bytes = dir_.ReadText(std::string("sheets/creatures-") + name + ".png");
    if (bytes.size() < 24 || bytes.compare(1, 3, "PNG") != 0) return 0;
    return (uint8_t(bytes[20]) << 24) | (uint8_t(bytes[21]) << 16) | (uint8_t(bytes[22]) << 8) |
           uint8_t(bytes[23]);
  };
  for (const char* name : {"man", "woman", "boy", "girl", "baby", "sheep", "sheepnude", "rabbit", "stork"}) {
    EXPECT_GT(heightOf(name), 0) << name;
    EXPECT_NE(dir_.ReadText("out.txt").find(std::string("creatures-") + name + ".png"), std::string::npos);
  }
  EXPECT_GT(heightOf("man"), 4 * heightOf("rabbit"));
  for (const auto& entry : fs::directory_iterator(dir_.Path() / "sheets"))
    EXPECT_EQ(entry.path().extension(), ".png") << entry.path();  // no temporary file left behind
}

TEST_F(WorldCommands, ResourcesAndContactSheetFromTheCommandLine) {
  ASSERT_EQ(Run("make-resources gen.cpp --files res"), 0) << dir_.ReadText("err.txt");
  EXPECT_TRUE(dir_.Exists("gen.cpp"));
  EXPECT_TRUE(dir_.Exists("res/TREEFALLING.wav"));
  EXPECT_TRUE(dir_.Exists("res/preview108.bmp"));
  EXPECT_TRUE(dir_.Exists("res/icon107.ico"));
  // The Windows resource script compiles the palette from this file: the very bytes built in.
  const std::string pal = dir_.ReadText("res/palette104.pal");
  ASSERT_EQ(pal.size(), sizeof kPaletteResource);
  EXPECT_EQ(0, std::memcmp(pal.data(), kPaletteResource, sizeof kPaletteResource));
  fs::path built = fs::path(tl_test::BinaryDir()) / "world" / "Tillands" / "DATA_V" / "VE_Graphics" /
                   "BobManager" / "Screensaver_Masked.bmd";
  if (!fs::exists(built)) GTEST_SKIP() << "no world in the build tree";
  ASSERT_EQ(Run("contact-sheet '" + built.string() + "' masked.png --width 400"), 0)
      << dir_.ReadText("err.txt");
  EXPECT_TRUE(dir_.Exists("masked.png"));
}

}  // namespace
