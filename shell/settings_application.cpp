// The settings over the application record's fields.
#include "scene/saver_application.h"
#include "shell/settings.h"

void LoadSettings(SaverApplication& application, SettingsStore& store) {
  SaverSettings settings{application.frameRate, application.numAnimations, application.soundOn,
                         application.scaleSetting, application.monitorsSetting};
  LoadSettings(settings, store);
  application.scaleSetting = settings.scale;
  application.monitorsSetting = settings.monitors;
  application.frameRate = settings.frameRate;
  application.numAnimations = settings.numAnimations;
  application.soundOn = settings.soundOn;
}

void SaveSettings(SaverApplication& application, SettingsStore& store) {
  SaveSettings(SaverSettings{application.frameRate, application.numAnimations, application.soundOn,
                             application.scaleSetting, application.monitorsSetting},
               store);
}
