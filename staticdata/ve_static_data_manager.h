// VE_STATIC_DATA_MANAGER: loads and owns the game's static descriptions (remap tables, animation,
// walk-data and creature descriptions, random colour sets) and the bob libraries they name. One
// instance per process, created by EnsureStaticData() and reached through g_staticData.
//
// All files are read relative to the data directory (the current directory) under "DATA_V\", through
// the INI reader and its caches: remaptables.cdf and z_animation_descriptions.cdf are binary caches
// written beside their .ini files and read instead of them whenever they exist; the other
// descriptions use the INI reader's .cif cache.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "base/xb_error.h"
#include "staticdata/ve_descriptions.h"

class XB_NEAREST_COLOUR_SEARCH;

class XB_BOB_MANAGER;
class XB_FILE;
class XB_INI_FILE_READER;
class XB_LIST;
class XB_PALETTE;
class XB_REMAP_TABLE;
struct XB_PALETTE_ENTRY;

// Registry record of a bob library named by the descriptions.
struct VE_BOB_LIBRARY_ENTRY {
  uint16_t kind;  // always 1
  char name[VE_NAME_SIZE];
  XB_BOB_MANAGER* library;  // owned by the registry record
};

class VE_STATIC_DATA_MANAGER {
 public:
  // Loads everything, in this order: remap tables, animations, walk data, creatures, random
  // colour sets; registers itself as g_staticData.
  VE_STATIC_DATA_MANAGER();
  // Releases everything in reverse order and clears g_staticData (and the animation and shadow
  // table pointers).
  ~VE_STATIC_DATA_MANAGER();
  VE_STATIC_DATA_MANAGER(const VE_STATIC_DATA_MANAGER&) = delete;
  VE_STATIC_DATA_MANAGER& operator=(const VE_STATIC_DATA_MANAGER&) = delete;

  // --- Remap table collection ---
  XB_REMAP_TABLE* GetRemapTableByName(const char* name) const;  // first match regardless of case
  uint16_t GetRemapTableId(const char* name) const;             // 0xFFFF when not found
  uint16_t GetRemapTable16Id(const char* name) const;           // 0xFFFF when not found
  // The 16 colours of the window's table palette from entry 16 x start; null when the window id is
  // unknown or those entries lie outside the palette.
  const XB_PALETTE_ENTRY* GetRemapTable16Colours(uint16_t windowId) const;
  // The window's 16 remap bytes; null when the id is unknown or the window points nowhere.
  const uint8_t* GetRemapTable16Window(uint16_t windowId) const;

  // --- Id lookups (case-insensitive; a miss warns and gives 0xFFFF) ---
  uint16_t GetAnimationDescriptionId(const char* name) const;
  uint16_t l_GetWalkDataDescriptionId(const char* name) const;
  uint16_t GetCreatureDescriptionIdByName(const char* name) const;

  // Records by id; null for 0xFFFF or any id outside the table.
  const VE_ANIMATION_DESCRIPTION* GetAnimation(uint16_t id) const;
  const VE_WALKDATA_DESCRIPTION* GetWalkData(uint16_t id) const;
  const VE_CREATURE_DESCRIPTION* GetCreature(uint16_t id) const;

  // --- Creature queries ---
  // Walk-data id of the creature's first walk kind entry of that kind, else 0xFFFF.
  uint16_t FindWalkData(const VE_CREATURE_DESCRIPTION* creature, uint16_t walkKind) const;
  // Animation id of the creature's first entry with that key (direction 10 uses index 5, 11 index 2
  // for per-direction entries), else 0xFFFF.
  uint16_t FindCreatureAnimation(const VE_CREATURE_DESCRIPTION* creature, uint16_t key, int direction) const;
  // Walk animation of a walk-data description for a direction (10 and 11 fall back to 5 and 1
  // without vertical animations); 0xFFFF for an unknown id or direction.
  uint16_t GetWalkAnimation(uint16_t walkDataId, int direction) const;
  const VE_RANDOM_REMAP* FindRandomRemap(const char* name) const;  // no warning
  // Replaces the 16-colour slots of palette by random choices of the set (one ApplicationRand per
  // slot).
  void ApplyRandomRemap(const VE_RANDOM_REMAP& set, XB_PALETTE& palette) const;
  // The remap table from `colours` to the screen palette (nearest colours, as XB_REMAP_TABLE builds
  // it) into table256. Dressing a creature does this on the frame path; the search against the screen
  // palette is built once and remembers the colours it has matched (rebuilt if the screen palette
  // changes).
  void MatchScreenColours(const XB_PALETTE& colours, const XB_PALETTE& screen, uint8_t* table256);

  // --- Bob library registry ---
  XB_BOB_MANAGER* GetOrLoadBobLibrary(const char* name);  // null for a null or empty name
  XB_BOB_MANAGER* FindBobLibrary(const char* name) const;
  const char* FindBobLibraryName(const XB_BOB_MANAGER* library) const;
  static bool BobLibraryExists(const char* name);
  uint32_t BobLibraryCount() const;

