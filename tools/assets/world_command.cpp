// tillands-assets make-world / contact-sheet / make-resources: the demo world generator and its
// viewing aid, and the program resources synthesised from our own code.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "base/xb_file.h"
#include "base/xb_storable.h"
#include "graphics/xb_bob_manager.h"
#include "shell/resources/palette_resource.h"
#include "shell/option_values.h"
#include "tools/assets/command.h"
#include "tools/common/output_guard.h"
#include "tools/world/contact_sheet.h"
#include "tools/world/program_resources.h"
#include "tools/world/world_builder.h"

namespace {

const char kMakeWorldUsage[] =
    "usage: tillands-assets make-world DIR [--archive] [--force]\n\n"
    "Writes the demo world into DIR (the directory that \"GamePath\" names): the screensaver's bob\n"
    "libraries, logo picture and texts, font and font colours, colour tables, and the creature\n"
    "descriptions with their bob libraries. The same version always writes byte-identical files.\n\n"
    "Only an empty or new DIR, or one that holds an earlier world, is written to; the compiled caches\n"
    "the saver left beside the earlier world's descriptions are removed, nothing else.\n\n"
    "  --archive   pack every file into DIR/data_v.dat instead (the saver then runs from it alone)\n"
    "  --force     write into a non-empty DIR that holds no earlier world\n";

int RunMakeWorld(int argc, char** argv) {
  std::string dir;
  bool archive = false;
  bool force = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--archive") == 0) {
      archive = true;
    } else if (std::strcmp(argv[i], "--force") == 0) {
      force = true;
    } else if (argv[i][0] == '-') {
      std::fprintf(stderr, "tillands-assets make-world: unknown option '%s'\n\n%s", argv[i], kMakeWorldUsage);
      return 1;
    } else if (dir.empty()) {
      dir = argv[i];
    } else {
      std::fprintf(stderr, "tillands-assets make-world: more than one directory given\n\n%s",
                   kMakeWorldUsage);
      return 1;
    }
  }
  if (dir.empty()) {
    std::fprintf(stderr, "tillands-assets make-world: no directory given\n\n%s", kMakeWorldUsage);
    return 1;
  }
  auto start = std::chrono::steady_clock::now();
  tlworld::WorldOutput world = tlworld::BuildWorld();
  if (tlworld::CountCreatureTypes(world) == 0) {
    // Every scene needs creatures; a world without them would start and show empty screens.
    std::fprintf(stderr, "tillands-assets make-world: the world holds no creature (nothing written)\n");
    return 2;
  }
  std::string error;
  if (!tlworld::WriteWorld(world, dir, archive, &error, force)) {
    std::fprintf(stderr, "tillands-assets make-world: %s\n", error.c_str());
    return 1;
  }
  size_t bytes = 0;
  for (const auto& [name, data] : world.Files()) bytes += data.size();
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("make-world: %zu files, %zu bytes%s in %.2f s -> %s\n", world.Files().size(), bytes,
              archive ? " (packed into data_v.dat)" : "", seconds, dir.c_str());
  return 0;
}

AssetCommand makeWorldCommand{"make-world", "write the demo world (data directory or data_v.dat)",
                              kMakeWorldUsage, &RunMakeWorld};

const char kContactSheetUsage[] =
    "usage: tillands-assets contact-sheet LIBRARY.bmd OUT.png [--scale N] [--width PIXELS]\n\n"
    "Draws every bob of a bob library into one PNG with the screen palette: packed bobs in colour on\n"
    "green, shadow bobs dark on light grey, level masks as grey levels on blue (light = early), each\n"
    "with its number.\n\n"
    "  --scale N       draw every pixel N x N (1..8, default 1)\n"
    "  --width PIXELS  wrap rows at this width (default 1280)\n";

