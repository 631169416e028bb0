// The program's PALETTE resource (number 104): 768 bytes, 256 triples red, green, blue.
#pragma once

#include <cstdint>

constexpr int kPaletteResourceNumber = 104;
extern const uint8_t kPaletteResource[768];
