// Writes palette pictures as PNG files: previews of the generated art and contact sheets.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tlworld {

// An 8-bit indexed PNG of `width` x `height` pixels with a 768-byte RGB palette. False on failure.
bool WriteIndexedPng(const std::string& path, int width, int height, const std::vector<uint8_t>& pixels,
                     const uint8_t* rgbPalette);

}  // namespace tlworld
