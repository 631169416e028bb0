#include "display/memory_display_surface.h"

#include <cstring>

std::unique_ptr<MemoryDisplaySurface> MemoryDisplaySurface::Create(const SurfaceRect& rect,
                                                                   uint16_t bitsPerPixel, uint8_t fill,
                                                                   const Options& options) {
  std::unique_ptr<MemoryDisplaySurface> surface(new MemoryDisplaySurface());
  surface->options_ = options;
  surface->rect_ = rect;
  surface->bitsPerPixel_ = bitsPerPixel;
  uint16_t w = 0, h = 0;
  if (options.failCreate || bitsPerPixel != 8 || !SurfaceSizeFromRect(rect, w, h)) {
    // Like a section that could not be made: the sizes stay as given, no pixel memory exists.
    surface->width_ = static_cast<uint16_t>(int64_t(rect.right) - rect.left);
    surface->height_ = static_cast<uint16_t>(int64_t(rect.bottom) - rect.top);
    surface->failed_ = true;
    return surface;
  }
  surface->width_ = w;
  surface->height_ = h;
  surface->pixels_.assign(size_t(surface->Pitch()) * h, fill);
  return surface;
}

uint8_t* MemoryDisplaySurface::Pixels() {
  if (pixels_.empty()) return nullptr;
  if (pixelsArePresented_) {
    std::memcpy(pixels_.data(), presented_.data(), pixels_.size());
    pixelsArePresented_ = false;
  }
  return pixels_.data();
}

uint8_t* MemoryDisplaySurface::PixelsToOverwrite() {
  if (pixels_.empty()) return nullptr;
  pixelsArePresented_ = false;
  return pixels_.data();
}

bool MemoryDisplaySurface::SetPalette(const uint8_t* rgb) {
  ReleasePalette();
  if (!rgb || options_.failSetPalette || released_) return false;
  BuildSurfaceColours(rgb, options_.systemPalette, colours_);
  hasPalette_ = true;
  return true;
}

bool MemoryDisplaySurface::Present() {
  if (!hasPalette_ || options_.failPresent || pixels_.empty()) return false;
  const uint32_t pitch = Pitch();
  if (pitch == width_) {
    // No row padding: the pixel memory itself becomes the presented frame (see pixelsArePresented_).
    if (!pixelsArePresented_) {
      presented_.resize(pixels_.size());
      presented_.swap(pixels_);
      pixelsArePresented_ = true;
    }
  } else {
    presented_.resize(size_t(width_) * height_);
    for (uint32_t y = 0; y < height_; ++y)
      std::memcpy(presented_.data() + size_t(y) * width_, pixels_.data() + size_t(y) * pitch, width_);
  }
  KeepColours();
  ++presentCount_;
  return true;
}

void MemoryDisplaySurface::KeepColours() {
  // What a pixel shows is decided by the section's colour table, whose 0 and 255 are black.
  for (int i = 0; i < 256; ++i) {
    presentedColours_[3 * i + 0] = colours_.table[i][2];
    presentedColours_[3 * i + 1] = colours_.table[i][1];
    presentedColours_[3 * i + 2] = colours_.table[i][0];
  }
}

bool MemoryDisplaySurface::PresentChanges(const std::vector<SurfaceChange>& changes,
                                          const std::vector<SurfaceChange>& rows) {
  (void)rows;  // the rectangles are copied whole: nothing is converted here
  if (!hasPalette_ || options_.failPresent || pixels_.empty()) return false;
  // Nothing shown yet, or the pixel memory itself is the shown frame: everything goes.
  if (presentCount_ == 0 || presented_.size() != size_t(width_) * height_ || pixelsArePresented_)
    return Present();
  const uint32_t pitch = Pitch();
  for (const SurfaceChange& c : changes)
    for (uint32_t y = c.top; y < c.top + c.height; ++y)
      std::memcpy(presented_.data() + size_t(y) * width_ + c.left,
                  pixels_.data() + size_t(y) * pitch + c.left, c.width);
  KeepColours();
  ++presentCount_;
  return true;
}

void MemoryDisplaySurface::ReleasePalette() {
  hasPalette_ = false;
  std::memset(&colours_, 0, sizeof colours_);
}

void MemoryDisplaySurface::Release() {
  ReleasePalette();
  pixels_.clear();
  pixels_.shrink_to_fit();
  pixelsArePresented_ = false;
  released_ = true;
}

std::vector<uint8_t> MemoryDisplaySurface::PresentedRgb() const {
  std::vector<uint8_t> rgb(presented_.size() * 3);
  for (size_t i = 0; i < presented_.size(); ++i)
    std::memcpy(&rgb[3 * i], presentedColours_ + 3 * presented_[i], 3);
  return rgb;
}
