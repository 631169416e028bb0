// Binary file access relative to the data directory, with members of registered packed data files
// ("data_v.dat") found as if they were plain files. Every failure the caller did not ask to be quiet
// is an XB_FatalError with the class's own message.
//
// Paths are given the way the data spells them: backslashes as separators and any letter case. On a
// case-sensitive file system every component is matched without regard to case.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr int XB_MAX_PATH = 260;  // path buffers, terminator included
constexpr int XB_MAX_ARCHIVES = 20;

class XB_ARCHIVE;

class XB_FILE {
 public:
  // Copies the path (at most 259 characters), collapsing runs of backslashes; opens for reading
  // (reporting failures) when `open` is true.
  explicit XB_FILE(const char* path, bool open = false);
  virtual ~XB_FILE();

  XB_FILE(const XB_FILE&) = delete;
  XB_FILE& operator=(const XB_FILE&) = delete;

  bool OpenForReading(bool report);
  bool OpenForWriting(bool report);
  // Memory instead of a file, under the same path for messages. Reading: a view of `size` bytes at
  // `data`, which must outlive the file (loaders take untrusted bytes this way without a disk
  // round trip). Writing: the bytes gather in MemoryBytes(), to be written all at once afterwards.
  void OpenMemory(const void* data, size_t size);
  void OpenMemoryForWriting();
  const std::vector<uint8_t>& MemoryBytes() const { return memWritten_; }

  // Exactly `count` bytes or a fatal error; nothing happens on a closed file. A read of an archive
  // member never runs past the member's end: that is a short read.
  void Read(void* buffer, uint32_t count);
  void Write(const void* buffer, uint32_t count);
  void ReadFlag(uint16_t& value);
  void WriteTrue();
  void WriteFalse();

  void Seek(int32_t position);
  int32_t Position();
  int32_t Size();
  void Close();

  bool IsOpen() const { return handle_ >= 0 || memory_; }
  const char* Path() const { return path_; }
  int32_t ArchiveSlot() const { return archiveSlot_; }

  // Little-endian helpers over Read/Write.
  uint8_t ReadU8();
  uint16_t ReadU16();
  int16_t ReadI16();
  uint32_t ReadU32();
  int32_t ReadI32();
  void WriteU8(uint8_t v);
  void WriteU16(uint16_t v);
  void WriteI16(int16_t v);
  void WriteU32(uint32_t v);
  void WriteI32(int32_t v);

  // Bytes left between the position and the end (of the member for an archive member).
  int64_t Remaining();
  // Guard for loaders of untrusted streams: when fewer than `count` bytes remain, a fatal error
  // "<what> - file <path> - corrupt data: needs N bytes, M left" names the file. Use it before
  // allocating anything sized by a count read from the file.
  void RequireRemaining(uint64_t count, const char* what);

  // Files held in memory and found before the disk, by name without regard to case or separator
  // kind: the seam that lets fuzz harnesses and tests feed loaders without a disk round trip. The
  // bytes are not copied and must outlive their registration (null data removes it). Nothing registers any in
  // the programs. With SetMemoryFilesOnly a name that is not registered is missing, the disk untouched.
  static void AddMemoryFile(const char* path, const void* data, size_t size);
  static void ClearMemoryFiles();
  static void SetMemoryFilesOnly(bool only);

  static bool Exists(const char* path);
  static bool ResolvePath(const char* path, char* text /* XB_MAX_PATH */);
  static bool IsAbsolutePath(const char* text);

 private:
  int32_t handle_ = -1;
  char path_[XB_MAX_PATH] = {};
  int32_t archiveSlot_ = -1;
  uint32_t memberOffset_ = 0;  // start of the open member inside its archive file
  uint32_t memberSize_ = 0;
  bool memory_ = false;
  bool memoryWritable_ = false;
  const uint8_t* memData_ = nullptr;
  size_t memSize_ = 0;
  size_t memPos_ = 0;
  std::vector<uint8_t> memWritten_;
};

// The directory of a packed data file. The archive keeps its own file open for its whole life.
class XB_ARCHIVE {
 public:
  struct Entry {
    char* name = nullptr;
    uint8_t checksum = 0;
    uint32_t offset = 0;
    uint32_t size = 0;
  };

  explicit XB_ARCHIVE(const char* path);  // a missing or short directory is fatal
  ~XB_ARCHIVE();                          // also removes the archive from the archive table
  XB_ARCHIVE(const XB_ARCHIVE&) = delete;
  XB_ARCHIVE& operator=(const XB_ARCHIVE&) = delete;

  bool Contains(const char* name) const;
  uint32_t EntryOffset(const char* name) const;
  uint32_t EntrySize(const char* name) const;

  uint32_t Count() const { return count_; }
  const Entry& EntryAt(uint32_t i) const { return entries_[i]; }
  XB_FILE* File() { return file_; }

  // The checksum the directory uses: sum of the tolower()ed characters, modulo 256.
  static uint8_t NameChecksum(const char* name);

 private:
  const Entry* Find(const char* name) const;
  uint32_t count_ = 0;
  Entry* entries_ = nullptr;
  XB_FILE* file_ = nullptr;
};

// Registers an archive in the lowest free slot of the 20-slot table; -1 when full or null.
int32_t RegisterArchive(XB_ARCHIVE* archive);
// Ours: removes an archive from the table (called by its destructor so no slot ever dangles).
void UnregisterArchive(XB_ARCHIVE* archive);
XB_ARCHIVE* RegisteredArchive(int32_t slot);
