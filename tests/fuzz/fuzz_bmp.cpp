// libFuzzer harness: BMP pictures (8-bit plain and RLE8, 24/32-bit) from untrusted bytes, then drawn
// into 8- and 32-bit bitmaps.
#include <cstddef>
#include <cstdint>

#include "base/xb_error.h"
#include "graphics/xb_bitmap.h"
#include "graphics/xb_palette.h"
#include "graphics/xb_picture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool once = [] {
    XB_SetFatalMode(XB_FatalMode::Throw);
    XB_InstallPixelFormat32(XB_PIXEL_FORMAT_32::Xrgb8888());
    return true;
  }();
  (void)once;
  try {
    XB_PICTURE picture("fuzz.bmp", data, static_cast<uint32_t>(size));
    XB_BITMAP* bitmap = picture.GetBitmap();
    if (!bitmap) return 0;  // a picture without pixels is not loaded
    XB_BITMAP target8(40, 30), target32(40, 30, XB_PIXELS_32);
    const int32_t x = size > 2 ? static_cast<int8_t>(data[2]) : 0;
    const int32_t y = size > 3 ? static_cast<int8_t>(data[3]) : 0;
    bitmap->BlitTo(target8, x, y);
    bitmap->BlitTo(target32, x, y);
    bitmap->Shade(nullptr);
    if (picture.GetPalette()) {
      // The palette decides the table, as for the logo; one nearest-colour search keeps it cheap.
      uint8_t bytes[256];
      const uint8_t nearest = picture.GetPalette()->FindNearestColour(picture.GetPalette()->GetColour(7));
      for (int i = 0; i < 256; ++i) bytes[i] = static_cast<uint8_t>(i ^ nearest);
      XB_REMAP_TABLE table(bytes);
      bitmap->ShadeRect(table.GetData(), XB_RECT(x, y, 16, 16));
    }
  } catch (const XB_FATAL_EXCEPTION&) {
  }
  return 0;
}
