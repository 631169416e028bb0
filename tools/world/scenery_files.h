// File contents of the scenery part, exposed for tests and for the resource generator.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tools/world/world_builder.h"

namespace tlworld {

inline constexpr int kFontPixelSize = 17;

struct SceneryLibraries {
  std::vector<uint8_t> packed;  // Screensaver_Packed.bmd
  std::vector<uint8_t> masked;  // Screensaver_Masked.bmd
};
SceneryLibraries BuildSceneryLibraries();
// ExtText.fnt: DejaVu Sans Bold at `pixelSize`, glyphs for Windows-1252 codes 32..255 in two tones
// (index 1 upper part, 2 lower part). Empty when FreeType or the font is missing.
std::vector<uint8_t> BuildFont(int pixelSize);
// The palettes of Palette_Font_Foreground.pcx / Palette_Font_Background.pcx.
PaletteRgb FontPalette(bool foreground);
std::vector<uint8_t> LogoBmp();
std::string LogoText();

// Runs `save` on a temporary file name and returns the bytes it wrote (empty when it failed).
std::vector<uint8_t> SaveViaTempFile(const std::function<bool(const char*)>& save);

}  // namespace tlworld
