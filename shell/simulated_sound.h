// A sound sink that plays nothing but keeps exact account: it looks the WAVE resource up, treats it
// as playing for the sound's length on the saver's clock, and drops every request that arrives while
// a sound is playing — the same rule as the system's asynchronous "no stop" playback, but
// deterministic, so headless runs and tests give the same drops every time.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "scene/saver_application.h"

class SimulatedSoundSink final : public SoundSink {
 public:
  enum class Outcome { Played, Dropped, Missing };
  struct Request {
    uint32_t timeMs;
    std::string name;
    Outcome outcome;
  };

  // The clock is not owned. keepLog: remember every request (tests); counters are always kept.
  explicit SimulatedSoundSink(SaverClock& clock, bool keepLog = false) : clock_(clock), keepLog_(keepLog) {}

  void PlayNamedSound(const char* resourceName) override;
  // Stops whatever is playing (StopAllSounds); nothing when silent.
  void StopAll();
  bool Playing();

  uint64_t Requested() const { return requested_; }
  uint64_t Played() const { return played_; }
  uint64_t Dropped() const { return dropped_; }
  uint64_t Missing() const { return missing_; }
  // Plays per resource name (upper case), for summaries.
  const std::map<std::string, uint64_t>& PlayedByName() const { return playedByName_; }
  const std::vector<Request>& Log() const { return log_; }

 private:
  SaverClock& clock_;
  bool keepLog_;
  bool playing_ = false;
  uint32_t playingUntil_ = 0;
  uint64_t requested_ = 0, played_ = 0, dropped_ = 0, missing_ = 0;
  std::map<std::string, uint64_t> playedByName_;
  std::vector<Request> log_;
};
