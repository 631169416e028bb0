// The project's version ("MAJOR.MINOR.PATCH"). It is set once, in the top CMakeLists.txt, and every
// artefact carries the same number: the programs' --version, the Windows version resources, the MSI,
// the Debian package and the web page.
#pragma once

extern const char* const kTillandsVersion;
