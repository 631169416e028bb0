// libFuzzer harness: fonts (.fnt object streams) from untrusted bytes, then text drawn with them.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "base/xb_error.h"
#include "base/xb_storable.h"
#include "graphics/graphics_storables.h"
#include "graphics/xb_bitmap.h"
#include "graphics/xb_font.h"
#include "graphics/xb_palette.h"

namespace {
const std::string& ScratchPath() {
  static const std::string path = "/tmp/tl_fuzz_fnt_" + std::to_string(getpid()) + ".fnt";
  return path;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool once = [] {
    XB_SetFatalMode(XB_FatalMode::Throw);
    RegisterGraphicsStorables();
    return true;
  }();
  (void)once;
  FILE* f = std::fopen(ScratchPath().c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  try {
    std::unique_ptr<XB_STORABLE> object(LoadObjectFromFile(ScratchPath().c_str()));
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
