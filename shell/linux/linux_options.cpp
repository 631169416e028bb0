#include "shell/linux/linux_options.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

const char* const kLinuxUsage =
    "usage: tillands [options]                 full screen on the current display\n"
    "       tillands --window [WxH] [options]  in a resizable window (Escape or q closes it)\n"
    "       tillands --root | --window-id ID   as an XScreenSaver hack\n"
    "       tillands --headless [options]      render frames to files (see tillands --headless --help)\n"
    "       tillands --add-to-xscreensaver     add the saver to the programs of ~/.xscreensaver\n"
    "       tillands --remove-from-xscreensaver  take it out of ~/.xscreensaver again\n"
    "       tillands --save-settings [options] write the options into the settings file\n"
    "\n"
    "The full-screen saver ends on a key, a mouse button or a mouse move of more than 5 pixels; it\n"
    "covers the whole X screen (all monitors, one window over their bounding box).\n"
    "\n"
    "options (one or two dashes):\n"
    "  --window [WxH]     a window of W x H pixels (default 1280x720)\n"
    "  --wm-fullscreen    full screen as the window manager's full-screen window (EWMH) instead of\n"
    "                     one above it: for compositors (Wayland) that give keys only to managed windows\n"
    "  --root             draw into the root window (an XScreenSaver hack)\n"
    "  --window-id ID     draw into the window ID (decimal or 0x-hex); $XSCREENSAVER_WINDOW is used\n"
    "                     the same way and wins over --root\n"
    "  --fps              without a number: show the frames per second in a corner\n"
    "  --fps N            the \"FrameRate\" setting, frames per second, 1..1000\n"
    "  --animations N     the \"Num Animations\" setting, 10..100\n"
    "  --sound on|off     the \"Sound\" setting\n"
    "  --scale N|auto     the \"Scale\" setting: 1, 2, 3 or auto (auto: the largest N that keeps the\n"
    "                     height / N at least 1000 pixels); the scene runs at the size / N\n"
    "  --data DIR         the data directory (wins over \"GamePath\")\n"
    "  --seed N           seed of the random generators, 0..4294967295\n"
    "  --help             this text\n"
    "  --version          the program's version\n"
    "\n"
    "Settings are kept in $XDG_CONFIG_HOME/tillands/settings.ini (FrameRate, Num Animations, Sound,\n"
    "GamePath, Scale; plain decimal numbers, see tillands(6)); options given here win over them, and\n"
    "--save-settings writes them there. As a hack the saver is silent unless given --sound on. Data:\n"
    "--data, else GamePath, else the installed demo world (share/tillands beside the program's\n"
    "installation), else the build tree's.\n";

namespace {

bool ParseNumber(const char* text, uint64_t maxValue, uint64_t& value) {
  if (!text || *text < '0' || *text > '9') return false;
  errno = 0;
  char* end = nullptr;
  const unsigned long long v = std::strtoull(text, &end, 10);
  if (errno != 0 || !end || *end != 0 || v > maxValue) return false;
  value = v;
  return true;
}

bool ParseSize(const char* text, uint16_t& w, uint16_t& h) {
  const char* x = text ? std::strchr(text, 'x') : nullptr;
  uint64_t a = 0, b = 0;
  if (!x || !ParseNumber(std::string(text, x).c_str(), 16384, a) || !ParseNumber(x + 1, 16384, b) || a < 32 ||
      b < 32)
    return false;
  w = static_cast<uint16_t>(a);
  h = static_cast<uint16_t>(b);
  return true;
}

}  // namespace

bool ParseWindowId(const char* text, uint64_t& id) {
  if (!text || !*text) return false;
  errno = 0;
  char* end = nullptr;
  unsigned long long v = 0;
  if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    if (!std::isxdigit(static_cast<unsigned char>(text[2]))) return false;
    v = std::strtoull(text + 2, &end, 16);
  } else {
    if (*text < '0' || *text > '9') return false;
    v = std::strtoull(text, &end, 10);
  }
  if (errno != 0 || !end || *end != 0 || v == 0 || v > 0xFFFFFFFFull) return false;
  id = v;
  return true;
}

