// The test seam of the file layer: counters that are zero (disarmed) unless a test arms them.
#include <atomic>
#include <cerrno>

#include "base/platform/xb_platform.h"

namespace xb_platform {

namespace {

struct Fault {
  std::atomic<int> countdown{0};  // 0 = disarmed; otherwise calls left until the failing one
  std::atomic<int> error{0};
  std::atomic<bool> persist{false};
};

Fault g_faults[static_cast<int>(FaultKind::Count)];
std::atomic<bool> g_armed{false};

}  // namespace

void InjectFault(FaultKind kind, int nth, int error, bool persist) {
  Fault& f = g_faults[static_cast<int>(kind)];
  f.error = error;
  f.persist = persist;
  f.countdown = nth > 0 ? nth : 0;
  g_armed = true;
}

void ClearFaults() {
  for (Fault& f : g_faults) f.countdown = 0;
  g_armed = false;
}

bool FaultDue(FaultKind kind) {
  if (!g_armed.load(std::memory_order_relaxed)) return false;
  Fault& f = g_faults[static_cast<int>(kind)];
  int left = f.countdown.load();
  while (left > 0) {
    // A persistent fault stays at 1: every call from the n-th on fails.
    const int next = (left == 1 && f.persist) ? 1 : left - 1;
    if (f.countdown.compare_exchange_weak(left, next)) {
      if (left != 1) return false;
      errno = f.error.load();
      return true;
    }
  }
  return false;
}

}  // namespace xb_platform
