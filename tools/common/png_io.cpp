#include "tools/common/png_io.h"

#include <png.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "base/xb_atomic_file.h"

namespace {

struct FileCloser {
  void operator()(FILE* f) const {
    if (f) std::fclose(f);
  }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

bool PngFail(std::string* error, const std::string& message) {
  if (error) *error = message;
  return false;
}

// The libpng part of writing, in a frame of its own that holds no C++ objects: libpng reports errors
// by longjmp, which must never skip a destructor.
void WriteToAtomicFile(png_structp png, png_bytep data, png_size_t length) {
  auto* file = static_cast<XB_ATOMIC_FILE*>(png_get_io_ptr(png));
  if (!file->Write(data, length)) png_error(png, "write failed");
}
void FlushNothing(png_structp) {}

bool EncodePng(png_structp png, png_infop info, XB_ATOMIC_FILE* file, const PngImage& image,
               size_t rowBytes) {
  png_color colours[256];
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_write_fn(png, file, WriteToAtomicFile, FlushNothing);
  int colourType = PNG_COLOR_TYPE_RGB;
  if (image.kind == PngImage::Kind::Paletted) colourType = PNG_COLOR_TYPE_PALETTE;
  if (image.kind == PngImage::Kind::Grey) colourType = PNG_COLOR_TYPE_GRAY;
  if (image.kind == PngImage::Kind::Rgba) colourType = PNG_COLOR_TYPE_RGBA;
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
               colourType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (image.kind == PngImage::Kind::Paletted) {
    const size_t count = std::min<size_t>(image.palette.size(), 256);
    for (size_t i = 0; i < count; ++i)
      colours[i] = png_color{image.palette[i].r, image.palette[i].g, image.palette[i].b};
    png_set_PLTE(png, info, colours, static_cast<int>(count));
    if (!image.paletteAlpha.empty())
      png_set_tRNS(png, info, image.paletteAlpha.data(),
                   static_cast<int>(std::min<size_t>(image.paletteAlpha.size(), 256)), nullptr);
  }
  png_write_info(png, info);
  for (int32_t y = 0; y < image.height; ++y)
    png_write_row(png, const_cast<png_bytep>(image.pixels.data() + rowBytes * static_cast<size_t>(y)));
  png_write_end(png, nullptr);
  return true;
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
    return PngFail(error, path + ": cannot write an image of " + std::to_string(image.width) + " x " +
                              std::to_string(image.height) + " pixels");
  const size_t rowBytes = static_cast<size_t>(image.width) * static_cast<size_t>(image.BytesPerPixel());
  if (image.pixels.size() < rowBytes * static_cast<size_t>(image.height))
    return PngFail(error, path + ": the image holds fewer pixels than its size needs");
  if (image.kind == PngImage::Kind::Paletted && (image.palette.empty() || image.palette.size() > 256))
    return PngFail(error, path + ": a paletted image needs 1 to 256 palette entries");

  // All or nothing: the PNG appears under its name only when every byte is written.
  XB_ATOMIC_FILE file;
  if (!file.Open(path.c_str()))
    return PngFail(error, path + ": cannot create the file (" + file.Error() + ")");
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return PngFail(error, path + ": out of memory");
  }
  const bool written = EncodePng(png, info, &file, image, rowBytes);
  png_destroy_write_struct(&png, &info);
  if (!written)
    return PngFail(
        error, path + ": writing the PNG failed" + (file.Error().empty() ? "" : " (" + file.Error() + ")"));
  if (!file.Commit()) return PngFail(error, path + ": writing the file failed (" + file.Error() + ")");
  return true;
}

namespace {

// What the header pass learns. Plain data only: the libpng passes below use setjmp, and a longjmp must
// never skip the destructor of a C++ object (vectors, strings) living in the same frame.
struct PngHeader {
  int32_t width = 0;
  int32_t height = 0;
  PngImage::Kind kind = PngImage::Kind::Rgb;
  size_t rowBytes = 0;
  int paletteCount = 0;
  png_color palette[256] = {};
  int alphaCount = 0;
  uint8_t alpha[256] = {};
};

bool ReadPngHeader(png_structp png, png_infop info, FILE* file, PngHeader* h) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_init_io(png, file);
  png_set_sig_bytes(png, 8);
  // Refuse absurd sizes before libpng allocates rows for them.
  png_set_user_limits(png, 16384, 16384);
  // A picture needs IHDR, PLTE, tRNS, IDAT and IEND; every other chunk is skipped unread. libpng only
  // warns about an ancillary chunk longer than its limit and then buffers it whole: a damaged length
  // made a 75-byte file ask for 1.6 GB.
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
  png_read_info(png, info);
  const int colourType = png_get_color_type(png, info);
  const int depth = png_get_bit_depth(png, info);
  h->width = static_cast<int32_t>(png_get_image_width(png, info));
  h->height = static_cast<int32_t>(png_get_image_height(png, info));
  if (depth == 16) png_set_strip_16(png);
  if (colourType == PNG_COLOR_TYPE_PALETTE) {
    h->kind = PngImage::Kind::Paletted;
    if (depth < 8) png_set_packing(png);
    png_colorp colours = nullptr;
    int count = 0;
    if (png_get_PLTE(png, info, &colours, &count)) {
      h->paletteCount = std::min(count, 256);
      for (int i = 0; i < h->paletteCount; ++i) h->palette[i] = colours[i];
    }
    png_bytep alpha = nullptr;
    int alphaCount = 0;
    if (png_get_tRNS(png, info, &alpha, &alphaCount, nullptr) && alpha) {
      h->alphaCount = std::min(alphaCount, 256);
      for (int i = 0; i < h->alphaCount; ++i) h->alpha[i] = alpha[i];
    }
  } else if (colourType == PNG_COLOR_TYPE_GRAY && !png_get_valid(png, info, PNG_INFO_tRNS)) {
    h->kind = PngImage::Kind::Grey;
    if (depth < 8) png_set_expand_gray_1_2_4_to_8(png);
  } else {
    if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA)
      png_set_gray_to_rgb(png);
    if (depth < 8) png_set_expand(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
  }
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (h->kind != PngImage::Kind::Paletted && h->kind != PngImage::Kind::Grey)
    h->kind = png_get_channels(png, info) == 4 ? PngImage::Kind::Rgba : PngImage::Kind::Rgb;
  h->rowBytes = png_get_rowbytes(png, info);
  return true;
}

bool ReadPngRows(png_structp png, png_bytepp rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_image(png, rows);
  png_read_end(png, nullptr);
  return true;
}

}  // namespace

