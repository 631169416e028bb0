// Animated GIF writing for the command-line tools (giflib): frames of 8-bit palette indices that all
// share one 256-colour palette, shown for a fixed delay each.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/common/png_io.h"

class GifWriter {
 public:
  GifWriter() = default;
  ~GifWriter();
  GifWriter(const GifWriter&) = delete;
  GifWriter& operator=(const GifWriter&) = delete;

  // Opens the file; `palette` must have 256 entries (fewer are padded with black). `loop` = 0 loops
  // forever. False with `error` set when the file cannot be created.
  bool Open(const std::string& path, int32_t width, int32_t height, const std::vector<RgbColour>& palette,
            int loopCount, std::string* error);
  // One frame of width * height indices, shown for delayHundredths (1/100 s).
  bool AddFrame(const uint8_t* indices, int delayHundredths, std::string* error);
  // Finishes the file; also done by the destructor.
  bool Close(std::string* error);

 private:
  void* gif_ = nullptr;  // GifFileType
  int32_t width_ = 0;
  int32_t height_ = 0;
};
