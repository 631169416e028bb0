// Test helper: where the tests find the source tree (files checked against the code) and the build
// tree (the built programs, the generated demo world).
#pragma once

#include <string>

namespace tl_test {

// Both are found when the test program runs, not compiled into it: an object file that held a
// checkout's path would differ between two clones, and the compiler cache would miss for each.
// The build directory is the one the running test program lies in (<build>/tests/test_*); the
// source directory is the one that build was configured from (its CMakeCache.txt).
const std::string& BinaryDir();
const std::string& SourceDir();

}  // namespace tl_test
