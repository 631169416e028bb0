// Integer display scaling: on large screens the scene runs at (width / s, height / s) and every frame
// is enlarged by s, nearest neighbour, so villagers keep a size a watcher can see. The rule is the same
// on every front end.
#pragma once

#include <cstdint>

// The scale a "Scale" setting asks for on a screen `screenHeight` pixels high: 0 (automatic) is the
// largest whole s that keeps screenHeight / s at least 1000 pixels (never below 1); 1, 2 and 3 are
// taken as they are; any other value counts as automatic. The result never makes the scene smaller
// than one pixel.
uint16_t ChooseDisplayScale(uint32_t screenHeight, uint32_t setting);
constexpr uint32_t kAutoScaleMinHeight = 1000;
constexpr uint32_t kMaxFixedScale = 3;

// Enlarges an 8-bit frame by `scale` in both directions: each source pixel becomes a scale × scale
// block. dst has width * scale columns and height * scale rows, dstPitch bytes apart.
void EnlargeIndices(const uint8_t* src, uint32_t srcPitch, uint16_t width, uint16_t height, uint16_t scale,
                    uint8_t* dst, uint32_t dstPitch);

// The same into 32-bit pixels through a 256-entry colour table (0xAARRGGBB as the target wants it):
// the 8-bit frame is converted through the palette once per frame, while it is enlarged.
void EnlargeToColours(const uint8_t* src, uint32_t srcPitch, uint16_t width, uint16_t height, uint16_t scale,
                      const uint32_t* table, uint32_t* dst, uint32_t dstPitchPixels);
