// tillands-assets ini: show the stored lines of a description and compile it to its .cif cache.
#include <cstdio>
#include <cstring>
#include <string>

#include "base/xb_file.h"
#include "base/xb_ini_file_reader.h"
#include "base/xb_string_array.h"
#include "tools/assets/command.h"
#include "tools/common/text_encoding.h"

namespace {

int RunIni(int argc, char** argv);

const AssetCommand iniCommand{
    "ini", "dump or compile INI descriptions (.ini, .cif)",
    "usage: tillands-assets ini dump FILE [--raw]\n"
    "       tillands-assets ini compile FILE\n"
    "\n"
    "Descriptions are read the way the saver reads them: #include and #define are expanded and every\n"
    "line is brought to its stored form (sections [S], keys [K] with their values re-spaced). A file\n"
    "that is absent is read from its .cif cache; a file that holds a compiled cache is read as one.\n"
    "\n"
    "  dump FILE      print the stored lines, one per line, kind shown as [S] or [K]; the texts'\n"
    "                 Windows-1252 characters are printed as UTF-8 (--raw: the bytes as stored)\n"
    "  compile FILE   parse FILE and write its .cif cache beside it\n"
    "\n"
    "Exit status: 0 success, 1 bad usage or a cache that could not be written, 2 a missing or damaged\n"
    "file.\n",
    &RunIni};

int IniFail(const std::string& message) {
  std::fprintf(stderr, "tillands-assets ini: %s\n", message.c_str());
  return 1;
}

// The stored lines of a reader as the dump prints them.
void PrintLines(const XB_INI_FILE_READER& reader, bool raw) {
  const XB_STORABLE_STRING_ARRAY* lines = reader.GetLines();
  for (uint32_t i = 0; lines && i < lines->Slots(); ++i) {
    const char* s = lines->GetString(i);
    if (!s || !s[0]) continue;
    const char* kind = s[0] == XB_INI_SECTION_LINE ? "[S]" : s[0] == XB_INI_KEY_LINE ? "[K]" : "[?]";
    std::printf("%s %s\n", kind, raw ? s + 1 : Cp1252ToUtf8(s + 1).c_str());
  }
}

int RunIni(int argc, char** argv) {
  bool raw = false;
  if (argc == 4 && std::strcmp(argv[3], "--raw") == 0) raw = true, --argc;
  if (argc != 3) return PrintUsage(iniCommand, 1);
  const std::string action = argv[1];
  const char* file = argv[2];
  if (action != "dump" && action != "compile")
    return IniFail("unknown action '" + action + "' (dump or compile)");
  if (std::strlen(file) >= XB_MAX_PATH) return IniFail("path too long: " + std::string(file));
  if (!XB_FILE::Exists(file) && !XB_FILE::Exists(XB_INI_FILE_READER::MakeCachePath(file).c_str()))
    return IniFail(std::string("no such description: ") + file);

  XB_INI_FILE_READER reader(file, false);
  if (action == "dump") {
    PrintLines(reader, raw);
    return 0;
  }
  if (reader.LoadedFromCache())
    return IniFail(std::string(file) + " is a compiled cache already; nothing to compile");
  if (!reader.SaveCache()) return IniFail("cannot write " + reader.GetCachePath());
  std::printf("%s: %u stored lines -> %s\n", file, reader.GetLines()->Count(), reader.GetCachePath().c_str());
  return 0;
}

}  // namespace
