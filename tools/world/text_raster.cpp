#include "tools/world/text_raster.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>

namespace tlworld {

uint32_t Windows1252ToUnicode(uint8_t code) {
  static const uint16_t high[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
  if (code >= 0x80 && code < 0xA0) return high[code - 0x80];
  return code;
}

TextRaster::TextRaster(const std::string& fontFile, int pixelSize) {
  FT_Library lib = nullptr;
  if (FT_Init_FreeType(&lib) != 0) return;
  library_ = lib;
  FT_Face face = nullptr;
  if (FT_New_Face(lib, fontFile.c_str(), 0, &face) != 0) return;
  if (FT_Set_Pixel_Sizes(face, 0, FT_UInt(pixelSize)) != 0) {
    FT_Done_Face(face);
    return;
  }
  face_ = face;
  ascender_ = int((face->size->metrics.ascender + 63) >> 6);
  descender_ = int((-face->size->metrics.descender + 63) >> 6);
}

TextRaster::~TextRaster() {
  if (face_) FT_Done_Face(static_cast<FT_Face>(face_));
  if (library_) FT_Done_FreeType(static_cast<FT_Library>(library_));
}

bool TextRaster::Glyph(uint32_t codePoint, GlyphImage* out) const {
  if (!face_) return false;
  FT_Face face = static_cast<FT_Face>(face_);
  FT_UInt index = FT_Get_Char_Index(face, codePoint);
  if (index == 0 && codePoint != ' ') return false;
  if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT | FT_LOAD_TARGET_NORMAL) != 0) return false;
  if (FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) != 0) return false;
  const FT_Bitmap& bm = face->glyph->bitmap;
  out->width = int(bm.width);
  out->height = int(bm.rows);
  out->left = face->glyph->bitmap_left;
  out->top = face->glyph->bitmap_top;
  out->advance = int((face->glyph->advance.x + 32) >> 6);
  out->coverage.assign(size_t(out->width) * size_t(out->height), 0);
  for (int y = 0; y < out->height; ++y)
    for (int x = 0; x < out->width; ++x)
      out->coverage[size_t(y) * out->width + x] = bm.buffer[y * bm.pitch + x];
  return true;
}

std::vector<uint8_t> TextRaster::Line(const std::string& text, int* width, int* height, int* baseline) const {
  int w = 2, h = ascender_ + descender_ + 2;
  std::vector<GlyphImage> glyphs;
  for (unsigned char c : text) {
    GlyphImage g;
    if (!Glyph(Windows1252ToUnicode(c), &g)) continue;
    w += g.advance;
    glyphs.push_back(std::move(g));
  }
  std::vector<uint8_t> out(size_t(w) * size_t(h), 0);
  int pen = 1, base = ascender_ + 1;
  for (const GlyphImage& g : glyphs) {
    for (int y = 0; y < g.height; ++y)
      for (int x = 0; x < g.width; ++x) {
        int X = pen + g.left + x, Y = base - g.top + y;
        if (X < 0 || Y < 0 || X >= w || Y >= h) continue;
        uint8_t& d = out[size_t(Y) * w + X];
        d = std::max(d, g.coverage[size_t(y) * g.width + x]);
      }
    pen += g.advance;
  }
  *width = w, *height = h, *baseline = base;
  return out;
}

}  // namespace tlworld
