#include "graphics/xb_bob_manager.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "base/xb_error.h"
#include "base/xb_file.h"
#include "base/xb_storable_buffer.h"
#include "graphics/xb_bitmap.h"
#include "graphics/xb_draw_kernels.h"
#include "graphics/xb_palette.h"
#include "graphics/xb_span_plain.h"

XB_BOB_MANAGER::XB_BOB_MANAGER(XB_FILE& file, uint16_t /*version*/) {
  firstIndex_ = file.ReadU32();
  count_ = file.ReadU32();
  pixelBytesSize_ = file.ReadU32();
  file.Read(reserved_, sizeof(reserved_));
  try {
    if (count_ != 0) {
      // The bob table alone needs 28 bytes per entry: refuse absurd counts before loading anything.
      file.RequireRemaining(static_cast<uint64_t>(count_) * XB_BOB_ENTRY_SIZE, "XB_BOB_MANAGER");
      bobTableBuffer_ = LoadObjectOfClass<XB_STORABLE_BUFFER>(file, "XB_BOB_MANAGER");
      pixelBuffer_ = LoadObjectOfClass<XB_STORABLE_BUFFER>(file, "XB_BOB_MANAGER");
      rowBuffer_ = LoadObjectOfClass<XB_STORABLE_BUFFER>(file, "XB_BOB_MANAGER");
      // The bytes in use can never exceed the stored block; a larger figure would make a save grow the
      // block to whatever the header claims.
      if (pixelBytesSize_ > pixelBuffer_->Size())
        XB_FatalError("XB_BOB_MANAGER - file %s - corrupt data: %u pixel bytes in use, %u stored",
                      XB_CutPath(file.Path(), 80).c_str(), pixelBytesSize_, pixelBuffer_->Size());
    }
    Validate(file.Path());
  } catch (...) {
    FreeParts();
    throw;
  }
}

void XB_BOB_MANAGER::FreeParts() {
  delete bobTableBuffer_;
  delete pixelBuffer_;
  delete rowBuffer_;
  delete[] entryPalettes_;
  delete[] overhang_;
  bobTableBuffer_ = pixelBuffer_ = rowBuffer_ = nullptr;
  entryPalettes_ = nullptr;
  overhang_ = nullptr;
}

XB_BOB_MANAGER::XB_BOB_MANAGER(uint32_t firstIndex, uint32_t count, XB_STORABLE_BUFFER* bobTable,
                               XB_STORABLE_BUFFER* pixelBytes, XB_STORABLE_BUFFER* rowTable, const char* what)
    : firstIndex_(firstIndex), count_(count) {
  if (count_ == 0) {
    delete bobTable;
    delete pixelBytes;
    delete rowTable;
  } else {
    bobTableBuffer_ = bobTable;
    pixelBuffer_ = pixelBytes;
    rowBuffer_ = rowTable;
    pixelBytesSize_ = pixelBuffer_ ? pixelBuffer_->Size() : 0;
  }
  try {
    Validate(what);
  } catch (...) {
    FreeParts();
    throw;
  }
}

XB_BOB_MANAGER::~XB_BOB_MANAGER() {
  FreeParts();
}

uint32_t XB_BOB_MANAGER::GetPixelBufferSize() const {
  return pixelBuffer_ ? pixelBuffer_->Size() : 0;
}

namespace {
// Columns a row covers from its start column up to its last pixel that can be written, or -1 when
// its data runs past the end of the pixel bytes.
int64_t RowExtent(const uint8_t* bytes, uint32_t size, uint32_t offset, uint16_t kind) {
  uint64_t pos = offset;
  int64_t col = 0, extent = 0;
  for (;;) {
    if (pos >= size) return -1;
    const uint8_t b = bytes[pos++];
    if (kind == XB_BOB_MASK) {
      if (b == 0) return extent;
      if (pos >= size) return -1;
      ++pos;  // level
      col += b;
      extent = col;
    } else {
      if (b == 0) return extent;
      if (b & 0x80) {
        col += b & 0x7F;
      } else {
        if (kind == XB_BOB_PACKED) {
          if (pos + b > size) return -1;
          pos += b;
        }
        col += b;
        extent = col;
      }
    }
  }
}
}  // namespace