int RunContactSheet(int argc, char** argv) {
  std::string in, out;
  tlworld::ContactSheetOptions options;
  for (int i = 1; i < argc; ++i) {
    bool hasValue = i + 1 < argc;
    if (std::strcmp(argv[i], "--scale") == 0 && hasValue) {
      std::string error;
      if (!ParseOptionNumber("--scale", argv[++i], 1, 8, options.scale, error)) {
        std::fprintf(stderr, "tillands-assets contact-sheet: %s\n", error.c_str());
        return 1;
      }
    } else if (std::strcmp(argv[i], "--width") == 0 && hasValue) {
      std::string error;
      if (!ParseOptionNumber("--width", argv[++i], 16, 16384, options.maxWidth, error)) {
        std::fprintf(stderr, "tillands-assets contact-sheet: %s\n", error.c_str());
        return 1;
      }
    } else if (argv[i][0] == '-') {
      std::fprintf(stderr, "tillands-assets contact-sheet: unknown or incomplete option '%s'\n\n%s", argv[i],
                   kContactSheetUsage);
      return 1;
    } else if (in.empty()) {
      in = argv[i];
    } else if (out.empty()) {
      out = argv[i];
    } else {
      std::fprintf(stderr, "tillands-assets contact-sheet: too many arguments\n\n%s", kContactSheetUsage);
      return 1;
    }
  }
  if (in.empty() || out.empty()) {
    std::fprintf(stderr, "tillands-assets contact-sheet: need a library and an output file\n\n%s",
                 kContactSheetUsage);
    return 1;
  }
  if (!XB_FILE::Exists(in.c_str())) {
    std::fprintf(stderr, "tillands-assets contact-sheet: cannot open '%s'\n", in.c_str());
    return 1;
  }
  if (RefuseOutputOverInput("contact-sheet", out, {in})) return 1;
  std::unique_ptr<XB_STORABLE> object(LoadObjectFromFile(in.c_str()));
  auto* library = dynamic_cast<XB_BOB_MANAGER*>(object.get());
  if (!library) {
    std::fprintf(stderr, "tillands-assets contact-sheet: '%s' holds no bob library\n", in.c_str());
    return 2;
  }
  std::string error;
  if (!tlworld::WriteContactSheet(*library, out, kPaletteResource, options, &error)) {
    std::fprintf(stderr, "tillands-assets contact-sheet: %s\n", error.c_str());
    return 1;
  }
  return 0;
}

AssetCommand contactSheetCommand{"contact-sheet", "draw every bob of a library into one PNG",
                                 kContactSheetUsage, &RunContactSheet};

const char kMakeResourcesUsage[] =
    "usage: tillands-assets make-resources OUT.cpp [--files DIR]\n\n"
    "Synthesises the program's resources - the 22 WAVE sounds, the preview bitmap 108 and the icons\n"
    "105, 106, 107 - and writes them as a C++ table for the generated resource library.\n\n"
    "  --files DIR   also write each resource as a file (NAME.wav, preview108.bmp, icon105.ico ...)\n"
    "                and the PALETTE 104 as palette104.pal (768 bytes red, green, blue): the files\n"
    "                the Windows resource script compiles in\n";

int RunMakeResources(int argc, char** argv) {
  std::string out, files;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--files") == 0 && i + 1 < argc) {
      files = argv[++i];
    } else if (argv[i][0] == '-') {
      std::fprintf(stderr, "tillands-assets make-resources: unknown or incomplete option '%s'\n\n%s", argv[i],
                   kMakeResourcesUsage);
      return 1;
    } else if (out.empty()) {
      out = argv[i];
    } else {
      std::fprintf(stderr, "tillands-assets make-resources: too many arguments\n\n%s", kMakeResourcesUsage);
      return 1;
    }
  }
  if (out.empty()) {
    std::fprintf(stderr, "tillands-assets make-resources: no output file given\n\n%s", kMakeResourcesUsage);
    return 1;
  }
  std::string error;
  std::vector<tlworld::ProgramResource> resources = tlworld::BuildProgramResources();
  if (!tlworld::WriteResourceSource(resources, out, &error) ||
      (!files.empty() && !tlworld::WriteResourceFiles(resources, files, &error))) {
    std::fprintf(stderr, "tillands-assets make-resources: %s\n", error.c_str());
    return 1;
  }
  // The palette is compiled into every program from its one source; the resource script gets the
  // same bytes as a file.
  const std::vector<tlworld::ProgramResource> palette = {
      {"PALETTE", "#104", "palette104.pal",
       std::vector<uint8_t>(kPaletteResource, kPaletteResource + sizeof kPaletteResource)}};
  if (!files.empty() && !tlworld::WriteResourceFiles(palette, files, &error)) {
    std::fprintf(stderr, "make-resources: %s\n", error.c_str());
    return 1;
  }
  return 0;
}

AssetCommand makeResourcesCommand{"make-resources", "synthesise the WAVE sounds, preview bitmap and icons",
                                  kMakeResourcesUsage, &RunMakeResources};

}  // namespace
