// The remap table collection of the static data: named colour tables built from the palettes of
// pictures, 16-entry windows into them, and the "remaptables.cdf" cache that saves the colour
// matching at every start.
#include <cstring>
#include <memory>
#include <string>

#include "base/xb_atomic_file.h"
#include "base/xb_error.h"
#include "base/xb_file.h"
#include "base/xb_ini_file_reader.h"
#include "base/xb_storable.h"
#include "graphics/xb_palette.h"
#include "graphics/xb_picture.h"
#include "staticdata/application_services.h"
#include "staticdata/ve_cache_guard.h"
#include "staticdata/ve_name_utils.h"
#include "staticdata/ve_static_data_manager.h"

namespace {
constexpr uint32_t kLastWindowStart = 256 - 16;  // a window of 16 bytes must end inside its table
// Smallest cache records: name, framed remap table (4 + 256), framed palette (4 + 1024); and a window.
constexpr uint64_t kTableRecordBytes = VE_REMAP_NAME_SIZE + 260 + 1028;
constexpr uint64_t kWindowRecordBytes = VE_REMAP_NAME_SIZE + 4;
}  // namespace

void VE_STATIC_DATA_MANAGER::l_LoadRemapTables() {
  const std::string iniPath = MakeDataPath(VE_REMAP_TABLES_INI);
  remapTablesFromCache = ve::ReadCacheOrFallBack(
      iniPath, [this] { return l_ReadRemapTableCache(); }, [this] { l_FreeRemapTables(); });
  if (!remapTablesFromCache) {
    XB_INI_FILE_READER reader(iniPath.c_str(), true);

    uint32_t count = reader.CountSections("RemapTable");
    remapTables = new VE_REMAP_TABLE_ENTRY[count]();
    remapTableCount = count;
    uint32_t i = 0;
    for (const char* s = reader.FindSection("RemapTable"); s && i < count;
         s = reader.FindNextSection("RemapTable"), ++i) {
      VE_REMAP_TABLE_ENTRY& entry = remapTables[i];
      while (reader.NextKey()) {
        const char* key = reader.GetKeyName();
        if (ve::EqualNoCase(key, "Name")) {
          reader.CopyStringValue(entry.name, sizeof(entry.name));
        } else if (ve::EqualNoCase(key, "FileName")) {
          const char* file = reader.GetStringValue();
          if (!file) continue;
          std::string path = std::string(MakeDataPath(VE_REMAP_TABLES_DIR)) + file;
          XB_PICTURE picture(path.c_str());
          std::unique_ptr<XB_PALETTE> palette(picture.DetachPalette());
          picture.Release();
          delete entry.remapTable;
          delete entry.palette;
          entry.remapTable = nullptr;
          entry.palette = nullptr;
          if (!palette) continue;  // reported below with the other tables that have no colours
          const XB_PALETTE* screen = ApplicationPalette();
          // Without a screen palette (tools that only inspect data) the table keeps indices as they are.
          entry.remapTable =
              screen ? new XB_REMAP_TABLE(*palette, *screen, 0, 255) : new XB_REMAP_TABLE(nullptr);
          entry.palette = palette.release();
        }
      }
    }
    // A table without colours (no FileName, or a picture without a palette) cannot be drawn with nor
    // cached: it is reported and left out, so lookups of its name find nothing.
    uint32_t kept = 0;
    for (uint32_t t = 0; t < remapTableCount; ++t) {
      VE_REMAP_TABLE_ENTRY& entry = remapTables[t];
      if (!entry.remapTable || !entry.palette) {
        ShowWarning("VE_STATIC_DATA_MANAGER::l_LoadRemapTables: RemapTable %s has no picture with a palette",
                    entry.name);
        delete entry.remapTable;
        delete entry.palette;
        entry = VE_REMAP_TABLE_ENTRY{};
        continue;
      }
      if (kept != t) {
        remapTables[kept] = entry;
        entry = VE_REMAP_TABLE_ENTRY{};
      }
      ++kept;
    }
    remapTableCount = kept;

    uint32_t windows = reader.CountSections("RemapTable16");
    if (windows) {
      remapTables16 = new VE_REMAP_TABLE16_ENTRY[windows]();
      remapTable16Count = windows;
    }
    i = 0;
    for (const char* s = reader.FindSection("RemapTable16"); s && i < windows;
         s = reader.FindNextSection("RemapTable16"), ++i) {
      // Entries start zeroed: a section without a RemapTable key looks into table 0 from index 0,
      // and the cache holds exactly that (table id 0, start 0).
      VE_REMAP_TABLE16_ENTRY& entry = remapTables16[i];
      while (reader.NextKey()) {
        const char* key = reader.GetKeyName();
        if (ve::EqualNoCase(key, "Name")) {
          reader.CopyStringValue(entry.name, sizeof(entry.name));
        } else if (ve::EqualNoCase(key, "RemapTable")) {
          char table[VE_NAME_SIZE];
          reader.CopyStringValue(table, sizeof(table));
          entry.tableId = GetRemapTableId(table);
          entry.start = static_cast<uint16_t>(reader.GetIntValue());
        }
      }
      l_SetRemapTable16Window(entry, true);
    }
    // Without a screen palette the tables are identities, not matched colours: a later start would
    // trust them from the cache, so they are never written.
    if (ApplicationPalette()) l_WriteRemapTableCache();
    reader.Close();
  }
  g_shadowTable = GetRemapTableByName("Shadow");
}

