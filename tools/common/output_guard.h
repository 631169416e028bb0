// A tool must never write its output over one of its own inputs (`frame-sheet a.png b.png` once
// replaced a.png with a sheet of b.png).
#pragma once

#include <string>
#include <vector>

// True when `output` is the same existing file as one of `inputs`, however either is spelled (links,
// "./", different relative paths).
bool OutputIsAnInput(const std::string& output, const std::vector<std::string>& inputs);

// Prints "<tool>: the output <output> is also an input; refusing to overwrite it" to standard
// error and returns true when OutputIsAnInput; false (silent) otherwise.
bool RefuseOutputOverInput(const char* tool, const std::string& output,
                           const std::vector<std::string>& inputs);
