#include "tests/common/build_dirs.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace tl_test {

namespace {

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "tests: %s\n", what.c_str());
  std::abort();
}

}  // namespace

const std::string& BinaryDir() {
  static const std::string dir = [] {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) Fail("cannot find the test program's own path (/proc/self/exe): " + ec.message());
    // <build>/tests/test_<suite>
    const std::filesystem::path build = self.parent_path().parent_path();
    if (!std::filesystem::exists(build / "CMakeCache.txt"))
      Fail("the test program " + self.string() + " does not lie in <build directory>/tests");
    return build.string();
  }();
  return dir;
}

const std::string& SourceDir() {
  static const std::string dir = [] {
    const std::string cache = BinaryDir() + "/CMakeCache.txt";
    std::ifstream in(cache);
    const std::string key = "CMAKE_HOME_DIRECTORY:INTERNAL=";
    for (std::string line; std::getline(in, line);)
      if (line.compare(0, key.size(), key) == 0) return line.substr(key.size());
    Fail("no " + key + " line in " + cache);
  }();
  return dir;
}

}  // namespace tl_test