// Points the window at its 16 bytes. A window whose table is unknown or whose 16 bytes would run past
// the table's end points nowhere (null): it is kept, so the ids of the later windows stay those of
// the file, but it colours nothing.
void VE_STATIC_DATA_MANAGER::l_SetRemapTable16Window(VE_REMAP_TABLE16_ENTRY& entry, bool warn) {
  entry.window = nullptr;
  if (entry.tableId >= remapTableCount) {
    if (warn)
      ShowWarning(
          "VE_STATIC_DATA_MANAGER::l_LoadRemapTables: RemapTable16 %s: its remap table is not defined",
          entry.name);
    return;
  }
  if (entry.start > kLastWindowStart) {
    if (warn)
      ShowWarning(
          "VE_STATIC_DATA_MANAGER::l_LoadRemapTables: RemapTable16 %s: start %u lies outside the table",
          entry.name, static_cast<unsigned>(entry.start));
    return;
  }
  entry.window = remapTables[entry.tableId].remapTable->GetData() + entry.start;
}

bool VE_STATIC_DATA_MANAGER::l_ReadRemapTableCache() {
  const std::string path = MakeDataPath(VE_REMAP_TABLES_CDF);
  XB_FILE file(path.c_str());
  if (!file.OpenForReading(false)) return false;
  const char* what = "VE_STATIC_DATA_MANAGER::l_ReadRemapTableCache";

  file.RequireRemaining(4, what);
  uint32_t count = file.ReadU32();
  file.RequireRemaining(count * kTableRecordBytes + 4, what);
  remapTables = new VE_REMAP_TABLE_ENTRY[count]();
  remapTableCount = count;
  for (uint32_t i = 0; i < count; ++i) {
    VE_REMAP_TABLE_ENTRY& entry = remapTables[i];
    file.Read(entry.name, sizeof(entry.name));
    entry.name[sizeof(entry.name) - 1] = 0;
    entry.remapTable = LoadObjectOfClass<XB_REMAP_TABLE>(file, what);
    entry.palette = LoadObjectOfClass<XB_PALETTE>(file, what);
    if (!entry.remapTable || !entry.palette)
      XB_FatalError("%s - file %s - out of memory", what, path.c_str());
  }
  file.RequireRemaining(4, what);
  uint32_t windows = file.ReadU32();
  file.RequireRemaining(windows * kWindowRecordBytes, what);
  if (windows) {
    remapTables16 = new VE_REMAP_TABLE16_ENTRY[windows]();
    remapTable16Count = windows;
  }
  for (uint32_t i = 0; i < windows; ++i) {
    VE_REMAP_TABLE16_ENTRY& entry = remapTables16[i];
    file.Read(entry.name, sizeof(entry.name));
    entry.name[sizeof(entry.name) - 1] = 0;
    entry.tableId = file.ReadU16();
    entry.start = file.ReadU16();
    l_SetRemapTable16Window(entry, false);
  }
  file.Close();
  return true;
}

