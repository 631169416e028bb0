// The synthetic sprites of the drawing benchmarks (bench_bob_drawing, draw_timing): a creature, a
// building and a logo with the transparency of the real thing, and level masks that change level on
// every pixel (the worst case of a dissolve).
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>

#include "graphics/xb_bitmap.h"

constexpr uint8_t kKey = 0;

struct Sprite {
  const char* name;
  int width, height;
  std::unique_ptr<XB_BITMAP> pixels;
  std::unique_ptr<XB_BITMAP> levels;  // 255 = never shown
  uint16_t threshold;
};

// Deterministic art with the transparency of the real thing: a creature is a body outline with
// gaps between the limbs, a building a solid block with a ragged roof line and open corners, a logo
// lettering with many short runs and holes.
inline std::unique_ptr<XB_BITMAP> MakeArt(const char* kind, int w, int h) {
  std::mt19937 rng(static_cast<unsigned>(w * 131 + h));
  auto b = std::make_unique<XB_BITMAP>(w, h);
  const std::string k = kind;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      bool opaque;
      if (k == "creature") {
        const double dx = (x - w / 2.0) / (w / 2.0), dy = (y - h / 2.0) / (h / 2.0);
        opaque = dx * dx + dy * dy < 0.9 && !(y > h * 2 / 3 && std::abs(x - w / 2) < 3);
      } else if (k == "building") {
        const int roof = 40 - std::abs(x - w / 2) * 40 / (w / 2);
        opaque = y >= 40 - roof && !(y > h - 10 && (x < 8 || x > w - 8));
      } else {
        opaque = ((x / 7 + y / 11) % 3 != 0) && ((x * 13 + y * 7) % 17 > 3);
      }
      b->Row(y)[x] = opaque ? static_cast<uint8_t>(1 + rng() % 254) : kKey;
    }
  return b;
}

inline Sprite Synthetic(const char* name, int w, int h) {
  Sprite s{name, w, h, MakeArt(name, w, h), std::make_unique<XB_BITMAP>(w, h), 128};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      s.levels->Row(y)[x] = s.pixels->Row(y)[x] == kKey ? 255 : static_cast<uint8_t>((x * 7 + y * 3) % 255);
  return s;
}

// The tables of the remapped, shadow and masked draws. The remap table moves every colour, and its
// difference from the identity changes in every row of 16 colours: the lookups' worst case (a table
// that changes a few colours, as a player's colours do, is looked up faster), so that no figure owes
// anything to a table's shape. The shadow table halves the index.
inline void MakeBenchTables(uint8_t* remap, uint8_t* shadow) {
  for (int i = 0; i < 256; ++i) {
    remap[i] = static_cast<uint8_t>(i * 167 + 13);
    shadow[i] = static_cast<uint8_t>(i / 2);
  }
}
