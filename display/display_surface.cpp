#include "display/display_surface.h"

#include <cstring>

void BuildSurfaceColours(const uint8_t* rgb, const uint8_t* systemPalette, SurfaceColours& out) {
  std::memset(&out, 0, sizeof out);
  for (int i = 1; i <= 254; ++i) {
    const uint8_t* c = rgb + 3 * i;
    out.logical[i][0] = c[0];
    out.logical[i][1] = c[1];
    out.logical[i][2] = c[2];
    out.table[i][0] = c[2];
    out.table[i][1] = c[1];
    out.table[i][2] = c[0];
  }
  if (systemPalette) {
    for (int i = 0; i < 10; ++i) std::memcpy(out.logical[i], systemPalette + 3 * i, 3);
    for (int i = 246; i < 256; ++i) std::memcpy(out.logical[i], systemPalette + 3 * i, 3);
  }
}

bool SurfaceSizeFromRect(const SurfaceRect& rect, uint16_t& width, uint16_t& height) {
  int64_t w = int64_t(rect.right) - rect.left;
  int64_t h = int64_t(rect.bottom) - rect.top;
  if (w <= 0 || h <= 0 || w > 65535 || h > 65535) return false;
  width = static_cast<uint16_t>(w);
  height = static_cast<uint16_t>(h);
  return true;
}
