#include "display/display_scale.h"

#include <cstring>

uint16_t ChooseDisplayScale(uint32_t screenHeight, uint32_t setting) {
  uint32_t scale = 1;
  if (setting >= 1 && setting <= kMaxFixedScale) {
    scale = setting;
  } else {
    while (screenHeight / (scale + 1) >= kAutoScaleMinHeight) ++scale;
  }
  // A fixed factor on a tiny screen must still leave the scene a pixel.
  while (scale > 1 && screenHeight / scale == 0) --scale;
  return static_cast<uint16_t>(scale);
}

void EnlargeIndices(const uint8_t* src, uint32_t srcPitch, uint16_t width, uint16_t height, uint16_t scale,
                    uint8_t* dst, uint32_t dstPitch) {
  const uint32_t outWidth = uint32_t(width) * scale;
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* in = src + size_t(y) * srcPitch;
    uint8_t* first = dst + size_t(y) * scale * dstPitch;
    if (scale == 1) {
      std::memcpy(first, in, width);
    } else {
      uint8_t* out = first;
      for (uint32_t x = 0; x < width; ++x, out += scale) std::memset(out, in[x], scale);
    }
    // The other rows of the block are copies of the first.
    for (uint32_t r = 1; r < scale; ++r) std::memcpy(first + size_t(r) * dstPitch, first, outWidth);
  }
}

void EnlargeToColours(const uint8_t* src, uint32_t srcPitch, uint16_t width, uint16_t height, uint16_t scale,
                      const uint32_t* table, uint32_t* dst, uint32_t dstPitchPixels) {
  const uint32_t outWidth = uint32_t(width) * scale;
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* in = src + size_t(y) * srcPitch;
    uint32_t* first = dst + size_t(y) * scale * dstPitchPixels;
    uint32_t* out = first;
    for (uint32_t x = 0; x < width; ++x) {
      const uint32_t colour = table[in[x]];
      for (uint32_t k = 0; k < scale; ++k) *out++ = colour;
    }
    for (uint32_t r = 1; r < scale; ++r)
      std::memcpy(first + size_t(r) * dstPitchPixels, first, outWidth * sizeof(uint32_t));
  }
}
