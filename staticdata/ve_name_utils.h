// Small text helpers of the static data: names are compared without regard to ASCII letter case and
// copied into fixed fields with cutting, never overflowing.
#pragma once

#include <cstddef>
#include <cstring>

namespace ve {

inline char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

inline bool EqualNoCase(const char* a, const char* b) {
  if (!a || !b) return false;
  for (;; ++a, ++b) {
    if (LowerAscii(*a) != LowerAscii(*b)) return false;
    if (*a == 0) return true;
  }
}

// Copies at most size - 1 bytes and terminates; a null source gives an empty text.
inline void CopyName(char* dst, const char* src, size_t size) {
  if (size == 0) return;
  size_t n = src ? std::strlen(src) : 0;
  if (n > size - 1) n = size - 1;
  if (n) std::memcpy(dst, src, n);
  dst[n] = 0;
}

}  // namespace ve
