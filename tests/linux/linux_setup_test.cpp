#include "shell/linux/linux_setup.h"

#include <gtest/gtest.h>

#include "scene/saver_application.h"
#include "shell/settings.h"
#include "tests/common/temp_dir.h"

namespace {

TEST(OverrideSettingsStore, CommandLineWinsOverTheFileAndTheRestComesFromIt) {
  tl_test::TempDir dir;
  IniSettingsStore file(dir.File("settings.ini"));
  {
    auto key = file.CreateKey(SettingsHive::CurrentUser, kSettingsKeyPath);
    ASSERT_TRUE(key);
    ASSERT_TRUE(key->WriteNumber("FrameRate", 20));
    ASSERT_TRUE(key->WriteNumber("Num Animations", 40));
    ASSERT_TRUE(key->WriteNumber("Sound", 0));
  }
  OverrideSettingsStore store(&file);
  LinuxOptions options;
  options.animations = 77;
  options.scale = 2;
  ApplyOptionOverrides(options, "/data/dir", store);
  SaverSettings settings;
  LoadSettings(settings, store);
  EXPECT_EQ(settings.frameRate, 20);      // from the file
  EXPECT_EQ(settings.numAnimations, 77);  // the option wins
  EXPECT_EQ(settings.soundOn, 0);         // from the file
  EXPECT_EQ(settings.scale, 2);
  EXPECT_EQ(ReadGamePath(store), "/data/dir");
  // A value that does not fit the caller's buffer is refused, as the registry does.
  auto key = store.OpenKey(SettingsHive::CurrentUser, kSettingsKeyPath);
  char small[4];
  uint32_t size = sizeof small;
  EXPECT_FALSE(key->ReadValue("GamePath", small, &size));
  // Other keys are the file's alone.
  EXPECT_EQ(store.OpenKey(SettingsHive::Users, kSettingsKeyPath), nullptr);
}

TEST(OverrideSettingsStore, WithoutAFileTheOptionsStillMakeTheKey) {
  OverrideSettingsStore store(nullptr);
  EXPECT_EQ(store.OpenKey(SettingsHive::CurrentUser, kSettingsKeyPath), nullptr);
  LinuxOptions options;
  options.sound = false;
  ApplyOptionOverrides(options, "/d", store);
  SaverSettings settings;
  settings.soundOn = 1;
  LoadSettings(settings, store);
  EXPECT_EQ(settings.soundOn, 0);
  EXPECT_EQ(settings.frameRate, kDefaultFrameRate);
  EXPECT_EQ(store.CreateKey(SettingsHive::CurrentUser, kSettingsKeyPath), nullptr);
}

TEST(DataLookup, OptionThenGamePathThenInstalledThenBuildTree) {
  tl_test::TempDir dir;
  dir.WriteText("prefix/share/tillands/data_v.dat", "x");
  dir.MakeDir("prefix/bin");
  dir.MakeDir("prefix/libexec/xscreensaver");
  dir.MakeDir("build/world/Tillands/DATA_V");
  dir.MakeDir("game");
  DataLookup lookup;
  lookup.programDir = dir.File("prefix/bin");
  lookup.buildWorld = dir.File("build/world/Tillands");
  std::string note;
  EXPECT_EQ(FindDataDirectory(lookup, note), dir.File("prefix/share/tillands"));
  // The hack's copy in libexec/xscreensaver finds the same world (a relocated prefix works).
  lookup.programDir = dir.File("prefix/libexec/xscreensaver");
  EXPECT_EQ(FindDataDirectory(lookup, note), dir.File("prefix/share/tillands"));
  lookup.gamePath = dir.File("game");
  EXPECT_EQ(FindDataDirectory(lookup, note), dir.File("game"));
  lookup.option = dir.File("build");
  EXPECT_EQ(FindDataDirectory(lookup, note), dir.File("build"));
  // A --data that is missing is an error, not a silent fallback.
  lookup.option = dir.File("nowhere");
  EXPECT_EQ(FindDataDirectory(lookup, note), "");
  EXPECT_NE(note.find("--data"), std::string::npos);
  // A stale GamePath is reported and skipped.
  lookup.option.clear();
  lookup.gamePath = dir.File("gone");
  lookup.programDir = dir.File("elsewhere/bin");
  EXPECT_EQ(FindDataDirectory(lookup, note), dir.File("build/world/Tillands"));
  EXPECT_NE(note.find("GamePath"), std::string::npos);
  // Nothing at all: one clear line.
  lookup.gamePath.clear();
  lookup.buildWorld = dir.File("nothing");
  EXPECT_EQ(FindDataDirectory(lookup, note), "");
  EXPECT_NE(note.find("no data found"), std::string::npos);
  EXPECT_EQ(note.find('\n'), std::string::npos);
}

}  // namespace