void XB_BOB_MANAGER::Validate(const char* source) {
  // Messages are bounded: a long path keeps its end (the file name).
  const std::string cut = XB_CutPath(source ? source : "(memory)", 80);
  const char* what = cut.c_str();
  if (count_ == 0) return;
  if (!bobTableBuffer_ || !pixelBuffer_ || !rowBuffer_)
    XB_FatalError("XB_BOB_MANAGER - file %s - corrupt data: library parts missing", what);
  const uint64_t tableBytes = static_cast<uint64_t>(count_) * XB_BOB_ENTRY_SIZE;
  if (bobTableBuffer_->Size() < tableBytes)
    XB_FatalError("XB_BOB_MANAGER - file %s - corrupt data: %u bobs need a %llu-byte table, it holds %u",
                  what, count_, static_cast<unsigned long long>(tableBytes), bobTableBuffer_->Size());
  bobTable_ = bobTableBuffer_->Data();
  pixelBytes_ = pixelBuffer_->Data();
  rowTable_ = reinterpret_cast<const uint32_t*>(rowBuffer_->Data());
  rowCount_ = rowBuffer_->Size() / 4;
  const uint32_t pixelSize = pixelBuffer_->Size();

  overhang_ = new uint8_t[count_]();
  // Rows may be shared between bobs (and a damaged file may point thousands of descriptors at one long
  // row), so every distinct (kind, offset) is walked once: collect them, sort, walk each, then check
  // every descriptor against its row's extent. Two allocations, no per-row nodes.
  auto rowKey = [](uint16_t kind, uint32_t offset) { return (uint64_t{kind} << 32) | offset; };
  std::vector<uint64_t> keys;
  keys.reserve(rowCount_);
  // Libraries written row after row (ours, and most) list their rows in ascending order: then the
  // keys are already sorted and distinct, and the n-th row of the walk is the n-th key.
  bool inOrder = false;
  size_t nextKey = 0;
  for (int pass = 0; pass < 2; ++pass) {
    std::vector<int64_t> extents;
    if (pass == 1) {
      inOrder = std::adjacent_find(keys.begin(), keys.end(), std::greater_equal<uint64_t>()) == keys.end();
      if (!inOrder) {
        std::sort(keys.begin(), keys.end());
        keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
      }
      extents.resize(keys.size());
      for (size_t k = 0; k < keys.size(); ++k)
        extents[k] = RowExtent(pixelBytes_, pixelSize, static_cast<uint32_t>(keys[k]),
                               static_cast<uint16_t>(keys[k] >> 32));
    }
    for (uint32_t i = 0; i < count_; ++i) {
      XB_BOB_ENTRY e;
      std::memcpy(&e, bobTable_ + static_cast<uint64_t>(i) * XB_BOB_ENTRY_SIZE, sizeof(e));
      if (e.kind == XB_BOB_NONE) continue;
      const uint32_t number = firstIndex_ + i;
      if (pass == 0) {
        if (e.width < 0 || e.height < 0 || e.width > XB_BOB_MAX_SIDE || e.height > XB_BOB_MAX_SIDE ||
            e.x < -XB_BOB_MAX_OFFSET || e.x > XB_BOB_MAX_OFFSET || e.y < -XB_BOB_MAX_OFFSET ||
            e.y > XB_BOB_MAX_OFFSET)
          XB_FatalError(
              "XB_BOB_MANAGER - file %s - corrupt data: bob %u has a bad rectangle (%d, %d, %d, %d)", what,
              number, e.x, e.y, e.width, e.height);
      }
      // Entries of unknown kinds are never drawn, but their rectangles are read (GetBobRect).
      if (e.kind != XB_BOB_PACKED && e.kind != XB_BOB_SHADOW && e.kind != XB_BOB_MASK) continue;
      if (pass == 0 &&
          (e.firstRow < 0 || static_cast<uint64_t>(e.firstRow) + static_cast<uint64_t>(e.height) > rowCount_))
        XB_FatalError(
            "XB_BOB_MANAGER - file %s - corrupt data: rows %d..%lld of bob %u lie outside the row table (%u "
            "rows)",
            what, e.firstRow, static_cast<long long>(e.firstRow) + e.height - 1, number, rowCount_);
      for (int32_t r = 0; r < e.height; ++r) {
        const uint32_t d = rowTable_[e.firstRow + r];
        if (d == XB_BOB_EMPTY_ROW) continue;
        const uint64_t key = rowKey(e.kind, d & XB_BOB_OFFSET_MASK);
        if (pass == 0) {
          keys.push_back(key);
          continue;
        }
        const size_t k =
            inOrder ? nextKey++ : size_t(std::lower_bound(keys.begin(), keys.end(), key) - keys.begin());
        const int64_t extent = extents[k];
        if (extent < 0)
          XB_FatalError(
              "XB_BOB_MANAGER - file %s - corrupt data: row %d of bob %u runs past the pixel bytes (%u "
              "bytes)",
              what, r, number, pixelSize);
        if (static_cast<int64_t>(d >> XB_BOB_COLUMN_SHIFT) + extent > e.width) overhang_[i] = 1;
      }
    }
  }
}

