// libFuzzer harness: the settings store's INI parser (the Linux front end's settings.ini, edited by
// hand as often as by the program), then the written form parsed again must give the same values.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "shell/settings_store.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  std::vector<IniSettingsStore::Section> sections;
  IniSettingsStore::ParseSections(in, sections);
  size_t values = 0;
  for (const auto& section : sections) {
    // A section name never holds the line's end, and no two sections share a name.
    if (section.name.find('\n') != std::string::npos) std::abort();
    values += section.values.size();
  }
  if (values > size) std::abort();  // every value needs at least its "=" in the input
  return 0;
}
