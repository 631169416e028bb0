// The frame update: the phase clock with its wind-down and switches, the text phase, the intro, the
// typed logo text, the scroll band, the logos and the background.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "graphics/bob_authoring.h"
#include "graphics/xb_bitmap.h"
#include "graphics/xb_bob_manager.h"
#include "graphics/xb_font.h"
#include "graphics/xb_palette.h"
#include "graphics/xb_picture.h"
#include "scene/activities.h"
#include "scene/actor_pool.h"
#include "scene/frame_update.h"
#include "scene/walking.h"
#include "staticdata/ve_animation_state.h"
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

int CountColourIn(const SaverApplication& app, uint8_t colour, int x0, int y0, int x1, int y1) {
  int n = 0;
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x)
      n += app.frameBitmap->GetPixels()[y * app.frameBitmap->GetPitchInBytes() + x] == colour;
  }
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

// One actor of every kind the wind-down treats differently, each with its own bobs, level and place,
// so that a treatment applied to the wrong slot, kind or bob shows.
struct WindDownCast {
  int32_t activity;
  uint16_t level;
  float x, y;
  uint16_t n;  // bobs 100 + 10 n + layer
};

ActorSlot& PlaceCastMember(SceneWorld& world, const WindDownCast& c) {
  ActorSlot& a = world.NewActor();
  a.activity = c.activity;
  a.counter = c.level;
  a.x = c.x, a.y = c.y;
  for (int k = 0; k < 8; ++k) a.layerBob[k] = static_cast<uint16_t>(100 + 10 * c.n + k);
  return a;
}

