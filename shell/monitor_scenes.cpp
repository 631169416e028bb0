#include "shell/monitor_scenes.h"

#include <algorithm>
#include <cstring>

#include "display/display_scale.h"
#include "scene/frame_update.h"
#include "scene/saver_application.h"
#include "scene/walking.h"
#include "shell/frame_capture.h"
#include "shell/settings.h"
#include "staticdata/application_services.h"
#include "staticdata/ve_static_data_manager.h"

namespace {

MonitorScenes* g_activeScenes = nullptr;

bool Empty(const SurfaceRect& r) {
  return r.right <= r.left || r.bottom <= r.top;
}

bool Same(const SurfaceRect& a, const SurfaceRect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

bool Contains(const SurfaceRect& outer, const SurfaceRect& inner) {
  return outer.left <= inner.left && outer.top <= inner.top && outer.right >= inner.right &&
         outer.bottom >= inner.bottom;
}

// A new record for a further monitor: the primary's settings and deadlines, no sound sink (one scene
// speaks), everything else as a fresh record has it.
SaverApplication* NewSceneRecord(const SaverApplication& primary) {
  SaverApplication* const current = g_application;
  SaverApplication* app = CreateSaverApplication(primary.instance);
  g_application = current;  // the process's record stays the process-wide one
  app->window = primary.window;
  app->screenBitsPerPixel = primary.screenBitsPerPixel;
  app->frameRate = primary.frameRate;
  app->numAnimations = primary.numAnimations;
  app->scaleSetting = primary.scaleSetting;
  app->monitorsSetting = primary.monitorsSetting;
  app->soundOn = primary.soundOn;
  app->introEndTime = primary.introEndTime;
  app->phaseDeadline = primary.phaseDeadline;
  app->clock = primary.clock;
  app->soundSink = nullptr;
  return app;
}

// A scene that starts again after a display change: the state of a run's start, deadlines from now.
void RestartSceneState(SaverApplication& app) {
  const uint32_t now = SaverNow(app);
  app.introEndTime = now + kIntroLengthMs;
  app.phaseDeadline = now + kScenePhaseLengthMs;
  app.introOver = app.windingDown = app.textPhase = app.cornerLogoOn = app.monumentInUse = 0;
  app.frameCounter = 0;
  std::memset(app.actors, 0, sizeof app.actors);
  std::memset(app.drawOrder, 0, sizeof app.drawOrder);
  std::memset(app.sites, 0, sizeof app.sites);
}

}  // namespace

std::vector<SurfaceRect> MonitorSceneRects(const std::vector<SurfaceRect>& monitors,
                                           const SurfaceRect& window, uint8_t monitorsSetting) {
  const SurfaceRect whole{0, 0, window.right - window.left, window.bottom - window.top};
  if (monitorsSetting == kMonitorsSpan) return {whole};
  struct Clipped {
    SurfaceRect rect;
  };
  std::vector<Clipped> clipped;
  for (const SurfaceRect& m : monitors) {
    const SurfaceRect r{std::max(m.left, window.left), std::max(m.top, window.top),
                        std::min(m.right, window.right), std::min(m.bottom, window.bottom)};
    if (Empty(r)) continue;
    if (std::any_of(clipped.begin(), clipped.end(), [&](const Clipped& c) { return Same(c.rect, r); }))
      continue;
    clipped.push_back({r});
  }
  // A monitor around another one is not a screen of its own.
  std::vector<Clipped> kept;
  for (size_t i = 0; i < clipped.size(); ++i) {
    bool around = false;
    for (size_t j = 0; j < clipped.size() && !around; ++j)
      around = j != i && Contains(clipped[i].rect, clipped[j].rect);
    if (!around) kept.push_back(clipped[i]);
  }
  if (kept.empty()) return {whole};
  std::vector<SurfaceRect> rects;
  for (const Clipped& c : kept)
    rects.push_back(SurfaceRect{c.rect.left - window.left, c.rect.top - window.top,
                                c.rect.right - window.left, c.rect.bottom - window.top});
  return rects;
}

// ---------------------------------------------------------------------------------------------------

// Makes one scene the process's current one: the record pointer and the C-style generator are the
// scene's while the scope lasts.
class MonitorScenes::Scope {
 public:
  Scope(MonitorScenes& set, SceneEntry& scene) : set_(set), scene_(scene) {
    g_application = scene.app;
    SeedPortableRand(scene.randState);
  }
  ~Scope() {
    scene_.randState = PortableRandState();
    g_application = &set_.primary_;
  }
  Scope(const Scope&) = delete;
  Scope& operator=(const Scope&) = delete;

