#include "base/xb_atomic_file.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <set>

#include "base/platform/xb_platform.h"

namespace {

// Temporary files of this process that are not yet committed or removed. A spin lock rather than
// std::mutex: the MinGW runtimes without POSIX threads have no std::mutex, and the lock is held for
// one set operation only.
std::atomic_flag g_pendingLock = ATOMIC_FLAG_INIT;
std::set<std::string>& Pending() {
  static std::set<std::string> pending;
  return pending;
}

struct PendingGuard {
  PendingGuard() {
    while (g_pendingLock.test_and_set(std::memory_order_acquire)) {
    }
  }
  ~PendingGuard() { g_pendingLock.clear(std::memory_order_release); }
};

void AddPending(const std::string& path) {
  PendingGuard hold;
  Pending().insert(path);
}

void DropPending(const std::string& path) {
  PendingGuard hold;
  Pending().erase(path);
}

}  // namespace

XB_ATOMIC_FILE::~XB_ATOMIC_FILE() {
  Abandon();
}

void XB_ATOMIC_FILE::Fail(const char* action, int err) {
  failed_ = true;
  if (error_.empty()) errno_ = err;
  if (error_.empty())
    error_ =
        std::string("cannot ") + action + " " + target_ + ": " + (err ? std::strerror(err) : "short write");
}

bool XB_ATOMIC_FILE::Open(const char* target) {
  Abandon();
  target_ = target ? target : "";
  error_.clear();
  errno_ = 0;
  failed_ = false;
  handle_ = xb_platform::CreateTempBeside(target_.c_str(), &temp_);
  if (handle_ < 0) {
    Fail("create", errno);
    return false;
  }
  AddPending(temp_);
  return true;
}

bool XB_ATOMIC_FILE::Write(const void* data, size_t size) {
  if (handle_ < 0 || failed_) return false;
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const uint32_t chunk = static_cast<uint32_t>(std::min<size_t>(size, 1u << 30));
    errno = 0;
    if (xb_platform::Write(handle_, bytes, chunk) != chunk) {
      Fail("write", errno);
      return false;
    }
    bytes += chunk;
    size -= chunk;
  }
  return true;
}

bool XB_ATOMIC_FILE::Commit() {
  if (handle_ < 0) {
    if (error_.empty()) error_ = "cannot write " + target_ + ": not open";
    return false;
  }
  if (failed_) {
    Abandon();
    return false;
  }
  const int handle = handle_;
  handle_ = -1;
  // A full disk may only show when the data is flushed at close.
  if (xb_platform::Close(handle) != 0) {
    Fail("write", errno);
  } else if (xb_platform::RenameReplacing(temp_.c_str(), target_.c_str()) != 0) {
    Fail("replace", errno);
  } else {
    DropPending(temp_);
    temp_.clear();
    return true;
  }
  xb_platform::RemoveFile(temp_.c_str());
  DropPending(temp_);
  temp_.clear();
  return false;
}

void XB_ATOMIC_FILE::Abandon() {
  if (handle_ >= 0) xb_platform::Close(handle_);
  handle_ = -1;
  if (!temp_.empty()) {
    xb_platform::RemoveFile(temp_.c_str());
    DropPending(temp_);
    temp_.clear();
  }
}

bool XB_WriteFileAtomic(const char* path, const void* data, size_t size, std::string* error) {
  XB_ATOMIC_FILE file;
  if (file.Open(path) && file.Write(data, size) && file.Commit()) return true;
  if (error) *error = file.Error();
  file.Abandon();
  return false;
}

void XB_RemovePendingTemporaries() {
  // No lock: this runs on the way out of a fatal error, possibly while another thread holds it.
  for (const std::string& path : Pending()) xb_platform::RemoveFile(path.c_str());
}
