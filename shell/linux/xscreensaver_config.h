// `tillands --add-to-xscreensaver`: XScreenSaver shows a hack only when its command is in the user's
// "programs:" list in ~/.xscreensaver; installing the hack's .xml does not put it there. The list is a
// resource continued over lines ending in a backslash, each entry ending in "\n".
#pragma once

#include <string>

// The entry we add (appended, so the index in "selected:" keeps naming the user's hack).
extern const char* const kXScreenSaverEntry;  // "tillands --root"

// Our entry in a programs list: missing, there and run, or there but switched off (a "-" in front,
// as the settings window writes it when the user unticks a hack).
enum class XScreenSaverEntry { Absent, Enabled, Disabled };
XScreenSaverEntry FindTillandsInXScreenSaverConfig(const std::string& config);
// True when the programs list of `config` runs tillands (an entry that is not switched off).
bool XScreenSaverConfigHasTillands(const std::string& config);
// `config` with our entry appended to its programs list (a new list at the end when there is none),
// or switched on again when it is there but off. `defaults`: the system's list ("*programs:" of the
// app-defaults file), used when the file has no list of its own, so that adding ours does not hide
// every other hack. Unchanged when it runs already.
std::string AddTillandsToXScreenSaverConfig(const std::string& config, const std::string& defaults);
// `config` without any entry of ours (on or off); everything else kept.
std::string RemoveTillandsFromXScreenSaverConfig(const std::string& config);

// The system's XScreenSaver defaults in the distribution's place (Debian's /etc/X11/app-defaults, or
// /usr/share/X11/app-defaults elsewhere); empty when none is found.
std::string FindXScreenSaverDefaults();

// Edits the file safely: everything else kept, written to a temporary file beside it and renamed over
// it (a symbolic link is followed, so the link stays). Returns 0 when added, 1 when it was already
// there (nothing written), 2 when it was there switched off and is now on, -1 on failure with `error`.
int AddTillandsToXScreenSaverFile(const std::string& path, const std::string& defaultsPath,
                                  std::string& error);
// Returns 0 when removed, 1 when there was nothing to remove (nothing written), -1 on failure.
int RemoveTillandsFromXScreenSaverFile(const std::string& path, std::string& error);
