#include "base/xb_file.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/platform/xb_platform.h"
#include "base/xb_error.h"

namespace {

XB_ARCHIVE* g_archives[XB_MAX_ARCHIVES] = {};

struct MemoryFile {
  std::string key;
  const uint8_t* data;
  size_t size;
};
std::vector<MemoryFile> g_memoryFiles;
bool g_memoryOnly = false;

// Lower case, backslashes, runs collapsed and a leading ".\" dropped: how memory files are matched.
void MemoryKeyInto(const char* path, std::string& key) {
  key.resize(std::strlen(path));
  char* out = key.data();
  for (const char* p = path; *p; ++p) {
    char c = *p == '/' ? '\\' : static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
    if (c == '\\' && out > key.data() && out[-1] == '\\') continue;
    *out++ = c;
  }
  key.resize(static_cast<size_t>(out - key.data()));
  size_t drop = 0;
  while (key.size() - drop > 2 && key[drop] == '.' && key[drop + 1] == '\\') drop += 2;
  key.erase(0, drop);
}

std::string MemoryKey(const char* path) {
  std::string key;
  MemoryKeyInto(path, key);
  return key;
}

const MemoryFile* FindMemoryFile(const char* path) {
  if (g_memoryFiles.empty()) return nullptr;
  // Every open asks here first (fuzz harnesses serve all their files from memory): the key is built
  // in one buffer kept for the purpose rather than in a new string each time.
  static std::string key;
  MemoryKeyInto(path, key);
  for (const MemoryFile& f : g_memoryFiles)
    if (f.key == key) return &f;
  return nullptr;
}

// Reports a failed file operation with one of the XB_FILE message formats ("... file %s - errno %d:
// %s"), the errno captured before anything else can change it.
[[noreturn]] void FileFatal(const char* format, const char* path) {
  const int err = errno;
  const char* text = std::strerror(err);
  const int fixed = std::snprintf(nullptr, 0, format, "", err, text);
  const std::string shown = XB_CutPath(path, XB_MESSAGE_BUFFER_SIZE - 1 - fixed);
  XB_FatalError(format, shown.c_str(), err, text);
}

// A read that found the file (or member) ending before the bytes asked for, with no error from the
// system: says so, rather than quote an errno left over from some earlier call.
[[noreturn]] void ShortRead(const char* path, uint32_t count, int64_t at, int64_t left) {
  const std::string shown = XB_CutPath(path, 80);
  if (at <= 0 && left == 0) XB_FatalError("XB_FILE::Read - file %s - the file is empty", shown.c_str());
  XB_FatalError("XB_FILE::Read - file %s - the file is cut short: %u bytes wanted at offset %lld, %lld left",
                shown.c_str(), count, static_cast<long long>(at), static_cast<long long>(left));
}

bool SameNameIgnoringCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    const int ca = std::tolower(static_cast<unsigned char>(*a));
    const int cb = std::tolower(static_cast<unsigned char>(*b));
    if (ca != cb) return false;
    if (ca == 0) return true;
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// XB_FILE

XB_FILE::XB_FILE(const char* path, bool open) {
  if (path) std::strncpy(path_, path, XB_MAX_PATH - 1);
  path_[XB_MAX_PATH - 1] = '\0';
  // Runs of backslashes become one: the data sometimes doubles them between folder names.
  char* out = path_;
  for (const char* in = path_; *in; ++in) {
    if (*in == '\\' && out > path_ && out[-1] == '\\') continue;
    *out++ = *in;
  }
  *out = '\0';
  if (open) OpenForReading(true);
}

XB_FILE::~XB_FILE() {
  Close();
}

void XB_FILE::AddMemoryFile(const char* path, const void* data, size_t size) {
  const std::string key = MemoryKey(path ? path : "");
  if (!data) {
    std::erase_if(g_memoryFiles, [&](const MemoryFile& f) { return f.key == key; });
    return;
  }
  for (MemoryFile& f : g_memoryFiles)
    if (f.key == key) {
      f.data = static_cast<const uint8_t*>(data);
      f.size = size;
      return;
    }
  g_memoryFiles.push_back({key, static_cast<const uint8_t*>(data), size});
}

void XB_FILE::ClearMemoryFiles() {
  g_memoryFiles.clear();
}

void XB_FILE::SetMemoryFilesOnly(bool only) {
  g_memoryOnly = only;
}

bool XB_FILE::OpenForReading(bool report) {
  Close();
  if (const MemoryFile* f = FindMemoryFile(path_)) {
    OpenMemory(f->data, f->size);
    return true;
  }
  int lastError = ENOENT;
  if (!g_memoryOnly) {
    handle_ = xb_platform::OpenRead(path_);
    if (handle_ >= 0) return true;
    lastError = errno;
  }

  if (!IsAbsolutePath(path_)) {
    for (int32_t slot = 0; slot < XB_MAX_ARCHIVES; ++slot) {
      XB_ARCHIVE* archive = g_archives[slot];
      if (!archive || !archive->Contains(path_)) continue;
      XB_FILE* whole = archive->File();
      if (whole->memory_ && !whole->memoryWritable_) {
        // An archive held in memory: the member is a window on its bytes.
        OpenMemory(whole->memData_, whole->memSize_);
        memberOffset_ = archive->EntryOffset(path_);
        memberSize_ = archive->EntrySize(path_);
        archiveSlot_ = slot;
        memPos_ = memberOffset_;
        return true;
      }
      handle_ = xb_platform::OpenRead(archive->File()->Path());
      if (handle_ < 0) {
        lastError = errno;
        break;
      }
      memberOffset_ = archive->EntryOffset(path_);
      memberSize_ = archive->EntrySize(path_);
      archiveSlot_ = slot;
      if (xb_platform::Seek(handle_, memberOffset_) < 0)
        FileFatal("XB_FILE::Seek - file %s - errno %d: %s", path_);
      return true;
    }
  }

  handle_ = -1;
  errno = lastError;
  if (report) FileFatal("XB_FILE::OpenForReading - file %s - errno %d: %s", path_);
  return false;
}

void XB_FILE::OpenMemory(const void* data, size_t size) {
  Close();
  memory_ = true;
  memoryWritable_ = false;
  memData_ = static_cast<const uint8_t*>(data);
  memSize_ = data ? size : 0;
  memPos_ = 0;
}

void XB_FILE::OpenMemoryForWriting() {
  Close();
  memory_ = true;
  memoryWritable_ = true;
  memWritten_.clear();
  memPos_ = 0;
}

bool XB_FILE::OpenForWriting(bool report) {
  Close();
  handle_ = xb_platform::OpenWrite(path_);
  if (handle_ >= 0) return true;
  if (report) FileFatal("XB_FILE::OpenForWriting - file %s - errno %d: %s", path_);
  return false;
}

void XB_FILE::Read(void* buffer, uint32_t count) {
  if (!IsOpen()) return;
  if (memory_) {
    size_t size = memoryWritable_ ? memWritten_.size() : memSize_;
    const uint8_t* data = memoryWritable_ ? memWritten_.data() : memData_;
    if (archiveSlot_ >= 0) size = std::min<size_t>(size, size_t{memberOffset_} + memberSize_);
    if (memPos_ > size || size - memPos_ < count) {
      const int64_t at = static_cast<int64_t>(memPos_) - (archiveSlot_ >= 0 ? int64_t{memberOffset_} : 0);
      ShortRead(path_, count, at, memPos_ < size ? static_cast<int64_t>(size - memPos_) : 0);
    }
    if (count) std::memcpy(buffer, data + memPos_, count);
    memPos_ += count;
    return;
  }
  uint32_t allowed = count;
  if (archiveSlot_ >= 0) {
    // A member ends where its directory size says, even though the archive file goes on: a read
    // across that end comes up short instead of returning the next member's bytes.
    const int64_t at = xb_platform::Tell(handle_);
    if (at < 0) FileFatal("XB_FILE::Read - file %s - errno %d: %s", path_);
    const int64_t end = static_cast<int64_t>(memberOffset_) + memberSize_;
    const int64_t left = at >= end ? 0 : end - at;
    if (left < static_cast<int64_t>(count)) allowed = static_cast<uint32_t>(left);
  }
  const int64_t moved = allowed == 0 ? 0 : xb_platform::Read(handle_, buffer, allowed);
  if (moved == static_cast<int64_t>(count)) return;
  if (moved < 0) FileFatal("XB_FILE::Read - file %s - errno %d: %s", path_);
  int64_t at = xb_platform::Tell(handle_) - moved;
  if (archiveSlot_ >= 0) at -= static_cast<int64_t>(memberOffset_);
  ShortRead(path_, count, at, moved);
}

void XB_FILE::Write(const void* buffer, uint32_t count) {
  if (!IsOpen()) return;
  if (memory_) {
    if (!memoryWritable_) {
      errno = EBADF;
      FileFatal("XB_FILE::Write - file %s - errno %d: %s", path_);
    }
    const uint8_t* bytes = static_cast<const uint8_t*>(buffer);
    if (memPos_ > memWritten_.size()) memWritten_.resize(memPos_);
    const size_t overlap = std::min<size_t>(count, memWritten_.size() - memPos_);
    if (overlap) std::memcpy(memWritten_.data() + memPos_, bytes, overlap);
    memWritten_.insert(memWritten_.end(), bytes + overlap, bytes + count);
    memPos_ += count;
    return;
  }
  const int64_t moved = count == 0 ? 0 : xb_platform::Write(handle_, buffer, count);
  if (moved != static_cast<int64_t>(count)) FileFatal("XB_FILE::Write - file %s - errno %d: %s", path_);
}

void XB_FILE::ReadFlag(uint16_t& value) {
  value = ReadU16();
}

void XB_FILE::WriteTrue() {
  WriteU16(1);
}

void XB_FILE::WriteFalse() {
  WriteU16(0);
}

void XB_FILE::Seek(int32_t position) {
  if (!IsOpen()) return;
  // A negative position fails for a member as it does for a plain file, instead of landing in the
  // bytes in front of the member.
  if (position < 0) {
    errno = EINVAL;
    FileFatal("XB_FILE::Seek - file %s - errno %d: %s", path_);
  }
  if (memory_) {
    memPos_ = static_cast<size_t>(position) + (archiveSlot_ >= 0 ? memberOffset_ : 0);
    return;
  }
  int64_t target = position;
  if (archiveSlot_ >= 0) target += memberOffset_;
  if (xb_platform::Seek(handle_, target) < 0) FileFatal("XB_FILE::Seek - file %s - errno %d: %s", path_);
}

int32_t XB_FILE::Position() {
  if (!IsOpen()) return 0;
  if (memory_) return static_cast<int32_t>(memPos_ - (archiveSlot_ >= 0 ? memberOffset_ : 0));
  int64_t at = xb_platform::Tell(handle_);
  if (at < 0) FileFatal("XB_FILE::Position - file %s - errno %d: %s", path_);
  if (archiveSlot_ >= 0) at -= memberOffset_;
  return static_cast<int32_t>(at);
}

int32_t XB_FILE::Size() {
  if (!IsOpen()) return 0;
  if (memory_ && archiveSlot_ >= 0) return static_cast<int32_t>(memberSize_);
  if (memory_) return static_cast<int32_t>(memoryWritable_ ? memWritten_.size() : memSize_);
  if (archiveSlot_ >= 0) return static_cast<int32_t>(memberSize_);
  const int64_t length = xb_platform::Length(handle_);
  if (length < 0) FileFatal("XB_FILE::Size - file %s - errno %d: %s", path_);
  return static_cast<int32_t>(length);
}

void XB_FILE::Close() {
  if (memory_) {
    // The written bytes stay readable through MemoryBytes() until the next open.
    memory_ = false;
    memData_ = nullptr;
    memSize_ = 0;
    memPos_ = 0;
    archiveSlot_ = -1;
    memberOffset_ = 0;
    memberSize_ = 0;
    return;
  }
  if (!IsOpen()) return;
  const int result = xb_platform::Close(handle_);
  handle_ = -1;
  archiveSlot_ = -1;
  memberOffset_ = 0;
  memberSize_ = 0;
  if (result != 0) FileFatal("XB_FILE::Close - file %s - errno %d: %s", path_);
}

uint8_t XB_FILE::ReadU8() {
  uint8_t b = 0;
  Read(&b, 1);
  return b;
}

uint16_t XB_FILE::ReadU16() {
  uint8_t b[2] = {};
  Read(b, 2);
  return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

int16_t XB_FILE::ReadI16() {
  return static_cast<int16_t>(ReadU16());
}

uint32_t XB_FILE::ReadU32() {
  uint8_t b[4] = {};
  Read(b, 4);
  return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
         (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

int32_t XB_FILE::ReadI32() {
  return static_cast<int32_t>(ReadU32());
}

void XB_FILE::WriteU8(uint8_t v) {
  Write(&v, 1);
}

void XB_FILE::WriteU16(uint16_t v) {
  const uint8_t b[2] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
  Write(b, 2);
}

void XB_FILE::WriteI16(int16_t v) {
  WriteU16(static_cast<uint16_t>(v));
}

void XB_FILE::WriteU32(uint32_t v) {
  const uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                        static_cast<uint8_t>(v >> 24)};
  Write(b, 4);
}

void XB_FILE::WriteI32(int32_t v) {
  WriteU32(static_cast<uint32_t>(v));
}

int64_t XB_FILE::Remaining() {
  if (!IsOpen()) return 0;
  if (memory_) {
    if (archiveSlot_ >= 0) {  // as for a member on disk: its directory size counts
      const int64_t left = int64_t{memberSize_} - int64_t(memPos_ - memberOffset_);
      return left < 0 ? 0 : left;
    }
    const size_t size = memoryWritable_ ? memWritten_.size() : memSize_;
    return memPos_ >= size ? 0 : static_cast<int64_t>(size - memPos_);
  }
  // Worked out in 64 bits: a member size or file length beyond 2 GiB must not turn negative.
  int64_t size = memberSize_;
  if (archiveSlot_ < 0) {
    size = xb_platform::Length(handle_);
    if (size < 0) FileFatal("XB_FILE::Size - file %s - errno %d: %s", path_);
  }
  int64_t at = xb_platform::Tell(handle_);
  if (at < 0) FileFatal("XB_FILE::Position - file %s - errno %d: %s", path_);
  if (archiveSlot_ >= 0) at -= memberOffset_;
  const int64_t left = size - at;
  return left < 0 ? 0 : left;
}

void XB_FILE::RequireRemaining(uint64_t count, const char* what) {
  const int64_t left = Remaining();
  if (count <= static_cast<uint64_t>(left)) return;
  const char* format = "%s - file %s - corrupt data: needs %" PRIu64 " bytes, %" PRId64 " left";
  const int fixed = std::snprintf(nullptr, 0, format, what ? what : "", "", count, left);
  const std::string shown = XB_CutPath(path_, XB_MESSAGE_BUFFER_SIZE - 1 - fixed);
  XB_FatalError(format, what ? what : "", shown.c_str(), count, left);
}

bool XB_FILE::Exists(const char* path) {
  return ResolvePath(path, nullptr);
}

bool XB_FILE::ResolvePath(const char* path, char* text) {
  XB_FILE probe(path);
  if (!probe.OpenForReading(false)) return false;
  if (text) {
    // A plain file answers with its name as found on disk; a member with its normalised name.
    std::string resolved = probe.path_;
    if (probe.archiveSlot_ < 0 && !probe.memory_) xb_platform::ResolveExisting(probe.path_, &resolved);
    std::strncpy(text, resolved.c_str(), XB_MAX_PATH - 1);
    text[XB_MAX_PATH - 1] = '\0';
  }
  probe.Close();
  return true;
}

bool XB_FILE::IsAbsolutePath(const char* text) {
  return text && text[0] != '\0' && text[1] == ':';
}

// ---------------------------------------------------------------------------------------------
// XB_ARCHIVE

XB_ARCHIVE::XB_ARCHIVE(const char* path) {
  try {
    file_ = new XB_FILE(path, true);
    file_->ReadU32();  // not interpreted
    const uint32_t count = file_->ReadU32();
    // Every record takes at least 10 bytes; a count the file cannot hold is corrupt, and checking
    // first keeps a damaged header from asking for gigabytes.
    file_->RequireRemaining(static_cast<uint64_t>(count) * 10u, "XB_ARCHIVE");
    if (count > 0) entries_ = new Entry[count]();
    count_ = count;
    for (uint32_t i = 0; i < count; ++i) {
      Entry& entry = entries_[i];
      const uint16_t length = file_->ReadU16();
      file_->RequireRemaining(static_cast<uint64_t>(length) + 8u, "XB_ARCHIVE");
      entry.name = new char[length + 1u];
      file_->Read(entry.name, length);
      entry.name[length] = '\0';
      entry.checksum = NameChecksum(entry.name);
      entry.offset = file_->ReadU32();
      entry.size = file_->ReadU32();
    }
  } catch (...) {
    // Only reached when fatal errors throw; the table never saw this archive.
    for (uint32_t i = 0; entries_ && i < count_; ++i) delete[] entries_[i].name;
    delete[] entries_;
    delete file_;
    throw;
  }
}

XB_ARCHIVE::~XB_ARCHIVE() {
  UnregisterArchive(this);
  for (uint32_t i = 0; entries_ && i < count_; ++i) delete[] entries_[i].name;
  delete[] entries_;
  delete file_;
  entries_ = nullptr;
  file_ = nullptr;
  count_ = 0;
}

uint8_t XB_ARCHIVE::NameChecksum(const char* name) {
  uint8_t sum = 0;
  for (const char* p = name; p && *p; ++p)
    sum = static_cast<uint8_t>(sum + std::tolower(static_cast<unsigned char>(*p)));
  return sum;
}

const XB_ARCHIVE::Entry* XB_ARCHIVE::Find(const char* name) const {
  if (!entries_ || !name) return nullptr;
  const uint8_t checksum = NameChecksum(name);
  for (uint32_t i = 0; i < count_; ++i) {
    const Entry& entry = entries_[i];
    if (entry.checksum == checksum && SameNameIgnoringCase(entry.name, name)) return &entry;
  }
  return nullptr;
}

bool XB_ARCHIVE::Contains(const char* name) const {
  return Find(name) != nullptr;
}

uint32_t XB_ARCHIVE::EntryOffset(const char* name) const {
  const Entry* entry = Find(name);
  return entry ? entry->offset : 0;
}

uint32_t XB_ARCHIVE::EntrySize(const char* name) const {
  const Entry* entry = Find(name);
  return entry ? entry->size : 0;
}

// ---------------------------------------------------------------------------------------------
// The archive table

int32_t RegisterArchive(XB_ARCHIVE* archive) {
  if (!archive) return -1;
  for (int32_t slot = 0; slot < XB_MAX_ARCHIVES; ++slot) {
    if (!g_archives[slot]) {
      g_archives[slot] = archive;
      return slot;
    }
  }
  return -1;
}

void UnregisterArchive(XB_ARCHIVE* archive) {
  for (XB_ARCHIVE*& slot : g_archives)
    if (slot == archive) slot = nullptr;
}

XB_ARCHIVE* RegisteredArchive(int32_t slot) {
  if (slot < 0 || slot >= XB_MAX_ARCHIVES) return nullptr;
  return g_archives[slot];
}
