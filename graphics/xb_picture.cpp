#include "graphics/xb_picture.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>

#include "base/xb_error.h"
#include "base/xb_storable_buffer.h"
#include "graphics/xb_bitmap.h"
#include "graphics/xb_palette.h"

namespace {

enum class Format { Pcx, Bmp, Unknown };

// The extension with its dot, lower-cased ("" when the name has none).
void LowerExtension(const char* name, char* out, size_t outSize) {
  out[0] = 0;
  const char* dot = std::strrchr(name, '.');
  if (!dot) return;
  size_t i = 0;
  for (; dot[i] && i + 1 < outSize; ++i)
    out[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(dot[i])));
  out[i] = 0;
}

Format FormatOf(const char* ext) {
  if (std::strncmp(ext, ".pcx", 3) == 0) return Format::Pcx;
  if (std::strncmp(ext, ".bmp", 3) == 0) return Format::Bmp;
  return Format::Unknown;
}

uint16_t U16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t U32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

[[noreturn]] void Corrupt(const char* name, const char* what) {
  XB_FatalError("XB_PICTURE - file %s - corrupt data: %s", XB_CutPath(name, 80).c_str(), what);
}

// A picture without pixels (a width or height of 0) is no damage to the file's structure: the load of
// that picture fails with a warning and its caller goes on without it (no logo, no text colours, a
// remap table left out) instead of the whole program stopping. Returns false for it.
bool CheckSize(const char* name, int64_t width, int64_t height, uint16_t format) {
  if (width == 0 || height == 0) {
    XB_Warning("XB_PICTURE - file %s - the picture has no pixels (%lld x %lld)", XB_CutPath(name, 80).c_str(),
               static_cast<long long>(width), static_cast<long long>(height));
    return false;
  }
  if (width < 0 || height < 0 || !XB_BitmapSizeAllowed(width, height, format))
    XB_FatalError("XB_PICTURE - file %s - corrupt data: picture size %lld x %lld is out of range",
                  XB_CutPath(name, 80).c_str(), static_cast<long long>(width),
                  static_cast<long long>(height));
  return true;
}

// Longest pad beyond the width a PCX line may carry (lines aligned to 8 bytes need up to 7).
constexpr int64_t kMaxPcxLinePad = 7;

void DecodePcx(const char* name, const uint8_t* data, uint32_t size, XB_BITMAP*& bitmap,
               XB_PALETTE*& palette) {
  if (size < 128 + 768) Corrupt(name, "a PCX file needs a 128-byte header and a 768-byte palette");
  const int64_t width =
      int64_t{static_cast<int16_t>(U16(data + 8))} - static_cast<int16_t>(U16(data + 4)) + 1;
  const int64_t height =
      int64_t{static_cast<int16_t>(U16(data + 10))} - static_cast<int16_t>(U16(data + 6)) + 1;
  if (!CheckSize(name, width, height, XB_PIXELS_8)) return;
  // A scan line is the width rounded up to an even length. Painting programs may pad lines further and
  // say so in the bytes-per-line field (byte 66), but many writers leave junk there and other readers
  // ignore it: the field is believed only when it covers the width with a pad of at most
  // kMaxPcxLinePad bytes, else the width decides (a stray value must not spoil a file that loads).
  const int64_t storedLine = U16(data + 66);
  const int64_t lineLength =
      storedLine >= width && storedLine <= width + kMaxPcxLinePad ? storedLine : (width + 1) & ~int64_t{1};
  // Refuse headers whose size the file cannot possibly hold before allocating anything. A line of
  // L = 63 q + r pixels takes at least q two-byte runs of 63, plus one more run when r > 1 or a single
  // literal byte when r == 1 (never more than L literal bytes).
  const int64_t runs = lineLength / 63, rest = lineLength % 63;
  const int64_t minPerLine = std::min(lineLength, 2 * runs + (rest == 0 ? 0 : rest == 1 ? 1 : 2));
  if (minPerLine * height > int64_t{size} - 128)
    Corrupt(name, "the PCX header asks for more scan lines than the file holds");
  bitmap = new XB_BITMAP(static_cast<int32_t>(width), static_cast<int32_t>(height), XB_PIXELS_8);
  uint32_t pos = 128;
  for (int64_t y = 0; y < height; ++y) {
    uint8_t* row = bitmap->Row(static_cast<int32_t>(y));
    int64_t produced = 0;
    while (produced < lineLength) {
      if (pos >= size) Corrupt(name, "the PCX data ends before the last scan line");
      const uint8_t b = data[pos++];
      int64_t count = 1;
      uint8_t value = b;
      if (b >= 0xC0) {
        if (pos >= size) Corrupt(name, "the PCX data ends before the last scan line");
        count = b & 0x3F;
        value = data[pos++];
      }
      // Pixels past the line (and the pad column of an odd width) are dropped.
      const int64_t end = std::min(produced + count, width);
      if (produced < end) std::memset(row + produced, value, static_cast<size_t>(end - produced));
      produced += count;
    }
  }
  palette = new XB_PALETTE();
  palette->SetFromRgbTriples(data + size - 768);
}

