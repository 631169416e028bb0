// The frame update: background, intro and text pages, the phase clock with its wind-down, the actors'
// per-frame work, the depth-sorted drawing, the scrolling text band and the logos.
#pragma once

#include "scene/saver_application.h"

// Draws one frame into app.frameBitmap and advances the scenes by one frame. Does nothing unless the
// display, the frame bitmap and the background tile exist.
void UpdateFrame(SaverApplication& app);
// Only outside the text phase: clears the pool, dissolves in the big logo, spawns the waiting walkers.
void StartScenePhase(SaverApplication& app);
// Only in the text phase: clears the pool; walkers cross the page only when there is no logo picture.
void StartTextPhase(SaverApplication& app);

// Lengths of the phases in milliseconds.
constexpr uint32_t kScenePhaseMs = 180000;
constexpr uint32_t kTextPhaseMs = 30000;

// Parts of UpdateFrame, also used by tests.
void RunPhaseClock(SaverApplication& app);
void AdvanceActors(SaverApplication& app);
void DrawActors(SaverApplication& app);
