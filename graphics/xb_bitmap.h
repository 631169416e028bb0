// The pixel surface of the system: the off-screen frame, the background tile and every loaded picture.
// Pixels are stored row after row with no padding (pitch = width); the format is 8-bit palette
// indices, 16-bit or 32-bit hi-colour pixels. Bitmaps also carry the text state used by the bitmap
// font (font, text colour, cursor).
#pragma once

#include <cstdint>
#include <vector>

#include "base/xb_storable.h"
#include "graphics/xb_rect.h"

class XB_FILE;
class XB_FONT;
class XB_PALETTE;
class XB_REMAP_TABLE;
class XB_STORABLE_BUFFER;

constexpr uint16_t XB_PIXELS_8 = 0;
constexpr uint16_t XB_PIXELS_16 = 1;
constexpr uint16_t XB_PIXELS_32 = 2;

// Largest side and largest pixel block a bitmap may have. Sizes come from files that users edit; a
// header that asks for more is refused instead of exhausting memory.
constexpr int32_t XB_BITMAP_MAX_SIDE = 16384;
constexpr uint64_t XB_BITMAP_MAX_BYTES = 64ull << 20;

// True when a bitmap of that size and format may be made (0 x 0 is allowed: a bitmap without pixels).
bool XB_BitmapSizeAllowed(int64_t width, int64_t height, uint16_t format);

// Where drawing landed on a bitmap. A frame that carries one learns from every drawing operation the
// rectangle it may have written (clipped to the bitmap), so that the next frame can put back the
// background there alone instead of everywhere.
struct XB_DAMAGE {
  std::vector<XB_RECT> rects;
  bool all = false;  // the whole bitmap was written (a fill)
  void Clear() {
    rects.clear();
    all = false;
  }
};

class XB_BITMAP : public XB_STORABLE {
 public:
  static constexpr uint16_t kClassId = XB_CLASS_BITMAP;

  // format 1 gives a 16-bit bitmap, 2 a 32-bit one, anything else an 8-bit one. Every byte of the new
  // pixels is 0xEE. A size beyond the limits above is a fatal error.
  XB_BITMAP(int32_t width, int32_t height, uint16_t format = XB_PIXELS_8);
  // Load constructor: u16 format, 16-byte rectangle, nested pixel buffer. A buffer whose size does not
  // match the rectangle, or an oversized rectangle, is a fatal error naming the file.
  XB_BITMAP(XB_FILE& file, uint16_t version);
  // A virtual bitmap over memory owned by someone else (a display surface); it cannot be stored.
  static XB_BITMAP* CreateVirtual(void* pixels, int32_t width, int32_t height, uint16_t format);
  ~XB_BITMAP() override;
  XB_BITMAP(const XB_BITMAP&) = delete;
  XB_BITMAP& operator=(const XB_BITMAP&) = delete;

  uint16_t GetClassId() const override { return kClassId; }
  uint16_t GetVersion() const override { return 0; }
  // Fatal "XB_BITMAP: cannot save virtual bitmap" for a virtual bitmap.
  void Save(XB_FILE& file) override;

  uint16_t GetFormat() const { return format_; }
  const XB_RECT& GetRect() const { return rect_; }
  int32_t GetWidth() const { return rect_.width; }
  int32_t GetHeight() const { return rect_.height; }
  int32_t GetRight() const { return right_; }
  int32_t GetBottom() const { return bottom_; }
  int32_t GetPitch() const { return pitch_; }
  int32_t GetBytesPerPixel() const { return bytesPerPixel_; }
  int32_t GetPitchInBytes() const { return pitchInBytes_; }
  bool IsVirtual() const { return virtual_ != 0; }
  uint8_t* GetPixels() { return pixels_; }
  const uint8_t* GetPixels() const { return pixels_; }
  uint16_t* GetPixels16() { return pixels16_; }
  const uint16_t* GetPixels16() const { return pixels16_; }
  uint32_t* GetPixels32() { return pixels32_; }
  const uint32_t* GetPixels32() const { return pixels32_; }
  // Row pointer of an 8-bit bitmap (no checks).
  uint8_t* Row(int32_t y) { return pixels_ + static_cast<int64_t>(y) * pitchInBytes_; }

  XB_PALETTE* GetPalette() const { return palette_; }
  XB_PALETTE* SetPalette(XB_PALETTE* palette);  // returns the previous one; no ownership passes

