#include "tests/graphics/graphics_test_util.h"

#include <gtest/gtest.h>

#include <cstring>

#include "base/xb_storable_buffer.h"
#include "graphics/graphics_storables.h"
#include "graphics/xb_palette.h"

namespace {
// The graphics classes join the object factory once for the whole test program.
class GraphicsEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { RegisterGraphicsStorables(); }
};
[[maybe_unused]] auto* const g_environment = ::testing::AddGlobalTestEnvironment(new GraphicsEnvironment);
}  // namespace

namespace gfx_test {

std::unique_ptr<XB_BITMAP> Bitmap8(const std::vector<std::vector<uint8_t>>& rows) {
  const int32_t h = static_cast<int32_t>(rows.size());
  const int32_t w = h ? static_cast<int32_t>(rows[0].size()) : 0;
  auto bitmap = std::make_unique<XB_BITMAP>(w, h, XB_PIXELS_8);
  for (int32_t y = 0; y < h; ++y)
    if (w) std::memcpy(bitmap->Row(y), rows[y].data(), static_cast<size_t>(w));
  return bitmap;
}

std::vector<uint8_t> Pixels(const XB_BITMAP& bitmap) {
  const uint8_t* p = bitmap.GetPixels();
  const size_t n = static_cast<size_t>(bitmap.GetPitchInBytes()) * static_cast<size_t>(bitmap.GetHeight());
  return p ? std::vector<uint8_t>(p, p + n) : std::vector<uint8_t>();
}

std::unique_ptr<XB_BOB_MANAGER> RawLibrary(uint32_t firstIndex, const std::vector<XB_BOB_ENTRY>& entries,
                                           const std::vector<uint8_t>& pixelBytes,
                                           const std::vector<uint32_t>& rows) {
  auto table = new XB_STORABLE_BUFFER(static_cast<uint32_t>(entries.size() * XB_BOB_ENTRY_SIZE), 0);
  if (!entries.empty()) std::memcpy(table->Data(), entries.data(), entries.size() * XB_BOB_ENTRY_SIZE);
  auto pixels = new XB_STORABLE_BUFFER(static_cast<uint32_t>(pixelBytes.size()), 0);
  if (!pixelBytes.empty()) std::memcpy(pixels->Data(), pixelBytes.data(), pixelBytes.size());
  auto rowTable = new XB_STORABLE_BUFFER(static_cast<uint32_t>(rows.size() * 4), 0);
  if (!rows.empty()) std::memcpy(rowTable->Data(), rows.data(), rows.size() * 4);
  return std::make_unique<XB_BOB_MANAGER>(firstIndex, static_cast<uint32_t>(entries.size()), table, pixels,
                                          rowTable, "test library");
}

XB_BOB_ENTRY Entry(uint16_t kind, int32_t x, int32_t y, int32_t width, int32_t height, int32_t firstRow) {
  XB_BOB_ENTRY e;
  e.kind = kind;
  e.x = x;
  e.y = y;
  e.width = width;
  e.height = height;
  e.firstRow = firstRow;
  return e;
}

std::unique_ptr<XB_BITMAP> RandomArt(std::mt19937& rng, int32_t width, int32_t height, uint8_t key,
                                     double holes, double stickiness) {
  auto bitmap = std::make_unique<XB_BITMAP>(width, height, XB_PIXELS_8);
  std::uniform_real_distribution<double> coin(0.0, 1.0);
  std::uniform_int_distribution<int> index(0, 255);
  bool hole = false;
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      if (coin(rng) >= stickiness) hole = coin(rng) < holes;
      uint8_t v = static_cast<uint8_t>(index(rng));
      if (!hole && v == key) v = static_cast<uint8_t>(key + 1);
      bitmap->Row(y)[x] = hole ? key : v;
    }
  return bitmap;
}

namespace {

// Calls put(column, row, value) for every pixel the entry's data covers, in bob coordinates
// (value: the pixel byte, 0 for shadow pixels, the level for masks).
template <class Put>
void WalkEntry(const XB_BOB_MANAGER& library, const XB_BOB_ENTRY& e, Put put) {
  for (int32_t row = 0; row < e.height; ++row) {
    const uint32_t d = library.GetRowTable()[e.firstRow + row];
    if (d == XB_BOB_EMPTY_ROW) continue;
    const uint8_t* p = library.GetPixelBytes() + (d & XB_BOB_OFFSET_MASK);
    int32_t col = static_cast<int32_t>(d >> XB_BOB_COLUMN_SHIFT);
    if (e.kind == XB_BOB_MASK) {
      for (; *p; p += 2)
        for (int k = 0; k < p[0]; ++k) put(col++, row, p[1]);
      continue;
    }
    for (;;) {
      const uint8_t b = *p++;
      if (!b) break;
      if (b & 0x80) {
        col += b & 0x7F;
      } else {
        for (int k = 0; k < b; ++k) put(col++, row, e.kind == XB_BOB_PACKED ? p[k] : uint8_t{0});
        if (e.kind == XB_BOB_PACKED) p += b;
      }
    }
  }
}

XB_PALETTE* PaletteFor(const XB_BOB_MANAGER& library) {
  return library.GetLibraryPalette() ? library.GetLibraryPalette() : XB_GetDefaultPalette();
}

// Writes an 8-bit palette index into any format the way the blitters convert it.
void PutIndex(XB_BITMAP& bitmap, int32_t X, int32_t Y, uint8_t index, XB_PALETTE* palette) {
  const int64_t at = static_cast<int64_t>(Y) * bitmap.GetWidth() + X;
  if (bitmap.GetFormat() == XB_PIXELS_8) bitmap.GetPixels()[at] = index;
  if (bitmap.GetFormat() == XB_PIXELS_16) bitmap.GetPixels16()[at] = palette->Get16BitColour(index);
  if (bitmap.GetFormat() == XB_PIXELS_32) bitmap.GetPixels32()[at] = palette->Get32BitColour(index);
}

void Darken(XB_BITMAP& bitmap, int32_t X, int32_t Y, const uint8_t* table) {
  const int64_t at = static_cast<int64_t>(Y) * bitmap.GetWidth() + X;
  if (bitmap.GetFormat() == XB_PIXELS_8) bitmap.GetPixels()[at] = table[bitmap.GetPixels()[at]];
  if (bitmap.GetFormat() == XB_PIXELS_16)
    bitmap.GetPixels16()[at] =
        static_cast<uint16_t>((bitmap.GetPixels16()[at] >> 1) & XB_GetPixelFormat16()->halfMask);
  if (bitmap.GetFormat() == XB_PIXELS_32)
    bitmap.GetPixels32()[at] = (bitmap.GetPixels32()[at] >> 1) & 0x7F7F7F;
}

// Where a pixel of a bob placed with left edge rx and width rw may be written.
bool Writable(const XB_BITMAP& bitmap, int32_t rx, int32_t rw, int32_t ry, int32_t rh, int32_t X, int32_t Y) {
  return X >= 0 && X < bitmap.GetWidth() && X < rx + rw && Y >= 0 && Y < bitmap.GetHeight() && Y >= ry &&
         Y < ry + rh;
}

}  // namespace

