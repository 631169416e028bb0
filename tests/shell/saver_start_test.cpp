// Saver-mode start (GamePath), FitTextToWidth and the simulated sound sink.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "graphics/bob_authoring.h"
#include "graphics/xb_bitmap.h"
#include "graphics/xb_font.h"
#include "shell/resources/resources.h"
#include "shell/settings.h"
#include "shell/simulated_sound.h"
#include "tests/common/temp_dir.h"
#include "tests/shell/saver_window_fixture.h"

namespace {

using tl_test::SaverFixture;

TEST(SaverStart, MissingOrEmptyGamePathShowsTheMessageAndStops) {
  for (int variant = 0; variant < 3; ++variant) {
    SaverFixture f;
    MemorySettingsStore store;
    if (variant == 1) store.AddKey(SettingsHive::CurrentUser, kSettingsKeyPath);
    if (variant == 2) store.SetText(SettingsHive::CurrentUser, kSettingsKeyPath, "GamePath", "");
    EXPECT_FALSE(StartSaverMode(f.app(), store, *f.host)) << variant;
    ASSERT_EQ(f.host->messages.size(), 1u) << variant;
    EXPECT_EQ(f.host->messages[0],
              "Tillands Bildschirmschoner: Datenpfad nicht gefunden. Bitte installieren Sie den "
              "Bildschirmschoner noch einmal neu.");
    EXPECT_TRUE(f.host->directories.empty());
    EXPECT_EQ(f.sound->Requested(), 0u);
  }
}

TEST(SaverStart, GamePathBecomesTheCurrentDirectoryAndTheClocksAreSet) {
  SaverFixture f;
  MemorySettingsStore store;
  store.SetText(SettingsHive::CurrentUser, kSettingsKeyPath, "GamePath", "C:\\Spiele\\Tillands");
  f.clock.Set(777000);
  ASSERT_TRUE(StartSaverMode(f.app(), store, *f.host));
  EXPECT_EQ(f.host->directories, std::vector<std::string>{"C:\\Spiele\\Tillands"});
  EXPECT_EQ(f.app().introEndTime, 787000u);
  EXPECT_EQ(f.app().phaseDeadline, 957000u);
  // "dummy" is the first cue of a run (sound is on in the fixture).
  ASSERT_EQ(f.sound->Log().size(), 1u);
  EXPECT_EQ(f.sound->Log()[0].name, "dummy");

  // A value that fills the whole 260-byte buffer without a terminator still reads as one text.
  SaverFixture g;
  MemorySettingsStore full;
  SettingsValue raw;
  raw.type = SettingsValueType::Text;
  raw.bytes.assign(260, 'a');
  full.Set(SettingsHive::CurrentUser, kSettingsKeyPath, "GamePath", raw);
  ASSERT_TRUE(StartSaverMode(g.app(), full, *g.host));
  EXPECT_EQ(g.host->directories[0], std::string(260, 'a'));
  // One byte more does not fit at all.
  SaverFixture h;
  raw.bytes.assign(261, 'a');
  full.Set(SettingsHive::CurrentUser, kSettingsKeyPath, "GamePath", raw);
  EXPECT_FALSE(StartSaverMode(h.app(), full, *h.host));
}

// The user's own "GamePath" wins; a user without a usable one gets the machine-wide value of the
// package installed for every user; with neither the message shows.
TEST(SaverStart, MachineWideGamePathServesUsersWithoutTheirOwn) {
  for (int variant = 0; variant < 3; ++variant) {
    SaverFixture f;
    MemorySettingsStore store;
    store.SetText(SettingsHive::LocalMachine, kMachineGamePathKeyPath, "GamePath",
                  "C:\\Program Files\\Tillands");
    if (variant == 1) store.SetText(SettingsHive::CurrentUser, kSettingsKeyPath, "GamePath", "");
    if (variant == 2) store.SetText(SettingsHive::CurrentUser, kSettingsKeyPath, "GamePath", "D:\\Spiel");
    ASSERT_TRUE(StartSaverMode(f.app(), store, *f.host)) << variant;
    EXPECT_EQ(f.host->directories[0], variant == 2 ? "D:\\Spiel" : "C:\\Program Files\\Tillands") << variant;
    EXPECT_TRUE(f.host->messages.empty());
  }
  SaverFixture g;
  MemorySettingsStore empty;
  empty.SetText(SettingsHive::LocalMachine, kMachineGamePathKeyPath, "GamePath", "");
  EXPECT_FALSE(StartSaverMode(g.app(), empty, *g.host));
  EXPECT_EQ(g.host->messages.size(), 1u);
}

TEST(SaverStart, PortableDirectoryChangeReportsFailure) {
  tl_test::TempDir dir;
  struct Host : SaverStartHost {
    void ShowMessage(const char*, const char*) override {}
  } host;
  const auto before = std::filesystem::current_path();
  EXPECT_FALSE(host.ChangeDirectory((dir.Path() / "missing").string().c_str()));
  EXPECT_EQ(std::filesystem::current_path(), before);
  EXPECT_TRUE(host.ChangeDirectory(dir.Path().string().c_str()));
  EXPECT_EQ(std::filesystem::current_path(), std::filesystem::canonical(dir.Path()));
  std::filesystem::current_path(before);
}

// A font whose every glyph is 4 pixels wide (5 with the spacing pixel), 'W' 9 wide (10).
XB_FONT* MakeFont() {
  FontBuilder builder(10);
  XB_BITMAP narrow(4, 8, 0), wide(9, 8, 0);
  narrow.Fill(7);
  wide.Fill(7);
  for (int k = 33; k < 127; ++k) builder.AddGlyph(static_cast<uint8_t>(k), k == 'W' ? wide : narrow, 0);
  builder.AddGlyph('i', narrow, 0);
  return builder.Build();
}

TEST(FitTextToWidth, CountsTheLongestPrefixThatFits) {
  XB_FONT* font = MakeFont();
  ASSERT_EQ(font->GetTextWidth("ab"), 10);
  EXPECT_EQ(FitTextToWidth("abc", 630, nullptr), 0);
  EXPECT_EQ(FitTextToWidth("abc", 0, font), 0);
  EXPECT_EQ(FitTextToWidth(nullptr, 630, font), 0);
  EXPECT_EQ(FitTextToWidth("", 630, font), 0);
  EXPECT_EQ(FitTextToWidth("abc", 15, font), 3);
  EXPECT_EQ(FitTextToWidth("abc", 14, font), 2);
  EXPECT_EQ(FitTextToWidth("WWa", 20, font), 2);
  EXPECT_EQ(FitTextToWidth("W", 9, font), 0);  // not even the first character
  // A 150-character text that fits is kept whole; one that does not is cut to 126 (630 / 5).
  const std::string fits(126, 'a'), tooLong(150, 'a');
  EXPECT_EQ(FitTextToWidth(fits.c_str(), 630, font), 126);
  EXPECT_EQ(FitTextToWidth(tooLong.c_str(), 630, font), 126);
  // Texts beyond the 511-character work buffer are measured as their first 511 characters and never
  // reported longer than that.
  const std::string huge(2000, 'a');
  EXPECT_EQ(FitTextToWidth(huge.c_str(), 100000, font), 511);
  EXPECT_EQ(FitTextToWidth(huge.c_str(), 630, font), 126);
  delete font;
}

std::vector<uint8_t> Wave(uint32_t durationMs) {
  std::vector<uint8_t> w;
  const uint32_t bytes = 1000 * durationMs / 1000 * 1;  // 1000 Hz, 8-bit mono: one byte per ms
  tl_test::PutBytes(w, "RIFF");
  tl_test::PutU32(w, 36 + bytes);
  tl_test::PutBytes(w, "WAVEfmt ");
  tl_test::PutU32(w, 16);
  tl_test::PutU16(w, 1);
  tl_test::PutU16(w, 1);
  tl_test::PutU32(w, 1000);
  tl_test::PutU32(w, 1000);
  tl_test::PutU16(w, 1);
  tl_test::PutU16(w, 8);
  tl_test::PutBytes(w, "data");
  tl_test::PutU32(w, bytes);
  w.resize(w.size() + bytes, 128);
  return w;
}

TEST(SimulatedSound, OneSoundAtATimeAndRequestsWhilePlayingAreDropped) {
  static const std::vector<uint8_t> plop = Wave(80), fall = Wave(3420);
  static const EmbeddedResource table[] = {{"WAVE", "PLOP", plop.data(), plop.size()},
                                           {"WAVE", "TREEFALLING", fall.data(), fall.size()}};
  ASSERT_TRUE(RegisterEmbeddedResources(table, 2));
  SimulatedClock clock(0xFFFFFF00u);  // the sound must end even across the clock's wrap
  SimulatedSoundSink sink(clock, true);
  sink.PlayNamedSound("TreeFalling");
  EXPECT_TRUE(sink.Playing());
  clock.Advance(3419);
  sink.PlayNamedSound("plop");  // still falling: dropped
  clock.Advance(1);
  sink.PlayNamedSound("plop");         // over: plays
  sink.PlayNamedSound("nosuchsound");  // dropped, since plop plays
  clock.Advance(80);
  sink.PlayNamedSound("nosuchsound");  // silence, nothing reported
  sink.PlayNamedSound("PLOP");
  sink.StopAll();
  EXPECT_FALSE(sink.Playing());
  sink.StopAll();  // nothing playing: no effect
  sink.PlayNamedSound("plop");
  sink.PlayNamedSound(nullptr);
  UnregisterEmbeddedResources(table);

  using O = SimulatedSoundSink::Outcome;
  std::vector<O> outcomes;
  for (const auto& r : sink.Log()) outcomes.push_back(r.outcome);
  EXPECT_EQ(outcomes,
            (std::vector<O>{O::Played, O::Dropped, O::Played, O::Dropped, O::Missing, O::Played, O::Played}));
  EXPECT_EQ(sink.Requested(), 7u);
  EXPECT_EQ(sink.Played(), 4u);
  EXPECT_EQ(sink.Dropped(), 2u);
  EXPECT_EQ(sink.Missing(), 1u);
  EXPECT_EQ(sink.PlayedByName().at("PLOP"), 3u);
}

}  // namespace
