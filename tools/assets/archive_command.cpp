// tillands-assets archive: list, extract and pack packed data files (data_v.dat).
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "base/xb_archive_writer.h"
#include "base/xb_atomic_file.h"
#include "base/xb_file.h"
#include "tools/assets/command.h"
#include "tools/common/text_encoding.h"

namespace fs = std::filesystem;

namespace {

int RunArchive(int argc, char** argv);

const AssetCommand archiveCommand{
    "archive", "list, extract and pack packed data files (data_v.dat)",
    "usage: tillands-assets archive list FILE [--raw]\n"
    "       tillands-assets archive extract FILE DIR\n"
    "       tillands-assets archive pack DIR FILE\n"
    "\n"
    "A packed data file holds game files under the names the saver opens them by, relative to the\n"
    "data directory with backslash separators (for example Data_V\\VE_Graphics\\ExtText.fnt).\n"
    "\n"
    "  list FILE          print offset, size and name of every member, in directory order; names\n"
    "                     are printed as UTF-8 (--raw: their Windows-1252 bytes); members whose data\n"
    "                     lies past the end of the file are marked, and the status is 2\n"
    "  extract FILE DIR   write every member below DIR, its backslashes becoming folders\n"
    "  pack DIR FILE      pack every file below DIR, named relative to DIR, sorted by name\n"
    "\n"
    "Exit status: 0 success, 1 bad usage, a missing input or a member that could not be written or\n"
    "extracted safely, 2 a damaged archive (members past its end included).\n",
    &RunArchive};

int Usage() {
  return PrintUsage(archiveCommand, 1);
}

int ArchiveFail(const std::string& message) {
  std::fprintf(stderr, "tillands-assets archive: %s\n", message.c_str());
  return 1;
}

bool IsRegularFile(const char* path) {
  std::error_code ec;
  return fs::is_regular_file(fs::path(path), ec);
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

int64_t FileLength(const char* path) {
  std::error_code ec;
  const auto size = fs::file_size(fs::path(path), ec);
  return ec ? -1 : static_cast<int64_t>(size);
}

int ListArchive(const char* path, bool raw) {
  if (!IsRegularFile(path)) return ArchiveFail(std::string("no such archive file: ") + path);
  XB_ARCHIVE archive(path);
  const int64_t length = FileLength(path);
  uint64_t total = 0;
  uint32_t pastEnd = 0;
  std::printf("%10s  %10s  %s\n", "offset", "size", "name");
  for (uint32_t i = 0; i < archive.Count(); ++i) {
    const XB_ARCHIVE::Entry& e = archive.EntryAt(i);
    // A member whose bytes lie past the end of the file cannot be read: the archive is damaged.
    const bool beyond = uint64_t{e.offset} + e.size > static_cast<uint64_t>(length);
    pastEnd += beyond ? 1 : 0;
    std::printf("%10u  %10u  %s%s\n", e.offset, e.size, raw ? e.name : Cp1252ToUtf8(e.name).c_str(),
                beyond ? "  [PAST THE END OF THE FILE]" : "");
    total += e.size;
  }
  std::printf("%u members, %llu bytes\n", archive.Count(), static_cast<unsigned long long>(total));
  if (pastEnd) {
    std::fprintf(stderr, "tillands-assets archive: %s: %u member%s past the end of the file (%lld bytes)\n",
                 path, pastEnd, pastEnd == 1 ? " lies" : "s lie", static_cast<long long>(length));
    return 2;
  }
  return 0;
}

// The folders and file name of a member below the target directory, or empty when the name could
// escape it (absolute, drive letter, "..") or names nothing.
std::vector<std::string> SafeComponents(const char* name) {
  std::vector<std::string> parts;
  std::string current;
  const size_t length = std::strlen(name);
  if (length == 0 || name[0] == '\\' || name[0] == '/' || (length > 1 && name[1] == ':')) return {};
  for (size_t i = 0; i <= length; ++i) {
    const char c = name[i];
    if (c == '\\' || c == '/' || c == '\0') {
      if (current == "..") return {};
      if (!current.empty() && current != ".") parts.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  return parts;
}

int Extract(const char* path, const char* target) {
  if (!IsRegularFile(path)) return ArchiveFail(std::string("no such archive file: ") + path);
  XB_ARCHIVE archive(path);
  const int64_t archiveLength = FileLength(path);
  std::error_code ec;
  fs::create_directories(fs::path(target), ec);
  if (ec) return ArchiveFail(std::string("cannot create directory ") + target + ": " + ec.message());

  int status = 0;
  std::set<std::string> seen;
  std::vector<uint8_t> chunk(1 << 20);
  for (uint32_t i = 0; i < archive.Count(); ++i) {
    const XB_ARCHIVE::Entry& e = archive.EntryAt(i);
    const std::vector<std::string> parts = SafeComponents(e.name);
    if (parts.empty()) {
      status = std::max(
          status, ArchiveFail(std::string("member name not safe to extract, skipped: \"") + e.name + "\""));
      continue;
    }
    // The saver finds only the first of names equal without regard to case; later ones are dead.
    if (!seen.insert(Lower(e.name)).second) {
      std::fprintf(stderr,
                   "tillands-assets archive: warning: \"%s\" is shadowed by an earlier member, skipped\n",
                   e.name);
      continue;
    }
    if (static_cast<int64_t>(e.offset) + e.size > archiveLength) {
      ArchiveFail(std::string("member \"") + e.name + "\" lies beyond the end of the archive, skipped");
      status = 2;  // a damaged archive
      continue;
    }
    fs::path out(target);
    for (const std::string& part : parts) out /= part;
    fs::create_directories(out.parent_path(), ec);
    XB_ATOMIC_FILE file;  // all or nothing: a failed member leaves no cut-short file
    if (!file.Open(out.string().c_str())) {
      status = std::max(status, ArchiveFail(file.Error()));
      continue;
    }
    XB_FILE& in = *archive.File();
    in.Seek(static_cast<int32_t>(e.offset));
    for (uint32_t done = 0; done < e.size;) {
      const uint32_t n = std::min<uint32_t>(e.size - done, static_cast<uint32_t>(chunk.size()));
      in.Read(chunk.data(), n);
      file.Write(chunk.data(), n);
      done += n;
    }
    if (!file.Commit()) status = std::max(status, ArchiveFail(file.Error()));
  }
  return status;
}

int Pack(const char* source, const char* output) {
  std::error_code ec;
  if (!fs::is_directory(fs::path(source), ec))
    return ArchiveFail(std::string("no such directory: ") + source);
  const fs::path outputPath = fs::weakly_canonical(fs::path(output), ec);

  std::vector<XB_ARCHIVE_MEMBER> members;
  std::set<std::string> names;
  const fs::path root(source);
  const fs::path realRoot = fs::canonical(root, ec);
  if (ec) return ArchiveFail(std::string("cannot resolve ") + source + ": " + ec.message());
  for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    // A symbolic link must not carry a file from outside the tree into the archive (a link to
    // /etc/passwd would be stored with that file's bytes under a name climbing out of the tree).
    // Links that stay inside are packed under the link's own name; links to folders are not followed.
    if (it->is_symlink(ec)) {
      std::error_code linkError;
      const fs::path target = fs::canonical(it->path(), linkError);
      const fs::path inside = linkError ? fs::path() : fs::relative(target, realRoot, linkError);
      if (linkError || inside.empty() || *inside.begin() == "..")
        return ArchiveFail("symbolic link " + it->path().string() + " points outside " + source +
                           (linkError ? " or nowhere" : "") + "; refusing to pack it");
    }
    if (!it->is_regular_file(ec)) continue;
    if (fs::weakly_canonical(it->path(), ec) == outputPath) continue;  // never pack the archive into itself
    std::string name;
    // Lexically: relative() would resolve a link to its target's name; the link's own name is stored.
    for (const fs::path& part : it->path().lexically_relative(root)) {
      if (!name.empty()) name += '\\';
      name += part.string();
    }
    if (!names.insert(Lower(name)).second)
      return ArchiveFail("two files differ only in letter case and cannot both be found: " + name);
    std::ifstream in(it->path(), std::ios::binary);
    if (!in) return ArchiveFail("cannot read " + it->path().string());
    XB_ARCHIVE_MEMBER member;
    member.name = name;
    member.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    members.push_back(std::move(member));
  }
  if (ec) return ArchiveFail(std::string("cannot walk ") + source + ": " + ec.message());

  std::sort(members.begin(), members.end(),
            [](const XB_ARCHIVE_MEMBER& a, const XB_ARCHIVE_MEMBER& b) { return a.name < b.name; });
  std::string error;
  if (!XB_WriteArchive(output, members, &error)) return ArchiveFail(error);
  std::printf("packed %zu members into %s\n", members.size(), output);
  return 0;
}

int RunArchive(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string action = argv[1];
  if (action == "list" && argc == 3) return ListArchive(argv[2], false);
  if (action == "list" && argc == 4 && std::strcmp(argv[3], "--raw") == 0) return ListArchive(argv[2], true);
  if (action == "extract" && argc == 4) return Extract(argv[2], argv[3]);
  if (action == "pack" && argc == 4) return Pack(argv[2], argv[3]);
  if (action != "list" && action != "extract" && action != "pack")
    std::fprintf(stderr, "tillands-assets archive: unknown action '%s'\n\n", action.c_str());
  else
    std::fprintf(stderr, "tillands-assets archive: wrong number of arguments for '%s'\n\n", action.c_str());
  return Usage();
}

}  // namespace
