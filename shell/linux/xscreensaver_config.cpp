#include "shell/linux/xscreensaver_config.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <vector>

const char* const kXScreenSaverEntry = "tillands --root";

namespace {

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  std::istringstream in(text);
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

std::string RightTrim(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.pop_back();
  return s;
}

bool Continues(const std::string& line) {
  const std::string t = RightTrim(line);
  return !t.empty() && t.back() == '\\';
}

// The line index of "programs:" (with `prefix` before it, "" or "*"), or -1.
int FindPrograms(const std::vector<std::string>& lines, const std::string& prefix) {
  const std::string key = prefix + "programs:";
  for (size_t i = 0; i < lines.size(); ++i) {
    size_t p = lines[i].find_first_not_of(" \t");
    if (p != std::string::npos && lines[i].compare(p, key.size(), key) == 0) return static_cast<int>(i);
  }
  return -1;
}

// The last line of the list starting at `start`.
size_t ListEnd(const std::vector<std::string>& lines, size_t start) {
  size_t end = start;
  while (end + 1 < lines.size() && Continues(lines[end])) ++end;
  return end;
}

bool WordIsTillands(const std::string& text, size_t at) {
  const std::string word = "tillands";
  if (text.compare(at, word.size(), word) != 0) return false;
  const bool startOk = at == 0 || std::string(" \t:-\"/").find(text[at - 1]) != std::string::npos;
  const size_t after = at + word.size();
  const bool endOk = after >= text.size() || std::string(" \t\\").find(text[after]) != std::string::npos;
  return startOk && endOk;
}

}  // namespace

namespace {

// Where our entry is: its line, and whether it is switched off; line -1 when absent.
struct EntryPlace {
  int line = -1;
  bool disabled = false;
  size_t entryStart = 0;  // where the entry's text begins on its line (after "programs:" on the first)
};

std::vector<EntryPlace> FindEntries(const std::vector<std::string>& lines) {
  std::vector<EntryPlace> found;
  const int start = FindPrograms(lines, "");
  if (start < 0) return found;
  const size_t end = ListEnd(lines, static_cast<size_t>(start));
  for (size_t i = static_cast<size_t>(start); i <= end; ++i) {
    const std::string& line = lines[i];
    for (size_t at = line.find("tillands"); at != std::string::npos; at = line.find("tillands", at + 1)) {
      if (!WordIsTillands(line, at)) continue;
      EntryPlace place;
      place.line = static_cast<int>(i);
      place.entryStart = i == static_cast<size_t>(start) ? line.find(':') + 1 : 0;
      // The entry begins after the last "\n" before our word on this line.
      const size_t previous = line.rfind("\\n", at);
      if (previous != std::string::npos && previous >= place.entryStart) place.entryStart = previous + 2;
      const size_t first = line.find_first_not_of(" \t", place.entryStart);
      place.disabled = first != std::string::npos && first < at && line[first] == '-';
      found.push_back(place);
      break;
    }
  }
  return found;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) out += line + "\n";
  return out;
}

}  // namespace

XScreenSaverEntry FindTillandsInXScreenSaverConfig(const std::string& config) {
  const std::vector<EntryPlace> places = FindEntries(SplitLines(config));
  if (places.empty()) return XScreenSaverEntry::Absent;
  for (const EntryPlace& p : places)
    if (!p.disabled) return XScreenSaverEntry::Enabled;
  return XScreenSaverEntry::Disabled;
}

bool XScreenSaverConfigHasTillands(const std::string& config) {
  return FindTillandsInXScreenSaverConfig(config) == XScreenSaverEntry::Enabled;
}

std::string RemoveTillandsFromXScreenSaverConfig(const std::string& config) {
  std::vector<std::string> lines = SplitLines(config);
  std::vector<EntryPlace> places = FindEntries(lines);
  if (places.empty()) return config;
  // From the last to the first, so the line numbers of the others stay right.
  for (auto p = places.rbegin(); p != places.rend(); ++p) {
    std::string& line = lines[static_cast<size_t>(p->line)];
    const size_t close = line.find("\\n", p->entryStart);
    const bool continues = Continues(line);
    if (close != std::string::npos) {
      // Only our entry goes: from its start to its "\n"; the rest of the line stays.
      line.erase(p->entryStart, close + 2 - p->entryStart);
    } else {
      line.erase(p->entryStart);
      if (continues) line += "\\";
    }
    const std::string rest = RightTrim(line.substr(std::min(p->entryStart, line.size())));
    const bool onlyUs = (rest.empty() || rest == "\\") && p->entryStart == 0;
    if (onlyUs) {
      const size_t at = static_cast<size_t>(p->line);
      const bool wasLast = !Continues(line);
      lines.erase(lines.begin() + static_cast<long>(at));
      // The list ended with us: the line before now ends it.
      if (wasLast && at > 0 && Continues(lines[at - 1])) {
        std::string t = RightTrim(lines[at - 1]);
        t.pop_back();
        lines[at - 1] = t;
      }
    }
  }
  return JoinLines(lines);
}

std::string FindXScreenSaverDefaults() {
  for (const char* path : {"/etc/X11/app-defaults/XScreenSaver", "/usr/share/X11/app-defaults/XScreenSaver",
                           "/usr/lib/X11/app-defaults/XScreenSaver"}) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(path, ec)) return path;
  }
  return {};
}

