// All-or-nothing file output. Everything the programs write - caches beside the descriptions,
// pictures, archives, bob libraries - is written to a temporary file in the target's directory and
// renamed onto the target only when every byte is down. A reader (another saver starting on the same
// data directory) sees the old file or the new one, never half of one; a failure (disk full, bad
// input, a fatal error on the way) leaves the target as it was and removes the temporary file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class XB_ATOMIC_FILE {
 public:
  XB_ATOMIC_FILE() = default;
  ~XB_ATOMIC_FILE();  // abandons an uncommitted file
  XB_ATOMIC_FILE(const XB_ATOMIC_FILE&) = delete;
  XB_ATOMIC_FILE& operator=(const XB_ATOMIC_FILE&) = delete;

  // Creates the temporary file beside `target`. False with Error() set when it cannot be created.
  bool Open(const char* target);
  // Appends bytes; false (and every later call false) once a write has failed.
  bool Write(const void* data, size_t size);
  // Closes the temporary file and renames it onto the target. False with Error() set when anything
  // failed on the way; the target is then untouched and the temporary file gone.
  bool Commit();
  // Closes and removes the temporary file; the target stays as it was.
  void Abandon();

  bool IsOpen() const { return handle_ >= 0; }
  const std::string& Error() const { return error_; }
  int ErrorNumber() const { return errno_; }  // errno of the failure, 0 for a short write
  const std::string& Target() const { return target_; }

 private:
  void Fail(const char* action, int err);
  int handle_ = -1;
  bool failed_ = false;
  int errno_ = 0;
  std::string target_;
  std::string temp_;
  std::string error_;
};

// Writes `size` bytes as the whole of `path`, all or nothing. False with `error` ("cannot write
// PATH: reason") when it did not happen.
bool XB_WriteFileAtomic(const char* path, const void* data, size_t size, std::string* error);
inline bool XB_WriteFileAtomic(const char* path, const std::vector<uint8_t>& bytes, std::string* error) {
  return XB_WriteFileAtomic(path, bytes.data(), bytes.size(), error);
}

// Removes the temporary files of outputs still being written. A fatal error ends the process without
// unwinding; it calls this first so that no temporary file outlives the process.
void XB_RemovePendingTemporaries();
