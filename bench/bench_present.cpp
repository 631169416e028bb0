// The frame presentation: one finished frame from the frame bitmap into the display surface and
// presented (memory backend), at 1920 × 1080 and 3840 × 2160. The floor measured in the same run is
// the least any presentation must do: fill one frame (memset) and copy it once (memcpy).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "display/memory_display_surface.h"
#include "graphics/xb_bitmap.h"
#include "scene/saver_application.h"
#include "shell/resources/palette_resource.h"
#include "shell/saver_window.h"

namespace {

class BenchHost final : public SaverWindowHost {
 public:
  uint16_t StartFrameTimer(uint16_t id, uint32_t) override { return id; }
  void StopFrameTimer(uint16_t) override {}
  SurfaceRect ClientRect() override { return {}; }
  DisplaySurface* CreateDisplay(const SurfaceRect&, uint16_t, uint8_t) override { return nullptr; }
  void DestroyWindow() override {}
  void PostQuit(int) override {}
};

// A record that has passed its intro and its first tick, so PresentFrame only moves pixels.
struct PresentSetup {
  PresentSetup(int width, int height) {
    app = CreateSaverApplication(nullptr);
    app->screenWidth = static_cast<uint16_t>(width);
    app->screenHeight = static_cast<uint16_t>(height);
    app->introOver = 1;
    app->staticDataReady = 1;
    app->clock = &clock;
    app->frameBitmap = new XB_BITMAP(width, height, XB_PIXELS_8);
    app->frameBitmap->Fill(56);
    auto surface = MemoryDisplaySurface::Create({0, 0, width, height}, 8, 56);
    surface->SetPalette(kPaletteResource);
    app->display = surface.release();
  }
  ~PresentSetup() {
    app->display->Release();
    delete app->display;
    app->display = nullptr;
    DestroySaverApplication(app);
  }
  SimulatedClock clock{1000};
  BenchHost host;
  SaverApplication* app = nullptr;
};

void BM_PresentFrame(benchmark::State& state) {
  PresentSetup setup(int(state.range(0)), int(state.range(1)));
  for (auto _ : state) {
    PresentFrame(*setup.app, setup.host);
    benchmark::ClobberMemory();
  }
  state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_FloorMemsetMemcpy(benchmark::State& state) {
  const size_t size = size_t(state.range(0)) * size_t(state.range(1));
  std::vector<uint8_t> frame(size), surface(size);
  for (auto _ : state) {
    std::memset(frame.data(), 56, size);
    std::memcpy(surface.data(), frame.data(), size);
    benchmark::DoNotOptimize(surface.data());
    benchmark::ClobberMemory();
  }
  state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_PresentFrame)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FloorMemsetMemcpy)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMicrosecond);

// The ratio of one presentation to the floor, each timed over the same number of frames, by wall
// clock and by this process's CPU time (steadier on a shared machine). The best of five rounds.
void PrintRatio(int width, int height) {
  using Clock = std::chrono::steady_clock;
  const int frames = 100;
  PresentSetup setup(width, height);
  const size_t size = size_t(width) * size_t(height);
  std::vector<uint8_t> a(size), b(size);
  double floorMs = 1e30, presentMs = 1e30, floorCpu = 1e30, presentCpu = 1e30;
  for (int round = 0; round < 5; ++round) {
    const auto t0 = Clock::now();
    const std::clock_t c0 = std::clock();
    for (int i = 0; i < frames; ++i) {
      std::memset(a.data(), i, size);
      std::memcpy(b.data(), a.data(), size);
      benchmark::DoNotOptimize(b.data());
    }
    const auto t1 = Clock::now();
    const std::clock_t c1 = std::clock();
    for (int i = 0; i < frames; ++i) PresentFrame(*setup.app, setup.host);
    const auto t2 = Clock::now();
    const std::clock_t c2 = std::clock();
    floorMs = std::min(floorMs, std::chrono::duration<double, std::milli>(t1 - t0).count() / frames);
    presentMs = std::min(presentMs, std::chrono::duration<double, std::milli>(t2 - t1).count() / frames);
    floorCpu = std::min(floorCpu, 1000.0 * double(c1 - c0) / CLOCKS_PER_SEC / frames);
    presentCpu = std::min(presentCpu, 1000.0 * double(c2 - c1) / CLOCKS_PER_SEC / frames);
  }
  std::printf(
      "present %dx%d: %.3f ms per frame (%.0f fps), floor %.3f ms, ratio %.2f; by CPU time %.3f ms, floor "
      "%.3f ms, ratio %.2f\n",
      width, height, presentMs, 1000.0 / presentMs, floorMs, presentMs / floorMs, presentCpu, floorCpu,
      presentCpu / floorCpu);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  PrintRatio(1920, 1080);
  PrintRatio(3840, 2160);
  return 0;
}
