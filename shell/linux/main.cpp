// tillands: the Linux screensaver. Full screen, in a window, as an XScreenSaver hack, or headless.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "shell/linux/linux_options.h"
#include "shell/linux/linux_setup.h"
#include "shell/linux/sdl_sound.h"
#include "shell/linux/x11_saver.h"
#include "shell/linux/xscreensaver_config.h"
#include "shell/settings.h"
#include "shell/settings_store.h"

#ifndef TL_BUILD_WORLD_DIR
#define TL_BUILD_WORLD_DIR ""
#endif
#ifndef TL_VERSION
#define TL_VERSION "unknown"
#endif

int HeadlessMain(int argc, char** argv);

namespace {

std::string ProgramDirectory(const char* argv0) {
  std::error_code ec;
  std::filesystem::path self = std::filesystem::canonical("/proc/self/exe", ec);
  if (ec && argv0) self = std::filesystem::absolute(argv0, ec);
  return ec ? std::string() : self.parent_path().string();
}

std::string XScreenSaverFile() {
  const char* home = std::getenv("HOME");
  if (!home || !*home) {
    std::fprintf(stderr, "tillands: $HOME is not set; cannot find ~/.xscreensaver\n");
    return {};
  }
  return std::string(home) + "/.xscreensaver";
}

// XScreenSaver reads the settings descriptions of its hacks from one folder fixed when it was built
// (/usr/share/xscreensaver/config on the distributions); a tillands.xml anywhere else (an installation
// under /usr/local) leaves the hack listed without its settings and description.
void WarnWhenTheDescriptionIsMissing(const std::string& programDir) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path systemXml = "/usr/share/xscreensaver/config/tillands.xml";
  if (fs::exists(systemXml, ec)) return;
  std::string ours;
  if (!programDir.empty()) {
    const fs::path self(programDir);
    for (const fs::path& p : {self.parent_path() / "share/xscreensaver/config/tillands.xml",
                              self.parent_path().parent_path() / "share/xscreensaver/config/tillands.xml"})
      if (fs::exists(p, ec)) ours = p.lexically_normal().string();
  }
  std::fprintf(
      stderr,
      "tillands: warning: XScreenSaver reads hack settings from /usr/share/xscreensaver/config, which has "
      "no tillands.xml%s%s: its settings window will show Tillands without settings or description "
      "(install with -DTL_XSCREENSAVER_CONFIG_DIR=/usr/share/xscreensaver/config, see the README)\n",
      ours.empty() ? "" : "; it is in ", ours.c_str());
}

int AddToXScreenSaver(const std::string& programDir) {
  const std::string path = XScreenSaverFile();
  if (path.empty()) return 1;
  std::string error;
  const int result = AddTillandsToXScreenSaverFile(path, FindXScreenSaverDefaults(), error);
  switch (result) {
    case 0:
      std::printf("tillands: added \"%s\" to the programs of %s\n", kXScreenSaverEntry, path.c_str());
      break;
    case 1:
      std::printf("tillands: %s already runs tillands (nothing changed)\n", path.c_str());
      break;
    case 2:
      std::printf("tillands: tillands was switched off in %s; it is on again\n", path.c_str());
      break;
    default:
      std::fprintf(stderr, "tillands: %s\n", error.c_str());
      return 1;
  }
  WarnWhenTheDescriptionIsMissing(programDir);
  return 0;
}

int RemoveFromXScreenSaver() {
  const std::string path = XScreenSaverFile();
  if (path.empty()) return 1;
  std::string error;
  switch (RemoveTillandsFromXScreenSaverFile(path, error)) {
    case 0:
      std::printf("tillands: removed tillands from the programs of %s\n", path.c_str());
      return 0;
    case 1:
      std::printf("tillands: %s does not list tillands (nothing changed)\n", path.c_str());
      return 0;
    default:
      std::fprintf(stderr, "tillands: %s\n", error.c_str());
      return 1;
  }
}

// Writes the settings given on the command line (over what the file holds) into the settings file,
// in one rewrite.
int SaveSettingsFile(const LinuxOptions& options) {
  const std::string path = IniSettingsStore::DefaultPath();
  if (path.empty()) {
    std::fprintf(stderr, "tillands: neither $XDG_CONFIG_HOME nor $HOME is set; no place for the settings\n");
    return 1;
  }
  IniSettingsStore file(path);
  for (const std::string& problem : file.Problems()) std::fprintf(stderr, "tillands: %s\n", problem.c_str());
  OverrideSettingsStore settings(&file);
  ApplyOptionOverrides(options, options.dataDir, settings);
  SaverSettings s;
  LoadSettings(s, settings);
  std::vector<std::pair<std::string, SettingsValue>> values = {
      {"FrameRate", SettingsValue::Number(s.frameRate)},
      {"Num Animations", SettingsValue::Number(s.numAnimations)},
      {"Sound", SettingsValue::Number(s.soundOn ? 1 : 0)},
      {"Scale", SettingsValue::Number(s.scale)}};
  if (!options.dataDir.empty()) {
    std::error_code ec;
    values.emplace_back("GamePath",
                        SettingsValue::Text(std::filesystem::absolute(options.dataDir, ec).string()));
  }
  if (!file.WriteValues(SettingsHive::CurrentUser, kSettingsKeyPath, values)) {
    std::fprintf(stderr, "tillands: cannot write the settings file %s\n", path.c_str());
    return 1;
  }
  std::printf("tillands: wrote %s (FrameRate=%u, Num Animations=%u, Sound=%u, Scale=%u)\n", path.c_str(),
              unsigned(s.frameRate), unsigned(s.numAnimations), unsigned(s.soundOn ? 1 : 0),
              unsigned(s.scale));
  return 0;
}

