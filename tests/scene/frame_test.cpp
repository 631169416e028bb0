// The frame update: the phase clock with its wind-down and switches, the text phase, the intro, the
// typed logo text, the scroll band, the logos and the background.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "graphics/bob_authoring.h"
#include "graphics/xb_bitmap.h"
#include "graphics/xb_font.h"
#include "graphics/xb_palette.h"
#include "graphics/xb_picture.h"
#include "scene/activities.h"
#include "scene/actor_pool.h"
#include "scene/frame_update.h"
#include "scene/walking.h"
#include "tests/scene/scene_world.h"

namespace {

using tl_test::FrameHasColourIn;
using tl_test::SceneWorld;
using tl_test::SceneWorldOptions;

SceneWorldOptions Screen(int w, int h) {
  SceneWorldOptions options;
  options.width = w;
  options.height = h;
  return options;
}

int CountColour(const SaverApplication& app, uint8_t colour) {
  const XB_BITMAP& frame = *app.frameBitmap;
  int n = 0;
  const uint8_t* p = frame.GetPixels();
  for (int i = 0; i < frame.GetWidth() * frame.GetHeight(); ++i) n += p[i] == colour;
  return n;
}

constexpr uint8_t kForeground = 250;
constexpr uint8_t kBackground = 251;
constexpr int kGlyphW = 5, kGlyphH = 7;

// A font whose glyphs A, B, C are solid 5 x 7 blocks, and colour tables that paint every glyph pixel
// in one colour, so that drawn text can be counted in the frame.
void InstallFont(SaverApplication& app) {
  FontBuilder builder(9);
  XB_BITMAP glyph(kGlyphW, kGlyphH, 0);
  glyph.Fill(5);
  for (uint8_t c : {'A', 'B', 'C', 'i'}) builder.AddGlyph(c, glyph, 0);
  app.font = builder.Build();
  uint8_t fg[256], bg[256];
  std::memset(fg, kForeground, sizeof(fg));
  std::memset(bg, kBackground, sizeof(bg));
  app.fontForegroundRemap = new XB_REMAP_TABLE(fg);
  app.fontBackgroundRemap = new XB_REMAP_TABLE(bg);
}

void InstallLogo(SaverApplication& app) {
  std::vector<uint8_t> pixels(64 * 48, 70);
  const std::vector<uint8_t> bmp = tl_test::MakeBmp8(64, 48, pixels, tl_test::SyntheticPaletteRgb());
  app.logoPicture = new XB_PICTURE("logo.bmp", bmp.data(), static_cast<uint32_t>(bmp.size()));
}

TEST(FrameUpdate, IntroWithoutLogoEndsWithTheFirstFrame) {
  SceneWorld world(Screen(640, 480));
  SaverApplication& app = world.app();
  app.introEndTime = world.clock.NowMs() + 10000;
  UpdateFrame(app);
  EXPECT_EQ(app.introEndTime, world.clock.NowMs());
  EXPECT_GT(CountColour(app, 56), 600 * 400) << "the page without logo is palette index 56";
  EXPECT_EQ(app.frameCounter, 1u);
}

TEST(FrameUpdate, ScenePhaseTilesTheBackground) {
  SceneWorld world(Screen(650, 470));  // not a multiple of the 32 x 32 tile
  SaverApplication& app = world.app();
  world.BeginScenes();
  world.ClearPool();
  UpdateFrame(app);
  XB_BITMAP reference(650, 470, 0);
  for (int j = 0; j <= 469 / 32; ++j) {
    for (int i = 0; i <= 649 / 32; ++i) app.backgroundTile->BlitTo(reference, 32 * i, 32 * j);
  }
  // Everything above the right-hand logo is background.
  EXPECT_EQ(std::memcmp(reference.GetPixels(), app.frameBitmap->GetPixels(), 650 * 420), 0);
  EXPECT_EQ(app.frameBitmap->GetPixels()[0], 100);
  EXPECT_EQ(app.frameBitmap->GetPixels()[8], 103);
}

TEST(PhaseClock, ScenePhaseWindsDownIntoTextPhaseAndBack) {
  SceneWorld world(Screen(800, 600));
  SaverApplication& app = world.app();
  world.BeginScenes();
  EXPECT_EQ(app.actors[0].activity, kActLogoFadingIn);
  EXPECT_EQ(world.Count(kActWaitingWalker), app.numAnimations);
  EXPECT_TRUE(app.monumentInUse);
  EXPECT_FALSE(app.cornerLogoOn);
  const uint32_t sceneStart = world.clock.NowMs();
  world.Tick(12 * 60);
  EXPECT_FALSE(app.windingDown);
  while (world.clock.NowMs() < sceneStart + kScenePhaseMs) world.Tick();
  world.Tick();
  ASSERT_TRUE(app.windingDown);
  EXPECT_EQ(world.Count(kActWaitingWalker), 0) << "waiting walkers are cleared at once";
  int frames = 0;
  while (!app.textPhase && frames++ < 12 * 600) {
    for (const ActorSlot& a : app.actors) {
      if (a.activity) {
        EXPECT_TRUE(a.finishPending) << a.activity;
      }
    }
    world.Tick();
  }
  ASSERT_TRUE(app.textPhase);
  EXPECT_FALSE(app.windingDown);
  const uint32_t textStart = world.clock.NowMs() - world.TickMs();
  EXPECT_EQ(app.phaseDeadline, textStart + kTextPhaseMs);
  for (const SiteRecord& site : app.sites) EXPECT_FALSE(site.active);
  EXPECT_EQ(app.statistics.phaseSwitches, 1u);

  // Without a logo picture, walkers only cross the page from side to side.
  while (world.clock.NowMs() < textStart + kTextPhaseMs) {
    for (const ActorSlot& a : app.actors) {
      EXPECT_TRUE(a.activity == 0 || a.activity == kActWaitingWalker || a.activity == kActWalker)
          << a.activity;
      if (a.activity == kActWalker) {
        EXPECT_TRUE(a.targetX == -50.0f || a.targetX == 850.0f);
      }
    }
    world.Tick();
  }
  frames = 0;
  while (app.textPhase && frames++ < 12 * 120) world.Tick();
  ASSERT_FALSE(app.textPhase);
  EXPECT_EQ(app.statistics.phaseSwitches, 2u);
  EXPECT_EQ(app.actors[0].activity, kActLogoFadingIn) << "the next scene phase starts with the big logo";
  int plots = 0;
  for (const SiteRecord& site : app.sites) plots += site.active;
  EXPECT_EQ(plots, 2);
  EXPECT_GE(app.phaseDeadline, world.clock.NowMs() + kScenePhaseMs - 2 * world.TickMs());
}

TEST(PhaseClock, MonumentDissolvingInDelaysTheWindDown) {
  SceneWorld world(Screen(800, 600));
  SaverApplication& app = world.app();
  world.BeginScenes();
  ActorSlot& monument = world.NewActor();
  PlaceObject(app, monument, 50, 51, 400, 500, kActMonumentFadingIn);
  monument.counter = 200;
  app.phaseDeadline = world.clock.NowMs();
  world.Tick(50);
  EXPECT_FALSE(app.windingDown);
  EXPECT_EQ(monument.activity, kActMonumentFadingIn);
  int frames = 0;
  while (!app.windingDown && frames++ < 20) world.Tick();
  EXPECT_EQ(frames, 5) << "four more frames to full level, then the wind-down";
  EXPECT_EQ(monument.activity, kActPictureFadingOut) << "it dissolves out from where it stands";
  EXPECT_EQ(monument.counter, 253);
}

TEST(PhaseClock, GrowingTreeShrinksAtTheEndOfThePhase) {
  SceneWorld world(Screen(800, 600));
  SaverApplication& app = world.app();
  world.BeginScenes();
  ActorSlot& tree = world.NewActor();
  tree.layerBob[kMainPicture] = tree.layerBob[kShadowBob] = 33;
  PlaceTimedObject(app, tree, 33, 100000, 300, 300, kActTreeGrowing);
  app.phaseDeadline = world.clock.NowMs();
  world.Tick();
  EXPECT_EQ(tree.activity, kActTreeShrinking);
  int frames = 0;
  while (tree.activity && frames++ < 100) world.Tick();
  EXPECT_EQ(tree.activity, 0) << "33 -> 32 -> 31 -> gone, one step every 6 frames";
  EXPECT_LE(frames, 20);
}

TEST(TextPage, LogoTextIsTypedOutOneCharacterEverySecondFrame) {
  SceneWorld world(Screen(800, 600));
  SaverApplication& app = world.app();
  InstallFont(app);
  InstallLogo(app);
  std::strcpy(app.logoText, "ABC");
  app.introOver = 1;
  app.textPhase = 1;
  app.phaseDeadline = world.clock.NowMs() + kTextPhaseMs;
  for (uint32_t k = 0; k <= 3; ++k) {
    app.frameCounter = 2 * k;
    UpdateFrame(app);
    EXPECT_EQ(CountColour(app, kForeground), static_cast<int>(k) * kGlyphW * kGlyphH) << k;
    EXPECT_GT(CountColour(app, 230), 0) << "page bob 55";
    EXPECT_GT(CountColour(app, 70), 0) << "the logo picture";
    EXPECT_GT(CountColour(app, 0), 0) << "background 0 with a logo";
  }
  // Odd frames show the same as the even frame before.
  app.frameCounter = 3;
  UpdateFrame(app);
  EXPECT_EQ(CountColour(app, kForeground), kGlyphW * kGlyphH);
  // Without a font (or a colour) no text at all, everything else as before.
  delete app.fontBackgroundRemap;
  app.fontBackgroundRemap = nullptr;
  app.frameCounter = 6;
  UpdateFrame(app);
  EXPECT_EQ(CountColour(app, kForeground), 0);
  EXPECT_GT(CountColour(app, 230), 0);
}

TEST(TextPage, WithoutLogoShowsBob54OnIndex56) {
  SceneWorld world(Screen(800, 600));
  SaverApplication& app = world.app();
  app.introOver = 1;
  app.textPhase = 1;
  app.phaseDeadline = world.clock.NowMs() + kTextPhaseMs;
  UpdateFrame(app);
  EXPECT_TRUE(FrameHasColourIn(app, 220, 240, 150, 272, 180));
  EXPECT_EQ(app.frameBitmap->GetPixels()[5], 56);
}

TEST(ScrollBand, CreepsInFromTheRightAlongTheTopEdge) {
  SceneWorld world(Screen(800, 600));
  SaverApplication& app = world.app();
  InstallFont(app);
  std::strcpy(app.scrollText, "AB");
  world.BeginScenes();
  app.frameCounter = 0;
  UpdateFrame(app);
  EXPECT_EQ(CountColour(app, kForeground), 0) << "x = W: nothing shows yet";
  app.frameCounter = 2;  // x = 794: the first glyph shows at 794..798, the second would start at 800
  UpdateFrame(app);
  EXPECT_EQ(CountColour(app, kForeground), kGlyphW * kGlyphH);
  EXPECT_TRUE(FrameHasColourIn(app, kForeground, 794, 0, 799, kGlyphH));
  // The shadow at (+3, +3): 3 of its columns are on the screen, 7 rows, minus 2 x 4 under the glyph.
  EXPECT_EQ(CountColour(app, kBackground), 3 * 7 - 2 * 4);
  app.frameCounter = 400;  // far to the left: the band is filled with copies across the screen
  UpdateFrame(app);
  EXPECT_TRUE(FrameHasColourIn(app, kForeground, 0, 0, 20, kGlyphH));
  EXPECT_TRUE(FrameHasColourIn(app, kForeground, 780, 0, 800, kGlyphH));
  EXPECT_FALSE(FrameHasColourIn(app, kForeground, 0, kGlyphH, 800, 40));
}

TEST(Logos, RightLogoDependsOnWidthAndCornerLogoOnTheFlag) {
  for (int width : {800, 801}) {
    SceneWorld world(Screen(width, 600));
    SaverApplication& app = world.app();
    world.BeginScenes();
    UpdateFrame(app);
    const uint8_t bob2 = 124, bob3 = 126, bob1 = 122;
    EXPECT_EQ(FrameHasColourIn(app, bob2, width - 100, 500, width, 600), width == 800);
    EXPECT_EQ(FrameHasColourIn(app, bob3, width - 100, 500, width, 600), width == 801);
    EXPECT_FALSE(FrameHasColourIn(app, bob1, 0, 500, 100, 600));
    app.cornerLogoOn = 1;
    UpdateFrame(app);
    EXPECT_TRUE(FrameHasColourIn(app, bob1, 0, 500, 100, 600));
  }
}

TEST(Drawing, ActorsAreDrawnInDepthOrderWithTheirKinds) {
  SceneWorld world(Screen(640, 480));
  SaverApplication& app = world.app();
  world.BeginScenes();
  world.ClearPool();
  // A clay pit picture fully shown, and a flower drawn over its lower part.
  ActorSlot& pit = world.NewActor();
  PlaceTimedObject(app, pit, 44, 100000, 200, 200, kActClayPitStanding);
  ActorSlot& flower = world.NewActor();
  flower.layerBob[kShadowBob] = 20;
  PlaceTimedObject(app, flower, 20, 100000, 200, 205, kActFlower);
  UpdateFrame(app);
  EXPECT_TRUE(FrameHasColourIn(app, 180, 186, 181, 214, 199)) << "the pit";
  EXPECT_TRUE(FrameHasColourIn(app, 140 + 20 % 8, 198, 198, 202, 204)) << "the flower in front";
  // A dissolving picture at level 1 shows only the pixels of level 0 and 1.
  pit.activity = kActClayPitFadingIn;
  pit.layerBob[kMainMask] = 45;
  pit.counter = 0;
  flower.activity = 0;
  UpdateFrame(app);
  const int shown = CountColour(app, 180) + CountColour(app, 181);
  EXPECT_GT(shown, 0);
  EXPECT_LT(shown, 30 * 20 / 10);
}

}  // namespace
