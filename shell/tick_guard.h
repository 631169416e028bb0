// Frame ticks never run inside each other. A modal box shown from inside a tick (a warning of the
// static data during the first tick's load) runs its own message loop, and that loop delivers further
// frame timer messages and input to the saver window. Were they handled, UpdateFrame and PresentFrame
// would run inside themselves, and a key that destroys the window would free the frame and the static
// data under the tick that is still using them.
//
// So a front end passes every window event through GuardedSaverWindowEvent with one TickGuard per
// window, and its SaverWindowHost::DestroyWindow asks DeferDestroy() first:
//   - a frame timer event that arrives during a tick is dropped (the next one draws the next frame);
//   - a destruction asked for during a tick is carried out right after the tick has ended.
#pragma once

#include <cstdint>

#include "shell/saver_window.h"

class TickGuard {
 public:
  bool InTick() const { return inTick_; }
  // True when a tick runs: the destruction is noted and happens when the tick ends. False: destroy now.
  bool DeferDestroy() {
    if (!inTick_) return false;
    destroyPending_ = true;
    return true;
  }
  // Timer events dropped because they arrived during a tick.
  uint64_t DroppedTicks() const { return dropped_; }

 private:
  friend SaverEventResult GuardedSaverWindowEvent(SaverApplication&, SaverWindowHost&, TickGuard&,
                                                  const SaverEvent&);
  bool inTick_ = false;
  bool destroyPending_ = false;
  uint64_t dropped_ = 0;
};

SaverEventResult GuardedSaverWindowEvent(SaverApplication& app, SaverWindowHost& host, TickGuard& guard,
                                         const SaverEvent& event);
