#include "shell/linux/xscreensaver_config.h"

#include <unistd.h>

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

bool XScreenSaverConfigHasTillands(const std::string& config) {
  const std::vector<std::string> lines = SplitLines(config);
  const int start = FindPrograms(lines, "");
  if (start < 0) return false;
  const size_t end = ListEnd(lines, static_cast<size_t>(start));
  for (size_t i = static_cast<size_t>(start); i <= end; ++i) {
    const std::string& line = lines[i];
    for (size_t at = line.find("tillands"); at != std::string::npos; at = line.find("tillands", at + 1))
      if (WordIsTillands(line, at)) return true;
  }
  return false;
}

std::string AddTillandsToXScreenSaverConfig(const std::string& config, const std::string& defaults) {
  if (XScreenSaverConfigHasTillands(config)) return config;
  std::vector<std::string> lines = SplitLines(config);
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

int AddTillandsToXScreenSaverFile(const std::string& path, const std::string& defaultsPath,
                                  std::string& error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path target = path;
  if (fs::is_symlink(target, ec)) {
    const fs::path resolved = fs::canonical(target, ec);
    if (ec) return error = "cannot follow the link " + path, -1;
    target = resolved;
  }
  std::string config;
  bool existed = false;
  {
    std::ifstream in(target, std::ios::binary);
    if (in) {
      existed = true;
      std::ostringstream all;
      all << in.rdbuf();
      if (in.bad()) return error = "cannot read " + target.string(), -1;
      config = all.str();
    } else if (fs::exists(target, ec)) {
      return error = "cannot read " + target.string(), -1;
    }
  }
  if (XScreenSaverConfigHasTillands(config)) return 1;
  std::string defaults;
  if (!defaultsPath.empty()) {
    std::ifstream in(defaultsPath, std::ios::binary);
    std::ostringstream all;
    if (in) all << in.rdbuf();
    defaults = all.str();
  }
  const std::string updated = AddTillandsToXScreenSaverConfig(config, defaults);

  std::string temp = (target.parent_path() / (target.filename().string() + ".tillands-XXXXXX")).string();
  const int fd = mkstemp(temp.data());
  if (fd < 0) return error = "cannot create a temporary file beside " + target.string(), -1;
  struct stat st {};
  fchmod(fd, existed && stat(target.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644);
  size_t done = 0;
  bool ok = true;
  while (ok && done < updated.size()) {
    const ssize_t n = write(fd, updated.data() + done, updated.size() - done);
    if (n <= 0)
      ok = false;
    else
      done += static_cast<size_t>(n);
  }
  if (fsync(fd) != 0) ok = false;
  if (close(fd) != 0) ok = false;
  if (!ok || std::rename(temp.c_str(), target.c_str()) != 0) {
    unlink(temp.c_str());
    return error = "cannot write " + target.string(), -1;
  }
  return 0;
}
