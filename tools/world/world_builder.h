// The demo world generator: everything `tillands-assets make-world` writes.
//
// The world is assembled in memory first (a WorldOutput) by "world parts", then written in one go, sorted by
// path, either as a plain data directory or packed into data_v.dat. Nothing depends on the clock or on the
// order of a directory listing, so the same version always writes byte-identical files.
//
// A part is one build function, listed by name in WorldParts() (world_builder.cpp). The list is
// explicit on purpose: parts that registered themselves through static objects of this static library
// were dropped by some linkers, and the world then silently lacked its creatures.
//
// Parts run in ascending `order` (then by name). The scenery part (order 10) creates the four creature
// description files empty and the base colour tables; later parts append sections to those texts
// (AppendText), add bob libraries (AddFile) and further colour tables and windows.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tools/world/shape_render.h"

namespace tlworld {

// Paths of the data directory as the program names them (backslashes, relative to "GamePath").
inline constexpr const char* kPackedBobsPath = "DATA_V\\VE_Graphics\\BobManager\\Screensaver_Packed.bmd";
inline constexpr const char* kMaskedBobsPath = "DATA_V\\VE_Graphics\\BobManager\\Screensaver_Masked.bmd";
inline constexpr const char* kFontPath = "DATA_V\\VE_Graphics\\ExtText.fnt";
inline constexpr const char* kFontForegroundPath = "DATA_V\\VE_Graphics\\Palette_Font_Foreground.pcx";
inline constexpr const char* kFontBackgroundPath = "DATA_V\\VE_Graphics\\Palette_Font_Background.pcx";
inline constexpr const char* kLogoPicturePath = "Logo.bmp";
inline constexpr const char* kLogoTextPath = "Logo.txt";
inline constexpr const char* kRemapTablesDir = "DATA_V\\VE_Graphics\\RemapTables\\";
inline constexpr const char* kRemapTablesIniPath = "DATA_V\\VE_Graphics\\RemapTables\\remaptables.ini";
inline constexpr const char* kCreaturesDir = "DATA_V\\VE_Graphics\\Creatures\\";
inline constexpr const char* kCreatureBobsDir = "DATA_V\\VE_Graphics\\BobManager\\";
inline constexpr const char* kAnimationDescriptionsPath =
    "DATA_V\\VE_Graphics\\Creatures\\z_animation_descriptions.ini";
inline constexpr const char* kWalkDataDescriptionsPath =
    "DATA_V\\VE_Graphics\\Creatures\\z_walkdata_descriptions.ini";
inline constexpr const char* kCreatureDescriptionsPath =
    "DATA_V\\VE_Graphics\\Creatures\\z_creature_descriptions.ini";
inline constexpr const char* kRandomRemapsPath = "DATA_V\\VE_Graphics\\Creatures\\x_random_remaps.ini";
inline constexpr const char* kArchiveName = "data_v.dat";

// A 256-colour palette as RGB triples (for the PCX files of the remap tables).
using PaletteRgb = std::array<Rgb, 256>;

class WorldOutput {
 public:
  // Adds (or replaces) a binary file.
  void AddFile(const std::string& path, std::vector<uint8_t> bytes);
  // Text files are collected as strings; AppendText creates the file when it is new.
  void AppendText(const std::string& path, const std::string& text);
  bool HasFile(const std::string& path) const;

  // A [RemapTable] section: `fileName` is the PCX written into the remap table directory, its palette
  // is `palette`. Tables are written in the order they are added ("Shadow" first).
  void AddRemapTable(const std::string& name, const std::string& fileName, const PaletteRgb& palette);
  // A [RemapTable16] section: the window's colours are palette entries 16 * start .. 16 * start + 15 of
  // the table `table` (its remap bytes, used for carried goods, start at `start`).
  void AddRemapWindow(const std::string& name, const std::string& table, int start);

  // Writes remaptables.ini and its PCX files and turns every text into a file. Called once by
  // BuildWorld after all parts ran.
  void Finish();

  // The files by path, sorted (after Finish: everything the world holds).
  const std::map<std::string, std::vector<uint8_t>>& Files() const { return files_; }

 private:
  struct Table {
    std::string name, fileName;
    PaletteRgb palette;
  };
  struct Window {
    std::string name, table;
    int start;
  };
  std::map<std::string, std::vector<uint8_t>> files_;
  std::map<std::string, std::string> texts_;
  std::vector<Table> tables_;
  std::vector<Window> windows_;
};

struct WorldPart {
  const char* name;
  int order;
  void (*build)(WorldOutput& out);
};

// The parts' build functions (scenery_part.cpp, creature_world.cpp).
void BuildSceneryPart(WorldOutput& out);
void BuildCreaturesPart(WorldOutput& out);

// Every part of the world.
const std::vector<WorldPart>& WorldParts();
// Runs every part and finishes the output.
WorldOutput BuildWorld();
// The number of [CreatureType] sections in the world's creature descriptions: a world without any
// leaves every scene empty, so make-world refuses to write one.
int CountCreatureTypes(const WorldOutput& world);
// Writes the world below `dir` (backslashes become directory separators). With `archive`, all files
// go into `dir`/data_v.dat instead. The compiled caches (.cif, .cdf) the saver wrote beside this
// world's descriptions are removed first, since they would hide the new descriptions; nothing else
// is removed. A non-empty directory that holds no earlier world is refused unless `force`. Every file
// is written all or nothing. False with `error` set on failure.
bool WriteWorld(const WorldOutput& world, const std::string& dir, bool archive, std::string* error,
                bool force = false);
// The bytes of a data_v.dat holding `files` (names with backslashes), members in map order.
std::vector<uint8_t> PackArchive(const std::map<std::string, std::vector<uint8_t>>& files);

// Small file-format writers used by the parts.
std::vector<uint8_t> EncodePcx(int width, int height, const std::vector<uint8_t>& pixels,
                               const PaletteRgb& palette);
std::vector<uint8_t> EncodeBmp8(int width, int height, const std::vector<uint8_t>& pixels,
                                const PaletteRgb& palette);
PaletteRgb ScreenPalette();
// Little-endian fields of those formats, appended to `out`.
inline void PutU16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}
inline void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  PutU16(out, v & 0xFFFF);
  PutU16(out, v >> 16);
}

}  // namespace tlworld
