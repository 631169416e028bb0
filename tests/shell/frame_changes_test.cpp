// The shortcuts of the frame cycle against the full path, over whole runs (the intro, the scenes,
// the switch to the text page and back): a scene frame that puts back the background only where the
// last frame drew, presented by comparing only there (the headless renderer's surface keeps its
// shown frame, as the X11 saver's does), shows the same frames as one tiled and compared whole; and
// the boxes around the changed pixels, shown over the last frame, give exactly the new frame, and
// comparing only where a damage record lists finds the same boxes; the changed rows alone rebuild it
// too, each inside a box.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "display/display_surface.h"
#include "display/frame_changes.h"
#include "scene/frame_update.h"
#include "shell/headless_run.h"
#include "tests/common/synthetic_world.h"
#include "tests/common/temp_dir.h"

namespace {

struct Outcome {
  uint64_t frames = 0;
  uint64_t wrongFrames = 0;     // frames where the rectangles missed a changed pixel
  uint64_t looseRects = 0;      // rectangles with an edge row or column where nothing changed
  uint64_t wrongRowFrames = 0;  // frames where the changed rows missed a changed pixel
  uint64_t strayRows = 0;       // rows not inside one of the rectangles
  uint64_t unlikeListed = 0;    // frames where comparing only around the changes found other rectangles
  uint64_t changedArea = 0;     // pixels inside the rectangles, over the run
  uint64_t framesWithChanges = 0;
};

// True when the row or column of pixels (n of them, `step` apart) holds one that differs.
bool AnyDiffers(const uint8_t* a, const uint8_t* b, uint32_t n, size_t step) {
  for (uint32_t i = 0; i < n; ++i)
    if (a[i * step] != b[i * step]) return true;
  return false;
}

Outcome RunAndReplay(const HeadlessOptions& options) {
  const uint32_t w = options.width, h = options.height, pitch = DisplaySurface::DisplayRowPitch(w);
  // shown: the surface's memory (padded rows, as a backend has it); screen: what a backend that
  // sends only the rectangles would show; before: the frame shown last. listedShown compares only
  // where the rectangles found in `shown` lie, grown by a margin, as a damage record would list them.
  // rowScreen: what a backend that converts only the changed rows would show.
  std::vector<uint8_t> shown(size_t(pitch) * h, 0), listedShown = shown, screen(size_t(w) * h, 0),
                                                    before = screen, rowScreen = screen;
  std::vector<SurfaceChange> changes, listedChanges, listed, rows;
  Outcome out;
  RunHeadless(options, [&](const HeadlessFrame& f) {
    CopyChangedTiles(shown.data(), pitch, f.indices, f.width, w, h, changes, nullptr, &rows);
    for (const SurfaceChange& r : rows) {
      std::memcpy(&rowScreen[size_t(r.top) * w + r.left], f.indices + size_t(r.top) * w + r.left, r.width);
      bool inside = false;
      for (const SurfaceChange& c : changes)
        inside = inside || (r.left >= c.left && r.left + r.width <= c.left + c.width && r.top >= c.top &&
                            r.top < c.top + c.height && r.height == 1);
      out.strayRows += inside ? 0 : 1;
    }
    out.wrongRowFrames += std::memcmp(rowScreen.data(), f.indices, rowScreen.size()) == 0 ? 0 : 1;
    listed.clear();
    for (const SurfaceChange& c : changes)
      listed.push_back({c.left >= 3 ? c.left - 3 : 0, c.top >= 3 ? c.top - 3 : 0, c.width + 6, c.height + 6});
    CopyChangedTiles(listedShown.data(), pitch, f.indices, f.width, w, h, listedChanges, &listed);
    bool sameList = listedChanges.size() == changes.size() && listedShown == shown;
    for (size_t i = 0; sameList && i < changes.size(); ++i)
      sameList = std::memcmp(&changes[i], &listedChanges[i], sizeof changes[i]) == 0;
    out.unlikeListed += sameList ? 0 : 1;
    for (const SurfaceChange& c : changes) {
      for (uint32_t y = c.top; y < c.top + c.height; ++y)
        std::memcpy(&screen[size_t(y) * w + c.left], &shown[size_t(y) * pitch + c.left], c.width);
      out.changedArea += uint64_t(c.width) * c.height;
      const size_t first = size_t(c.top) * w + c.left, lastRow = first + size_t(c.height - 1) * w;
      const bool tight =
          AnyDiffers(&before[first], f.indices + first, c.width, 1) &&
          AnyDiffers(&before[lastRow], f.indices + lastRow, c.width, 1) &&
          AnyDiffers(&before[first], f.indices + first, c.height, w) &&
          AnyDiffers(&before[first + c.width - 1], f.indices + first + c.width - 1, c.height, w);
      out.looseRects += tight ? 0 : 1;
    }
    bool same = std::memcmp(screen.data(), f.indices, screen.size()) == 0;
    for (uint32_t y = 0; same && y < h; ++y)
      same = std::memcmp(&shown[size_t(y) * pitch], f.indices + size_t(y) * w, w) == 0;
    out.wrongFrames += same ? 0 : 1;
    out.framesWithChanges += changes.empty() ? 0 : 1;
    std::memcpy(before.data(), f.indices, before.size());
    ++out.frames;
    return true;
  });
  return out;
}

std::vector<uint64_t> FrameHashes(const HeadlessOptions& options) {
  std::vector<uint64_t> hashes;
  RunHeadless(options, [&](const HeadlessFrame& f) {
    hashes.push_back(tl_test::HashBytes(f.indices, size_t(f.width) * f.height));
    return true;
  });
  return hashes;
}

// One run of the headless renderer over a synthetic world, with a logo (the intro and text pages show
// it) or without (no intro page; walkers cross the text page).
struct RunCase {
  uint16_t width, height;
  uint32_t seed;
  double seconds;
  bool logo = true;
};

class FrameChanges : public testing::Test {
 protected:
  void SetUp() override {
    tl_test::SyntheticWorldOptions world;
    world.withLogo = true;
    tl_test::WriteSyntheticWorld(dir_.Path().string(), world);
    world.withLogo = false;
    tl_test::WriteSyntheticWorld(noLogoDir_.Path().string(), world);
  }
  HeadlessOptions Options(uint32_t fps, const RunCase& run) const {
    HeadlessOptions options;
    options.dataDir = (run.logo ? dir_ : noLogoDir_).Path().string();
    options.fps = fps;
    options.progress = false;
    options.sound = false;
    options.width = run.width;
    options.height = run.height;
    options.seed = run.seed;
    options.seconds = run.seconds;
    return options;
  }

