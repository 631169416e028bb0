// The plain C++ span copies of the bob drawing, shared by its clipped walks and the plain kernels.
// Only portable files include this header (see xb_draw_kernels_avx512.cpp).
#pragma once

#include <cstdint>
#include <cstring>

// Copies one literal run (1..127 bytes). A memcpy of a variable size is often expanded inline into a
// string instruction with a large start-up cost; runs are copied as a few fixed-size pieces instead,
// the last ones overlapping the first (runs never exceed 127 bytes).
inline void XB_CopyRunPlain(uint8_t* d, const uint8_t* s, int32_t n) {
  if (n >= 64) {
    std::memcpy(d, s, 32);
    std::memcpy(d + 32, s + 32, 32);
    std::memcpy(d + n - 64, s + n - 64, 32);
    std::memcpy(d + n - 32, s + n - 32, 32);
  } else if (n >= 32) {
    std::memcpy(d, s, 32);
    std::memcpy(d + n - 32, s + n - 32, 32);
  } else if (n >= 16) {
    std::memcpy(d, s, 16);
    std::memcpy(d + n - 16, s + n - 16, 16);
  } else if (n >= 8) {
    std::memcpy(d, s, 8);
    std::memcpy(d + n - 8, s + n - 8, 8);
  } else if (n >= 4) {
    std::memcpy(d, s, 4);
    std::memcpy(d + n - 4, s + n - 4, 4);
  } else {
    d[0] = s[0];
    d[n - 1] = s[n - 1];
    d[n / 2] = s[n / 2];
  }
}

// dst[k] = table[src[k]] for a run, eight bytes gathered into one store at a time, so that the
// lookups of a run do not wait on the stores before them (src may equal dst: shadows map in place).
inline void XB_MapRunPlain(uint8_t* d, const uint8_t* s, int32_t n, const uint8_t* table) {
  int32_t k = 0;
  for (; k + 8 <= n; k += 8) {
    uint64_t v;
    std::memcpy(&v, s + k, 8);
    uint64_t out = 0;
    for (int b = 0; b < 8; ++b) out |= uint64_t{table[(v >> (8 * b)) & 0xFF]} << (8 * b);
    std::memcpy(d + k, &out, 8);
  }
  for (; k < n; ++k) d[k] = table[s[k]];
}
