#include "tests/common/fatal_test.h"

#include <unistd.h>

#include <cstdio>

namespace tl_test {

void StdoutToStderr() {
  std::fflush(stdout);
  ::dup2(STDERR_FILENO, STDOUT_FILENO);
}

}  // namespace tl_test
