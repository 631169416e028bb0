// One frame of the scene director (UpdateFrame) plus its presentation (the frame copied into a
// surface-sized buffer) at 1920x1080 and 3840x2160, with the actor pool full of creatures and objects.
// The floor, measured in the same run, fills one frame with memset and copies it with memcpy; after the
// benchmarks the program prints frames per second and the ratio of each frame to its floor.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "base/xb_storable.h"
#include "graphics/graphics_storables.h"
#include "graphics/xb_bitmap.h"
#include "graphics/xb_bob_manager.h"
#include "graphics/xb_palette.h"
#include "scene/activities.h"
#include "scene/actor_pool.h"
#include "scene/frame_update.h"
#include "scene/scenes.h"
#include "scene/walking.h"
#include "staticdata/application_services.h"
#include "staticdata/ve_static_data_manager.h"

// The synthetic data directory of the scene tests (pixels and INI text made on the spot). It is
// compiled into this program because benchmarks do not link the test helpers.
#include "tests/common/synthetic_world.cpp"

namespace {

namespace fs = std::filesystem;

// A scratch directory of this run under the system's temporary folder.
const std::string& BenchDirName() {
  static const std::string name = "tl_bench_frame_" + std::to_string(std::random_device{}());
  return name;
}

// The data directory, written once and made the current directory for the whole run.
void EnterWorld() {
  static bool done = false;
  if (done) return;
  done = true;
  RegisterGraphicsStorables();
  const fs::path dir = fs::temp_directory_path() / BenchDirName();
  tl_test::WriteSyntheticWorld(dir.string(), {});
  fs::current_path(dir);
  VE_APPLICATION_SERVICES services;
  services.palette = [] { return g_application ? g_application->palette : nullptr; };
  services.warning = [](const char* text) { std::fprintf(stderr, "warning: %s\n", text); };
  SetApplicationServices(services);
  EnsureStaticData();
  std::atexit([] {
    DestroyStaticData();
    std::error_code ec;
    fs::current_path(fs::temp_directory_path(), ec);
    fs::remove_all(fs::temp_directory_path() / BenchDirName(), ec);
  });
}

struct FrameRig {
  SimulatedClock clock{1000};
  SaverApplication* app = nullptr;
  uint8_t displaySentinel = 0;
  std::vector<uint8_t> surface;

  FrameRig(int width, int height) {
    EnterWorld();
    app = CreateSaverApplication(nullptr);
    SaverApplication& a = *app;
    a.screenWidth = static_cast<uint16_t>(width);
    a.screenHeight = static_cast<uint16_t>(height);
    a.frameRate = 60;
    a.numAnimations = 100;
    a.random.Seed(1234);
    a.clock = &clock;
    a.palette = new XB_PALETTE();
    a.palette->SetFromRgbTriples(tl_test::SyntheticPaletteRgb().data());
    a.frameBitmap = new XB_BITMAP(width, height, 0);
    a.packedBobs = static_cast<XB_BOB_MANAGER*>(
        LoadObjectFromFile("Data_V\\VE_Graphics\\BobManager\\Screensaver_Packed.bmd"));
    a.maskedBobs = static_cast<XB_BOB_MANAGER*>(
        LoadObjectFromFile("Data_V\\VE_Graphics\\BobManager\\Screensaver_Masked.bmd"));
    for (int i = 0; i < 256; ++i) a.identityTable[i] = static_cast<uint8_t>(i);
    XB_RECT tile;
    a.packedBobs->GetBobRect(0, tile);
    a.backgroundTile = new XB_BITMAP(tile.width, tile.height, 0);
    a.packedBobs->DrawBob(0, *a.backgroundTile, 0, 0, 0);
    a.display = reinterpret_cast<DisplaySurface*>(&displaySentinel);
    a.shadowTable = g_staticData->GetRemapTableByName("shadow");
    a.staticDataReady = 1;
    a.introOver = 1;
    a.cornerLogoOn = 1;
    a.phaseDeadline = clock.NowMs() + 0x40000000u;  // no phase switch during the measurement
    surface.resize(static_cast<size_t>(width) * height);
    LayOutSites(a);
    Fill();
  }
  ~FrameRig() {
    app->display = nullptr;
    app->shadowTable = nullptr;
    DestroySaverApplication(app);
  }