bool ParseLinuxArguments(int argc, const char* const* argv, const char* xscreensaverWindow,
                         LinuxOptions& options, std::string& error) {
  options = LinuxOptions{};
  bool window = false, help = false, add = false, remove = false, save = false, version = false;
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--headless") == 0) {
      // The renderer parses its own options.
      options.kind = LinuxRunKind::Headless;
      return true;
    }
  for (int i = 1; i < argc; ++i) {
    const std::string given = argv[i];
    // One dash or two: XScreenSaver rewrites "-root" to "--root" and passes saved settings with two.
    std::string arg = given;
    if (arg.size() > 2 && arg[0] == '-' && arg[1] == '-') arg.erase(0, 1);
    const char* v = nullptr;
    auto value = [&]() {
      if (i + 1 >= argc) {
        error = "option " + given + " needs a value";
        return false;
      }
      v = argv[++i];
      return true;
    };
    uint64_t n = 0;
    if (arg == "-help" || arg == "-h") {
      help = true;
    } else if (arg == "-window") {
      window = true;
      if (i + 1 < argc && argv[i + 1][0] != '-') {
        if (!ParseSize(argv[i + 1], options.windowWidth, options.windowHeight))
          return error = std::string("bad window size '") + argv[i + 1] + "': expected WxH, 32..16384 each",
                 false;
        ++i;
      }
    } else if (arg == "-wm-fullscreen") {
      options.managedFullScreen = true;
    } else if (arg == "-root") {
      options.root = true;
    } else if (arg == "-window-id") {
      if (!value()) return false;
      if (!ParseWindowId(v, options.windowId))
        return error = std::string("bad window id '") + v + "': expected a decimal or 0x-hex X window id",
               false;
    } else if (arg == "-fps" && !(i + 1 < argc && argv[i + 1][0] >= '0' && argv[i + 1][0] <= '9')) {
      // XScreenSaver's "-fps" alone shows the frame rate; "--fps N" with a number sets it.
      options.showFps = true;
    } else if (arg == "-fps" || arg == "-frame-rate") {
      if (!value()) return false;
      if (!ParseNumber(v, kMaxLinuxFrameRate, n) || n == 0)
        return error = "bad " + given + " '" + v + "': expected 1..1000", false;
      options.frameRate = static_cast<uint32_t>(n);
    } else if (arg == "-animations") {
      if (!value()) return false;
      if (!ParseNumber(v, 100000, n))
        return error = std::string("bad --animations '") + v + "': expected 10..100", false;
      options.animations = static_cast<uint32_t>(n);
    } else if (arg == "-sound") {
      if (!value()) return false;
      if (std::strcmp(v, "on") == 0)
        options.sound = true;
      else if (std::strcmp(v, "off") == 0)
        options.sound = false;
      else
        return error = std::string("bad --sound '") + v + "': expected on or off", false;
    } else if (arg == "-scale") {
      if (!value()) return false;
      if (std::strcmp(v, "auto") == 0 || std::strcmp(v, "0") == 0)
        options.scale = 0;
      else if (ParseNumber(v, 3, n) && n >= 1)
        options.scale = static_cast<uint32_t>(n);
      else
        return error = std::string("bad --scale '") + v + "': expected 1, 2, 3 or auto", false;
    } else if (arg == "-data") {
      if (!value()) return false;
      if (!*v) return error = "--data needs a directory", false;
      options.dataDir = v;
    } else if (arg == "-seed") {
      if (!value()) return false;
      if (!ParseNumber(v, 0xFFFFFFFFull, n))
        return error = std::string("bad --seed '") + v + "': expected 0..4294967295", false;
      options.seed = static_cast<uint32_t>(n);
    } else if (arg == "-add-to-xscreensaver") {
      add = true;
    } else if (arg == "-remove-from-xscreensaver") {
      remove = true;
    } else if (arg == "-save-settings") {
      save = true;
    } else if (arg == "-version") {
      version = true;
    } else {
      return error = "unknown option '" + given + "' (see --help)", false;
    }
  }
  // XScreenSaver names its window in the environment; an explicit --window-id wins over it, and
  // both win over --root. A window asked for with --window is never a hack.
  if (options.windowId == 0 && !window && xscreensaverWindow && *xscreensaverWindow &&
      !ParseWindowId(xscreensaverWindow, options.windowId))
    return error = std::string("bad $XSCREENSAVER_WINDOW '") + xscreensaverWindow + "'", false;
  if (help)
    options.kind = LinuxRunKind::Help;
  else if (version)
    options.kind = LinuxRunKind::Version;
  else if (add)
    options.kind = LinuxRunKind::AddToXScreenSaver;
  else if (remove)
    options.kind = LinuxRunKind::RemoveFromXScreenSaver;
  else if (save)
    options.kind = LinuxRunKind::SaveSettings;
  else if (options.windowId != 0 || options.root)
    options.kind = LinuxRunKind::Hack;
  else if (window)
    options.kind = LinuxRunKind::Window;
  return true;
}