void XB_BOB_MANAGER::Save(XB_FILE& file) {
  if (count_ == 0) {
    // An empty library stores no buffers, so there is no block to make or size.
  } else if (pixelBuffer_) {
    // Growing is harmless; the in-memory block is never shrunk below what the validated rows use, the
    // stored copy is cut to the declared size instead.
    if (pixelBytesSize_ > pixelBuffer_->Size()) {
      pixelBuffer_->Resize(pixelBytesSize_, true, 0);
      pixelBytes_ = pixelBuffer_->Data();
    }
  } else {
    pixelBuffer_ = new XB_STORABLE_BUFFER(pixelBytesSize_, 0);
    pixelBytes_ = pixelBuffer_->Data();
  }
  file.WriteU32(firstIndex_);
  file.WriteU32(count_);
  file.WriteU32(pixelBytesSize_);
  file.Write(reserved_, sizeof(reserved_));
  if (count_ == 0) return;
  uint8_t* table = bobTableBuffer_->Data();
  for (uint32_t i = 0; i < count_; ++i) std::memset(table + i * XB_BOB_ENTRY_SIZE + 24, 0, 4);
  SaveObject(*bobTableBuffer_, file);
  if (pixelBytesSize_ < pixelBuffer_->Size()) {
    file.WriteU16(XB_CLASS_BUFFER);
    file.WriteU16(0);
    file.WriteU32(pixelBytesSize_);
    file.Write(pixelBuffer_->Data(), pixelBytesSize_);
  } else {
    SaveObject(*pixelBuffer_, file);
  }
  SaveObject(*rowBuffer_, file);
}

const XB_BOB_ENTRY* XB_BOB_MANAGER::GetEntry(uint32_t number) const {
  const uint32_t i = number - firstIndex_;
  if (i >= count_) return nullptr;
  return reinterpret_cast<const XB_BOB_ENTRY*>(bobTable_ + static_cast<uint64_t>(i) * XB_BOB_ENTRY_SIZE);
}

bool XB_BOB_MANAGER::GetBobRect(uint32_t number, XB_RECT& rect) const {
  const XB_BOB_ENTRY* e = GetEntry(number);
  if (!e || e->kind == XB_BOB_NONE) return false;
  rect.Set(e->x, e->y, e->width, e->height);
  return true;
}

uint16_t XB_BOB_MANAGER::GetBobKind(uint32_t number) const {
  const XB_BOB_ENTRY* e = GetEntry(number);
  return e ? e->kind : XB_BOB_NONE;
}

void XB_BOB_MANAGER::SetEntryPalette(uint32_t number, XB_PALETTE* palette) {
  const uint32_t i = number - firstIndex_;
  if (i >= count_) return;
  if (!entryPalettes_) entryPalettes_ = new XB_PALETTE*[count_]();
  entryPalettes_[i] = palette;
}

XB_PALETTE* XB_BOB_MANAGER::PaletteOf(uint32_t index) const {
  if (entryPalettes_ && entryPalettes_[index]) return entryPalettes_[index];
  if (palette_) return palette_;
  return XB_GetDefaultPalette();
}

// ---------------------------------------------------------------------------------------------
// Drawing. The rows were validated when the library was made, so the walkers below trust them.
// Each row is walked either unclipped (every run lands inside the bitmap: pointers advance, runs
// are written in tight loops) or clipped (each run is cut to the columns 0 .. clipRight).

namespace {

struct Placement {
  XB_RECT r;  // the bob's rectangle on the bitmap
  XB_RECT c;  // r clipped to the bitmap
  bool unclippedColumns;
};

bool Place(const XB_BOB_ENTRY& e, const XB_BITMAP& bitmap, int16_t x, int16_t y, Placement& p) {
  p.r.Set(int32_t{x} + e.x, int32_t{y} + e.y, e.width, e.height);
  if (!bitmap.GetRect().Intersects(p.r)) return false;
  p.c = p.r;
  p.c.ClipTo(bitmap.GetRect());
  bitmap.NoteDrawn(p.c);  // every bob draw is placed here first
  p.unclippedColumns = p.r.x >= 0 && p.r.x + p.r.width - 1 < bitmap.GetWidth();
  return true;
}

// Walks the control bytes of a packed or shadow row. `lit(dst, src, n)` writes n pixels from
// column-aligned dst; src is the literal data (packed) or null (shadow).
template <bool kHasPixels, class Pixel, class Lit>
inline void WalkRunRow(const uint8_t* data, Pixel* row, int32_t startX, int32_t clipRight, bool fast,
                       Lit lit) {
  if (fast) {
    Pixel* d = row + startX;
    for (;;) {
      const uint8_t b = *data++;
      if (b == 0) return;
      if (b & 0x80) {
        d += b & 0x7F;
      } else {
        lit(d, data, b);
        d += b;
        if (kHasPixels) data += b;
      }
    }
  }
  int32_t col = startX;
  for (;;) {
    const uint8_t b = *data++;
    if (b == 0 || col > clipRight) return;
    if (b & 0x80) {
      col += b & 0x7F;
      continue;
    }
    const int32_t lo = std::max(col, 0), hi = std::min(col + b - 1, clipRight);
    if (lo <= hi) lit(row + lo, kHasPixels ? data + (lo - col) : data, hi - lo + 1);
    col += b;
    if (kHasPixels) data += b;
  }
}

// Walks a level-mask row; `run(dst, n, level)` for the visible part of each run.
template <class Pixel, class Run>
inline void WalkMaskRow(const uint8_t* data, Pixel* row, int32_t startX, int32_t clipRight, bool fast,
                        Run run) {
  int32_t col = startX;
  for (;;) {
    const uint8_t n = data[0];
    if (n == 0 || col > clipRight) return;
    const uint8_t level = data[1];
    data += 2;
    if (fast) {
      run(row + col, n, level);
    } else {
      const int32_t lo = std::max(col, 0), hi = std::min(col + n - 1, clipRight);
      if (lo <= hi) run(row + lo, hi - lo + 1, level);
    }
    col += n;
  }
}

// Calls rowFn(data, dstRow, startX) for every non-empty visible row of the placed entry.
template <class Pixel, class RowFn>
inline void ForEachRow(const XB_BOB_ENTRY& e, const Placement& p, const uint32_t* rowTable,
                       const uint8_t* pixelBytes, Pixel* pixels, int32_t pitch, RowFn rowFn) {
  const uint32_t* desc = rowTable + e.firstRow + (p.c.y - p.r.y);
  Pixel* dst = pixels + static_cast<int64_t>(p.c.y) * pitch;
  for (int32_t r = 0; r < p.c.height; ++r, dst += pitch) {
    const uint32_t d = desc[r];
    if (d == XB_BOB_EMPTY_ROW) continue;
    rowFn(pixelBytes + (d & XB_BOB_OFFSET_MASK), dst, p.r.x + static_cast<int32_t>(d >> XB_BOB_COLUMN_SHIFT));
  }
}

// Level of the mask at increasing columns: runs follow each other from the mask row's start column;
// columns before the first run and after the last have level 255.
struct MaskCursor {
  const uint8_t* p;
  int32_t runStart;
  int32_t runEnd;  // exclusive
  uint8_t level = 255;
  bool done = false;

