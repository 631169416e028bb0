// tillands-assets data check: loads the static data of a data directory the way the saver does and
// reports what it found and every warning. Modders run it after editing descriptions.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "base/xb_error.h"
#include "base/xb_file.h"
#include "base/xb_storable.h"
#include "graphics/xb_bob_manager.h"
#include "graphics/xb_palette.h"
#include "graphics/xb_rect.h"
#include "shell/resources/palette_resource.h"
#include "staticdata/application_services.h"
#include "staticdata/ve_static_data_manager.h"
#include "tools/assets/command.h"

namespace {

int RunData(int argc, char** argv);

const AssetCommand dataCommand{
    "data", "check the static data of a game data directory",
    "usage: tillands-assets data check DIR\n"
    "\n"
    "DIR is the game's installation directory (the saver's \"GamePath\"), which holds DATA_V\\... and\n"
    "optionally data_v.dat. The check does what the saver does at start: it registers data_v.dat when\n"
    "present, takes the palette of the program's PALETTE resource, loads the remap tables, animation,\n"
    "walk-data and creature descriptions and colour sets (writing their caches beside them, as the\n"
    "saver does), looks up the remap table \"shadow\" and loads the two screensaver bob libraries.\n"
    "It prints what it counted and every warning.\n"
    "\n"
    "Exit status: 0 all loaded without a warning, 1 bad usage, a warning or something missing,\n"
    "2 a fatal error in the data (the saver would stop there too).\n",
    &RunData};

const char* const kScreensaverLibraries[] = {"Data_V\\VE_Graphics\\BobManager\\Screensaver_Packed.bmd",
                                             "Data_V\\VE_Graphics\\BobManager\\Screensaver_Masked.bmd"};

int Fail(const std::string& message) {
  std::fprintf(stderr, "tillands-assets data: %s\n", message.c_str());
  return 1;
}

int RunData(int argc, char** argv) {
  if (argc != 3 || std::string(argv[1]) != "check") return PrintUsage(dataCommand, 1);
  std::error_code ec;
  if (!std::filesystem::is_directory(argv[2], ec)) return Fail(std::string("not a directory: ") + argv[2]);
  std::filesystem::current_path(argv[2], ec);
  if (ec) return Fail(std::string("cannot enter ") + argv[2] + ": " + ec.message());

  std::unique_ptr<XB_ARCHIVE> archive;
  if (XB_FILE::Exists("data_v.dat")) {
    archive = std::make_unique<XB_ARCHIVE>("data_v.dat");
    RegisterArchive(archive.get());
    std::printf("packed data file: data_v.dat (%u members)\n", archive->Count());
  }

  XB_PALETTE palette;
  palette.SetFromRgbTriples(kPaletteResource);
  VE_APPLICATION_SERVICES services;
  services.palette = [&palette]() { return &palette; };
  services.warning = [](const char* text) { std::printf("warning: %s\n", text); };
  SetApplicationServices(services);
  ResetShownWarningCount();
  const std::string baseWarningBefore = XB_LastWarning();

  VE_STATIC_DATA_MANAGER* data = EnsureStaticData();
  int problems = 0;
  std::printf("remap tables: %u (RemapTable16 windows: %u)%s\n", data->remapTableCount,
              data->remapTable16Count, data->remapTablesFromCache ? " [from remaptables.cdf]" : "");
  std::printf("animations: %u%s\n", data->animationCount,
              data->animationsFromCache ? " [from z_animation_descriptions.cdf]" : "");
  std::printf("walk data: %u\n", data->walkDataCount);
  std::printf("creatures: %u (groups: %u)\n", data->creatureCount, data->groupCount);
  std::printf("colour sets: %u\n", data->randomRemapCount);
  std::printf("bob libraries: %u\n", data->BobLibraryCount());
  if (data->creatureCount == 0) {
    std::printf("error: the creature descriptions hold no creature (every scene would stay empty)\n");
    ++problems;
  }
  if (!data->GetRemapTableByName("shadow")) {
    std::printf("error: there is no remap table \"shadow\" (the saver stops on its first frame)\n");
    ++problems;
  }
  for (const char* path : kScreensaverLibraries) {
    if (!XB_FILE::Exists(path)) {
      std::printf("error: %s is missing (the saver does not start without it)\n", path);
      ++problems;
      continue;
    }
    XB_FILE file(path, true);
    std::unique_ptr<XB_BOB_MANAGER> library(LoadObjectOfClass<XB_BOB_MANAGER>(file, "tillands-assets data"));
    XB_RECT rect;
    uint32_t bobs = 0;
    for (uint32_t n = library->GetFirstIndex(); n < library->GetFirstIndex() + library->GetCount(); ++n)
      bobs += library->GetBobRect(n, rect) ? 1 : 0;
    std::printf("%s: %u bobs\n", path, bobs);
  }
  DestroyStaticData();
  ResetApplicationServices();

  uint32_t warnings = ShownWarningCount();
  // Warnings of the file layer and the INI reader (unresolved #define references) print themselves;
  // they count as well.
  if (XB_LastWarning() != baseWarningBefore) ++warnings;
  std::printf("warnings: %u\n", warnings);
  if (warnings) ++problems;
  std::printf("%s\n", problems ? "check FAILED" : "check passed");
  return problems ? 1 : 0;
}

}  // namespace
