// What changed between the frame shown last and the next one. Most of a frame is the same as the one
// before (the background; only villagers, the scroll band and fades move), so a backend that keeps
// the frame it showed is handed only the rectangles that changed: they are found while the changed
// pixels are copied over the old frame, in one pass, and nothing is compared again further down.
#pragma once

#include <cstdint>
#include <vector>

// A rectangle of changed pixels (surface pixels, right and bottom exclusive as width and height).
struct SurfaceChange {
  uint32_t left = 0;
  uint32_t top = 0;
  uint32_t width = 0;
  uint32_t height = 0;
};

// The frame is cut into bands of kChangeBandRows rows and each band into tiles of kChangeTileColumns
// columns. What changed inside a tile is sent as the box around its changed pixels, not the whole
// tile: a villager that moves a pixel or two changes a thin outline, and the box keeps the colour
// conversion and the server's copy to about that. Boxes of neighbouring tiles that meet at the tiles'
// edge (one change running across it) are one rectangle, so a wide change is still a few requests.
constexpr uint32_t kChangeBandRows = 16;
constexpr uint32_t kChangeTileColumns = 64;

// Copies the pixels of `frame` that differ from `shown` into `shown` (both width x height, rows
// `*Pitch` bytes apart) and lists the rectangles around them in `changes` (cleared first), band by
// band from the top and left to right. Afterwards `shown` holds the frame's pixels; every pixel that
// was different lies in one of the rectangles, and every rectangle's first and last row and column
// hold a pixel that was different.
//
// `mayDiffer`, when given, lists every place where the two can differ at all (what the scene drew
// and put back since the frame in `shown`; parts outside the frame are ignored): only those places
// are compared, so a frame where a few villagers moved costs what they cover.
//
// `rows`, when given, receives (cleared first) the changed pixels row by row: in each row of each
// tile, the span from its first to its last changed pixel (height 1). Every changed pixel lies in one
// of them and each lies inside one of `changes`: a backend that keeps its converted picture converts
// just these and still sends the rectangles.
void CopyChangedTiles(uint8_t* shown, uint32_t shownPitch, const uint8_t* frame, uint32_t framePitch,
                      uint32_t width, uint32_t height, std::vector<SurfaceChange>& changes,
                      const std::vector<SurfaceChange>* mayDiffer = nullptr,
                      std::vector<SurfaceChange>* rows = nullptr);
