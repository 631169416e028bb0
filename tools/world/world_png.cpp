#include "tools/world/world_png.h"

#include <png.h>

#include <cstdio>

#include "base/xb_atomic_file.h"

namespace tlworld {

namespace {
void WriteToAtomicFile(png_structp png, png_bytep data, png_size_t length) {
  if (!static_cast<XB_ATOMIC_FILE*>(png_get_io_ptr(png))->Write(data, length)) png_error(png, "write failed");
}
void FlushNothing(png_structp) {}
}  // namespace

bool WriteIndexedPng(const std::string& path, int width, int height, const std::vector<uint8_t>& pixels,
                     const uint8_t* rgbPalette) {
  if (width <= 0 || height <= 0 || pixels.size() < size_t(width) * size_t(height)) return false;
  // All or nothing: the sheet appears under its name only when every byte is written.
  XB_ATOMIC_FILE file;
  if (!file.Open(path.c_str())) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, &file, WriteToAtomicFile, FlushNothing);
  png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_PALETTE,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_color colours[256];
  for (int i = 0; i < 256; ++i)
    colours[i] = {rgbPalette[i * 3], rgbPalette[i * 3 + 1], rgbPalette[i * 3 + 2]};
  png_set_PLTE(png, info, colours, 256);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y)
    png_write_row(png, const_cast<png_bytep>(pixels.data() + size_t(y) * size_t(width)));
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return file.Commit();
}

}  // namespace tlworld
