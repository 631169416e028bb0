// The Windows screensaver command line and what the program does with it.
//
//   "/s", "-S", "s..."      run the saver             "/c", "/c:1234", "" or none   configure
//   "/p 1234"               preview in window 1234     "/a"                          change password
//   anything else           end at once, silently
//
// Only the first letter after an optional "/" or "-" decides. The text after the first blank is the
// mode argument (the preview's parent window handle, in decimal).
#pragma once

#include <cstdint>

struct SaverApplication;

constexpr int kModeArgumentSize = 100;  // 99 characters and a NUL

enum class RunMode { None, Configure, Preview, Password, Saver };

struct ParsedCommandLine {
  bool previewMode = false;
  bool configureMode = false;
  bool passwordMode = false;
  char modeArgument[kModeArgumentSize] = {};
};

// False for an unknown mode letter. A missing or empty command line selects configure mode.
bool ParseCommandLine(ParsedCommandLine& parsed, const char* commandLine);
// The same into the application record's mode flags and modeArgument (fields not touched otherwise).
bool ParseCommandLine(SaverApplication& application, const char* commandLine);

// The C library's atol over the mode argument: leading white space, an optional sign, decimal digits,
// anything else ends the number; no digits give 0. Numbers beyond the 64-bit range saturate instead
// of overflowing.
int64_t ParseDecimalLikeAtol(const char* text);

// What RunApplication does after a successful parse: the mode, and for preview the parent window's
// handle (0 means there is no parent and the program ends, so the mode is None).
struct RunDecision {
  RunMode mode = RunMode::None;
  int64_t previewParent = 0;
};
RunDecision DecideRunMode(const ParsedCommandLine& parsed);
// Parse and decide in one step; an unknown mode gives RunMode::None.
RunDecision DecideRunMode(const char* commandLine);

// The single-instance rule: when the named mutex "Tillands ScreenSaver" already existed, a command
// line whose first two characters are "/s" (in any case) ends the program at once. "s" or "-s" and
// every other mode go on.
bool SecondStartMustQuit(bool mutexAlreadyExisted, const char* commandLine);

// The name of the mutex, and the class name and title of the saver and preview windows.
extern const char* const kSaverWindowName;  // "Tillands ScreenSaver"
// Caption of the program's only message box, and the program's display name.
extern const char* const kSaverDisplayName;  // "Tillands Bildschirmschoner"