bool ReadPng(const std::string& path, PngImage* image, std::string* error) {
  FilePtr file(std::fopen(path.c_str(), "rb"));
  if (!file) return PngFail(error, path + ": cannot open the file");
  return ReadPngFile(file.get(), path, image, error);
}

bool ReadPngFile(FILE* file, const std::string& path, PngImage* image, std::string* error) {
  uint8_t signature[8] = {};
  if (std::fread(signature, 1, 8, file) != 8 || png_sig_cmp(signature, 0, 8) != 0)
    return PngFail(error, path + ": not a PNG file");
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return PngFail(error, path + ": out of memory");
  }
  auto header = std::make_unique<PngHeader>();
  if (!ReadPngHeader(png, info, file, header.get())) {
    png_destroy_read_struct(&png, &info, nullptr);
    return PngFail(error, path + ": damaged PNG data");
  }
  PngImage out;
  out.kind = header->kind;
  out.width = header->width;
  out.height = header->height;
  for (int i = 0; i < header->paletteCount; ++i)
    out.palette.push_back(
        RgbColour{header->palette[i].red, header->palette[i].green, header->palette[i].blue});
  out.paletteAlpha.assign(header->alpha, header->alpha + header->alphaCount);
  const size_t rowBytes = header->rowBytes;
  if (rowBytes != static_cast<size_t>(out.width) * static_cast<size_t>(out.BytesPerPixel())) {
    png_destroy_read_struct(&png, &info, nullptr);
    return PngFail(error, path + ": unsupported PNG layout");
  }
  out.pixels.resize(rowBytes * static_cast<size_t>(out.height));
  std::vector<png_bytep> rows(static_cast<size_t>(out.height));
  for (int32_t y = 0; y < out.height; ++y)
    rows[static_cast<size_t>(y)] = out.pixels.data() + rowBytes * static_cast<size_t>(y);
  const bool read = ReadPngRows(png, rows.data());
  png_destroy_read_struct(&png, &info, nullptr);
  if (!read) return PngFail(error, path + ": damaged PNG data");
  *image = std::move(out);
  return true;
}
