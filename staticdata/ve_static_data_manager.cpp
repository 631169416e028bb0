// VE_STATIC_DATA_MANAGER: construction and release, id lookups, the bob library registry, data paths.
#include "staticdata/ve_static_data_manager.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/xb_file.h"
#include "base/xb_list.h"
#include "base/xb_storable.h"
#include "graphics/xb_bob_manager.h"
#include "graphics/xb_palette.h"
#include "staticdata/application_services.h"
#include "staticdata/ve_name_utils.h"

VE_STATIC_DATA_MANAGER* g_staticData = nullptr;
VE_ANIMATION_DESCRIPTION* g_animationTable = nullptr;
XB_REMAP_TABLE* g_shadowTable = nullptr;

VE_STATIC_DATA_MANAGER::VE_STATIC_DATA_MANAGER() {
  for (uint16_t& entry : masterJobMap) entry = VE_NO_ID;
  bobLibraries = new XB_LIST(false);  // records are released explicitly in l_FreeBobLibraries
  g_staticData = this;
  // A fatal error in a throwing fatal mode (fuzzers, tests) unwinds through here: release what the
  // loaders made so far, so nothing leaks and no process-wide pointer dangles.
  try {
    l_LoadRemapTables();
    l_LoadAnimationDescriptions();
    l_LoadWalkDataDescriptions();
    l_LoadCreatureDescriptions();
    l_LoadRandomRemaps();
  } catch (...) {
    l_Release();
    throw;
  }
}

VE_STATIC_DATA_MANAGER::~VE_STATIC_DATA_MANAGER() {
  l_Release();
}

void VE_STATIC_DATA_MANAGER::l_Release() {
  for (uint32_t i = 0; i < randomRemapCount && randomRemaps; ++i) delete[] randomRemaps[i].slots;
  delete[] randomRemaps;
  randomRemaps = nullptr;
  randomRemapCount = 0;

  for (uint16_t i = 0; i < creatureCount && creatures; ++i) delete[] creatures[i].ownColours.slots;
  delete[] creatures;
  creatures = nullptr;
  creatureCount = 0;
  delete[] groupNames;
  groupNames = nullptr;
  groupCount = 0;

  delete[] walkData;
  walkData = nullptr;
  walkDataCount = 0;

  l_FreeAnimations();
  l_FreeRemapTables();
  l_FreeBobLibraries();
  if (g_staticData == this) g_staticData = nullptr;
}

void VE_STATIC_DATA_MANAGER::l_FreeBobLibraries() {
  if (!bobLibraries) return;
  while (auto* entry = static_cast<VE_BOB_LIBRARY_ENTRY*>(bobLibraries->RemoveHead())) {
    delete entry->library;
    std::free(entry);
  }
  delete bobLibraries;
  bobLibraries = nullptr;
}

VE_STATIC_DATA_MANAGER* EnsureStaticData() {
  if (!g_staticData) new VE_STATIC_DATA_MANAGER();  // registers itself as g_staticData
  return g_staticData;
}

void DestroyStaticData() {
  delete g_staticData;
}

// ---------------------------------------------------------------------------------------------------

const char* VE_STATIC_DATA_MANAGER::MakeDataPath(const char* path) {
  static char buffer[XB_MAX_PATH];
  if (!path) path = "";
  if (path[0] && path[1] == ':')
    ve::CopyName(buffer, path, sizeof(buffer));
  else
    std::snprintf(buffer, sizeof(buffer), "DATA_V\\%s", path);
  return buffer;
}

void VE_STATIC_DATA_MANAGER::ShowWarning(const char* format, ...) {
  char text[VE_WARNING_BUFFER_SIZE];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof(text), format, args);
  va_end(args);
  ::ShowWarning("%s", text);
}

// ---------------------------------------------------------------------------------------------------
// Id lookups

uint16_t VE_STATIC_DATA_MANAGER::GetAnimationDescriptionId(const char* name) const {
  std::string key(name ? name : "");
  for (char& c : key) c = ve::LowerAscii(c);
  auto found = animationIndex_.find(key);
  if (found != animationIndex_.end()) return found->second;
  ShowWarning("VE_STATIC_DATA_MANAGER::GetAnimationDescriptionId: %s not found!", name ? name : "");
  return VE_NO_ID;
}

uint16_t VE_STATIC_DATA_MANAGER::l_GetWalkDataDescriptionId(const char* name) const {
  for (uint16_t i = 0; i < walkDataCount; ++i)
    if (ve::EqualNoCase(walkData[i].name, name ? name : "")) return i;
  ShowWarning("VE_STATIC_DATA_MANAGER::l_GetWalkDataDescriptionId: %s not found!", name ? name : "");
  return VE_NO_ID;
}

