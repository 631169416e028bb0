// Numbers shared by the resource script and the Win32 front end: the texts the user sees, each in a
// German and an English variant of one string table. Windows picks the variant of the user interface
// language (German for German, English for every other); the registry values and the behaviour are the
// same in both.
#pragma once

// 1 is the saver's name in the desktop's list of screensavers (also the caption of its boxes).
#define IDS_SAVER_NAME 1
#define IDS_SETTINGS_TITLE 2
#define IDS_SETTINGS_CAPTION 3
#define IDS_SETTINGS_SOUND 4
#define IDS_SCALE_LABEL 5
// The scale choices follow in the order of the setting's values (automatic, 1x, 2x, 3x).
#define IDS_SCALE_CHOICE_FIRST 6
#define IDS_MONITORS_LABEL 10
// The monitors choices in the order of the setting's values (each its own scene, one across all).
#define IDS_MONITORS_CHOICE_FIRST 11
#define IDS_MISSING_GAME_PATH 13
