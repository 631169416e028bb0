#include "shell/saver_startup.h"

#include <cstdio>

#include "graphics/graphics_storables.h"
#include "scene/saver_application.h"
#include "scene/sound_cue.h"
#include "shell/run_application.h"
#include "staticdata/application_services.h"
#include "staticdata/ve_static_data_manager.h"

namespace {
void PrintWarning(const char* text) {
  std::fprintf(stderr, "Warning! %s\n", text);
}
}  // namespace

SaverProcess::SaverProcess(const FrontEndSeams& seams) {
  XB_SetFatalMode(seams.fatalMode);
  XB_SetFatalReporter(seams.fatalReporter);
  RegisterGraphicsStorables();
  if (seams.registerResources) seams.registerResources();

  capture_ = std::make_unique<FrameCapture>(seams.readCaptureFromEnvironment ? CaptureOptionsFromEnvironment()
                                                                             : CaptureOptions{});
  if (capture_->Options().Active()) SetActiveFrameCapture(capture_.get());

  app_ = CreateSaverApplication(nullptr);
  app_->clock = capture_->Clock() ? capture_->Clock() : seams.clock;
  app_->soundSink = seams.sound;

  VE_APPLICATION_SERVICES services;
  services.palette = [] { return g_application ? g_application->palette : nullptr; };
  services.soundCue = &PlayApplicationSoundCue;
  services.warning = seams.warning ? seams.warning : std::function<void(const char*)>(&PrintWarning);
  SetApplicationServices(services);
}

SaverProcess::~SaverProcess() {
  DestroyStaticData();
  DestroySaverApplication(app_);
  ResetApplicationServices();
  SetActiveFrameCapture(nullptr);
  XB_SetFatalReporter(nullptr);
}

RunMode SaverProcess::Run(const char* commandLine, SaverPlatform& platform) {
  return RunApplication(*app_, commandLine, platform);
}
