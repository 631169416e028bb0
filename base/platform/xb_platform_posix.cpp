#ifndef _WIN32

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <vector>

#include "base/platform/xb_platform.h"

namespace xb_platform {

namespace {

std::string ToNative(const char* path) {
  std::string native(path ? path : "");
  for (char& c : native)
    if (c == '\\') c = '/';
  return native;
}

bool PathExists(const std::string& path) {
  struct stat st;
  return ::stat(path.empty() ? "." : path.c_str(), &st) == 0;
}

std::vector<std::string> SplitComponents(const std::string& path) {
  std::vector<std::string> parts;
  std::string current;
  for (char c : path) {
    if (c == '/') {
      if (!current.empty()) parts.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) parts.push_back(current);
  return parts;
}

std::string Join(const std::string& prefix, const std::string& name) {
  if (prefix.empty()) return name;
  if (prefix.back() == '/') return prefix + name;
  return prefix + "/" + name;
}

// Finds `name` inside directory `dir` (empty = current directory) without regard to case. An exact
// match wins; otherwise the first entry that matches case-insensitively in sorted order, so the
// choice does not depend on the order the directory happens to list its entries in.
bool FindInDirectory(const std::string& dir, const std::string& name, std::string* found) {
  if (PathExists(Join(dir, name))) {
    *found = name;
    return true;
  }
  if (name == "." || name == "..") return false;
  DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
  if (!d) return false;
  bool any = false;
  std::string best;
  while (struct dirent* entry = ::readdir(d)) {
    if (::strcasecmp(entry->d_name, name.c_str()) != 0) continue;
    if (!any || best > entry->d_name) best = entry->d_name;
    any = true;
  }
  ::closedir(d);
  if (any) *found = best;
  return any;
}

bool ResolveNative(const std::string& native, std::string* resolved) {
  if (PathExists(native)) {
    *resolved = native;
    return true;
  }
  std::string prefix = (!native.empty() && native[0] == '/') ? "/" : "";
  const std::vector<std::string> parts = SplitComponents(native);
  if (parts.empty()) return false;
  for (const std::string& part : parts) {
    std::string found;
    if (!FindInDirectory(prefix, part, &found)) return false;
    prefix = Join(prefix, found);
  }
  *resolved = prefix;
  return true;
}

}  // namespace

int OpenRead(const char* path) {
  if (FaultDue(FaultKind::OpenRead)) return -1;
  const std::string native = ToNative(path);
  int handle = ::open(native.c_str(), O_RDONLY);
  if (handle < 0 && (errno == ENOENT || errno == ENOTDIR)) {
    const int firstError = errno;
    std::string resolved;
    if (ResolveNative(native, &resolved) && resolved != native) handle = ::open(resolved.c_str(), O_RDONLY);
    if (handle < 0) errno = firstError;
  }
  if (handle >= 0) {
    // A directory opens on POSIX but not with the Windows runtime; refuse it the same way there.
    struct stat st;
    if (::fstat(handle, &st) == 0 && S_ISDIR(st.st_mode)) {
      ::close(handle);
      errno = EISDIR;
      return -1;
    }
  }
  return handle;
}

int OpenWrite(const char* path) {
  if (FaultDue(FaultKind::Create)) return -1;
  const std::string target = ResolveForCreate(path);
  return ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
}

int64_t Read(int handle, void* buffer, uint32_t count) {
  if (FaultDue(FaultKind::Read)) return -1;
  uint32_t done = 0;
  while (done < count) {
    const ssize_t n = ::read(handle, static_cast<char*>(buffer) + done, count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) break;
    done += static_cast<uint32_t>(n);
  }
  return done;
}

int64_t Write(int handle, const void* buffer, uint32_t count) {
  if (FaultDue(FaultKind::Write)) return -1;
  uint32_t done = 0;
  while (done < count) {
    const ssize_t n = ::write(handle, static_cast<const char*>(buffer) + done, count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) break;
    done += static_cast<uint32_t>(n);
  }
  return done;
}

int64_t Seek(int handle, int64_t position) {
  return ::lseek(handle, static_cast<off_t>(position), SEEK_SET);
}

int64_t Tell(int handle) {
  return ::lseek(handle, 0, SEEK_CUR);
}

int64_t Length(int handle) {
  struct stat st;
  if (::fstat(handle, &st) != 0) return -1;
  return st.st_size;
}

int Close(int handle) {
  return ::close(handle);
}

bool ResolveExisting(const char* path, std::string* resolved) {
  std::string result;
  if (!ResolveNative(ToNative(path), &result)) return false;
  if (resolved) *resolved = result;
  return true;
}

std::string ResolveForCreate(const char* path) {
  const std::string native = ToNative(path);
  if (PathExists(native)) return native;
  const size_t slash = native.find_last_of('/');
  std::string dir = slash == std::string::npos ? "" : native.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? native : native.substr(slash + 1);
  if (!dir.empty() && dir != "/") {
    std::string resolvedDir;
    if (!ResolveNative(dir, &resolvedDir)) return native;  // the open reports the missing folder
    dir = resolvedDir;
  }
  std::string found;
  if (!name.empty() && FindInDirectory(dir, name, &found)) return Join(dir, found);
  return Join(dir, name);
}

int CreateTempBeside(const char* path, std::string* tempPath) {
  if (FaultDue(FaultKind::Create)) return -1;
  static std::atomic<unsigned> counter{0};
  const std::string target = ResolveForCreate(path);
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, ".%ld-%u.tmp", static_cast<long>(::getpid()), counter++);
    const std::string name = target + suffix;
    const int handle = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
    if (handle >= 0) {
      if (tempPath) *tempPath = name;
      return handle;
    }
    if (errno != EEXIST) return -1;
  }
  return -1;
}

int RenameReplacing(const char* from, const char* to) {
  return ::rename(ToNative(from).c_str(), ResolveForCreate(to).c_str());
}

int RemoveFile(const char* path) {
  return ::unlink(ToNative(path).c_str());
}

}  // namespace xb_platform

#endif  // !_WIN32