TEST(PhaseClock, WindDownClearsFadesOrSendsAwayEachActivityByItsRule) {
  SceneWorld world(Screen(800, 600));
  SaverApplication& app = world.app();
  world.BeginScenes();
  world.ClearPool();
  world.sound.played.clear();
  // Cleared at once: waiting records, flowers, a falling tree.
  const std::vector<int32_t> cleared = {1, 2, 3, 8, 52};
  // Dissolve out from the level they have now: pictures, monuments, clay pits; the big logo; buildings.
  // (A monument still dissolving in holds the wind-down back; see the next test.)
  const std::vector<int32_t> picture = {5, 7, 37, 46, 47}, logo = {12, 13}, layered = {6, 9, 21, 22, 30, 31};
  // Walking and working creatures whose target is on the screen are sent off it.
  const std::vector<int32_t> sentAway = {16, 17, 18, 19, 24, 25, 27, 28, 33, 34,
                                         39, 40, 42, 43, 44, 54, 55, 56, 57};
  // Left alone: already leaving or fading out, a chopped tree.
  const std::vector<int32_t> untouched = {10, 11, 14, 20, 23, 26, 29, 32, 35, 38, 41, 45, 48, 51};

  // A growing tree in the lowest slot: the first pass already makes it shrink, so the repeated pass
  // goes on past it and marks every other slot.
  ActorSlot& tree = world.NewActor();
  tree.layerBob[kMainPicture] = 33, tree.layerBob[kShadowBob] = 29;
  PlaceTimedObject(app, tree, 33, 100000, 650, 500, kActTreeGrowing);
  std::vector<std::pair<ActorSlot*, WindDownCast>> cast;
  uint16_t n = 0;
  auto add = [&](const std::vector<int32_t>& kinds) {
    for (int32_t activity : kinds) {
      const WindDownCast c{activity, static_cast<uint16_t>(40 + 3 * n), 100.0f + 7 * n, 150.0f + 5 * n, n};
      ++n;
      ActorSlot& a = PlaceCastMember(world, c);
      if (activity >= 16) {
        std::strcpy(a.creatureName, "civilian");
        a.animationCode = 1000;
        a.targetX = 300.0f + n, a.targetY = 400.0f;  // on the screen
        a.deadline = world.clock.NowMs() + 600000;
      }
      cast.emplace_back(&a, c);
    }
  };
  for (const auto* kinds : {&cleared, &picture, &logo, &layered, &sentAway, &untouched}) add(*kinds);
  ActorSlot& offTarget = world.NewActor();  // a walker already on its way out keeps its target
  std::strcpy(offTarget.creatureName, "civilian");
  offTarget.activity = kActWalker, offTarget.animationCode = 1000;
  offTarget.x = 400, offTarget.y = 300, offTarget.targetX = 800, offTarget.targetY = 300;

  // The clock alone (no actor moves on), so that each slot still holds the actor it was given.
  app.phaseDeadline = world.clock.NowMs() + 1;
  RunPhaseClock(app);
  EXPECT_FALSE(app.windingDown) << "one millisecond before the deadline the phase goes on";
  app.phaseDeadline = world.clock.NowMs();  // exactly at the deadline
  RunPhaseClock(app);
  ASSERT_TRUE(app.windingDown);

  auto in = [](const std::vector<int32_t>& kinds, int32_t a) {
    return std::find(kinds.begin(), kinds.end(), a) != kinds.end();
  };
  for (auto& [a, c] : cast) {
    SCOPED_TRACE("activity " + std::to_string(c.activity));
    if (in(cleared, c.activity)) {
      EXPECT_EQ(a->activity, kActFree);
      continue;
    }
    EXPECT_TRUE(a->finishPending);
    if (in(picture, c.activity) || in(logo, c.activity) || in(layered, c.activity)) {
      const int32_t expected = in(picture, c.activity) ? kActPictureFadingOut
                               : in(logo, c.activity)  ? kActLogoFadingOut
                                                       : kActLayeredFadingOut;
      EXPECT_EQ(a->activity, expected);
      EXPECT_EQ(a->counter, c.level) << "dissolves out from the level it has";
      EXPECT_EQ(a->x, c.x);
      EXPECT_EQ(a->y, c.y);
      for (int k = 0; k < 8; ++k) {
        if (expected != kActLayeredFadingOut && k != kMainPicture && k != kMainMask) continue;
        EXPECT_EQ(a->layerBob[k], 100 + 10 * c.n + k) << "layer " << k;
      }
    } else if (in(sentAway, c.activity)) {
      EXPECT_EQ(a->activity, kActWalker);
      EXPECT_FALSE(OnScreen(app, a->targetX, a->targetY)) << a->targetX << "," << a->targetY;
    } else {
      EXPECT_EQ(a->activity, c.activity) << "left alone";
    }
  }
  EXPECT_EQ(offTarget.activity, kActWalker);
  EXPECT_EQ(offTarget.targetX, 800.0f) << "a target on the screen edge already counts as off the screen";
  EXPECT_EQ(tree.activity, kActTreeShrinking);
  EXPECT_EQ(tree.layerBob[kShadowBob], 33) << "the shrinking tree's shadow is its picture";
  EXPECT_GE(tree.deadline, world.clock.NowMs() + 10000);
  EXPECT_LE(tree.deadline, world.clock.NowMs() + 30000);
  EXPECT_NE(std::find(world.sound.played.begin(), world.sound.played.end(), "plop"),
            world.sound.played.end());

  // The phase ends only on a frame that finds every slot free.
  ActorSlot& last = offTarget;
  for (ActorSlot& a : app.actors) {
    if (&a != &last) ClearActor(a);
  }
  RunPhaseClock(app);
  EXPECT_TRUE(app.windingDown);
  EXPECT_FALSE(app.textPhase);
  ClearActor(last);
  world.clock.Advance(1);
  app.frameCounter = 77;
  RunPhaseClock(app);
  EXPECT_FALSE(app.windingDown);
  ASSERT_TRUE(app.textPhase);
  const uint32_t switchedAt = world.clock.NowMs();
  EXPECT_EQ(app.phaseDeadline, switchedAt + kTextPhaseMs);
  for (const SiteRecord& site : app.sites) EXPECT_FALSE(site.active);
  EXPECT_EQ(app.statistics.phaseSwitches, 1u);
  EXPECT_EQ(app.frameCounter, 0u) << "the new phase counts its frames from 0";
}

