// The operating-system side of file access. This folder is the only place of the portable libraries
// that includes POSIX or Win32 headers; everything above talks to the file system through these calls.
//
// Data files are named the way the game spells them: backslashes as separators and any letter case.
// On a case-sensitive file system the names are resolved component by component without regard to
// case; on Windows the file system does that itself and the names pass through unchanged.
#pragma once

#include <cstdint>
#include <string>

namespace xb_platform {

// Low-level handles of the C runtime; every call leaves the C library's errno set on failure.
int OpenRead(const char* path);   // read-only, binary; -1 on failure. Directories are refused.
int OpenWrite(const char* path);  // write-only, binary, create or truncate; -1 on failure
int64_t Read(int handle, void* buffer, uint32_t count);         // bytes read, -1 on error
int64_t Write(int handle, const void* buffer, uint32_t count);  // bytes written, -1 on error
int64_t Seek(int handle, int64_t position);                     // absolute; new position or -1
int64_t Tell(int handle);                                       // -1 on error
int64_t Length(int handle);                                     // -1 on error
int Close(int handle);                                          // 0 on success

// The name of an existing file or directory as found on disk, matching each component without
// regard to case when the exact spelling is not there. False when nothing matches.
bool ResolveExisting(const char* path, std::string* resolved);
// The name under which a file should be created: existing directories and an existing file of the
// same name in another case are reused, so a write lands where a later case-insensitive read looks.
std::string ResolveForCreate(const char* path);

// All-or-nothing writes. A new, empty file beside `path` (same directory, so a rename never crosses
// file systems) under a name no other process or thread can pick: "<name>.<pid>-<n>.tmp". Returns the
// write handle and its name, or -1 with errno set.
int CreateTempBeside(const char* path, std::string* tempPath);
// Moves `from` onto `to`, replacing a file of that name in one step: readers see the old file or the
// new one, never a mixture (rename on POSIX, MoveFileEx with replace on Windows). 0 on success.
int RenameReplacing(const char* from, const char* to);
// Deletes a file; 0 on success.
int RemoveFile(const char* path);

// Fault injection for tests: makes the n-th following call of one kind (1 = the very next) fail
// with `error` in errno, as a full disk, a removed directory or a refused permission would; with
// `persist` every call from the n-th on fails (a read-only directory, a disk that stays full). Only
// tests arm it; nothing in the programs does, so it never changes how they behave.
enum class FaultKind {
  OpenRead,  // OpenRead
  Create,    // OpenWrite and CreateTempBeside
  Read,
  Write,
  Count
};
void InjectFault(FaultKind kind, int nth, int error, bool persist = false);
void ClearFaults();
// Called by the implementations at each operation: true when this call is to fail (errno is set).
bool FaultDue(FaultKind kind);

}  // namespace xb_platform
