// Little-endian fields for files laid down byte by byte in tests (archives, object streams, caches,
// .bmd and .fnt), so a test spells out a format without going through our own writers.
#pragma once

#include <cstdint>
#include <vector>

namespace tl_test {

using Bytes = std::vector<uint8_t>;

inline void U8(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
}
inline void U16(Bytes& b, uint32_t v) {
  U8(b, v), U8(b, v >> 8);
}
inline void U32(Bytes& b, uint32_t v) {
  U16(b, v & 0xFFFF), U16(b, v >> 16);
}

}  // namespace tl_test
