#include "shell/settings_store.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/xb_atomic_file.h"

const char* const kSettingsKeyPath = "Control Panel\\Desktop\\ScreenSaver.Tillands Bildschirmschoner";
const char* const kDefaultUserSettingsKeyPath =
    ".DEFAULT\\Control Panel\\Desktop\\ScreenSaver.Tillands Bildschirmschoner";

std::string MakeSettingsKeyPath(const char* desktopKey, const char* saverName) {
  char path[512];
  std::snprintf(path, sizeof path, "%s\\ScreenSaver.%s", desktopKey, saverName);
  return path;
}

namespace {

std::string Lower(const std::string& text) {
  std::string out = text;
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

bool CopyOut(const SettingsValue& value, void* buffer, uint32_t* size) {
  if (!size || value.bytes.size() > *size) return false;
  if (!value.bytes.empty()) std::memcpy(buffer, value.bytes.data(), value.bytes.size());
  *size = static_cast<uint32_t>(value.bytes.size());
  return true;
}

}  // namespace

SettingsValue SettingsValue::Number(uint32_t value) {
  SettingsValue v;
  v.type = SettingsValueType::Number;
  v.bytes = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
  return v;
}

SettingsValue SettingsValue::Text(const std::string& text) {
  SettingsValue v;
  v.type = SettingsValueType::Text;
  v.bytes.assign(text.begin(), text.end());
  v.bytes.push_back(0);
  return v;
}

bool ReadSettingsNumber(SettingsKey& key, const char* name, uint32_t& value) {
  uint8_t buffer[4] = {0, 0, 0, 0};
  uint32_t size = sizeof buffer;
  if (!key.ReadValue(name, buffer, &size)) return false;
  value =
      uint32_t(buffer[0]) | uint32_t(buffer[1]) << 8 | uint32_t(buffer[2]) << 16 | uint32_t(buffer[3]) << 24;
  return true;
}

// ---------------------------------------------------------------------------------------------------

class MemorySettingsKey final : public SettingsKey {
 public:
  MemorySettingsKey(MemorySettingsStore& store, SettingsHive hive, std::string path, bool writable)
      : store_(store), hive_(hive), path_(std::move(path)), writable_(writable) {}

  bool ReadValue(const char* name, void* buffer, uint32_t* size) override {
    auto key = store_.keys_.find(MemorySettingsStore::KeyName(hive_, path_));
    if (key == store_.keys_.end() || !name) return false;
    auto value = key->second.values.find(Lower(name));
    return value != key->second.values.end() && CopyOut(value->second, buffer, size);
  }

  bool WriteNumber(const char* name, uint32_t value) override {
    if (!writable_ || !name) return false;
    store_.keys_[MemorySettingsStore::KeyName(hive_, path_)].values[Lower(name)] =
        SettingsValue::Number(value);
    store_.writes_.push_back({hive_, path_, name, value});
    return true;
  }

 private:
  MemorySettingsStore& store_;
  SettingsHive hive_;
  std::string path_;
  bool writable_;
};

std::string MemorySettingsStore::KeyName(SettingsHive hive, const std::string& path) {
  return (hive == SettingsHive::Users ? "users\\" : "user\\") + Lower(path);
}

std::unique_ptr<SettingsKey> MemorySettingsStore::OpenKey(SettingsHive hive, const std::string& path) {
  if (!HasKey(hive, path)) return nullptr;
  return std::make_unique<MemorySettingsKey>(*this, hive, path, false);
}

std::unique_ptr<SettingsKey> MemorySettingsStore::CreateKey(SettingsHive hive, const std::string& path) {
  if (failCreate_[hive == SettingsHive::Users]) return nullptr;
  AddKey(hive, path);
  return std::make_unique<MemorySettingsKey>(*this, hive, path, true);
}

void MemorySettingsStore::Set(SettingsHive hive, const std::string& path, const std::string& name,
                              const SettingsValue& value) {
  keys_[KeyName(hive, path)].values[Lower(name)] = value;
}

void MemorySettingsStore::AddKey(SettingsHive hive, const std::string& path) {
  keys_[KeyName(hive, path)];
}

bool MemorySettingsStore::HasKey(SettingsHive hive, const std::string& path) const {
  return keys_.count(KeyName(hive, path)) != 0;
}

bool MemorySettingsStore::GetNumber(SettingsHive hive, const std::string& path, const std::string& name,
                                    uint32_t& value) const {
  auto key = keys_.find(KeyName(hive, path));
  if (key == keys_.end()) return false;
  auto v = key->second.values.find(Lower(name));
  if (v == key->second.values.end() || v->second.type != SettingsValueType::Number) return false;
  const auto& b = v->second.bytes;
  value = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
  return true;
}

// ---------------------------------------------------------------------------------------------------

class IniSettingsKey final : public SettingsKey {
 public:
  IniSettingsKey(IniSettingsStore& store, std::string section, bool writable)
      : store_(store), section_(std::move(section)), writable_(writable) {}

