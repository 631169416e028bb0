// The display surface over a device-independent section: 8 bits per pixel, rows top-down, a logical
// palette that keeps the system's 20 static colours, and the whole surface blitted into the window's
// drawing context in one BitBlt per frame.
//
// Display scaling: the surface holds the scene (the window's size divided by the scale). With a scale
// above 1 a second, window-sized section receives each frame enlarged pixel for pixel (nearest
// neighbour) before the blit, so the screen shows whole, sharp pixels and the blit is still 1:1.
#pragma once

#include <windows.h>

#include <memory>

#include "display/display_surface.h"

class DibSurface final : public DisplaySurface {
 public:
  // Never null; check Failed().
  static std::unique_ptr<DibSurface> Create(HWND window, const SurfaceRect& rect, uint16_t bitsPerPixel,
                                            uint8_t fill, uint16_t scale);
  ~DibSurface() override { Release(); }

  bool SetPalette(const uint8_t* rgb) override;
  uint8_t* Pixels() override { return pixels_; }
  bool Present() override;
  void ReleasePalette() override;
  void Release() override;
  void Flush() override { GdiFlush(); }

 private:
  DibSurface() = default;
  bool MakeSection(HDC dc, int width, int height, HBITMAP& bitmap, uint8_t*& pixels) const;

  HBITMAP bitmap_ = nullptr;
  HGDIOBJ previousBitmap_ = nullptr;
  HDC memoryDC_ = nullptr;
  HDC windowDC_ = nullptr;
  HWND window_ = nullptr;
  uint8_t* pixels_ = nullptr;
  HPALETTE palette_ = nullptr;
  HPALETTE previousPalette_ = nullptr;
  // The enlarged copy (scale > 1 only).
  uint16_t scale_ = 1;
  HBITMAP bigBitmap_ = nullptr;
  HGDIOBJ bigPreviousBitmap_ = nullptr;
  HDC bigDC_ = nullptr;
  uint8_t* bigPixels_ = nullptr;
};
