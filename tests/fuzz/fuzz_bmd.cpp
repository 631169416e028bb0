// libFuzzer harness: bob libraries (.bmd object streams) from untrusted bytes; every bob is then
// drawn with every operation into 8-, 16- and 32-bit bitmaps at placements that clip every edge.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "base/xb_error.h"
#include "base/xb_file.h"
#include "base/xb_storable.h"
#include "graphics/graphics_storables.h"
#include "graphics/xb_bitmap.h"
#include "graphics/xb_bob_manager.h"
#include "graphics/xb_palette.h"

namespace {

void DrawEverything(XB_BOB_MANAGER& library) {
  static XB_PALETTE palette;
  uint8_t table[256];
  for (int i = 0; i < 256; ++i) table[i] = static_cast<uint8_t>(255 - i);
  XB_BITMAP b8(37, 23), b16(37, 23, XB_PIXELS_16), b32(37, 23, XB_PIXELS_32);
  library.SetLibraryPalette(&palette);
  const uint32_t count = library.GetCount() < 24 ? library.GetCount() : 24;
  const int16_t spots[][2] = {{0, 0}, {-20, -15}, {30, 20}, {10, -40}, {-300, 5}, {18, 11}};
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t n = library.GetFirstIndex() + i;
    for (const auto& s : spots)
      for (XB_BITMAP* b : {&b8, &b16, &b32}) {
        library.DrawBob(n, *b, s[0], s[1], 0);
        library.DrawBobRemapped(n, *b, s[0], s[1], table);
        library.DrawBobShadow(n, *b, s[0], s[1], table);
        library.DrawBobThroughMask(n, n + 1, 128, *b, s[0], s[1], table, table);
        library.DrawBobThroughMask(n + 1, n, 0, *b, s[0], s[1], table, table);
        library.DrawShadowThroughMask(n, 200, *b, s[0], s[1], table);
      }
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool once = [] {
    XB_SetFatalMode(XB_FatalMode::Throw);
    RegisterGraphicsStorables();
    XB_InstallPixelFormat16(XB_PIXEL_FORMAT_16::Rgb565());
    XB_InstallPixelFormat32(XB_PIXEL_FORMAT_32::Xrgb8888());
    return true;
  }();
  (void)once;
  try {
    // Straight from memory: the loader sees an XB_FILE as from disk, without the round trip.
    XB_FILE file("fuzz.bmd");
    file.OpenMemory(data, size);
    std::unique_ptr<XB_STORABLE> object(LoadObject(file));
    if (auto* library = dynamic_cast<XB_BOB_MANAGER*>(object.get())) DrawEverything(*library);
  } catch (const XB_FATAL_EXCEPTION&) {
  }
  return 0;
}
