// Fuzzes the compiled INI cache: arbitrary bytes as "fuzz.cif" of an absent "fuzz.ini", then every
// query over the stored lines it yields.
#include <cstdint>
#include <string>

#include "base/xb_ini_file_reader.h"
#include "tests/fuzz/fuzz_static_data_env.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_env::Enter("fuzz_cif");
  if (std::getenv("FUZZ_SEED_DIR")) {
    fuzz_env::WriteText("seed.ini", "[AnimationType]\nName = \"a\", 1\nEvent = 1, 101\n[Other]\nX = -3\n");
    XB_INI_FILE_READER seed("seed.ini", true);
    fuzz_env::ExportSeed("seed.cif", "seed.cif");
  }
  XB_FILE::SetMemoryFilesOnly(true);  // "fuzz.ini" is absent; "fuzz.cif" is the input, in memory
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_env::Serve("fuzz.cif", data, size);
  try {
    XB_INI_FILE_READER reader("fuzz.ini", false);
    for (const char* name : {"AnimationType", "Other", ""}) {
      (void)reader.CountSections(name);
      for (const char* s = reader.FindSection(name); s; s = reader.FindNextSection(name)) {
        (void)reader.CountKeys("Event");
        int keys = 0;
        while (reader.NextKey() && keys++ < 256) {
          char buffer[4];
          while (int type = reader.GetValueType()) {
            if (type == XB_INI_VALUE_STRING) {
              if (!reader.CopyStringValue(buffer, sizeof(buffer))) break;
            } else {
              (void)reader.GetIntValue();
              if (type == XB_INI_VALUE_WORD) break;
            }
          }
        }
        (void)reader.FindKey("Event");
      }
    }
  } catch (const XB_FATAL_EXCEPTION&) {
  }
  return 0;
}