// The first pass is not the only one: on every frame of the wind-down a creature whose target lies on
// the screen (one that got it after the first pass) is sent off the screen, for good.
TEST(PhaseClock, EveryWindDownFrameSendsOffCreaturesWhoseTargetIsOnTheScreen) {
  SceneWorld world(Screen(800, 600));
  SaverApplication& app = world.app();
  world.BeginScenes();
  world.ClearPool();
  ActorSlot& holder = world.NewActor();  // keeps the pool busy: an activity the wind-down leaves alone
  holder.activity = 15;
  app.phaseDeadline = world.clock.NowMs();
  RunPhaseClock(app);  // the first pass
  ASSERT_TRUE(app.windingDown);
  int frame = 0;
  for (int32_t activity : {kActIdle, kActWoodcutterChopping, kActLargeVisitorStanding, kActFamilyMeeting}) {
    SCOPED_TRACE("activity " + std::to_string(activity) + ", frame " + std::to_string(++frame));
    ActorSlot& a = world.NewActor();
    std::strcpy(a.creatureName, "civilian");
    a.activity = activity, a.animationCode = 2000;
    a.x = 300, a.y = 250, a.targetX = 420, a.targetY = 330;
    RunPhaseClock(app);
    ASSERT_TRUE(app.windingDown);
    EXPECT_EQ(a.activity, kActWalker);
    EXPECT_EQ(a.animationCode, 1000);
    EXPECT_TRUE(a.finishPending);
    EXPECT_FALSE(OnScreen(app, a.targetX, a.targetY)) << a.targetX << "," << a.targetY;
  }
}

TEST(PhaseClock, TextPhaseHasOnlyCrossingWalkersAndEndsIntoAFreshScenePhase) {
  SceneWorld world(Screen(800, 600));
  SaverApplication& app = world.app();
  world.BeginScenes();
  world.ClearPool();
  app.phaseDeadline = world.clock.NowMs();
  world.Tick();  // an empty pool: the wind-down ends on its first frame
  ASSERT_TRUE(app.textPhase);
  const uint32_t textStart = world.clock.NowMs() - world.TickMs();
  EXPECT_EQ(world.Count(kActWaitingWalker) + world.Count(kActWalker), app.numAnimations)
      << "without a logo picture the text page has its walkers";
  // Without a logo picture, walkers only cross the page from side to side.
  int walkers = 0;
  while (world.clock.NowMs() < textStart + kTextPhaseMs) {
    for (const ActorSlot& a : app.actors) {
      EXPECT_TRUE(a.activity == 0 || a.activity == kActWaitingWalker || a.activity == kActWalker)
          << a.activity;
      if (a.activity == kActWalker) {
        ++walkers;
        EXPECT_TRUE(a.targetX == -50.0f || a.targetX == 850.0f) << a.targetX;
      }
    }
    world.Tick(4);
  }
  EXPECT_GT(walkers, 0);
  int frames = 0;
  while (app.textPhase && frames++ < 12 * 120) world.Tick();
  ASSERT_FALSE(app.textPhase);
  const uint32_t sceneStart = world.clock.NowMs() - world.TickMs();
  EXPECT_EQ(app.statistics.phaseSwitches, 2u);
  EXPECT_EQ(app.phaseDeadline, sceneStart + kScenePhaseMs);
  EXPECT_EQ(app.actors[0].activity, kActLogoFadingIn) << "the next scene phase starts with the big logo";
  EXPECT_TRUE(app.monumentInUse);
  EXPECT_FALSE(app.cornerLogoOn);
  int plots = 0;
  for (const SiteRecord& site : app.sites) plots += site.active;
  EXPECT_EQ(plots, PlotCountForHeight(600)) << "the sites are laid out again";
}

