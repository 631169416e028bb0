// Contact sheets: every bob of a library laid out in a grid, as one PNG, to look at the art.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class XB_BOB_MANAGER;

namespace tlworld {

struct ContactSheetOptions {
  int maxWidth = 1280;  // the sheet's width limit in pixels (a wider bob widens the sheet)
  int scale = 1;        // every pixel drawn as scale x scale
};

// Packed bobs are shown in their colours on a green ground, shadow bobs in dark grey on light grey,
// level masks as grey levels (light = appears early) on blue. Each cell carries the bob's number.
// `rgbPalette` holds 768 bytes. False with `error` set when the file cannot be written.
bool WriteContactSheet(const XB_BOB_MANAGER& library, const std::string& path, const uint8_t* rgbPalette,
                       const ContactSheetOptions& options, std::string* error);

}  // namespace tlworld
