#include "graphics/xb_bitmap.h"

#include <cstring>
#include <memory>

#include "base/xb_error.h"
#include "base/xb_file.h"
#include "base/xb_storable_buffer.h"
#include "graphics/xb_font.h"
#include "graphics/xb_palette.h"

namespace {
int32_t BytesPerPixelOf(uint16_t format) {
  return format == XB_PIXELS_16 ? 2 : format == XB_PIXELS_32 ? 4 : 1;
}
uint16_t NormalFormat(uint16_t format) {
  return format == XB_PIXELS_16 || format == XB_PIXELS_32 ? format : XB_PIXELS_8;
}
// The palette whose hi-colour tables convert this bitmap's indices: its own, else the default.
XB_PALETTE* ConversionPalette(const XB_BITMAP& bitmap) {
  return bitmap.GetPalette() ? bitmap.GetPalette() : XB_GetDefaultPalette();
}
}  // namespace

bool XB_BitmapSizeAllowed(int64_t width, int64_t height, uint16_t format) {
  if (width < 0 || height < 0 || width > XB_BITMAP_MAX_SIDE || height > XB_BITMAP_MAX_SIDE) return false;
  return static_cast<uint64_t>(width * height * BytesPerPixelOf(NormalFormat(format))) <= XB_BITMAP_MAX_BYTES;
}

void XB_BITMAP::SetViews(uint16_t format, int32_t width, int32_t height) {
  format_ = NormalFormat(format);
  rect_.Set(0, 0, width, height);
  right_ = width - 1;
  bottom_ = height - 1;
  pitch_ = width;
  bytesPerPixel_ = BytesPerPixelOf(format_);
  pitchInBytes_ = width * bytesPerPixel_;
  if (static_cast<int64_t>(width) * height == 0) pixels_ = nullptr;
  pixels16_ = format_ == XB_PIXELS_16 ? reinterpret_cast<uint16_t*>(pixels_) : nullptr;
  pixels32_ = format_ == XB_PIXELS_32 ? reinterpret_cast<uint32_t*>(pixels_) : nullptr;
}

XB_BITMAP::XB_BITMAP(int32_t width, int32_t height, uint16_t format) {
  if (!XB_BitmapSizeAllowed(width, height, format))
    XB_FatalError("XB_BITMAP: bitmap size %d x %d is out of range", width, height);
  uint32_t size = static_cast<uint32_t>(width) * static_cast<uint32_t>(height) *
                  static_cast<uint32_t>(BytesPerPixelOf(NormalFormat(format)));
  buffer_ = new XB_STORABLE_BUFFER(size, 0xEE);
  pixels_ = buffer_->Data();
  SetViews(format, width, height);
}

XB_BITMAP::XB_BITMAP(XB_FILE& file, uint16_t /*version*/) {
  uint16_t format = file.ReadU16();
  file.ReadI32();  // x and y: a bitmap's rectangle always starts at (0, 0), see below
  file.ReadI32();
  int32_t width = file.ReadI32();
  int32_t height = file.ReadI32();
  if (!XB_BitmapSizeAllowed(width, height, format))
    XB_FatalError("XB_BITMAP - file %s - corrupt data: bitmap size %d x %d is out of range",
                  XB_CutPath(file.Path(), 80).c_str(), width, height);
  std::unique_ptr<XB_STORABLE_BUFFER> buffer(LoadObjectOfClass<XB_STORABLE_BUFFER>(file, "XB_BITMAP"));
  uint64_t needed = static_cast<uint64_t>(width) * height * BytesPerPixelOf(NormalFormat(format));
  if (!buffer || buffer->Size() < needed)
    XB_FatalError("XB_BITMAP - file %s - corrupt data: %d x %d pixels need %llu bytes, buffer holds %u",
                  XB_CutPath(file.Path(), 80).c_str(), width, height, static_cast<unsigned long long>(needed),
                  buffer ? buffer->Size() : 0u);
  buffer_ = buffer.release();
  pixels_ = buffer_->Data();
  // The stored rectangle always starts at (0, 0); an origin elsewhere would make the clip rectangle
  // disagree with the pixel buffer, so only its size is taken.
  SetViews(format, width, height);
}

