// tillands-assets remap: show the remap table cache (remaptables.cdf).
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "base/xb_file.h"
#include "base/xb_storable.h"
#include "graphics/xb_palette.h"
#include "tools/assets/command.h"

namespace {

int RunRemap(int argc, char** argv);

const AssetCommand remapCommand{
    "remap", "dump the remap table cache (remaptables.cdf)",
    "usage: tillands-assets remap dump FILE\n"
    "\n"
    "Prints every cached remap table in id order with its 256 remap bytes (16 per line, hex) and the\n"
    "first colours of its palette, then every 16-entry window with its table and start.\n"
    "\n"
    "Exit status: 0 success, 1 bad usage, 2 a missing or damaged file.\n",
    &RunRemap};

int RunRemap(int argc, char** argv) {
  if (argc != 3 || std::string(argv[1]) != "dump") return PrintUsage(remapCommand, 1);
  const char* what = "tillands-assets remap";
  XB_FILE file(argv[2], true);
  file.RequireRemaining(4, what);
  uint32_t count = file.ReadU32();
  file.RequireRemaining(static_cast<uint64_t>(count) * (30 + 260 + 1028) + 4, what);
  std::vector<std::string> names;
  std::printf("%u remap tables\n", count);
  for (uint32_t i = 0; i < count; ++i) {
    char name[31] = {};
    file.Read(name, 30);
    names.emplace_back(name);
    std::unique_ptr<XB_REMAP_TABLE> table(LoadObjectOfClass<XB_REMAP_TABLE>(file, what));
    std::unique_ptr<XB_PALETTE> palette(LoadObjectOfClass<XB_PALETTE>(file, what));
    std::printf("[%u] %s\n", i, name);
    for (int row = 0; row < 16; ++row) {
      std::printf("  %3d:", row * 16);
      for (int c = 0; c < 16; ++c) std::printf(" %02x", (*table)[row * 16 + c]);
      std::printf("\n");
    }
    std::printf("  palette:");
    for (int c = 0; c < 4; ++c) {
      const XB_PALETTE_ENTRY& e = palette->GetColour(c);
      std::printf(" (%u,%u,%u)", e.red, e.green, e.blue);
    }
    std::printf(" ...\n");
  }
  file.RequireRemaining(4, what);
  uint32_t windows = file.ReadU32();
  file.RequireRemaining(static_cast<uint64_t>(windows) * 34, what);
  std::printf("%u RemapTable16 windows\n", windows);
  for (uint32_t i = 0; i < windows; ++i) {
    char name[31] = {};
    file.Read(name, 30);
    uint16_t table = file.ReadU16();
    uint16_t start = file.ReadU16();
    std::string tableName = table < names.size() ? names[table] : "(no such table)";
    std::printf("[%u] %s: table %u %s, start %u%s\n", i, name, table, tableName.c_str(), start,
                start > 240 ? " (outside the table)" : "");
  }
  return 0;
}

}  // namespace