TEST(PhaseClock, TextPhaseWithALogoPictureHasNoWalkers) {
  SceneWorld world(Screen(800, 600));
  SaverApplication& app = world.app();
  InstallLogo(app);
  world.BeginScenes();
  world.ClearPool();
  app.phaseDeadline = world.clock.NowMs();
  world.Tick();
  ASSERT_TRUE(app.textPhase);
  for (int i = 0; i < 12 * 10; ++i) {
    world.Tick();
    for (const ActorSlot& a : app.actors) ASSERT_EQ(a.activity, kActFree);
  }
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

// The intro and the text page lay out a 640 x 480 page centred on the screen: bob 55 at its corner, the
// logo picture centred in a 320 x 300 box at (292, 136) of the page, the text centred on the screen 220
// pixels above the middle, its shadow 3 pixels right and down.
TEST(TextPage, LogoPageAndTextAreCentredOnTheScreen) {
  // Odd and even margins: every half is an integer division, and either kind of margin hides an
  // off-by-one on one side.
  for (const auto& [W, H] : {std::pair{811, 612}, std::pair{812, 611}}) {
    SCOPED_TRACE(std::to_string(W) + " x " + std::to_string(H));
    SceneWorld world(Screen(W, H));
    SaverApplication& app = world.app();
    InstallFont(app);
    InstallLogo(app);
    std::strcpy(app.scrollText, "ABC");  // the band shows in neither page
    std::strcpy(app.introText, "AB");
    std::strcpy(app.logoText, "ABC");
    for (int phase = 0; phase < 2; ++phase) {
      SCOPED_TRACE(phase == 0 ? "intro" : "text page");
      app.introOver = static_cast<uint8_t>(phase);
      app.textPhase = static_cast<uint8_t>(phase);
      app.frameCounter = 100;
      app.introEndTime = world.clock.NowMs() + 10000;
      app.phaseDeadline = world.clock.NowMs() + kTextPhaseMs;
      UpdateFrame(app);
      const int pageX = (W - 640) / 2, pageY = (H - 480) / 2;
      EXPECT_EQ(CountColourIn(app, 231, pageX, pageY, pageX + 64, pageY + 48), 2 * 64 + 2 * 46)
          << "bob 55's border";
      EXPECT_EQ(CountColour(app, 231), 2 * 64 + 2 * 46);
      const int picX = (320 - 64) / 2 + pageX + 292, picY = (300 - 48) / 2 + pageY + 136;
      EXPECT_EQ(CountColourIn(app, 70, picX, picY, picX + 64, picY + 48), 64 * 48) << "the logo picture";
      EXPECT_EQ(CountColour(app, 70), 64 * 48);
      const int glyphs = phase == 0 ? 2 : 3;
      const int x = W / 2 - glyphs * (kGlyphW + 1) / 2, y = H / 2 - 220;
      EXPECT_EQ(CountColourIn(app, kForeground, x, y, x + glyphs * (kGlyphW + 1), y + kGlyphH),
                glyphs * kGlyphW * kGlyphH);
      EXPECT_EQ(CountColour(app, kForeground), glyphs * kGlyphW * kGlyphH);
      EXPECT_EQ(CountColourIn(app, kBackground, x + 3, y + kGlyphH, x + 3 + glyphs * (kGlyphW + 1),
                              y + kGlyphH + 3),
                glyphs * kGlyphW * 3)
          << "the shadow's rows below the text";
    }
  }
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
  // A missing colour table suppresses the band.
  delete app.fontForegroundRemap;
  app.fontForegroundRemap = nullptr;
  UpdateFrame(app);
  for (uint8_t colour : {kForeground, kBackground, uint8_t{5}}) {
    EXPECT_FALSE(FrameHasColourIn(app, colour, 0, 0, 800, 20)) << int{colour};
  }
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
    // Each logo's pixels lie exactly 20 pixels in from its corner, whatever the bob's own offsets.
    const int right = width > 800 ? 3 : 2, rw = 24 + 8 * right, lw = 24 + 8;
    const uint8_t rightInside = static_cast<uint8_t>(120 + 2 * right);
    EXPECT_EQ(CountColourIn(app, rightInside, width - 20 - rw, 600 - 32, width - 20, 600 - 20),
              (rw - 2) * 10);
    EXPECT_EQ(CountColour(app, rightInside), (rw - 2) * 10);
    EXPECT_EQ(CountColourIn(app, bob1, 20, 600 - 32, 20 + lw, 600 - 20), (lw - 2) * 10);
    EXPECT_EQ(CountColour(app, bob1), (lw - 2) * 10);
  }
}

