#include "graphics/xb_draw_kernels.h"

#include "graphics/xb_span_plain.h"

#if defined(TL_DRAW_AVX512)
const XB_DRAW_KERNELS* XB_Avx512DrawKernels();  // xb_draw_kernels_avx512.cpp
#endif

namespace {

void MapSpanPlain(uint8_t* d, const uint8_t* s, int32_t n, const uint8_t* table) {
  XB_MapRunPlain(d, s, n, table);
}

void MapSpanWherePlain(uint8_t* d, const uint8_t* s, const uint8_t* pass, int32_t n, const uint8_t* table) {
  int32_t k = 0;
  // Eight pixels at a time: the mapped word is blended into the bitmap's word under the pass bytes,
  // so that a mask that changes on every pixel costs no branch per pixel.
  for (; k + 8 <= n; k += 8) {
    uint64_t p;
    std::memcpy(&p, pass + k, 8);
    if (p == 0) continue;
    uint64_t v;
    std::memcpy(&v, s + k, 8);
    uint64_t out = 0;
    for (int b = 0; b < 8; ++b) out |= uint64_t{table[(v >> (8 * b)) & 0xFF]} << (8 * b);
    if (p != ~uint64_t{0}) {
      uint64_t old;
      std::memcpy(&old, d + k, 8);
      out = (out & p) | (old & ~p);
    }
    std::memcpy(d + k, &out, 8);
  }
  for (; k < n; ++k)
    if (pass[k]) d[k] = table[s[k]];
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
                   ptrdiff_t pitch, int32_t x0, const uint8_t* table) {
  if (op == XB_ROW_COPY)
    RowsPlain<XB_ROW_COPY>(desc, rows, bytes, dst, pitch, x0, table);
  else if (op == XB_ROW_MAP)
    RowsPlain<XB_ROW_MAP>(desc, rows, bytes, dst, pitch, x0, table);
  else
    RowsPlain<XB_ROW_MAP_IN_PLACE>(desc, rows, bytes, dst, pitch, x0, table);
}

int32_t MaskPassPlain(const uint8_t* runs, const uint8_t*, int32_t col, int32_t right, uint8_t threshold,
                      uint8_t* pass, uint64_t* any) {
  uint64_t seen = 0;
  uint8_t* o = pass;
  for (; runs[0] != 0 && col <= right; runs += 2) {
    const int32_t n = runs[0];
    // 0 or all ones, without a branch: noise masks pass and fail at random.
    const uint64_t v = uint64_t{0} - uint64_t{runs[1] <= threshold};
    seen |= v;
    if (n <= 8)
      std::memcpy(o, &v, 8);
    else
      std::memset(o, static_cast<uint8_t>(v), static_cast<size_t>(n));
    o += n;
    col += n;
  }
  *any |= seen;
  return col;
}

const XB_DRAW_KERNELS kPlain = {"plain", MapSpanPlain, MapSpanWherePlain, DrawRowsPlain, MaskPassPlain};

const XB_DRAW_KERNELS* DetectVector() {
#if defined(TL_DRAW_AVX512)
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
      __builtin_cpu_supports("avx512vbmi"))
    return XB_Avx512DrawKernels();
#endif
  return nullptr;
}

// Detected on first use (a function-local static, so no start-up order matters).
const XB_DRAW_KERNELS* Vector() {
  static const XB_DRAW_KERNELS* const vector = DetectVector();
  return vector;
}

bool g_forcePlain = false;

}  // namespace

const XB_DRAW_KERNELS& XB_PlainDrawKernels() {
  return kPlain;
}

const XB_DRAW_KERNELS* XB_VectorDrawKernels() {
  return Vector();
}

const XB_DRAW_KERNELS& XB_ActiveDrawKernels() {
  const XB_DRAW_KERNELS* vector = Vector();
  return g_forcePlain || !vector ? kPlain : *vector;
}

void XB_UsePlainDrawKernels(bool plain) {
  g_forcePlain = plain;
}