  // Every slot busy: buildings fully shown, trees, flowers, the big logo and walking creatures.
  void Fill() {
    SaverApplication& a = *app;
    for (ActorSlot& actor : a.actors) ClearActor(actor);
    StartBigLogo(a);
    a.actors[0].counter = 200;
    const int W = a.screenWidth, H = a.screenHeight;
    int slot = 1;
    for (uint16_t i = 0; i < kSiteCount && slot < kActorCount; ++i) {
      if (!a.sites[i].active) continue;
      uint16_t bobs[8];
      for (int b = 0; b < 8; ++b) bobs[b] = static_cast<uint16_t>((i % 2 ? 12 : 4) + b);
      PlaceLayeredObject(a, a.actors[slot], bobs, a.sites[i].left + 115, a.sites[i].top + 130,
                         kActSmallBuildingStanding);
      a.actors[slot].counter = 254;
      a.actors[slot].deadline = clock.NowMs() + 0x40000000u;
      ++slot;
    }
    for (int i = 0; i < 20 && slot < kActorCount; ++i, ++slot) {
      ActorSlot& t = a.actors[slot];
      t.layerBob[kMainPicture] = t.layerBob[kShadowBob] = static_cast<uint16_t>(33 + i % 2);
      PlaceTimedObject(a, t, t.layerBob[kMainPicture], 0x40000000u,
                       static_cast<float>(60 + (i * 97) % (W - 120)),
                       static_cast<float>(120 + (i * 61) % (H - 180)), kActTreeGrowing);
    }
    for (int i = 0; i < 20 && slot < kActorCount; ++i, ++slot) {
      ActorSlot& f = a.actors[slot];
      f.layerBob[kMainPicture] = f.layerBob[kShadowBob] = static_cast<uint16_t>(20 + i % 11);
      PlaceTimedObject(a, f, f.layerBob[kMainPicture], 0x40000000u,
                       static_cast<float>(30 + (i * 131) % (W - 60)),
                       static_cast<float>(30 + (i * 71) % (H - 60)), kActFlower);
    }
    for (; slot < kActorCount; ++slot) {
      ActorSlot& c = a.actors[slot];
      static const char* const kNames[] = {"civilian", "woman_01", "sheep", "soldier_a", "boy_00"};
      std::strcpy(c.creatureName, kNames[slot % 5]);
      c.x = static_cast<float>(40 + (slot * 53) % (W - 80));
      c.y = static_cast<float>(40 + (slot * 29) % (H - 80));
      WalkToPoint(a, c, static_cast<float>(W - c.x), static_cast<float>(H - c.y), kActWalker, 1000);
    }
  }

  void Frame() {
    UpdateFrame(*app);
    std::memcpy(surface.data(), app->frameBitmap->GetPixels(), surface.size());
    clock.Advance(16);
  }
};

void BM_Frame(benchmark::State& state) {
  FrameRig rig(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  int frames = 0;
  for (auto _ : state) {
    rig.Frame();
    // Walkers arrive, idle and leave; refill now and then so that the pool stays full.
    if (++frames % 600 == 0) {
      state.PauseTiming();
      rig.Fill();
      state.ResumeTiming();
    }
    benchmark::DoNotOptimize(rig.surface.data());
  }
  int busy = 0;
  for (const ActorSlot& actor : rig.app->actors) busy += actor.activity > 0;
  state.counters["actors"] = busy;
  state.SetItemsProcessed(state.iterations());
}

void BM_Floor(benchmark::State& state) {
  const size_t bytes = static_cast<size_t>(state.range(0)) * static_cast<size_t>(state.range(1));
  std::vector<uint8_t> frame(bytes), surface(bytes);
  uint8_t value = 0;
  for (auto _ : state) {
    std::memset(frame.data(), ++value, bytes);
    std::memcpy(surface.data(), frame.data(), bytes);
    benchmark::DoNotOptimize(surface.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_Floor)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Frame)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMicrosecond);

// Keeps the time per iteration of every run so that the ratios can be printed at the end.
class RecordingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    // With --benchmark_repetitions the medians stand for the benchmarks (the machine may be busy).
    for (const Run& run : runs) {
      const std::string name =
          run.run_name.function_name + (run.run_name.args.empty() ? "" : "/" + run.run_name.args);
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (!median && (run.run_type != Run::RT_Iteration || run.iterations == 0 || medians.count(name)))
        continue;
      const double unit = benchmark::GetTimeUnitMultiplier(run.time_unit);
      seconds[name] = run.GetAdjustedRealTime() / unit;
      cpuSeconds[name] = run.GetAdjustedCPUTime() / unit;
      if (median) medians.insert(name);
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> seconds;     // wall clock
  std::map<std::string, double> cpuSeconds;  // this process's CPU time (steadier on a shared machine)
  std::set<std::string> medians;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RecordingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (const char* size : {"1920/1080", "3840/2160"}) {
    const auto frame = reporter.seconds.find(std::string("BM_Frame/") + size);
    const auto floor = reporter.seconds.find(std::string("BM_Floor/") + size);
    if (frame == reporter.seconds.end() || floor == reporter.seconds.end()) continue;
    const double frameCpu = reporter.cpuSeconds[frame->first], floorCpu = reporter.cpuSeconds[floor->first];
    std::printf(
        "%s: %.0f frames per second (floor %.0f), %.2fx the floor; by CPU time %.0f (floor %.0f), %.2fx\n",
        size, 1.0 / frame->second, 1.0 / floor->second, frame->second / floor->second, 1.0 / frameCpu,
        1.0 / floorCpu, frameCpu / floorCpu);
  }
  benchmark::Shutdown();
  return 0;
}
