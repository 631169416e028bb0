// libFuzzer harness: the WAVE header reader of the program resources (RIFF chunks, "fmt ", "data"),
// with the facts it returns checked against the bytes it was given.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "shell/resources/resources.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WaveInfo info;
  if (!ReadWaveInfo(data, size, info)) return 0;
  // The data chunk never claims more than the input holds.
  if (info.dataBytes > size) std::abort();
  if (info.dataBytes > 0 && info.durationMs == 0 && info.sampleRate && info.channels && info.bitsPerSample)
    std::abort();
  return 0;
}
