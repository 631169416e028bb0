#include "shell/tick_guard.h"

#include "scene/saver_application.h"

SaverEventResult GuardedSaverWindowEvent(SaverApplication& app, SaverWindowHost& host, TickGuard& guard,
                                         const SaverEvent& event) {
  if (event.kind != SaverEventKind::Timer || event.timerId != app.timerId)
    return SaverWindowEvent(app, host, event);
  if (guard.inTick_) {
    ++guard.dropped_;
    return SaverEventResult{};  // handled: the frame timer's message, nothing to draw now
  }
  guard.inTick_ = true;
  const SaverEventResult result = SaverWindowEvent(app, host, event);
  guard.inTick_ = false;
  if (guard.destroyPending_) {
    guard.destroyPending_ = false;
    host.DestroyWindow();
  }
  return result;
}
