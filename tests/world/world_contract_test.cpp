// The demo world's contract: what the saver and its scenes need from the generated data directory.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>

#include "base/xb_file.h"
#include "base/xb_ini_file_reader.h"
#include "base/xb_storable.h"
#include "graphics/bob_authoring.h"
#include "graphics/graphics_storables.h"
#include "graphics/xb_bitmap.h"
#include "graphics/xb_bob_manager.h"
#include "graphics/xb_font.h"
#include "graphics/xb_palette.h"
#include "graphics/xb_picture.h"
#include "graphics/xb_rect.h"
#include "shell/resources/palette_resource.h"
#include "tests/common/build_dirs.h"
#include "tests/common/temp_dir.h"
#include "tools/world/scenery_files.h"
#include "tools/world/world_builder.h"

namespace {

using tlworld::WorldOutput;

// The world the build generated into the build tree (without the caches that runs write beside
// the descriptions), or null when there is none.
WorldOutput* WorldOfBuildTree() {
  std::filesystem::path root = std::filesystem::path(tl_test::BinaryDir()) / "world" / "Tillands";
  if (!std::filesystem::exists(root / "Logo.txt")) return nullptr;
  auto* world = new WorldOutput();
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file()) continue;
    std::string ext = entry.path().extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    if (ext == ".cif" || ext == ".cdf") continue;
    std::string name = std::filesystem::relative(entry.path(), root).generic_string();
    std::replace(name.begin(), name.end(), '/', '\\');
    world->AddFile(name, tl_test::FileBytes(entry.path()));
  }
  return world;
}

// The suite checks the world the build made (or, without one, a freshly generated world), copied into
// a scratch directory.
class WorldContract : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    RegisterGraphicsStorables();
    world_ = WorldOfBuildTree();
    if (!world_) world_ = new WorldOutput(tlworld::BuildWorld());
    dir_ = new tl_test::TempDir();
    std::string error;
    ASSERT_TRUE(tlworld::WriteWorld(*world_, dir_->Path().string(), false, &error)) << error;
  }
  static void TearDownTestSuite() {
    delete dir_;
    delete world_;
    dir_ = nullptr;
    world_ = nullptr;
  }
  void SetUp() override { dir_->Enter(); }
  void TearDown() override { dir_->Leave(); }

  static std::unique_ptr<XB_BOB_MANAGER> Library(const char* path) {
    std::unique_ptr<XB_STORABLE> object(LoadObjectFromFile(path));
    auto* lib = dynamic_cast<XB_BOB_MANAGER*>(object.get());
    if (lib) object.release();
    return std::unique_ptr<XB_BOB_MANAGER>(lib);
  }

  static WorldOutput* world_;
  static tl_test::TempDir* dir_;
};
WorldOutput* WorldContract::world_ = nullptr;
tl_test::TempDir* WorldContract::dir_ = nullptr;

int Luminance(const XB_PALETTE_ENTRY& c) {
  return 299 * c.red + 587 * c.green + 114 * c.blue;
}

XB_PALETTE ProgramPalette() {
  XB_PALETTE p;
  for (int i = 0; i < 256; ++i)
    p.SetColour(i, XB_PALETTE_ENTRY::Rgb(kPaletteResource[i * 3], kPaletteResource[i * 3 + 1],
                                         kPaletteResource[i * 3 + 2]));
  return p;
}

TEST_F(WorldContract, EveryBobTheScenesDrawExistsWithTheRightKind) {
  auto packed = Library(tlworld::kPackedBobsPath);
  auto masked = Library(tlworld::kMaskedBobsPath);
  ASSERT_TRUE(packed && masked);
  const uint16_t kPacked = 1, kShadow = 2, kMask = 3;
  std::vector<std::pair<uint32_t, uint16_t>> wantPacked = {
      {0, kPacked}, {1, kPacked}, {2, kPacked}, {3, kPacked}};
  for (uint32_t base : {4u, 12u}) {
    for (uint32_t k : {0u, 2u, 4u}) wantPacked.push_back({base + k, kPacked});
    for (uint32_t k : {1u, 3u, 5u, 7u}) wantPacked.push_back({base + k, kMask});
  }
  for (uint32_t n = 20; n <= 44; ++n) wantPacked.push_back({n, kPacked});
  for (uint32_t n : {46u, 50u, 52u, 54u, 55u}) wantPacked.push_back({n, kPacked});
  for (uint32_t n : {45u, 47u, 51u, 53u}) wantPacked.push_back({n, kMask});
  for (const auto& [n, kind] : wantPacked) EXPECT_EQ(packed->GetBobKind(n), kind) << "packed bob " << n;
  std::vector<uint32_t> shadows = {1, 2, 3, 10, 18};
  for (uint32_t n = 20; n <= 43; ++n) shadows.push_back(n);
  for (uint32_t n : shadows) EXPECT_EQ(masked->GetBobKind(n), kShadow) << "shadow bob " << n;

  // The pages are placed by their size: the backdrop fills 640 x 480 from its top left corner, the
  // text page is about 320 x 300, and the logo picture's window of the backdrop is 320 x 300 at 292, 136.
  XB_RECT r;
  ASSERT_TRUE(packed->GetBobRect(55, r));
  EXPECT_EQ(r.x, 0);
  EXPECT_EQ(r.y, 0);
  EXPECT_EQ(r.width, 640);
  EXPECT_EQ(r.height, 480);
  ASSERT_TRUE(packed->GetBobRect(54, r));
  EXPECT_EQ(r.x, 0);
  EXPECT_EQ(r.y, 0);
  EXPECT_NEAR(r.width, 320, 20);
  EXPECT_NEAR(r.height, 300, 20);
  // Corner logos fit in a corner of a small screen.
  for (uint32_t n = 1; n <= 3; ++n) {
    ASSERT_TRUE(packed->GetBobRect(n, r));
    EXPECT_LE(r.width, 220);
    EXPECT_LE(r.height, 80);
  }
}

