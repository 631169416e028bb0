// Fuzzes the packed data file directory reader and member lookup/reading with arbitrary bytes.
// Fatal errors (a damaged archive) are the intended outcome for most inputs: they throw here and are
// caught, so only crashes, sanitizer reports, leaks and huge allocations count as findings.
#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "base/xb_error.h"
#include "base/xb_file.h"

namespace {

std::string g_path;

void ReadMember(const char* name) {
  XB_FILE member(name);
  if (!member.OpenForReading(false)) return;
  const int64_t size = member.Remaining();
  std::vector<uint8_t> bytes(static_cast<size_t>(size > 4096 ? 4096 : size));
  member.Read(bytes.data(), static_cast<uint32_t>(bytes.size()));
  member.Seek(0);
  (void)member.Position();
}

}  // namespace

// The archive is served from memory and the disk is never consulted, so a member name that misses
// costs no directory scan.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  XB_SetFatalMode(XB_FatalMode::Throw);
  g_path = "fuzz_archive.dat";
  XB_FILE::SetMemoryFilesOnly(true);  // the archive and its members come from memory
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  XB_FILE::AddMemoryFile(g_path.c_str(), data, size);
  try {
    XB_ARCHIVE archive(g_path.c_str());
    if (RegisterArchive(&archive) < 0) return 0;
    for (uint32_t i = 0; i < archive.Count() && i < 64; ++i) {
      const XB_ARCHIVE::Entry& entry = archive.EntryAt(i);
      std::string upper = entry.name;
      for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      (void)archive.Contains(upper.c_str());
      (void)archive.EntrySize(entry.name);
      if (!upper.empty() && upper.find(':') == std::string::npos && upper[0] != '/')
        ReadMember(upper.c_str());  // fatal short reads of damaged members throw out of here
    }
    (void)archive.Contains("Data_V\\VE_Graphics\\ExtText.fnt");
  } catch (const XB_FATAL_EXCEPTION&) {
  }
  return 0;
}
