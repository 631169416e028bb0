#include "shell/screen_layout.h"

#include <algorithm>

#include "scene/saver_application.h"

SurfaceRect SaverScreenArea(const std::vector<SurfaceRect>& monitors, const SurfaceRect& primary) {
  bool any = false;
  SurfaceRect area;
  for (const SurfaceRect& m : monitors) {
    if (m.right <= m.left || m.bottom <= m.top) continue;  // a monitor without pixels covers nothing
    if (!any) {
      area = m;
      any = true;
      continue;
    }
    area.left = std::min(area.left, m.left);
    area.top = std::min(area.top, m.top);
    area.right = std::max(area.right, m.right);
    area.bottom = std::max(area.bottom, m.bottom);
  }
  if (!any) area = primary;
  // Computed in 64 bits: monitors far apart must not overflow the difference.
  constexpr int64_t kMaxSide = 65535;
  if (int64_t(area.right) - area.left > kMaxSide) area.right = static_cast<int32_t>(area.left + kMaxSide);
  if (int64_t(area.bottom) - area.top > kMaxSide) area.bottom = static_cast<int32_t>(area.top + kMaxSide);
  if (area.right < area.left) area.right = area.left;
  if (area.bottom < area.top) area.bottom = area.top;
  return area;
}

SurfaceRect ReadSaverScreenMetrics(SaverApplication& app, ScreenLayout& layout) {
  const SurfaceRect area = SaverScreenArea(layout.MonitorRects(), layout.PrimaryRect());
  app.screenWidth = static_cast<uint16_t>(area.right - area.left);
  app.screenHeight = static_cast<uint16_t>(area.bottom - area.top);
  app.screenBitsPerPixel = layout.BitsPerPixel();
  return area;
}
