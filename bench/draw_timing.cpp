// draw_timing: the bob drawing of every kernel set, timed without Google Benchmark or SDL2, so that
// the Windows build measures the same draws under Wine as bench_bob_drawing does on Linux.
//
// The synthetic creature, building and logo are drawn plainly, remapped, as a shadow and through a
// level mask into a 1920 x 1080 bitmap, by each kernel set the processor runs, the sets taking turns
// so that a busy machine slows them alike. The peer in the same run is the straightforward colour-key
// blit of the unpacked sprite (a test per pixel), plain and through a remap table. Times are wall
// clock (Wine's process times tick in 10 ms steps): each figure is the best of its turns, the one
// least disturbed by other programs. Prints the time per draw and the ratios of the goals: shadow and
// mask / that set's plain draw, plain / the colour-key peer, remapped / the mapped peer.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/bob_drawing_art.h"
#include "bench/draw_report.h"
#include "graphics/bob_authoring.h"
#include "graphics/xb_bitmap.h"
#include "graphics/xb_bob_manager.h"
#include "graphics/xb_draw_kernels.h"

namespace {

constexpr int kScreenW = 1920, kScreenH = 1080;
constexpr const char* kVersion = "draw_timing (Tillands) 0.1.0";

int16_t SpotX(size_t i, int w) {
  return static_cast<int16_t>((i * 397) % static_cast<size_t>(kScreenW - w));
}
int16_t SpotY(size_t i, int h) {
  return static_cast<int16_t>((i * 211) % static_cast<size_t>(kScreenH - h));
}

// The peer: a colour-key blit that tests every pixel of the unpacked sprite.
void KeyBlit(XB_BITMAP& from, XB_BITMAP& to, int x, int y, const uint8_t* map) {
  for (int r = 0; r < from.GetHeight(); ++r) {
    const uint8_t* s = from.Row(r);
    uint8_t* d = to.Row(y + r) + x;
    if (map) {
      for (int c = 0; c < from.GetWidth(); ++c)
        if (s[c] != kKey) d[c] = map[s[c]];
    } else {
      for (int c = 0; c < from.GetWidth(); ++c)
        if (s[c] != kKey) d[c] = s[c];
    }
  }
}

double Best(const std::vector<double>& v) {
  return v.empty() ? 0 : *std::min_element(v.begin(), v.end());
}

}  // namespace

