#include "tools/common/gif_writer.h"

#include <gif_lib.h>

namespace {
bool GifFail(std::string* error, const std::string& message) {
  if (error) *error = message;
  return false;
}
GifFileType* Gif(void* p) {
  return static_cast<GifFileType*>(p);
}
}  // namespace

GifWriter::~GifWriter() {
  Close(nullptr);
}

bool GifWriter::Open(const std::string& path, int32_t width, int32_t height,
                     const std::vector<RgbColour>& palette, int loopCount, std::string* error) {
  if (gif_) Close(nullptr);
  if (width <= 0 || height <= 0 || width > 65535 || height > 65535)
    return GifFail(error,
                   path + ": a GIF cannot be " + std::to_string(width) + " x " + std::to_string(height));
  int code = 0;
  GifFileType* gif = EGifOpenFileName(path.c_str(), false, &code);
  if (!gif) return GifFail(error, path + ": cannot create the file (" + GifErrorString(code) + ")");
  GifColorType colours[256] = {};
  for (size_t i = 0; i < palette.size() && i < 256; ++i)
    colours[i] = GifColorType{palette[i].r, palette[i].g, palette[i].b};
  ColorMapObject* map = GifMakeMapObject(256, colours);
  EGifSetGifVersion(gif, true);
  if (EGifPutScreenDesc(gif, width, height, 8, 0, map) == GIF_ERROR) {
    GifFreeMapObject(map);
    EGifCloseFile(gif, &code);
    return GifFail(error, path + ": writing the GIF header failed");
  }
  GifFreeMapObject(map);
  // The NETSCAPE2.0 application block makes viewers loop the animation.
  const unsigned char netscape[] = "NETSCAPE2.0";
  const unsigned char loop[] = {1, static_cast<unsigned char>(loopCount & 0xFF),
                                static_cast<unsigned char>((loopCount >> 8) & 0xFF)};
  if (EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_ERROR ||
      EGifPutExtensionBlock(gif, 11, netscape) == GIF_ERROR ||
      EGifPutExtensionBlock(gif, 3, loop) == GIF_ERROR || EGifPutExtensionTrailer(gif) == GIF_ERROR) {
    EGifCloseFile(gif, &code);
    return GifFail(error, path + ": writing the GIF header failed");
  }
  gif_ = gif;
  width_ = width;
  height_ = height;
  return true;
}

bool GifWriter::AddFrame(const uint8_t* indices, int delayHundredths, std::string* error) {
  if (!gif_) return GifFail(error, "GIF writer: no file is open");
  GraphicsControlBlock control = {};
  control.DisposalMode = DISPOSE_DO_NOT;
  control.DelayTime = delayHundredths;
  control.TransparentColor = NO_TRANSPARENT_COLOR;
  GifByteType extension[4];
  const size_t length = EGifGCBToExtension(&control, extension);
  if (EGifPutExtension(Gif(gif_), GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension) == GIF_ERROR ||
      EGifPutImageDesc(Gif(gif_), 0, 0, width_, height_, false, nullptr) == GIF_ERROR)
    return GifFail(error, "GIF writer: writing a frame failed");
  for (int32_t y = 0; y < height_; ++y)
    if (EGifPutLine(Gif(gif_), const_cast<GifPixelType*>(indices + static_cast<size_t>(y) * width_),
                    width_) == GIF_ERROR)
      return GifFail(error, "GIF writer: writing a frame failed");
  return true;
}

bool GifWriter::Close(std::string* error) {
  if (!gif_) return true;
  int code = 0;
  const bool ok = EGifCloseFile(Gif(gif_), &code) != GIF_ERROR;
  gif_ = nullptr;
  return ok ? true : GifFail(error, std::string("GIF writer: closing failed (") + GifErrorString(code) + ")");
}