uint16_t VE_STATIC_DATA_MANAGER::GetCreatureDescriptionIdByName(const char* name) const {
  for (uint16_t i = 0; i < creatureCount; ++i)
    if (ve::EqualNoCase(creatures[i].name, name ? name : "")) return i;
  ShowWarning("VE_STATIC_DATA_MANAGER::GetCreatureDescriptionIdByName: of name %s not found!",
              name ? name : "");
  return VE_NO_ID;
}

const VE_ANIMATION_DESCRIPTION* VE_STATIC_DATA_MANAGER::GetAnimation(uint16_t id) const {
  return (animations && id < animationCount) ? &animations[id] : nullptr;
}

const VE_WALKDATA_DESCRIPTION* VE_STATIC_DATA_MANAGER::GetWalkData(uint16_t id) const {
  return (walkData && id < walkDataCount) ? &walkData[id] : nullptr;
}

const VE_CREATURE_DESCRIPTION* VE_STATIC_DATA_MANAGER::GetCreature(uint16_t id) const {
  return (creatures && id < creatureCount) ? &creatures[id] : nullptr;
}

// ---------------------------------------------------------------------------------------------------
// Bob library registry

namespace {
// Library names longer than a registry record holds would register under a cut name that no longer
// names their file (and the animation cache would write that cut name); they are refused instead.
bool LibraryNameFits(const char* name) {
  return std::strlen(name) <= VE_NAME_SIZE - 1;
}

std::string LibraryPath(const char* name) {
  char relative[XB_MAX_PATH];
  std::snprintf(relative, sizeof(relative), VE_BOB_LIBRARY_FORMAT, name);
  return VE_STATIC_DATA_MANAGER::MakeDataPath(relative);
}
}  // namespace

XB_BOB_MANAGER* VE_STATIC_DATA_MANAGER::GetOrLoadBobLibrary(const char* name) {
  if (!name || !name[0]) return nullptr;
  if (XB_BOB_MANAGER* library = FindBobLibrary(name)) return library;
  if (!LibraryNameFits(name)) {
    ShowWarning("VE_STATIC_DATA_MANAGER::GetOrLoadBobLibrary: name %s is longer than %d characters", name,
                VE_NAME_SIZE - 1);
    return nullptr;
  }
  std::string path = LibraryPath(name);
  XB_FILE file(path.c_str(), true);  // a missing library is fatal
  XB_BOB_MANAGER* library =
      LoadObjectOfClass<XB_BOB_MANAGER>(file, "VE_STATIC_DATA_MANAGER::GetOrLoadBobLibrary");
  file.Close();
  if (!library) return nullptr;
  auto* entry = static_cast<VE_BOB_LIBRARY_ENTRY*>(std::calloc(1, sizeof(VE_BOB_LIBRARY_ENTRY)));
  if (!entry) {
    delete library;
    return nullptr;
  }
  entry->kind = 1;
  ve::CopyName(entry->name, name, sizeof(entry->name));
  entry->library = library;
  bobLibraries->Append(entry);
  return library;
}

XB_BOB_MANAGER* VE_STATIC_DATA_MANAGER::FindBobLibrary(const char* name) const {
  if (!bobLibraries || !name) return nullptr;
  for (void* e = bobLibraries->First(); e; e = bobLibraries->Next()) {
    auto* entry = static_cast<VE_BOB_LIBRARY_ENTRY*>(e);
    if (ve::EqualNoCase(entry->name, name)) return entry->library;
  }
  return nullptr;
}

const char* VE_STATIC_DATA_MANAGER::FindBobLibraryName(const XB_BOB_MANAGER* library) const {
  if (!bobLibraries || !library) return nullptr;
  for (void* e = bobLibraries->First(); e; e = bobLibraries->Next()) {
    auto* entry = static_cast<VE_BOB_LIBRARY_ENTRY*>(e);
    if (entry->library == library) return entry->name;
  }
  return nullptr;
}

bool VE_STATIC_DATA_MANAGER::BobLibraryExists(const char* name) {
  if (!name || !name[0] || !LibraryNameFits(name)) return false;
  return XB_FILE::Exists(LibraryPath(name).c_str());
}

uint32_t VE_STATIC_DATA_MANAGER::BobLibraryCount() const {
  return bobLibraries ? bobLibraries->Count() : 0;
}