void DecodeBmp(const char* name, const uint8_t* data, uint32_t size, XB_BITMAP*& bitmap,
               XB_PALETTE*& palette) {
  if (size < 54) Corrupt(name, "a BMP file needs a 54-byte header");
  const uint32_t offset = U32(data + 10);
  const int32_t width = static_cast<int32_t>(U32(data + 18));
  const int32_t height = static_cast<int32_t>(U32(data + 22));
  const uint16_t bitCount = U16(data + 28);
  const uint32_t compression = U32(data + 30);
  const uint32_t coloursUsed = U32(data + 46);
  // The colour table follows the info header, whose size (byte 14) is 40 in the classic layout and
  // 108 or 124 in the V4/V5 headers painting programs write.
  const uint32_t headerSize = U32(data + 14);
  const uint64_t colourTable = 14 + uint64_t{headerSize >= 40 ? headerSize : 40};

  const bool plain = compression == 0 && (bitCount == 8 || bitCount == 24 || bitCount == 32);
  const bool rle8 = compression == 1 && bitCount == 8;
  if (!plain && !rle8) XB_FatalError("The bitmap to load was compressed.\n");

  const int64_t rows = height < 0 ? -int64_t{height} : height;
  if (!CheckSize(name, width, rows, bitCount == 8 ? XB_PIXELS_8 : XB_PIXELS_32)) return;
  if (offset > size) Corrupt(name, "the BMP pixel data offset lies past the end of the file");

  if (bitCount == 8) {
    const uint32_t entries = coloursUsed == 0 || coloursUsed > 256 ? 256 : coloursUsed;
    if (colourTable + uint64_t{entries} * 4 > size)
      Corrupt(name, "the BMP colour table runs past the end of the file");
    palette = new XB_PALETTE();
    for (uint32_t i = 0; i < entries; ++i) {
      const uint8_t* c = data + colourTable + 4 * i;
      palette->SetColour(static_cast<int>(i), XB_PALETTE_ENTRY{c[0], c[1], c[2], 0});
    }
  }

  if (plain) {
    const int64_t bytesPerPixel = bitCount / 8;
    const int64_t stride = (width * bytesPerPixel + 3) & ~int64_t{3};
    if (offset + stride * rows > size) Corrupt(name, "the BMP pixel rows run past the end of the file");
    bitmap = new XB_BITMAP(width, static_cast<int32_t>(rows), bitCount == 8 ? XB_PIXELS_8 : XB_PIXELS_32);
    for (int64_t r = 0; r < rows; ++r) {
      const uint8_t* src = data + offset + r * stride;
      const int32_t y = static_cast<int32_t>(height < 0 ? r : rows - 1 - r);
      if (bitCount == 8) {
        std::memcpy(bitmap->Row(y), src, static_cast<size_t>(width));
      } else {
        uint32_t* dst = bitmap->GetPixels32() + static_cast<int64_t>(y) * width;
        for (int32_t x = 0; x < width; ++x, src += bytesPerPixel)
          dst[x] = XB_MakePixel32(src[2], src[1], src[0]);
      }
    }
    return;
  }

  if (height < 0) Corrupt(name, "a run-length BMP must be stored bottom-up");
  bitmap = new XB_BITMAP(width, height, XB_PIXELS_8);
  uint8_t* pixels = bitmap->GetPixels();
  int64_t x = 0, y = height - 1;
  uint32_t pos = offset;
  auto put = [&](uint8_t v) {
    // Runs, literals and deltas that reach past an edge write nothing there.
    if (x >= 0 && x < width && y >= 0 && y < height) pixels[y * width + x] = v;
    ++x;
  };
  const char* truncated = "the BMP run-length data ends before its end-of-bitmap mark";
  while (y >= 0) {
    if (pos + 2 > size) Corrupt(name, truncated);
    const uint8_t n = data[pos], v = data[pos + 1];
    pos += 2;
    if (n > 0) {
      for (int i = 0; i < n; ++i) put(v);
    } else if (v == 0) {
      x = 0;
      --y;
    } else if (v == 1) {
      break;
    } else if (v == 2) {
      if (pos + 2 > size) Corrupt(name, truncated);
      x += data[pos];
      y -= data[pos + 1];
      pos += 2;
    } else {
      if (pos + v > size) Corrupt(name, truncated);
      for (int i = 0; i < v; ++i) put(data[pos + i]);
      pos += v + (v & 1);
    }
  }
}

}  // namespace

XB_PICTURE::XB_PICTURE(const char* path) {
  std::unique_ptr<XB_STORABLE_BUFFER> file(XB_STORABLE_BUFFER::FromFile(path));
  Decode(path, file->Data(), file->Size());
}

XB_PICTURE::XB_PICTURE(const char* name, const uint8_t* data, uint32_t size) {
  Decode(name, data, size);
}

XB_PICTURE::~XB_PICTURE() {
  Release();
}

void XB_PICTURE::Decode(const char* name, const uint8_t* data, uint32_t size) {
  char ext[16];
  LowerExtension(name, ext, sizeof(ext));
  // A fatal error may unwind (fuzzers, tests): nothing half-made may stay behind.
  try {
    switch (FormatOf(ext)) {
      case Format::Pcx:
        DecodePcx(name, data, size, bitmap_, palette_);
        break;
      case Format::Bmp:
        DecodeBmp(name, data, size, bitmap_, palette_);
        break;
      case Format::Unknown:
        XB_FatalError("Unknown GFX format : %s\n", ext);
    }
  } catch (...) {
    delete bitmap_;
    delete palette_;
    bitmap_ = nullptr;
    palette_ = nullptr;
    throw;
  }
  if (!bitmap_) return;  // a picture without pixels: not loaded (warned above)
  bitmap_->SetPalette(palette_);
  loaded_ = 1;
}

void XB_PICTURE::Release() {
  if (!loaded_) return;
  delete bitmap_;
  delete palette_;
  bitmap_ = nullptr;
  palette_ = nullptr;
}

XB_PALETTE* XB_PICTURE::DetachPalette() {
  if (bitmap_) bitmap_->SetPalette(nullptr);
  XB_PALETTE* palette = palette_;
  palette_ = nullptr;
  return palette;
}

XB_BITMAP* XB_PICTURE::DetachBitmap() {
  XB_BITMAP* bitmap = bitmap_;
  bitmap_ = nullptr;
  return bitmap;
}
