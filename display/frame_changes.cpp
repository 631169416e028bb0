#include "display/frame_changes.h"

#include <algorithm>
#include <cstring>

void CopyChangedTiles(uint8_t* shown, uint32_t shownPitch, const uint8_t* frame, uint32_t framePitch,
                      uint32_t width, uint32_t height, std::vector<SurfaceChange>& changes,
                      const std::vector<SurfaceChange>* mayDiffer) {
  changes.clear();
  if (width == 0 || height == 0) return;
  const uint32_t tiles = (width + kChangeTileColumns - 1) / kChangeTileColumns;
  const uint32_t bands = (height + kChangeBandRows - 1) / kChangeBandRows;
  // The tiles worth comparing, band after band (single-threaded: one table kept for the purpose).
  static std::vector<uint8_t> candidate;
  if (mayDiffer) {
    candidate.assign(size_t(bands) * tiles, 0);
    for (const SurfaceChange& c : *mayDiffer) {
      if (c.width == 0 || c.height == 0 || c.left >= width || c.top >= height) continue;
      const uint32_t right = std::min(width, c.left + c.width), bottom = std::min(height, c.top + c.height);
      for (uint32_t b = c.top / kChangeBandRows; b <= (bottom - 1) / kChangeBandRows; ++b)
        std::fill(candidate.begin() + b * tiles + c.left / kChangeTileColumns,
                  candidate.begin() + b * tiles + (right - 1) / kChangeTileColumns + 1, uint8_t(1));
    }
  }
  // Small enough for the stack at any 16-bit width (1024 tiles).
  bool changed[(65535 + kChangeTileColumns - 1) / kChangeTileColumns];
  for (uint32_t y0 = 0; y0 < height; y0 += kChangeBandRows) {
    const uint32_t y1 = std::min(height, y0 + kChangeBandRows);
    const uint8_t* worth = mayDiffer ? candidate.data() + size_t(y0 / kChangeBandRows) * tiles : nullptr;
    if (worth && std::find(worth, worth + tiles, uint8_t(1)) == worth + tiles) continue;
    bool any = false;
    for (uint32_t y = y0; y < y1; ++y) {
      const uint8_t* row = frame + size_t(y) * framePitch;
      uint8_t* old = shown + size_t(y) * shownPitch;
      // Most rows are unchanged: one comparison of the whole row settles them.
      if (!worth && std::memcmp(row, old, width) == 0) continue;
      if (!any) std::fill(changed, changed + tiles, false);
      any = true;
      for (uint32_t t = 0; t < tiles; ++t) {
        if (worth && !worth[t]) continue;
        const uint32_t x = t * kChangeTileColumns, n = std::min(kChangeTileColumns, width - x);
        if (std::memcmp(row + x, old + x, n) == 0) continue;
        changed[t] = true;
        std::memcpy(old + x, row + x, n);
      }
    }
    if (!any) continue;
    for (uint32_t t = 0; t < tiles;) {
      if (!changed[t]) {
        ++t;
        continue;
      }
      uint32_t u = t;
      while (u + 1 < tiles && changed[u + 1]) ++u;
      const uint32_t left = t * kChangeTileColumns;
      const uint32_t right = std::min((u + 1) * kChangeTileColumns, width);
      changes.push_back({left, y0, right - left, y1 - y0});
      t = u + 1;
    }
  }
}