 private:
  tl_test::TempDir dir_, noLogoDir_;
};

TEST_F(FrameChanges, PuttingBackOnlyTheDrawnBackgroundGivesTheFramesOfAWholeRedraw) {
  // The first runs into the text page, the last through the text page without a logo and back.
  for (const RunCase& c :
       {RunCase{640, 480, 5, 215.0}, RunCase{701, 395, 17, 60.0}, RunCase{400, 300, 9, 270.0, false}}) {
    HeadlessOptions options = Options(12, c);
    options.animations = 100;
    SetBackgroundShortcut(false);
    const std::vector<uint64_t> whole = FrameHashes(options);
    SetBackgroundShortcut(true);
    const std::vector<uint64_t> shortcut = FrameHashes(options);
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " seed " << c.seed);
    ASSERT_EQ(whole.size(), options.TickCount());
    size_t firstDifferent = 0;
    while (firstDifferent < whole.size() && firstDifferent < shortcut.size() &&
           whole[firstDifferent] == shortcut[firstDifferent])
      ++firstDifferent;
    EXPECT_EQ(firstDifferent, whole.size()) << "frames differ from tick " << firstDifferent;
  }
}

TEST_F(FrameChanges, OnlyTheBoxesAroundTheChangesRebuildEveryFrameOfSeveralScenes) {
  // Sizes that are and are not whole tiles and bands; seeds that choose other scenes; 215 s reach
  // the text page after the scene phase.
  for (const RunCase& c :
       {RunCase{640, 480, 3, 215.0}, RunCase{701, 395, 11, 60.0}, RunCase{333, 250, 42, 60.0}}) {
    const HeadlessOptions options = Options(25, c);
    const Outcome out = RunAndReplay(options);
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " seed " << c.seed);
    EXPECT_EQ(out.frames, uint64_t(c.seconds * 25));
    EXPECT_EQ(out.wrongFrames, 0u);
    EXPECT_EQ(out.looseRects, 0u);
    EXPECT_EQ(out.unlikeListed, 0u);
    EXPECT_EQ(out.wrongRowFrames, 0u);
    EXPECT_EQ(out.strayRows, 0u);
    EXPECT_GT(out.framesWithChanges, out.frames / 2);  // the scenes move
    // ... but most of each frame stays: far less than the whole frames go out.
    EXPECT_LT(out.changedArea, out.frames * c.width * c.height / 2);
  }
}

}  // namespace
