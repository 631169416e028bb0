// The seam through which the static data reaches the application: the screen palette, sound cues,
// the C-library style random numbers and the warning sink. The saver installs its own callbacks;
// tests and tools install what they need or live with the defaults:
//   palette  -> none (null)
//   sound    -> ignored
//   rand     -> the portable generator below
//   warnings -> one line on standard error (never blocks)
#pragma once

#include <cstdint>
#include <functional>

#include "base/xb_error.h"

class XB_PALETTE;

struct VE_APPLICATION_SERVICES {
  std::function<XB_PALETTE*()> palette;            // the application's screen palette, or null
  std::function<void(const char* name)> soundCue;  // plays a named sound cue
  std::function<int()> rand;                       // 0..32767, like the C library's rand()
  std::function<void(const char* text)> warning;   // shows a warning; must return (the Windows
                                                   // front end shows a modal box, others print)
};

// Replaces the callbacks; empty members fall back to the defaults above.
void SetApplicationServices(const VE_APPLICATION_SERVICES& services);
// Back to the defaults (tests call this in their tear-down).
void ResetApplicationServices();

XB_PALETTE* ApplicationPalette();
void ApplicationSoundCue(const char* name);
int ApplicationRand();

// The one generator behind ApplicationRand. The C library's rand() differs between runtimes, but a
// run must look the same on every build, so we carry our own copy of the Windows C runtime's
// generator (the one the saver was made with): state = state * 214013 + 2531011, result
// (state >> 16) & 0x7FFF. SeedPortableRand is its srand(); the saver seeds it from the millisecond
// clock at window creation, exactly where it seeds its own XB_RANDOM. The initial state is 1, as
// with a runtime whose srand was never called.
void SeedPortableRand(uint32_t seed);
int PortableRand();
// The generator's state, so that several scenes in one process can each keep a stream of their own
// (the saver with a scene per monitor swaps it around each scene's work).
uint32_t PortableRandState();

// Formats into a 1000-byte buffer (longer text is cut) and hands it to the warning sink, then
// returns so the caller can go on with its fallback value.
void ShowWarning(const char* format, ...) XB_PRINTF_CHECK(1, 2);
// Warnings shown since start-up or the last reset (`data check` fails when any was shown).
uint32_t ShownWarningCount();
void ResetShownWarningCount();
// The text of the last warning shown (empty when none).
const char* LastShownWarning();
constexpr int VE_WARNING_BUFFER_SIZE = 1000;
