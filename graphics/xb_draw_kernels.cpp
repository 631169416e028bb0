#include "graphics/xb_draw_kernels.h"

#include <cstdlib>
#include <cstring>

#include "base/xb_error.h"
#include "graphics/xb_span_plain.h"

// The vector sets, each in a file of its own compiled for its instruction set (see CMakeLists.txt).
#if defined(TL_DRAW_X86)
const XB_DRAW_KERNELS* XB_SseDrawKernels();     // xb_draw_kernels_sse.cpp
const XB_DRAW_KERNELS* XB_Avx2DrawKernels();    // xb_draw_kernels_avx2.cpp
const XB_DRAW_KERNELS* XB_Avx512DrawKernels();  // xb_draw_kernels_avx512.cpp
#endif

namespace {

void MapSpanPlain(uint8_t* d, const uint8_t* s, int32_t n, const XB_LOOKUP& lookup) {
  XB_MapRunPlain(d, s, n, lookup.table);
}

// d[k] = table[s[k]] (or s[k] for a copy) where pass[k] is 0xFF, with no branch per pixel: masks
// that dissolve as noise pass and fail at random. Eight pixels at a time, the word blended into the
// bitmap's under the pass bytes; the last word overlaps the one before (a byte written twice gets the
// same value), and a span shorter than a word is blended byte by byte.
template <bool kMap>
void WherePlain(uint8_t* d, const uint8_t* s, const uint8_t* pass, int32_t n, const uint8_t* table) {
  if (n < 8) {
    for (int32_t k = 0; k < n; ++k) {
      const uint8_t m = pass[k], v = kMap ? table[s[k]] : s[k];
      d[k] = static_cast<uint8_t>((v & m) | (d[k] & ~m));
    }
    return;
  }
  for (int32_t k = 0;; k += 8) {
    if (k + 8 > n) k = n - 8;
    uint64_t p;
    std::memcpy(&p, pass + k, 8);
    if (p != 0) {
      uint64_t v;
      if (kMap)
        v = XB_Gather8(s + k, table);
      else
        std::memcpy(&v, s + k, 8);
      if (p != ~uint64_t{0}) {
        uint64_t old;
        std::memcpy(&old, d + k, 8);
        v = (v & p) | (old & ~p);
      }
      std::memcpy(d + k, &v, 8);
    }
    if (k + 8 >= n) break;
  }
}

void MapSpanWherePlain(uint8_t* d, const uint8_t* s, const uint8_t* pass, int32_t n,
                       const XB_LOOKUP& lookup) {
  WherePlain<true>(d, s, pass, n, lookup.table);
}

void CopySpanWherePlain(uint8_t* d, const uint8_t* s, const uint8_t* pass, int32_t n) {
  WherePlain<false>(d, s, pass, n, nullptr);
}

template <int kOp>
void RowsPlain(const uint32_t* desc, int32_t rows, const uint8_t* bytes, uint8_t* dst, ptrdiff_t pitch,
               int32_t x0, const uint8_t* table) {
  for (int32_t r = 0; r < rows; ++r, dst += pitch) {
    const uint32_t dr = desc[r];
    if (dr == 0xFFFFFFFFu) continue;
    const uint8_t* data = bytes + (dr & 0x3FFFFFu);
    uint8_t* o = dst + x0 + static_cast<int32_t>(dr >> 22);
    for (;;) {
      const uint8_t b = *data++;
      if (b == 0) break;
      if (b & 0x80) {
        o += b & 0x7F;
        continue;
      }
      if (kOp == XB_ROW_COPY) {
        XB_CopyRunPlain(o, data, b);
        data += b;
      } else if (kOp == XB_ROW_MAP) {
        XB_MapRunPlain(o, data, b, table);
        data += b;
      } else {
        XB_MapRunPlain(o, o, b, table);
      }
      o += b;
    }
  }
}

void DrawRowsPlain(int op, const uint32_t* desc, int32_t rows, const uint8_t* bytes, uint8_t* dst,
                   ptrdiff_t pitch, int32_t x0, const XB_LOOKUP* lookup) {
  if (op == XB_ROW_COPY)
    RowsPlain<XB_ROW_COPY>(desc, rows, bytes, dst, pitch, x0, nullptr);
  else if (op == XB_ROW_MAP)
    RowsPlain<XB_ROW_MAP>(desc, rows, bytes, dst, pitch, x0, lookup->table);
  else
    RowsPlain<XB_ROW_MAP_IN_PLACE>(desc, rows, bytes, dst, pitch, x0, lookup->table);
}

int32_t MaskPassPlain(const uint8_t* runs, const uint8_t* end, int32_t col, int32_t right, uint8_t threshold,
                      uint8_t* pass, uint64_t* any) {
  constexpr uint64_t kCounts = 0x00FF00FF00FF00FFull, kOnes = 0x0001000100010001ull;
  uint64_t seen = 0;
  uint8_t* o = pass;
  while (runs[0] != 0 && col <= right) {
    // Masks that dissolve as noise are runs of one pixel: the levels of the next eight runs become
    // eight pass bytes at once, of which the leading ones that count 1 are kept (none, when the first
    // run is longer); the run after them goes alone. No branch depends on how many were kept (masks
    // mix runs of one and two pixels at random, and it would be mispredicted every few runs).
    if (end - runs >= 16) {
      uint64_t a, b;
      std::memcpy(&a, runs, 8);
      std::memcpy(&b, runs + 8, 8);
      const uint64_t notOneA = (a & kCounts) ^ kOnes, notOneB = (b & kCounts) ^ kOnes;
      const int32_t ka = notOneA ? __builtin_ctzll(notOneA) >> 4 : 4;
      const int32_t kb = notOneB ? __builtin_ctzll(notOneB) >> 4 : 4;
      const int32_t k = ka < 4 ? ka : 4 + kb;
      uint64_t v = 0;
      for (int i = 0; i < 8; ++i) v |= uint64_t{runs[2 * i + 1] <= threshold} << (8 * i);
      v *= 0xFF;
      std::memcpy(o, &v, 8);
      seen |= k == 8 ? v : v & ((uint64_t{1} << (8 * k)) - 1);
      o += k;
      col += k;
      runs += 2 * k;
      if (runs[0] == 0 || col > right) break;
    }
    const int32_t n = runs[0];
    // 0 or all ones, without a branch: noise masks pass and fail at random.
    const uint64_t v = uint64_t{0} - uint64_t{runs[1] <= threshold};
    seen |= v;
    // Whole words, the last reaching past the run (the next run, or the slack behind the row, takes
    // those bytes); no call of memset, whose start-up outweighs a short fill.
    for (int32_t k = 0; k < n; k += 8) std::memcpy(o + k, &v, 8);
    o += n;
    col += n;
    runs += 2;
  }
  *any |= seen;
  return col;
}

bool LevelPassPlain(const uint8_t* level, int32_t n, uint8_t threshold, uint8_t* pass) {
  uint8_t seen = 0;
  for (int32_t k = 0; k < n; ++k) {
    const uint8_t v = level[k] <= threshold ? 0xFF : 0;
    pass[k] = v;
    seen |= v;
  }
  return seen != 0;
}

const XB_DRAW_KERNELS kPlain = {"plain",       MapSpanPlain,  MapSpanWherePlain, CopySpanWherePlain,
                                DrawRowsPlain, MaskPassPlain, LevelPassPlain};

#if defined(TL_DRAW_X86)
// A set's kernels as the drawing calls them: a kernel a vector set leaves out (null) is the plain one.
// Only x86 builds have vector sets (the WebAssembly and other builds draw with the plain one alone).
XB_DRAW_KERNELS Complete(const XB_DRAW_KERNELS& set) {
  XB_DRAW_KERNELS k = set;
  if (!k.mapSpan) k.mapSpan = kPlain.mapSpan;
  if (!k.mapSpanWhere) k.mapSpanWhere = kPlain.mapSpanWhere;
  if (!k.copySpanWhere) k.copySpanWhere = kPlain.copySpanWhere;
  if (!k.drawRows) k.drawRows = kPlain.drawRows;
  if (!k.maskPass) k.maskPass = kPlain.maskPass;
  if (!k.levelPass) k.levelPass = kPlain.levelPass;
  return k;
}
#endif

struct KernelSets {
  XB_DRAW_KERNELS set[4];
  bool runs[4] = {true, false, false, false};  // by XB_DRAW_KERNEL_NAMES
  const XB_DRAW_KERNELS* active = nullptr;
};

// What this build has and this processor runs, read once (a function-local static, so no start-up
// order matters), and the set chosen for the drawing.
KernelSets& Sets() {
  static KernelSets sets = [] {
    KernelSets s;
    s.set[0] = kPlain;
    s.set[1] = s.set[2] = s.set[3] = kPlain;
#if defined(TL_DRAW_X86)
    __builtin_cpu_init();
    const XB_DRAW_KERNELS* vector[3] = {XB_SseDrawKernels(), XB_Avx2DrawKernels(), XB_Avx512DrawKernels()};
    const bool cpu[3] = {
        __builtin_cpu_supports("ssse3") != 0,
        __builtin_cpu_supports("avx2") != 0,
        __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
            __builtin_cpu_supports("avx512vbmi"),
    };
    for (int i = 0; i < 3; ++i)
      if (vector[i] && cpu[i]) {
        s.set[i + 1] = Complete(*vector[i]);
        s.runs[i + 1] = true;
      }
#endif
    int best = 0;
    for (int i = 0; i < 4; ++i)
      if (s.runs[i]) best = i;
    s.active = &s.set[best];
    if (const char* wanted = std::getenv("TILLANDS_DRAW_KERNELS"); wanted && *wanted) {
      int found = -1;
      for (int i = 0; i < 4; ++i)
        if (std::strcmp(wanted, XB_DRAW_KERNEL_NAMES[i]) == 0) found = i;
      if (found >= 0 && s.runs[found])
        s.active = &s.set[found];
      else
        XB_Warning("TILLANDS_DRAW_KERNELS=%.40s: %s; drawing with %s", wanted,
                   found < 0 ? "no such kernel set (plain, sse, avx2, avx512)"
                             : "this program or processor cannot run that set",
                   s.active->name);
    }
    return s;
  }();
  return sets;
}

}  // namespace

