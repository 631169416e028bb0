#include "shell/run_application.h"

#include "display/display_scale.h"
#include "scene/saver_application.h"
#include "scene/walking.h"
#include "shell/monitor_scenes.h"
#include "shell/settings.h"

RunMode RunApplication(SaverApplication& app, const char* commandLine, SaverPlatform& platform) {
  if (!ParseCommandLine(app, commandLine)) return RunMode::None;
  LoadSettings(app, platform.Settings());
  if (app.configureMode) {
    platform.RunSettingsDialog(app);
    return RunMode::Configure;
  }
  if (app.passwordMode) return RunMode::Password;
  platform.ReadScreenMetrics(app);
  if (app.previewMode) {
    const int64_t parent = ParseDecimalLikeAtol(app.modeArgument);
    if (parent == 0) return RunMode::None;
    platform.RunPreview(app, parent);
    return RunMode::Preview;
  }
  // The scenes over the window, before the scale divides the record's size (rectangles are in real
  // pixels; each monitor's scene takes its own scale).
  const std::vector<SurfaceRect> sceneRects = MonitorSceneRects(
      platform.SceneMonitors(), SurfaceRect{0, 0, app.screenWidth, app.screenHeight}, app.monitorsSetting);
  // Large screens: the scene runs at a whole fraction of the screen and the front end enlarges each
  // frame (the window itself still covers the whole screen).
  app.displayScale = ChooseDisplayScale(app.screenHeight, app.scaleSetting);
  app.screenWidth = static_cast<uint16_t>(app.screenWidth / app.displayScale);
  app.screenHeight = static_cast<uint16_t>(app.screenHeight / app.displayScale);
  if (!StartSaverMode(app, platform.Settings(), platform)) return RunMode::Saver;
  MonitorScenes scenes(app);
  scenes.Arrange(sceneRects);
  SetActiveMonitorScenes(&scenes);
  platform.CreateSaverWindow(app);
  // Also after a failed initialisation: the loop then only collects the quit that the window's
  // destruction posted.
  scenes.LayOutSites();
  platform.MakeSaverWindowTopmost();
  app.quitRequested = 0;
  platform.RunSaverMessageLoop(app);
  SetActiveMonitorScenes(nullptr);
  return RunMode::Saver;
}
