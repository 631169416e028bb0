// The saver window's life without a window system: creation, ticks, presentation, input, release.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "base/xb_archive_writer.h"
#include "base/xb_file.h"
#include "graphics/bob_authoring.h"
#include "graphics/xb_bitmap.h"
#include "graphics/xb_font.h"
#include "graphics/xb_palette.h"
#include "graphics/xb_picture.h"
#include "graphics/xb_random.h"
#include "shell/resources/palette_resource.h"
#include "shell/settings.h"
#include "staticdata/application_services.h"
#include "staticdata/ve_static_data_manager.h"
#include "tests/shell/saver_window_fixture.h"

namespace {

using tl_test::SaverFixture;
using tl_test::SaverFixtureOptions;

// A 2 x 1 PCX picture (8-bit, run-length encoded) whose only purpose is its palette.
std::vector<uint8_t> MakePcx8(const std::vector<uint8_t>& rgb) {
  std::vector<uint8_t> out(128, 0);
  out[0] = 10;  // manufacturer
  out[1] = 5;   // version
  out[2] = 1;   // run-length encoding
  out[3] = 8;   // bits per pixel
  out[8] = 1;   // xmax = 1
  out[65] = 1;  // planes
  out[66] = 2;  // bytes per line
  out[68] = 1;  // colour palette
  out.push_back(3);
  out.push_back(4);
  out.push_back(0x0C);
  out.insert(out.end(), rgb.begin(), rgb.end());
  return out;
}

bool Contains(const std::vector<std::string>& log, const std::string& entry) {
  return std::find(log.begin(), log.end(), entry) != log.end();
}

TEST(SaverWindow, CreationLoadsEverythingAndStartsTheTimer) {
  SaverFixture f;
  f.host->fixedSeed = 4242;
  ASSERT_TRUE(f.Create());
  SaverApplication& app = f.app();
  EXPECT_EQ(f.host->log.front(), "acquireDC");
  EXPECT_EQ(app.windowDC, &f.host->dcToken);
  EXPECT_EQ(f.host->timerPeriod, 83u);  // 1000 / 12
  EXPECT_EQ(app.timerId, kFrameTimerId);
  EXPECT_TRUE(Contains(f.host->log, "capture"));

  ASSERT_NE(app.display, nullptr);
  EXPECT_EQ(f.host->createdFill, 56);
  EXPECT_TRUE(f.host->surface->HasPalette());
  ASSERT_NE(app.frameBitmap, nullptr);
  EXPECT_EQ(app.frameBitmap->GetWidth(), 322);
  EXPECT_EQ(app.frameBitmap->GetPalette(), app.palette);
  // The palette is the PALETTE resource's.
  EXPECT_EQ(app.palette->GetColour(1),
            XB_PALETTE_ENTRY::Rgb(kPaletteResource[3], kPaletteResource[4], kPaletteResource[5]));
  ASSERT_NE(app.packedBobs, nullptr);
  ASSERT_NE(app.maskedBobs, nullptr);
  ASSERT_NE(app.backgroundTile, nullptr);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(app.identityTable[i], i);
  // No Logo.bmp in this world: no logo, no texts, no font.
  EXPECT_EQ(app.logoPicture, nullptr);
  EXPECT_EQ(app.font, nullptr);
  EXPECT_EQ(app.introText[0], 0);

  // Both generators start from the same seed.
  EXPECT_EQ(app.random.State(), XB_RANDOM(4242).State());
  const int first = ApplicationRand();
  SeedPortableRand(4242);
  EXPECT_EQ(first, ApplicationRand());
}

TEST(SaverWindow, FailedCreationDestroysTheWindowAndReleasesWhatExists) {
  struct Case {
    const char* name;
    void (*setUp)(tl_test::RecordingHost&);
    std::vector<std::string> released;
  };
  const Case cases[] = {
      {"no display", [](tl_test::RecordingHost& h) { h.noDisplay = true; }, {"windowDC"}},
      {"failed display", [](tl_test::RecordingHost& h) { h.failDisplay = true; }, {"display", "windowDC"}},
      {"no palette resource",
       [](tl_test::RecordingHost& h) { h.noPalette = true; },
       {"frameBitmap", "display", "windowDC"}},
  };
  for (const Case& c : cases) {
    SaverFixture f;
    c.setUp(*f.host);
    EXPECT_FALSE(f.Create()) << c.name;
    EXPECT_EQ(f.host->released, c.released) << c.name;
    EXPECT_FALSE(Contains(f.host->log, "capture")) << c.name;
    EXPECT_EQ(f.app().quitRequested, 1) << c.name;
    EXPECT_EQ(f.host->quitCodes, std::vector<int>{1}) << c.name;
    EXPECT_EQ(f.app().display, nullptr) << c.name;
    EXPECT_EQ(f.app().frameBitmap, nullptr) << c.name;
  }
}

TEST(SaverWindow, ReleaseFollowsTheFixedOrderAndStopsTheTimerFirst) {
  SaverFixtureOptions options;
  options.world.withLogo = true;
  SaverFixture f(options);
  // Font and text colours exist only with a logo and Logo.txt; give the world both font palettes and
  // a font so that every owned object is present.
  FontBuilder font(10);
  XB_BITMAP glyph(4, 8, 0);
  glyph.Fill(9);
  for (int k = 32; k < 127; ++k) font.AddGlyph(static_cast<uint8_t>(k), glyph, 0);
  std::filesystem::create_directories("Data_V/VE_Graphics");
  ASSERT_TRUE(font.SaveFnt("Data_V/VE_Graphics/ExtText.fnt"));
  // The two text colour palettes: the foreground as the screen palette, the background darker.
  std::vector<uint8_t> dark = tl_test::SyntheticPaletteRgb();
  for (uint8_t& c : dark) c = static_cast<uint8_t>(c / 2);
  f.dir.Write("Data_V/VE_Graphics/Palette_Font_Foreground.pcx", MakePcx8(tl_test::SyntheticPaletteRgb()));
  f.dir.Write("Data_V/VE_Graphics/Palette_Font_Background.pcx", MakePcx8(dark));
  // A LOGOTEXT of 150 characters, 5 pixels each in this font, is cut to the 126 that fit 630 pixels.
  f.dir.WriteText("Logo.txt", "[LOGOTEXT]\nTEXT = \"" + std::string(150, 'x') + "\"\n");
  f.host->timerIdOffset = 6;
  ASSERT_TRUE(f.Create());
  ASSERT_NE(f.app().logoPicture, nullptr);
  ASSERT_NE(f.app().font, nullptr);
  EXPECT_EQ(std::string(f.app().logoText), std::string(126, 'x'));
  ASSERT_NE(f.app().fontForegroundRemap, nullptr);
  ASSERT_NE(f.app().fontBackgroundRemap, nullptr);
  f.host->log.clear();
  f.host->DestroyWindow();
  const std::vector<std::string> expected = {
      "frameBitmap",         "backgroundTile",      "display",     "palette",
      "packedBobs",          "maskedBobs",          "logoPicture", "font",
      "fontForegroundRemap", "fontBackgroundRemap", "windowDC"};
  EXPECT_EQ(f.host->released, expected);
  // Static data first, then sounds, then the timer (with the id it was given), cursor, quit.
  ASSERT_GE(f.host->log.size(), 5u);
  EXPECT_EQ(f.host->log[1], "stopSounds");
  EXPECT_EQ(f.host->log[2], "stopTimer 7");
  EXPECT_EQ(f.host->log[3], "releaseDC");
  EXPECT_EQ(f.host->log[4], "uncapture");
  EXPECT_EQ(g_staticData, nullptr);
  EXPECT_EQ(f.app().quitRequested, 1);
  for (void* p : {(void*)f.app().frameBitmap, (void*)f.app().backgroundTile, (void*)f.app().display,
                  (void*)f.app().palette, (void*)f.app().packedBobs, (void*)f.app().maskedBobs,
                  (void*)f.app().logoPicture, (void*)f.app().font, f.app().windowDC})
    EXPECT_EQ(p, nullptr);
}

TEST(SaverWindow, LogoTextsAndFontAreReadOnlyWithAValidLogo) {
  SaverFixtureOptions options;
  options.world.withLogo = true;
  {
    SaverFixture f(options);
    ASSERT_TRUE(f.Create());
    EXPECT_STREQ(f.app().logoText, "Tillands");
    EXPECT_STREQ(f.app().introText, "Welcome");
    EXPECT_STREQ(f.app().scrollText, "Scroll");
    EXPECT_EQ(f.app().fontForegroundRemap, nullptr);  // no font palettes in this world
  }
  {
    // Logo.txt without Logo.bmp: the texts stay empty.
    SaverFixture f(options);
    std::filesystem::remove(f.dir.File("Logo.bmp"));
    ASSERT_TRUE(f.Create());
    EXPECT_EQ(f.app().logoPicture, nullptr);
    EXPECT_EQ(f.app().logoText[0], 0);
    EXPECT_EQ(f.app().introText[0], 0);
  }
  {
    // A logo wider than 320 pixels is dropped, and the texts with it; a TEXT that is a number or
    // unquoted is ignored.
    SaverFixture f(options);
    f.dir.Write("Logo.bmp",
                tl_test::MakeBmp8(321, 2, std::vector<uint8_t>(642, 5), tl_test::SyntheticPaletteRgb()));
    ASSERT_TRUE(f.Create());
    EXPECT_EQ(f.app().logoPicture, nullptr);
    EXPECT_EQ(f.app().logoText[0], 0);
  }
  {
    SaverFixture f(options);
    f.dir.WriteText("Logo.txt",
                    "[LOGOTEXT]\nTEXT = 17\n[INTROTEXT]\nTEXT = Hallo\n[SCROLLTEXT]\nTEXT = \"ok\"\n");
    ASSERT_TRUE(f.Create());
    ASSERT_NE(f.app().logoPicture, nullptr);
    EXPECT_EQ(f.app().logoText[0], 0);
    EXPECT_EQ(f.app().introText[0], 0);
    EXPECT_STREQ(f.app().scrollText, "ok");
  }
}

TEST(SaverWindow, PackedDataFileIsRegisteredAndReleasedWithTheWindow) {
  SaverFixtureOptions options;
  options.world.withLogo = true;
  SaverFixture f(options);
  // Logo.txt only inside data_v.dat: found there once the archive is registered.
  const std::string text = f.dir.ReadText("Logo.txt");
  std::filesystem::remove(f.dir.File("Logo.txt"));
  std::string error;
  ASSERT_TRUE(
      XB_WriteArchive("data_v.dat", {{"Logo.txt", std::vector<uint8_t>(text.begin(), text.end())}}, &error))
      << error;
  ASSERT_TRUE(f.Create());
  ASSERT_NE(f.app().archive, nullptr);
  EXPECT_EQ(RegisteredArchive(0), f.app().archive);
  EXPECT_STREQ(f.app().logoText, "Tillands");
  f.host->DestroyWindow();
  EXPECT_EQ(f.app().archive, nullptr);
  EXPECT_EQ(RegisteredArchive(0), nullptr);  // no slot is left pointing at a deleted archive
  EXPECT_TRUE(Contains(f.host->released, "archive"));
}

TEST(SaverWindow, PresentCopiesEveryRowIntoThePaddedSurface) {
  SaverFixture f;
  ASSERT_TRUE(f.Create());
  SaverApplication& app = f.app();
  XB_BITMAP& frame = *app.frameBitmap;
  for (int y = 0; y < frame.GetHeight(); ++y)
    for (int x = 0; x < frame.GetWidth(); ++x) frame.Row(y)[x] = static_cast<uint8_t>(x * 3 + y * 7);
  PresentFrame(app, *f.host);
  const auto& shown = f.host->surface->PresentedIndices();
  ASSERT_EQ(shown.size(), size_t(322) * 200);
  EXPECT_EQ(f.host->surface->Pitch(), 324u);
  for (int y = 0; y < 200; ++y)
    ASSERT_EQ(std::memcmp(&shown[size_t(y) * 322], frame.Row(y), 322), 0) << "row " << y;
}

// A frame shorter than the surface leaves the rows below it showing what they showed, also on an
// unpadded surface, which hands its pixel memory to the shown frame (only a frame that covers every
// row may skip keeping the old pixels).
TEST(SaverWindow, PresentKeepsTheSurfaceBelowAShorterFrame) {
  SaverFixtureOptions options;
  options.width = 320;
  SaverFixture f(options);
  ASSERT_TRUE(f.Create());
  SaverApplication& app = f.app();
  ASSERT_EQ(f.host->surface->Pitch(), 320u);
  std::memset(f.host->surface->Pixels(), 9, size_t(320) * 200);
  delete app.frameBitmap;
  app.frameBitmap = new XB_BITMAP(320, 150);
  for (uint8_t round = 1; round <= 3; ++round) {
    app.frameBitmap->Fill(round);
    PresentFrame(app, *f.host);
    const auto& shown = f.host->surface->PresentedIndices();
    ASSERT_EQ(shown.size(), size_t(320) * 200);
    EXPECT_EQ(std::count(shown.begin(), shown.begin() + 320 * 150, round), 320 * 150) << int(round);
    EXPECT_EQ(std::count(shown.begin() + 320 * 150, shown.end(), 9), 320 * 50) << int(round);
  }
}

TEST(SaverWindow, WithoutLogoTheIntroEndsOnTheFirstTick) {
  SaverFixture f;
  ASSERT_TRUE(f.Create());
  f.Tick();
  EXPECT_EQ(f.app().introOver, 1);
  EXPECT_EQ(f.app().frameCounter, 0u);
  EXPECT_EQ(f.app().phaseDeadline, f.clock.NowMs() + kScenePhaseLengthMs);
}

TEST(SaverWindow, IntroEndsAfterTenSecondsAndTheSceneClockStartsThen) {
  SaverFixtureOptions options;
  options.world.withLogo = true;
  SaverFixture f(options);
  ASSERT_TRUE(f.Create());
  SaverApplication& app = f.app();
  const uint32_t start = f.clock.NowMs();
  f.Tick();
  // First tick: the static data arrives after the first frame was shown.
  EXPECT_EQ(app.staticDataReady, 1);
  EXPECT_NE(g_staticData, nullptr);
  EXPECT_NE(app.shadowTable, nullptr);
  EXPECT_TRUE(f.host->quitCodes.empty());
  EXPECT_EQ(f.host->surface->PresentCount(), 1u);
  while (f.clock.NowMs() + 83 < start + kIntroLengthMs) {
    f.Tick();
    ASSERT_EQ(app.introOver, 0);
    ASSERT_EQ(app.phaseDeadline, f.clock.NowMs() + kScenePhaseLengthMs);
  }
  f.Tick();
  EXPECT_GE(f.clock.NowMs(), start + kIntroLengthMs);
  EXPECT_EQ(app.introOver, 1);
  EXPECT_EQ(app.frameCounter, 0u);
  EXPECT_EQ(app.phaseDeadline, f.clock.NowMs() + kScenePhaseLengthMs);
  EXPECT_EQ(app.actors[0].activity, 12);  // the big logo dissolves in
  const uint32_t deadline = app.phaseDeadline;
  f.Tick();
  EXPECT_EQ(app.phaseDeadline, deadline);  // no longer pushed on
  EXPECT_EQ(app.frameCounter, 1u);
}

TEST(SaverWindow, MissingShadowTableQuitsOnTheFirstTickWithoutDestroying) {
  SaverFixture f;
  f.dir.WriteText("Data_V/VE_Graphics/remaptables/remaptables.ini",
                  "[RemapTable]\nName = \"Identity\"\nFileName = \"identity.bmp\"\n");
  ASSERT_TRUE(f.Create());
  f.Tick();
  EXPECT_EQ(f.host->quitCodes, std::vector<int>{0});
  EXPECT_TRUE(f.host->alive);
  EXPECT_TRUE(f.host->released.empty());
  EXPECT_EQ(f.app().shadowTable, nullptr);
  // Later ticks do not ask again.
  f.Tick();
  EXPECT_EQ(f.host->quitCodes.size(), 1u);
}

TEST(SaverWindow, ForeignTimersEraseAndOtherMessages) {
  SaverFixture f;
  ASSERT_TRUE(f.Create());
  f.Tick();
  const uint32_t presents = f.host->surface->PresentCount();
  const uint32_t frames = f.app().frameCounter;
  SaverEventResult r = SaverWindowEvent(f.app(), *f.host, SaverEvent{SaverEventKind::Timer, 99});
  EXPECT_EQ(r.value, 1);
  EXPECT_FALSE(r.callDefault);
  EXPECT_EQ(f.host->surface->PresentCount(), presents);
  EXPECT_EQ(f.app().frameCounter, frames);
  r = SaverWindowEvent(f.app(), *f.host, SaverEvent{SaverEventKind::EraseBackground});
  EXPECT_EQ(r.value, 1);
  EXPECT_FALSE(r.callDefault);
  EXPECT_TRUE(SaverWindowEvent(f.app(), *f.host, SaverEvent{SaverEventKind::Other}).callDefault);
  EXPECT_TRUE(f.host->alive);
}

TEST(SaverWindow, KeysAndButtonsEndTheSaver) {
  for (SaverEventKind kind : {SaverEventKind::KeyDown, SaverEventKind::LeftButtonDown,
                              SaverEventKind::RightButtonDown, SaverEventKind::MiddleButtonDown}) {
    SaverFixture f;
    ASSERT_TRUE(f.Create());
    SaverEventResult r = SaverWindowEvent(f.app(), *f.host, SaverEvent{kind});
    EXPECT_EQ(r.value, 0);
    EXPECT_FALSE(f.host->alive);
    EXPECT_EQ(f.app().quitRequested, 1);
  }
}

TEST(SaverWindow, MouseRule) {
  SaverFixture f;
  SaverApplication& app = f.app();
  auto move = [&](int16_t x, int16_t y) { return MouseMoveEndsSaver(app, x, y); };
  // The first position is only remembered.
  EXPECT_FALSE(move(100, 100));
  EXPECT_EQ(app.firstMouseX, 100);
  // Back and forth within 5 pixels, and exactly 5 in both directions, never ends it.
  for (int i = 0; i < 50; ++i) EXPECT_FALSE(move(int16_t(100 + (i % 11) - 5), int16_t(100 - (i % 11) + 5)));
  EXPECT_FALSE(move(105, 95));
  EXPECT_EQ(app.firstMouseX, 100);  // never updated
  // 3 then another 3 in the same direction: 6 from the first position.
  EXPECT_FALSE(move(103, 100));
  EXPECT_TRUE(move(106, 100));
  EXPECT_TRUE(move(100, 94));

  // Positions are signed 16-bit: a negative coordinate (a second monitor to the left) works.
  SaverFixture g;
  EXPECT_FALSE(MouseMoveEndsSaver(g.app(), -200, 10));
  EXPECT_FALSE(MouseMoveEndsSaver(g.app(), -196, 14));
  EXPECT_TRUE(MouseMoveEndsSaver(g.app(), -206, 10));

  // Through the event: the window is destroyed.
  SaverFixture h;
  ASSERT_TRUE(h.Create());
  SaverWindowEvent(h.app(), *h.host, SaverEvent{SaverEventKind::MouseMove, 0, 10, 10});
  SaverWindowEvent(h.app(), *h.host, SaverEvent{SaverEventKind::MouseMove, 0, 13, 10});
  EXPECT_TRUE(h.host->alive);
  SaverWindowEvent(h.app(), *h.host, SaverEvent{SaverEventKind::MouseMove, 0, 16, 10});
  EXPECT_FALSE(h.host->alive);
}

}  // namespace
