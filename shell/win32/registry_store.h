// The settings store over the registry: HKEY_CURRENT_USER and HKEY_USERS, values read as
// RegQueryValueExA reads them (any type, only when they fit the caller's buffer) and numbers written
// as REG_DWORD. Failures are silent: an open or create that fails gives no key.
#pragma once

#include "shell/settings_store.h"

class RegistrySettingsStore final : public SettingsStore {
 public:
  std::unique_ptr<SettingsKey> OpenKey(SettingsHive hive, const std::string& path) override;
  std::unique_ptr<SettingsKey> CreateKey(SettingsHive hive, const std::string& path) override;
};
