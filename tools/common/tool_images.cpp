#include "tools/common/tool_images.h"

#include <system_error>

#include <cctype>

#include <filesystem>

#include <memory>

#include "base/xb_error.h"
#include "graphics/xb_bitmap.h"
#include "graphics/xb_palette.h"
#include "graphics/xb_picture.h"
#include "shell/resources/palette_resource.h"

std::vector<RgbColour> RgbPalette(const XB_PALETTE& palette) {
  std::vector<RgbColour> out;
  for (int i = 0; i < 256; ++i) {
    const XB_PALETTE_ENTRY& c = palette.GetColour(i);
    out.push_back(RgbColour{c.red, c.green, c.blue});
  }
  return out;
}

std::vector<RgbColour> RgbPaletteFromTriples(const uint8_t* rgb) {
  std::vector<RgbColour> out;
  for (int i = 0; i < 256; ++i) out.push_back(RgbColour{rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]});
  return out;
}

std::vector<RgbColour> ResourcePalette() {
  return RgbPaletteFromTriples(kPaletteResource);
}

std::string PictureInputProblem(const std::string& path, int* status) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    *status = 1;
    return path + ": no such file";
  }
  *status = 2;
  if (std::filesystem::file_size(path, ec) == 0) return path + ": the file is empty";
  // The saver chooses the decoder by the first three characters of the lower-cased extension.
  const size_t dot = path.find_last_of('.');
  std::string ext = dot == std::string::npos ? std::string() : path.substr(dot, 4);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (ext.compare(0, 3, ".pc") != 0 && ext.compare(0, 3, ".bm") != 0)
    return path + ": not a picture the saver reads (expected a .pcx or .bmp file)";
  return {};
}

bool PictureRgbPalette(const std::string& path, std::vector<RgbColour>* palette, std::string* error) {
  int status = 0;
  if (std::string problem = PictureInputProblem(path, &status); !problem.empty()) {
    if (error) *error = problem;
    return false;
  }
  XB_PICTURE picture(path.c_str());  // unreadable or damaged files are fatal errors that name them
  if (!picture.GetBitmap()) {
    if (error) *error = path + ": the picture has no pixels";
    return false;
  }
  if (!picture.GetPalette()) {
    if (error) *error = path + ": the picture has no palette (24- or 32-bit)";
    return false;
  }
  *palette = RgbPalette(*picture.GetPalette());
  return true;
}

PngImage PalettedPng(const XB_BITMAP& bitmap, const std::vector<RgbColour>& palette, int transparentIndex) {
  PngImage png;
  png.kind = PngImage::Kind::Paletted;
  png.width = bitmap.GetWidth();
  png.height = bitmap.GetHeight();
  png.pixels.assign(bitmap.GetPixels(), bitmap.GetPixels() + static_cast<size_t>(png.width) * png.height);
  png.palette = palette;
  png.palette.resize(256);
  if (transparentIndex >= 0 && transparentIndex < 256) {
    png.paletteAlpha.assign(static_cast<size_t>(transparentIndex) + 1, 255);
    png.paletteAlpha[static_cast<size_t>(transparentIndex)] = 0;
  }
  return png;
}

PngImage GreyPng(const XB_BITMAP& bitmap) {
  PngImage png;
  png.kind = PngImage::Kind::Grey;
  png.width = bitmap.GetWidth();
  png.height = bitmap.GetHeight();
  png.pixels.assign(bitmap.GetPixels(), bitmap.GetPixels() + static_cast<size_t>(png.width) * png.height);
  return png;
}

PngImage RgbPngFrom32(const XB_BITMAP& bitmap) {
  PngImage png;
  png.kind = PngImage::Kind::Rgb;
  png.width = bitmap.GetWidth();
  png.height = bitmap.GetHeight();
  const size_t n = static_cast<size_t>(png.width) * png.height;
  png.pixels.reserve(n * 3);
  for (size_t i = 0; i < n; ++i) {
    const uint32_t v = bitmap.GetPixels32()[i];
    png.pixels.push_back(static_cast<uint8_t>(v >> 16));
    png.pixels.push_back(static_cast<uint8_t>(v >> 8));
    png.pixels.push_back(static_cast<uint8_t>(v));
  }
  return png;
}
