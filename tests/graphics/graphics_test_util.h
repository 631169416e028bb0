// Shared helpers of the graphics tests: random pixel art, bitmaps from literal rows, libraries made
// from raw parts, and a deliberately simple reference renderer for bob drawing that the optimised
// blitters are compared against.
#pragma once

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "graphics/xb_bitmap.h"
#include "graphics/xb_bob_manager.h"

namespace gfx_test {

// An 8-bit bitmap from rows of equal length.
std::unique_ptr<XB_BITMAP> Bitmap8(const std::vector<std::vector<uint8_t>>& rows);
std::vector<uint8_t> Pixels(const XB_BITMAP& bitmap);  // all pixel bytes

// A library from hand-written parts: entries, pixel bytes and row descriptors.
std::unique_ptr<XB_BOB_MANAGER> RawLibrary(uint32_t firstIndex, const std::vector<XB_BOB_ENTRY>& entries,
                                           const std::vector<uint8_t>& pixelBytes,
                                           const std::vector<uint32_t>& rows);
XB_BOB_ENTRY Entry(uint16_t kind, int32_t x, int32_t y, int32_t width, int32_t height, int32_t firstRow);
// A row descriptor: the row's first column and the offset of its run bytes.
inline uint32_t Row(uint32_t column, uint32_t offset) {
  return column << 22 | offset;
}
// A bitmap of one colour.
std::unique_ptr<XB_BITMAP> Blank(int32_t w, int32_t h, uint8_t v = 0);

// Random 8-bit art: each pixel is `key` with probability `holes`, else a random index (long runs of
// both kinds appear because the generator keeps its last choice with probability `stickiness`).
std::unique_ptr<XB_BITMAP> RandomArt(std::mt19937& rng, int32_t width, int32_t height, uint8_t key,
                                     double holes, double stickiness);

// The reference renderer: walks the entry's rows pixel by pixel and applies `op` wherever the
// drawing rules allow a write. Kinds and tables as in the drawing operations.
struct RefOp {
  enum Kind { Plain, Remapped, Shadow, MaskLevels } kind = Plain;
  const uint8_t* table = nullptr;  // remap or shadow table (8-bit)
};
void ReferenceDraw(const XB_BOB_MANAGER& library, uint32_t number, XB_BITMAP& bitmap, int16_t x, int16_t y,
                   RefOp op);
void ReferenceDrawThroughMask(const XB_BOB_MANAGER& library, uint32_t number, uint32_t maskNumber,
                              uint16_t threshold, XB_BITMAP& bitmap, int16_t x, int16_t y,
                              const uint8_t* table1, const uint8_t* table2);
void ReferenceShadowThroughMask(const XB_BOB_MANAGER& library, uint32_t maskNumber, uint16_t threshold,
                                XB_BITMAP& bitmap, int16_t x, int16_t y, const uint8_t* table);

}  // namespace gfx_test
