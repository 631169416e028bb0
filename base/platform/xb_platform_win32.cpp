#ifdef _WIN32

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <process.h>
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

#include "base/platform/xb_platform.h"

// The Windows runtime matches names without regard to case and accepts backslashes, so names pass
// through as given.
namespace xb_platform {

int OpenRead(const char* path) {
  if (FaultDue(FaultKind::OpenRead)) return -1;
  return ::_open(path, _O_RDONLY | _O_BINARY);
}

int OpenWrite(const char* path) {
  if (FaultDue(FaultKind::Create)) return -1;
  return ::_open(path, _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, _S_IREAD | _S_IWRITE);
}

int64_t Read(int handle, void* buffer, uint32_t count) {
  if (FaultDue(FaultKind::Read)) return -1;
  uint32_t done = 0;
  while (done < count) {
    const unsigned chunk = count - done > 0x40000000u ? 0x40000000u : count - done;
    const int n = ::_read(handle, static_cast<char*>(buffer) + done, chunk);
    if (n < 0) return -1;
    if (n == 0) break;
    done += static_cast<uint32_t>(n);
  }
  return done;
}

int64_t Write(int handle, const void* buffer, uint32_t count) {
  if (FaultDue(FaultKind::Write)) return -1;
  uint32_t done = 0;
  while (done < count) {
    const unsigned chunk = count - done > 0x40000000u ? 0x40000000u : count - done;
    const int n = ::_write(handle, static_cast<const char*>(buffer) + done, chunk);
    if (n < 0) return -1;
    if (n == 0) break;
    done += static_cast<uint32_t>(n);
  }
  return done;
}

int64_t Seek(int handle, int64_t position) {
  return ::_lseeki64(handle, position, SEEK_SET);
}

int64_t Tell(int handle) {
  return ::_lseeki64(handle, 0, SEEK_CUR);
}

int64_t Length(int handle) {
  return ::_filelengthi64(handle);
}

int Close(int handle) {
  return ::_close(handle);
}

bool ResolveExisting(const char* path, std::string* resolved) {
  struct _stat64 st;
  if (!path || ::_stat64(path, &st) != 0) return false;
  if (resolved) *resolved = path;
  return true;
}

std::string ResolveForCreate(const char* path) {
  return path ? path : "";
}

int CreateTempBeside(const char* path, std::string* tempPath) {
  if (FaultDue(FaultKind::Create)) return -1;
  static std::atomic<unsigned> counter{0};
  const std::string target = path ? path : "";
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, ".%d-%u.tmp", ::_getpid(), counter++);
    const std::string name = target + suffix;
    const int handle =
        ::_open(name.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (handle >= 0) {
      if (tempPath) *tempPath = name;
      return handle;
    }
    if (errno != EEXIST) return -1;
  }
  return -1;
}

int RenameReplacing(const char* from, const char* to) {
  // rename() on Windows refuses an existing target; MoveFileEx replaces it in one step.
  if (::MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING)) return 0;
  errno = ::GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
  return -1;
}

int RemoveFile(const char* path) {
  return ::_unlink(path);
}

}  // namespace xb_platform

#endif  // _WIN32