 private:
  MonitorScenes& set_;
  SceneEntry& scene_;
};

// The window's host as one scene sees it: its own client rectangle and scale, its own seed, and the
// one frame timer kept by the primary scene.
class MonitorScenes::Host final : public SaverWindowHost {
 public:
  Host(SaverWindowHost& host, const SaverApplication& app, const SurfaceRect& area, uint32_t index)
      : host_(host), app_(app), area_(area), index_(index) {}

  void* AcquireWindowDC() override { return host_.AcquireWindowDC(); }
  void ReleaseWindowDC(void* dc) override { host_.ReleaseWindowDC(dc); }
  uint16_t StartFrameTimer(uint16_t id, uint32_t periodMs) override {
    return index_ == 0 ? host_.StartFrameTimer(id, periodMs) : id;
  }
  void StopFrameTimer(uint16_t id) override {
    if (index_ == 0) host_.StopFrameTimer(id);
  }
  SurfaceRect ClientRect() override {
    return SurfaceRect{area_.left, area_.top, area_.left + app_.screenWidth, area_.top + app_.screenHeight};
  }
  DisplaySurface* CreateDisplay(const SurfaceRect& rect, uint16_t bitsPerPixel, uint8_t fill) override {
    return host_.CreateSceneDisplay(rect, bitsPerPixel, fill, app_.displayScale);
  }
  const uint8_t* LoadResource(int number, const char* typeName) override {
    return host_.LoadResource(number, typeName);
  }
  uint32_t RandomSeed(uint32_t now) override { return host_.RandomSeed(now); }
  uint32_t SceneSeedOffset() override { return index_; }
  void StopAllSounds() override { host_.StopAllSounds(); }
  void DestroyWindow() override { host_.DestroyWindow(); }
  void PostQuit(int code) override { host_.PostQuit(code); }
  void NoteReleased(const char* field) override { host_.NoteReleased(field); }

