#include "scene/saver_application.h"

#include "scene/frame_update.h"

#include <chrono>
#include <new>

#include "base/xb_file.h"
#include "graphics/xb_bitmap.h"
#include "graphics/xb_bob_manager.h"
#include "graphics/xb_font.h"
#include "graphics/xb_palette.h"
#include "graphics/xb_picture.h"

SaverApplication* g_application = nullptr;

const char* SceneKindName(int kind) {
  static const char* const kNames[kSceneCount] = {
      "big logo", "monument", "forest", "small building", "large building", "flowers", "clay pit",
      "soldiers", "stork",    "tree",   "herd",           "family",         "shepherd"};
  if (kind < 0 || kind >= kSceneCount) return "unknown";
  return kNames[kind];
}

SaverApplication* CreateSaverApplication(void* instance) {
  // Value-initialisation zeroes every plain field; the generator gets its own default state.
  SaverApplication* app = new SaverApplication();
  app->instance = instance;
  app->firstMouseX = -1;
  app->firstMouseY = -1;
  app->displayScale = 1;
  g_application = app;
  return app;
}

template <class T>
static void DeleteOwned(T*& pointer) {
  delete pointer;
  pointer = nullptr;
}

void DestroySaverApplication(SaverApplication* application) {
  if (!application) return;
  DeleteOwned(application->frameBitmap);
  DeleteOwned(application->redraw);
  DeleteOwned(application->backgroundTile);
  DeleteOwned(application->palette);
  DeleteOwned(application->packedBobs);
  DeleteOwned(application->maskedBobs);
  DeleteOwned(application->archive);
  DeleteOwned(application->logoPicture);
  DeleteOwned(application->font);
  DeleteOwned(application->fontForegroundRemap);
  DeleteOwned(application->fontBackgroundRemap);
  if (g_application == application) g_application = nullptr;
  delete application;
}

uint32_t SaverNow(SaverApplication& app) {
  if (app.clock) return app.clock->NowMs();
  using namespace std::chrono;
  return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}