// The settings file's problems, once, on stderr; a frame rate above what the loop can keep is
// lowered to 1000 frames per second.
void CheckSettingsFile(const IniSettingsStore& file, const LinuxOptions& options,
                       OverrideSettingsStore& settings) {
  for (const std::string& problem : file.Problems()) std::fprintf(stderr, "tillands: %s\n", problem.c_str());
  if (options.frameRate) return;
  std::unique_ptr<SettingsKey> key = settings.OpenKey(SettingsHive::CurrentUser, kSettingsKeyPath);
  uint32_t rate = 0;
  if (key && ReadSettingsNumber(*key, "FrameRate", rate) && rate > kMaxLinuxFrameRate) {
    std::fprintf(stderr, "tillands: %s: FrameRate=%u is above %u frames per second; using %u\n",
                 file.Path().c_str(), rate, kMaxLinuxFrameRate, kMaxLinuxFrameRate);
    settings.Override("FrameRate", SettingsValue::Number(kMaxLinuxFrameRate));
  }
}

// The renderer's own default is the build tree's world; an installed program renders the world
// installed beside it unless --data says otherwise.
int RunHeadlessWithInstalledWorld(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::string(argv[i]) == "--data") return HeadlessMain(argc, argv);
  DataLookup lookup;
  lookup.programDir = ProgramDirectory(argc > 0 ? argv[0] : nullptr);
  std::string note;
  std::string installed = FindDataDirectory(lookup, note);
  if (installed.empty()) return HeadlessMain(argc, argv);
  std::vector<char*> args(argv, argv + argc);
  std::string option = "--data";
  args.push_back(option.data());
  args.push_back(installed.data());
  args.push_back(nullptr);
  return HeadlessMain(argc + 2, args.data());
}

}  // namespace

int main(int argc, char** argv) {
  LinuxOptions options;
  std::string error;
  if (!ParseLinuxArguments(argc, argv, std::getenv("XSCREENSAVER_WINDOW"), options, error)) {
    std::fprintf(stderr, "tillands: %s\n", error.c_str());
    return 1;
  }
  switch (options.kind) {
    case LinuxRunKind::Headless:
      return RunHeadlessWithInstalledWorld(argc, argv);
    case LinuxRunKind::Help:
      std::fputs(kLinuxUsage, stdout);
      return 0;
    case LinuxRunKind::Version:
      std::printf("tillands %s\n", TL_VERSION);
      return 0;
    case LinuxRunKind::AddToXScreenSaver:
      return AddToXScreenSaver(ProgramDirectory(argc > 0 ? argv[0] : nullptr));
    case LinuxRunKind::RemoveFromXScreenSaver:
      return RemoveFromXScreenSaver();
    case LinuxRunKind::SaveSettings:
      return SaveSettingsFile(options);
    default:
      break;
  }

  // Settings: the INI file under $XDG_CONFIG_HOME/tillands, with the command line laid over it.
  const std::string settingsPath = IniSettingsStore::DefaultPath();
  std::unique_ptr<IniSettingsStore> file;
  if (!settingsPath.empty()) file = std::make_unique<IniSettingsStore>(settingsPath);
  OverrideSettingsStore settings(file.get());
  if (file) CheckSettingsFile(*file, options, settings);

  DataLookup lookup;
  lookup.option = options.dataDir;
  lookup.gamePath = ReadGamePath(settings);
  lookup.programDir = ProgramDirectory(argc > 0 ? argv[0] : nullptr);
  lookup.buildWorld = TL_BUILD_WORLD_DIR;
  std::string note;
  const std::string dataDir = FindDataDirectory(lookup, note);
  if (dataDir.empty()) {
    std::fprintf(stderr, "tillands: %s\n", note.c_str());
    return 1;
  }
  if (!note.empty()) std::fprintf(stderr, "tillands: %s\n", note.c_str());
  // No hack of XScreenSaver makes sound, and it runs one hack per monitor: a hack is silent unless
  // its settings (the .xml's check box) ask for sound on the command line.
  if (options.kind == LinuxRunKind::Hack && !options.sound) options.sound = false;
  ApplyOptionOverrides(options, dataDir, settings);

  X11SaverOptions run;
  run.kind = options.kind;
  run.windowWidth = options.windowWidth;
  run.windowHeight = options.windowHeight;
  run.windowId = options.windowId;
  run.showFps = options.showFps;
  // In a Wayland session the compositor gives the keyboard only to windows it manages: full screen
  // then goes through the window manager, or keys would never end the saver.
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  run.managedFullScreen = options.managedFullScreen || (wayland && *wayland);
  run.seed = options.seed;
  SdlSoundSink sound;
  return RunX11Saver(run, settings, &sound);
}