void VE_STATIC_DATA_MANAGER::l_WriteRemapTableCache() {
  char resolved[XB_MAX_PATH];
  if (!XB_FILE::ResolvePath(MakeDataPath(VE_REMAP_TABLES_INI), resolved)) return;
  size_t length = std::strlen(resolved);
  if (length < 3) return;
  std::memcpy(resolved + length - 3, "CDF", 3);
  // A data directory that cannot be written (read-only media, descriptions inside data_v.dat) only
  // loses the speed-up: the cache is skipped, not a reason to stop.
  // Gathered in memory and written all at once, so a saver starting beside us never reads half a
  // cache; a cache that cannot be written (full disk) is only a lost speed-up.
  XB_FILE file(resolved);
  file.OpenMemoryForWriting();
  file.WriteU32(remapTableCount);
  for (uint32_t i = 0; i < remapTableCount; ++i) {
    file.Write(remapTables[i].name, sizeof(remapTables[i].name));
    SaveObject(*remapTables[i].remapTable, file);
    SaveObject(*remapTables[i].palette, file);
  }
  file.WriteU32(remapTable16Count);
  for (uint32_t i = 0; i < remapTable16Count; ++i) {
    file.Write(remapTables16[i].name, sizeof(remapTables16[i].name));
    file.WriteU16(remapTables16[i].tableId);
    file.WriteU16(remapTables16[i].start);
  }
  file.Close();
  XB_WriteFileAtomic(resolved, file.MemoryBytes(), nullptr);
}

void VE_STATIC_DATA_MANAGER::l_FreeRemapTables() {
  for (uint32_t i = 0; i < remapTableCount && remapTables; ++i) {
    delete remapTables[i].remapTable;
    delete remapTables[i].palette;
  }
  delete[] remapTables;
  remapTables = nullptr;
  remapTableCount = 0;
  delete[] remapTables16;
  remapTables16 = nullptr;
  remapTable16Count = 0;
  g_shadowTable = nullptr;
}

// ---------------------------------------------------------------------------------------------------
// Queries

XB_REMAP_TABLE* VE_STATIC_DATA_MANAGER::GetRemapTableByName(const char* name) const {
  uint16_t id = GetRemapTableId(name);
  return id == VE_NO_ID ? nullptr : remapTables[id].remapTable;
}

uint16_t VE_STATIC_DATA_MANAGER::GetRemapTableId(const char* name) const {
  for (uint32_t i = 0; i < remapTableCount && i < VE_NO_ID; ++i)
    if (ve::EqualNoCase(remapTables[i].name, name)) return static_cast<uint16_t>(i);
  return VE_NO_ID;
}

uint16_t VE_STATIC_DATA_MANAGER::GetRemapTable16Id(const char* name) const {
  for (uint32_t i = 0; i < remapTable16Count && i < VE_NO_ID; ++i)
    if (ve::EqualNoCase(remapTables16[i].name, name)) return static_cast<uint16_t>(i);
  return VE_NO_ID;
}

const XB_PALETTE_ENTRY* VE_STATIC_DATA_MANAGER::GetRemapTable16Colours(uint16_t windowId) const {
  if (windowId >= remapTable16Count) return nullptr;
  const VE_REMAP_TABLE16_ENTRY& entry = remapTables16[windowId];
  if (entry.tableId >= remapTableCount) return nullptr;
  // The colours are palette entries 16 x start to 16 x start + 15: only starts 0 to 15 stay inside.
  if (16u * entry.start + 16u > 256u) return nullptr;
  return remapTables[entry.tableId].palette->GetColours() + 16u * entry.start;
}

const uint8_t* VE_STATIC_DATA_MANAGER::GetRemapTable16Window(uint16_t windowId) const {
  return windowId < remapTable16Count ? remapTables16[windowId].window : nullptr;
}
