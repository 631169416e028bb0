// libFuzzer harness: the PNG reader `bmd build` reads bob pictures with (libpng behind our checks),
// from memory. A picture it accepts must hold exactly the pixels its size and kind promise.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/common/png_io.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (!file) return 0;
  PngImage image;
  std::string error;
  const bool ok = ReadPngFile(file, "fuzz.png", &image, &error);
  std::fclose(file);
  if (!ok) {
    if (error.empty()) std::abort();  // every refusal says why
    return 0;
  }
  const size_t expected = static_cast<size_t>(image.width) * static_cast<size_t>(image.height) *
                          static_cast<size_t>(image.BytesPerPixel());
  if (image.width <= 0 || image.height <= 0 || image.pixels.size() != expected) std::abort();
  if (image.palette.size() > 256 || image.paletteAlpha.size() > 256) std::abort();
  return 0;
}