  bool ReadValue(const char* name, void* buffer, uint32_t* size) override {
    std::vector<IniSettingsStore::Section> sections;
    if (!name || !store_.Load(sections)) return false;
    for (const auto& s : sections) {
      if (Lower(s.name) != Lower(section_)) continue;
      for (const auto& unreadable : s.unreadable)
        if (unreadable == Lower(name)) return false;
      for (const auto& [valueName, value] : s.values)
        if (Lower(valueName) == Lower(name)) return CopyOut(value, buffer, size);
    }
    return false;
  }

  bool WriteNumber(const char* name, uint32_t value) override {
    std::vector<IniSettingsStore::Section> sections;
    if (!writable_ || !name || !store_.Load(sections)) return false;
    IniSettingsStore::Section* target = nullptr;
    for (auto& s : sections)
      if (Lower(s.name) == Lower(section_)) target = &s;
    if (!target) {
      sections.push_back({section_, {}, {}});
      target = &sections.back();
    }
    bool replaced = false;
    for (auto& [valueName, stored] : target->values)
      if (Lower(valueName) == Lower(name)) {
        stored = SettingsValue::Number(value);
        replaced = true;
      }
    if (!replaced) target->values.emplace_back(name, SettingsValue::Number(value));
    std::erase(target->unreadable, Lower(name));
    return store_.Save(sections);
  }

 private:
  IniSettingsStore& store_;
  std::string section_;
  bool writable_;
};

std::string IniSettingsStore::SectionName(SettingsHive hive, const std::string& path) {
  return std::string(hive == SettingsHive::Users ? "HKEY_USERS\\" : "HKEY_CURRENT_USER\\") + path;
}

std::string IniSettingsStore::DefaultPath() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg) return (std::filesystem::path(xdg) / "tillands" / "settings.ini").string();
  const char* home = std::getenv("HOME");
  if (home && *home) return (std::filesystem::path(home) / ".config" / "tillands" / "settings.ini").string();
  return {};
}

bool IniSettingsStore::Load(std::vector<Section>& sections) const {
  sections.clear();
  std::error_code ec;
  if (!std::filesystem::exists(path_, ec)) return true;
  if (std::filesystem::is_directory(path_, ec)) return false;
  std::ifstream in(path_, std::ios::binary);
  if (!in) return false;
  ParseSections(in, sections);
  return true;
}

namespace {

// A number as people write it: decimal digits (spaces around them allowed), or "dword:" and 8 hex
// digits as older versions of this program wrote it.
bool ParseSettingsNumber(const std::string& text, uint32_t& number) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return false;
  const size_t last = text.find_last_not_of(" \t");
  const std::string t = text.substr(first, last - first + 1);
  if (t.size() == 14 && Lower(t.substr(0, 6)) == "dword:") {
    uint64_t v = 0;
    for (size_t i = 6; i < t.size(); ++i) {
      const char c = static_cast<char>(Lower(std::string(1, t[i]))[0]);
      if (c >= '0' && c <= '9')
        v = v * 16 + uint64_t(c - '0');
      else if (c >= 'a' && c <= 'f')
        v = v * 16 + uint64_t(c - 'a' + 10);
      else
        return false;
    }
    number = static_cast<uint32_t>(v);
    return true;
  }
  if (t.size() > 10) return false;
  uint64_t v = 0;
  for (char c : t) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + uint64_t(c - '0');
  }
  if (v > 0xFFFFFFFFull) return false;
  number = static_cast<uint32_t>(v);
  return true;
}

// "GamePath" is the one text the saver reads; every other value it knows is a number.
bool HoldsText(const std::string& lowerName) {
  return lowerName == "gamepath";
}
bool IsKnownNumber(const std::string& lowerName) {
  return lowerName == "framerate" || lowerName == "num animations" || lowerName == "sound" ||
         lowerName == "scale" || lowerName == "monitors";
}

}  // namespace

