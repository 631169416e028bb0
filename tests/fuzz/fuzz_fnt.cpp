// libFuzzer harness: fonts (.fnt object streams) from untrusted bytes, then text drawn with them.
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
#include "graphics/xb_font.h"
#include "graphics/xb_palette.h"

namespace {}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool once = [] {
    XB_SetFatalMode(XB_FatalMode::Throw);
    RegisterGraphicsStorables();
    return true;
  }();
  (void)once;
  try {
    // Straight from memory: the loader sees an XB_FILE as from disk, without the round trip.
    XB_FILE file("fuzz.fnt");
    file.OpenMemory(data, size);
    std::unique_ptr<XB_STORABLE> object(LoadObject(file));
    if (auto* font = dynamic_cast<XB_FONT*>(object.get())) {
      XB_BITMAP bitmap(64, 24);
      uint8_t colours[256];
      for (int i = 0; i < 256; ++i) colours[i] = static_cast<uint8_t>(i ^ 0x55);
      XB_REMAP_TABLE colour(colours);
      bitmap.SetFont(font);
      bitmap.DrawText(-3, -2, "Tillands A_b\tc\r\nxyz\n\n\x7F\xC4\xFF!");
      bitmap.SetTextColour(&colour);
      bitmap.DrawText(40, 10, "Wg Ay_\n!");
      (void)font->GetTextWidth("The quick brown fox");
      bitmap.SetFont(nullptr);
    }
  } catch (const XB_FATAL_EXCEPTION&) {
  }
  return 0;
}
