// `tillands --add-to-xscreensaver`: XScreenSaver shows a hack only when its command is in the user's
// "programs:" list in ~/.xscreensaver; installing the hack's .xml does not put it there. The list is a
// resource continued over lines ending in a backslash, each entry ending in "\n".
#pragma once

#include <string>

// The entry we add (appended, so the index in "selected:" keeps naming the user's hack).
extern const char* const kXScreenSaverEntry;  // "tillands --root"

// True when the programs list of `config` already runs tillands.
bool XScreenSaverConfigHasTillands(const std::string& config);
// `config` with our entry appended to its programs list (a new list at the end when there is none).
// `defaults`: the system's list ("*programs:" of the app-defaults file), used when the file has no
// list of its own, so that adding ours does not hide every other hack. Unchanged when already there.
std::string AddTillandsToXScreenSaverConfig(const std::string& config, const std::string& defaults);

// Edits the file safely: everything else kept, written to a temporary file beside it and renamed over
// it (a symbolic link is followed, so the link stays). Returns 0 when added, 1 when it was already
// there (nothing written), -1 on failure with `error` set.
int AddTillandsToXScreenSaverFile(const std::string& path, const std::string& defaultsPath,
                                  std::string& error);
