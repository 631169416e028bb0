// Start-up cost of the static data: a description set of realistic size (20 creatures, 600
// animation descriptions, 60 walk-data descriptions, 40 remap tables with their PCX pictures) is
// generated into a scratch directory and loaded by VE_STATIC_DATA_MANAGER, once from the text with
// no caches (the first start after an install) and once with remaptables.cdf and
// z_animation_descriptions.cdf present (every later start). Prints both times and their ratio; the
// caches are meant to make the second at least 5 times faster.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "base/xb_storable.h"
#include "graphics/bob_authoring.h"
#include "graphics/graphics_storables.h"
#include "graphics/xb_bitmap.h"
#include "graphics/xb_palette.h"
#include "staticdata/application_services.h"
#include "staticdata/ve_static_data_manager.h"

namespace fs = std::filesystem;

namespace {

constexpr int kCreatures = 20;
constexpr int kAnimations = 600;
constexpr int kWalkData = 60;
constexpr int kRemapTables = 40;
constexpr int kFramesPerAnimation = 8;
constexpr int kBobsPerLibrary = 240;

fs::path g_root;
XB_PALETTE g_screen;

void WriteFile(const std::string& relative, const std::string& bytes) {
  fs::path path = g_root / relative;
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

// A small 8-bit PCX picture: 16 x 16 pixels, run-length encoded, with a 256-colour palette.
std::string MakePcx(int seed) {
  std::string out(128, '\0');
  out[0] = 10, out[1] = 5, out[2] = 1, out[3] = 8, out[8] = 15, out[10] = 15, out[65] = 1, out[66] = 16;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      int v = (x + y + seed) & 0xBF;  // below 0xC0: a literal byte
      out += static_cast<char>(v);
    }
  out += '\x0c';
  for (int i = 0; i < 256; ++i) {
    out += static_cast<char>((i * 7 + seed * 13) & 255);
    out += static_cast<char>((i * 3 + seed * 5) & 255);
    out += static_cast<char>((255 - i + seed) & 255);
  }
  return out;
}

void WriteLibrary(const std::string& name, int colour) {
  BobLibraryBuilder builder(0);
  XB_BITMAP sprite(24, 32, XB_PIXELS_8);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 24; ++x)
      sprite.Row(y)[x] = static_cast<uint8_t>((x * y + colour) % 7 ? colour + x : 0);
  for (uint32_t n = 0; n < kBobsPerLibrary; ++n) builder.AddPacked(n, sprite, 0, -12, -30);
  fs::create_directories(g_root / "DATA_V/ve_graphics/bobmanager");
  builder.SaveBmd((g_root / ("DATA_V/ve_graphics/bobmanager/" + name + ".bmd")).c_str());
}

void GenerateDescriptions() {
  std::string remaps;
  for (int t = 0; t < kRemapTables; ++t) {
    std::string name = t == 0 ? "Shadow" : "table_" + std::to_string(t);
    WriteFile("DATA_V/ve_graphics/remaptables/" + name + ".pcx", MakePcx(t));
    remaps += "[RemapTable]\nName = \"" + name + "\"\nFileName = \"" + name + ".pcx\"\n";
  }
  for (int w = 0; w < 2 * kRemapTables; ++w)
    remaps += "[RemapTable16]\nName = \"window_" + std::to_string(w) + "\"\nRemapTable = \"table_" +
              std::to_string(1 + w % (kRemapTables - 1)) + "\", " + std::to_string(w % 16) + "\n";
  WriteFile("DATA_V/ve_graphics/remaptables/remaptables.ini", remaps);

  for (int c = 0; c < kCreatures; ++c) {
    WriteLibrary("creature_" + std::to_string(c), 16 + c);
    if (c < 4) WriteLibrary("creature_" + std::to_string(c) + "_head_0", 40 + c);
  }
  WriteLibrary("shadows", 3);

  // 30 animations per creature: six walking directions, two vertical, and 22 actions.
  const int perCreature = kAnimations / kCreatures;
  std::string anims = "; animation descriptions\n#define WALKSPEED 12\n";
  for (int a = 0; a < kAnimations; ++a) {
    int c = a / perCreature;
    anims += "[AnimationType]\nName = \"anim_" + std::to_string(a) + "\"\nBobLibrary = \"creature_" +
             std::to_string(c) + "\"\nShadowBobLibrary = \"shadows\"\nSpeed = #WALKSPEED\nFrames = " +
             std::to_string(kFramesPerAnimation) + "\nBobOffset = " + std::to_string((a % perCreature) * 8) +
             "\nBobs = 0, 1, 2, 3, 4, 5, 6, 7\nEvent = 0, 101\nEventSound = \"step\"\n";
    if (a % 5 == 0) anims += "CarryGoodRemapTables = \"window_1\", \"window_2\"\n";
  }
  WriteFile("DATA_V/ve_graphics/creatures/z_animation_descriptions.ini", anims);

  std::string walks;
  for (int w = 0; w < kWalkData; ++w) {
    int c = w % kCreatures;
    int base = c * perCreature;
    walks += "[WalkDataType]\nName = \"walk_" + std::to_string(w) + "\"\nWalkAnimation =";
    for (int d = 0; d < 6; ++d)
      walks += std::string(d ? "," : "") + " \"anim_" + std::to_string(base + d) + "\"";
    walks += "\nWalkVerticalAnimation = \"anim_" + std::to_string(base + 6) + "\", \"anim_" +
             std::to_string(base + 7) + "\"\nWaitAnimation = \"anim_" + std::to_string(base + 8) +
             "\"\nWalkSpeed = 18\nTurnSpeed = 2\n";
  }
  WriteFile("DATA_V/ve_graphics/creatures/z_walkdata_descriptions.ini", walks);

  std::string creatures;
  for (int c = 0; c < kCreatures; ++c) {
    int base = c * perCreature;
    creatures += "[CreatureType]\nName = \"" +
                 std::string(c == 0 ? "civilian" : "creature_" + std::to_string(c)) + "\"\nGroup = \"group_" +
                 std::to_string(c % 4) + "\"\nMasterType = " + std::to_string(c % 2 ? 8 : 4) +
                 "\nRemapName = \"table_" + std::to_string(1 + c) +
                 "\"\nRemapRandom = 1, 2, \"window_3\", 50, 2, 50\n";
    for (int k = 0; k < 3; ++k)
      creatures +=
          "WalkType = \"walk_" + std::to_string(c + k * kCreatures) + "\", " + std::to_string(k) + "\n";
    for (int k = 0; k < 9; ++k)
      creatures +=
          "Animation = \"anim_" + std::to_string(base + 9 + k) + "\", " + std::to_string(2000 + k) + ", 0\n";
    creatures += "AllowsJobType = 1, 2, 3\nSize = 160\n";
  }
  WriteFile("DATA_V/ve_graphics/creatures/z_creature_descriptions.ini", creatures);

  std::string sets;
  for (int p = 0; p < 10; ++p)
    for (const char* kind : {"Man", "Woman"})
      sets += "[RemapRandom]\nName = \"Player_" + std::to_string(p) + "_Color_" + kind +
              "\"\nRemapRandom = 2, 2, \"window_" + std::to_string(p) + "\", 60, \"window_" +
              std::to_string(p + 10) + "\", 40\n";
  WriteFile("DATA_V/ve_graphics/creatures/x_random_remaps.ini", sets);
}

