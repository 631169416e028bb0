// The Linux program's settings and data: the settings file with the command line's values laid over
// it, and the order in which the data directory is looked for.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "shell/linux/linux_options.h"
#include "shell/settings_store.h"

// A settings store whose saver key reads some values from the command line first and everything
// else from the store below (the INI file). Writes go to the store below. The key exists as soon as
// one value is laid over it, so "Sound" then follows the values and not the missing-key rule.
class OverrideSettingsStore final : public SettingsStore {
 public:
  explicit OverrideSettingsStore(SettingsStore* base) : base_(base) {}
  // Value names are matched without regard to case.
  void Override(const std::string& name, const SettingsValue& value);

  std::unique_ptr<SettingsKey> OpenKey(SettingsHive hive, const std::string& path) override;
  std::unique_ptr<SettingsKey> CreateKey(SettingsHive hive, const std::string& path) override;

 private:
  SettingsStore* base_;                             // may be null (no settings file could be named)
  std::map<std::string, SettingsValue> overrides_;  // lower-case name
};

// "GamePath" as the store holds it, or empty.
std::string ReadGamePath(SettingsStore& store);

// The data directory, in this order: the --data option; "GamePath" from the settings; the installed
// demo world found from the program's own directory (<prefix>/share/tillands for <prefix>/bin and
// <prefix>/libexec/xscreensaver, so a relocated installation works); the build tree's world.
// `note` receives a line for the user when a step is skipped (a GamePath that is no directory), and
// the reason when nothing is found (the result is then empty).
struct DataLookup {
  std::string option;      // --data
  std::string gamePath;    // from the settings
  std::string programDir;  // directory of the running program
  std::string buildWorld;  // the build tree's world, fixed at build time
};
std::string FindDataDirectory(const DataLookup& lookup, std::string& note);
// True when dir looks like a data directory (a data_v.dat, or a Data_V folder in either spelling).
bool LooksLikeDataDirectory(const std::string& dir);

// The options as settings values laid over the store: FrameRate, Num Animations, Sound, Scale and
// the chosen data directory as GamePath.
void ApplyOptionOverrides(const LinuxOptions& options, const std::string& dataDir,
                          OverrideSettingsStore& store);