  MaskCursor(const uint8_t* data, int32_t start) : p(data), runStart(start), runEnd(start) { Advance(); }
  void Advance() {
    if (p[0] == 0) {
      done = true;
      level = 255;
      return;
    }
    runStart = runEnd;
    runEnd += p[0];
    level = p[1];
    p += 2;
  }
  // Level at column x and the last column (inclusive) that shares it.
  uint8_t At(int32_t x, int32_t& sameUntil) {
    while (!done && x >= runEnd) Advance();
    if (done) {
      sameUntil = INT32_MAX;
      return 255;
    }
    if (x < runStart) {
      sameUntil = runStart - 1;
      return 255;
    }
    sameUntil = runEnd - 1;
    return level;
  }
};

// Zeroes n bytes in a few fixed-size stores, the last overlapping the one before, none outside them
// (the gaps between a row's runs are short and change from run to run; a memset call or a byte loop
// would cost more than the bytes).
inline void ZeroBytes(uint8_t* p, int32_t n) {
  constexpr uint64_t kZero = 0;
  if (n >= 8) {
    for (int32_t k = 0; k + 8 < n; k += 8) std::memcpy(p + k, &kZero, 8);
    std::memcpy(p + n - 8, &kZero, 8);
  } else if (n >= 4) {
    std::memcpy(p, &kZero, 4);
    std::memcpy(p + n - 4, &kZero, 4);
  } else if (n > 0) {
    p[0] = p[n - 1] = p[n / 2] = 0;
  }
}

// The 8-bit draw through a level mask. Per row, the mask's runs (or its decoded levels) are first
// turned into pass bytes (0xFF where the level is at most the threshold) over the picture's visible
// columns. The picture row's literal runs are then gathered into one row of pixels, the pass bytes of
// the transparent gaps between them cleared, and the whole row from its first visible pixel to its
// last is mapped through table2[table1[.]] and written where its pass bytes say, in one kernel call:
// the vector sets set up their lookup once per row instead of once per run, and short runs, which a
// vector set would otherwise do a word at a time, share whole vectors.
void DrawThroughMask8(const XB_BOB_ENTRY& e, const XB_BOB_ENTRY& m, const uint8_t* plane, const Placement& p,
                      const Placement& q, uint8_t threshold, const uint32_t* rowTable,
                      const uint8_t* pixelBytes, const uint8_t* bytesEnd, uint8_t* pixels, int32_t pitch,
                      const uint8_t* table1, const uint8_t* table2) {
  const XB_DRAW_KERNELS& kernels = XB_ActiveDrawKernels();
  uint8_t table[256];
  XB_LOOKUP lookup;
  XB_PrepareLookup(lookup, table2);
  kernels.mapSpan(table, table1, 256, lookup);
  // The saver dissolves its pictures through identity tables: then the pixels are copied, not looked up.
  bool identity = true;
  for (int i = 0; i < 256; ++i) identity &= table[i] == i;
  if (!identity) XB_PrepareLookup(lookup, table);
  const int32_t left = p.c.x, right = p.c.x + p.c.width - 1;
  // Slack behind the visible columns: a run that starts inside writes its whole length (at most 255)
  // without a clip, and short runs are written as one 8-byte store.
  constexpr int32_t kSlack = XB_PASS_SLACK;
  thread_local std::vector<uint8_t> passRow, pixelRow;
  if (passRow.size() < static_cast<size_t>(p.c.width + kSlack)) {
    passRow.resize(static_cast<size_t>(p.c.width + kSlack));
    pixelRow.resize(static_cast<size_t>(p.c.width + kSlack));
  }
  uint8_t* pass = passRow.data();     // pass[c - left] for bitmap column c
  uint8_t* gather = pixelRow.data();  // the picture's pixel at column c, at gather[c - left]
  const uint32_t* desc = rowTable + e.firstRow + (p.c.y - p.r.y);
  uint8_t* dst = pixels + static_cast<int64_t>(p.c.y) * pitch;
  for (int32_t r = 0; r < p.c.height; ++r, dst += pitch) {
    const uint32_t d = desc[r];
    const int32_t k = p.c.y + r - q.r.y;
    if (d == XB_BOB_EMPTY_ROW || k < 0 || k >= m.height) continue;
    uint64_t any = 0;
    if (plane) {
      // The decoded levels: one comparison per visible column of the mask, none outside it.
      const uint8_t* level = plane + static_cast<int64_t>(k) * m.width - q.r.x;  // level[c] for column c
      const int32_t from = std::max(left, q.r.x), to = std::min(right, q.r.x + m.width - 1);
      if (from > to) continue;
      if (!kernels.levelPass(level + from, to - from + 1, threshold, pass + (from - left))) continue;
      ZeroBytes(pass, from - left);
      ZeroBytes(pass + (to + 1 - left), right - to);
    } else {
      const uint32_t md = rowTable[m.firstRow + k];
      if (md == XB_BOB_EMPTY_ROW) continue;
      const uint8_t* run = pixelBytes + (md & XB_BOB_OFFSET_MASK);
      int32_t col = q.r.x + static_cast<int32_t>(md >> XB_BOB_COLUMN_SHIFT);
      // Runs that end before the visible columns are skipped, one that straddles them is cut.
      while (run[0] != 0 && col + run[0] <= left) {
        col += run[0];
        run += 2;
      }
      if (run[0] == 0) continue;  // the mask row ends before the visible columns
      // Columns before the mask's first run and after its last have level 255: never drawn.
      if (col > left) std::memset(pass, 0, static_cast<size_t>(std::min(col, right + 1) - left));
      if (col < left) {
        const int32_t n = col + run[0] - left;
        const uint8_t v = run[1] <= threshold ? 0xFF : 0;
        std::memset(pass, v, static_cast<size_t>(n));
        any |= v;
        col = left + n;
        run += 2;
      }
      if (run[0] != 0 && col <= right)
        col = kernels.maskPass(run, bytesEnd, col, right, threshold, pass + (col - left), &any);
      if (col <= right) std::memset(pass + (col - left), 0, static_cast<size_t>(right - col + 1));
      if (!any) continue;
    }
    // The picture row's visible runs, gathered from `first` to `end` (columns minus left).
    int32_t first = -1, end = 0;
    const int32_t startX = p.r.x + static_cast<int32_t>(d >> XB_BOB_COLUMN_SHIFT);
    WalkRunRow<true>(pixelBytes + (d & XB_BOB_OFFSET_MASK), dst, startX, right, false,
                     [&](uint8_t* out, const uint8_t* s, int32_t n) {
                       const int32_t at = static_cast<int32_t>(out - dst) - left;
                       if (first < 0)
                         first = at;
                       else
                         ZeroBytes(pass + end, at - end);  // transparent: the bitmap's pixels stay
                       XB_CopyRunPlain(gather + at, s, n);
                       end = at + n;
                     });
    if (first < 0) continue;
    if (identity)
      kernels.copySpanWhere(dst + left + first, gather + first, pass + first, end - first);
    else
      kernels.mapSpanWhere(dst + left + first, gather + first, pass + first, end - first, lookup);
  }
}

}  // namespace

