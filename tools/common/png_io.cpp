#include "tools/common/png_io.h"

#include <png.h>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

struct FileCloser {
  void operator()(FILE* f) const {
    if (f) std::fclose(f);
  }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

bool Fail(std::string* error, const std::string& message) {
  if (error) *error = message;
  return false;
}

}  // namespace

int32_t PngImage::BytesPerPixel() const {
  switch (kind) {
    case Kind::Paletted:
    case Kind::Grey:
      return 1;
    case Kind::Rgb:
      return 3;
    case Kind::Rgba:
      return 4;
  }
  return 1;
}

bool WritePng(const std::string& path, const PngImage& image, std::string* error) {
  if (image.width <= 0 || image.height <= 0)
    return Fail(error, path + ": cannot write an image of " + std::to_string(image.width) + " x " +
                           std::to_string(image.height) + " pixels");
  const size_t rowBytes = static_cast<size_t>(image.width) * static_cast<size_t>(image.BytesPerPixel());
  if (image.pixels.size() < rowBytes * static_cast<size_t>(image.height))
    return Fail(error, path + ": the image holds fewer pixels than its size needs");
  if (image.kind == PngImage::Kind::Paletted && (image.palette.empty() || image.palette.size() > 256))
    return Fail(error, path + ": a paletted image needs 1 to 256 palette entries");

  FilePtr file(std::fopen(path.c_str(), "wb"));
  if (!file) return Fail(error, path + ": cannot create the file");
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return Fail(error, path + ": out of memory");
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return Fail(error, path + ": writing the PNG failed");
  }
  png_init_io(png, file.get());
  int colourType = PNG_COLOR_TYPE_RGB;
  if (image.kind == PngImage::Kind::Paletted) colourType = PNG_COLOR_TYPE_PALETTE;
  if (image.kind == PngImage::Kind::Grey) colourType = PNG_COLOR_TYPE_GRAY;
  if (image.kind == PngImage::Kind::Rgba) colourType = PNG_COLOR_TYPE_RGBA;
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
               colourType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  std::vector<png_color> colours;
  if (image.kind == PngImage::Kind::Paletted) {
    for (const RgbColour& c : image.palette) colours.push_back(png_color{c.r, c.g, c.b});
    png_set_PLTE(png, info, colours.data(), static_cast<int>(colours.size()));
    if (!image.paletteAlpha.empty())
      png_set_tRNS(png, info, image.paletteAlpha.data(),
                   static_cast<int>(std::min<size_t>(image.paletteAlpha.size(), 256)), nullptr);
  }
  png_write_info(png, info);
  for (int32_t y = 0; y < image.height; ++y)
    png_write_row(png, const_cast<png_bytep>(image.pixels.data() + rowBytes * static_cast<size_t>(y)));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  if (std::fflush(file.get()) != 0) return Fail(error, path + ": writing the file failed");
  return true;
}

bool ReadPng(const std::string& path, PngImage* image, std::string* error) {
  FilePtr file(std::fopen(path.c_str(), "rb"));
  if (!file) return Fail(error, path + ": cannot open the file");
  uint8_t signature[8] = {};
  if (std::fread(signature, 1, 8, file.get()) != 8 || png_sig_cmp(signature, 0, 8) != 0)
    return Fail(error, path + ": not a PNG file");
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return Fail(error, path + ": out of memory");
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return Fail(error, path + ": damaged PNG data");
  }
  png_init_io(png, file.get());
  png_set_sig_bytes(png, 8);
  // Refuse absurd sizes before libpng allocates rows for them.
  png_set_user_limits(png, 16384, 16384);
  png_read_info(png, info);
  const int colourType = png_get_color_type(png, info);
  const int depth = png_get_bit_depth(png, info);
  PngImage out;
  out.width = static_cast<int32_t>(png_get_image_width(png, info));
  out.height = static_cast<int32_t>(png_get_image_height(png, info));
  if (depth == 16) png_set_strip_16(png);
  if (colourType == PNG_COLOR_TYPE_PALETTE) {
    out.kind = PngImage::Kind::Paletted;
    if (depth < 8) png_set_packing(png);
    png_colorp colours = nullptr;
    int count = 0;
    if (png_get_PLTE(png, info, &colours, &count))
      for (int i = 0; i < count; ++i)
        out.palette.push_back(RgbColour{colours[i].red, colours[i].green, colours[i].blue});
    png_bytep alpha = nullptr;
    int alphaCount = 0;
    if (png_get_tRNS(png, info, &alpha, &alphaCount, nullptr) && alpha)
      out.paletteAlpha.assign(alpha, alpha + alphaCount);
  } else if (colourType == PNG_COLOR_TYPE_GRAY && !png_get_valid(png, info, PNG_INFO_tRNS)) {
    out.kind = PngImage::Kind::Grey;
    if (depth < 8) png_set_expand_gray_1_2_4_to_8(png);
  } else {
    if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA)
      png_set_gray_to_rgb(png);
    if (depth < 8) png_set_expand(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
  }
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (out.kind != PngImage::Kind::Paletted && out.kind != PngImage::Kind::Grey)
    out.kind = png_get_channels(png, info) == 4 ? PngImage::Kind::Rgba : PngImage::Kind::Rgb;
  const size_t rowBytes = png_get_rowbytes(png, info);
  if (rowBytes != static_cast<size_t>(out.width) * static_cast<size_t>(out.BytesPerPixel())) {
    png_destroy_read_struct(&png, &info, nullptr);
    return Fail(error, path + ": unsupported PNG layout");
  }
  out.pixels.resize(rowBytes * static_cast<size_t>(out.height));
  std::vector<png_bytep> rows(static_cast<size_t>(out.height));
  for (int32_t y = 0; y < out.height; ++y)
    rows[static_cast<size_t>(y)] = out.pixels.data() + rowBytes * static_cast<size_t>(y);
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  *image = std::move(out);
  return true;
}
