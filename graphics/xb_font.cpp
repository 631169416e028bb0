#include "graphics/xb_font.h"

#include "base/xb_error.h"
#include "base/xb_file.h"
#include "graphics/xb_bitmap.h"
#include "graphics/xb_bob_manager.h"

XB_FONT::XB_FONT(XB_FILE& file, uint16_t /*version*/) {
  reserved_ = file.ReadU16();
  lineHeight_ = file.ReadU16();
  // Only a bob library can stand here; any other object would be drawn from as if it were one.
  glyphs_ = LoadObjectOfClass<XB_BOB_MANAGER>(file, "XB_FONT");
}

XB_FONT::XB_FONT(uint16_t lineHeight, XB_BOB_MANAGER* glyphs) : lineHeight_(lineHeight), glyphs_(glyphs) {}

XB_FONT::~XB_FONT() {
  delete glyphs_;
}

void XB_FONT::Save(XB_FILE& file) {
  file.WriteU16(reserved_);
  file.WriteU16(lineHeight_);
  if (!glyphs_) XB_FatalError("XB_FONT: cannot save a font without glyphs");
  SaveObject(*glyphs_, file);
}

uint16_t XB_FONT::GetCharWidth(uint8_t k) const {
  XB_RECT rect;
  if (!glyphs_ || !glyphs_->GetBobRect(static_cast<uint32_t>(k) - 32u, rect)) return 0;
  return static_cast<uint16_t>(rect.width + 1);
}

int32_t XB_FONT::GetTextWidth(const char* text) const {
  if (!text) return 0;
  int32_t width = 0;
  for (const char* p = text; *p; ++p) {
    const uint8_t k = static_cast<uint8_t>(*p);
    width += GetCharWidth(k == ' ' || k == '\t' ? 'i' : k);
  }
  return width;
}

void XB_FONT::DrawChar(XB_BITMAP& bitmap, uint8_t k, int16_t x, int16_t y) {
  if (!glyphs_) return;
  const uint32_t number = static_cast<uint32_t>(k) - 32u;
  if (colourTable_)
    glyphs_->DrawBobRemapped(number, bitmap, x, y, colourTable_);
  else
    glyphs_->DrawBob(number, bitmap, x, y, 0);
}

XB_STORABLE* XB_LoadFont(XB_FILE& file, uint16_t version) {
  return new XB_FONT(file, version);
}
