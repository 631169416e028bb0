#include "display/frame_changes.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// A box inside one tile, in surface pixels (right and bottom exclusive); empty while left >= right.
struct TileBox {
  uint32_t left = 0, right = 0, top = 0, bottom = 0;
  bool Empty() const { return left >= right; }
  void Add(uint32_t l, uint32_t r, uint32_t t, uint32_t b) {
    if (Empty()) {
      *this = {l, r, t, b};
      return;
    }
    left = std::min(left, l);
    right = std::max(right, r);
    top = std::min(top, t);
    bottom = std::max(bottom, b);
  }
};

uint64_t Word(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

// The first and one past the last byte where a and b differ among their n bytes; false when none
// does. Sixteen bytes at a time from either end where SSE2 is there (every x86-64), then eight; the
// byte inside a differing block comes from its lowest or highest set bit (little-endian machines;
// others look byte by byte).
bool DifferingSpan(const uint8_t* a, const uint8_t* b, uint32_t n, uint32_t& first, uint32_t& end) {
  // Most spans are the same (a drawing put where it was, over what it covered before): the library's
  // comparison, the fastest on every machine, settles those first.
  if (std::memcmp(a, b, n) == 0) return false;
  constexpr bool kWords = std::endian::native == std::endian::little;
  uint32_t i = 0;
  bool hit = false;
#if defined(__SSE2__)
  for (; i + 16 <= n; i += 16) {
    const __m128i same = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i)),
                                        _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i)));
    if (const uint32_t m = uint32_t(_mm_movemask_epi8(same)) ^ 0xFFFFu) {
      i += uint32_t(std::countr_zero(m));
      hit = true;
      break;
    }
  }
#endif
  if constexpr (kWords) {
    for (; !hit && i + 8 <= n; i += 8) {
      if (const uint64_t x = Word(a + i) ^ Word(b + i)) {
        i += uint32_t(std::countr_zero(x)) / 8;
        hit = true;
        break;
      }
    }
  }
  if (!hit) {
    while (i < n && a[i] == b[i]) ++i;
    if (i == n) return false;
  }
  first = i;
  // Byte `first` differs, so the walk back ends above it.
  uint32_t j = n;
  hit = false;
#if defined(__SSE2__)
  for (; j >= first + 16; j -= 16) {
    const __m128i same = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + j - 16)),
                                        _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + j - 16)));
    if (const uint32_t m = uint32_t(_mm_movemask_epi8(same)) ^ 0xFFFFu) {
      j -= 16 - uint32_t(std::bit_width(m));
      hit = true;
      break;
    }
  }
#endif
  if constexpr (kWords) {
    for (; !hit && j >= first + 8; j -= 8) {
      if (const uint64_t x = Word(a + j - 8) ^ Word(b + j - 8)) {
        j -= uint32_t(std::countl_zero(x)) / 8;
        hit = true;
        break;
      }
    }
  }
  while (!hit && a[j - 1] == b[j - 1]) --j;
  end = j;
  return true;
}

}  // namespace

void CopyChangedTiles(uint8_t* shown, uint32_t shownPitch, const uint8_t* frame, uint32_t framePitch,
                      uint32_t width, uint32_t height, std::vector<SurfaceChange>& changes,
                      const std::vector<SurfaceChange>* mayDiffer, std::vector<SurfaceChange>* rows) {
  changes.clear();
  if (rows) rows->clear();
  if (width == 0 || height == 0) return;
  const uint32_t tiles = (width + kChangeTileColumns - 1) / kChangeTileColumns;
  const uint32_t bands = (height + kChangeBandRows - 1) / kChangeBandRows;
  // Single-threaded: the tables are kept for the purpose. `worth` holds, tile by tile, the box where
  // the frames may differ (from mayDiffer; the whole tile without it), `found` the box where they did.
  static std::vector<TileBox> worth, found;
  static std::vector<uint8_t> bandWorth;
  found.assign(tiles, TileBox{});
  if (mayDiffer) {
    worth.assign(size_t(bands) * tiles, TileBox{});
    bandWorth.assign(bands, 0);
    for (const SurfaceChange& c : *mayDiffer) {
      if (c.width == 0 || c.height == 0 || c.left >= width || c.top >= height) continue;
      const uint32_t right = std::min(width, c.left + c.width), bottom = std::min(height, c.top + c.height);
      for (uint32_t b = c.top / kChangeBandRows; b <= (bottom - 1) / kChangeBandRows; ++b) {
        bandWorth[b] = 1;
        const uint32_t top = std::max(c.top, b * kChangeBandRows);
        const uint32_t end = std::min(bottom, (b + 1) * kChangeBandRows);
        for (uint32_t t = c.left / kChangeTileColumns; t <= (right - 1) / kChangeTileColumns; ++t)
          worth[size_t(b) * tiles + t].Add(std::max(c.left, t * kChangeTileColumns),
                                           std::min(right, (t + 1) * kChangeTileColumns), top, end);
      }
    }
  }
  // One row of one tile: the span [x, end) of row y.
  auto compare = [&](uint32_t t, uint32_t y, uint32_t x, uint32_t end) {
    const uint8_t* row = frame + size_t(y) * framePitch;
    uint8_t* old = shown + size_t(y) * shownPitch;
    uint32_t first = 0, last = 0;
    if (!DifferingSpan(row + x, old + x, end - x, first, last)) return false;
    std::memcpy(old + x + first, row + x + first, last - first);
    found[t].Add(x + first, x + last, y, y + 1);
    if (rows) rows->push_back({x + first, y, last - first, 1});
    return true;
  };
  for (uint32_t y0 = 0, band = 0; y0 < height; y0 += kChangeBandRows, ++band) {
    const uint32_t y1 = std::min(height, y0 + kChangeBandRows);
    bool any = false;
    if (mayDiffer) {
      // Tile by tile, only the rows and columns where something was drawn or put back.
      if (!bandWorth[band]) continue;
      const TileBox* boxes = worth.data() + size_t(band) * tiles;
      for (uint32_t t = 0; t < tiles; ++t) {
        const TileBox& box = boxes[t];
        if (box.Empty()) continue;
        for (uint32_t y = box.top; y < box.bottom; ++y) any |= compare(t, y, box.left, box.right);
      }
    } else {
      for (uint32_t y = y0; y < y1; ++y) {
        // Most rows are unchanged: one comparison of the whole row settles them.
        if (std::memcmp(frame + size_t(y) * framePitch, shown + size_t(y) * shownPitch, width) == 0) continue;
        for (uint32_t t = 0; t < tiles; ++t)
          any |= compare(t, y, t * kChangeTileColumns, std::min((t + 1) * kChangeTileColumns, width));
      }
    }
    if (!any) continue;
    // Each tile's box of changed pixels is one rectangle; boxes that meet at a tile's edge (a change
    // running across it) go out together as the box around both.
    for (uint32_t t = 0; t < tiles;) {
      if (found[t].Empty()) {
        ++t;
        continue;
      }
      TileBox box = found[t];
      found[t] = TileBox{};
      while (t + 1 < tiles && box.right == (t + 1) * kChangeTileColumns && !found[t + 1].Empty() &&
             found[t + 1].left == box.right) {
        ++t;
        box.Add(found[t].left, found[t].right, found[t].top, found[t].bottom);
        found[t] = TileBox{};
      }
      changes.push_back({box.left, box.top, box.right - box.left, box.bottom - box.top});
      ++t;
    }
  }
}
