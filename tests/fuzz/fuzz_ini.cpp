// Fuzzes the INI description parser with arbitrary bytes as "fuzz.ini" (which may include itself or
// "other.ini"), walks every query over the result, and checks that the compiled cache reads back to
// exactly the same stored lines.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/xb_ini_file_reader.h"
#include "base/xb_storable.h"
#include "base/xb_string_array.h"
#include "tests/fuzz/fuzz_static_data_env.h"

namespace {

// The two readers hold the same stored lines (compared in place: copying them out for every input
// would cost more than the parse).
bool SameLines(const XB_INI_FILE_READER& a, const XB_INI_FILE_READER& b) {
  const XB_STORABLE_STRING_ARRAY* x = a.GetLines();
  const XB_STORABLE_STRING_ARRAY* y = b.GetLines();
  if (!x || !y) return x == y;
  if (x->Slots() != y->Slots()) return false;
  for (uint32_t i = 0; i < x->Slots(); ++i) {
    const char* p = x->GetString(i);
    const char* q = y->GetString(i);
    if (!p || !q ? p != q : std::strcmp(p, q) != 0) return false;
  }
  return true;
}

void Walk(XB_INI_FILE_READER& reader) {
  const XB_STORABLE_STRING_ARRAY* lines = reader.GetLines();
  const char* first = lines ? lines->GetString(0) : nullptr;
  std::string section = first && first[0] == XB_INI_SECTION_LINE ? first + 1 : "AnimationType";
  (void)reader.CountSections(section.c_str());
  int sections = 0;
  for (const char* s = reader.FindSection(section.c_str()); s && sections < 64;
       s = reader.FindNextSection(section.c_str()), ++sections) {
    (void)reader.CountKeys("Event");
    int keys = 0;
    while (reader.NextKey() && keys++ < 256) {
      char buffer[8];
      for (int v = 0; v < 16; ++v) {
        int type = reader.GetValueType();
        if (type == XB_INI_VALUE_NONE) break;
        if (type == XB_INI_VALUE_STRING)
          (void)reader.CopyStringValue(buffer, sizeof(buffer));
        else
          (void)reader.GetIntValue();
      }
      (void)reader.GetStringValue();
    }
    (void)reader.FindKey("Name");
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_env::Enter("fuzz_ini");
  static const std::string other = "#define SPEED 6\n[Other]\nSpeed = #SPEED\n";
  fuzz_env::Serve("other.ini", reinterpret_cast<const uint8_t*>(other.data()), other.size());
  XB_FILE::SetMemoryFilesOnly(true);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Everything in memory: the input as fuzz.ini, then its compiled cache as cached.cif of an absent
  // cached.ini.
  fuzz_env::Serve("fuzz.ini", data, size);
  // The registrations end with the run: the next input may name "cached.cif" in an #include, and
  // must then find nothing rather than this run's freed bytes.
  struct Unserve {
    ~Unserve() {
      XB_FILE::AddMemoryFile("cached.cif", nullptr, 0);
      XB_FILE::AddMemoryFile("fuzz.ini", nullptr, 0);
    }
  } unserve;
  try {
    XB_INI_FILE_READER reader("fuzz.ini", false);
    Walk(reader);
    if (reader.LoadedFromCache() || !reader.GetLines()) return 0;  // the input itself was a cache
    XB_FILE cache("cached.cif");
    cache.OpenMemoryForWriting();
    SaveObject(*const_cast<XB_STORABLE_STRING_ARRAY*>(reader.GetLines()), cache);
    cache.Close();
    fuzz_env::Serve("cached.cif", cache.MemoryBytes().data(), cache.MemoryBytes().size());
    XB_INI_FILE_READER cached("cached.ini", false);
    if (!SameLines(reader, cached)) std::abort();  // the cache must hold exactly what was parsed
    Walk(cached);
  } catch (const XB_FATAL_EXCEPTION&) {
  }
  return 0;
}
