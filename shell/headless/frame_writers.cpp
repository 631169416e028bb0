#include "shell/headless/frame_writers.h"

#include <gif_lib.h>
#include <png.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstring>
#include <memory>
#include <vector>

#include "base/xb_atomic_file.h"

namespace {

struct PngErrorState {
  std::jmp_buf jump;
  char message[256];
};

void PngError(png_structp png, png_const_charp text) {
  auto* state = static_cast<PngErrorState*>(png_get_error_ptr(png));
  std::snprintf(state->message, sizeof state->message, "%s", text);
  std::longjmp(state->jump, 1);
}
void PngWarning(png_structp, png_const_charp) {}

// Output goes through an all-or-nothing file: a failure leaves no cut-short picture behind.
void PngWrite(png_structp png, png_bytep data, png_size_t length) {
  auto* file = static_cast<XB_ATOMIC_FILE*>(png_get_io_ptr(png));
  if (!file->Write(data, length)) png_error(png, file->Error().c_str());
}
void PngFlush(png_structp) {}

}  // namespace

namespace {

// The libpng part on its own: setjmp must not share a frame with C++ objects (std::string, vectors),
// whose registers a longjmp could leave clobbered. Returns false with state.message filled on failure.
bool EncodePalettedPng(XB_ATOMIC_FILE* file, const uint8_t* indices, uint16_t width, uint16_t height,
                       const uint8_t* rgb768, png_bytep* rows, PngErrorState& state) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &state, PngError, PngWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info) {
    png_destroy_write_struct(&png, nullptr);
    std::snprintf(state.message, sizeof state.message, "out of memory");
    return false;
  }
  if (setjmp(state.jump)) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, file, PngWrite, PngFlush);
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_color palette[256];
  for (int i = 0; i < 256; ++i) palette[i] = {rgb768[3 * i], rgb768[3 * i + 1], rgb768[3 * i + 2]};
  png_set_PLTE(png, info, palette, 256);
  png_write_info(png, info);
  for (uint16_t y = 0; y < height; ++y) rows[y] = const_cast<png_bytep>(indices + size_t(y) * width);
  png_write_image(png, rows);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

bool WritePalettedPng(const std::string& path, const uint8_t* indices, uint16_t width, uint16_t height,
                      const uint8_t* rgb768, std::string& error) {
  XB_ATOMIC_FILE file;
  if (!file.Open(path.c_str())) {
    error = file.Error();
    return false;
  }
  PngErrorState state{};
  std::vector<png_bytep> rows(height);
  if (!EncodePalettedPng(&file, indices, width, height, rgb768, rows.data(), state)) {
    error = "cannot write " + path + ": " + state.message;
    return false;
  }
  if (!file.Commit()) {
    error = file.Error();
    return false;
  }
  return true;
}

namespace {

ColorMapObject* MakeColourMap(const uint8_t* rgb768) {
  GifColorType colours[256];
  for (int i = 0; i < 256; ++i) colours[i] = {rgb768[3 * i], rgb768[3 * i + 1], rgb768[3 * i + 2]};
  return GifMakeMapObject(256, colours);
}

int WriteToFile(GifFileType* gif, const GifByteType* bytes, int count) {
  return static_cast<XB_ATOMIC_FILE*>(gif->UserData)->Write(bytes, static_cast<size_t>(count)) ? count : 0;
}

std::string GifMessage(int code) {
  const char* text = GifErrorString(code);
  return text ? text : "unknown GIF error";
}

}  // namespace

AnimatedGif::~AnimatedGif() {
  // A GIF that was never closed is unfinished: it is dropped, not put in place.
  if (gif_) {
    int code = 0;
    EGifCloseFile(static_cast<GifFileType*>(gif_), &code);
    gif_ = nullptr;
  }
  delete static_cast<XB_ATOMIC_FILE*>(file_);
  file_ = nullptr;
}

bool AnimatedGif::Open(const std::string& path, uint16_t width, uint16_t height, const uint8_t* rgb768,
                       std::string& error) {
  // Through our own all-or-nothing file, which also gets the usual permissions (giflib's own open
  // makes it 0600); the GIF appears under its name only when it is complete.
  auto* file = new XB_ATOMIC_FILE;
  if (!file->Open(path.c_str())) {
    error = file->Error();
    delete file;
    return false;
  }
  int code = 0;
  GifFileType* gif = EGifOpen(file, WriteToFile, &code);
  if (!gif) {
    delete file;
    error = "cannot create " + path + ": " + GifMessage(code);
    return false;
  }
  file_ = file;
  gif_ = gif;
  width_ = width;
  height_ = height;
  std::memcpy(globalPalette_, rgb768, sizeof globalPalette_);
  EGifSetGifVersion(gif, true);
  ColorMapObject* map = MakeColourMap(rgb768);
  const bool ok = map && EGifPutScreenDesc(gif, width, height, 8, 0, map) == GIF_OK;
  GifFreeMapObject(map);
  // The NETSCAPE2.0 block: loop forever.
  const unsigned char netscape[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
  const unsigned char loop[] = {1, 0, 0};
  if (!ok || EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) != GIF_OK ||
      EGifPutExtensionBlock(gif, sizeof netscape, netscape) != GIF_OK ||
      EGifPutExtensionBlock(gif, sizeof loop, loop) != GIF_OK || EGifPutExtensionTrailer(gif) != GIF_OK) {
    error = "cannot write " + path + ": " + GifMessage(gif->Error);
    return false;
  }
  return true;
}

