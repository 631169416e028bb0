// PNG reading and writing for the command-line tools (libpng). Errors never end the process: every
// function returns false and fills `error` with a message that names the file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct RgbColour {
  uint8_t r = 0;
  uint8_t g = 0;
  uint8_t b = 0;
  bool operator==(const RgbColour& o) const = default;
};

// An image in memory as the tools pass it around.
struct PngImage {
  enum class Kind { Paletted, Grey, Rgb, Rgba };
  Kind kind = Kind::Rgb;
  int32_t width = 0;
  int32_t height = 0;
  // Paletted and Grey: one byte per pixel; Rgb: 3 bytes (r, g, b); Rgba: 4 bytes (r, g, b, a).
  std::vector<uint8_t> pixels;
  std::vector<RgbColour> palette;  // Paletted only, at most 256 entries
  // Paletted only: per-entry alpha (tRNS); empty when every entry is opaque.
  std::vector<uint8_t> paletteAlpha;

  int32_t BytesPerPixel() const;
};

bool WritePng(const std::string& path, const PngImage& image, std::string* error);
// Reads any PNG. Paletted files keep their indices and palette (bit depths below 8 are expanded to
// one index per byte); grey files stay grey (8 bits, 16-bit depths are reduced); everything else
// becomes Rgb or Rgba.
bool ReadPng(const std::string& path, PngImage* image, std::string* error);
// The same from an open file (any FILE, a memory one included); `name` is used in messages.
bool ReadPngFile(FILE* file, const std::string& name, PngImage* image, std::string* error);
