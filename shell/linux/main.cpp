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
#include "shell/settings_store.h"
#include "shell/version.h"

int HeadlessMain(int argc, char** argv);

namespace {

std::string ProgramDirectory(const char* argv0) {
  std::error_code ec;
  std::filesystem::path self = std::filesystem::canonical("/proc/self/exe", ec);
  if (ec && argv0) self = std::filesystem::absolute(argv0, ec);
  return ec ? std::string() : self.parent_path().string();
}

// The world a build tree generates, found from the program's own place in it
// (<build>/shell/linux/tillands): no build path is compiled in, so two builds of one commit in
// different directories give the same program.
std::string BuildTreeWorld(const std::string& programDir) {
  if (programDir.empty()) return {};
  const std::filesystem::path build = std::filesystem::path(programDir).parent_path().parent_path();
  return (build / "world" / "Tillands").string();
}

int AddToXScreenSaver() {
  const char* home = std::getenv("HOME");
  if (!home || !*home) {
    std::fprintf(stderr, "tillands: $HOME is not set; cannot find ~/.xscreensaver\n");
    return 1;
  }
  const std::string path = std::string(home) + "/.xscreensaver";
  std::string error;
  switch (AddTillandsToXScreenSaverFile(path, "/etc/X11/app-defaults/XScreenSaver", error)) {
    case 0:
      std::printf("tillands: added \"%s\" to the programs of %s\n", kXScreenSaverEntry, path.c_str());
      return 0;
    case 1:
      std::printf("tillands: %s already runs tillands (nothing changed)\n", path.c_str());
      return 0;
    default:
      std::fprintf(stderr, "tillands: %s\n", error.c_str());
      return 1;
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
      std::printf("tillands %s\n", kTillandsVersion);
      return 0;
    case LinuxRunKind::AddToXScreenSaver:
      return AddToXScreenSaver();
    default:
      break;
  }

  // Settings: the INI file under $XDG_CONFIG_HOME/tillands, with the command line laid over it.
  const std::string settingsPath = IniSettingsStore::DefaultPath();
  std::unique_ptr<IniSettingsStore> file;
  if (!settingsPath.empty()) file = std::make_unique<IniSettingsStore>(settingsPath);
  OverrideSettingsStore settings(file.get());

  DataLookup lookup;
  lookup.option = options.dataDir;
  lookup.gamePath = ReadGamePath(settings);
  lookup.programDir = ProgramDirectory(argc > 0 ? argv[0] : nullptr);
  lookup.buildWorld = BuildTreeWorld(lookup.programDir);
  std::string note;
  const std::string dataDir = FindDataDirectory(lookup, note);
  if (dataDir.empty()) {
    std::fprintf(stderr, "tillands: %s\n", note.c_str());
    return 1;
  }
  if (!note.empty()) std::fprintf(stderr, "tillands: %s\n", note.c_str());
  ApplyOptionOverrides(options, dataDir, settings);

  X11SaverOptions run;
  run.kind = options.kind;
  run.windowWidth = options.windowWidth;
  run.windowHeight = options.windowHeight;
  run.windowId = options.windowId;
  run.showFps = options.showFps;
  run.seed = options.seed;
  SdlSoundSink sound;
  return RunX11Saver(run, settings, &sound);
}
