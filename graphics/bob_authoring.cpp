#include "graphics/bob_authoring.h"

#include <cstring>
#include <memory>

#include "base/xb_error.h"
#include "base/xb_storable_buffer.h"
#include "graphics/xb_bitmap.h"
#include "graphics/xb_bob_manager.h"
#include "graphics/xb_font.h"

namespace {

void RequireEightBit(const XB_BITMAP& bitmap, const char* what) {
  if (bitmap.GetFormat() != XB_PIXELS_8)
    XB_FatalError("bob authoring: %s needs an 8-bit bitmap, got pixel format %u", what, bitmap.GetFormat());
  if (bitmap.GetWidth() > kMaxAuthoredBobWidth)
    XB_FatalError("bob authoring: %s of %d columns is too wide; a bob has at most %d columns", what,
                  bitmap.GetWidth(), kMaxAuthoredBobWidth);
}

// Starts row y of an encoded bob: finds its first and last drawn columns and adds the row descriptor
// (empty, or data offset plus start column). Returns false for an empty row.
template <class Drawn>
bool BeginRow(EncodedBob& bob, int32_t y, Drawn drawn, int32_t& first, int32_t& last) {
  first = -1;
  last = -1;
  for (int32_t x = 0; x < bob.width; ++x)
    if (drawn(x, y)) {
      if (first < 0) first = x;
      last = x;
    }
  if (first < 0) {
    bob.rows.push_back(XB_BOB_EMPTY_ROW);
    return false;
  }
  bob.rows.push_back(static_cast<uint32_t>(first) << XB_BOB_COLUMN_SHIFT |
                     static_cast<uint32_t>(bob.data.size()));
  return true;
}

// Encodes rows of control bytes (packed and shadow bobs) from an opacity test per pixel.
template <class Opaque>
EncodedBob EncodeRuns(const XB_BITMAP& pixels, uint16_t kind, Opaque opaque) {
  EncodedBob bob;
  bob.kind = kind;
  bob.width = pixels.GetWidth();
  bob.height = pixels.GetHeight();
  const uint8_t* base = pixels.GetPixels();
  for (int32_t y = 0; y < bob.height; ++y) {
    const uint8_t* row = base + static_cast<int64_t>(y) * bob.width;
    int32_t first, last;
    if (!BeginRow(bob, y, opaque, first, last)) continue;
    int32_t x = first;
    while (x <= last) {
      int32_t n = 0;
      if (opaque(x, y)) {
        while (x + n <= last && n < 127 && opaque(x + n, y)) ++n;
        bob.data.push_back(static_cast<uint8_t>(n));
        if (kind == XB_BOB_PACKED) bob.data.insert(bob.data.end(), row + x, row + x + n);
      } else {
        while (x + n <= last && n < 127 && !opaque(x + n, y)) ++n;
        bob.data.push_back(static_cast<uint8_t>(0x80 | n));
      }
      x += n;
    }
    bob.data.push_back(0);
  }
  return bob;
}

void CheckSameSize(const XB_BITMAP& a, const XB_BITMAP& b, const char* what) {
  if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight())
    XB_FatalError("bob authoring: %s: coverage of %d x %d does not match pixels of %d x %d", what,
                  b.GetWidth(), b.GetHeight(), a.GetWidth(), a.GetHeight());
}

}  // namespace

EncodedBob EncodePackedBob(const XB_BITMAP& pixels, uint8_t key) {
  RequireEightBit(pixels, "a packed bob");
  const uint8_t* p = pixels.GetPixels();
  const int32_t w = pixels.GetWidth();
  return EncodeRuns(pixels, XB_BOB_PACKED,
                    [p, w, key](int32_t x, int32_t y) { return p[static_cast<int64_t>(y) * w + x] != key; });
}

EncodedBob EncodePackedBobCovered(const XB_BITMAP& pixels, const XB_BITMAP& coverage) {
  RequireEightBit(pixels, "a packed bob");
  RequireEightBit(coverage, "a coverage mask");
  CheckSameSize(pixels, coverage, "a packed bob");
  const uint8_t* c = coverage.GetPixels();
  const int32_t w = pixels.GetWidth();
  return EncodeRuns(pixels, XB_BOB_PACKED,
                    [c, w](int32_t x, int32_t y) { return c[static_cast<int64_t>(y) * w + x] != 0; });
}

EncodedBob EncodeShadowBob(const XB_BITMAP& coverage) {
  RequireEightBit(coverage, "a shadow bob");
  const uint8_t* c = coverage.GetPixels();
  const int32_t w = coverage.GetWidth();
  return EncodeRuns(coverage, XB_BOB_SHADOW,
                    [c, w](int32_t x, int32_t y) { return c[static_cast<int64_t>(y) * w + x] != 0; });
}

