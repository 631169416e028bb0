// Bob drawing against SDL2's RLE colour-key blitter.
//
// Three typical sprites (a 40 x 60 creature, a 230 x 200 building, a 640 x 480 logo) are drawn into
// a 1920 x 1080 8-bit bitmap plainly, remapped, as a shadow and through a level mask at threshold
// 128; the same sprites are blitted as 8-bit SDL2 surfaces with an RLE-accelerated colour key.
// After the run the program prints ours / SDL2 per sprite (the goal for plain draws is <= 1.0).
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
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

namespace {

constexpr uint8_t kKey = 0;
constexpr int kScreenW = 1920, kScreenH = 1080;

struct Sprite {
  const char* name;
  int width, height;
  std::unique_ptr<XB_BITMAP> pixels;
};

// Deterministic art with the transparency of the real thing: a creature is a body outline with
// gaps between the limbs, a building a solid block with a ragged roof line and open corners, a logo
// lettering with many short runs and holes.
std::unique_ptr<XB_BITMAP> MakeArt(const char* kind, int w, int h) {
  std::mt19937 rng(static_cast<unsigned>(w * 131 + h));
  auto b = std::make_unique<XB_BITMAP>(w, h);
  const std::string k = kind;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      bool opaque;
      if (k == "creature") {
        const double dx = (x - w / 2.0) / (w / 2.0), dy = (y - h / 2.0) / (h / 2.0);
        opaque = dx * dx + dy * dy < 0.9 && !(y > h * 2 / 3 && std::abs(x - w / 2) < 3);
      } else if (k == "building") {
        const int roof = 40 - std::abs(x - w / 2) * 40 / (w / 2);
        opaque = y >= 40 - roof && !(y > h - 10 && (x < 8 || x > w - 8));
      } else {
        opaque = ((x / 7 + y / 11) % 3 != 0) && ((x * 13 + y * 7) % 17 > 3);
      }
      b->Row(y)[x] = opaque ? static_cast<uint8_t>(1 + rng() % 254) : kKey;
    }
  return b;
}

struct World {
  std::vector<Sprite> sprites;
  std::unique_ptr<XB_BOB_MANAGER> library;  // per sprite i: packed 3i, shadow 3i+1, mask 3i+2
  XB_BITMAP screen{kScreenW, kScreenH};
  uint8_t remap[256], shadow[256];
  SDL_Surface* sdlScreen = nullptr;
  std::vector<SDL_Surface*> sdlSprites;

  World() {
    sprites.push_back({"creature", 40, 60, MakeArt("creature", 40, 60)});
    sprites.push_back({"building", 230, 200, MakeArt("building", 230, 200)});
    sprites.push_back({"logo", 640, 480, MakeArt("logo", 640, 480)});
    BobLibraryBuilder builder(0);
    for (size_t i = 0; i < sprites.size(); ++i) {
      const Sprite& s = sprites[i];
      XB_BITMAP levels(s.width, s.height);
      for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x)
          levels.Row(y)[x] = s.pixels->Row(y)[x] == kKey ? 255 : static_cast<uint8_t>((x * 7 + y * 3) % 255);
      const uint32_t n = static_cast<uint32_t>(3 * i);
      builder.AddPacked(n, *s.pixels, kKey);
      builder.AddShadow(n + 1, *s.pixels);  // non-key pixels darken
      builder.AddMask(n + 2, levels);
    }
    library.reset(builder.Build());
    for (int i = 0; i < 256; ++i) {
      remap[i] = static_cast<uint8_t>(255 - i);
      shadow[i] = static_cast<uint8_t>(i / 2);
    }
    screen.Fill(17);

    SDL_Color colours[256];
    for (int i = 0; i < 256; ++i)
      colours[i] =
          SDL_Color{static_cast<Uint8>(i), static_cast<Uint8>(i * 3), static_cast<Uint8>(i * 7), 255};
    sdlScreen = SDL_CreateRGBSurfaceWithFormat(0, kScreenW, kScreenH, 8, SDL_PIXELFORMAT_INDEX8);
    SDL_SetPaletteColors(sdlScreen->format->palette, colours, 0, 256);
    SDL_FillRect(sdlScreen, nullptr, 17);
    for (const Sprite& s : sprites) {
      SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, s.width, s.height, 8, SDL_PIXELFORMAT_INDEX8);
      SDL_SetPaletteColors(surface->format->palette, colours, 0, 256);
      for (int y = 0; y < s.height; ++y)
        std::memcpy(static_cast<uint8_t*>(surface->pixels) + y * surface->pitch, s.pixels->Row(y),
                    static_cast<size_t>(s.width));
      SDL_SetColorKey(surface, SDL_TRUE, kKey);
      SDL_SetSurfaceRLE(surface, 1);  // SDL_RLEACCEL
      sdlSprites.push_back(surface);
    }
  }
  ~World() {
    for (SDL_Surface* s : sdlSprites) SDL_FreeSurface(s);
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

void BM_Ours(benchmark::State& state, size_t sprite, Mode mode) {
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
        w.library->DrawBobThroughMask(n, n + 2, 128, w.screen, x, y, w.remap, w.shadow);
        break;
    }
    benchmark::ClobberMemory();
    ++i;
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * s.width * s.height);
}

void BM_Sdl(benchmark::State& state, size_t sprite) {
  World& w = TheWorld();
  const Sprite& s = w.sprites[sprite];
  size_t i = 0;
  for (auto _ : state) {
    SDL_Rect to{SpotX(i, s.width), SpotY(i, s.height), s.width, s.height};
    SDL_BlitSurface(w.sdlSprites[sprite], nullptr, w.sdlScreen, &to);
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
  std::map<std::string, double> times;
  std::set<std::string> medians;
};

}  // namespace

int main(int argc, char** argv) {
  const char* names[] = {"creature", "building", "logo"};
  const std::pair<const char*, Mode> modes[] = {{"plain", Mode::Plain},
                                                {"remapped", Mode::Remapped},
                                                {"shadow", Mode::Shadow},
                                                {"mask128", Mode::Mask}};
  for (size_t i = 0; i < 3; ++i) {
    for (const auto& [modeName, mode] : modes)
      benchmark::RegisterBenchmark((std::string("ours/") + modeName + "/" + names[i]).c_str(), BM_Ours, i,
                                   mode);
    benchmark::RegisterBenchmark((std::string("sdl2/colorkey_rle/") + names[i]).c_str(), BM_Sdl, i);
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

  std::printf("\nours / SDL2 RLE colour-key blit (CPU time per draw; goal <= 1.0 for plain):\n");
  std::printf("%-10s %10s %10s %10s %10s %10s\n", "sprite", "plain", "remapped", "shadow", "mask128",
              "sdl2 ns");
  for (const char* name : names) {
    const auto sdl = reporter.times.find(std::string("sdl2/colorkey_rle/") + name);
    if (sdl == reporter.times.end() || sdl->second <= 0) continue;
    std::printf("%-10s", name);
    for (const auto& [modeName, mode] : modes) {
      const auto ours = reporter.times.find(std::string("ours/") + modeName + "/" + name);
      if (ours == reporter.times.end())
        std::printf(" %10s", "-");
      else
        std::printf(" %10.2f", ours->second / sdl->second);
    }
    std::printf(" %10.0f\n", sdl->second);
  }
  benchmark::Shutdown();
  return 0;
}
