// Fuzzes the object stream: LoadObject over arbitrary bytes with every storable class registered.
// A loaded object is saved again and the copy loaded back, so Save runs on whatever a loader built.
// Fatal errors (a damaged stream) throw here and are caught; crashes, sanitizer reports, leaks and
// huge allocations are the findings.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "base/xb_error.h"
#include "base/xb_file.h"
#include "base/xb_storable.h"
#include "graphics/graphics_storables.h"

namespace {

std::string g_input;
std::string g_copy;

bool WriteInput(const uint8_t* data, size_t size) {
  FILE* f = std::fopen(g_input.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  XB_SetFatalMode(XB_FatalMode::Throw);
  RegisterGraphicsStorables();
  const std::string base = "/tmp/fuzz_object_stream_" + std::to_string(::getpid());
  g_input = base + ".obj";
  g_copy = base + ".copy";
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!WriteInput(data, size)) return 0;
  try {
    std::unique_ptr<XB_STORABLE> object;
    {
      XB_FILE file(g_input.c_str(), true);
      object.reset(LoadObject(file));
    }
    if (object && SaveObjectToFile(*object, g_copy.c_str(), false)) {
      std::unique_ptr<XB_STORABLE> copy(LoadObjectFromFile(g_copy.c_str()));
      if (!copy || copy->GetClassId() != object->GetClassId())
        __builtin_trap();  // a saved object must load back
    }
  } catch (const XB_FATAL_EXCEPTION&) {
  }
  return 0;
}