void IniSettingsStore::ParseSections(std::istream& in, std::vector<Section>& sections,
                                     std::vector<std::string>* problems) {
  sections.clear();
  std::string line;
  Section* current = nullptr;  // taken again after every push_back
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == ';' || line[start] == '#') continue;
    if (line[start] == '[') {
      size_t end = line.rfind(']');
      if (end == std::string::npos || end <= start) continue;
      // A section written twice (files are edited by hand) is one key: later lines join the first.
      std::string name = line.substr(start + 1, end - start - 1);
      current = nullptr;
      for (auto& s : sections)
        if (Lower(s.name) == Lower(name)) current = &s;
      if (!current) {
        sections.push_back({name, {}, {}});
        current = &sections.back();
      }
      continue;
    }
    size_t eq = line.find('=');
    if (eq == std::string::npos || !current) continue;
    std::string name = line.substr(start, eq - start);
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.pop_back();
    const std::string lowerName = Lower(name);
    std::string text = line.substr(eq + 1);
    SettingsValue value = SettingsValue::Text(text);
    uint32_t number = 0;
    bool unreadable = false;
    if (!HoldsText(lowerName)) {
      if (ParseSettingsNumber(text, number)) {
        value = SettingsValue::Number(number);
      } else if (IsKnownNumber(lowerName)) {
        unreadable = true;
        if (problems) problems->push_back(name + "=" + text + " is not a number (ignored)");
      }
    }
    // The last of several lines for the same value wins, as a later write would.
    std::erase(current->unreadable, lowerName);
    if (unreadable) current->unreadable.push_back(lowerName);
    bool replaced = false;
    for (auto& [existing, stored] : current->values)
      if (Lower(existing) == lowerName) {
        stored = value;
        replaced = true;
      }
    if (!replaced) current->values.emplace_back(name, value);
  }
}

std::vector<std::string> IniSettingsStore::Problems() const {
  std::vector<std::string> problems;
  std::error_code ec;
  if (path_.empty() || !std::filesystem::exists(path_, ec)) return problems;
  std::ifstream in;
  if (std::filesystem::is_directory(path_, ec))
    errno = EISDIR;
  else
    in.open(path_, std::ios::binary);
  if (!in.is_open()) {
    problems.push_back("cannot read the settings file " + path_ + ": " + std::strerror(errno) +
                       " (the defaults stand)");
    return problems;
  }
  std::vector<Section> sections;
  std::vector<std::string> values;
  ParseSections(in, sections, &values);
  for (const std::string& v : values) problems.push_back(path_ + ": " + v);
  return problems;
}

bool IniSettingsStore::Save(const std::vector<Section>& sections) const {
  std::ostringstream out;
  for (const auto& s : sections) {
    out << '[' << s.name << "]\n";
    for (const auto& [name, value] : s.values) {
      out << name << '=';
      if (value.type == SettingsValueType::Number) {
        uint32_t n = uint32_t(value.bytes[0]) | uint32_t(value.bytes[1]) << 8 |
                     uint32_t(value.bytes[2]) << 16 | uint32_t(value.bytes[3]) << 24;
        out << n;
      } else {
        out.write(reinterpret_cast<const char*>(value.bytes.data()),
                  static_cast<std::streamsize>(value.bytes.empty() ? 0 : value.bytes.size() - 1));
      }
      out << '\n';
    }
    out << '\n';
  }
  std::error_code ec;
  std::filesystem::path file(path_);
  if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path(), ec);
  // All or nothing, under a temporary name of this process's own: two savers saving at once never
  // mix their texts nor leave half a file.
  const std::string text = out.str();
  return XB_WriteFileAtomic(path_.c_str(), text.data(), text.size(), nullptr);
}

std::unique_ptr<SettingsKey> IniSettingsStore::OpenKey(SettingsHive hive, const std::string& path) {
  std::vector<Section> sections;
  if (!Load(sections)) return nullptr;
  const std::string want = Lower(SectionName(hive, path));
  for (const auto& s : sections)
    if (Lower(s.name) == want) return std::make_unique<IniSettingsKey>(*this, SectionName(hive, path), false);
  return nullptr;
}

std::unique_ptr<SettingsKey> IniSettingsStore::CreateKey(SettingsHive hive, const std::string& path) {
  std::vector<Section> sections;
  if (path_.empty() || !Load(sections)) return nullptr;
  const std::string name = SectionName(hive, path);
  for (const auto& s : sections)
    if (Lower(s.name) == Lower(name)) return std::make_unique<IniSettingsKey>(*this, name, true);
  sections.push_back({name, {}, {}});
  if (!Save(sections)) return nullptr;
  return std::make_unique<IniSettingsKey>(*this, name, true);
}

bool IniSettingsStore::WriteValues(SettingsHive hive, const std::string& path,
                                   const std::vector<std::pair<std::string, SettingsValue>>& values) {
  std::vector<Section> sections;
  if (path_.empty() || !Load(sections)) return false;
  const std::string name = SectionName(hive, path);
  Section* target = nullptr;
  for (auto& s : sections)
    if (Lower(s.name) == Lower(name)) target = &s;
  if (!target) {
    sections.push_back({name, {}, {}});
    target = &sections.back();
  }
  for (const auto& [valueName, value] : values) {
    std::erase(target->unreadable, Lower(valueName));
    bool replaced = false;
    for (auto& [existing, stored] : target->values)
      if (Lower(existing) == Lower(valueName)) {
        stored = value;
        replaced = true;
      }
    if (!replaced) target->values.emplace_back(valueName, value);
  }
  return Save(sections);
}