void XB_BOB_MANAGER::DrawBob(uint32_t number, XB_BITMAP& bitmap, int16_t x, int16_t y, int mode) {
  const uint32_t i = number - firstIndex_;
  if (i >= count_) return;
  XB_BOB_ENTRY e;
  std::memcpy(&e, bobTable_ + static_cast<uint64_t>(i) * XB_BOB_ENTRY_SIZE, sizeof(e));
  if (!bitmap.GetPixels()) return;
  if (e.kind != XB_BOB_PACKED && e.kind != XB_BOB_SHADOW && e.kind != XB_BOB_MASK) return;
  if (mode != 0 && mode != 1) return;
  if (mode == 1 && (e.kind != XB_BOB_PACKED || !remapTable_)) return;
  Placement p;
  if (!Place(e, bitmap, x, y, p)) return;
  const bool fastColumns = p.unclippedColumns && !overhang_[i];
  const int32_t clipRight = p.c.x + p.c.width - 1;
  const int32_t pitch = bitmap.GetPitch();
  const uint8_t* M = remapTable_;
  auto rows = [&](auto* pixels, auto rowFn) {
    ForEachRow(e, p, rowTable_, pixelBytes_, pixels, pitch,
               [&](const uint8_t* data, auto* dst, int32_t startX) {
                 rowFn(data, dst, startX, fastColumns && startX >= 0);
               });
  };
  const uint16_t format = bitmap.GetFormat();
  const XB_DRAW_KERNELS& kernels = XB_ActiveDrawKernels();
  // The table of a remapped or shadow draw, made ready for the kernels once for the whole bob.
  XB_LOOKUP lookup;
  // A bob whose every run lies inside the bitmap: whole rows in one kernel call.
  auto drawRows = [&](uint8_t* pixels, int op) {
    kernels.drawRows(op, rowTable_ + e.firstRow + (p.c.y - p.r.y), p.c.height, pixelBytes_,
                     pixels + static_cast<int64_t>(p.c.y) * pitch, pitch, p.r.x, &lookup);
  };

  if (e.kind == XB_BOB_PACKED) {
    if (format == XB_PIXELS_8) {
      uint8_t* px = bitmap.GetPixels();
      if (mode == 1) XB_PrepareLookup(lookup, M);
      if (fastColumns) {
        drawRows(px, mode == 0 ? XB_ROW_COPY : XB_ROW_MAP);
      } else if (mode == 0) {
        rows(px, [&](const uint8_t* data, uint8_t* dst, int32_t sx, bool fast) {
          WalkRunRow<true>(data, dst, sx, clipRight, fast,
                           [](uint8_t* d, const uint8_t* s, int32_t n) { XB_CopyRunPlain(d, s, n); });
        });
      } else {
        const XB_MapSpanFn map = kernels.mapSpan;
        rows(px, [&](const uint8_t* data, uint8_t* dst, int32_t sx, bool fast) {
          WalkRunRow<true>(data, dst, sx, clipRight, fast,
                           [&lookup, map](uint8_t* d, const uint8_t* s, int32_t n) { map(d, s, n, lookup); });
        });
      }
    } else {
      XB_PALETTE* palette = PaletteOf(i);
      if (!palette) return;
      auto hi = [&](auto* px, const auto* T) {
        if (!T) return;
        if (mode == 0) {
          rows(px, [&](const uint8_t* data, auto* dst, int32_t sx, bool fast) {
            WalkRunRow<true>(data, dst, sx, clipRight, fast, [T](auto* d, const uint8_t* s, int32_t n) {
              for (int32_t k = 0; k < n; ++k) d[k] = T[s[k]];
            });
          });
        } else {
          rows(px, [&](const uint8_t* data, auto* dst, int32_t sx, bool fast) {
            WalkRunRow<true>(data, dst, sx, clipRight, fast, [T, M](auto* d, const uint8_t* s, int32_t n) {
              for (int32_t k = 0; k < n; ++k) d[k] = T[M[s[k]]];
            });
          });
        }
      };
      if (format == XB_PIXELS_16)
        hi(bitmap.GetPixels16(), palette->Get16BitTable());
      else
        hi(bitmap.GetPixels32(), palette->Get32BitTable());
    }
  } else if (e.kind == XB_BOB_SHADOW) {
    if (format == XB_PIXELS_8) {
      const uint8_t* S = shadowTable_;
      if (!S) return;
      XB_PrepareLookup(lookup, S);
      if (fastColumns) {
        drawRows(bitmap.GetPixels(), XB_ROW_MAP_IN_PLACE);
      } else {
        const XB_MapSpanFn map = kernels.mapSpan;
        rows(bitmap.GetPixels(), [&](const uint8_t* data, uint8_t* dst, int32_t sx, bool fast) {
          WalkRunRow<false>(data, dst, sx, clipRight, fast,
                            [&lookup, map](uint8_t* d, const uint8_t*, int32_t n) { map(d, d, n, lookup); });
        });
      }
    } else if (format == XB_PIXELS_16) {
      const XB_PIXEL_FORMAT_16* f = XB_GetPixelFormat16();
      if (!f) return;
      const uint16_t half = f->halfMask;
      rows(bitmap.GetPixels16(), [&](const uint8_t* data, uint16_t* dst, int32_t sx, bool fast) {
        WalkRunRow<false>(data, dst, sx, clipRight, fast, [half](uint16_t* d, const uint8_t*, int32_t n) {
          for (int32_t k = 0; k < n; ++k) d[k] = static_cast<uint16_t>((d[k] >> 1) & half);
        });
      });
    } else {
      rows(bitmap.GetPixels32(), [&](const uint8_t* data, uint32_t* dst, int32_t sx, bool fast) {
        WalkRunRow<false>(data, dst, sx, clipRight, fast, [](uint32_t* d, const uint8_t*, int32_t n) {
          for (int32_t k = 0; k < n; ++k) d[k] = (d[k] >> 1) & 0x7F7F7Fu;
        });
      });
    }
  } else if (e.kind == XB_BOB_MASK && format == XB_PIXELS_8) {
    rows(bitmap.GetPixels(), [&](const uint8_t* data, uint8_t* dst, int32_t sx, bool fast) {
      WalkMaskRow(data, dst, sx, clipRight, fast, [](uint8_t* d, int32_t n, uint8_t level) {
        if (level != 255) std::memset(d, level, static_cast<size_t>(n));
      });
    });
  }
}