XB_BITMAP* XB_BITMAP::CreateVirtual(void* pixels, int32_t width, int32_t height, uint16_t format) {
  if (!XB_BitmapSizeAllowed(width, height, format))
    XB_FatalError("XB_BITMAP: bitmap size %d x %d is out of range", width, height);
  XB_BITMAP* bitmap = new XB_BITMAP();
  bitmap->pixels_ = static_cast<uint8_t*>(pixels);
  bitmap->SetViews(format, width, height);
  bitmap->virtual_ = 1;
  return bitmap;
}

XB_BITMAP::~XB_BITMAP() {
  delete buffer_;
}

void XB_BITMAP::Save(XB_FILE& file) {
  if (virtual_ || !buffer_) XB_FatalError("XB_BITMAP: cannot save virtual bitmap");
  file.WriteU16(format_);
  file.WriteI32(rect_.x);
  file.WriteI32(rect_.y);
  file.WriteI32(rect_.width);
  file.WriteI32(rect_.height);
  SaveObject(*buffer_, file);
}

XB_PALETTE* XB_BITMAP::SetPalette(XB_PALETTE* palette) {
  XB_PALETTE* previous = palette_;
  palette_ = palette;
  return previous;
}

void XB_BITMAP::Fill(uint8_t index) {
  if (!pixels_) return;
  NoteDrawnEverywhere();
  const int32_t w = rect_.width, h = rect_.height;
  if (format_ == XB_PIXELS_8) {
    XB_SpanFill8(pixels_, pitch_, w, h, index);
  } else if (format_ == XB_PIXELS_16) {
    XB_PALETTE* palette = ConversionPalette(*this);
    XB_SpanFill16(pixels16_, pitch_, w, h, palette ? palette->Get16BitColour(index) : 0);
  } else {
    XB_PALETTE* palette = ConversionPalette(*this);
    XB_SpanFill32(pixels32_, pitch_, w, h, palette ? palette->Get32BitColour(index) : 0);
  }
}

void XB_BITMAP::BlitTo(XB_BITMAP& destination, int32_t x, int32_t y) const {
  if (!pixels_ || !destination.pixels_) return;
  const XB_RECT target(0, 0, destination.rect_.width, destination.rect_.height);
  XB_RECT c(x, y, rect_.width, rect_.height);
  if (!target.Intersects(c)) return;
  c.ClipTo(target);
  destination.NoteDrawn(c);
  const int32_t sx = c.x - x, sy = c.y - y;
  const int64_t srcIndex = static_cast<int64_t>(sy) * pitch_ + sx;
  const int64_t dstIndex = static_cast<int64_t>(c.y) * destination.pitch_ + c.x;
  const uint16_t from = format_, to = destination.format_;
  if (from == to) {
    if (from == XB_PIXELS_8)
      XB_SpanCopy8(destination.pixels_ + dstIndex, destination.pitch_, pixels_ + srcIndex, pitch_, c.width,
                   c.height);
    else if (from == XB_PIXELS_16)
      XB_SpanCopy16(destination.pixels16_ + dstIndex, destination.pitch_, pixels16_ + srcIndex, pitch_,
                    c.width, c.height);
    else
      XB_SpanCopy32(destination.pixels32_ + dstIndex, destination.pitch_, pixels32_ + srcIndex, pitch_,
                    c.width, c.height);
    return;
  }
  if (from == XB_PIXELS_8) {
    XB_PALETTE* palette = ConversionPalette(*this);
    if (!palette) return;
    if (to == XB_PIXELS_16) {
      const uint16_t* table = palette->Get16BitTable();
      if (table)
        XB_SpanConvert8To16(destination.pixels16_ + dstIndex, destination.pitch_, pixels_ + srcIndex, pitch_,
                            c.width, c.height, table);
    } else {
      const uint32_t* table = palette->Get32BitTable();
      if (table)
        XB_SpanConvert8To32(destination.pixels32_ + dstIndex, destination.pitch_, pixels_ + srcIndex, pitch_,
                            c.width, c.height, table);
    }
    return;
  }
  if (from == XB_PIXELS_32 && to == XB_PIXELS_16 && rect_ == destination.rect_) {
    // A whole-bitmap conversion; the position is not used.
    const int64_t n = static_cast<int64_t>(rect_.width) * rect_.height;
    for (int64_t i = 0; i < n; ++i) {
      uint32_t v = pixels32_[i];
      destination.pixels16_[i] = XB_MakePixel16(static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8),
                                                static_cast<uint8_t>(v));
    }
  }
}

