#include "shell/linux/linux_setup.h"

#include <cstring>
#include <filesystem>

#include "shell/settings.h"

namespace fs = std::filesystem;

namespace {

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

bool IsSaverKey(SettingsHive hive, const std::string& path) {
  return hive == SettingsHive::CurrentUser && Lower(path) == Lower(kSettingsKeyPath);
}

class OverrideKey final : public SettingsKey {
 public:
  OverrideKey(const std::map<std::string, SettingsValue>& overrides, std::unique_ptr<SettingsKey> base)
      : overrides_(overrides), base_(std::move(base)) {}
  bool ReadValue(const char* name, void* buffer, uint32_t* size) override {
    auto it = overrides_.find(Lower(name ? name : ""));
    if (it == overrides_.end()) return base_ && base_->ReadValue(name, buffer, size);
    const std::vector<uint8_t>& bytes = it->second.bytes;
    if (!size || bytes.size() > *size) return false;
    if (!bytes.empty()) std::memcpy(buffer, bytes.data(), bytes.size());
    *size = static_cast<uint32_t>(bytes.size());
    return true;
  }
  bool WriteNumber(const char* name, uint32_t value) override {
    return base_ && base_->WriteNumber(name, value);
  }

 private:
  const std::map<std::string, SettingsValue>& overrides_;
  std::unique_ptr<SettingsKey> base_;
};

}  // namespace

void OverrideSettingsStore::Override(const std::string& name, const SettingsValue& value) {
  overrides_[Lower(name)] = value;
}

std::unique_ptr<SettingsKey> OverrideSettingsStore::OpenKey(SettingsHive hive, const std::string& path) {
  std::unique_ptr<SettingsKey> base = base_ ? base_->OpenKey(hive, path) : nullptr;
  if (!IsSaverKey(hive, path) || (overrides_.empty())) return base;
  return std::make_unique<OverrideKey>(overrides_, std::move(base));
}

std::unique_ptr<SettingsKey> OverrideSettingsStore::CreateKey(SettingsHive hive, const std::string& path) {
  return base_ ? base_->CreateKey(hive, path) : nullptr;
}

std::string ReadGamePath(SettingsStore& store) {
  std::unique_ptr<SettingsKey> key = store.OpenKey(SettingsHive::CurrentUser, kSettingsKeyPath);
  if (!key) return {};
  char buffer[4096] = {};
  uint32_t size = sizeof buffer - 1;
  if (!key->ReadValue("GamePath", buffer, &size)) return {};
  return std::string(buffer, strnlen(buffer, size));
}

bool LooksLikeDataDirectory(const std::string& dir) {
  std::error_code ec;
  if (dir.empty() || !fs::is_directory(dir, ec)) return false;
  const fs::path d(dir);
  return fs::is_regular_file(d / "data_v.dat", ec) || fs::is_directory(d / "Data_V", ec) ||
         fs::is_directory(d / "DATA_V", ec);
}

std::string FindDataDirectory(const DataLookup& lookup, std::string& note) {
  std::error_code ec;
  note.clear();
  if (!lookup.option.empty()) {
    if (fs::is_directory(lookup.option, ec)) return lookup.option;
    note = "the data directory '" + lookup.option + "' given with --data does not exist";
    return {};
  }
  if (!lookup.gamePath.empty()) {
    if (fs::is_directory(lookup.gamePath, ec)) return lookup.gamePath;
    note = "the GamePath '" + lookup.gamePath + "' of the settings is no directory; looking further";
  }
  if (!lookup.programDir.empty()) {
    const fs::path self(lookup.programDir);
    // <prefix>/bin/tillands and <prefix>/libexec/xscreensaver/tillands.
    for (const fs::path& candidate :
         {self.parent_path() / "share" / "tillands", self.parent_path().parent_path() / "share" / "tillands"})
      if (LooksLikeDataDirectory(candidate.string())) return candidate.string();
  }
  if (LooksLikeDataDirectory(lookup.buildWorld)) return lookup.buildWorld;
  if (!note.empty()) note += "; ";
  note +=
      "no data found: give --data DIR, set GamePath in the settings, or install the demo world "
      "(share/tillands)";
  return {};
}

void ApplyOptionOverrides(const LinuxOptions& options, const std::string& dataDir,
                          OverrideSettingsStore& store) {
  if (options.frameRate) store.Override("FrameRate", SettingsValue::Number(*options.frameRate));
  if (options.animations) store.Override("Num Animations", SettingsValue::Number(*options.animations));
  if (options.sound) store.Override("Sound", SettingsValue::Number(*options.sound ? 1 : 0));
  if (options.scale) store.Override("Scale", SettingsValue::Number(*options.scale));
  if (options.monitors) store.Override("Monitors", SettingsValue::Number(*options.monitors));
  if (!dataDir.empty()) store.Override("GamePath", SettingsValue::Text(dataDir));
}