  // Every pixel becomes index (converted through the palette's hi-colour table, or the default
  // palette's, for 16/32-bit bitmaps; 0 without a table).
  void Fill(uint8_t index);
  // Copies this bitmap into destination with its top-left pixel at (x, y), clipped.
  void BlitTo(XB_BITMAP& destination, int32_t x, int32_t y) const;
  // Passes the pixels of rect (clipped) through table (8-bit) or halves them (16/32-bit).
  void ShadeRect(const uint8_t* table, const XB_RECT& rect);
  void Shade(const uint8_t* table) { ShadeRect(table, rect_); }

  // The damage record drawing operations report to (not owned; null: none).
  void SetDamage(XB_DAMAGE* damage) { damage_ = damage; }
  XB_DAMAGE* GetDamage() const { return damage_; }
  // Called by every operation that writes pixels, with the clipped rectangle it may write.
  void NoteDrawn(const XB_RECT& clipped) const {
    if (damage_ && !damage_->all) damage_->rects.push_back(clipped);
  }
  void NoteDrawnEverywhere() const {
    if (damage_) damage_->all = true;
  }

  // Text state (see XB_FONT). Setters return the previous value; nothing is owned.
  XB_FONT* SetFont(XB_FONT* font);
  XB_REMAP_TABLE* SetTextColour(XB_REMAP_TABLE* table);
  XB_FONT* GetFont() const { return font_; }
  XB_REMAP_TABLE* GetTextColour() const { return textColour_; }
  void DrawText(int32_t x, int32_t y, const char* text);
  void PutText(const char* text);
  void PutChar(uint8_t k);
  int32_t GetCursorX() const { return cursorX_; }
  int32_t GetCursorY() const { return cursorY_; }
  int32_t GetLineStartX() const { return lineStartX_; }
  void SetCursor(int32_t x, int32_t y) {
    cursorX_ = x;
    cursorY_ = y;
  }

 private:
  XB_BITMAP() = default;
  void SetViews(uint16_t format, int32_t width, int32_t height);

  uint16_t format_ = XB_PIXELS_8;
  XB_RECT rect_;
  int32_t right_ = -1;
  int32_t bottom_ = -1;
  XB_STORABLE_BUFFER* buffer_ = nullptr;
  uint8_t* pixels_ = nullptr;
  uint16_t* pixels16_ = nullptr;
  uint32_t* pixels32_ = nullptr;
  int32_t pitch_ = 0;
  int32_t bytesPerPixel_ = 1;
  int32_t pitchInBytes_ = 0;
  int16_t virtual_ = 0;
  XB_PALETTE* palette_ = nullptr;
  XB_FONT* font_ = nullptr;
  XB_REMAP_TABLE* textColour_ = nullptr;
  int32_t cursorX_ = 0;
  int32_t cursorY_ = 0;
  int32_t lineStartX_ = 0;
  XB_DAMAGE* damage_ = nullptr;
};

XB_STORABLE* XB_LoadBitmap(XB_FILE& file, uint16_t version);

// Span helpers: `rows` rows of `width` elements; pitches are in elements of the destination (and
// source) type. The byte fill and byte map work four bytes at a time after the odd leading bytes.
void XB_SpanFill8(uint8_t* dst, int32_t dstPitch, int32_t width, int32_t rows, uint8_t value);
void XB_SpanFill16(uint16_t* dst, int32_t dstPitch, int32_t width, int32_t rows, uint16_t value);
void XB_SpanFill32(uint32_t* dst, int32_t dstPitch, int32_t width, int32_t rows, uint32_t value);
void XB_SpanCopy8(uint8_t* dst, int32_t dstPitch, const uint8_t* src, int32_t srcPitch, int32_t width,
                  int32_t rows);
void XB_SpanCopy16(uint16_t* dst, int32_t dstPitch, const uint16_t* src, int32_t srcPitch, int32_t width,
                   int32_t rows);
void XB_SpanCopy32(uint32_t* dst, int32_t dstPitch, const uint32_t* src, int32_t srcPitch, int32_t width,
                   int32_t rows);
void XB_SpanMap8(uint8_t* dst, int32_t dstPitch, int32_t width, int32_t rows, const uint8_t* table);
void XB_SpanConvert8To16(uint16_t* dst, int32_t dstPitch, const uint8_t* src, int32_t srcPitch, int32_t width,
                         int32_t rows, const uint16_t* table);
void XB_SpanConvert8To32(uint32_t* dst, int32_t dstPitch, const uint8_t* src, int32_t srcPitch, int32_t width,
                         int32_t rows, const uint32_t* table);
