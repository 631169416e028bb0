#include "shell/settings.h"

#include "display/display_scale.h"

const char* const kSettingsDialogTitle = "Tillands Bildschirmschoner Einstellungen";
const char* const kSettingsDialogCaption = "Mindestanzahl Animationen";
const char* const kSettingsDialogSoundBox = "&Ger\xE4usche";
const char* const kSettingsDialogScaleLabel =
    "Vergr\xF6\xDF"
    "erung";
const char* const kSettingsDialogScaleChoices[4] = {"Automatisch", "1\xD7", "2\xD7", "3\xD7"};
const char* const kSettingsDialogMonitorsLabel = "Monitore";
const char* const kSettingsDialogMonitorsChoices[2] = {"Jeder eine eigene Szene",
                                                       "Eine Szene \xFC"
                                                       "ber alle"};

uint16_t ClampNumAnimations(uint32_t value) {
  uint16_t n = static_cast<uint16_t>(value & 0xFFFFu);
  if (n < kMinNumAnimations) n = kMinNumAnimations;
  if (n > kMaxNumAnimations) n = kMaxNumAnimations;
  return n;
}

void LoadSettings(SaverSettings& settings, SettingsStore& store) {
  settings.frameRate = kDefaultFrameRate;
  settings.numAnimations = kDefaultNumAnimations;
  std::unique_ptr<SettingsKey> key = store.OpenKey(SettingsHive::CurrentUser, kSettingsKeyPath);
  if (!key) return;
  uint32_t value = 0;
  if (ReadSettingsNumber(*key, "FrameRate", value))
    settings.frameRate = static_cast<uint16_t>(value & 0xFFFFu);
  value = 0;
  if (ReadSettingsNumber(*key, "Num Animations", value)) settings.numAnimations = ClampNumAnimations(value);
  value = 0;
  bool haveSound = ReadSettingsNumber(*key, "Sound", value);
  settings.soundOn = (!haveSound || value != 0) ? 1 : 0;
  value = 0;
  settings.scale = (ReadSettingsNumber(*key, "Scale", value) && value <= kMaxFixedScale) ? uint8_t(value) : 0;
  value = 0;
  settings.monitors =
      (ReadSettingsNumber(*key, "Monitors", value) && value == kMonitorsSpan) ? kMonitorsSpan : kMonitorsEach;
}

namespace {
void WriteAll(const SaverSettings& settings, SettingsStore& store, SettingsHive hive, const char* path,
              bool withScale) {
  std::unique_ptr<SettingsKey> key = store.CreateKey(hive, path);
  if (!key) return;
  key->WriteNumber("FrameRate", settings.frameRate);
  key->WriteNumber("Num Animations", settings.numAnimations);
  key->WriteNumber("Sound", settings.soundOn ? 1u : 0u);
  if (withScale) {
    key->WriteNumber("Scale", settings.scale);
    key->WriteNumber("Monitors", settings.monitors);
  }
}
}  // namespace

void SaveSettings(const SaverSettings& settings, SettingsStore& store, bool withScale) {
  WriteAll(settings, store, SettingsHive::CurrentUser, kSettingsKeyPath, withScale);
  WriteAll(settings, store, SettingsHive::Users, kDefaultUserSettingsKeyPath, withScale);
}

uint32_t FrameTimerPeriodMs(uint16_t frameRate) {
  if (frameRate == 0) frameRate = kDefaultFrameRate;
  return 1000u / frameRate;
}

SettingsDialogInit SettingsDialogInitValues(const SaverSettings& settings) {
  SettingsDialogInit init{};
  init.title = kSettingsDialogTitle;
  init.captionText = kSettingsDialogCaption;
  init.soundBoxText = kSettingsDialogSoundBox;
  init.trackbarMin = kMinNumAnimations;
  init.trackbarMax = kMaxNumAnimations;
  init.tickFrequency = 10;
  init.trackbarPosition = settings.numAnimations;
  init.soundChecked = settings.soundOn != 0;
  return init;
}

int SettingsDialogOk(SaverSettings& settings, uint32_t trackbarPosition, bool soundChecked,
                     SettingsStore& store) {
  settings.numAnimations = ClampNumAnimations(trackbarPosition);
  settings.soundOn = soundChecked ? 1 : 0;
  SaveSettings(settings, store);
  return kDialogIdOk;
}

int SettingsDialogOk(SaverSettings& settings, uint32_t trackbarPosition, bool soundChecked,
                     uint32_t scaleChoice, uint32_t monitorsChoice, SettingsStore& store) {
  settings.numAnimations = ClampNumAnimations(trackbarPosition);
  settings.soundOn = soundChecked ? 1 : 0;
  settings.scale = scaleChoice <= kMaxFixedScale ? uint8_t(scaleChoice) : 0;
  settings.monitors = monitorsChoice == kMonitorsSpan ? kMonitorsSpan : kMonitorsEach;
  SaveSettings(settings, store, true);
  return kDialogIdOk;
}

int SettingsDialogCancel() {
  return kDialogIdCancel;
}