void XB_BITMAP::ShadeRect(const uint8_t* table, const XB_RECT& area) {
  if (!pixels_ || !rect_.Intersects(area)) return;
  XB_RECT c = area;
  c.ClipTo(rect_);
  NoteDrawn(c);
  const int64_t start = static_cast<int64_t>(c.y) * pitch_ + c.x;
  if (format_ == XB_PIXELS_8) {
    if (table) XB_SpanMap8(pixels_ + start, pitch_, c.width, c.height, table);
  } else if (format_ == XB_PIXELS_16) {
    if (!XB_GetPixelFormat16()) return;
    const uint16_t m = XB_MakePixel16(127, 127, 127);
    for (int32_t r = 0; r < c.height; ++r) {
      uint16_t* p = pixels16_ + start + static_cast<int64_t>(r) * pitch_;
      for (int32_t i = 0; i < c.width; ++i) p[i] = static_cast<uint16_t>((p[i] >> 1) & m);
    }
  } else {
    for (int32_t r = 0; r < c.height; ++r) {
      uint32_t* p = pixels32_ + start + static_cast<int64_t>(r) * pitch_;
      for (int32_t i = 0; i < c.width; ++i) p[i] = (p[i] >> 1) & 0x7F7F7Fu;
    }
  }
}

// --- text state ---

XB_FONT* XB_BITMAP::SetFont(XB_FONT* font) {
  XB_FONT* previous = font_;
  font_ = font;
  return previous;
}

XB_REMAP_TABLE* XB_BITMAP::SetTextColour(XB_REMAP_TABLE* table) {
  XB_REMAP_TABLE* previous = textColour_;
  textColour_ = table;
  return previous;
}

void XB_BITMAP::DrawText(int32_t x, int32_t y, const char* text) {
  cursorX_ = lineStartX_ = x;
  cursorY_ = y;
  PutText(text);
}

void XB_BITMAP::PutText(const char* text) {
  if (!text || !font_) return;
  for (const char* p = text; *p; ++p) {
    const uint8_t k = static_cast<uint8_t>(*p);
    if (k == '\t' || k == ' ' || k == '_') {
      cursorX_ += font_->GetCharWidth('i');
    } else if (k == '\n' || k == '\r') {
      if (p[1] == '\n') ++p;
      cursorX_ = lineStartX_;
      cursorY_ += font_->GetLineHeight() + 2;
    } else if (k >= 32) {
      PutChar(k);
    }
  }
}

void XB_BITMAP::PutChar(uint8_t k) {
  if (!font_) return;
  font_->SetColourTable(textColour_ ? textColour_->GetData() : nullptr);
  const uint16_t w = font_->GetCharWidth(k);
  font_->DrawChar(*this, k, static_cast<int16_t>(cursorX_), static_cast<int16_t>(cursorY_));
  cursorX_ += w;
  font_->SetColourTable(nullptr);
}

XB_STORABLE* XB_LoadBitmap(XB_FILE& file, uint16_t version) {
  return new XB_BITMAP(file, version);
}

// --- span helpers ---

void XB_SpanFill8(uint8_t* dst, int32_t dstPitch, int32_t width, int32_t rows, uint8_t value) {
  if (width <= 0) return;
  for (int32_t r = 0; r < rows; ++r, dst += dstPitch) std::memset(dst, value, static_cast<size_t>(width));
}

