// tillands-assets creature-sheet: contact sheets of the demo world's creatures, to look at the art.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "shell/option_values.h"
#include "tools/assets/command.h"
#include "tools/world/creature_sheet.h"

namespace {

const char kCreatureSheetUsage[] =
    "usage: tillands-assets creature-sheet DIR [--scale N]\n\n"
    "Draws every animation of every creature library of the demo world, in every direction it has,\n"
    "one row of frames each, into DIR/creatures-<library>.png: heads, hair and headwear over the body,\n"
    "dressed in changing colour sets, the cast shadow on green ground and the anchor as a red dot.\n\n"
    "  --scale N   draw every pixel N x N (1..8, default 1)\n";

int RunCreatureSheet(int argc, char** argv) {
  std::string dir;
  tlworld::CreatureSheetOptions options;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--scale") == 0 && i + 1 < argc) {
      std::string error;
      if (!ParseOptionNumber("--scale", argv[++i], 1, 8, options.scale, error)) {
        std::fprintf(stderr, "creature-sheet: %s\n", error.c_str());
        return 1;
      }
    } else if (argv[i][0] == '-') {
      std::fprintf(stderr, "creature-sheet: unknown or incomplete option '%s'\n\n%s", argv[i],
                   kCreatureSheetUsage);
      return 1;
    } else if (dir.empty()) {
      dir = argv[i];
    } else {
      std::fprintf(stderr, "creature-sheet: more than one directory given\n\n%s", kCreatureSheetUsage);
      return 1;
    }
  }
  if (dir.empty()) {
    std::fprintf(stderr, "creature-sheet: no directory given\n\n%s", kCreatureSheetUsage);
    return 1;
  }
  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec)) {
    std::fprintf(stderr, "creature-sheet: '%s' is not a directory\n", dir.c_str());
    return 1;
  }
  std::vector<std::string> written;
  std::string error;
  if (!tlworld::WriteCreatureSheets(dir, options, &written, &error)) {
    std::fprintf(stderr, "creature-sheet: %s\n", error.c_str());
    return 1;
  }
  for (const std::string& name : written) std::printf("%s\n", name.c_str());
  return 0;
}

AssetCommand creatureSheetCommand{"creature-sheet", "draw every creature animation into contact sheets",
                                  kCreatureSheetUsage, &RunCreatureSheet};

}  // namespace