int main(int argc, char** argv) {
  int repetitions = 9;
  std::string only;  // one sprite's name, or all
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--help")) {
      std::printf(
          "usage: draw_timing [--repetitions N] [--sprite creature|building|logo]\n"
          "Times the bob drawing of every kernel set this processor runs (TILLANDS_DRAW_KERNELS=NAME:\n"
          "that set alone) against a per-pixel colour-key blit, and prints the best times and ratios. One\n"
          "sprite with one repetition is the run to count instructions of (valgrind --tool=callgrind).\n");
      return 0;
    }
    if (!std::strcmp(argv[i], "--version")) {
      std::printf("%s\n", kVersion);
      return 0;
    }
    if (!std::strcmp(argv[i], "--repetitions") && i + 1 < argc) {
      repetitions = std::atoi(argv[++i]);
      if (repetitions >= 1 && repetitions <= 1000) continue;
      std::fprintf(stderr, "draw_timing: --repetitions wants a number from 1 to 1000, not %s\n", argv[i]);
      return 2;
    }
    if (!std::strcmp(argv[i], "--sprite") && i + 1 < argc) {
      only = argv[++i];
      if (only == "creature" || only == "building" || only == "logo") continue;
      std::fprintf(stderr, "draw_timing: --sprite wants creature, building or logo, not %s\n", argv[i]);
      return 2;
    }
    std::fprintf(stderr, "draw_timing: unknown argument %s (see --help)\n", argv[i]);
    return 2;
  }

  const std::vector<const XB_DRAW_KERNELS*> sets = KernelSetsToMeasure();

  std::vector<Sprite> sprites;
  sprites.push_back(Synthetic("creature", 40, 60));
  sprites.push_back(Synthetic("building", 230, 200));
  sprites.push_back(Synthetic("logo", 640, 480));
  BobLibraryBuilder builder(0);
  for (size_t i = 0; i < sprites.size(); ++i) {
    const uint32_t n = static_cast<uint32_t>(3 * i);
    builder.AddPacked(n, *sprites[i].pixels, kKey);
    builder.AddShadow(n + 1, *sprites[i].pixels);
    builder.AddMask(n + 2, *sprites[i].levels);
  }
  std::unique_ptr<XB_BOB_MANAGER> library(builder.Build());
  uint8_t remap[256], shadow[256];
  MakeBenchTables(remap, shadow);
  XB_BITMAP screen(kScreenW, kScreenH);
  screen.Fill(17);

  // results[set][sprite]
  std::vector<std::vector<DrawTimes>> results(sets.size(), std::vector<DrawTimes>(sprites.size()));
  for (size_t si = 0; si < sprites.size(); ++si) {
    const Sprite& s = sprites[si];
    if (!only.empty() && only != s.name) continue;
    const uint32_t n = static_cast<uint32_t>(3 * si);
    const int draws = std::max(8, 4000000 / (s.width * s.height));
    // times[set][mode] and the two peers, one figure per turn.
    std::vector<std::vector<std::vector<double>>> times(sets.size(), std::vector<std::vector<double>>(4));
    std::vector<double> keyTimes, mapTimes;
    auto timed = [&](auto draw) {
      const auto t0 = std::chrono::steady_clock::now();
      for (int i = 0; i < draws; ++i) draw(static_cast<size_t>(i));
      const auto t1 = std::chrono::steady_clock::now();
      return std::chrono::duration<double, std::nano>(t1 - t0).count() / draws;
    };
    std::fprintf(stderr, "draw_timing: %s (%d draws per figure)\n", s.name, draws);
    for (int turn = 0; turn < repetitions; ++turn) {
      for (size_t k = 0; k < sets.size(); ++k) {
        XB_UseDrawKernels(*sets[k]);
        for (int mode = 0; mode < 4; ++mode)
          times[k][mode].push_back(timed([&](size_t i) {
            const int16_t x = SpotX(i, s.width), y = SpotY(i, s.height);
            if (mode == 0) library->DrawBob(n, screen, x, y, 0);
            if (mode == 1) library->DrawBobRemapped(n, screen, x, y, remap);
            if (mode == 2) library->DrawBobShadow(n + 1, screen, x, y, shadow);
            if (mode == 3) library->DrawBobThroughMask(n, n + 2, s.threshold, screen, x, y, remap, shadow);
          }));
      }
      keyTimes.push_back(timed(
          [&](size_t i) { KeyBlit(*s.pixels, screen, SpotX(i, s.width), SpotY(i, s.height), nullptr); }));
      mapTimes.push_back(
          timed([&](size_t i) { KeyBlit(*s.pixels, screen, SpotX(i, s.width), SpotY(i, s.height), remap); }));
    }
    for (size_t k = 0; k < sets.size(); ++k) {
      DrawTimes& t = results[k][si];
      t.plain = Best(times[k][0]);
      t.remapped = Best(times[k][1]);
      t.shadow = Best(times[k][2]);
      t.mask = Best(times[k][3]);
      t.peer = Best(keyTimes);
      t.mappedPeer = Best(mapTimes);
    }
  }
  std::printf(
      "%s: the best time per draw of %d turns, per kernel set. key = a colour-key blit testing every\n"
      "pixel, map = the same through a remap table, plain = that set's own plain draw. Goals: shadow/plain\n"
      "<= 2.5, mask/plain <= 8 (the plain set: 1.5 times those); bench_bob_drawing has SDL2's blits as "
      "peers.\n",
      kVersion, repetitions);
  std::vector<std::string> names;
  for (const Sprite& s : sprites) names.push_back(s.name);
  PrintDrawRatios(sets, names, "key", "map", [&](const XB_DRAW_KERNELS* set, const std::string& name) {
    size_t k = 0, si = 0;
    while (sets[k] != set) ++k;
    while (names[si] != name) ++si;
    return results[k][si];
  });
  return 0;
}
