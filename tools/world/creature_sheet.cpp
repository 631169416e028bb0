#include "tools/world/creature_sheet.h"

#include <algorithm>
#include <filesystem>
#include <map>

#include "tools/world/creature_colours.h"
#include "tools/world/creature_world.h"
#include "tools/world/text_raster.h"
#include "tools/world/world_builder.h"
#include "tools/world/world_png.h"

namespace tlworld {
namespace {

bool StartsWith(const std::string& s, const char* prefix) {
  return s.rfind(prefix, 0) == 0;
}

// The headwear a row shows, as the creatures that play the animation wear it.
std::string HeadwearOf(const std::string& lib, const std::string& tag, int row) {
  if (lib != "man") return "";
  if (tag == "march" || StartsWith(tag, "guard")) return "man_helmet" + std::to_string(row % 3);
  if (tag == "walkstaff") return "man_scout";
  static const char* const work[] = {"hammer",     "chop",       "dig",       "heave",
                                     "walkaxe",    "walkshovel", "walklog",   "walkload",
                                     "hammerrest", "axerest",    "shovelrest"};
  for (const char* w : work)
    if (tag == w) return "man_cap";
  return "";
}

// A dressed palette: the base table with a row's own skin, hair and clothes.
std::array<Rgb, 256> DressedPalette(const std::string& table, int row) {
  std::array<Rgb, 256> pal = *CreatureTablePalette(table);
  auto put = [&](int slot, const char* window) {
    const std::vector<Rgb> c = CreatureWindowColours(window);
    for (int k = 0; k < 16 && k < int(c.size()); ++k) pal[size_t(slot * 16 + k)] = c[size_t(k)];
  };
  static const char* const skins[] = {"skin_light", "skin_tan", "skin_pale", "skin_brown", "skin_dark"};
  static const char* const hairs[] = {"hair_brown", "hair_blond", "hair_black",
                                      "hair_red",   "hair_grey",  "hair_lightbrown"};
  static const char* const shirts[] = {"cloth_red", "cloth_linen", "cloth_blue", "cloth_green",
                                       "cloth_ochre"};
  static const char* const dresses[] = {"cloth_blue", "cloth_darkred", "cloth_green", "cloth_teal",
                                        "cloth_ochre"};
  if (table == "animals") return pal;
  put(kSlotSkin, skins[row % 5]);
  put(kSlotHair, hairs[row % 6]);
  if (table != "soldier") put(kSlotShirt, shirts[row % 5]);
  put(kSlotDress, dresses[row % 5]);
  if (table == "soldier")
    put(kSlotUniform, row % 3 == 0 ? "uniform_red" : row % 3 == 1 ? "uniform_blue" : "uniform_green");
  return pal;
}

struct Row {
  std::string label;
  std::vector<Sprite> frames, shadows;
  std::array<Rgb, 256> palette{};
};

}  // namespace

bool WriteCreatureSheets(const std::string& dir, const CreatureSheetOptions& options,
                         std::vector<std::string>* written, std::string* error) {
  const PaletteRgb screen = ScreenPalette();
  uint8_t rgb[768];
  for (int i = 0; i < 256; ++i) {
    rgb[i * 3] = uint8_t(screen[size_t(i)].r), rgb[i * 3 + 1] = uint8_t(screen[size_t(i)].g);
    rgb[i * 3 + 2] = uint8_t(screen[size_t(i)].b);
  }
  const uint8_t ground = NearestUsable(Rgb{92, 132, 60}), shade = NearestUsable(Rgb{50, 78, 34});
  const uint8_t bar = NearestUsable(Rgb{40, 40, 48}), ink = NearestUsable(Rgb{240, 236, 220});
  const uint8_t anchor = NearestUsable(Rgb{230, 60, 40});
  TextRaster font(kDefaultFontFile, 11);

  for (const LibrarySpec& lib : CreatureLibraries()) {
    const std::vector<CreatureBob> bobs = RenderCreatureLibrary(lib);
    std::vector<Row> rows;
    size_t n = 0;
    for (const AnimSpec& a : lib.anims)
      for (int d : DirectionsOf(a.dirs)) {
        Row row;
        const int index = int(rows.size());
        row.label = a.tag + " " + DirectionSuffix(d);
        const bool soldier = a.tag == "march" || StartsWith(a.tag, "guard");
        const std::string table = lib.layered ? (soldier ? "soldier" : "civilian") : "animals";
        row.palette = DressedPalette(table, index);
        const std::string head = lib.name + "_head_" + std::to_string(index % 6);
        const std::string wear = HeadwearOf(lib.name, a.tag, index);
        const std::string hair = lib.name + "_hairs_" + std::to_string((index / 6) % 2);
        const int count = a.motion == Motion::FlyCarry ? 16 : FramesOf(lib, a, d);
        for (int f = 0; f < count && n < bobs.size(); ++f, ++n) {
          Sprite pic = bobs[n].body;
          for (const auto& [name, layer] : bobs[n].layers)
            if (name == head) pic.Overlay(layer);
          for (const auto& [name, layer] : bobs[n].layers)
            if (name == (wear.empty() ? hair : wear)) pic.Overlay(layer);
          row.frames.push_back(pic);
          row.shadows.push_back(bobs[n].shadow);
        }
        rows.push_back(std::move(row));
      }
    // One cell size for the library: the union of every picture and shadow around the anchor.
    int left = 0, top = 0, right = 1, bottom = 1;
    for (const Row& r : rows)
      for (size_t i = 0; i < r.frames.size(); ++i)
        for (const Sprite* s : {&r.frames[i], &r.shadows[i]}) {
          left = std::max(left, s->originX), top = std::max(top, s->originY);
          right = std::max(right, s->width - s->originX), bottom = std::max(bottom, s->height - s->originY);
        }
    const int pad = 3, labelW = 96;
    const int cellW = left + right + 2 * pad, cellH = top + bottom + 2 * pad;
    size_t most = 1;
    for (const Row& r : rows) most = std::max(most, r.frames.size());
    const int width = labelW + int(most) * cellW, height = int(rows.size()) * cellH;
    std::vector<uint8_t> sheet(size_t(width) * size_t(height), bar);
    for (size_t ri = 0; ri < rows.size(); ++ri) {
      const Row& r = rows[ri];
      const int y0 = int(ri) * cellH;
      if (font.Ok()) {
        int tw = 0, th = 0, base = 0;
        const std::vector<uint8_t> text = font.Line(r.label, &tw, &th, &base);
        for (int y = 0; y < th && y < cellH; ++y)
          for (int x = 0; x < tw && x < labelW - 4; ++x)
            if (text[size_t(y) * tw + x] > 110) sheet[size_t(y0 + 4 + y) * width + size_t(4 + x)] = ink;
      }
      for (size_t fi = 0; fi < r.frames.size(); ++fi) {
        const int x0 = labelW + int(fi) * cellW;
        const int ax = x0 + pad + left, ay = y0 + pad + top;
        for (int y = 0; y < cellH - 1; ++y)
          for (int x = 0; x < cellW - 1; ++x) sheet[size_t(y0 + y) * width + size_t(x0 + x)] = ground;
        const Sprite& sh = r.shadows[fi];
        for (int y = 0; y < sh.height; ++y)
          for (int x = 0; x < sh.width; ++x)
            if (sh.pixels[size_t(y) * sh.width + x])
              sheet[size_t(ay + y - sh.originY) * width + size_t(ax + x - sh.originX)] = shade;
        const Sprite& p = r.frames[fi];
        for (int y = 0; y < p.height; ++y)
          for (int x = 0; x < p.width; ++x)
            if (uint8_t v = p.pixels[size_t(y) * p.width + x])
              sheet[size_t(ay + y - p.originY) * width + size_t(ax + x - p.originX)] =
                  NearestUsable(r.palette[v]);
        sheet[size_t(ay) * width + size_t(ax)] = anchor;  // the anchor: where the walker stands
      }
    }
    const int s = std::max(1, options.scale);
    std::vector<uint8_t> scaled(size_t(width) * s * size_t(height) * s);
    for (int y = 0; y < height * s; ++y)
      for (int x = 0; x < width * s; ++x)
        scaled[size_t(y) * width * s + x] = sheet[size_t(y / s) * width + size_t(x / s)];
    const std::string name = "creatures-" + lib.name + ".png";
    const std::string path = (std::filesystem::path(dir) / name).string();
    const std::string temp = path + ".tmp";
    if (!WriteIndexedPng(temp, width * s, height * s, scaled, rgb)) {
      if (error) *error = "cannot write " + path;
      std::error_code ec;
      std::filesystem::remove(temp, ec);
      return false;
    }
    std::error_code ec;
    std::filesystem::rename(temp, path, ec);
    if (ec) {
      if (error) *error = "cannot write " + path + ": " + ec.message();
      return false;
    }
    if (written) written->push_back(name);
  }
  return true;
}

}  // namespace tlworld
