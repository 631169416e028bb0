// The command line of the Linux program `tillands`: one program for the stand-alone saver (full
// screen or a window), the XScreenSaver hack and the headless renderer.
//
// XScreenSaver's own conventions are accepted as it uses them: options with one or two dashes
// ("-root" and "--root"), the window to draw into from "-window-id ID" (decimal or 0x-hex) or from
// $XSCREENSAVER_WINDOW, and "-fps". A window given by id or by the environment wins over "-root":
// XScreenSaver passes "--root" and at the same time names its own window in the environment.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

enum class LinuxRunKind {
  FullScreen,              // `tillands`: covers the screen, ends on input (the saver's rules)
  Window,                  // `tillands --window [WxH]`: a resizable window for watching
  Hack,                    // XScreenSaver hack: draws into a given window, ends on SIGTERM/SIGINT only
  Headless,                // `tillands --headless ...`: the renderer to files
  Help,                    // --help
  Version,                 // --version
  AddToXScreenSaver,       // --add-to-xscreensaver
  RemoveFromXScreenSaver,  // --remove-from-xscreensaver
  SaveSettings,            // --save-settings [options]: writes the settings file
};

// The highest frame rate the Linux saver takes, from the command line or the settings file.
constexpr uint32_t kMaxLinuxFrameRate = 1000;

struct LinuxOptions {
  LinuxRunKind kind = LinuxRunKind::FullScreen;
  uint16_t windowWidth = 1280;  // --window WxH
  uint16_t windowHeight = 720;
  bool root = false;               // -root / --root
  uint64_t windowId = 0;           // -window-id or $XSCREENSAVER_WINDOW; 0: none
  bool showFps = false;            // -fps
  bool managedFullScreen = false;  // --wm-fullscreen: full screen through the window manager
  // Settings given on the command line win over the settings file.
  std::optional<uint32_t> animations;  // "Num Animations"
  std::optional<uint32_t> frameRate;   // "FrameRate"
  std::optional<bool> sound;           // "Sound"
  std::optional<uint32_t> scale;       // "Scale": 0 automatic, 1..3
  std::string dataDir;                 // --data: wins over "GamePath"
  std::optional<uint32_t> seed;        // both random generators
};

// Parses argv (argv[0] is the program). xscreensaverWindow: the value of $XSCREENSAVER_WINDOW or null.
// False on bad input, with one line in `error`.
bool ParseLinuxArguments(int argc, const char* const* argv, const char* xscreensaverWindow,
                         LinuxOptions& options, std::string& error);

// A window id as XScreenSaver writes it: decimal, or hexadecimal after "0x"/"0X". False for anything
// else, for 0 and for values above 32 bits (X ids are 29-bit).
bool ParseWindowId(const char* text, uint64_t& id);

extern const char* const kLinuxUsage;
