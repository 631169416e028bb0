// Reading a binary cache that may be damaged. A cache is only a faster copy of its description: one
// that fails its checks (cut short by a crash, corrupted on disk, written by a broken version) must
// not keep the saver from starting. It is reported as a warning and the description is read instead,
// which also writes a fresh cache; only when there is no description to fall back on is it fatal.
#pragma once

#include <string>

#include "base/xb_error.h"
#include "base/xb_file.h"
#include "staticdata/application_services.h"

namespace ve {

// `read` loads the cache (true) or finds none (false); `discard` frees what a failed read left.
template <typename Read, typename Discard>
bool ReadCacheOrFallBack(const std::string& textPath, Read read, Discard discard) {
  const XB_FatalMode mode = XB_GetFatalMode();
  XB_SetFatalMode(XB_FatalMode::Throw);
  try {
    const bool loaded = read();
    XB_SetFatalMode(mode);
    return loaded;
  } catch (const XB_FATAL_EXCEPTION& damaged) {
    XB_SetFatalMode(mode);
    discard();
    if (!XB_FILE::Exists(textPath.c_str())) XB_FatalError("%s", damaged.what());
    ShowWarning("%s - rebuilt from the description", damaged.what());
    return false;
  }
}

}  // namespace ve