void XB_BOB_MANAGER::DrawBobRemapped(uint32_t number, XB_BITMAP& bitmap, int16_t x, int16_t y,
                                     const uint8_t* table) {
  remapTable_ = table;
  DrawBob(number, bitmap, x, y, 1);
}

void XB_BOB_MANAGER::DrawBobShadow(uint32_t number, XB_BITMAP& bitmap, int16_t x, int16_t y,
                                   const uint8_t* table) {
  shadowTable_ = table;
  DrawBob(number, bitmap, x, y, 0);
}

void XB_BOB_MANAGER::DrawBobThroughMask(uint32_t number, uint32_t maskNumber, uint16_t threshold,
                                        XB_BITMAP& bitmap, int16_t x, int16_t y, const uint8_t* table1,
                                        const uint8_t* table2) {
  if (threshold > 254) {
    DrawBob(number, bitmap, x, y, 0);
    return;
  }
  if (!table1 || !table2 || !bitmap.GetPixels()) return;
  const XB_BOB_ENTRY* be = GetEntry(number);
  const XB_BOB_ENTRY* me = GetEntry(maskNumber);
  if (!be || !me || be->kind != XB_BOB_PACKED || me->kind != XB_BOB_MASK) return;
  const XB_BOB_ENTRY e = *be, m = *me;
  Placement p, q;
  if (!Place(e, bitmap, x, y, p) || !Place(m, bitmap, x, y, q)) return;
  const int32_t clipRight = p.c.x + p.c.width - 1;
  const int32_t pitch = bitmap.GetPitch();
  const uint8_t level = static_cast<uint8_t>(threshold);

  auto draw = [&](auto* pixels, auto write) {
    const uint32_t* desc = rowTable_ + e.firstRow + (p.c.y - p.r.y);
    auto* dst = pixels + static_cast<int64_t>(p.c.y) * pitch;
    for (int32_t r = 0; r < p.c.height; ++r, dst += pitch) {
      const uint32_t d = desc[r];
      const int32_t k = p.c.y + r - q.r.y;
      if (d == XB_BOB_EMPTY_ROW || k < 0 || k >= m.height) continue;
      const uint32_t md = rowTable_[m.firstRow + k];
      if (md == XB_BOB_EMPTY_ROW) continue;
      MaskCursor mask(pixelBytes_ + (md & XB_BOB_OFFSET_MASK),
                      q.r.x + static_cast<int32_t>(md >> XB_BOB_COLUMN_SHIFT));
      const int32_t startX = p.r.x + static_cast<int32_t>(d >> XB_BOB_COLUMN_SHIFT);
      // Always the clipped walker: each literal run is cut at the mask's run boundaries anyway.
      WalkRunRow<true>(pixelBytes_ + (d & XB_BOB_OFFSET_MASK), dst, startX, clipRight, false,
                       [&](auto* out, const uint8_t* s, int32_t n) {
                         const int32_t x0 = static_cast<int32_t>(out - dst);
                         int32_t xx = x0;
                         const int32_t end = x0 + n - 1;
                         while (xx <= end) {
                           int32_t same;
                           const uint8_t lv = mask.At(xx, same);
                           const int32_t segEnd = std::min(end, same);
                           if (lv <= level)
                             for (int32_t c = xx; c <= segEnd; ++c) write(dst[c], s[c - x0]);
                           xx = segEnd + 1;
                         }
                       });
    }
  };
  const uint16_t format = bitmap.GetFormat();
  if (format == XB_PIXELS_8) {
    DrawThroughMask8(e, m, LevelPlane(maskNumber - firstIndex_, m), p, q, level, rowTable_, pixelBytes_,
                     pixelBytes_ + GetPixelBufferSize(), bitmap.GetPixels(), pitch, table1, table2);
  } else {
    XB_PALETTE* palette = PaletteOf(number - firstIndex_);
    if (!palette) return;
    if (format == XB_PIXELS_16) {
      const uint16_t* T = palette->Get16BitTable();
      if (T) draw(bitmap.GetPixels16(), [=](uint16_t& d, uint8_t s) { d = T[table2[table1[s]]]; });
    } else {
      const uint32_t* T = palette->Get32BitTable();
      if (T) draw(bitmap.GetPixels32(), [=](uint32_t& d, uint8_t s) { d = T[table2[table1[s]]]; });
    }
  }
}

