// libFuzzer harness: PCX pictures from untrusted bytes, then drawn (blit, shade, remap).
#include <cstddef>
#include <cstdint>

#include "base/xb_error.h"
#include "graphics/xb_bitmap.h"
#include "graphics/xb_palette.h"
#include "graphics/xb_picture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool once = [] {
    XB_SetFatalMode(XB_FatalMode::Throw);
    return true;
  }();
  (void)once;
  try {
    XB_PICTURE picture("fuzz.pcx", data, static_cast<uint32_t>(size));
    XB_BITMAP* bitmap = picture.GetBitmap();
    if (!bitmap) return 0;  // a picture without pixels is not loaded
    XB_BITMAP target(48, 40);
    const int32_t x = size > 4 ? static_cast<int8_t>(data[4]) : 0;
    const int32_t y = size > 6 ? static_cast<int8_t>(data[6]) : 0;
    bitmap->BlitTo(target, x, y);
    // The palette decides the table, as for the logo; one nearest-colour search keeps it cheap.
    uint8_t bytes[256];
    const uint8_t nearest = picture.GetPalette()->FindNearestColour(picture.GetPalette()->GetColour(7));
    for (int i = 0; i < 256; ++i) bytes[i] = static_cast<uint8_t>(i ^ nearest);
    XB_REMAP_TABLE table(bytes);
    bitmap->ShadeRect(table.GetData(), XB_RECT(x, y, 30, 30));
    target.Shade(table.GetData());
  } catch (const XB_FATAL_EXCEPTION&) {
  }
  return 0;
}
