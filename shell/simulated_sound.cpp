#include "shell/simulated_sound.h"

#include "shell/resources/resources.h"

bool SimulatedSoundSink::Playing() {
  // Compared as a signed difference so the sound still ends when the millisecond clock wraps.
  if (playing_ && static_cast<int32_t>(clock_.NowMs() - playingUntil_) >= 0) playing_ = false;
  return playing_;
}

void SimulatedSoundSink::PlayNamedSound(const char* resourceName) {
  if (!resourceName) return;
  ++requested_;
  Outcome outcome = Outcome::Played;
  WaveInfo info;
  const EmbeddedResource* wave = FindEmbeddedResource("WAVE", resourceName);
  if (Playing()) {
    outcome = Outcome::Dropped;
    ++dropped_;
  } else if (!wave || !ReadWaveInfo(wave->data, wave->size, info)) {
    // Like the system's player asked not to fall back to a default sound: silence, no report.
    outcome = Outcome::Missing;
    ++missing_;
  } else {
    ++played_;
    playing_ = true;
    playingUntil_ = clock_.NowMs() + info.durationMs;
    std::string upper = resourceName;
    for (char& c : upper)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    ++playedByName_[upper];
  }
  if (keepLog_) log_.push_back({clock_.NowMs(), resourceName, outcome});
}

void SimulatedSoundSink::StopAll() {
  playing_ = false;
}