void XB_PrepareLookup(XB_LOOKUP& lookup, const uint8_t* table) {
  lookup.table = table;
  uint8_t diff[256];
  for (int i = 0; i < 256; ++i) diff[i] = static_cast<uint8_t>(table[i] ^ i);
  for (int half = 0; half < 256; half += 128) {
    std::memcpy(lookup.xorRows + half, diff + half, 16);
    for (int i = half + 16; i < half + 128; ++i) lookup.xorRows[i] = diff[i] ^ diff[i - 16];
  }
  int few = 0, lower = 0;
  for (int k = 0; k < 16; ++k) {
    uint8_t any = 0;
    for (int j = 0; j < 16; ++j) any |= lookup.xorRows[16 * k + j];
    if (!any) continue;
    if (few < XB_LOOKUP_FEW_ROWS) lookup.rows[few] = static_cast<uint8_t>(k);
    ++few;
    if (k < 8) ++lower;
  }
  lookup.fewRows = static_cast<int8_t>(few <= XB_LOOKUP_FEW_ROWS ? few : -1);
  lookup.fewLower = static_cast<int8_t>(lower);
}

const char* const XB_DRAW_KERNEL_NAMES[] = {"plain", "sse", "avx2", "avx512", nullptr};

const XB_DRAW_KERNELS& XB_PlainDrawKernels() {
  return kPlain;
}

const XB_DRAW_KERNELS* XB_FindDrawKernels(const char* name) {
  KernelSets& s = Sets();
  for (int i = 0; i < 4; ++i)
    if (std::strcmp(name, XB_DRAW_KERNEL_NAMES[i]) == 0) return s.runs[i] ? &s.set[i] : nullptr;
  return nullptr;
}

const XB_DRAW_KERNELS& XB_ActiveDrawKernels() {
  return *Sets().active;
}

void XB_UseDrawKernels(const XB_DRAW_KERNELS& kernels) {
  Sets().active = &kernels;
}
