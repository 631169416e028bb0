// The bitmap font: a line height and a nested bob library whose bob k - 32 is the glyph of character
// code k. Text is drawn through the text state of XB_BITMAP (SetFont, SetTextColour, DrawText).
#pragma once

#include <cstdint>

#include "base/xb_storable.h"

class XB_BITMAP;
class XB_BOB_MANAGER;
class XB_FILE;

class XB_FONT : public XB_STORABLE {
 public:
  static constexpr uint16_t kClassId = XB_CLASS_FONT;

  // Body: u16 reserved, u16 line height, one nested bob library (anything else is a fatal error).
  XB_FONT(XB_FILE& file, uint16_t version);
  // Ours (font builder): takes over the glyph library.
  XB_FONT(uint16_t lineHeight, XB_BOB_MANAGER* glyphs);
  ~XB_FONT() override;
  XB_FONT(const XB_FONT&) = delete;
  XB_FONT& operator=(const XB_FONT&) = delete;

  uint16_t GetClassId() const override { return kClassId; }
  uint16_t GetVersion() const override { return 0; }
  void Save(XB_FILE& file) override;

  uint16_t GetLineHeight() const { return lineHeight_; }
  XB_BOB_MANAGER* GetGlyphs() const { return glyphs_; }

  // Glyph width + 1, or 0 when the glyph of k is missing.
  uint16_t GetCharWidth(uint8_t k) const;
  // Sum of the character widths; space and tab measure as 'i'.
  int32_t GetTextWidth(const char* text) const;
  void SetColourTable(const uint8_t* table) { colourTable_ = table; }
  const uint8_t* GetColourTable() const { return colourTable_; }
  void DrawChar(XB_BITMAP& bitmap, uint8_t k, int16_t x, int16_t y);

 private:
  uint16_t reserved_ = 0;
  uint16_t lineHeight_ = 0;
  XB_BOB_MANAGER* glyphs_ = nullptr;
  const uint8_t* colourTable_ = nullptr;
};

XB_STORABLE* XB_LoadFont(XB_FILE& file, uint16_t version);
