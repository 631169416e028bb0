#include "tools/common/output_guard.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

bool OutputIsAnInput(const std::string& output, const std::vector<std::string>& inputs) {
  for (const std::string& input : inputs) {
    std::error_code ec;
    // equivalent() is false (with an error) when either does not exist: a new output is no input.
    if (std::filesystem::equivalent(output, input, ec) && !ec) return true;
  }
  return false;
}

bool RefuseOutputOverInput(const char* tool, const std::string& output,
                           const std::vector<std::string>& inputs) {
  if (!OutputIsAnInput(output, inputs)) return false;
  std::fprintf(stderr, "%s: the output %s is also an input; refusing to overwrite it\n", tool,
               output.c_str());
  return true;
}
