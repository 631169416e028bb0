// Settings: defaults, clamps, the sound rule, the two keys written by OK, and the INI file store.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "shell/settings.h"
#include "tests/common/temp_dir.h"

namespace {

constexpr SettingsHive kUser = SettingsHive::CurrentUser;
constexpr SettingsHive kUsers = SettingsHive::Users;

std::string ReadGamePathForTest(SettingsStore& store) {
  auto key = store.OpenKey(SettingsHive::CurrentUser, kSettingsKeyPath);
  char buffer[260] = {};
  uint32_t size = sizeof buffer - 1;
  return key && key->ReadValue("GamePath", buffer, &size) ? std::string(buffer) : std::string("(none)");
}

SaverSettings Load(MemorySettingsStore& store) {
  SaverSettings s;
  LoadSettings(s, store);
  return s;
}

TEST(Settings, NoKeyGivesDefaultsWithSoundOffAndOkCreatesBothKeys) {
  MemorySettingsStore store;
  SaverSettings s = Load(store);
  EXPECT_EQ(s.frameRate, 12);
  EXPECT_EQ(s.numAnimations, 30);
  EXPECT_EQ(s.soundOn, 0);
  SettingsDialogInit init = SettingsDialogInitValues(s);
  EXPECT_FALSE(init.soundChecked);
  EXPECT_EQ(init.trackbarPosition, 30);

  EXPECT_EQ(SettingsDialogOk(s, init.trackbarPosition, init.soundChecked, store), 1);
  ASSERT_EQ(store.Writes().size(), 6u);
  const char* names[3] = {"FrameRate", "Num Animations", "Sound"};
  const uint32_t values[3] = {12, 30, 0};
  for (int i = 0; i < 6; ++i) {
    const auto& w = store.Writes()[size_t(i)];
    EXPECT_EQ(w.hive, i < 3 ? kUser : kUsers);
    EXPECT_EQ(w.path, i < 3 ? kSettingsKeyPath : kDefaultUserSettingsKeyPath);
    EXPECT_EQ(w.name, names[i % 3]);
    EXPECT_EQ(w.value, values[i % 3]);
  }
}

TEST(Settings, KeyWithoutSoundMeansSoundOn) {
  MemorySettingsStore store;
  store.AddKey(kUser, kSettingsKeyPath);
  SaverSettings s = Load(store);
  EXPECT_EQ(s.soundOn, 1);
  EXPECT_TRUE(SettingsDialogInitValues(s).soundChecked);
}

TEST(Settings, NumAnimationsIsClampedOnItsLow16Bits) {
  const std::pair<uint32_t, uint16_t> cases[] = {{5, 10},  {500, 100}, {65546, 10}, {0, 10},
                                                 {10, 10}, {100, 100}, {55, 55},    {0xFFFFFFFF, 100}};
  for (auto [stored, loaded] : cases) {
    MemorySettingsStore store;
    store.SetNumber(kUser, kSettingsKeyPath, "Num Animations", stored);
    EXPECT_EQ(Load(store).numAnimations, loaded) << stored;
  }
}

TEST(Settings, FrameRateAndSoundAreWrittenBackAsLoaded) {
  MemorySettingsStore store;
  store.SetNumber(kUser, kSettingsKeyPath, "FrameRate", 300);  // more than one byte
  store.SetNumber(kUser, kSettingsKeyPath, "Sound", 7);
  SaverSettings s = Load(store);
  EXPECT_EQ(s.frameRate, 300);
  EXPECT_EQ(s.soundOn, 1);
  SettingsDialogInit init = SettingsDialogInitValues(s);
  SettingsDialogOk(s, init.trackbarPosition, init.soundChecked, store);
  uint32_t v = 0;
  ASSERT_TRUE(store.GetNumber(kUser, kSettingsKeyPath, "FrameRate", v));
  EXPECT_EQ(v, 300u);
  ASSERT_TRUE(store.GetNumber(kUser, kSettingsKeyPath, "Sound", v));
  EXPECT_EQ(v, 1u);
  ASSERT_TRUE(store.GetNumber(kUsers, kDefaultUserSettingsKeyPath, "Sound", v));
  EXPECT_EQ(v, 1u);

  // Frame rate takes the low 16 bits; Sound 0 is the only "off".
  MemorySettingsStore other;
  other.SetNumber(kUser, kSettingsKeyPath, "FrameRate", 0x10019);
  other.SetNumber(kUser, kSettingsKeyPath, "Sound", 0);
  EXPECT_EQ(Load(other).frameRate, 25);
  EXPECT_EQ(Load(other).soundOn, 0);
}

TEST(Settings, ValuesThatDoNotFitFourBytesAreTreatedAsMissing) {
  // The registry read has a 4-byte buffer: a long text does not fit and the default stands; a short
  // one is read as its bytes (any type is accepted).
  MemorySettingsStore store;
  store.SetText(kUser, kSettingsKeyPath, "FrameRate", "twenty");
  store.SetText(kUser, kSettingsKeyPath, "Num Animations", "\x28");  // bytes 0x28, 0
  store.SetText(kUser, kSettingsKeyPath, "Sound", "off, please");
  SaverSettings s = Load(store);
  EXPECT_EQ(s.frameRate, 12);
  EXPECT_EQ(s.numAnimations, 40);
  EXPECT_EQ(s.soundOn, 1);
}

TEST(Settings, DialogOkClampsAndCancelWritesNothing) {
  MemorySettingsStore store;
  SaverSettings s = Load(store);
  EXPECT_EQ(SettingsDialogCancel(), 2);
  EXPECT_TRUE(store.Writes().empty());
  EXPECT_FALSE(store.HasKey(kUser, kSettingsKeyPath));

  SettingsDialogOk(s, 3, true, store);
  EXPECT_EQ(s.numAnimations, 10);
  EXPECT_EQ(s.soundOn, 1);
  SettingsDialogOk(s, 0x10000 + 250, false, store);  // a 16-bit position of 250
  EXPECT_EQ(s.numAnimations, 100);
  EXPECT_EQ(s.soundOn, 0);

  SettingsDialogInit init = SettingsDialogInitValues(s);
  EXPECT_STREQ(init.title, "Tillands Bildschirmschoner Einstellungen");
  EXPECT_STREQ(init.captionText, "Mindestanzahl Animationen");
  EXPECT_STREQ(init.soundBoxText, "&Ger\xE4usche");
  EXPECT_EQ(init.trackbarMin, 10);
  EXPECT_EQ(init.trackbarMax, 100);
  EXPECT_EQ(init.tickFrequency, 10);
}

TEST(Settings, DefaultUserKeyIsWrittenEvenWhenTheFirstFails) {
  MemorySettingsStore store;
  store.FailCreate(kUser, true);
  SaverSettings s{20, 40, 1};
  SaveSettings(s, store);
  ASSERT_EQ(store.Writes().size(), 3u);
  for (const auto& w : store.Writes()) EXPECT_EQ(w.hive, kUsers);
}

TEST(Settings, TimerPeriodNeverDividesByZero) {
  EXPECT_EQ(FrameTimerPeriodMs(12), 83u);
  EXPECT_EQ(FrameTimerPeriodMs(25), 40u);
  EXPECT_EQ(FrameTimerPeriodMs(0), 83u);
  EXPECT_EQ(FrameTimerPeriodMs(1000), 1u);
  EXPECT_EQ(FrameTimerPeriodMs(1001), 0u);
}

TEST(IniSettingsStore, RoundTripsBothKeysAndKeepsForeignValues) {
  tl_test::TempDir dir;
  std::string path = dir.File("cfg/tillands/settings.ini");
  IniSettingsStore store(path);
  EXPECT_EQ(store.OpenKey(kUser, kSettingsKeyPath), nullptr);
  SaverSettings s;
  LoadSettings(s, store);
  EXPECT_EQ(s.soundOn, 0);

  SaveSettings(SaverSettings{25, 55, 1}, store);
  // The set-up writes GamePath by hand; a later save must keep it.
  std::string text = dir.ReadText(path);
  dir.WriteText(path, text + "[HKEY_CURRENT_USER\\" + kSettingsKeyPath + "]\nGamePath=/opt/Tillands Daten\n");
  SaveSettings(SaverSettings{26, 10, 0}, store);

  IniSettingsStore reopened(path);
  SaverSettings loaded;
  LoadSettings(loaded, reopened);
  EXPECT_EQ(loaded.frameRate, 26);
  EXPECT_EQ(loaded.numAnimations, 10);
  EXPECT_EQ(loaded.soundOn, 0);
  auto key = reopened.OpenKey(kUser, "control panel\\desktop\\screensaver.TILLANDS bildschirmschoner");
  ASSERT_NE(key, nullptr);
  char buffer[260] = {};
  uint32_t size = sizeof buffer;
  ASSERT_TRUE(key->ReadValue("gamepath", buffer, &size));
  EXPECT_STREQ(buffer, "/opt/Tillands Daten");
  EXPECT_EQ(size, 20u);
  ASSERT_NE(reopened.OpenKey(kUsers, kDefaultUserSettingsKeyPath), nullptr);
  // Opening for reading never writes.
  EXPECT_FALSE(key->WriteNumber("FrameRate", 1));
}

// The file as people write it: plain decimal numbers, the older dword: form still read; text where a
// number belongs reads as missing (the default stands), is reported, and survives a save.
TEST(IniSettingsStore, HandWrittenNumbersAndValuesThatCannotBeRead) {
  tl_test::TempDir dir;
  const std::string section = std::string("[HKEY_CURRENT_USER\\") + kSettingsKeyPath + "]\n";
  const std::string path = dir.WriteText("settings.ini", section + "FrameRate = 25 \nSound=0\nScale=2\n");
  IniSettingsStore store(path);
  SaverSettings s;
  LoadSettings(s, store);
  EXPECT_EQ(s.frameRate, 25);
  EXPECT_EQ(s.soundOn, 0);
  EXPECT_EQ(s.scale, 2);
  EXPECT_TRUE(store.Problems().empty());

  dir.WriteText("settings.ini", section +
                                    "FrameRate=dword:0000000c\nNum Animations=fast\nSound=on\nGamePath=42\n"
                                    "Other=4041331395\nOlder=dword:f0e1d2c3\n");
  s = SaverSettings{};
  LoadSettings(s, store);
  EXPECT_EQ(s.frameRate, 12);
  // A number is read with all four of its bytes, in either form.
  uint32_t other = 0, older = 0;
  auto key = store.OpenKey(kUser, kSettingsKeyPath);
  ASSERT_TRUE(key && ReadSettingsNumber(*key, "Other", other) && ReadSettingsNumber(*key, "Older", older));
  EXPECT_EQ(other, 4041331395u);
  EXPECT_EQ(older, 4041331395u);
  EXPECT_EQ(s.numAnimations, kDefaultNumAnimations);
  EXPECT_EQ(s.soundOn, 1);  // missing in an existing key: on
  EXPECT_EQ(ReadGamePathForTest(store), "42");
  EXPECT_EQ(store.Problems(),
            (std::vector<std::string>{path + ": Num Animations=fast is not a number (ignored)",
                                      path + ": Sound=on is not a number (ignored)"}));
  // Saving writes decimal numbers and keeps what it could not read, unless it writes that value.
  SaveSettings(SaverSettings{30, 40, 0}, store);
  const std::string text = dir.ReadText("settings.ini");
  EXPECT_NE(text.find("FrameRate=30\n"), std::string::npos);
  EXPECT_NE(text.find("Num Animations=40\n"), std::string::npos);
  EXPECT_NE(text.find("GamePath=42\n"), std::string::npos);
  EXPECT_NE(text.find("Other=4041331395\n"), std::string::npos);
  EXPECT_NE(text.find("Older=4041331395\n"), std::string::npos);
  EXPECT_TRUE(store.Problems().empty());

  ASSERT_TRUE(
      store.WriteValues(kUser, kSettingsKeyPath,
                        {{"Sound", SettingsValue::Number(1)}, {"GamePath", SettingsValue::Text("/d")}}));
  s = SaverSettings{};
  LoadSettings(s, store);
  EXPECT_EQ(s.frameRate, 30);
  EXPECT_EQ(s.soundOn, 1);
  EXPECT_EQ(ReadGamePathForTest(store), "/d");

  // A file not written yet is no problem; one that exists but cannot be read is said so (here a
  // folder in its place: root reads files whatever their permissions).
  EXPECT_TRUE(IniSettingsStore(dir.File("none.ini")).Problems().empty());
  IniSettingsStore folder(dir.File("folder.ini"));
  dir.MakeDir("folder.ini");
  EXPECT_EQ(folder.Problems(),
            std::vector<std::string>{"cannot read the settings file " + dir.File("folder.ini") +
                                     ": Is a directory (the defaults stand)"});
}

// The settings file lives under $XDG_CONFIG_HOME, else under $HOME/.config; with neither there is no
// place for it, never a folder below wherever the saver happened to be started.
TEST(IniSettingsStore, DefaultPathFollowsTheEnvironment) {
  struct SavedVariable {
    const char* name;
    bool had;
    std::string value;
    explicit SavedVariable(const char* n) : name(n), had(std::getenv(n) != nullptr) {
      if (had) value = std::getenv(n);
    }
    ~SavedVariable() { had ? setenv(name, value.c_str(), 1) : unsetenv(name); }
  } xdg("XDG_CONFIG_HOME"), home("HOME");
  setenv("XDG_CONFIG_HOME", "/x", 1);
  setenv("HOME", "/h", 1);
  EXPECT_EQ(IniSettingsStore::DefaultPath(), "/x/tillands/settings.ini");
  setenv("XDG_CONFIG_HOME", "", 1);
  EXPECT_EQ(IniSettingsStore::DefaultPath(), "/h/.config/tillands/settings.ini");
  setenv("HOME", "", 1);
  EXPECT_EQ(IniSettingsStore::DefaultPath(), "");
  unsetenv("HOME");
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(IniSettingsStore::DefaultPath(), "");
}

}  // namespace
