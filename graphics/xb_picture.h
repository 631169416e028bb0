// Image files: PCX (8-bit, run-length, palette at the end) and BMP (8-bit plain or RLE8, 24/32-bit),
// chosen by the file name's extension. The picture owns its bitmap and palette until Release (or
// until the palette is taken away with DetachPalette).
//
// Header sizes, offsets and counts come from files users edit: anything that does not fit the file is
// a fatal error naming it, and encoded data that would place pixels outside the bitmap is clipped. A
// picture of width or height 0 is warned about and stays unloaded (no bitmap, no palette), so that
// callers for which the picture is optional go on without it.
#pragma once

#include <cstdint>

class XB_BITMAP;
class XB_PALETTE;

class XB_PICTURE {
 public:
  // Loads the file (fatal "Unknown GFX format : %s\n" for an unknown extension, "The bitmap to load
  // was compressed.\n" for an unsupported BMP kind).
  explicit XB_PICTURE(const char* path);
  // Ours: decodes bytes already in memory; `name` supplies the extension and names the source in
  // errors (fuzzers and tests).
  XB_PICTURE(const char* name, const uint8_t* data, uint32_t size);
  ~XB_PICTURE();  // releases whatever the owner has not taken
  XB_PICTURE(const XB_PICTURE&) = delete;
  XB_PICTURE& operator=(const XB_PICTURE&) = delete;

  // Deletes the bitmap and palette (when loaded) and forgets them.
  void Release();
  // Hands the palette to the caller; the bitmap's palette becomes none.
  XB_PALETTE* DetachPalette();
  // Ours: hands the bitmap to the caller (the picture forgets it).
  XB_BITMAP* DetachBitmap();

  XB_BITMAP* GetBitmap() const { return bitmap_; }
  XB_PALETTE* GetPalette() const { return palette_; }
  bool IsLoaded() const { return loaded_ != 0; }

 private:
  void Decode(const char* name, const uint8_t* data, uint32_t size);

  XB_BITMAP* bitmap_ = nullptr;
  XB_PALETTE* palette_ = nullptr;
  uint16_t loaded_ = 0;
};
