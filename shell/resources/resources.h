// The program's embedded resources: the PALETTE (number 104), the preview bitmap (108), the icons and
// the WAVE sounds. Every front end takes the same bytes from here; the Win32 build also lists them in
// its .rc file, generated from the same sources.
//
// Two tables are searched:
//   - the built-in table of this library (the PALETTE resource of palette_resource.cpp);
//   - the generated table of the demo world (sounds, preview bitmap, icons). It is a separate library,
//     tl_resources_generated, so tools that only need the palette do not depend on the generator.
//     The generated .cpp only fills the table:
//
//         #include "shell/resources/resources.h"
//         const EmbeddedResource kGeneratedResources[] = {{"WAVE", "DUMMY", kDummyWave, sizeof kDummyWave},
//         ...}; const size_t kGeneratedResourceCount = sizeof kGeneratedResources / sizeof
//         kGeneratedResources[0];
//
//     and is handed to CMake with tl_add_generated_resources(<file.cpp> [DEPENDS ...]) (defined in
//     shell/resources/CMakeLists.txt). Without it an empty table is linked. A front end that links
//     tl_resources_generated calls RegisterGeneratedResources() once at start.
//
// Further tables (synthetic sounds in tests) can be added with RegisterEmbeddedResources.
//
// Names: numbered resources are spelt "#104" (the form LoadResourceByNumber builds); named ones as
// stored ("DUMMY", "TREEFALLING"). Types and names are compared without regard to case.
//
// The lookup is not called FindResource: windows.h defines that name as a macro, which would rename
// the function in the Win32 front end only.
#pragma once

#include <cstddef>
#include <cstdint>

struct EmbeddedResource {
  const char* type;  // "PALETTE", "WAVE", "BITMAP", "ICON"
  const char* name;  // "#104", "DUMMY", ...
  const uint8_t* data;
  size_t size;
};

// The resource of that type and name, or null. Later registered tables are searched first, so a test
// can shadow a built-in resource; the built-in table comes last.
const EmbeddedResource* FindEmbeddedResource(const char* type, const char* name);

// Formats the number as "#%d" and returns the resource's bytes, or null when it is missing.
const uint8_t* LoadResourceByNumber(int number, const char* typeName);

// Adds a table to the lookup (not copied: it must outlive its registration). Registering the same
// table twice has no further effect. At most kMaxResourceTables tables; false when full or null.
constexpr int kMaxResourceTables = 8;
bool RegisterEmbeddedResources(const EmbeddedResource* table, size_t count);
// Removes a table registered earlier (tests that register synthetic tables clean up with it).
void UnregisterEmbeddedResources(const EmbeddedResource* table);

// The generated table (tl_resources_generated). Defined by the generated source, or empty.
extern const EmbeddedResource kGeneratedResources[];
extern const size_t kGeneratedResourceCount;
// Registers the generated table; only front ends that link tl_resources_generated call it.
void RegisterGeneratedResources();

// Facts about an uncompressed PCM WAVE file, read from its RIFF header.
struct WaveInfo {
  uint16_t channels = 0;
  uint32_t sampleRate = 0;
  uint16_t bitsPerSample = 0;
  uint32_t dataBytes = 0;
  // Play length in milliseconds, rounded up (a sound that plays at all lasts at least 1 ms).
  uint32_t durationMs = 0;
};
// False when the bytes are not a RIFF/WAVE file with a "fmt " and a "data" chunk; a data chunk that
// claims more bytes than there are counts only the bytes present.
bool ReadWaveInfo(const uint8_t* data, size_t size, WaveInfo& info);
