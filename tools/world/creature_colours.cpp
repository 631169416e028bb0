#include "tools/world/creature_colours.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

#include "tools/world/shape_render.h"

namespace tlworld {
namespace {

// A named 16-colour ramp from a base colour: shade 0 is a highlight, shade 15 a deep shadow. Each
// colour is snapped to the nearest usable screen colour so the dressed creature maps exactly.
struct RampDef {
  const char* name;
  int r, g, b;
  float light = 1.45f;  // factor of the lightest shade
  float dark = 0.30f;   // factor of the darkest shade
};

// Order matters: tables hold 16 ramps each, in this order, and window starts follow from it.
const RampDef kRamps[] = {
    // skin
    {"skin_pale", 250, 214, 196},
    {"skin_light", 240, 188, 148},
    {"skin_tan", 214, 152, 100},
    {"skin_brown", 160, 102, 60},
    {"skin_dark", 110, 66, 38, 1.6f, 0.35f},
    // hair
    {"hair_blond", 232, 204, 110},
    {"hair_lightbrown", 176, 124, 64},
    {"hair_brown", 118, 74, 36, 1.6f, 0.3f},
    {"hair_black", 58, 46, 40, 2.0f, 0.45f},
    {"hair_red", 196, 84, 30},
    {"hair_grey", 176, 176, 170},
    // metal, wood, leather
    {"metal_iron", 150, 156, 164},
    {"metal_bronze", 196, 146, 64},
    {"metal_steel", 200, 210, 222},
    {"wood", 156, 104, 56},
    {"leather", 124, 78, 42},
    // cloth
    {"cloth_red", 204, 44, 34},
    {"cloth_darkred", 150, 26, 24},
    {"cloth_blue", 60, 100, 210},
    {"cloth_navy", 36, 48, 130, 1.7f, 0.35f},
    {"cloth_green", 50, 150, 46},
    {"cloth_darkgreen", 34, 96, 34},
    {"cloth_brown", 146, 94, 52},
    {"cloth_ochre", 206, 156, 44},
    {"cloth_linen", 232, 222, 188, 1.15f, 0.35f},
    {"cloth_grey", 150, 150, 150},
    {"cloth_pink", 244, 150, 150},
    {"cloth_teal", 26, 150, 154},
    {"cloth_orange", 232, 124, 34},
    {"cloth_khaki", 176, 164, 104},
    {"cloth_charcoal", 74, 74, 74, 1.8f, 0.4f},
    {"cloth_lightblue", 134, 184, 232},
    {"cloth_yellow", 234, 206, 64},
    // uniforms and babies' rompers
    {"uniform_red", 196, 40, 30},
    {"uniform_blue", 44, 66, 170},
    {"uniform_green", 52, 116, 52},
    {"baby_blue", 156, 196, 244, 1.2f, 0.4f},
    {"baby_pink", 250, 176, 186, 1.15f, 0.4f},
    {"baby_yellow", 240, 222, 120, 1.2f, 0.4f},
    {"baby_white", 236, 236, 228, 1.1f, 0.4f},
    // animals
    {"wool_white", 242, 238, 222, 1.1f, 0.38f},
    {"wool_cream", 232, 214, 168, 1.12f, 0.36f},
    {"wool_grey", 168, 164, 158},
    {"wool_brown", 130, 96, 62},
    {"wool_shorn", 236, 206, 176, 1.1f, 0.36f},
    {"fur_brown", 154, 112, 72},
    {"fur_grey", 146, 144, 138},
    {"fur_sand", 204, 172, 120},
    {"fur_white", 236, 232, 226, 1.1f, 0.38f},
    {"fur_dark", 74, 62, 56, 1.8f, 0.45f},
    {"feather_white", 244, 244, 240, 1.05f, 0.42f},
    {"beak_red", 232, 84, 40},
};

constexpr int kRampsPerTable = 16;

Rgb ToRgb(Rgb c) {
  return c;
}

std::array<Rgb, 16> MakeRampColours(const RampDef& d) {
  std::array<Rgb, 16> out{};
  for (int k = 0; k < 16; ++k) {
    const float t = float(k) / 15.0f;
    const float f = d.light + (d.dark - d.light) * t;
    float c[3] = {float(d.r), float(d.g), float(d.b)};
    for (float& v : c) {
      // Highlights whiten instead of only saturating; shadows keep their hue.
      float w = v * f;
      if (f > 1.0f) w = v + (255.0f - v) * (f - 1.0f) * 0.55f + v * (f - 1.0f) * 0.2f;
      v = std::clamp(w, 0.0f, 255.0f);
    }
    const Rgb want{int(std::lround(c[0])), int(std::lround(c[1])), int(std::lround(c[2]))};
    out[size_t(k)] = ToRgb(PaletteColour(NearestUsable(want)));
  }
  return out;
}

const std::map<std::string, std::array<Rgb, 16>>& RampTable() {
  static const auto* table = [] {
    auto* t = new std::map<std::string, std::array<Rgb, 16>>();
    for (const RampDef& d : kRamps) (*t)[d.name] = MakeRampColours(d);
    return t;
  }();
  return *table;
}

std::array<Rgb, 16> Ramp16(const std::string& name) {
  return RampTable().at(name);
}

// Slot 0: a few fixed colours, the stork's bundle and a dark grey ramp (its black flight feathers).
std::array<Rgb, 16> FixedSlot() {
  std::array<Rgb, 16> s{};
  auto snap = [](int r, int g, int b) { return ToRgb(PaletteColour(NearestUsable(Rgb{r, g, b}))); };
  s[0] = snap(60, 60, 60);
  s[kFixedEye] = snap(54, 24, 11);
  s[kFixedMouth] = snap(176, 74, 60);
  s[kFixedWhite] = snap(236, 236, 236);
  s[kFixedCheek] = snap(255, 150, 150);
  s[kFixedOutline] = snap(40, 18, 8);
  for (int k = 6; k < 16; ++k) {
    const int v = 150 - (k - 6) * 14;
    s[size_t(k)] = snap(v, v, v);
  }
  s[kFixedBundleLight] = snap(246, 248, 255);
  s[kFixedBundle] = snap(214, 224, 248);
  s[kFixedBundleShade] = snap(170, 186, 228);
  s[kFixedBundleOutline] = snap(100, 112, 164);
  return s;
}

struct BaseDef {
  const char* name;
  const char* slots[16];  // ramp per slot; slot 0 is always the fixed slot
};

const BaseDef kBases[] = {
    {"civilian",
     {nullptr, "skin_light", "hair_brown", "cloth_linen", "cloth_brown", "cloth_blue", "cloth_linen",
      "cloth_khaki", "metal_iron", "wood", "leather", "uniform_red", "wool_white", "fur_brown",
      "feather_white", "beak_red"}},
    {"soldier",
     {nullptr, "skin_light", "hair_brown", "cloth_linen", "cloth_charcoal", "cloth_blue", "cloth_linen",
      "cloth_ochre", "metal_steel", "wood", "leather", "uniform_red", "wool_white", "fur_brown",
      "feather_white", "beak_red"}},
    {"animals",
     {nullptr, "skin_light", "hair_brown", "cloth_linen", "cloth_brown", "cloth_blue", "baby_white",
      "cloth_khaki", "metal_iron", "wood", "leather", "baby_white", "wool_white", "fur_brown",
      "feather_white", "beak_red"}},
};

std::string Lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

const std::vector<CreatureColourTable>& CreatureColourTables() {
  static const auto* tables = [] {
    auto* v = new std::vector<CreatureColourTable>();
    for (const BaseDef& b : kBases) {
      CreatureColourTable t;
      t.name = b.name;
      t.fileName = "creature_" + Lower(b.name) + ".pcx";
      const auto fixed = FixedSlot();
      for (int slot = 0; slot < 16; ++slot) {
        const auto ramp = slot == 0 ? fixed : Ramp16(b.slots[slot]);
        for (int k = 0; k < 16; ++k) t.palette[size_t(slot * 16 + k)] = ramp[size_t(k)];
      }
      v->push_back(t);
    }
    const int rampCount = int(std::size(kRamps));
    for (int first = 0; first < rampCount; first += kRampsPerTable) {
      CreatureColourTable t;
      char name[40];
      std::snprintf(name, sizeof name, "creature_ramps_%d", first / kRampsPerTable + 1);
      t.name = name;
      t.fileName = std::string(name) + ".pcx";
      // Unused windows repeat the fixed slot so the table has no black at all.
      const auto fixed = FixedSlot();
      for (int w = 0; w < kRampsPerTable; ++w) {
        const int i = first + w;
        const auto ramp = i < rampCount ? Ramp16(kRamps[i].name) : fixed;
        for (int k = 0; k < 16; ++k) t.palette[size_t(w * 16 + k)] = ramp[size_t(k)];
      }
      v->push_back(t);
    }
    return v;
  }();
  return *tables;
}

const std::vector<CreatureColourWindow>& CreatureColourWindows() {
  static const auto* windows = [] {
    auto* v = new std::vector<CreatureColourWindow>();
    const int rampCount = int(std::size(kRamps));
    for (int i = 0; i < rampCount; ++i) {
      char table[40];
      std::snprintf(table, sizeof table, "creature_ramps_%d", i / kRampsPerTable + 1);
      v->push_back(CreatureColourWindow{kRamps[i].name, table, i % kRampsPerTable});
    }
    return v;
  }();
  return *windows;
}

std::vector<Rgb> CreatureWindowColours(const std::string& window) {
  const auto& ramps = RampTable();
  auto it = ramps.find(window);
  if (it == ramps.end()) return {};
  return std::vector<Rgb>(it->second.begin(), it->second.end());
}

const std::array<Rgb, 256>* CreatureTablePalette(const std::string& table) {
  for (const CreatureColourTable& t : CreatureColourTables()) {
    if (Lower(t.name) == Lower(table)) return &t.palette;
  }
  return nullptr;
}

namespace {

struct Choice {
  const char* window;
  int weight;
};

std::string SlotLine(int slot, const std::vector<Choice>& choices) {
  std::string line = "RemapRandom = " + std::to_string(slot) + ", " + std::to_string(choices.size());
  for (const Choice& c : choices) line += ", \"" + std::string(c.window) + "\", " + std::to_string(c.weight);
  return line + "\n";
}

// The skin and hair mixes are the same for every set; the clothes follow each set's own colours.
const std::vector<Choice> kSkinChoices = {
    {"skin_pale", 20}, {"skin_light", 40}, {"skin_tan", 25}, {"skin_brown", 10}, {"skin_dark", 5}};
const std::vector<Choice> kHairChoices = {{"hair_blond", 18}, {"hair_lightbrown", 22}, {"hair_brown", 28},
                                          {"hair_black", 16}, {"hair_red", 8},         {"hair_grey", 8}};

// Ten colour schemes: a main colour and an accent, like the players' colours of the game.
struct Scheme {
  const char* main;
  const char* accent;
};
const Scheme kSchemes[10] = {
    {"cloth_red", "cloth_ochre"},        {"cloth_blue", "cloth_linen"},       {"cloth_green", "cloth_brown"},
    {"cloth_ochre", "cloth_darkred"},    {"cloth_teal", "cloth_khaki"},       {"cloth_darkred", "cloth_grey"},
    {"cloth_navy", "cloth_lightblue"},   {"cloth_orange", "cloth_darkgreen"}, {"cloth_pink", "cloth_navy"},
    {"cloth_darkgreen", "cloth_yellow"},
};

}  // namespace

std::string CreatureRandomRemapsIni() {
  std::string out =
      "; Colour sets of the villagers. DressCreature picks one of the ten sets per sex at random and\n"
      "; fills each listed slot with one of its windows, by weight.\n";
  for (int n = 0; n < 10; ++n) {
    const Scheme& s = kSchemes[n];
    out += "\n[RemapRandom]\nName = \"Player_" + std::to_string(n) + "_Color_Man\"\n";
    out += SlotLine(kSlotSkin, kSkinChoices);
    out += SlotLine(kSlotHair, kHairChoices);
    out += SlotLine(kSlotShirt, {{s.main, 45}, {s.accent, 20}, {"cloth_linen", 20}, {"cloth_grey", 15}});
    out += SlotLine(kSlotTrousers, {{"cloth_brown", 35},
                                    {"cloth_navy", 20},
                                    {"cloth_charcoal", 15},
                                    {"cloth_khaki", 20},
                                    {s.accent, 10}});
    out += SlotLine(kSlotHat, {{s.main, 50}, {"cloth_khaki", 25}, {"cloth_brown", 25}});
    out += "\n[RemapRandom]\nName = \"Player_" + std::to_string(n) + "_Color_Woman\"\n";
    out += SlotLine(kSlotSkin, kSkinChoices);
    out += SlotLine(kSlotHair, kHairChoices);
    out += SlotLine(kSlotShirt, {{"cloth_linen", 45}, {s.accent, 30}, {"cloth_lightblue", 25}});
    out += SlotLine(kSlotDress, {{s.main, 50}, {s.accent, 20}, {"cloth_brown", 15}, {"cloth_green", 15}});
    out += SlotLine(kSlotApron, {{"cloth_linen", 55}, {"baby_white", 25}, {"cloth_grey", 20}});
  }
  return out;
}

}  // namespace tlworld
