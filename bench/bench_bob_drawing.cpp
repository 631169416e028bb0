// Bob drawing against SDL2's blitters.
//
// Three synthetic sprites (a 40 x 60 creature, a 230 x 200 building, a 640 x 480 logo) and two of the
// demo world (its large building and its big logo, each with its own level mask) are drawn into a
// 1920 x 1080 8-bit bitmap plainly, remapped, as a shadow and through a level mask. The peers are the
// same sprites as 8-bit SDL2 surfaces: with an RLE-accelerated colour key (the peer of a plain draw),
// and without RLE but with a palette different from the screen's, so that SDL maps every pixel through
// a table (the peer of a remapped draw).
//
// The synthetic masks change level on every pixel (threshold 128), the worst case; the demo world's
// masks are the real ones: the big logo's dissolve (noise from the middle) at 128, the building's
// stages at 200 (walls shown, roof rising).
//
// Our draws run once per kernel set this processor has (plain, sse, avx2, avx512), all in the same
// run as the peers; TILLANDS_DRAW_KERNELS=NAME measures that set alone. After the run the program
// prints, per set, the ratios of the medians: plain / SDL2 RLE (goal <= 1.0), remapped / SDL2 mapped
// colour key (goal <= 1.0) and / SDL2 RLE, shadow / our own plain draw of that set (goal <= 2.5) and
// mask / that plain draw (goal <= 8); the plain set's goals are 1.5 times those.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "graphics/bob_authoring.h"
#include "graphics/xb_bitmap.h"
#include "graphics/xb_bob_manager.h"
#include "graphics/xb_draw_kernels.h"
#include "bench/bob_drawing_art.h"
#include "bench/draw_report.h"
#include "tools/world/scenery_art.h"

namespace {

constexpr int kScreenW = 1920, kScreenH = 1080;

// A demo-world picture and its level mask (0 there means "no pixel", stored as 255).
Sprite FromWorld(const char* name, const tlworld::MaskedSprite& art, uint16_t threshold) {
  const int w = art.picture.width, h = art.picture.height;
  Sprite s{name, w, h, std::make_unique<XB_BITMAP>(w, h), std::make_unique<XB_BITMAP>(w, h), threshold};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      s.pixels->Row(y)[x] = art.picture.At(x, y);
      const uint8_t level =
          art.mask.At(x - art.picture.originX + art.mask.originX, y - art.picture.originY + art.mask.originY);
      s.levels->Row(y)[x] = level ? level : 255;
    }
  return s;
}

SDL_Surface* MakeSurface(const Sprite& s, const SDL_Color* colours, bool rle) {
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, s.width, s.height, 8, SDL_PIXELFORMAT_INDEX8);
  SDL_SetPaletteColors(surface->format->palette, colours, 0, 256);
  for (int y = 0; y < s.height; ++y)
    std::memcpy(static_cast<uint8_t*>(surface->pixels) + y * surface->pitch, s.pixels->Row(y),
                static_cast<size_t>(s.width));
  SDL_SetColorKey(surface, SDL_TRUE, kKey);
  SDL_SetSurfaceRLE(surface, rle ? 1 : 0);
  return surface;
}

struct World {
  std::vector<Sprite> sprites;
  std::unique_ptr<XB_BOB_MANAGER> library;  // per sprite i: packed 3i, shadow 3i+1, mask 3i+2
  XB_BITMAP screen{kScreenW, kScreenH};
  uint8_t remap[256], shadow[256];
  SDL_Surface* sdlScreen = nullptr;
  std::vector<SDL_Surface*> sdlRle, sdlMapped;

  World() {
    sprites.push_back(Synthetic("creature", 40, 60));
    sprites.push_back(Synthetic("building", 230, 200));
    sprites.push_back(Synthetic("logo", 640, 480));
    sprites.push_back(FromWorld("w_building", tlworld::LargeBuilding().main, 200));
    sprites.push_back(FromWorld("w_biglogo", tlworld::BigLogo(), 128));
    BobLibraryBuilder builder(0);
    for (size_t i = 0; i < sprites.size(); ++i) {
      const Sprite& s = sprites[i];
      const uint32_t n = static_cast<uint32_t>(3 * i);
      builder.AddPacked(n, *s.pixels, kKey);
      builder.AddShadow(n + 1, *s.pixels);  // non-key pixels darken
      builder.AddMask(n + 2, *s.levels);
    }
    library.reset(builder.Build());
    MakeBenchTables(remap, shadow);
    screen.Fill(17);

    // The sprite's palette of the mapped peer lists the screen's colours backwards: every pixel
    // changes its index, as a remap does.
    SDL_Color colours[256], reversed[256];
    for (int i = 0; i < 256; ++i) {
      colours[i] =
          SDL_Color{static_cast<Uint8>(i), static_cast<Uint8>(i * 3), static_cast<Uint8>(i * 7), 255};
      reversed[255 - i] = colours[i];
    }
    sdlScreen = SDL_CreateRGBSurfaceWithFormat(0, kScreenW, kScreenH, 8, SDL_PIXELFORMAT_INDEX8);
    SDL_SetPaletteColors(sdlScreen->format->palette, colours, 0, 256);
    SDL_FillRect(sdlScreen, nullptr, 17);
    for (const Sprite& s : sprites) {
      sdlRle.push_back(MakeSurface(s, colours, true));
      sdlMapped.push_back(MakeSurface(s, reversed, false));
    }
  }
  ~World() {
    for (SDL_Surface* s : sdlRle) SDL_FreeSurface(s);
    for (SDL_Surface* s : sdlMapped) SDL_FreeSurface(s);
    SDL_FreeSurface(sdlScreen);
  }
};

