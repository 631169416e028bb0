// The rectangle all clipping of the graphics layer is done with. The right and bottom edges are
// exclusive: a rectangle covers columns x .. x + width - 1 and rows y .. y + height - 1.
#pragma once

#include <cstdint>

struct XB_RECT {
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;

  constexpr XB_RECT() = default;
  constexpr XB_RECT(int32_t ax, int32_t ay, int32_t aw, int32_t ah) : x(ax), y(ay), width(aw), height(ah) {}

  void Set(int32_t ax, int32_t ay, int32_t aw, int32_t ah) {
    x = ax;
    y = ay;
    width = aw;
    height = ah;
  }
  void Clear() { Set(0, 0, 0, 0); }
  void Offset(int32_t dx, int32_t dy) {
    x += dx;
    y += dy;
  }
  bool operator==(const XB_RECT& o) const = default;

  // True when the two rectangles share at least one pixel (touching edges do not count).
  bool Intersects(const XB_RECT& b) const {
    return b.x < x + width && x < b.x + b.width && b.y < y + height && y < b.y + b.height;
  }
  // Clips this rectangle to b in place. Callers clip only rectangles that intersect b.
  void ClipTo(const XB_RECT& b) { ClipToWithReport(b); }
  // The same; true when any edge had to move.
  bool ClipToWithReport(const XB_RECT& b);
};

inline bool XB_RECT::ClipToWithReport(const XB_RECT& b) {
  bool clipped = false;
  if (x < b.x) {
    width -= b.x - x;
    x = b.x;
    clipped = true;
  }
  if (y < b.y) {
    height -= b.y - y;
    y = b.y;
    clipped = true;
  }
  if (b.x + b.width < x + width) {
    width = b.x + b.width - x;
    clipped = true;
  }
  if (b.y + b.height < y + height) {
    height = b.y + b.height - y;
    clipped = true;
  }
  return clipped;
}
