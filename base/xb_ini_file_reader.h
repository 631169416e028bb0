// XB_INI_FILE_READER: reads an INI-style description at once into a list of normalised stored lines
// (expanding #include and #define) and answers section, key and value queries by walking that list.
// The stored lines can be written as a compiled cache (".cif", a framed string array) beside the text;
// a description whose text is absent is read from its cache alone, and a file that itself holds a
// compiled string array is read as a cache.
//
// A stored line is its kind byte (1 section, 2 key) followed by text: "[Creature Type]" is stored as
// 1 "Creature Type", `Animation = "A", 1000, 3` as 2 `Animation "A" 1000 3`.
//
// Typical loader:
//   XB_INI_FILE_READER reader(path, true);
//   n = reader.CountSections("AnimationType");
//   for (s = reader.FindSection("AnimationType"); s; s = reader.FindNextSection("AnimationType"))
//     while (reader.NextKey()) switch on reader.GetKeyName(), read values in order
//   reader.Close();
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/xb_file.h"

class XB_LIST;
class XB_STORABLE_STRING_ARRAY;

enum : uint8_t {
  XB_INI_SECTION_LINE = 1,
  XB_INI_KEY_LINE = 2,
};

// Value kinds reported by GetValueType.
enum : int {
  XB_INI_VALUE_NONE = 0,
  XB_INI_VALUE_WORD = 1,
  XB_INI_VALUE_STRING = 2,
  XB_INI_VALUE_NUMBER = 3,
};

constexpr int XB_INI_LINE_SIZE = 1024;         // line text, key name and value buffers
constexpr int XB_INI_MAX_INPUT_LINE = 1022;    // bytes of one input line that are used
constexpr int XB_INI_DEFINE_FIELD_SIZE = 100;  // define name and value: 99 characters and a NUL
// #include nesting beyond this depth is taken as runaway recursion (a fatal error), as is a file
// that includes itself directly or through others.
constexpr int XB_INI_MAX_INCLUDE_DEPTH = 32;

// One #define: 200 bytes, both fields NUL-terminated; the value keeps its quotes.
struct XB_INI_DEFINE {
  char name[XB_INI_DEFINE_FIELD_SIZE];
  char value[XB_INI_DEFINE_FIELD_SIZE];
};
static_assert(sizeof(XB_INI_DEFINE) == 200);

class XB_INI_FILE_READER {
 public:
  // Opens the description and builds the stored lines; writes the .cif cache when writeCache is set
  // (a cache that cannot be written is skipped silently). A missing text file with a missing cache,
  // and a missing included file, are fatal errors.
  XB_INI_FILE_READER(const char* path, bool writeCache);
  ~XB_INI_FILE_READER();
  XB_INI_FILE_READER(const XB_INI_FILE_READER&) = delete;
  XB_INI_FILE_READER& operator=(const XB_INI_FILE_READER&) = delete;

  // Deletes the stored lines; every query afterwards finds nothing.
  void Close();

  const char* FindSection(const char* name);
  bool HasSection(const char* name) { return FindSection(name) != nullptr; }
  const char* FindNextSection(const char* name);
  const char* NextKey();
  bool FindKey(const char* name);
  uint32_t CountSections(const char* name) const;
  uint32_t CountKeys(const char* name) const;
  const char* GetStringValue();
  bool CopyStringValue(char* buffer, uint32_t size);
  int32_t GetIntValue();
  int GetValueType();

  // The current line's text (without the kind byte), its key name and kind.
  const char* GetLineText() const { return lineText_; }
  const char* GetKeyName() const { return keyName_; }
  uint32_t GetCurrentKind() const { return currentKind_; }

  // The stored lines themselves (tools dump them); null after Close.
  const XB_STORABLE_STRING_ARRAY* GetLines() const { return lines_.get(); }
  // The cache path that belongs to a description path: its extension replaced by ".cif" (drive,
  // directory and file name kept; ".cif" is appended when the name has no extension).
  static std::string MakeCachePath(const char* path);
  // Writes the stored lines as the compiled cache beside the text (the path construction derived);
  // false when there is nothing to write or the file cannot be created.
  bool SaveCache();
  const std::string& GetCachePath() const { return cachePath_; }
  // True when the stored lines came from a compiled cache rather than from text.
  bool LoadedFromCache() const { return fromCache_; }

 private:
  void L_DoLoadIniFile(const char* path, XB_LIST* defines);
  void L_ParseLine(const char* path, const char* line, XB_LIST* defines);
  void L_ParseDefine(const char* line, XB_LIST* defines);
  void L_ParseKey(const char* path, const char* line, XB_LIST* defines);
  void L_AddLine(const char* line);
  void L_LoadCache(const char* cachePath);
  bool L_Advance();
  void L_ReadLine();
  uint32_t L_LineCount() const;
  const char* L_FindSectionFrom(const char* name, uint32_t first);

  // The text buffers are only ever read up to their NUL, so they are not cleared on construction
  // (4 KB a reader; loaders and fuzzers make many).
  char path_[XB_MAX_PATH];
  std::string cachePath_;
  std::unique_ptr<XB_STORABLE_STRING_ARRAY> lines_;
  uint32_t currentLine_ = 0;
  uint32_t currentKind_ = 0;
  uint32_t currentSection_ = 0;
  uint32_t cursor_ = 0;  // index into lineText_
  char lineText_[XB_INI_LINE_SIZE];
  char keyName_[XB_INI_LINE_SIZE];
  char valueText_[XB_INI_LINE_SIZE];

  // Parsing state of one construction.
  std::vector<std::string> includeStack_;  // lower-cased paths of the files being parsed
  bool linesFull_ = false;                 // the string array refused a line: stop adding
  bool fromCache_ = false;
};
