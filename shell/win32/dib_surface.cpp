#include "shell/win32/dib_surface.h"

#include <cstring>
#include <vector>

#include "display/display_scale.h"

bool DibSurface::MakeSection(HDC dc, int width, int height, HBITMAP& bitmap, uint8_t*& pixels) const {
  // Header plus the colour table; the colours stay black until SetPalette.
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colours[256];
  } info{};
  info.header.biSize = sizeof(BITMAPINFOHEADER);
  info.header.biWidth = width;
  info.header.biHeight = -height;  // rows run top-down
  info.header.biPlanes = 1;
  info.header.biBitCount = 8;
  info.header.biCompression = BI_RGB;
  info.header.biSizeImage = DWORD(DisplayRowPitch(uint32_t(width))) * DWORD(height);
  void* bits = nullptr;
  bitmap = CreateDIBSection(dc, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
  pixels = static_cast<uint8_t*>(bits);
  return bitmap != nullptr && bits != nullptr;
}

std::unique_ptr<DibSurface> DibSurface::Create(HWND window, const SurfaceRect& rect, uint16_t bitsPerPixel,
                                               uint8_t fill, uint16_t scale) {
  std::unique_ptr<DibSurface> s(new DibSurface());
  s->window_ = window;
  s->windowDC_ = GetWindowDC(window);
  s->rect_ = rect;
  s->scale_ = scale ? scale : 1;
  if (bitsPerPixel != 8 || !SurfaceSizeFromRect(rect, s->width_, s->height_) ||
      uint32_t(s->width_) * s->scale_ > 65535u || uint32_t(s->height_) * s->scale_ > 65535u) {
    s->failed_ = true;
    return s;
  }
  s->memoryDC_ = CreateCompatibleDC(nullptr);
  if (!s->memoryDC_ || !s->MakeSection(s->memoryDC_, s->width_, s->height_, s->bitmap_, s->pixels_)) {
    s->failed_ = true;
    if (s->bitmap_) DeleteObject(s->bitmap_);
    s->bitmap_ = nullptr;
    s->pixels_ = nullptr;
    if (s->memoryDC_) DeleteDC(s->memoryDC_);
    s->memoryDC_ = nullptr;
    return s;
  }
  s->previousBitmap_ = SelectObject(s->memoryDC_, s->bitmap_);
  if (!s->previousBitmap_) {
    s->failed_ = true;
    DeleteObject(s->bitmap_);
    DeleteDC(s->memoryDC_);
    s->bitmap_ = nullptr;
    s->memoryDC_ = nullptr;
    s->pixels_ = nullptr;
    return s;
  }
  std::memset(s->pixels_, fill, size_t(s->Pitch()) * s->height_);
  if (s->scale_ > 1) {
    s->bigDC_ = CreateCompatibleDC(nullptr);
    if (!s->bigDC_ ||
        !s->MakeSection(s->bigDC_, s->width_ * s->scale_, s->height_ * s->scale_, s->bigBitmap_,
                        s->bigPixels_) ||
        !(s->bigPreviousBitmap_ = SelectObject(s->bigDC_, s->bigBitmap_))) {
      s->failed_ = true;  // Release frees what exists
      return s;
    }
  }
  return s;
}

bool DibSurface::SetPalette(const uint8_t* rgb) {
  ReleasePalette();
  // Only a palette device has static colours to keep; a true-colour screen reports none.
  std::vector<uint8_t> system;
  PALETTEENTRY entries[256] = {};
  if (windowDC_ && (GetDeviceCaps(windowDC_, RASTERCAPS) & RC_PALETTE) &&
      GetSystemPaletteEntries(windowDC_, 0, 256, entries) == 256) {
    system.resize(768);
    for (int i = 0; i < 256; ++i) {
      system[3 * i] = entries[i].peRed;
      system[3 * i + 1] = entries[i].peGreen;
      system[3 * i + 2] = entries[i].peBlue;
    }
  }
  SurfaceColours colours;
  BuildSurfaceColours(rgb, system.empty() ? nullptr : system.data(), colours);

  struct {
    WORD version;
    WORD count;
    PALETTEENTRY entries[256];
  } logical{};
  logical.version = 0x300;
  logical.count = 256;
  for (int i = 0; i < 256; ++i)
    logical.entries[i] = PALETTEENTRY{colours.logical[i][0], colours.logical[i][1], colours.logical[i][2], 0};
  palette_ = CreatePalette(reinterpret_cast<LOGPALETTE*>(&logical));
  if (!palette_) return false;
  previousPalette_ = SelectPalette(windowDC_, palette_, FALSE);
  if (!previousPalette_) return false;
  RGBQUAD table[256];
  static_assert(sizeof table == sizeof colours.table);
  std::memcpy(table, colours.table, sizeof table);
  if (memoryDC_) SetDIBColorTable(memoryDC_, 0, 255, table);
  if (bigDC_) SetDIBColorTable(bigDC_, 0, 255, table);
  SelectPalette(windowDC_, palette_, FALSE);
  RealizePalette(windowDC_);
  return true;
}

bool DibSurface::Present() {
  if (!palette_ || !windowDC_) return false;
  const HPALETTE displaced = SelectPalette(windowDC_, palette_, FALSE);
  if (!displaced) return false;
  bool ok;
  if (scale_ > 1 && bigPixels_) {
    const uint32_t bigWidth = uint32_t(width_) * scale_;
    EnlargeIndices(pixels_, Pitch(), width_, height_, scale_, bigPixels_, DisplayRowPitch(bigWidth));
    ok =
        BitBlt(windowDC_, rect_.left, rect_.top, int(bigWidth), int(height_) * scale_, bigDC_, 0, 0, SRCCOPY);
  } else {
    ok = BitBlt(windowDC_, rect_.left, rect_.top, width_, height_, memoryDC_, 0, 0, SRCCOPY);
  }
  SelectPalette(windowDC_, displaced, FALSE);
  return ok;
}

void DibSurface::ReleasePalette() {
  if (!palette_) return;
  if (windowDC_ && previousPalette_) SelectPalette(windowDC_, previousPalette_, FALSE);
  DeleteObject(palette_);
  palette_ = nullptr;
  previousPalette_ = nullptr;
}

void DibSurface::Release() {
  ReleasePalette();
  if (bigDC_) {
    if (bigPreviousBitmap_) SelectObject(bigDC_, bigPreviousBitmap_);
    DeleteDC(bigDC_);
    bigDC_ = nullptr;
  }
  if (bigBitmap_) DeleteObject(bigBitmap_);
  bigBitmap_ = nullptr;
  bigPixels_ = nullptr;
  if (memoryDC_) {
    if (previousBitmap_) SelectObject(memoryDC_, previousBitmap_);
    DeleteDC(memoryDC_);
    memoryDC_ = nullptr;
  }
  if (bitmap_) DeleteObject(bitmap_);
  bitmap_ = nullptr;
  pixels_ = nullptr;
  if (windowDC_) ReleaseDC(window_, windowDC_);
  windowDC_ = nullptr;
}
