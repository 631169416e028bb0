#include "tests/scene/scene_world.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "base/xb_storable.h"
#include "graphics/graphics_storables.h"
#include "graphics/xb_bitmap.h"
#include "graphics/xb_bob_manager.h"
#include "graphics/xb_palette.h"
#include "scene/actor_pool.h"
#include "scene/frame_update.h"
#include "scene/sound_cue.h"
#include "scene/walking.h"
#include "staticdata/application_services.h"
#include "staticdata/ve_static_data_manager.h"

namespace tl_test {

SceneWorld::SceneWorld(const SceneWorldOptions& options) {
  RegisterGraphicsStorables();
  WriteSyntheticWorld(dir_.Path().string(), options.world);
  dir_.Enter();

  app_ = CreateSaverApplication(nullptr);
  SaverApplication& a = *app_;
  a.screenWidth = static_cast<uint16_t>(options.width);
  a.screenHeight = static_cast<uint16_t>(options.height);
  a.screenBitsPerPixel = 8;
  a.frameRate = options.frameRate;
  a.numAnimations = options.numAnimations;
  a.soundOn = options.soundOn ? 1 : 0;
  a.random.Seed(options.seed);
  a.clock = &clock;
  a.soundSink = &sound;

  VE_APPLICATION_SERVICES services;
  services.palette = [] { return g_application ? g_application->palette : nullptr; };
  services.soundCue = [](const char* name) { PlayApplicationSoundCue(name); };
  services.warning = [this](const char* text) { warnings.emplace_back(text); };
  SetApplicationServices(services);
  SeedPortableRand(options.seed);

  a.palette = new XB_PALETTE();
  a.palette->SetFromRgbTriples(SyntheticPaletteRgb().data());
  a.frameBitmap = new XB_BITMAP(options.width, options.height, 0);
  a.frameBitmap->SetPalette(a.palette);
  a.packedBobs = static_cast<XB_BOB_MANAGER*>(
      LoadObjectFromFile("Data_V\\VE_Graphics\\BobManager\\Screensaver_Packed.bmd"));
  a.maskedBobs = static_cast<XB_BOB_MANAGER*>(
      LoadObjectFromFile("Data_V\\VE_Graphics\\BobManager\\Screensaver_Masked.bmd"));
  for (int i = 0; i < 256; ++i) a.identityTable[i] = static_cast<uint8_t>(i);
  XB_RECT tile;
  if (a.packedBobs && a.packedBobs->GetBobRect(0, tile)) {
    a.backgroundTile = new XB_BITMAP(tile.width, tile.height, 0);
    a.backgroundTile->SetPalette(a.palette);
    a.packedBobs->DrawBob(0, *a.backgroundTile, 0, 0, 0);
  }
  a.display = reinterpret_cast<DisplaySurface*>(&displaySentinel_);  // never dereferenced by the scenes

  EnsureStaticData();
  a.staticDataReady = 1;
  a.shadowTable = g_staticData ? g_staticData->GetRemapTableByName("shadow") : nullptr;
  EXPECT_NE(a.shadowTable, nullptr);
  EXPECT_TRUE(warnings.empty()) << warnings.front();
}

SceneWorld::~SceneWorld() {
  DestroyStaticData();
  ResetApplicationServices();
  app_->display = nullptr;
  app_->shadowTable = nullptr;
  DestroySaverApplication(app_);
  dir_.Leave();
}

uint32_t SceneWorld::TickMs() const {
  return 1000u / (app_->frameRate ? app_->frameRate : 1u);
}

void SceneWorld::Tick(int count) {
  for (int i = 0; i < count; ++i) {
    UpdateFrame(*app_);
    clock.Advance(TickMs());
  }
}

void SceneWorld::BeginScenes() {
  app_->introOver = 1;
  app_->phaseDeadline = clock.NowMs() + kScenePhaseMs;
  LayOutSites(*app_);
  StartScenePhase(*app_);
  app_->frameCounter = 0;
}

int SceneWorld::Count(int32_t activity) const {
  int n = 0;
  for (const ActorSlot& actor : app_->actors) n += actor.activity == activity;
  return n;
}

ActorSlot* SceneWorld::First(int32_t activity) {
  for (ActorSlot& actor : app_->actors) {
    if (actor.activity == activity) return &actor;
  }
  return nullptr;
}

ActorSlot& SceneWorld::NewActor() {
  const uint16_t slot = AllocateActor(*app_);
  EXPECT_NE(slot, kNoActor);
  return app_->actors[slot == kNoActor ? 0 : slot];
}

void SceneWorld::ClearPool() {
  for (ActorSlot& actor : app_->actors) ClearActor(actor);
  for (SiteRecord& site : app_->sites) site = SiteRecord{};
}

bool FrameHasColourIn(const SaverApplication& app, uint8_t colour, int x0, int y0, int x1, int y1) {
  const XB_BITMAP& frame = *app.frameBitmap;
  for (int y = std::max(0, y0); y < std::min(frame.GetHeight(), y1); ++y) {
    const uint8_t* row = frame.GetPixels() + static_cast<size_t>(y) * frame.GetPitchInBytes();
    for (int x = std::max(0, x0); x < std::min(frame.GetWidth(), x1); ++x) {
      if (row[x] == colour) return true;
    }
  }
  return false;
}

}  // namespace tl_test