// Every picture pixel has a level below 255 in its mask (placed at the same point), so a dissolve
// completes; and the levels spread out so that the dissolve is visible frame by frame.
TEST_F(WorldContract, LevelMasksCoverTheirPicturesAndSpreadTheirLevels) {
  auto packed = Library(tlworld::kPackedBobsPath);
  ASSERT_TRUE(packed);
  const std::pair<uint32_t, uint32_t> pairs[] = {{4, 5},   {6, 7},   {8, 9},   {12, 13}, {14, 15},
                                                 {16, 17}, {44, 45}, {46, 47}, {50, 51}, {52, 53}};
  for (const auto& [pic, mask] : pairs) {
    XB_RECT pr, mr;
    ASSERT_TRUE(packed->GetBobRect(pic, pr) && packed->GetBobRect(mask, mr)) << pic;
    std::unique_ptr<XB_BITMAP> coverage(DecodeBobCoverage(*packed, pic));
    std::unique_ptr<XB_BITMAP> levels(DecodeBob(*packed, mask, 255));
    ASSERT_TRUE(coverage && levels);
    std::set<int> distinct;
    int uncovered = 0;
    for (int y = 0; y < pr.height; ++y)
      for (int x = 0; x < pr.width; ++x) {
        if (!coverage->Row(y)[x]) continue;
        int mx = pr.x + x - mr.x, my = pr.y + y - mr.y;
        if (mx < 0 || my < 0 || mx >= mr.width || my >= mr.height || levels->Row(my)[mx] == 255) {
          ++uncovered;
          continue;
        }
        distinct.insert(levels->Row(my)[mx]);
      }
    EXPECT_EQ(uncovered, 0) << "picture " << pic;
    EXPECT_GE(distinct.size(), 40u) << "mask " << mask << " has too few levels for a visible dissolve";
  }
}

// The buildings rise in stages: foundation and scaffold, then walls, then the roof.
TEST_F(WorldContract, BuildingLayersAppearInStages) {
  auto packed = Library(tlworld::kPackedBobsPath);
  ASSERT_TRUE(packed);
  for (uint32_t base : {4u, 12u}) {
    double medians[3];
    for (int layer = 0; layer < 3; ++layer) {
      std::unique_ptr<XB_BITMAP> levels(DecodeBob(*packed, base + 1 + uint32_t(layer) * 2, 255));
      ASSERT_TRUE(levels);
      std::vector<int> v;
      for (int y = 0; y < levels->GetHeight(); ++y)
        for (int x = 0; x < levels->GetWidth(); ++x)
          if (levels->Row(y)[x] != 255) v.push_back(levels->Row(y)[x]);
      ASSERT_FALSE(v.empty());
      std::nth_element(v.begin(), v.begin() + long(v.size() / 2), v.end());
      medians[layer] = v[v.size() / 2];
    }
    EXPECT_LT(medians[0], medians[1]) << "building " << base;
    EXPECT_LE(medians[1], medians[2]) << "building " << base;
    EXPECT_LT(medians[0], 90) << "the scaffold should stand early";
  }
}

