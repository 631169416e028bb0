#include "tools/common/text_encoding.h"

#include <cstdint>
#include <cstdio>

namespace {

// Code points of the bytes 0x80..0x9F; 0 where Windows-1252 defines no character.
constexpr uint16_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void PutUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | cp >> 6);
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | cp >> 12);
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

std::string Cp1252ToUtf8(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (unsigned char b : bytes) {
    uint32_t cp = b;
    if (b >= 0x80 && b < 0xA0) cp = kHigh[b - 0x80] ? kHigh[b - 0x80] : 0xFFFD;
    PutUtf8(out, cp);
  }
  return out;
}

bool Utf8ToCp1252(const std::string& text, std::string* bytes, std::string* problem) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    const unsigned char b = static_cast<unsigned char>(text[i]);
    uint32_t cp = 0;
    size_t length = 0;
    if (b < 0x80) {
      cp = b, length = 1;
    } else if ((b & 0xE0) == 0xC0) {
      cp = b & 0x1F, length = 2;
    } else if ((b & 0xF0) == 0xE0) {
      cp = b & 0x0F, length = 3;
    } else if ((b & 0xF8) == 0xF0) {
      cp = b & 0x07, length = 4;
    }
    bool valid = length > 0 && i + length <= text.size();
    for (size_t k = 1; valid && k < length; ++k) {
      const unsigned char c = static_cast<unsigned char>(text[i + k]);
      valid = (c & 0xC0) == 0x80;
      cp = cp << 6 | (c & 0x3F);
    }
    if (!valid) {
      char where[64];
      std::snprintf(where, sizeof where, "byte %zu is not valid UTF-8", i);
      if (problem) *problem = where;
      return false;
    }
    int byte = -1;
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) byte = static_cast<int>(cp);
    for (int k = 0; byte < 0 && k < 32; ++k)
      if (kHigh[k] == cp) byte = 0x80 + k;
    if (byte < 0) {
      if (problem) *problem = "'" + text.substr(i, length) + "' has no Windows-1252 character";
      return false;
    }
    out += static_cast<char>(byte);
    i += length;
  }
  *bytes = out;
  return true;
}
