// The plain C++ span copies of the bob drawing, shared by its clipped walks and the plain kernels.
// Only portable files include this header (see xb_draw_kernels_avx512.cpp).
#pragma once

#include <cstdint>
#include <cstring>

// Copies one literal run (1..127 bytes). A memcpy of a variable size is often expanded inline into a
// string instruction with a large start-up cost; runs are copied as a few fixed-size pieces instead,
// the last ones overlapping the first (runs never exceed 127 bytes).
inline void XB_CopyRunPlain(uint8_t* d, const uint8_t* s, int32_t n) {
  // Runs of 1 to 4 pixels first, with no branch on their length: they are the commonest in lettering
  // and noise, and their lengths change from run to run (4 byte stores cover every length: 0, n-1,
  // n/2 and (n-1)/2).
  if (n <= 4) {
    const uint8_t a = s[0], b = s[n - 1], c = s[n / 2], e = s[(n - 1) / 2];
    d[0] = a;
    d[n - 1] = b;
    d[n / 2] = c;
    d[(n - 1) / 2] = e;
  } else if (n >= 64) {
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
  } else {
    std::memcpy(d, s, 4);
    std::memcpy(d + n - 4, s + n - 4, 4);
  }
}

// Eight lookups gathered into one word, so that the lookups of a run do not wait on the stores
// before them.
inline uint64_t XB_Gather8(const uint8_t* s, const uint8_t* table) {
  uint64_t v;
  std::memcpy(&v, s, 8);
  uint64_t out = 0;
  for (int b = 0; b < 8; ++b) out |= uint64_t{table[(v >> (8 * b)) & 0xFF]} << (8 * b);
  return out;
}

// dst[k] = table[src[k]] for a run (src may equal dst: shadows map in place). Like the copy above,
// a run is written as whole words, the last one overlapping the one before it instead of a loop over
// the odd bytes (run lengths change from run to run, and such a loop mispredicts its end); the last
// word is looked up before anything is stored, so that an in-place map never maps a byte twice.
inline void XB_MapRunPlain(uint8_t* d, const uint8_t* s, int32_t n, const uint8_t* table) {
  if (n <= 4) {  // as in the copy above: no branch on the length of the commonest runs
    if (n <= 0) return;
    const uint8_t a = table[s[0]], b = table[s[n - 1]], c = table[s[n / 2]], e = table[s[(n - 1) / 2]];
    d[0] = a;
    d[n - 1] = b;
    d[n / 2] = c;
    d[(n - 1) / 2] = e;
  } else if (n >= 8) {
    const uint64_t last = XB_Gather8(s + n - 8, table);
    for (int32_t k = 0; k + 8 < n; k += 8) {
      const uint64_t v = XB_Gather8(s + k, table);
      std::memcpy(d + k, &v, 8);
    }
    std::memcpy(d + n - 8, &last, 8);
  } else {
    const uint32_t a = uint32_t{table[s[0]]} | uint32_t{table[s[1]]} << 8 | uint32_t{table[s[2]]} << 16 |
                       uint32_t{table[s[3]]} << 24;
    const uint32_t b = uint32_t{table[s[n - 4]]} | uint32_t{table[s[n - 3]]} << 8 |
                       uint32_t{table[s[n - 2]]} << 16 | uint32_t{table[s[n - 1]]} << 24;
    std::memcpy(d, &a, 4);
    std::memcpy(d + n - 4, &b, 4);
  }
}
