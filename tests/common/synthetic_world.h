// Test helper: a small but complete data directory for the saver, made in the test from pixels and INI
// text. It holds the two screensaver bob libraries (background tile, corner logos, buildings, flowers,
// trees, clay pit, big logo, monuments, pages, and their shadows), one creature bob library, remap
// tables ("Shadow", "Identity") as 8-bit BMP palettes, animation, walk-data and creature descriptions
// for every creature the scenes name, and the player colour sets.
//
//   tl_test::TempDir dir;
//   tl_test::WriteSyntheticWorld(dir.Path().string(), {});
//   dir.Enter();   // the saver reads relative to the current directory
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tl_test {

struct SyntheticWorldOptions {
  uint16_t walkSpeed = 18;           // WalkSpeed of every walker (pixels per frame x 9)
  uint16_t storkFlightFrames = 120;  // length of the stork's flying animation in ticks
  bool withIdleAnimations = true;    // false: creatures have none of the idle codes
  bool withLogo = false;             // also write Logo.bmp (64 x 48) and Logo.txt
  std::string extraCreatures;        // INI sections appended to the creature descriptions
};

// The 256 colours of the world's screen palette as red, green, blue triples (768 bytes). Distinct
// colours, so that matching the palette against itself gives the identity.
std::vector<uint8_t> SyntheticPaletteRgb();

// An 8-bit BMP file (bottom-up, 256-colour palette given as 768 RGB bytes) of the given pixels.
std::vector<uint8_t> MakeBmp8(int32_t width, int32_t height, const std::vector<uint8_t>& pixels,
                              const std::vector<uint8_t>& paletteRgb);

// Writes the whole data directory under `root` (created if missing).
void WriteSyntheticWorld(const std::string& root, const SyntheticWorldOptions& options);

}  // namespace tl_test
