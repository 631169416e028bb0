// The AVX-512 (VBMI) versions of the drawing kernels. This file alone is compiled for that
// instruction set and is only called after the processor said it has it. It includes no header with
// inline functions shared with other files, so no AVX-512 copy of such a function can end up in code
// that runs on other processors.
#if defined(TL_DRAW_AVX512) && defined(__AVX512VBMI__) && defined(__AVX512BW__)

#include <immintrin.h>

#include "graphics/xb_draw_kernels.h"

namespace {

// A 256-entry byte table in four registers; one lookup maps 64 bytes: two 128-entry permutes chosen
// by the index's top bit.
struct Table {
  __m512i t0, t1, t2, t3;
  explicit Table(const uint8_t* t)
      : t0(_mm512_loadu_si512(t)),
        t1(_mm512_loadu_si512(t + 64)),
        t2(_mm512_loadu_si512(t + 128)),
        t3(_mm512_loadu_si512(t + 192)) {}
  __m512i Map(__m512i x) const {
    const __m512i lo = _mm512_permutex2var_epi8(t0, x, t1);
    const __m512i hi = _mm512_permutex2var_epi8(t2, x, t3);
    return _mm512_mask_blend_epi8(_mm512_movepi8_mask(x), lo, hi);
  }
};

inline __mmask64 Head(int32_t n) {
  return n >= 64 ? ~__mmask64{0} : (__mmask64{1} << n) - 1;
}

inline void Copy(uint8_t* d, const uint8_t* s, int32_t n) {
  for (; n > 64; n -= 64, d += 64, s += 64) _mm512_storeu_si512(d, _mm512_loadu_si512(s));
  const __mmask64 m = Head(n);
  _mm512_mask_storeu_epi8(d, m, _mm512_maskz_loadu_epi8(m, s));
}

inline void Map(uint8_t* d, const uint8_t* s, int32_t n, const Table& t) {
  for (; n > 64; n -= 64, d += 64, s += 64) _mm512_storeu_si512(d, t.Map(_mm512_loadu_si512(s)));
  const __mmask64 m = Head(n);
  _mm512_mask_storeu_epi8(d, m, t.Map(_mm512_maskz_loadu_epi8(m, s)));
}

void MapSpan(uint8_t* d, const uint8_t* s, int32_t n, const uint8_t* table) {
  if (n <= 0) return;
  Map(d, s, n, Table(table));
}

void MapSpanWhere(uint8_t* d, const uint8_t* s, const uint8_t* pass, int32_t n, const uint8_t* table) {
  const Table t(table);
  for (; n > 0; n -= 64, d += 64, s += 64, pass += 64) {
    const __mmask64 m = Head(n);
    const __mmask64 write = m & _mm512_movepi8_mask(_mm512_maskz_loadu_epi8(m, pass));
    if (write) _mm512_mask_storeu_epi8(d, write, t.Map(_mm512_maskz_loadu_epi8(m, s)));
  }
}

template <int kOp>
void Rows(const uint32_t* desc, int32_t rows, const uint8_t* bytes, uint8_t* dst, ptrdiff_t pitch, int32_t x0,
          const uint8_t* table) {
  alignas(64) static const uint8_t kUnused[256] = {};  // a copy maps nothing
  const Table t(kOp == XB_ROW_COPY ? kUnused : table);
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
        Copy(o, data, b);
        data += b;
      } else if (kOp == XB_ROW_MAP) {
        Map(o, data, b, t);
        data += b;
      } else {
        Map(o, o, b, t);
      }
      o += b;
    }
  }
}

void DrawRows(int op, const uint32_t* desc, int32_t rows, const uint8_t* bytes, uint8_t* dst, ptrdiff_t pitch,
              int32_t x0, const uint8_t* table) {
  if (op == XB_ROW_COPY)
    Rows<XB_ROW_COPY>(desc, rows, bytes, dst, pitch, x0, table);
  else if (op == XB_ROW_MAP)
    Rows<XB_ROW_MAP>(desc, rows, bytes, dst, pitch, x0, table);
  else
    Rows<XB_ROW_MAP_IN_PLACE>(desc, rows, bytes, dst, pitch, x0, table);
}

const XB_DRAW_KERNELS kKernels = {"avx512vbmi", MapSpan, MapSpanWhere, DrawRows};

}  // namespace

const XB_DRAW_KERNELS* XB_Avx512DrawKernels() {
  return &kKernels;
}

#endif
