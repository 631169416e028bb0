// The monitors of the desktop and the saver's DPI awareness.
//
// Monitors: EnumDisplayMonitors, the primary first (the spine gives the primary's scene the sound).
// For tests there is one seam: with TILLANDS_FAKE_MONITORS naming a file (like the capture variables,
// never a command-line letter), the monitors are read from it instead, one "left top right bottom" line
// each in virtual-screen pixels, the primary first; the file is read again at every display change.
// Wine sees one monitor in every set-up we tried, so the layout is tested there through this seam.
//
// DPI: the saver window must get every monitor's real pixels, so saver mode makes the process
// per-monitor DPI aware (v2, else per-monitor, else system aware) before it measures anything. It is
// done at run time and only in saver mode, not by the manifest: in preview mode our child window lives
// inside the Screen Saver Settings dialog of another process, and a child whose DPI awareness differs
// from its parent's is refused by Windows, so a manifest-wide awareness would leave the preview empty.
#pragma once

#include <string>
#include <vector>

#include "display/display_surface.h"

std::vector<SurfaceRect> DesktopMonitorRects();

// The lines of a fake monitors file ("left top right bottom" each); lines that are not four numbers
// are skipped.
std::vector<SurfaceRect> ParseMonitorLines(const std::string& text);

void MakeSaverDpiAware();