void RemoveBinaryCaches() {
  fs::remove(g_root / "DATA_V/ve_graphics/remaptables/remaptables.CDF");
  fs::remove(g_root / "DATA_V/ve_graphics/creatures/z_animation_descriptions.CDF");
}

void BM_LoadFromText(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    RemoveBinaryCaches();
    state.ResumeTiming();
    VE_STATIC_DATA_MANAGER* data = EnsureStaticData();
    benchmark::DoNotOptimize(data->animationCount);
    DestroyStaticData();
  }
}

void BM_LoadFromCaches(benchmark::State& state) {
  EnsureStaticData();  // writes the caches
  DestroyStaticData();
  for (auto _ : state) {
    VE_STATIC_DATA_MANAGER* data = EnsureStaticData();
    if (!data->remapTablesFromCache || !data->animationsFromCache)
      state.SkipWithError("caches were not used");
    benchmark::DoNotOptimize(data->animationCount);
    DestroyStaticData();
  }
}

// The bob libraries named by the descriptions are loaded the same way on both paths; their share is
// measured on its own so the summary can show what the caches save of the rest.
void BM_LoadBobLibrariesOnly(benchmark::State& state) {
  std::vector<std::string> paths;
  for (const auto& entry : fs::directory_iterator(g_root / "DATA_V/ve_graphics/bobmanager"))
    paths.push_back(entry.path().string());
  for (auto _ : state)
    for (const std::string& path : paths) delete LoadObjectFromFile(path.c_str());
}

BENCHMARK(BM_LoadFromText)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_LoadFromCaches)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_LoadBobLibrariesOnly)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// Keeps the mean time per iteration of every run for the summary line.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      if (run.iterations > 0) {
        const std::string name = run.benchmark_name().substr(0, run.benchmark_name().find('/'));
        wall[name] = run.real_accumulated_time / run.iterations;
        cpu[name] = run.cpu_accumulated_time / run.iterations;
      }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> wall, cpu;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RegisterGraphicsStorables();
  g_root = fs::temp_directory_path() / ("tl_bench_static_load_" + std::to_string(::getpid()));
  fs::remove_all(g_root);
  fs::create_directories(g_root);
  GenerateDescriptions();
  fs::current_path(g_root);
  for (int i = 0; i < 256; ++i)
    g_screen.SetColour(i, XB_PALETTE_ENTRY::Rgb(i, (i * 5) & 255, (i * 11) & 255));
  VE_APPLICATION_SERVICES services;
  services.palette = []() { return &g_screen; };
  services.warning = [](const char* text) { std::fprintf(stderr, "unexpected warning: %s\n", text); };
  SetApplicationServices(services);

  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  // CPU time is the fairer measure on a busy machine; wall time adds the file system's share.
  const double text = reporter.cpu["BM_LoadFromText"], cached = reporter.cpu["BM_LoadFromCaches"];
  const double textWall = reporter.wall["BM_LoadFromText"], cachedWall = reporter.wall["BM_LoadFromCaches"];
  if (text > 0 && cached > 0 && cachedWall > 0)
    std::printf(
        "\nstatic data load (%d creatures, %d animations, %d walk data, %d remap tables):\n"
        "  from text:   %.2f ms CPU (%.2f ms wall)\n  from caches: %.2f ms CPU (%.2f ms wall)\n"
        "  cached is %.1fx faster in CPU time, %.1fx in wall time (goal >= 5x)\n",
        kCreatures, kAnimations, kWalkData, kRemapTables, text * 1e3, textWall * 1e3, cached * 1e3,
        cachedWall * 1e3, text / cached, textWall / cachedWall);
  const double libraries = reporter.cpu["BM_LoadBobLibrariesOnly"];
  if (libraries > 0 && cached > libraries)
    std::printf(
        "  bob libraries alone (the same on both paths): %.2f ms CPU; the rest is %.1fx faster cached\n",
        libraries * 1e3, (text - libraries) / (cached - libraries));
  fs::current_path(fs::temp_directory_path());
  fs::remove_all(g_root);
  return 0;
}