World& TheWorld() {
  static World world;
  return world;
}

// Positions cycle over a few spots fully inside the screen, as most draws of the saver are.
int16_t SpotX(size_t i, int w) {
  return static_cast<int16_t>((i * 397) % static_cast<size_t>(kScreenW - w));
}
int16_t SpotY(size_t i, int h) {
  return static_cast<int16_t>((i * 211) % static_cast<size_t>(kScreenH - h));
}

enum class Mode { Plain, Remapped, Shadow, Mask };

void BM_Ours(benchmark::State& state, const XB_DRAW_KERNELS* kernels, size_t sprite, Mode mode) {
  XB_UseDrawKernels(*kernels);
  World& w = TheWorld();
  const Sprite& s = w.sprites[sprite];
  const uint32_t n = static_cast<uint32_t>(3 * sprite);
  size_t i = 0;
  for (auto _ : state) {
    const int16_t x = SpotX(i, s.width), y = SpotY(i, s.height);
    switch (mode) {
      case Mode::Plain:
        w.library->DrawBob(n, w.screen, x, y, 0);
        break;
      case Mode::Remapped:
        w.library->DrawBobRemapped(n, w.screen, x, y, w.remap);
        break;
      case Mode::Shadow:
        w.library->DrawBobShadow(n + 1, w.screen, x, y, w.shadow);
        break;
      case Mode::Mask:
        w.library->DrawBobThroughMask(n, n + 2, s.threshold, w.screen, x, y, w.remap, w.shadow);
        break;
    }
    benchmark::ClobberMemory();
    ++i;
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * s.width * s.height);
}

void BM_Sdl(benchmark::State& state, size_t sprite, bool mapped) {
  World& w = TheWorld();
  const Sprite& s = w.sprites[sprite];
  SDL_Surface* from = mapped ? w.sdlMapped[sprite] : w.sdlRle[sprite];
  size_t i = 0;
  for (auto _ : state) {
    SDL_Rect to{SpotX(i, s.width), SpotY(i, s.height), s.width, s.height};
    SDL_BlitSurface(from, nullptr, w.sdlScreen, &to);
    benchmark::ClobberMemory();
    ++i;
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * s.width * s.height);
}

// Keeps every run's time per iteration so that the ratios can be printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    // With --benchmark_repetitions the median stands for the benchmark; the machine may be busy.
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration && !medians.count(run.run_name.function_name))
        times[run.run_name.function_name] = run.GetAdjustedCPUTime();
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
        times[run.run_name.function_name] = run.GetAdjustedCPUTime();
        medians.insert(run.run_name.function_name);
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  // A time by name, 0 when the benchmark did not run (filtered out).
  double Time(const std::string& name) const {
    const auto it = times.find(name);
    return it == times.end() ? 0.0 : it->second;
  }
  std::map<std::string, double> times;
  std::set<std::string> medians;
};

}  // namespace

int main(int argc, char** argv) {
  const char* names[] = {"creature", "building", "logo", "w_building", "w_biglogo"};
  const std::pair<const char*, Mode> modes[] = {
      {"plain", Mode::Plain}, {"remapped", Mode::Remapped}, {"shadow", Mode::Shadow}, {"mask", Mode::Mask}};
  const std::vector<const XB_DRAW_KERNELS*> sets = KernelSetsToMeasure();
  for (size_t i = 0; i < std::size(names); ++i) {
    for (const XB_DRAW_KERNELS* set : sets)
      for (const auto& [modeName, mode] : modes)
        benchmark::RegisterBenchmark(
            (std::string("ours/") + set->name + "/" + modeName + "/" + names[i]).c_str(), BM_Ours, set, i,
            mode);
    benchmark::RegisterBenchmark((std::string("sdl2/colorkey_rle/") + names[i]).c_str(), BM_Sdl, i, false);
    benchmark::RegisterBenchmark((std::string("sdl2/colorkey_mapped/") + names[i]).c_str(), BM_Sdl, i, true);
  }
  // Five repetitions by default: the ratios are taken from the medians.
  std::vector<char*> args(argv, argv + argc);
  std::string repetitions = "--benchmark_repetitions=5";
  bool given = false;
  for (int i = 1; i < argc; ++i) given |= std::strncmp(argv[i], "--benchmark_repetitions", 23) == 0;
  if (!given) args.push_back(repetitions.data());
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);

  std::printf(
      "\nRatios of the CPU time per draw (medians), per kernel set. rle = SDL2 RLE colour-key blit, map =\n"
      "SDL2 colour-key blit through a palette map, plain = that set's own plain draw. Goals: plain/rle <= "
      "1,\n"
      "remap/map <= 1, shadow/plain <= 2.5, mask/plain <= 8 (the plain set: 1.5 times those). Masks:\n"
      "synthetic ones change level every pixel (threshold 128); w_ sprites are the demo world's with their\n"
      "own masks. ns columns: time per draw.\n");
  PrintDrawRatios(sets, std::vector<std::string>(std::begin(names), std::end(names)), "rle", "map",
                  [&](const XB_DRAW_KERNELS* set, const std::string& name) {
                    const std::string ours = std::string("ours/") + set->name + "/";
                    DrawTimes t;
                    t.plain = reporter.Time(ours + "plain/" + name);
                    t.remapped = reporter.Time(ours + "remapped/" + name);
                    t.shadow = reporter.Time(ours + "shadow/" + name);
                    t.mask = reporter.Time(ours + "mask/" + name);
                    t.peer = reporter.Time("sdl2/colorkey_rle/" + name);
                    t.mappedPeer = reporter.Time("sdl2/colorkey_mapped/" + name);
                    return t;
                  });
  benchmark::Shutdown();
  return 0;
}
