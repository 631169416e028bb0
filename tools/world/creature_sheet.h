// Contact sheets of the creatures: every animation of every creature library in every direction it is
// drawn in, one row of frames each, with heads, hair and headwear laid over the body as the saver
// draws them and dressed in a few different colour sets, so a watcher's eye can judge the art.
#pragma once

#include <string>
#include <vector>

namespace tlworld {

struct CreatureSheetOptions {
  int scale = 1;  // every pixel drawn as scale x scale
};

// Writes "creatures-<library>.png" for every creature library into `dir` (which must exist) and
// returns the names written in `written`. False with `error` set when a file cannot be written.
bool WriteCreatureSheets(const std::string& dir, const CreatureSheetOptions& options,
                         std::vector<std::string>* written, std::string* error);

}  // namespace tlworld
