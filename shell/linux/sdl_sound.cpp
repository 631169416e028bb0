#include "shell/linux/sdl_sound.h"

#include <SDL.h>

#include <cstring>

#include "shell/resources/resources.h"

SdlSoundSink::~SdlSoundSink() {
  if (device_) SDL_CloseAudioDevice(device_);
  if (subsystemStarted_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool SdlSoundSink::DeviceLost() const {
  return device_ != 0 && SDL_GetAudioDeviceStatus(device_) == SDL_AUDIO_STOPPED;
}

void SdlSoundSink::Close() {
  if (device_) SDL_CloseAudioDevice(device_);
  device_ = 0;
  converted_.clear();  // the next device may want another format
}

bool SdlSoundSink::Open() {
  if (triedOpen_ && !device_ && lost_ && static_cast<int32_t>(SDL_GetTicks() - retryAtMs_) >= 0)
    triedOpen_ = false;  // after a loss, try again now and then
  if (triedOpen_) return device_ != 0;
  triedOpen_ = true;
  // The program handles SIGTERM and SIGINT itself (an XScreenSaver hack must end promptly on them).
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (!subsystemStarted_) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    subsystemStarted_ = true;
  }
  SDL_AudioSpec want{}, have{};
  want.freq = 22050;
  want.format = AUDIO_S16SYS;
  want.channels = 1;
  want.samples = 1024;
  device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, SDL_AUDIO_ALLOW_ANY_CHANGE);
  if (device_ == 0) {
    retryAtMs_ = SDL_GetTicks() + 3000;
    return false;
  }
  frequency_ = have.freq;
  format_ = have.format;
  channels_ = have.channels;
  SDL_PauseAudioDevice(device_, 0);
  return true;
}

bool SdlSoundSink::Playing() const {
  return device_ != 0 && SDL_GetQueuedAudioSize(device_) > 0;
}

void SdlSoundSink::PlayNamedSound(const char* resourceName) {
  if (!resourceName) return;
  if (DeviceLost()) {
    // Its queue never drains: without this every later cue would be dropped as "still playing".
    Close();
    lost_ = true;
    triedOpen_ = false;
  }
  if (!Open()) {
    ++silent_;
    return;
  }
  if (Playing()) {
    ++dropped_;
    return;
  }
  std::string key = resourceName;
  for (char& c : key)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  auto it = converted_.find(key);
  if (it == converted_.end()) {
    std::vector<uint8_t> samples;
    const EmbeddedResource* wave = FindEmbeddedResource("WAVE", resourceName);
    SDL_AudioSpec waveFormat{};
    Uint8* buffer = nullptr;
    Uint32 length = 0;
    if (wave && wave->size <= 0x7FFFFFFF &&
        SDL_LoadWAV_RW(SDL_RWFromConstMem(wave->data, static_cast<int>(wave->size)), 1, &waveFormat, &buffer,
                       &length)) {
      SDL_AudioCVT cvt;
      if (SDL_BuildAudioCVT(&cvt, waveFormat.format, waveFormat.channels, waveFormat.freq, format_, channels_,
                            frequency_) >= 0) {
        samples.resize(size_t(length) * (cvt.len_mult > 0 ? cvt.len_mult : 1));
        std::memcpy(samples.data(), buffer, length);
        cvt.buf = samples.data();
        cvt.len = static_cast<int>(length);
        if (cvt.needed && SDL_ConvertAudio(&cvt) != 0)
          samples.clear();
        else
          samples.resize(cvt.needed ? size_t(cvt.len_cvt) : length);
      }
      SDL_FreeWAV(buffer);
    }
    it = converted_.emplace(key, std::move(samples)).first;
  }
  if (it->second.empty()) {
    ++missing_;
    return;
  }
  if (SDL_QueueAudio(device_, it->second.data(), static_cast<Uint32>(it->second.size())) == 0)
    ++played_;
  else
    ++missing_;
}

void SdlSoundSink::StopAll() {
  if (device_) SDL_ClearQueuedAudio(device_);
}
