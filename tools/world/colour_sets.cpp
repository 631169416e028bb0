#include "tools/world/colour_sets.h"

namespace tlworld {

PaletteRgb ShadowPalette() {
  PaletteRgb p = ScreenPalette();
  // Darker and slightly cooler, as a shadow on a sunny day.
  for (Rgb& c : p) c = {c.r * 50 / 100, c.g * 54 / 100, c.b * 60 / 100};
  return p;
}

void AddShadowTable(WorldOutput& out) {
  out.AddRemapTable("Shadow", "shadow.pcx", ShadowPalette());
}

}  // namespace tlworld