void ReferenceDraw(const XB_BOB_MANAGER& library, uint32_t number, XB_BITMAP& bitmap, int16_t x, int16_t y,
                   RefOp op) {
  const XB_BOB_ENTRY* e = library.GetEntry(number);
  if (!e) return;
  const int32_t rx = x + e->x, ry = y + e->y;
  XB_PALETTE* palette = PaletteFor(library);
  WalkEntry(library, *e, [&](int32_t col, int32_t row, uint8_t v) {
    const int32_t X = rx + col, Y = ry + row;
    if (!Writable(bitmap, rx, e->width, ry, e->height, X, Y)) return;
    switch (op.kind) {
      case RefOp::Plain:
        PutIndex(bitmap, X, Y, v, palette);
        break;
      case RefOp::Remapped:
        PutIndex(bitmap, X, Y, op.table[v], palette);
        break;
      case RefOp::Shadow:
        Darken(bitmap, X, Y, op.table);
        break;
      case RefOp::MaskLevels:
        if (v != 255) PutIndex(bitmap, X, Y, v, palette);
        break;
    }
  });
}

namespace {
// Level of the mask at absolute column X of mask row k (255 outside its runs), or -1 when the row
// is outside the mask or empty.
int MaskLevel(const XB_BOB_MANAGER& library, const XB_BOB_ENTRY& m, int32_t qx, int32_t k, int32_t X) {
  if (k < 0 || k >= m.height) return -1;
  const uint32_t d = library.GetRowTable()[m.firstRow + k];
  if (d == XB_BOB_EMPTY_ROW) return -1;
  const uint8_t* p = library.GetPixelBytes() + (d & XB_BOB_OFFSET_MASK);
  int32_t col = qx + static_cast<int32_t>(d >> XB_BOB_COLUMN_SHIFT);
  for (; *p; p += 2) {
    if (X >= col && X < col + p[0]) return p[1];
    col += p[0];
  }
  return 255;
}
}  // namespace

void ReferenceDrawThroughMask(const XB_BOB_MANAGER& library, uint32_t number, uint32_t maskNumber,
                              uint16_t threshold, XB_BITMAP& bitmap, int16_t x, int16_t y,
                              const uint8_t* table1, const uint8_t* table2) {
  const XB_BOB_ENTRY* e = library.GetEntry(number);
  const XB_BOB_ENTRY* m = library.GetEntry(maskNumber);
  if (!e || !m) return;
  const XB_RECT q(x + m->x, y + m->y, m->width, m->height);
  if (!bitmap.GetRect().Intersects(q)) return;
  const int32_t rx = x + e->x, ry = y + e->y;
  XB_PALETTE* palette = PaletteFor(library);
  WalkEntry(library, *e, [&](int32_t col, int32_t row, uint8_t v) {
    const int32_t X = rx + col, Y = ry + row;
    if (!Writable(bitmap, rx, e->width, ry, e->height, X, Y)) return;
    const int level = MaskLevel(library, *m, q.x, Y - q.y, X);
    if (level >= 0 && level <= threshold) PutIndex(bitmap, X, Y, table2[table1[v]], palette);
  });
}

void ReferenceShadowThroughMask(const XB_BOB_MANAGER& library, uint32_t maskNumber, uint16_t threshold,
                                XB_BITMAP& bitmap, int16_t x, int16_t y, const uint8_t* table) {
  const XB_BOB_ENTRY* m = library.GetEntry(maskNumber);
  if (!m) return;
  const int32_t rx = x + m->x, ry = y + m->y;
  WalkEntry(library, *m, [&](int32_t col, int32_t row, uint8_t level) {
    const int32_t X = rx + col, Y = ry + row;
    if (Writable(bitmap, rx, m->width, ry, m->height, X, Y) && level <= threshold)
      Darken(bitmap, X, Y, table);
  });
}

std::unique_ptr<XB_BITMAP> Blank(int32_t w, int32_t h, uint8_t v) {
  auto b = std::make_unique<XB_BITMAP>(w, h);
  b->Fill(v);
  return b;
}

}  // namespace gfx_test