EncodedBob EncodeLevelMask(const XB_BITMAP& levels) {
  RequireEightBit(levels, "a level mask");
  EncodedBob bob;
  bob.kind = XB_BOB_MASK;
  bob.width = levels.GetWidth();
  bob.height = levels.GetHeight();
  for (int32_t y = 0; y < bob.height; ++y) {
    const uint8_t* row = levels.GetPixels() + static_cast<int64_t>(y) * bob.width;
    int32_t first, last;
    if (!BeginRow(
            bob, y, [row](int32_t x, int32_t) { return row[x] != 255; }, first, last))
      continue;
    for (int32_t x = first; x <= last;) {
      int32_t n = 1;
      while (x + n <= last && n < 255 && row[x + n] == row[x]) ++n;
      bob.data.push_back(static_cast<uint8_t>(n));
      bob.data.push_back(row[x]);
      x += n;
    }
    bob.data.push_back(0);
  }
  return bob;
}

namespace {
// Walks one bob's rows without drawing: calls put(x, y, value) for every pixel the bob covers
// (value: pixel index for packed bobs, 255 for shadow pixels, the level for masks).
template <class Put>
bool WalkBob(const XB_BOB_MANAGER& library, uint32_t number, Put put) {
  const XB_BOB_ENTRY* e = library.GetEntry(number);
  if (!e || e->kind == XB_BOB_NONE) return false;
  const uint8_t* bytes = library.GetPixelBytes();
  for (int32_t y = 0; y < e->height; ++y) {
    const uint32_t d = library.GetRowTable()[e->firstRow + y];
    if (d == XB_BOB_EMPTY_ROW) continue;
    const uint8_t* p = bytes + (d & XB_BOB_OFFSET_MASK);
    int32_t x = static_cast<int32_t>(d >> XB_BOB_COLUMN_SHIFT);
    if (e->kind == XB_BOB_MASK) {
      for (; p[0] != 0; p += 2)
        for (int32_t k = 0; k < p[0]; ++k, ++x) put(x, y, p[1]);
    } else if (e->kind == XB_BOB_PACKED || e->kind == XB_BOB_SHADOW) {
      for (uint8_t b; (b = *p++) != 0;) {
        if (b & 0x80) {
          x += b & 0x7F;
          continue;
        }
        for (int32_t k = 0; k < b; ++k, ++x) put(x, y, e->kind == XB_BOB_PACKED ? p[k] : uint8_t{255});
        if (e->kind == XB_BOB_PACKED) p += b;
      }
    }
  }
  return true;
}
}  // namespace

XB_BITMAP* DecodeBob(const XB_BOB_MANAGER& library, uint32_t number, uint8_t background) {
  const XB_BOB_ENTRY* e = library.GetEntry(number);
  if (!e || e->kind == XB_BOB_NONE) return nullptr;
  auto bitmap = std::make_unique<XB_BITMAP>(e->width, e->height, XB_PIXELS_8);
  bitmap->Fill(e->kind == XB_BOB_MASK ? 255 : background);
  uint8_t* px = bitmap->GetPixels();
  const int32_t w = e->width, h = e->height;
  WalkBob(library, number, [&](int32_t x, int32_t y, uint8_t v) {
    if (x < w && y < h) px[static_cast<int64_t>(y) * w + x] = v;
  });
  return bitmap.release();
}

XB_BITMAP* DecodeBobCoverage(const XB_BOB_MANAGER& library, uint32_t number) {
  const XB_BOB_ENTRY* e = library.GetEntry(number);
  if (!e || e->kind == XB_BOB_NONE) return nullptr;
  auto bitmap = std::make_unique<XB_BITMAP>(e->width, e->height, XB_PIXELS_8);
  bitmap->Fill(0);
  uint8_t* px = bitmap->GetPixels();
  const int32_t w = e->width, h = e->height;
  const bool mask = e->kind == XB_BOB_MASK;
  WalkBob(library, number, [&](int32_t x, int32_t y, uint8_t v) {
    if (x < w && y < h && !(mask && v == 255)) px[static_cast<int64_t>(y) * w + x] = 255;
  });
  return bitmap.release();
}

// --- BobLibraryBuilder ---

void BobLibraryBuilder::Add(uint32_t number, EncodedBob bob, int32_t offsetX, int32_t offsetY) {
  if (number < firstIndex_)
    XB_FatalError("bob library builder: bob number %u lies below the library's first number %u", number,
                  firstIndex_);
  if (bob.width > kMaxAuthoredBobWidth)
    XB_FatalError("bob library builder: bob %u is %d columns wide; a bob has at most %d columns", number,
                  bob.width, kMaxAuthoredBobWidth);
  if (offsetX < -XB_BOB_MAX_OFFSET || offsetX > XB_BOB_MAX_OFFSET || offsetY < -XB_BOB_MAX_OFFSET ||
      offsetY > XB_BOB_MAX_OFFSET)
    XB_FatalError("bob library builder: bob %u has an offset (%d, %d) beyond +-%d", number, offsetX, offsetY,
                  XB_BOB_MAX_OFFSET);
  if (static_cast<int64_t>(bob.rows.size()) != bob.height)
    XB_FatalError("bob library builder: bob %u has %zu rows for a height of %d", number, bob.rows.size(),
                  bob.height);
  bobs_[number] = Placed{std::move(bob), offsetX, offsetY};
}

