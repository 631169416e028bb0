#include "tests/shell/saver_window_fixture.h"

#include "graphics/graphics_storables.h"
#include "scene/sound_cue.h"
#include "shell/settings.h"
#include "staticdata/application_services.h"
#include "staticdata/ve_static_data_manager.h"

namespace tl_test {

SaverFixture::SaverFixture(const SaverFixtureOptions& options) {
  RegisterGraphicsStorables();
  WriteSyntheticWorld(dir.Path().string(), options.world);
  dir.Enter();
  app_ = CreateSaverApplication(nullptr);
  app_->screenWidth = options.width;
  app_->screenHeight = options.height;
  app_->screenBitsPerPixel = 8;
  app_->frameRate = options.frameRate;
  app_->numAnimations = 30;
  app_->soundOn = options.soundOn ? 1 : 0;
  app_->clock = &clock;
  sound = std::make_unique<SimulatedSoundSink>(clock, true);
  app_->soundSink = sound.get();
  host = std::make_unique<RecordingHost>(*app_);

  VE_APPLICATION_SERVICES services;
  services.palette = [] { return g_application ? g_application->palette : nullptr; };
  services.soundCue = [](const char* name) { PlayApplicationSoundCue(name); };
  services.warning = [this](const char* text) { warnings.emplace_back(text); };
  SetApplicationServices(services);
}

SaverFixture::~SaverFixture() {
  if (host->alive) host->DestroyWindow();
  DestroyStaticData();
  ResetApplicationServices();
  DestroySaverApplication(app_);
  dir.Leave();
}

bool SaverFixture::Create() {
  app_->introEndTime = clock.NowMs() + kIntroLengthMs;
  app_->phaseDeadline = clock.NowMs() + kScenePhaseLengthMs;
  SaverWindowEvent(*app_, *host, SaverEvent{SaverEventKind::Create});
  return host->alive;
}

void SaverFixture::Tick() {
  clock.Advance(FrameTimerPeriodMs(app_->frameRate));
  SaverWindowEvent(*app_, *host, SaverEvent{SaverEventKind::Timer, app_->timerId});
}

}  // namespace tl_test
