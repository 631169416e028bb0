// The application seam of the static data: palette, sound cues, random numbers and warnings.
#include "staticdata/application_services.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

VE_APPLICATION_SERVICES g_services;

uint32_t g_randState = 1;  // a runtime whose srand() was never called starts from 1

uint32_t g_warningCount = 0;
char g_lastWarning[VE_WARNING_BUFFER_SIZE] = {};

}  // namespace

void SetApplicationServices(const VE_APPLICATION_SERVICES& services) {
  g_services = services;
}

void ResetApplicationServices() {
  g_services = VE_APPLICATION_SERVICES{};
}

XB_PALETTE* ApplicationPalette() {
  return g_services.palette ? g_services.palette() : nullptr;
}

void ApplicationSoundCue(const char* name) {
  if (g_services.soundCue && name) g_services.soundCue(name);
}

int ApplicationRand() {
  return g_services.rand ? g_services.rand() : PortableRand();
}

void SeedPortableRand(uint32_t seed) {
  g_randState = seed;
}

uint32_t PortableRandState() {
  return g_randState;
}

int PortableRand() {
  g_randState = g_randState * 214013u + 2531011u;
  return static_cast<int>((g_randState >> 16) & 0x7FFF);
}

void ShowWarning(const char* format, ...) {
  char text[VE_WARNING_BUFFER_SIZE];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof(text), format, args);
  va_end(args);
  ++g_warningCount;
  std::memcpy(g_lastWarning, text, sizeof(text));
  if (g_services.warning) {
    g_services.warning(text);
  } else {
    std::fprintf(stderr, "Warning! %s\n", text);
    std::fflush(stderr);
  }
}

uint32_t ShownWarningCount() {
  return g_warningCount;
}

void ResetShownWarningCount() {
  g_warningCount = 0;
  g_lastWarning[0] = 0;
}

const char* LastShownWarning() {
  return g_lastWarning;
}