// Each activity's drawing kind, checked against the operations its kind stands for, drawn by hand into a
// reference frame. Every one of the eight bobs is a different one, so drawing the wrong layer, the wrong
// library or the shadow at the wrong offset shows.
TEST(Drawing, EachActivityIsDrawnByItsKind) {
  SceneWorld world(Screen(320, 240));
  SaverApplication& app = world.app();
  world.BeginScenes();
  world.ClearPool();
  const std::vector<int32_t> picture = {7, 47}, shadowPicture = {8, 9, 50, 51, 52, 53},
                             dissolving = {5, 10, 46, 48}, droppedShadow = {12, 13, 14, 36, 37, 38},
                             layered = {6, 11, 21, 22, 23, 30, 31, 32}, none = {1, 2, 3, 4, 15};
  auto in = [](const std::vector<int32_t>& kinds, int32_t a) {
    return std::find(kinds.begin(), kinds.end(), a) != kinds.end();
  };
  const uint16_t bobs[8] = {4, 5, 6,  7,
                            8, 9, 35, 11};  // layer 1, 2, main (picture, mask), shadow, layer shadow
  const uint16_t level = 120;               // partly dissolved: thresholds matter
  XB_BITMAP reference(320, 240, 0);
  const uint8_t* shadow = app.shadowTable->GetData();
  XB_BOB_MANAGER& packed = *app.packedBobs;
  ActorSlot& a = world.NewActor();
  for (int32_t activity = 1; activity <= 57; ++activity) {
    SCOPED_TRACE("activity " + std::to_string(activity));
    const bool byBobs = in(picture, activity) || in(shadowPicture, activity) || in(dissolving, activity) ||
                        in(droppedShadow, activity) || in(layered, activity);
    if (!byBobs) continue;  // nothing, or a creature drawn by its animation state (below)
    a.activity = activity;
    a.counter = level;
    a.x = 150.7f, a.y = 120.9f;
    std::memcpy(a.layerBob, bobs, sizeof(bobs));
    app.frameBitmap->Fill(100);
    reference.Fill(100);
    BuildDrawOrder(app);
    DrawActors(app);
    const int16_t x = 150, y = 120;
    if (in(picture, activity)) {
      packed.DrawBob(8, reference, x, y, 0);
    } else if (in(shadowPicture, activity)) {
      app.maskedBobs->DrawBobShadow(35, reference, x, y, shadow);
      packed.DrawBob(8, reference, x, y, 0);
    } else if (in(dissolving, activity) || in(droppedShadow, activity)) {
      if (in(droppedShadow, activity))
        packed.DrawShadowThroughMask(9, level, reference, x + 2, y + 2, shadow);
      packed.DrawBobThroughMask(8, 9, level, reference, x, y, app.identityTable, app.identityTable);
    } else if (in(layered, activity)) {
      packed.DrawShadowThroughMask(11, level, reference, x, y, shadow);
      packed.DrawBobThroughMask(4, 5, level, reference, x, y, app.identityTable, app.identityTable);
      packed.DrawBobThroughMask(6, 7, level, reference, x, y, app.identityTable, app.identityTable);
      packed.DrawBobThroughMask(8, 9, level, reference, x, y, app.identityTable, app.identityTable);
    }
    ASSERT_EQ(std::memcmp(reference.GetPixels(), app.frameBitmap->GetPixels(), 320 * 240), 0);
  }
  // The kinds that draw nothing, and the creature kinds, which draw their animation state.
  for (int32_t activity : {1, 2, 3, 4, 15, 16, 20, 24, 29, 33, 35, 39, 45, 49, 54, 57}) {
    SCOPED_TRACE("activity " + std::to_string(activity));
    ClearActor(a);
    std::strcpy(a.creatureName, "civilian");
    a.x = 150, a.y = 120;
    ASSERT_TRUE(WalkToPoint(app, a, 20, 20, activity, 1000));
    a.activity = activity;
    app.frameBitmap->Fill(100);
    reference.Fill(100);
    BuildDrawOrder(app);
    DrawActors(app);
    if (activity >= 16) DrawAnimation(a.animState, &reference, 150, 120);
    ASSERT_EQ(std::memcmp(reference.GetPixels(), app.frameBitmap->GetPixels(), 320 * 240), 0);
    EXPECT_EQ(CountColour(app, 100) < 320 * 240, activity >= 16) << "only creatures show";
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