TEST_F(WorldContract, GrassTileIsSeamless) {
  auto packed = Library(tlworld::kPackedBobsPath);
  ASSERT_TRUE(packed);
  std::unique_ptr<XB_BITMAP> tile(DecodeBob(*packed, 0, 0));
  ASSERT_TRUE(tile);
  const int w = tile->GetWidth(), h = tile->GetHeight();
  auto diff = [](uint8_t a, uint8_t b) {
    int d = 0;
    for (int c = 0; c < 3; ++c)
      d += std::abs(int(kPaletteResource[a * 3 + c]) - int(kPaletteResource[b * 3 + c]));
    return d;
  };
  // Mean colour step between neighbouring columns (rows) inside the tile and across the wrap.
  double inner = 0, wrapX = 0, innerY = 0, wrapY = 0;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x + 1 < w; ++x) inner += diff(tile->Row(y)[x], tile->Row(y)[x + 1]);
    wrapX += diff(tile->Row(y)[w - 1], tile->Row(y)[0]);
  }
  for (int x = 0; x < w; ++x) {
    for (int y = 0; y + 1 < h; ++y) innerY += diff(tile->Row(y)[x], tile->Row(y + 1)[x]);
    wrapY += diff(tile->Row(h - 1)[x], tile->Row(0)[x]);
  }
  inner /= double(h) * (w - 1), wrapX /= h, innerY /= double(w) * (h - 1), wrapY /= w;
  EXPECT_LT(wrapX, inner * 1.5 + 2) << "a seam shows where the tile repeats horizontally";
  EXPECT_LT(wrapY, innerY * 1.5 + 2) << "a seam shows where the tile repeats vertically";
  // The tile holds no palette entry 0 or 255 (the screen shows them black).
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) ASSERT_TRUE(tile->Row(y)[x] != 0 && tile->Row(y)[x] != 255);
}

TEST_F(WorldContract, PicturesLoadAndShadowTableDarkensEveryColour) {
  int pcx = 0;
  for (const auto& [name, bytes] : world_->Files()) {
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    if (lower.size() < 4 || lower.substr(lower.size() - 4) != ".pcx") continue;
    XB_PICTURE picture(name.c_str());
    EXPECT_TRUE(picture.GetBitmap() && picture.GetPalette()) << name;
    ++pcx;
  }
  EXPECT_GE(pcx, 3);
  XB_PICTURE shadow((std::string(tlworld::kRemapTablesDir) + "shadow.pcx").c_str());
  ASSERT_TRUE(shadow.GetPalette());
  XB_PALETTE screen = ProgramPalette();
  XB_REMAP_TABLE table(*shadow.GetPalette(), screen, 0, 255);
  for (int i = 1; i < 256; ++i) {
    int before = Luminance(screen.GetColour(i)), after = Luminance(screen.GetColour(table[i]));
    EXPECT_LT(after, before) << "index " << i;
  }
  // The ini names the table "Shadow" and that file.
  XB_INI_FILE_READER ini(tlworld::kRemapTablesIniPath, false);
  ASSERT_TRUE(ini.FindSection("RemapTable"));
  ASSERT_TRUE(ini.FindKey("Name"));
  EXPECT_STREQ(ini.GetStringValue(), "Shadow");
  ini.Close();
}

TEST_F(WorldContract, FontHasEveryGlyphAndReadableColours) {
  std::unique_ptr<XB_STORABLE> object(LoadObjectFromFile(tlworld::kFontPath));
  auto* font = dynamic_cast<XB_FONT*>(object.get());
  ASSERT_TRUE(font);
  for (int k = 32; k <= 255; ++k) EXPECT_GT(font->GetCharWidth(uint8_t(k)), 0) << "code " << k;
  // The German letters carry ink.
  for (uint8_t k : {0xC4, 0xD6, 0xDC, 0xE4, 0xF6, 0xFC, 0xDF}) {
    std::unique_ptr<XB_BITMAP> glyph(DecodeBob(*font->GetGlyphs(), k - 32u, 0));
    ASSERT_TRUE(glyph);
    int ink = 0;
    for (int y = 0; y < glyph->GetHeight(); ++y)
      for (int x = 0; x < glyph->GetWidth(); ++x) ink += glyph->Row(y)[x] != 0;
    EXPECT_GT(ink, 10) << "code " << int(k);
  }
  EXPECT_GE(font->GetLineHeight(), 14);
  // Foreground colours are light, the drop shadow dark, so text reads on grass and on dark pages.
  XB_PALETTE screen = ProgramPalette();
  XB_PICTURE fg(tlworld::kFontForegroundPath), bg(tlworld::kFontBackgroundPath);
  ASSERT_TRUE(fg.GetPalette() && bg.GetPalette());
  XB_REMAP_TABLE f(*fg.GetPalette(), screen, 0, 255), b(*bg.GetPalette(), screen, 0, 255);
  for (int i : {1, 2}) {
    EXPECT_GT(Luminance(screen.GetColour(f[i])), 150000) << i;
    EXPECT_LT(Luminance(screen.GetColour(b[i])), 40000) << i;
    EXPECT_NE(f[i], 0);
    EXPECT_NE(f[i], 255);
  }
}