void XB_BOB_MANAGER::DrawShadowThroughMask(uint32_t maskNumber, uint16_t threshold, XB_BITMAP& bitmap,
                                           int16_t x, int16_t y, const uint8_t* table) {
  if (!table || !bitmap.GetPixels()) return;
  const uint32_t i = maskNumber - firstIndex_;
  const XB_BOB_ENTRY* me = GetEntry(maskNumber);
  if (!me || me->kind != XB_BOB_MASK) return;
  const XB_BOB_ENTRY e = *me;
  Placement p;
  if (!Place(e, bitmap, x, y, p)) return;
  const bool fastColumns = p.unclippedColumns && !overhang_[i];
  const int32_t clipRight = p.c.x + p.c.width - 1;
  const int32_t pitch = bitmap.GetPitch();
  auto walk = [&](auto* pixels, auto darken) {
    ForEachRow(e, p, rowTable_, pixelBytes_, pixels, pitch,
               [&](const uint8_t* data, auto* dst, int32_t startX) {
                 WalkMaskRow(data, dst, startX, clipRight, fastColumns && startX >= 0,
                             [&](auto* d, int32_t n, uint8_t level) {
                               if (level <= threshold)
                                 for (int32_t k = 0; k < n; ++k) darken(d[k]);
                             });
               });
  };
  const uint16_t format = bitmap.GetFormat();
  if (format == XB_PIXELS_8) {
    const XB_MapSpanFn map = XB_ActiveDrawKernels().mapSpan;
    XB_LOOKUP lookup;
    XB_PrepareLookup(lookup, table);
    ForEachRow(e, p, rowTable_, pixelBytes_, bitmap.GetPixels(), pitch,
               [&](const uint8_t* data, uint8_t* dst, int32_t startX) {
                 WalkMaskRow(data, dst, startX, clipRight, fastColumns && startX >= 0,
                             [&](uint8_t* d, int32_t n, uint8_t level) {
                               if (level <= threshold) map(d, d, n, lookup);
                             });
               });
  } else if (format == XB_PIXELS_16) {
    const XB_PIXEL_FORMAT_16* f = XB_GetPixelFormat16();
    if (!f) return;
    const uint16_t half = f->halfMask;
    walk(bitmap.GetPixels16(), [half](uint16_t& d) { d = static_cast<uint16_t>((d >> 1) & half); });
  } else {
    walk(bitmap.GetPixels32(), [](uint32_t& d) { d = (d >> 1) & 0x7F7F7Fu; });
  }
}

