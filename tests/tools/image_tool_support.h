// Shared by the toolkit's command tests: runs tillands-assets as a program in a scratch
// directory and captures its output.
#pragma once

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "graphics/graphics_storables.h"
#include "tests/common/build_dirs.h"
#include "tests/common/temp_dir.h"

namespace asset_test {

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

inline const std::string& ToolPath() {
  static const std::string path = tl_test::BinaryDir() + "/tools/tillands-assets";
  return path;
}

// Runs tillands-assets with `args` inside `dir`, capturing both output streams.
inline Result RunTool(const tl_test::TempDir& dir, const std::string& args) {
  const std::string out = dir.File("stdout.txt"), err = dir.File("stderr.txt");
  const std::string command =
      "cd '" + dir.Path().string() + "' && '" + ToolPath() + "' " + args + " >'" + out + "' 2>'" + err + "'";
  Result r;
  const int raw = std::system(command.c_str());
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = dir.ReadText(out);
  r.err = dir.ReadText(err);
  return r;
}

class AssetToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(ToolPath())) GTEST_SKIP() << "tillands-assets not built at " << ToolPath();
    RegisterGraphicsStorables();
    dir.Enter();
  }
  void TearDown() override { dir.Leave(); }

  Result Run(const std::string& args) { return RunTool(dir, args); }

  tl_test::TempDir dir;
};

}  // namespace asset_test
