// Text rasterised with FreeType from a free font that Debian ships (DejaVu Sans Bold): the glyphs of
// the world's font and the lettering of the logos.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tlworld {

inline constexpr const char* kDefaultFontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

// One glyph as an 8-bit coverage bitmap (0..255), placed relative to the pen on the baseline.
struct GlyphImage {
  int width = 0, height = 0;
  int left = 0, top = 0;  // offset of the bitmap's top-left from the pen (top is above the baseline)
  int advance = 0;        // pen advance in pixels
  std::vector<uint8_t> coverage;
};

class TextRaster {
 public:
  // Opens the font at `pixelSize`; Ok() is false when FreeType or the font is missing.
  TextRaster(const std::string& fontFile, int pixelSize);
  ~TextRaster();
  TextRaster(const TextRaster&) = delete;
  TextRaster& operator=(const TextRaster&) = delete;
  bool Ok() const { return face_ != nullptr; }
  int Ascender() const { return ascender_; }
  int Descender() const { return descender_; }  // positive, below the baseline

  // The glyph of a Unicode code point (hinted, anti-aliased coverage); false when the font has none.
  bool Glyph(uint32_t codePoint, GlyphImage* out) const;

  // A whole line of Windows-1252 text as a coverage bitmap; `width`/`height` receive its size and
  // `baseline` the row of the baseline.
  std::vector<uint8_t> Line(const std::string& text1252, int* width, int* height, int* baseline) const;

 private:
  void* library_ = nullptr;
  void* face_ = nullptr;
  int ascender_ = 0, descender_ = 0;
};

// The Unicode code point of a Windows-1252 byte (0 for the five unassigned codes).
uint32_t Windows1252ToUnicode(uint8_t code);

}  // namespace tlworld
