// The headless front end's outputs: paletted PNG files, one animated GIF, raw RGB24 on a stream. The
// 8-bit frames and their palette go in as they are (no quantisation), so the files hold exactly the
// indices the saver drew.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// One paletted PNG (8 bits per pixel, 256 palette entries). False with `error` set on failure.
bool WritePalettedPng(const std::string& path, const uint8_t* indices, uint16_t width, uint16_t height,
                      const uint8_t* rgb768, std::string& error);

// An animated GIF that loops forever; every frame carries its own palette when it differs from the
// global one (the saver's palette never changes, so in practice there is only the global one).
// Frames after the first store only their changed rectangle; the shown picture is always exact.
class AnimatedGif {
 public:
  AnimatedGif() = default;
  ~AnimatedGif();
  AnimatedGif(const AnimatedGif&) = delete;
  AnimatedGif& operator=(const AnimatedGif&) = delete;

  bool Open(const std::string& path, uint16_t width, uint16_t height, const uint8_t* rgb768,
            std::string& error);
  bool AddFrame(const uint8_t* indices, const uint8_t* rgb768, int delayHundredths, std::string& error);
  // Finishes the GIF and puts it in place under its name. A GIF destroyed without Close leaves no
  // file behind.
  bool Close(std::string& error);

 private:
  void* gif_ = nullptr;   // GifFileType
  void* file_ = nullptr;  // XB_ATOMIC_FILE written through the GIF's output function
  uint16_t width_ = 0;
  uint16_t height_ = 0;
  uint8_t globalPalette_[768] = {};
  std::vector<uint8_t> previous_;  // the frame before, for storing only what changed
  uint8_t previousColours_[768] = {};
};

// One frame as width × height × 3 bytes red, green, blue.
bool WriteRawRgbFrame(std::FILE* out, const uint8_t* indices, uint16_t width, uint16_t height,
                      const uint8_t* rgb768);
