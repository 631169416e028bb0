// A scene per monitor. The saver window covers every monitor; with the "Monitors" setting at "each"
// (the default) every monitor gets a whole scene of its own: sized to that monitor, with its own
// automatic scale from its own height, its own random streams, its own intro, text pages, scroll band
// and logos. Dead areas of the virtual screen (where no monitor is) stay black. "span" keeps the one
// scene over the whole window.
//
// How it fits the rest of the saver without touching a rule of one scene: every scene is a complete
// application record. The process's record is the primary monitor's scene (it alone has the sound
// sink, takes the input and owns the frame timer); each further monitor gets a record of its own.
// Around each scene's work the process-wide record pointer and the C-style random generator are
// switched to that scene, so whatever reaches them from below (sound cues of the static data, its
// random colour choices) belongs to the scene being drawn. The static data manager is created once,
// by the first scene's first tick, and the others only read it. One timer tick draws every scene
// first and then presents them all, so each scene's first frame is drawn before the static data
// exists, exactly as in a run with one scene.
//
// Seeds: scene k (0 = primary) seeds its generators with the window's seed + k, so a capture of
// scene k equals a headless run of that monitor's size, scale and seed + k, byte for byte.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "display/display_surface.h"
#include "shell/saver_window.h"

struct SaverApplication;

// The scenes' rectangles in window coordinates (real pixels), primary first. `monitors` are in
// virtual-screen coordinates and `window` is the window's rectangle there. Span, no monitors, or no
// monitor with pixels inside the window: one rectangle, the whole window. Each: every monitor clipped
// to the window; empty ones and exact duplicates (mirrored outputs) are dropped, and so is a monitor
// that wholly contains another listed one (an "all outputs" monitor some servers list besides the
// real ones). The front end lists the primary monitor first; the first monitor kept is the primary.
std::vector<SurfaceRect> MonitorSceneRects(const std::vector<SurfaceRect>& monitors,
                                           const SurfaceRect& window, uint8_t monitorsSetting);

class MonitorScenes {
 public:
  explicit MonitorScenes(SaverApplication& primary);
  ~MonitorScenes();
  MonitorScenes(const MonitorScenes&) = delete;
  MonitorScenes& operator=(const MonitorScenes&) = delete;

  // Before the window is created (the primary record's settings and deadlines are in place): one
  // scene per rectangle (window coordinates, real pixels; the first is the primary). With one
  // rectangle nothing changes: the record keeps the size and scale the start-up gave it.
  void Arrange(const std::vector<SurfaceRect>& rects);
  // LayOutSites for every scene (after the window's creation).
  void LayOutSites();

  size_t Count() const { return scenes_.size(); }
  SaverApplication& Scene(size_t index) { return *scenes_[index].app; }
  const SurfaceRect& Area(size_t index) const { return scenes_[index].area; }
  SaverApplication& Primary() { return primary_; }

  // Create, Destroy and the frame timer for all scenes; everything else (input) goes to the primary's
  // rules. Called by SaverWindowEvent while this set is the active one.
  SaverEventResult Event(SaverWindowHost& host, const SaverEvent& event);

  // The monitors changed while the saver runs: every scene's window objects are released, the scenes
  // are laid out over the new rectangles and start afresh (intro first). The static data stays. The
  // front end has already moved and sized its window to the new virtual screen.
  void Rearrange(SaverWindowHost& host, const std::vector<SurfaceRect>& rects);

  // The window's size or its monitors changed while the saver runs (a window resized by the user or
  // by a tiling window manager, a RandR change): the scenes for the window as it is now, `monitors`
  // as SaverPlatform::SceneMonitors gives them. Only remembered here; the next frame tick lays the
  // scenes out (LayOutAsRequested), so that a drag's stream of sizes rebuilds them once per tick, for
  // the last size, and never in the middle of a frame.
  void RequestLayout(const std::vector<SurfaceRect>& monitors, int32_t width, int32_t height);
  // Called by SaverWindowEvent before a frame tick: the requested layout, when it differs from the
  // running one, through Rearrange (every scene starts again with its intro; the static data stays),
  // after SaverWindowHost::ScenesMoving. False when the window could not be rebuilt and is destroyed.
  bool LayOutAsRequested(SaverWindowHost& host);

 private:
  struct SceneEntry {
    SaverApplication* app = nullptr;  // the primary's record for scene 0, owned otherwise
    SurfaceRect area;                 // window coordinates, real pixels
    uint32_t randState = 1;           // the scene's C-style generator between its turns
  };
  class Scope;
  class Host;

  void Build(const std::vector<SurfaceRect>& rects);
  void DropOwnRecords();
  bool CreateAll(SaverWindowHost& host);
  void ReleaseAll(SaverWindowHost& host);

  SaverApplication& primary_;
  std::vector<SceneEntry> scenes_;
  std::vector<SurfaceRect> requested_;  // the last layout asked for; empty when none is pending
};

// The set of the running saver window, or null (one scene, no set). SaverWindowEvent consults it.
MonitorScenes* ActiveMonitorScenes();
void SetActiveMonitorScenes(MonitorScenes* scenes);
