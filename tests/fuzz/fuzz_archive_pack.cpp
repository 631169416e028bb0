// libFuzzer harness: packing members with odd names (empty, very long, separators of both kinds,
// "..", bytes above 127, names equal but for case) and reading the packed directory back from memory.
// Names the format can hold must come back byte for byte, each found by its own name.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/xb_archive_writer.h"
#include "base/xb_error.h"
#include "base/xb_file.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  XB_SetFatalMode(XB_FatalMode::Throw);
  XB_FILE::SetMemoryFilesOnly(true);  // nothing of this harness touches the disk
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Members: names separated by NUL bytes; each member's bytes are its index repeated.
  std::vector<XB_ARCHIVE_MEMBER> members;
  std::string current;
  for (size_t i = 0; i <= size && members.size() < 64; ++i) {
    if (i == size || data[i] == 0) {
      XB_ARCHIVE_MEMBER m;
      m.name = current;
      m.bytes.assign(members.size() % 7, static_cast<uint8_t>(members.size()));
      members.push_back(std::move(m));
      current.clear();
    } else {
      current += static_cast<char>(data[i]);
    }
  }
  std::string error;
  const std::vector<uint8_t> image = XB_BuildArchiveImage(members, &error);
  if (image.empty()) {
    if (error.empty()) std::abort();
    return 0;
  }
  XB_FILE::AddMemoryFile("packed.dat", image.data(), image.size());
  try {
    XB_ARCHIVE archive("packed.dat");
    if (archive.Count() != members.size()) std::abort();
    for (uint32_t i = 0; i < archive.Count(); ++i) {
      const XB_ARCHIVE::Entry& e = archive.EntryAt(i);
      // A name with a NUL cannot be packed by this harness; every stored name reads back whole.
      if (std::strlen(e.name) != members[i].name.size() || members[i].name != e.name) std::abort();
      if (e.size != members[i].bytes.size()) std::abort();
      if (!archive.Contains(members[i].name.c_str()) && !members[i].name.empty()) std::abort();
    }
    if (RegisterArchive(&archive) >= 0) {
      for (const XB_ARCHIVE_MEMBER& m : members) {
        if (m.name.empty() || m.name.size() >= XB_MAX_PATH - 1) continue;
        XB_FILE member(m.name.c_str());
        if (!member.OpenForReading(false)) continue;  // absolute and drive names never reach archives
        std::vector<uint8_t> bytes(static_cast<size_t>(member.Size()));
        if (!bytes.empty()) member.Read(bytes.data(), static_cast<uint32_t>(bytes.size()));
      }
    }
  } catch (const XB_FATAL_EXCEPTION&) {
    std::abort();  // an image we built ourselves is never damaged
  }
  XB_FILE::ClearMemoryFiles();
  return 0;
}
