// The 8-bit display surface: the bridge from the frame bitmap to the screen. A surface has the
// window's client size, one palette index per pixel in rows padded to a multiple of 4 bytes, and a
// palette built from the program's PALETTE resource. Backends: the Win32 DIB section, the SDL texture,
// and the memory surface (headless runs and tests).
//
// Colour rule shared by every backend: pixel values 1..254 show the resource's colours; 0 and 255
// always show black (the resource's entries 0 and 255 are never used). Where the screen has a system
// palette its 20 static colours (0..9 and 246..255) take those places in the realised palette.
#pragma once

#include <cstdint>
#include <vector>

#include "display/frame_changes.h"

struct SurfaceRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
};

class DisplaySurface {
 public:
  virtual ~DisplaySurface() = default;
  DisplaySurface(const DisplaySurface&) = delete;
  DisplaySurface& operator=(const DisplaySurface&) = delete;

  // rgb: 768 bytes, 256 triples red, green, blue. Drops a palette set earlier. False on the first
  // failing step.
  virtual bool SetPalette(const uint8_t* rgb) = 0;
  // The pixel memory (rows from the top, Pitch() bytes apart), or null without an 8-bit surface.
  virtual uint8_t* Pixels() = 0;
  // The pixel memory for a caller that writes every pixel of every row before it is read or shown:
  // what it held before need not be kept (a backend that keeps the shown frame elsewhere is spared a
  // copy). Row padding is not part of the promise.
  virtual uint8_t* PixelsToOverwrite() { return Pixels(); }
  // Shows the whole surface at (rect.left, rect.top). False (showing nothing) without a palette.
  virtual bool Present() = 0;
  // A backend whose pixel memory still holds the frame it showed last, and that can send the parts
  // of a frame that changed on their own (the X11 picture): the presentation then writes only the
  // changed tiles into Pixels() and hands them over through PresentChanges, instead of copying the
  // whole frame for the backend to compare once more.
  virtual bool KeepsShownFrame() const { return false; }
  // Shows the surface, of which only the pixels inside `changes` differ from what was shown last;
  // `rows` holds those pixels row by row (see CopyChangedTiles).
  virtual bool PresentChanges(const std::vector<SurfaceChange>& changes,
                              const std::vector<SurfaceChange>& rows) {
    (void)changes;
    (void)rows;
    return Present();
  }
  virtual void ReleasePalette() = 0;
  // Frees everything the surface holds; the owner then deletes the object. Safe to call twice.
  virtual void Release() = 0;
  // Waits until the system has finished drawing into the pixel memory (GdiFlush); the saver calls it
  // before writing pixels directly.
  virtual void Flush() {}

  bool Failed() const { return failed_; }
  uint16_t Width() const { return width_; }
  uint16_t Height() const { return height_; }
  uint16_t BitsPerPixel() const { return bitsPerPixel_; }
  const SurfaceRect& Rect() const { return rect_; }
  // Bytes from one row to the next.
  virtual uint32_t Pitch() const { return DisplayRowPitch(width_); }

  // Rows of an 8-bit surface are padded to a multiple of 4 bytes.
  static uint32_t DisplayRowPitch(uint32_t width) { return (width + 3u) & ~3u; }

 protected:
  DisplaySurface() = default;

  uint16_t width_ = 0;
  uint16_t height_ = 0;
  uint16_t bitsPerPixel_ = 8;
  SurfaceRect rect_;
  bool failed_ = false;
};

// The colours a backend gives to the system, built once per SetPalette.
struct SurfaceColours {
  // The logical palette (red, green, blue): resource colours at 1..254, black at 0 and 255, and with a
  // system palette its entries 0..9 and 246..255 in their places.
  uint8_t logical[256][3];
  // The section's colour table (blue, green, red, 0): resource colours at 1..254, black at 0 and 255.
  uint8_t table[256][4];
};

// systemPalette: the screen's 256 system palette entries (red, green, blue), or null on a screen
// without a system palette (true-colour displays, headless).
void BuildSurfaceColours(const uint8_t* rgb, const uint8_t* systemPalette, SurfaceColours& out);

// The checked size of a surface over a rectangle: false when it is empty, inverted or wider or higher
// than 65535 pixels (the sizes are 16-bit).
bool SurfaceSizeFromRect(const SurfaceRect& rect, uint16_t& width, uint16_t& height);
