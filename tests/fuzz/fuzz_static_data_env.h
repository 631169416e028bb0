// Shared set-up of the static-data fuzz harnesses: a private scratch directory that is the current
// directory, helpers to write files into it, and a minimal description set for the manager.
// Fatal errors throw (XB_FatalMode::Throw) and are caught by the harnesses: a damaged file is the
// expected outcome for most inputs; only crashes, sanitizer reports and leaks count as findings.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "base/xb_error.h"
#include "base/xb_file.h"
#include "graphics/bob_authoring.h"
#include "graphics/graphics_storables.h"
#include "graphics/xb_bitmap.h"
#include "graphics/xb_palette.h"
#include "staticdata/application_services.h"

namespace fuzz_env {

inline std::string& Root() {
  static std::string root;
  return root;
}

// Creates and enters /tmp/<name>_<pid>; warnings of the INI reader and the manager are silenced.
inline void Enter(const char* name) {
  XB_SetFatalMode(XB_FatalMode::Throw);
  RegisterGraphicsStorables();
  Root() = std::string("/tmp/") + name + "_" + std::to_string(::getpid());
  std::filesystem::remove_all(Root());
  std::filesystem::create_directories(Root());
  std::filesystem::current_path(Root());
  std::freopen("/dev/null", "w", stdout);  // XB_Warning prints there
  VE_APPLICATION_SERVICES services;
  services.warning = [](const char*) {};
  // A screen palette, as the saver always has: with it the remap tables are matched and their cache
  // is written once at set-up, so each run reads caches rather than decoding pictures again.
  services.palette = [] {
    static XB_PALETTE* screen = [] {
      auto* p = new XB_PALETTE();
      for (int i = 0; i < 256; ++i)
        p->SetColour(i, XB_PALETTE_ENTRY::Rgb(static_cast<uint8_t>(i), static_cast<uint8_t>(i),
                                              static_cast<uint8_t>(255 - i)));
      return p;
    }();
    return screen;
  };
  SetApplicationServices(services);
}

inline bool WriteFile(const std::string& relative, const void* data, size_t size) {
  std::filesystem::path path = std::filesystem::path(Root()) / relative;
  std::filesystem::create_directories(path.parent_path());
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

inline bool WriteText(const std::string& relative, const std::string& text) {
  return WriteFile(relative, text.data(), text.size());
}

// The descriptions the manager needs besides the cache under test: one remap table "Shadow" (from a
// 1x1 PCX), one animation on library "body" (also "body_head_0" and "body_shadow"), a walk-data
// description, a creature and a colour set.
inline void WriteDescriptionSet() {
  std::string pcx(128, '\0');
  pcx[0] = 10, pcx[1] = 5, pcx[2] = 1, pcx[3] = 8, pcx[65] = 1, pcx[66] = 2;
  pcx += std::string("\x01\x02", 2);
  pcx += '\x0c';
  for (int i = 0; i < 768; ++i) pcx += static_cast<char>(i / 3);
  WriteText("DATA_V/ve_graphics/remaptables/shadow.pcx", pcx);
  WriteText("DATA_V/ve_graphics/remaptables/remaptables.ini",
            "[RemapTable]\nName = \"Shadow\"\nFileName = \"shadow.pcx\"\n"
            "[RemapTable16]\nName = \"Low\"\nRemapTable = \"Shadow\", 0\n");
  for (const char* library : {"body", "body_head_0", "body_shadow"}) {
    BobLibraryBuilder builder(0);
    XB_BITMAP pixel(1, 1, XB_PIXELS_8);
    pixel.GetPixels()[0] = 7;
    for (uint32_t n = 0; n < 4; ++n) builder.AddPacked(n, pixel, 0);
    std::filesystem::create_directories(Root() + "/DATA_V/ve_graphics/bobmanager");
    builder.SaveBmd((Root() + "/DATA_V/ve_graphics/bobmanager/" + library + ".bmd").c_str());
  }
  WriteText("DATA_V/ve_graphics/creatures/z_animation_descriptions.ini",
            "[AnimationType]\nName = \"walk\"\nBobLibrary = \"body\"\nShadowBobLibrary = \"body_shadow\"\n"
            "Speed = 6\nFrames = 3\nBobs = 1, 2, 3\nEvent = 1, 101, 4\nEventSound = \"step\"\n"
            "CarryGoodRemapTables = \"Low\", \"Low\"\n"
            "[AnimationType]\nName = \"stand\"\nBobLibrary = \"body\"\nSpeed = 1\nFrames = 1\nBobs = 0\n");
  WriteText(
      "DATA_V/ve_graphics/creatures/z_walkdata_descriptions.ini",
      "[WalkDataType]\nName = \"walking\"\nWalkAnimation = \"walk\", \"walk\", \"walk\", \"walk\", \"walk\", "
      "\"walk\"\nWalkSpeed = 9\n");
  WriteText("DATA_V/ve_graphics/creatures/z_creature_descriptions.ini",
            "[CreatureType]\nName = \"Man\"\nMasterType = 4\nWalkType = \"walking\", 0\n"
            "Animation = \"stand\", 2000, 0\nRemapRandom = 1, 1, \"Low\", 5\n");
  WriteText("DATA_V/ve_graphics/creatures/x_random_remaps.ini",
            "[RemapRandom]\nName = \"Player_0_Color_Man\"\nRemapRandom = 2, 1, \"Low\", 1\n");
}

// After one load from the text every description has its cache: removing the texts makes each run
// read caches only (nothing is parsed or written again), which keeps the harnesses fast.
inline void RemoveTexts() {
  for (const char* text : {"DATA_V/ve_graphics/remaptables/remaptables.ini",
                           "DATA_V/ve_graphics/creatures/z_animation_descriptions.ini",
                           "DATA_V/ve_graphics/creatures/z_walkdata_descriptions.ini",
                           "DATA_V/ve_graphics/creatures/z_creature_descriptions.ini",
                           "DATA_V/ve_graphics/creatures/x_random_remaps.ini"})
    std::filesystem::remove(std::filesystem::path(Root()) / text);
}

// Serves every file of the scratch directory from memory and stops looking at the disk: each run
// then reads the input and the descriptions without a single system call, which is what makes the
// static-data harnesses fast. Files added afterwards go through Serve.
inline std::map<std::string, std::vector<uint8_t>>& Served() {
  static std::map<std::string, std::vector<uint8_t>> files;
  return files;
}

inline void ServeDirectoryFromMemory() {
  for (const auto& entry : std::filesystem::recursive_directory_iterator(Root())) {
    if (!entry.is_regular_file()) continue;
    const std::string relative = std::filesystem::relative(entry.path(), Root()).string();
    std::FILE* f = std::fopen(entry.path().c_str(), "rb");
    if (!f) continue;
    std::vector<uint8_t>& bytes = Served()[relative];
    uint8_t chunk[4096];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, f)) > 0;)
      bytes.insert(bytes.end(), chunk, chunk + n);
    std::fclose(f);
  }
  for (const auto& [name, bytes] : Served()) XB_FILE::AddMemoryFile(name.c_str(), bytes.data(), bytes.size());
  XB_FILE::SetMemoryFilesOnly(true);
}

// The input of one run as a file of the data directory (the bytes stay libFuzzer's).
inline void Serve(const char* relative, const uint8_t* data, size_t size) {
  XB_FILE::AddMemoryFile(relative, data, size);
}

// Copies a file of the scratch directory to $FUZZ_SEED_DIR/<name> when that variable is set (used
// once to make the seed corpus from caches the loaders wrote themselves).
inline void ExportSeed(const std::string& relative, const char* name) {
  const char* dir = std::getenv("FUZZ_SEED_DIR");
  if (!dir) return;
  std::filesystem::create_directories(dir);
  std::filesystem::copy_file(std::filesystem::path(Root()) / relative, std::filesystem::path(dir) / name,
                             std::filesystem::copy_options::overwrite_existing);
}

}  // namespace fuzz_env