  // "DATA_V\" + path, or path itself when it has a drive letter. The result lives in one shared
  // buffer that the next call overwrites.
  static const char* MakeDataPath(const char* path);
  // Same as the free ShowWarning of application_services.h.
  static void ShowWarning(const char* format, ...) XB_PRINTF_CHECK(1, 2);

  // --- Members, in the order of the manager's record ---
  uint32_t remapTableCount = 0;
  VE_REMAP_TABLE_ENTRY* remapTables = nullptr;
  uint32_t remapTable16Count = 0;
  VE_REMAP_TABLE16_ENTRY* remapTables16 = nullptr;  // null when the count is 0
  uint32_t animationCount = 0;
  VE_ANIMATION_DESCRIPTION* animations = nullptr;
  uint16_t walkDataCount = 0;
  VE_WALKDATA_DESCRIPTION* walkData = nullptr;
  uint16_t creatureCount = 0;
  VE_CREATURE_DESCRIPTION* creatures = nullptr;
  uint16_t groupCount = 0;
  char (*groupNames)[VE_NAME_SIZE] = nullptr;
  uint16_t masterJobMap[VE_MASTER_JOB_COUNT];  // creature id per MasterJob number, 0xFFFF = none
  uint32_t randomRemapCount = 0;
  VE_RANDOM_REMAP* randomRemaps = nullptr;
  XB_LIST* bobLibraries = nullptr;  // of VE_BOB_LIBRARY_ENTRY

  // True when the last load of each binary cache came from the cache (tests and tools report it).
  bool remapTablesFromCache = false;
  bool animationsFromCache = false;

 private:
  void l_LoadRemapTables();
  bool l_ReadRemapTableCache();
  void l_WriteRemapTableCache();
  void l_LoadAnimationDescriptions();
  bool l_ReadAnimationCache();
  void l_WriteAnimationCache();
  void l_LoadWalkDataDescriptions();
  void l_LoadCreatureDescriptions();
  void l_LoadRandomRemaps();

  void l_ReadAnimationSection(XB_INI_FILE_READER& reader, VE_ANIMATION_DESCRIPTION& animation);
  void l_ReadWalkDataSection(XB_INI_FILE_READER& reader, VE_WALKDATA_DESCRIPTION& walk);
  void l_ReadCreatureSection(XB_INI_FILE_READER& reader, VE_CREATURE_DESCRIPTION& creature, uint16_t id);
  void l_ReadSlotLine(XB_INI_FILE_READER& reader, VE_RANDOM_REMAP& set, uint16_t& filled, const char* owner);
  void l_SetRemapTable16Window(VE_REMAP_TABLE16_ENTRY& entry, bool warn);

  void l_IndexAnimations();

  // Lower-cased animation name -> id of the first description of that name; the walk-data and
  // creature loaders resolve thousands of names against hundreds of descriptions.
  std::unordered_map<std::string, uint16_t> animationIndex_;
  std::unique_ptr<XB_NEAREST_COLOUR_SEARCH> screenSearch_;

  void l_FreeRemapTables();
  void l_FreeAnimations();
  void l_FreeBobLibraries();
  void l_Release();
};

// The process-wide instances: the manager, its animation table (set by the animation loader,
// cleared when the table is freed) and the remap table named "Shadow" (or null).
extern VE_STATIC_DATA_MANAGER* g_staticData;
extern VE_ANIMATION_DESCRIPTION* g_animationTable;
extern XB_REMAP_TABLE* g_shadowTable;

// Creates the manager (loading everything) unless it exists; returns it.
VE_STATIC_DATA_MANAGER* EnsureStaticData();
// Destroys the manager if it exists.
void DestroyStaticData();

// File names of the descriptions, relative to the data directory (pass through MakeDataPath).
constexpr const char* VE_REMAP_TABLES_INI = "ve_graphics\\remaptables\\remaptables.ini";
constexpr const char* VE_REMAP_TABLES_CDF = "ve_graphics\\remaptables\\remaptables.cdf";
constexpr const char* VE_REMAP_TABLES_DIR = "ve_graphics\\remaptables\\";
constexpr const char* VE_ANIMATIONS_INI = "ve_graphics\\creatures\\z_animation_descriptions.ini";
constexpr const char* VE_ANIMATIONS_CDF = "ve_graphics\\creatures\\z_animation_descriptions.cdf";
constexpr const char* VE_WALKDATA_INI = "ve_graphics\\creatures\\z_walkdata_descriptions.ini";
constexpr const char* VE_CREATURES_INI = "ve_graphics\\creatures\\z_creature_descriptions.ini";
constexpr const char* VE_RANDOM_REMAPS_INI = "ve_graphics\\creatures\\x_random_remaps.ini";
constexpr const char* VE_BOB_LIBRARY_FORMAT = "ve_graphics\\bobmanager\\%s.bmd";
