// The saver's sounds through SDL audio: the embedded WAVEs, converted once to the device's format,
// queued on one audio device. A request that arrives while a sound is still queued is dropped, not
// queued behind it (the saver's rule). Without an audio device (no sound card, no server) the sink
// stays silent and never fails the saver. A device lost during the run (a USB headset unplugged, the
// sound server restarted) is closed and opened again at a later cue, so sound comes back.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "scene/saver_application.h"

class SdlSoundSink : public SoundSink {
 public:
  SdlSoundSink() = default;
  ~SdlSoundSink() override;
  SdlSoundSink(const SdlSoundSink&) = delete;
  SdlSoundSink& operator=(const SdlSoundSink&) = delete;

  void PlayNamedSound(const char* resourceName) override;
  // Stops whatever plays (the saver's StopAllSounds).
  void StopAll();
  // A sound is still playing (queued on the device).
  bool Playing() const;

  // The device is opened at the first request; false when there is none (silent).
  bool HasDevice() const { return device_ != 0; }
  uint64_t Played() const { return played_; }
  uint64_t Dropped() const { return dropped_; }
  uint64_t Missing() const { return missing_; }  // no such WAVE, or one SDL cannot read
  uint64_t Silent() const { return silent_; }    // requests while there is no device

 protected:
  // The open device stopped for good (SDL reports it stopped: disconnected).
  virtual bool DeviceLost() const;

 private:
  bool Open();
  void Close();

  uint32_t device_ = 0;
  bool triedOpen_ = false;
  bool subsystemStarted_ = false;
  int frequency_ = 0;
  uint16_t format_ = 0;
  uint8_t channels_ = 0;
  std::map<std::string, std::vector<uint8_t>> converted_;  // by upper-case name; empty: unreadable
  uint64_t played_ = 0, dropped_ = 0, missing_ = 0, silent_ = 0;
  bool lost_ = false;  // a device was lost: opening is tried again, at most every few seconds
  uint32_t retryAtMs_ = 0;
};
