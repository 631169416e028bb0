// The saver's three settings and the logic of its settings dialog, over a SettingsStore.
//
// Loading: frame rate 12 and 30 animations unless the key says otherwise; "Num Animations" is kept in
// 10..100; sound is on unless "Sound" is stored as 0 — but stays off when the key does not exist at
// all. Saving writes the values under the current user and then, regardless of how that went, under
// the default user. Besides the three original values we keep "Scale" (0 automatic, 1..3 fixed): the
// integer enlargement for large screens; values above 3 read as automatic.
#pragma once

#include <cstdint>

#include "shell/settings_store.h"

struct SaverApplication;

constexpr uint16_t kDefaultFrameRate = 12;
constexpr uint16_t kDefaultNumAnimations = 30;
constexpr uint16_t kMinNumAnimations = 10;
constexpr uint16_t kMaxNumAnimations = 100;

struct SaverSettings {
  uint16_t frameRate = 0;
  uint16_t numAnimations = 0;
  uint8_t soundOn = 0;
  // "Scale" (not one of the saver's original values, so a missing value means automatic, 0).
  uint8_t scale = 0;
  // "Monitors" (ours too): kMonitorsEach (0, also when missing or unknown) gives every monitor a scene of
  // its own; kMonitorsSpan (1) keeps one scene over the bounding box of all monitors.
  uint8_t monitors = 0;
};

constexpr uint8_t kMonitorsEach = 0;
constexpr uint8_t kMonitorsSpan = 1;

// `settings.soundOn` keeps its value when the key is missing (the saver starts with 0).
void LoadSettings(SaverSettings& settings, SettingsStore& store);
// withScale: also our own values "Scale" and "Monitors" (a dialog that has our controls); the three
// original values alone otherwise.
void SaveSettings(const SaverSettings& settings, SettingsStore& store, bool withScale = false);
uint16_t ClampNumAnimations(uint32_t value);

// The same over the application record's frameRate, numAnimations and soundOn.
void LoadSettings(SaverApplication& application, SettingsStore& store);
void SaveSettings(SaverApplication& application, SettingsStore& store);

// The frame timer's period: 1000 / frameRate in integer division (12 frames per second give 83 ms).
// A frame rate of 0 would divide by zero; it is treated as the default rate. Rates above 1000 give 0:
// the front end then runs ticks as fast as its timer allows (at least 1 ms apart on Windows).
uint32_t FrameTimerPeriodMs(uint16_t frameRate);

// ---------------------------------------------------------------------------------------------------
// The settings dialog (resource 101) as data and decisions; the Win32 front end turns them into
// control calls.

constexpr int kDialogIdOk = 1;
constexpr int kDialogIdCancel = 2;
constexpr int kDialogIdTrackbar = 1002;
constexpr int kDialogIdSoundBox = 1032;
constexpr int kDialogIdCaption = 1004;

extern const char* const kSettingsDialogTitle;     // "Tillands Bildschirmschoner Einstellungen"
extern const char* const kSettingsDialogCaption;   // "Mindestanzahl Animationen"
extern const char* const kSettingsDialogSoundBox;  // "&Geräusche", Windows-1252 (ä is 0xE4)

struct SettingsDialogInit {
  const char* title;
  const char* captionText;
  const char* soundBoxText;
  uint16_t trackbarMin;
  uint16_t trackbarMax;
  uint16_t tickFrequency;
  uint16_t trackbarPosition;
  bool soundChecked;
};

// What WM_INITDIALOG sets up from the loaded settings.
SettingsDialogInit SettingsDialogInitValues(const SaverSettings& settings);
// OK: the trackbar position is taken as an unsigned 16-bit number and clamped to 10..100; sound is
// the check box; all three values are saved. Returns the dialog's result 1.
int SettingsDialogOk(SaverSettings& settings, uint32_t trackbarPosition, bool soundChecked,
                     SettingsStore& store);
// The same with the choices of our extra controls: scale (0 automatic, 1..3) and monitors (0 each, 1 span).
int SettingsDialogOk(SaverSettings& settings, uint32_t trackbarPosition, bool soundChecked,
                     uint32_t scaleChoice, uint32_t monitorsChoice, SettingsStore& store);

// The scale control: a drop-down list below the sound box, entries in this order (index = setting).
constexpr int kDialogIdScaleLabel = 1040;
constexpr int kDialogIdScaleList = 1041;
extern const char* const kSettingsDialogScaleLabel;       // "Vergr\xF6\xDFerung" (Windows-1252)
extern const char* const kSettingsDialogScaleChoices[4];  // automatic, 1x, 2x, 3x
// The monitors control: a drop-down list below the scale list (index = setting).
constexpr int kDialogIdMonitorsLabel = 1042;
constexpr int kDialogIdMonitorsList = 1043;
extern const char* const kSettingsDialogMonitorsLabel;       // "Monitore"
extern const char* const kSettingsDialogMonitorsChoices[2];  // each its own scene, one scene across all
// Cancel: nothing is saved and nothing changes. Returns the dialog's result 2.
int SettingsDialogCancel();