void BobLibraryBuilder::AddPacked(uint32_t number, const XB_BITMAP& pixels, uint8_t key, int32_t offsetX,
                                  int32_t offsetY) {
  Add(number, EncodePackedBob(pixels, key), offsetX, offsetY);
}

void BobLibraryBuilder::AddPackedCovered(uint32_t number, const XB_BITMAP& pixels, const XB_BITMAP& coverage,
                                         int32_t offsetX, int32_t offsetY) {
  Add(number, EncodePackedBobCovered(pixels, coverage), offsetX, offsetY);
}

void BobLibraryBuilder::AddShadow(uint32_t number, const XB_BITMAP& coverage, int32_t offsetX,
                                  int32_t offsetY) {
  Add(number, EncodeShadowBob(coverage), offsetX, offsetY);
}

void BobLibraryBuilder::AddMask(uint32_t number, const XB_BITMAP& levels, int32_t offsetX, int32_t offsetY) {
  Add(number, EncodeLevelMask(levels), offsetX, offsetY);
}

void BobLibraryBuilder::ReserveUpTo(uint32_t number) {
  if (number < firstIndex_)
    XB_FatalError("bob library builder: bob number %u lies below the library's first number %u", number,
                  firstIndex_);
  if (number + 1 > reservedEnd_) reservedEnd_ = number + 1;
}

uint32_t BobLibraryBuilder::GetCount() const {
  uint32_t end = reservedEnd_;
  if (!bobs_.empty() && bobs_.rbegin()->first + 1 > end) end = bobs_.rbegin()->first + 1;
  return end > firstIndex_ ? end - firstIndex_ : 0;
}

XB_BOB_MANAGER* BobLibraryBuilder::Build() const {
  const uint32_t count = GetCount();
  if (count == 0) return new XB_BOB_MANAGER(firstIndex_, 0, nullptr, nullptr, nullptr, "bob library builder");
  uint64_t pixelBytes = 0, rows = 0;
  for (const auto& [number, placed] : bobs_) {
    pixelBytes += placed.bob.data.size();
    rows += placed.bob.rows.size();
  }
  if (pixelBytes > XB_BOB_MAX_PIXEL_BYTES)
    XB_FatalError(
        "bob library builder: %llu bytes of pixel data exceed the %u bytes (4 MiB) a library can address",
        static_cast<unsigned long long>(pixelBytes), XB_BOB_MAX_PIXEL_BYTES);
  if (static_cast<uint64_t>(count) * XB_BOB_ENTRY_SIZE > 0xFFFFFFFFull || rows * 4 > 0xFFFFFFFFull)
    XB_FatalError("bob library builder: %u bobs are too many for one library", count);

  auto table = std::make_unique<XB_STORABLE_BUFFER>(count * XB_BOB_ENTRY_SIZE, 0);
  auto pixels = std::make_unique<XB_STORABLE_BUFFER>(static_cast<uint32_t>(pixelBytes), 0);
  auto rowTable = std::make_unique<XB_STORABLE_BUFFER>(static_cast<uint32_t>(rows * 4), 0);
  uint32_t dataAt = 0, rowAt = 0;
  for (const auto& [number, placed] : bobs_) {
    const EncodedBob& bob = placed.bob;
    XB_BOB_ENTRY e;
    e.kind = bob.kind;
    e.x = placed.x;
    e.y = placed.y;
    e.width = bob.width;
    e.height = bob.height;
    e.firstRow = static_cast<int32_t>(rowAt);
    std::memcpy(table->Data() + static_cast<uint64_t>(number - firstIndex_) * XB_BOB_ENTRY_SIZE, &e,
                sizeof(e));
    if (!bob.data.empty()) std::memcpy(pixels->Data() + dataAt, bob.data.data(), bob.data.size());
    for (uint32_t d : bob.rows) {
      const uint32_t desc = d == XB_BOB_EMPTY_ROW ? d : d + dataAt;
      std::memcpy(rowTable->Data() + static_cast<uint64_t>(rowAt) * 4, &desc, 4);
      ++rowAt;
    }
    dataAt += static_cast<uint32_t>(bob.data.size());
  }
  return new XB_BOB_MANAGER(firstIndex_, count, table.release(), pixels.release(), rowTable.release(),
                            "bob library builder");
}

bool BobLibraryBuilder::SaveBmd(const char* path) const {
  std::unique_ptr<XB_BOB_MANAGER> library(Build());
  return SaveObjectToFile(*library, path, false);
}

// --- FontBuilder ---

void FontBuilder::AddGlyph(uint8_t code, const XB_BITMAP& glyph, uint8_t key, int32_t offsetX,
                           int32_t offsetY) {
  if (code < 32) XB_FatalError("font builder: character code %u has no glyph slot (codes start at 32)", code);
  glyphs_.AddPacked(code - 32u, glyph, key, offsetX, offsetY);
}

XB_FONT* FontBuilder::Build() const {
  return new XB_FONT(lineHeight_, glyphs_.Build());
}

bool FontBuilder::SaveFnt(const char* path) const {
  std::unique_ptr<XB_FONT> font(Build());
  return SaveObjectToFile(*font, path, false);
}
