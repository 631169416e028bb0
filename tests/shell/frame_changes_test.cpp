// The changed tiles the presentation hands to a backend that keeps its shown frame: over whole runs
// (the intro, the scenes, the switch to the text page and back), showing only those rectangles of
// each new frame over the last one gives exactly the new frame.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "display/display_surface.h"
#include "display/frame_changes.h"
#include "shell/headless_run.h"
#include "tests/common/synthetic_world.h"
#include "tests/common/temp_dir.h"

namespace {

struct Outcome {
  uint64_t frames = 0;
  uint64_t wrongFrames = 0;  // frames where the rectangles missed a changed pixel
  uint64_t changedArea = 0;  // pixels inside the rectangles, over the run
  uint64_t framesWithChanges = 0;
};

Outcome RunAndReplay(const HeadlessOptions& options) {
  const uint32_t w = options.width, h = options.height, pitch = DisplaySurface::DisplayRowPitch(w);
  // shown: the surface's memory (padded rows, as a backend has it); screen: what a backend that
  // sends only the rectangles would show.
  std::vector<uint8_t> shown(size_t(pitch) * h, 0), screen(size_t(w) * h, 0);
  std::vector<SurfaceChange> changes;
  Outcome out;
  RunHeadless(options, [&](const HeadlessFrame& f) {
    CopyChangedTiles(shown.data(), pitch, f.indices, f.width, w, h, changes);
    for (const SurfaceChange& c : changes) {
      for (uint32_t y = c.top; y < c.top + c.height; ++y)
        std::memcpy(&screen[size_t(y) * w + c.left], &shown[size_t(y) * pitch + c.left], c.width);
      out.changedArea += uint64_t(c.width) * c.height;
    }
    bool same = std::memcmp(screen.data(), f.indices, screen.size()) == 0;
    for (uint32_t y = 0; same && y < h; ++y)
      same = std::memcmp(&shown[size_t(y) * pitch], f.indices + size_t(y) * w, w) == 0;
    out.wrongFrames += same ? 0 : 1;
    out.framesWithChanges += changes.empty() ? 0 : 1;
    ++out.frames;
    return true;
  });
  return out;
}

TEST(FrameChanges, OnlyTheChangedTilesRebuildEveryFrameOfSeveralScenes) {
  tl_test::TempDir dir;
  tl_test::SyntheticWorldOptions world;
  world.withLogo = true;
  tl_test::WriteSyntheticWorld(dir.Path().string(), world);
  HeadlessOptions options;
  options.dataDir = dir.Path().string();
  options.fps = 25;
  options.progress = false;
  options.sound = false;
  // Sizes that are and are not whole tiles and bands; seeds that choose other scenes; 215 s reach
  // the text page after the scene phase.
  struct Case {
    uint16_t width, height;
    uint32_t seed;
    double seconds;
  };
  for (const Case& c : {Case{640, 480, 3, 215.0}, Case{701, 395, 11, 60.0}, Case{333, 250, 42, 60.0}}) {
    options.width = c.width;
    options.height = c.height;
    options.seed = c.seed;
    options.seconds = c.seconds;
    const Outcome out = RunAndReplay(options);
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " seed " << c.seed);
    EXPECT_EQ(out.frames, uint64_t(c.seconds * 25));
    EXPECT_EQ(out.wrongFrames, 0u);
    EXPECT_GT(out.framesWithChanges, out.frames / 2);  // the scenes move
    // ... but most of each frame stays: far less than the whole frames go out.
    EXPECT_LT(out.changedArea, out.frames * c.width * c.height / 2);
  }
}

}  // namespace
