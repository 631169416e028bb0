// The area the saver window covers: every monitor, not only the primary one. A front end reads its
// monitors through a ScreenLayout (EnumDisplayMonitors on Windows, a fake in tests) and gets the
// window's rectangle in virtual-screen coordinates; the record's screen size is that rectangle's size.
#pragma once

#include <cstdint>
#include <vector>

#include "display/display_surface.h"

struct SaverApplication;

class ScreenLayout {
 public:
  virtual ~ScreenLayout() = default;
  // Each monitor's rectangle in virtual-screen pixels (the primary monitor's top left is 0, 0; others
  // may lie at negative coordinates). May be empty when the system cannot tell.
  virtual std::vector<SurfaceRect> MonitorRects() = 0;
  // The primary screen (0, 0, width, height): the fallback when no monitor is reported.
  virtual SurfaceRect PrimaryRect() = 0;
  virtual uint16_t BitsPerPixel() = 0;
};

// The smallest rectangle around all monitors with a positive size (the primary screen when there are
// none), cut to at most 65535 pixels each way from its left and top: the record's sizes are 16-bit.
SurfaceRect SaverScreenArea(const std::vector<SurfaceRect>& monitors, const SurfaceRect& primary);

// Sets screenWidth, screenHeight and screenBitsPerPixel from the layout and returns the window's
// rectangle in virtual-screen coordinates.
SurfaceRect ReadSaverScreenMetrics(SaverApplication& app, ScreenLayout& layout);
