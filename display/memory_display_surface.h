// The memory backend of the display surface: the pixel memory is a plain buffer, and Present keeps a
// copy of what a screen would show (the indices without row padding, and the colour table they are
// seen through). Headless runs write their PNG/GIF/raw outputs from it; tests inspect it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "display/display_surface.h"

class MemoryDisplaySurface final : public DisplaySurface {
 public:
  struct Options {
    // The screen's 256 system palette entries (red, green, blue) to simulate a palette device.
    const uint8_t* systemPalette = nullptr;
    // Failure injection for the callers' error paths.
    bool failCreate = false;
    bool failSetPalette = false;
    bool failPresent = false;
    // Present as a backend that keeps its shown frame: the presentation hands over the changed
    // tiles, and only those are copied into the presented frame (the headless renderer runs so, the
    // way the X11 saver shows its frames).
    bool keepsShownFrame = false;
  };

  // Never null; check Failed(). An 8-bit surface is the only kind; other depths fail.
  static std::unique_ptr<MemoryDisplaySurface> Create(const SurfaceRect& rect, uint16_t bitsPerPixel,
                                                      uint8_t fill, const Options& options);
  static std::unique_ptr<MemoryDisplaySurface> Create(const SurfaceRect& rect, uint16_t bitsPerPixel,
                                                      uint8_t fill) {
    return Create(rect, bitsPerPixel, fill, Options{});
  }

  bool SetPalette(const uint8_t* rgb) override;
  uint8_t* Pixels() override;
  uint8_t* PixelsToOverwrite() override;
  bool Present() override;
  bool KeepsShownFrame() const override { return options_.keepsShownFrame; }
  bool PresentChanges(const std::vector<SurfaceChange>& changes,
                      const std::vector<SurfaceChange>& rows) override;
  void ReleasePalette() override;
  void Release() override;

  bool HasPalette() const { return hasPalette_; }
  bool Released() const { return released_; }
  // The realised logical palette (only meaningful while HasPalette()).
  const SurfaceColours& Colours() const { return colours_; }

  // What the last successful Present showed.
  uint32_t PresentCount() const { return presentCount_; }
  // Width × height palette indices, rows without padding.
  const std::vector<uint8_t>& PresentedIndices() const { return presented_; }
  // The colours the presented indices are seen through: 256 × (red, green, blue), 0 and 255 black.
  const uint8_t* PresentedColours() const { return presentedColours_; }
  // The presented frame as width × height × 3 bytes red, green, blue.
  std::vector<uint8_t> PresentedRgb() const;

 private:
  MemoryDisplaySurface() = default;
  void KeepColours();

  Options options_;
  std::vector<uint8_t> pixels_;
  SurfaceColours colours_{};
  bool hasPalette_ = false;
  bool released_ = false;
  uint32_t presentCount_ = 0;
  std::vector<uint8_t> presented_;
  // Without row padding, Present hands the pixel memory over to `presented_` instead of copying it;
  // while this is set, the surface's pixels are the presented ones and pixels_ holds stale bytes,
  // brought back by Pixels() (not by PixelsToOverwrite, whose caller replaces them all).
  bool pixelsArePresented_ = false;
  uint8_t presentedColours_[768] = {};
};