TEST_F(WorldContract, LogoPictureAndTexts) {
  XB_PICTURE logo(tlworld::kLogoPicturePath);
  ASSERT_TRUE(logo.GetBitmap() && logo.GetPalette());
  EXPECT_LE(logo.GetBitmap()->GetWidth(), 320);
  EXPECT_LE(logo.GetBitmap()->GetHeight(), 300);
  std::unique_ptr<XB_STORABLE> object(LoadObjectFromFile(tlworld::kFontPath));
  auto* font = dynamic_cast<XB_FONT*>(object.get());
  ASSERT_TRUE(font);
  XB_INI_FILE_READER ini(tlworld::kLogoTextPath, false);
  for (const char* section : {"LOGOTEXT", "INTROTEXT", "SCROLLTEXT"}) {
    ASSERT_TRUE(ini.HasSection(section)) << section;
    ASSERT_TRUE(ini.FindKey("TEXT")) << section;
    ASSERT_EQ(ini.GetValueType(), 2) << section;
    const char* text = ini.GetStringValue();
    ASSERT_TRUE(text);
    EXPECT_GT(std::strlen(text), 10u);
    EXPECT_LE(std::strlen(text), 150u) << section;
    // The logo and intro lines fit the 630 pixels the pages give them, so none is cut.
    if (std::strcmp(section, "SCROLLTEXT") != 0) {
      EXPECT_LE(font->GetTextWidth(text), 630) << section;
    }
  }
  ini.Close();
}

TEST_F(WorldContract, CreatureDescriptionFilesArePresent) {
  for (const char* path : {tlworld::kAnimationDescriptionsPath, tlworld::kWalkDataDescriptionsPath,
                           tlworld::kCreatureDescriptionsPath, tlworld::kRandomRemapsPath}) {
    EXPECT_TRUE(XB_FILE::Exists(path)) << path;
    XB_INI_FILE_READER ini(path, false);  // a malformed file would end the test program
    ini.Close();
  }
  // Every part ran, and the world the build wrote (make-world itself) holds its creatures: parts once
  // registered themselves through static objects that some linkers dropped, leaving no creature.
  std::vector<std::string> parts;
  for (const tlworld::WorldPart& p : tlworld::WorldParts()) parts.push_back(p.name);
  EXPECT_EQ(parts, (std::vector<std::string>{"scenery", "creatures"}));
  EXPECT_GE(tlworld::CountCreatureTypes(*world_), 10);
}

// The archive form holds every file under its name, byte for byte.
TEST_F(WorldContract, ArchiveHoldsEveryFile) {
  tl_test::TempDir packed;
  packed.Write(tlworld::kArchiveName, tlworld::PackArchive(world_->Files()));
  XB_ARCHIVE archive(packed.File(tlworld::kArchiveName).c_str());
  for (const auto& [name, bytes] : world_->Files()) {
    ASSERT_TRUE(archive.Contains(name.c_str())) << name;
    EXPECT_EQ(archive.EntrySize(name.c_str()), bytes.size()) << name;
  }
  // Opened through the archive table, a member reads back as the file it was made from.
  tl_test::TempDir elsewhere;
  elsewhere.Enter();
  ASSERT_GE(RegisterArchive(&archive), 0);
  XB_FILE f(tlworld::kPackedBobsPath);
  ASSERT_TRUE(f.OpenForReading(false));
  const std::vector<uint8_t>& want = world_->Files().at(tlworld::kPackedBobsPath);
  std::vector<uint8_t> got(want.size());
  f.Read(got.data(), uint32_t(got.size()));
  f.Close();
  UnregisterArchive(&archive);
  elsewhere.Leave();
  EXPECT_EQ(got, want);
}

// Generating again gives the same bytes, file for file: the world of the build tree is exactly the
// one this version generates.
TEST_F(WorldContract, GenerationIsDeterministic) {
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
  // A second generation under the sanitizers costs ~40 s: the sanitizer build already ran the
  // generator for its own world, and the release build's run of this test checks the determinism.
  GTEST_SKIP() << "checked in the build without sanitizers";
#endif
#endif
  WorldOutput again = tlworld::BuildWorld();
  EXPECT_EQ(again.Files().size(), world_->Files().size());
  for (const auto& [name, bytes] : again.Files()) {
    auto it = world_->Files().find(name);
    ASSERT_NE(it, world_->Files().end()) << name;
    EXPECT_TRUE(it->second == bytes) << name << " differs";
  }
}

}  // namespace
