// tillands-assets data check / data refresh: whether the saver runs on a data directory, found out by
// running the saver's own start-up on it, and the rebuilding of the compiled caches. Modders run the
// check after editing descriptions.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "base/xb_error.h"
#include "base/xb_file.h"
#include "base/xb_warning_groups.h"
#include "display/memory_display_surface.h"
#include "graphics/xb_bob_manager.h"
#include "graphics/xb_palette.h"
#include "scene/saver_application.h"
#include "scene/scene_creatures.h"
#include "shell/resources/palette_resource.h"
#include "shell/saver_window.h"
#include "staticdata/application_services.h"
#include "staticdata/ve_static_data_manager.h"
#include "tools/assets/command.h"

namespace {

namespace fs = std::filesystem;

int RunData(int argc, char** argv);

const AssetCommand dataCommand{
    "data", "check a game data directory, or rebuild its compiled caches",
    "usage: tillands-assets data check DIR\n"
    "       tillands-assets data refresh DIR\n"
    "\n"
    "DIR is the game's installation directory (the saver's \"GamePath\"), which holds DATA_V\\... and\n"
    "optionally data_v.dat.\n"
    "\n"
    "check    runs the saver's own start-up on DIR: the window's loading (data_v.dat when present, both\n"
    "         screensaver bob libraries, the logo picture and texts, the font and its colour pictures),\n"
    "         then the static data of the first frame (remap tables, animation, walk-data and creature\n"
    "         descriptions, colour sets; missing caches are written beside them, as the saver does). It\n"
    "         then asks for every bob the scenes draw and every creature they ask for, and reports\n"
    "         compiled caches older than their text: a cache wins over its text, so an edited file\n"
    "         seems to do nothing until the caches are rebuilt. One line per problem on standard\n"
    "         output; warnings on standard error.\n"
    "refresh  removes the compiled caches of the descriptions (.cdf, .cif) and builds them anew from\n"
    "         the text.\n"
    "\n"
    "Exit status: 0 no problem and no warning; 1 bad usage, no such directory, or the check found a\n"
    "problem (each is listed); 2 refresh met damaged data.\n",
    &RunData};

// The bobs the scenes draw from the screensaver's libraries, with the kind each must have (1 packed
// picture, 2 shadow, 3 level mask): background tile, corner logos, buildings and their stages,
// flowers, trees, the clay pit, monuments, the big logo and the pages.
struct SceneBob {
  uint32_t number;
  uint16_t kind;
};
std::vector<SceneBob> PackedSceneBobs() {
  std::vector<SceneBob> bobs = {{0, 1}, {1, 1}, {2, 1}, {3, 1}};
  for (uint32_t base : {4u, 12u}) {
    for (uint32_t k : {0u, 2u, 4u}) bobs.push_back({base + k, 1});
    for (uint32_t k : {1u, 3u, 5u, 7u}) bobs.push_back({base + k, 3});
  }
  for (uint32_t n = 20; n <= 44; ++n) bobs.push_back({n, 1});
  for (uint32_t n : {46u, 50u, 52u, 54u, 55u}) bobs.push_back({n, 1});
  for (uint32_t n : {45u, 47u, 51u, 53u}) bobs.push_back({n, 3});
  return bobs;
}
std::vector<SceneBob> MaskedSceneBobs() {
  std::vector<SceneBob> bobs = {{1, 2}, {2, 2}, {3, 2}, {10, 2}, {18, 2}};
  for (uint32_t n = 20; n <= 43; ++n) bobs.push_back({n, 2});
  return bobs;
}

int DataFail(const std::string& message) {
  std::fprintf(stderr, "tillands-assets data: %s\n", message.c_str());
  return 1;
}

// The window that is not there: a memory display surface and a timer that is a number.
class CheckHost final : public SaverWindowHost {
 public:
  uint16_t StartFrameTimer(uint16_t id, uint32_t /*periodMs*/) override { return id; }
  void StopFrameTimer(uint16_t /*id*/) override {}
  SurfaceRect ClientRect() override { return {0, 0, 640, 480}; }
  DisplaySurface* CreateDisplay(const SurfaceRect& rect, uint16_t bitsPerPixel, uint8_t fill) override {
    return MemoryDisplaySurface::Create(rect, bitsPerPixel, fill).release();
  }
  void DestroyWindow() override {}
  void PostQuit(int /*code*/) override {}
};

// The file on disk a data path names (letter case as the file layer finds it), or empty.
std::string OnDisk(const char* dataPath) {
  char resolved[XB_MAX_PATH];
  if (!XB_FILE::ResolvePath(VE_STATIC_DATA_MANAGER::MakeDataPath(dataPath), resolved)) return {};
  std::error_code ec;
  return fs::is_regular_file(resolved, ec) ? std::string(resolved) : std::string();
}

// The binary caches the static data reads instead of their text, each with the files it was made from.
struct CacheSource {
  const char* cache;
  const char* text;
  bool wholeFolder;  // remap tables: also the pictures beside the text
};
const CacheSource kCaches[] = {{VE_REMAP_TABLES_CDF, VE_REMAP_TABLES_INI, true},
                               {VE_ANIMATIONS_CDF, VE_ANIMATIONS_INI, false}};

// Lines naming the caches that are older than a file they were made from.
std::vector<std::string> StaleCaches() {
  std::vector<std::string> stale;
  for (const CacheSource& c : kCaches) {
    const std::string cache = OnDisk(c.cache), text = OnDisk(c.text);
    if (cache.empty() || text.empty()) continue;
    std::error_code ec;
    const auto made = fs::last_write_time(cache, ec);
    if (ec) continue;
    std::vector<fs::path> sources = {text};
    if (c.wholeFolder) {
      for (const auto& entry : fs::directory_iterator(fs::path(text).parent_path(), ec)) {
        std::string ext = entry.path().extension().string();
        for (char& ch : ext) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        if (entry.is_regular_file(ec) && ext != ".cdf" && ext != ".cif") sources.push_back(entry.path());
      }
    }
    for (const fs::path& source : sources) {
      const auto changed = fs::last_write_time(source, ec);
      if (ec || changed <= made) continue;
      stale.push_back(cache + " is older than " + source.string() +
                      " (the cache wins, so the change has no effect)");
      break;
    }
  }
  return stale;
}

int Check(const std::string& dir) {
  std::vector<std::string> problems;
  auto problem = [&problems](const std::string& line) {
    problems.push_back(line);
    std::printf("error: %s\n", line.c_str());
  };
  XB_WARNING_GROUPS& warnings = ToolWarnings();
  const uint64_t warningsBefore = warnings.Total();

  const std::vector<std::string> stale = StaleCaches();

  // A damaged file is one problem of the check, not the end of it.
  const XB_FatalMode fatalMode = XB_GetFatalMode();
  XB_SetFatalMode(XB_FatalMode::Throw);
  SimulatedClock clock(100000);
  SaverApplication* app = CreateSaverApplication(nullptr);
  app->clock = &clock;
  app->screenWidth = 640;
  app->screenHeight = 480;
  app->screenBitsPerPixel = 8;
  app->frameRate = 12;
  CheckHost host;

  VE_APPLICATION_SERVICES services;
  services.palette = [] { return g_application ? g_application->palette : nullptr; };
  services.warning = [](const char* text) { ToolWarnings().Add(text); };
  SetApplicationServices(services);

  bool windowReady = false;
  try {
    windowReady = InitSaverWindow(*app, host);
    if (!windowReady) problem("the saver window could not be set up (display, palette or bob libraries)");
  } catch (const XB_FATAL_EXCEPTION& e) {
    problem(std::string("the saver stops at start: ") + e.what());
  }
  if (app->archive) {
    std::printf("packed data file: data_v.dat (%u members)\n", app->archive->Count());
    // A member the saver does not happen to read at start may still be cut off.
    std::error_code ec;
    const uint64_t length = fs::file_size(kArchiveFile, ec);
    for (uint32_t i = 0; !ec && i < app->archive->Count(); ++i) {
      const XB_ARCHIVE::Entry& e = app->archive->EntryAt(i);
      if (uint64_t{e.offset} + e.size > length)
        problem(std::string("data_v.dat: member \"") + e.name + "\" lies past the end of the file");
    }
  }

  // The static data is checked even when the window failed, so that one run lists every problem.
  VE_STATIC_DATA_MANAGER* data = nullptr;
  if (app->palette) {
    try {
      data = EnsureStaticData();
    } catch (const XB_FATAL_EXCEPTION& e) {
      problem(std::string("the saver stops on its first frame: ") + e.what());
    }
  }
  if (data) {
    std::printf("remap tables: %u (RemapTable16 windows: %u)%s\n", data->remapTableCount,
                data->remapTable16Count, data->remapTablesFromCache ? " [from remaptables.cdf]" : "");
    std::printf("animations: %u%s\n", data->animationCount,
                data->animationsFromCache ? " [from z_animation_descriptions.cdf]" : "");
    std::printf("walk data: %u\n", data->walkDataCount);
    std::printf("creatures: %u (groups: %u)\n", data->creatureCount, data->groupCount);
    std::printf("colour sets: %u\n", data->randomRemapCount);
    std::printf("bob libraries: %u\n", data->BobLibraryCount());
    if (!data->GetRemapTableByName("shadow"))
      problem("there is no remap table \"shadow\" (the saver stops on its first frame)");
    if (data->creatureCount == 0)
      problem("the creature descriptions hold no creature (every scene would stay empty)");
    for (const char* name : kSceneCreatures)
      if (data->creatureCount && data->GetCreatureDescriptionIdByName(name) == VE_NO_ID)
        problem(std::string("no creature \"") + name + "\" (its scenes cannot start)");
  }
  const struct {
    const char* path;
    const XB_BOB_MANAGER* library;
    std::vector<SceneBob> bobs;
  } libraries[] = {{kPackedBobsFile, app->packedBobs, PackedSceneBobs()},
                   {kMaskedBobsFile, app->maskedBobs, MaskedSceneBobs()}};
  static const char* const kKinds[] = {"none", "packed picture", "shadow", "level mask"};
  for (const auto& lib : libraries) {
    if (!lib.library) continue;
    XB_RECT rect;
    uint32_t bobs = 0;
    for (uint32_t n = lib.library->GetFirstIndex();
         n < lib.library->GetFirstIndex() + lib.library->GetCount(); ++n)
      bobs += lib.library->GetBobRect(n, rect) ? 1 : 0;
    std::printf("%s: %u bobs\n", lib.path, bobs);
    for (const SceneBob& b : lib.bobs) {
      const uint16_t kind = lib.library->GetBobKind(b.number);
      if (kind == b.kind) continue;
      if (kind == 0 && b.kind == 2) {
        // Without its shadow the picture is still drawn: worth knowing, not a reason to fail.
        std::printf("note: %s: bob %u (a shadow) is missing\n", lib.path, b.number);
        continue;
      }
      problem(std::string(lib.path) + ": bob " + std::to_string(b.number) + " is " +
              (kind < 4 ? kKinds[kind] : "of an unknown kind") + ", the scenes draw it as a " +
              kKinds[b.kind]);
    }
  }

  DestroyStaticData();
  ReleaseSaverWindow(*app, host);
  DestroySaverApplication(app);
  ResetApplicationServices();
  XB_SetFatalMode(fatalMode);

  for (const std::string& line : stale) problem("stale cache: " + line);
  if (!stale.empty()) std::printf("rebuild the caches with: tillands-assets data refresh %s\n", dir.c_str());

  const uint64_t warned = warnings.Total() - warningsBefore;
  std::printf("warnings: %llu\n", static_cast<unsigned long long>(warned));
  const bool failed = !problems.empty() || warned > 0;
  std::printf("%s\n", failed ? "check FAILED" : "check passed");
  return failed ? 1 : 0;
}

int Refresh() {
  int removed = 0;
  for (const char* text :
       {VE_REMAP_TABLES_INI, VE_ANIMATIONS_INI, VE_WALKDATA_INI, VE_CREATURES_INI, VE_RANDOM_REMAPS_INI}) {
    const std::string path = OnDisk(text);
    if (path.empty()) continue;
    // Only the caches the program writes beside its descriptions, in either letter case.
    for (const char* ext : {".cdf", ".CDF", ".cif", ".CIF"}) {
      std::error_code ec;
      const fs::path cache = fs::path(path).replace_extension(ext);
      if (fs::is_regular_file(cache, ec) && fs::remove(cache, ec)) {
        std::printf("removed %s\n", cache.string().c_str());
        ++removed;
      }
    }
  }
  // Loading with the screen palette writes every cache anew.
  XB_PALETTE palette;
  palette.SetFromRgbTriples(kPaletteResource);
  VE_APPLICATION_SERVICES services;
  services.palette = [&palette]() { return &palette; };
  services.warning = [](const char* text) { ToolWarnings().Add(text); };
  SetApplicationServices(services);
  VE_STATIC_DATA_MANAGER* data = EnsureStaticData();
  const bool ok = data != nullptr;
  DestroyStaticData();
  ResetApplicationServices();
  int written = 0;
  for (const char* text : {VE_REMAP_TABLES_CDF, VE_ANIMATIONS_CDF}) written += OnDisk(text).empty() ? 0 : 1;
  std::printf("caches removed: %d, binary caches written: %d\n", removed, written);
  return ok ? 0 : 2;
}

int RunData(int argc, char** argv) {
  if (argc != 3) return PrintUsage(dataCommand, 1);
  const std::string action = argv[1];
  if (action != "check" && action != "refresh") return PrintUsage(dataCommand, 1);
  std::error_code ec;
  if (!fs::is_directory(argv[2], ec)) return DataFail(std::string("not a directory: ") + argv[2]);
  fs::current_path(argv[2], ec);
  if (ec) return DataFail(std::string("cannot enter ") + argv[2] + ": " + ec.message());
  return action == "check" ? Check(argv[2]) : Refresh();
}

}  // namespace
