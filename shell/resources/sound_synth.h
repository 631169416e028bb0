// Synthesis of the program's 22 WAVE sounds. Plain portable C++ without libraries, so that it can run
// as a generator at build time on any host; the result is a complete RIFF/WAVE file per sound.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct WaveSpec {
  const char* name;  // resource name, as PlaySoundCue asks for it
  double seconds;    // play length
  uint32_t rate;     // samples per second
  uint16_t bits;     // 16, or 8 for DUMMY
};

// The table of the program's WAVE resources (mono, uncompressed PCM).
extern const WaveSpec kWaveSpecs[];
extern const size_t kWaveSpecCount;

// Number of samples a sound of the table has: its length times its rate, rounded.
uint32_t WaveSampleCount(const WaveSpec& wave);

// The complete WAVE file of the sound `wave` names: a soft fade in and out frames every sound so that
// playback never clicks. The same table entry always gives the same bytes.
std::vector<uint8_t> SynthesizeWave(const WaveSpec& wave);
