#include "scene/sound_cue.h"

#include <cstdio>
#include <cstring>

#include "scene/actor_pool.h"

void PlaySoundCue(SaverApplication& app, const char* name) {
  if (!name || !app.soundOn) return;
  char resource[128];
  if (SameName(name, "baby")) {
    std::snprintf(resource, sizeof(resource), "%s%d", name, static_cast<int>(SceneRandomRange(app, 1, 4)));
  } else if (SameName(name, "sheep")) {
    std::snprintf(resource, sizeof(resource), "%s%d", name, static_cast<int>(SceneRandomRange(app, 1, 5)));
  } else {
    std::strncpy(resource, name, sizeof(resource) - 1);
    resource[sizeof(resource) - 1] = 0;
  }
  if (SameName(resource, "prayingman") && SceneRandomRange(app, 1, 100) < 85) return;
  ++app.statistics.soundCuesRequested;
  if (app.soundSink) app.soundSink->PlayNamedSound(resource);
}

void PlayApplicationSoundCue(const char* name) {
  if (g_application) PlaySoundCue(*g_application, name);
}