void XB_SpanFill16(uint16_t* dst, int32_t dstPitch, int32_t width, int32_t rows, uint16_t value) {
  for (int32_t r = 0; r < rows; ++r, dst += dstPitch)
    for (int32_t i = 0; i < width; ++i) dst[i] = value;
}

void XB_SpanFill32(uint32_t* dst, int32_t dstPitch, int32_t width, int32_t rows, uint32_t value) {
  for (int32_t r = 0; r < rows; ++r, dst += dstPitch)
    for (int32_t i = 0; i < width; ++i) dst[i] = value;
}

void XB_SpanCopy8(uint8_t* dst, int32_t dstPitch, const uint8_t* src, int32_t srcPitch, int32_t width,
                  int32_t rows) {
  if (width <= 0 || rows <= 0) return;
  // Rows without padding on both sides form one block: a single copy lets the library pick its
  // large-copy strategy (streaming stores for whole frames) instead of thousands of row copies.
  // Overlapping blocks keep the row-by-row order, whose result differs from one block move.
  const size_t block = static_cast<size_t>(width) * static_cast<size_t>(rows);
  const auto d = reinterpret_cast<uintptr_t>(dst), s = reinterpret_cast<uintptr_t>(src);
  if (dstPitch == width && srcPitch == width && (d + block <= s || s + block <= d)) {
    std::memcpy(dst, src, block);
    return;
  }
  for (int32_t r = 0; r < rows; ++r, dst += dstPitch, src += srcPitch)
    std::memmove(dst, src, static_cast<size_t>(width));
}

void XB_SpanCopy16(uint16_t* dst, int32_t dstPitch, const uint16_t* src, int32_t srcPitch, int32_t width,
                   int32_t rows) {
  if (width <= 0) return;
  for (int32_t r = 0; r < rows; ++r, dst += dstPitch, src += srcPitch)
    std::memmove(dst, src, static_cast<size_t>(width) * 2);
}

void XB_SpanCopy32(uint32_t* dst, int32_t dstPitch, const uint32_t* src, int32_t srcPitch, int32_t width,
                   int32_t rows) {
  if (width <= 0) return;
  for (int32_t r = 0; r < rows; ++r, dst += dstPitch, src += srcPitch)
    std::memmove(dst, src, static_cast<size_t>(width) * 4);
}

void XB_SpanMap8(uint8_t* dst, int32_t dstPitch, int32_t width, int32_t rows, const uint8_t* table) {
  for (int32_t r = 0; r < rows; ++r, dst += dstPitch) {
    uint8_t* p = dst;
    int32_t n = width;
    // Odd leading bytes up to a four-byte boundary, then four at a time.
    while (n > 0 && (reinterpret_cast<uintptr_t>(p) & 3) != 0) {
      *p = table[*p];
      ++p;
      --n;
    }
    for (; n >= 4; n -= 4, p += 4) {
      uint32_t v;
      std::memcpy(&v, p, 4);
      v = uint32_t{table[v & 0xFF]} | uint32_t{table[(v >> 8) & 0xFF]} << 8 |
          uint32_t{table[(v >> 16) & 0xFF]} << 16 | uint32_t{table[v >> 24]} << 24;
      std::memcpy(p, &v, 4);
    }
    for (; n > 0; --n, ++p) *p = table[*p];
  }
}

void XB_SpanConvert8To16(uint16_t* dst, int32_t dstPitch, const uint8_t* src, int32_t srcPitch, int32_t width,
                         int32_t rows, const uint16_t* table) {
  for (int32_t r = 0; r < rows; ++r, dst += dstPitch, src += srcPitch)
    for (int32_t i = 0; i < width; ++i) dst[i] = table[src[i]];
}

void XB_SpanConvert8To32(uint32_t* dst, int32_t dstPitch, const uint8_t* src, int32_t srcPitch, int32_t width,
                         int32_t rows, const uint32_t* table) {
  for (int32_t r = 0; r < rows; ++r, dst += dstPitch, src += srcPitch)
    for (int32_t i = 0; i < width; ++i) dst[i] = table[src[i]];
}