 private:
  SaverWindowHost& host_;
  const SaverApplication& app_;
  SurfaceRect area_;
  uint32_t index_;
};

MonitorScenes::MonitorScenes(SaverApplication& primary) : primary_(primary) {
  scenes_.push_back(SceneEntry{&primary_, {}, 1});
}

MonitorScenes::~MonitorScenes() {
  if (g_activeScenes == this) g_activeScenes = nullptr;
  DropOwnRecords();
  g_application = &primary_;
}

void MonitorScenes::DropOwnRecords() {
  for (SceneEntry& scene : scenes_)
    if (scene.app != &primary_) DestroySaverApplication(scene.app);
  scenes_.resize(1);
}

void MonitorScenes::Build(const std::vector<SurfaceRect>& rects) {
  DropOwnRecords();
  if (rects.empty()) return;
  for (size_t i = 0; i < rects.size(); ++i) {
    if (i > 0) scenes_.push_back(SceneEntry{NewSceneRecord(primary_), {}, 1});
    SceneEntry& scene = scenes_[i];
    scene.area = rects[i];
    SaverApplication& app = *scene.app;
    // The same rule as for one scene over the whole screen, applied to this monitor.
    const uint32_t width = static_cast<uint32_t>(std::min(rects[i].right - rects[i].left, 65535));
    const uint32_t height = static_cast<uint32_t>(std::min(rects[i].bottom - rects[i].top, 65535));
    app.displayScale = ChooseDisplayScale(height, app.scaleSetting);
    app.screenWidth = static_cast<uint16_t>(width / app.displayScale);
    app.screenHeight = static_cast<uint16_t>(height / app.displayScale);
  }
}

void MonitorScenes::Arrange(const std::vector<SurfaceRect>& rects) {
  if (rects.size() <= 1) {
    DropOwnRecords();
    if (!rects.empty()) scenes_[0].area = rects[0];
    return;
  }
  Build(rects);
}

void MonitorScenes::LayOutSites() {
  // One scene: exactly the call of a saver without monitor scenes (no generator switching).
  if (scenes_.size() == 1) return ::LayOutSites(primary_);
  for (SceneEntry& scene : scenes_) {
    Scope scope(*this, scene);
    ::LayOutSites(*scene.app);
  }
}

bool MonitorScenes::CreateAll(SaverWindowHost& host) {
  for (size_t i = 0; i < scenes_.size(); ++i) {
    SceneEntry& scene = scenes_[i];
    Scope scope(*this, scene);
    Host sceneHost(host, *scene.app, scene.area, static_cast<uint32_t>(i));
    if (!InitSaverWindow(*scene.app, sceneHost)) return false;
  }
  return true;
}

void MonitorScenes::ReleaseAll(SaverWindowHost& host) {
  for (size_t i = 0; i < scenes_.size(); ++i) {
    SceneEntry& scene = scenes_[i];
    Scope scope(*this, scene);
    Host sceneHost(host, *scene.app, scene.area, static_cast<uint32_t>(i));
    ReleaseSaverWindow(*scene.app, sceneHost);
  }
}

SaverEventResult MonitorScenes::Event(SaverWindowHost& host, const SaverEvent& event) {
  SaverEventResult result;
  switch (event.kind) {
    case SaverEventKind::Create:
      if (CreateAll(host))
        host.CaptureMouseAndHideCursor();
      else
        host.DestroyWindow();
      return result;
    case SaverEventKind::Destroy:
      DestroyStaticData();
      host.StopAllSounds();
      ReleaseAll(host);
      host.ShowCursorAndReleaseMouse();
      primary_.quitRequested = 1;
      host.PostQuit(1);
      return result;
    case SaverEventKind::Timer: {
      if (event.timerId != primary_.timerId) {
        result.value = 1;
        return result;
      }
      FrameCapture* capture = ActiveFrameCapture();
      if (capture) capture->BeforeTick(primary_);
      // Every scene is drawn before any is presented: the first tick's presentation creates the static
      // data, which no scene's first frame may see (a run with one scene draws it before too).
      for (SceneEntry& scene : scenes_) {
        Scope scope(*this, scene);
        UpdateFrame(*scene.app);
      }
      std::vector<const SaverApplication*> shown;
      for (size_t i = 0; i < scenes_.size(); ++i) {
        SceneEntry& scene = scenes_[i];
        Scope scope(*this, scene);
        Host sceneHost(host, *scene.app, scene.area, static_cast<uint32_t>(i));
        PresentFrame(*scene.app, sceneHost);
        shown.push_back(scene.app);
      }
      if (capture) {
        std::vector<SurfaceRect> areas;
        for (const SceneEntry& scene : scenes_) areas.push_back(scene.area);
        capture->AfterPresentScenes(shown, areas);
      }
      return result;
    }
    default:
      return SaverWindowEventOfOneScene(primary_, host, event);
  }
}

void MonitorScenes::Rearrange(SaverWindowHost& host, const std::vector<SurfaceRect>& rects) {
  // Only the scenes' window objects go; the static data and the input state stay.
  if (scenes_.size() > 1) {
    ReleaseAll(host);
  } else {
    ReleaseSaverWindow(primary_, host);
  }
  RestartSceneState(primary_);
  if (rects.size() > 1) {
    Build(rects);
  } else {
    DropOwnRecords();
    if (!rects.empty()) Build(rects);
  }
  const bool ok = scenes_.size() > 1 ? CreateAll(host) : InitSaverWindow(primary_, host);
  if (!ok) {
    host.DestroyWindow();
    return;
  }
  LayOutSites();
}

void MonitorScenes::RequestLayout(const std::vector<SurfaceRect>& monitors, int32_t width, int32_t height) {
  requested_ = MonitorSceneRects(monitors, SurfaceRect{0, 0, std::max(width, 1), std::max(height, 1)},
                                 primary_.monitorsSetting);
}

bool MonitorScenes::LayOutAsRequested(SaverWindowHost& host) {
  if (requested_.empty()) return true;
  const std::vector<SurfaceRect> rects = std::move(requested_);
  requested_.clear();
  bool same = rects.size() == scenes_.size();
  for (size_t i = 0; same && i < rects.size(); ++i) same = Same(rects[i], scenes_[i].area);
  // A size that came and went within one tick, or a RandR event that changed nothing we use.
  if (same) return true;
  host.ScenesMoving();
  Rearrange(host, rects);
  return !primary_.quitRequested;
}

MonitorScenes* ActiveMonitorScenes() {
  return g_activeScenes;
}

void SetActiveMonitorScenes(MonitorScenes* scenes) {
  g_activeScenes = scenes;
}
