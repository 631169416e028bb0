// The AVX-512 (VBMI) versions of the drawing kernels. This file alone is compiled for that
// instruction set and is only called after the processor said it has it. It includes no header with
// inline functions shared with other files, so no AVX-512 copy of such a function can end up in code
// that runs on other processors.
#include "graphics/xb_draw_kernels.h"

#if defined(TL_DRAW_X86) && defined(__AVX512VBMI__) && defined(__AVX512BW__)

#include <immintrin.h>

// GCC 12 reports the intrinsics' own undefined-vector placeholders as maybe uninitialized.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

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

void MapSpan(uint8_t* d, const uint8_t* s, int32_t n, const XB_LOOKUP& table) {
  if (n <= 0) return;
  Map(d, s, n, Table(table.table));
}

void MapSpanWhere(uint8_t* d, const uint8_t* s, const uint8_t* pass, int32_t n, const XB_LOOKUP& table) {
  const Table t(table.table);
  for (; n > 0; n -= 64, d += 64, s += 64, pass += 64) {
    const __mmask64 m = Head(n);
    const __mmask64 write = m & _mm512_movepi8_mask(_mm512_maskz_loadu_epi8(m, pass));
    if (write) _mm512_mask_storeu_epi8(d, write, t.Map(_mm512_maskz_loadu_epi8(m, s)));
  }
}

void CopySpanWhere(uint8_t* d, const uint8_t* s, const uint8_t* pass, int32_t n) {
  for (; n > 0; n -= 64, d += 64, s += 64, pass += 64) {
    const __mmask64 m = Head(n);
    const __mmask64 write = m & _mm512_movepi8_mask(_mm512_maskz_loadu_epi8(m, pass));
    if (write) _mm512_mask_storeu_epi8(d, write, _mm512_maskz_loadu_epi8(write, s));
  }
}

template <int kOp>
void Rows(const uint32_t* desc, int32_t rows, const uint8_t* bytes, uint8_t* dst, ptrdiff_t pitch, int32_t x0,
          const XB_LOOKUP* table) {
  alignas(64) static const uint8_t kUnused[256] = {};  // a copy maps nothing
  const Table t(kOp == XB_ROW_COPY ? kUnused : table->table);
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
              int32_t x0, const XB_LOOKUP* table) {
  if (op == XB_ROW_COPY)
    Rows<XB_ROW_COPY>(desc, rows, bytes, dst, pitch, x0, table);
  else if (op == XB_ROW_MAP)
    Rows<XB_ROW_MAP>(desc, rows, bytes, dst, pitch, x0, table);
  else
    Rows<XB_ROW_MAP_IN_PLACE>(desc, rows, bytes, dst, pitch, x0, table);
}

// One run written byte by byte (runs of any length up to 255).
inline void FillRun(uint8_t* o, int32_t n, uint8_t v) {
  const __m512i value = _mm512_set1_epi8(static_cast<char>(v));
  for (; n > 64; n -= 64, o += 64) _mm512_storeu_si512(o, value);
  _mm512_mask_storeu_epi8(o, Head(n), value);
}

// The bits start..end-1 of the passing runs 8g .. 8g+7 (16-bit starts and ends), one word per run;
// an end of 64 shifts the one out, leaving every bit from start on.
template <int g>
inline __m512i RunBits(__m512i starts, __m512i ends, __mmask32 passing) {
  const __m512i one = _mm512_set1_epi64(1);
  const __m512i s = _mm512_cvtepu16_epi64(_mm512_extracti32x4_epi32(starts, g));
  const __m512i e = _mm512_cvtepu16_epi64(_mm512_extracti32x4_epi32(ends, g));
  const __m512i run = _mm512_sub_epi64(_mm512_sllv_epi64(one, e), _mm512_sllv_epi64(one, s));
  return _mm512_maskz_mov_epi64(static_cast<__mmask8>(passing >> (8 * g)), run);
}

// Mask rows of noise have runs of one or two pixels, so the runs are decoded 32 at a time: their
// start and end columns are prefix sums of the counts, each passing run becomes the bits
// [start, end) of one 64-bit word, and the word becomes 64 pass bytes. A group of runs that covers
// more than 64 columns is written run by run.
int32_t MaskPass(const uint8_t* runs, const uint8_t* end, int32_t col, int32_t right, uint8_t threshold,
                 uint8_t* pass, uint64_t* any) {
  const __m512i lane = _mm512_set_epi16(31, 30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 19, 18, 17, 16, 15,
                                        14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
  const __m512i low = _mm512_set1_epi16(0x00FF);
  const __m512i limit = _mm512_set1_epi16(threshold);
  uint64_t seen = 0;
  while (col <= right) {
    const int64_t available = end - runs;
    const __m512i v =
        _mm512_maskz_loadu_epi8(Head(available >= 64 ? 64 : static_cast<int32_t>(available)), runs);
    __m512i counts = _mm512_and_si512(v, low);
    // The row's end (a count of 0; bytes not loaded read as 0) cuts the group.
    const __mmask32 ended = _mm512_cmpeq_epi16_mask(counts, _mm512_setzero_si512());
    const int32_t groupRuns = ended ? __builtin_ctz(ended) : 32;
    const __mmask32 valid = groupRuns == 32 ? ~__mmask32{0} : (__mmask32{1} << groupRuns) - 1;
    counts = _mm512_maskz_mov_epi16(valid, counts);
    __m512i ends = counts;
    for (int shift = 1; shift < 32; shift *= 2) {
      const __m512i from = _mm512_sub_epi16(lane, _mm512_set1_epi16(static_cast<short>(shift)));
      ends = _mm512_add_epi16(ends, _mm512_maskz_permutexvar_epi16(~__mmask32{0} << shift, from, ends));
    }
    alignas(64) uint16_t endColumns[32];
    _mm512_store_si512(endColumns, ends);
    const int32_t total = endColumns[31];
    if (total > 64) {
      for (int32_t i = 0; i < groupRuns && col <= right; ++i, runs += 2) {
        const int32_t n = runs[0];
        const uint8_t value = runs[1] <= threshold ? 0xFF : 0;
        seen |= value;
        FillRun(pass, n, value);
        pass += n;
        col += n;
      }
      if (groupRuns < 32) break;
      continue;
    }
    const __m512i starts = _mm512_sub_epi16(ends, counts);
    const __mmask32 passing = valid & _mm512_cmple_epu16_mask(_mm512_srli_epi16(v, 8), limit);
    const __m512i bits = _mm512_or_si512(
        _mm512_or_si512(RunBits<0>(starts, ends, passing), RunBits<1>(starts, ends, passing)),
        _mm512_or_si512(RunBits<2>(starts, ends, passing), RunBits<3>(starts, ends, passing)));
    const uint64_t word = static_cast<uint64_t>(_mm512_reduce_or_epi64(bits));
    _mm512_storeu_si512(pass, _mm512_movm_epi8(word));
    seen |= word;
    pass += total;
    col += total;
    runs += 2 * groupRuns;
    if (groupRuns < 32) break;
  }
  *any |= seen;
  return col;
}

// The decoded levels' comparison is the plain one (this set could not be run where it was written).
const XB_DRAW_KERNELS kKernels = {"avx512", MapSpan,  MapSpanWhere, CopySpanWhere,
                                  DrawRows, MaskPass, nullptr};

}  // namespace

const XB_DRAW_KERNELS* XB_Avx512DrawKernels() {
  return &kKernels;
}

#elif defined(TL_DRAW_X86)

const XB_DRAW_KERNELS* XB_Avx512DrawKernels() {
  return nullptr;  // a compiler without that instruction set
}

#endif