// A dissolve draws the same mask frame after frame with a rising threshold. Its runs are mostly one
// or two pixels long (noise), so walking them costs a step per pixel or two and a branch the
// processor cannot foresee; decoded once into a level per pixel, a row becomes pass bytes by one
// comparison per pixel. Null when the library's budget would be exceeded (the runs are walked then).
const uint8_t* XB_BOB_MANAGER::LevelPlane(uint32_t index, const XB_BOB_ENTRY& m) {
  if (levelPlanes_.size() != count_) levelPlanes_.resize(count_);
  if (levelPlanes_[index]) return levelPlanes_[index].get();
  // A mask whose runs reach beyond its width lends its levels to the columns there: only the runs say.
  if (overhang_[index]) return nullptr;
  const size_t bytes = static_cast<size_t>(m.width) * static_cast<size_t>(m.height);
  if (bytes == 0 || bytes > levelPlaneBudget_ - levelPlaneBytes_) return nullptr;
  std::unique_ptr<uint8_t[]> plane(new uint8_t[bytes]);
  std::memset(plane.get(), 255, bytes);  // no run: never drawn
  for (int32_t k = 0; k < m.height; ++k) {
    const uint32_t md = rowTable_[m.firstRow + k];
    if (md == XB_BOB_EMPTY_ROW) continue;
    uint8_t* row = plane.get() + static_cast<size_t>(k) * static_cast<size_t>(m.width);
    int32_t col = static_cast<int32_t>(md >> XB_BOB_COLUMN_SHIFT);
    for (const uint8_t* run = pixelBytes_ + (md & XB_BOB_OFFSET_MASK); run[0] != 0 && col < m.width;
         run += 2) {
      const int32_t n = std::min<int32_t>(run[0], m.width - col);
      std::memset(row + col, run[1], static_cast<size_t>(n));
      col += run[0];
    }
  }
  levelPlaneBytes_ += bytes;
  levelPlanes_[index] = std::move(plane);
  return levelPlanes_[index].get();
}

void XB_BOB_MANAGER::SetLevelPlaneBudget(size_t bytes) {
  levelPlanes_.clear();
  levelPlaneBytes_ = 0;
  levelPlaneBudget_ = bytes;
}

XB_STORABLE* XB_LoadBobManager(XB_FILE& file, uint16_t version) {
  return new XB_BOB_MANAGER(file, version);
}
