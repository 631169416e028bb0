// The scenery part of the world: the two screensaver bob libraries, the logo picture and texts, the
// font with its colour palettes, the colour tables, and empty creature descriptions that the creature
// part fills.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>

#include <unistd.h>

#include "graphics/bob_authoring.h"
#include "graphics/xb_bitmap.h"
#include "tools/world/colour_sets.h"
#include "tools/world/scenery_art.h"
#include "tools/world/scenery_files.h"
#include "tools/world/text_raster.h"
#include "tools/world/world_builder.h"

namespace tlworld {

namespace {

std::unique_ptr<XB_BITMAP> ToBitmap(const Sprite& s, uint8_t transparentAs = 0) {
  auto bm = std::make_unique<XB_BITMAP>(s.width, s.height);
  for (int y = 0; y < s.height; ++y) {
    uint8_t* row = bm->Row(y);
    for (int x = 0; x < s.width; ++x) {
      uint8_t v = s.At(x, y);
      row[x] = v ? v : transparentAs;
    }
  }
  return bm;
}

void AddPicture(BobLibraryBuilder& b, uint32_t number, const Sprite& s) {
  b.AddPacked(number, *ToBitmap(s), 0, -s.originX, -s.originY);
}
void AddLevels(BobLibraryBuilder& b, uint32_t number, const Sprite& mask) {
  b.AddMask(number, *ToBitmap(mask, 255), -mask.originX, -mask.originY);
}
void AddShadowBob(BobLibraryBuilder& b, uint32_t number, const Sprite& shadow) {
  b.AddShadow(number, *ToBitmap(shadow), -shadow.originX, -shadow.originY);
}

void AddBuilding(BobLibraryBuilder& packed, BobLibraryBuilder& masked, uint32_t first,
                 const LayeredBuilding& b) {
  AddPicture(packed, first + 0, b.layer1.picture);
  AddLevels(packed, first + 1, b.layer1.mask);
  AddPicture(packed, first + 2, b.layer2.picture);
  AddLevels(packed, first + 3, b.layer2.mask);
  AddPicture(packed, first + 4, b.main.picture);
  AddLevels(packed, first + 5, b.main.mask);
  AddShadowBob(masked, first + 6, b.shadow);
  AddLevels(packed, first + 7, b.shadowMask);
}

std::vector<uint8_t> ReadAll(const std::filesystem::path& p) {
  std::ifstream f(p, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

}  // namespace

std::vector<uint8_t> SaveViaTempFile(const std::function<bool(const char*)>& save) {
  static int counter = 0;
  std::filesystem::path p =
      std::filesystem::temp_directory_path() /
      ("tillands-world-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".tmp");
  std::vector<uint8_t> bytes;
  if (save(p.string().c_str())) bytes = ReadAll(p);
  std::error_code ec;
  std::filesystem::remove(p, ec);
  return bytes;
}

SceneryLibraries BuildSceneryLibraries() {
  BobLibraryBuilder packed(0), masked(0);
  packed.AddPacked(0, *ToBitmap(GrassTile()), 0, 0, 0);
  for (uint32_t n = 1; n <= 3; ++n) {
    ShadowedSprite logo = CornerLogo(int(n));
    AddPicture(packed, n, logo.picture);
    AddShadowBob(masked, n, logo.shadow);
  }
  AddBuilding(packed, masked, 4, SmallBuilding());
  AddBuilding(packed, masked, 12, LargeBuilding());
  for (uint32_t n = 20; n <= 30; ++n) {
    ShadowedSprite f = FlowerBed(int(n - 20));
    AddPicture(packed, n, f.picture);
    AddShadowBob(masked, n, f.shadow);
  }
  for (uint32_t n = 31; n <= 43; ++n) {
    ShadowedSprite t = TreeBob(int(n));
    AddPicture(packed, n, t.picture);
    AddShadowBob(masked, n, t.shadow);
  }
  MaskedSprite pit = ClayPit();
  AddPicture(packed, 44, pit.picture);
  AddLevels(packed, 45, pit.mask);
  MaskedSprite logo = BigLogo();
  AddPicture(packed, 46, logo.picture);
  AddLevels(packed, 47, logo.mask);
  for (int m = 0; m < 2; ++m) {
    MaskedSprite mon = Monument(m);
    AddPicture(packed, 50 + uint32_t(m) * 2, mon.picture);
    AddLevels(packed, 51 + uint32_t(m) * 2, mon.mask);
  }
  AddPicture(packed, 54, TextPage());
  AddPicture(packed, 55, Backdrop());
  masked.ReserveUpTo(55);
  SceneryLibraries out;
  out.packed = SaveViaTempFile([&](const char* p) { return packed.SaveBmd(p); });
  out.masked = SaveViaTempFile([&](const char* p) { return masked.SaveBmd(p); });
  return out;
}

std::vector<uint8_t> BuildFont(int pixelSize) {
  TextRaster raster(kDefaultFontFile, pixelSize);
  if (!raster.Ok()) return {};
  const int ascender = raster.Ascender();
  const int lineHeight = ascender + raster.Descender();
  FontBuilder font{uint16_t(lineHeight)};
  GlyphImage fallback;
  raster.Glyph('?', &fallback);
  for (int code = 32; code <= 255; ++code) {
    GlyphImage g;
    uint32_t cp = Windows1252ToUnicode(uint8_t(code));
    if (cp == 0 || !raster.Glyph(cp, &g)) g = fallback;
    int left = std::max(0, g.left);
    int width = std::max({g.advance - 1, left + g.width, 1});
    int top = std::min(0, ascender - g.top);  // glyphs reaching above the ascender grow the bitmap upward
    int height = std::max(lineHeight - top, ascender - g.top + g.height - top);
    XB_BITMAP bm(width, height);
    for (int y = 0; y < height; ++y) std::fill(bm.Row(y), bm.Row(y) + width, 0);
    // Two tones: a light upper part and a warmer lower part, mapped by the font colour palettes.
    for (int y = 0; y < g.height; ++y)
      for (int x = 0; x < g.width; ++x) {
        if (g.coverage[size_t(y) * g.width + x] < 100) continue;
        int X = left + x, Y = ascender - g.top + y - top;
        if (X < 0 || Y < 0 || X >= width || Y >= height) continue;
        bm.Row(Y)[X] = (ascender - g.top + y) < ascender * 6 / 10 ? 1 : 2;
      }
    font.AddGlyph(uint8_t(code), bm, 0, 0, top);
  }
  return SaveViaTempFile([&](const char* p) { return font.SaveFnt(p); });
}

PaletteRgb FontPalette(bool foreground) {
  PaletteRgb p = ScreenPalette();
  if (foreground) {
    p[1] = {255, 250, 214};
    p[2] = {250, 214, 96};
  } else {
    p[1] = {24, 18, 8};
    p[2] = {24, 18, 8};
  }
  return p;
}

std::vector<uint8_t> LogoBmp() {
  Sprite logo = LogoPicture();
  // The picture keeps its own palette: just the colours it uses, in order.
  std::set<uint8_t> used(logo.pixels.begin(), logo.pixels.end());
  PaletteRgb palette{};
  uint8_t map[256] = {};
  int next = 0;
  for (uint8_t u : used) {
    map[u] = uint8_t(next);
    palette[size_t(next++)] = PaletteColour(u);
  }
  std::vector<uint8_t> pixels(logo.pixels.size());
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = map[logo.pixels[i]];
  return EncodeBmp8(logo.width, logo.height, pixels, palette);
}

std::string LogoText() {
  // Windows-1252, as the program reads it.
  return "; Texts of the intro page, the text pages and the scroll band.\n"
         "[LOGOTEXT]\n"
         "TEXT = \"Tillands - hier bauen flei\xDFige Siedler ihr Dorf\"\n\n"
         "[INTROTEXT]\n"
         "TEXT = \"Willkommen in Tillands!\"\n\n"
         "[SCROLLTEXT]\n"
         "TEXT = \"+++ Tillands Bildschirmschoner +++ H\xE4user wachsen, B\xE4ume fallen, der Storch bringt "
         "ein Kind +++ Eine Taste beendet den Schoner \"\n";
}

void BuildSceneryPart(WorldOutput& out) {
  SceneryLibraries libs = BuildSceneryLibraries();
  out.AddFile(kPackedBobsPath, std::move(libs.packed));
  out.AddFile(kMaskedBobsPath, std::move(libs.masked));
  out.AddFile(kFontPath, BuildFont(kFontPixelSize));
  std::vector<uint8_t> swatch(256);
  for (int i = 0; i < 256; ++i) swatch[size_t(i)] = uint8_t(i);
  out.AddFile(kFontForegroundPath, EncodePcx(16, 16, swatch, FontPalette(true)));
  out.AddFile(kFontBackgroundPath, EncodePcx(16, 16, swatch, FontPalette(false)));
  out.AddFile(kLogoPicturePath, LogoBmp());
  std::string text = LogoText();
  out.AddFile(kLogoTextPath, std::vector<uint8_t>(text.begin(), text.end()));
  AddShadowTable(out);
  const char* header =
      "; Descriptions of the world's creatures. Sections are added by the creature part of the world\n"
      "; generator; a file without sections is valid.\n";
  for (const char* path :
       {kAnimationDescriptionsPath, kWalkDataDescriptionsPath, kCreatureDescriptionsPath, kRandomRemapsPath})
    out.AppendText(path, header);
}

}  // namespace tlworld