bool AnimatedGif::AddFrame(const uint8_t* indices, const uint8_t* rgb768, int delayHundredths,
                           std::string& error) {
  auto* gif = static_cast<GifFileType*>(gif_);
  if (!gif) {
    error = "GIF file is not open";
    return false;
  }
  const size_t size = size_t(width_) * height_;
  // After the first frame only the rectangle that changed is stored, and inside it the unchanged
  // pixels become the transparent index 255, which compresses to almost nothing. That needs a frame
  // without index 255 of its own and the same colours as the frame before; otherwise (or when
  // nothing changed) the frame is stored whole. Either way the picture shown is the exact indices.
  const bool sameColours = !previous_.empty() && std::memcmp(rgb768, previousColours_, 768) == 0;
  int32_t left = width_, top = height_, right = -1, bottom = -1;
  bool delta = sameColours && std::find(indices, indices + size, uint8_t(255)) == indices + size;
  if (delta) {
    for (int32_t y = 0; y < height_; ++y) {
      const uint8_t* a = indices + size_t(y) * width_;
      const uint8_t* b = previous_.data() + size_t(y) * width_;
      if (std::memcmp(a, b, width_) == 0) continue;
      int32_t x0 = 0, x1 = width_ - 1;
      while (a[x0] == b[x0]) ++x0;
      while (a[x1] == b[x1]) --x1;
      left = std::min(left, x0);
      right = std::max(right, x1);
      top = std::min(top, y);
      bottom = y;
    }
    delta = right >= 0;
  }
  if (!delta) left = top = 0, right = width_ - 1, bottom = height_ - 1;
  const int32_t w = right - left + 1, h = bottom - top + 1;

  GraphicsControlBlock control{};
  control.DisposalMode = DISPOSE_DO_NOT;
  control.DelayTime = delayHundredths;
  control.TransparentColor = delta ? 255 : NO_TRANSPARENT_COLOR;
  GifByteType extension[4];
  const size_t length = EGifGCBToExtension(&control, extension);
  ColorMapObject* local = nullptr;
  if (std::memcmp(rgb768, globalPalette_, sizeof globalPalette_) != 0) local = MakeColourMap(rgb768);
  bool ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(length), extension) == GIF_OK &&
            EGifPutImageDesc(gif, left, top, w, h, false, local) == GIF_OK;
  GifFreeMapObject(local);
  std::vector<uint8_t> line(static_cast<size_t>(w));
  for (int32_t y = top; ok && y <= bottom; ++y) {
    const uint8_t* a = indices + size_t(y) * width_ + left;
    if (delta) {
      const uint8_t* b = previous_.data() + size_t(y) * width_ + left;
      for (int32_t x = 0; x < w; ++x) line[size_t(x)] = a[x] == b[x] ? 255 : a[x];
    } else {
      std::memcpy(line.data(), a, size_t(w));
    }
    ok = EGifPutLine(gif, line.data(), w) == GIF_OK;
  }
  if (!ok) error = "cannot write GIF frame: " + GifMessage(gif->Error);
  previous_.assign(indices, indices + size);
  std::memcpy(previousColours_, rgb768, 768);
  return ok;
}

bool AnimatedGif::Close(std::string& error) {
  auto* gif = static_cast<GifFileType*>(gif_);
  if (!gif) return true;
  gif_ = nullptr;
  std::unique_ptr<XB_ATOMIC_FILE> file(static_cast<XB_ATOMIC_FILE*>(file_));
  file_ = nullptr;
  int code = 0;
  const bool closed = EGifCloseFile(gif, &code) == GIF_OK;
  if (!closed) {
    error = "cannot finish GIF file: " + (file->Error().empty() ? GifMessage(code) : file->Error());
    return false;
  }
  if (!file->Commit()) {
    error = "cannot finish GIF file: " + file->Error();
    return false;
  }
  return true;
}

bool WriteRawRgbFrame(std::FILE* out, const uint8_t* indices, uint16_t width, uint16_t height,
                      const uint8_t* rgb768) {
  std::vector<uint8_t> row(size_t(width) * 3);
  for (uint16_t y = 0; y < height; ++y) {
    const uint8_t* src = indices + size_t(y) * width;
    for (uint16_t x = 0; x < width; ++x) std::memcpy(&row[3 * size_t(x)], rgb768 + 3 * src[x], 3);
    if (std::fwrite(row.data(), 1, row.size(), out) != row.size()) return false;
  }
  return true;
}
