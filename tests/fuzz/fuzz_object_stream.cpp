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

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  XB_SetFatalMode(XB_FatalMode::Throw);
  RegisterGraphicsStorables();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    std::unique_ptr<XB_STORABLE> object;
    {
      XB_FILE file("fuzz.obj");
      file.OpenMemory(data, size);
      object.reset(LoadObject(file));
    }
    if (object) {
      // Saved and loaded back in memory, as the caches are written.
      XB_FILE saved("copy.obj");
      saved.OpenMemoryForWriting();
      SaveObject(*object, saved);
      saved.Close();
      XB_FILE again("copy.obj");
      again.OpenMemory(saved.MemoryBytes().data(), saved.MemoryBytes().size());
      std::unique_ptr<XB_STORABLE> copy(LoadObject(again));
      if (!copy || copy->GetClassId() != object->GetClassId())
        __builtin_trap();  // a saved object must load back
    }
  } catch (const XB_FATAL_EXCEPTION&) {
  }
  return 0;
}
