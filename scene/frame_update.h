// The frame update: background, intro and text pages, the phase clock with its wind-down, the actors'
// per-frame work, the depth-sorted drawing, the scrolling text band and the logos.
#pragma once

#include <cstdint>
#include <vector>

#include "graphics/xb_bitmap.h"
#include "scene/saver_application.h"

// Draws one frame into app.frameBitmap and advances the scenes by one frame. Does nothing unless the
// display, the frame bitmap and the background tile exist.
void UpdateFrame(SaverApplication& app);
// Only outside the text phase: clears the pool, dissolves in the big logo, spawns the waiting walkers.
void StartScenePhase(SaverApplication& app);
// Only in the text phase: clears the pool; walkers cross the page only when there is no logo picture.
void StartTextPhase(SaverApplication& app);

// Between scene frames the frame keeps its background: the next frame puts the background back only
// where the last one drew (the frame's damage record lists it), instead of tiling the whole screen
// again. Pages (intro, text) do the same with their fill colour. Switching between a page and the
// scene, or a new frame bitmap, writes the whole frame once.
struct SceneRedraw {
  XB_DAMAGE drawn;                    // what was drawn on the frame since its background was last whole
  std::vector<XB_RECT> restored;      // what this frame put back: the last frame's drawings
  bool restoredOnly = false;          // this frame's background was put back, not tiled or filled
  uint64_t frames = 0;                // frames UpdateFrame drew
  uint64_t presented = 0;             // the frame the presentation showed last ...
  const void* presentedTo = nullptr;  // ... and the surface it went to
  std::vector<uint8_t> band;          // the background's first row of tiles, the frame's width
  const XB_BITMAP* tile = nullptr;    // the tile the band was made from
  int16_t pageColour = -1;            // the colour a page filled the frame with, -1 after tiling
  int32_t width = 0, height = 0;      // the frame's size then
};
// The shortcut can be switched off (tests and benchmarks compare it with the whole redraw).
void SetBackgroundShortcut(bool on);

// Lengths of the phases in milliseconds.
constexpr uint32_t kScenePhaseMs = 180000;
constexpr uint32_t kTextPhaseMs = 30000;

// Parts of UpdateFrame, also used by tests.
void RunPhaseClock(SaverApplication& app);
void AdvanceActors(SaverApplication& app);
void DrawActors(SaverApplication& app);