std::string AddTillandsToXScreenSaverConfig(const std::string& config, const std::string& defaults) {
  const XScreenSaverEntry state = FindTillandsInXScreenSaverConfig(config);
  if (state == XScreenSaverEntry::Enabled) return config;
  std::vector<std::string> lines = SplitLines(config);
  if (state == XScreenSaverEntry::Disabled) {
    // Switched on again where it stands: its place in the list (and "selected:") stays.
    const EntryPlace p = FindEntries(lines).front();
    std::string& line = lines[static_cast<size_t>(p.line)];
    line.erase(line.find('-', p.entryStart), 1);
    return JoinLines(lines);
  }
  const std::string entry = std::string("\t\t\t\t") + kXScreenSaverEntry + "\t\t\t\t    \\n";
  int start = FindPrograms(lines, "");
  if (start < 0) {
    // No list of the user's own: start from the system's, so every other hack stays.
    std::vector<std::string> list;
    const std::vector<std::string> system = SplitLines(defaults);
    const int s = FindPrograms(system, "*");
    if (s >= 0) {
      const size_t e = ListEnd(system, static_cast<size_t>(s));
      for (size_t i = static_cast<size_t>(s); i <= e; ++i) list.push_back(system[i]);
      const size_t star = list[0].find('*');
      list[0].erase(star, 1);
    } else {
      list.push_back("programs:");
    }
    if (!lines.empty() && !RightTrim(lines.back()).empty()) lines.push_back("");
    start = static_cast<int>(lines.size());
    lines.insert(lines.end(), list.begin(), list.end());
  }
  const size_t end = ListEnd(lines, static_cast<size_t>(start));
  std::string last = RightTrim(lines[end]);
  if (end == static_cast<size_t>(start) &&
      RightTrim(last.substr(last.find(':') + 1)).find_first_not_of(" \t") == std::string::npos) {
    last += "\t\\";  // an empty list: our entry becomes its first
  } else {
    if (last.size() < 2 || last.compare(last.size() - 2, 2, "\\n") != 0) last += "\\n";
    last += "\\";
  }
  lines[end] = last;
  lines.insert(lines.begin() + static_cast<long>(end) + 1, entry);
  std::string out;
  for (const std::string& line : lines) out += line + "\n";
  return out;
}

namespace {

// Follows a symbolic link so that the link stays; reads the file (empty when missing). False with
// `error` when it exists but cannot be read.
bool ReadConfigFile(const std::string& path, std::filesystem::path& target, std::string& config,
                    bool& existed, std::string& error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  target = path;
  existed = false;
  if (fs::is_symlink(target, ec)) {
    const fs::path resolved = fs::canonical(target, ec);
    if (ec) return error = "cannot follow the link " + path, false;
    target = resolved;
  }
  std::ifstream in(target, std::ios::binary);
  if (in) {
    existed = true;
    std::ostringstream all;
    all << in.rdbuf();
    if (in.bad()) return error = "cannot read " + target.string(), false;
    config = all.str();
  } else if (fs::exists(target, ec)) {
    return error = "cannot read " + target.string(), false;
  }
  return true;
}

// Written to a temporary file beside the target and renamed over it, with the target's permissions.
bool ReplaceConfigFile(const std::filesystem::path& target, bool existed, const std::string& text,
                       std::string& error) {
  std::string temp = (target.parent_path() / (target.filename().string() + ".tillands-XXXXXX")).string();
  const int fd = mkstemp(temp.data());
  if (fd < 0) return error = "cannot create a temporary file beside " + target.string(), false;
  struct stat st {};
  fchmod(fd, existed && stat(target.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644);
  size_t done = 0;
  bool ok = true;
  while (ok && done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n <= 0)
      ok = false;
    else
      done += static_cast<size_t>(n);
  }
  if (fsync(fd) != 0) ok = false;
  if (close(fd) != 0) ok = false;
  if (!ok || std::rename(temp.c_str(), target.c_str()) != 0) {
    unlink(temp.c_str());
    return error = "cannot write " + target.string(), false;
  }
  return true;
}

}  // namespace

int AddTillandsToXScreenSaverFile(const std::string& path, const std::string& defaultsPath,
                                  std::string& error) {
  std::filesystem::path target;
  std::string config;
  bool existed = false;
  if (!ReadConfigFile(path, target, config, existed, error)) return -1;
  const XScreenSaverEntry state = FindTillandsInXScreenSaverConfig(config);
  if (state == XScreenSaverEntry::Enabled) return 1;
  std::string defaults;
  if (!defaultsPath.empty()) {
    std::ifstream in(defaultsPath, std::ios::binary);
    std::ostringstream all;
    if (in) all << in.rdbuf();
    defaults = all.str();
  }
  if (!ReplaceConfigFile(target, existed, AddTillandsToXScreenSaverConfig(config, defaults), error))
    return -1;
  return state == XScreenSaverEntry::Disabled ? 2 : 0;
}

int RemoveTillandsFromXScreenSaverFile(const std::string& path, std::string& error) {
  std::filesystem::path target;
  std::string config;
  bool existed = false;
  if (!ReadConfigFile(path, target, config, existed, error)) return -1;
  if (FindTillandsInXScreenSaverConfig(config) == XScreenSaverEntry::Absent) return 1;
  return ReplaceConfigFile(target, existed, RemoveTillandsFromXScreenSaverConfig(config), error) ? 0 : -1;
}
