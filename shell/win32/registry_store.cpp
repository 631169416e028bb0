#include "shell/win32/registry_store.h"

#include <windows.h>

namespace {

HKEY RootOf(SettingsHive hive) {
  switch (hive) {
    case SettingsHive::CurrentUser:
      return HKEY_CURRENT_USER;
    case SettingsHive::Users:
      return HKEY_USERS;
    case SettingsHive::LocalMachine:
      break;
  }
  return HKEY_LOCAL_MACHINE;
}

class RegistryKey final : public SettingsKey {
 public:
  explicit RegistryKey(HKEY key) : key_(key) {}
  ~RegistryKey() override { RegCloseKey(key_); }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  bool ReadValue(const char* name, void* buffer, uint32_t* size) override {
    DWORD type = 0;
    DWORD bytes = *size;
    if (RegQueryValueExA(key_, name, nullptr, &type, static_cast<BYTE*>(buffer), &bytes) != ERROR_SUCCESS)
      return false;
    *size = bytes;
    return true;
  }
  bool WriteNumber(const char* name, uint32_t value) override {
    const DWORD v = value;
    return RegSetValueExA(key_, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v) ==
           ERROR_SUCCESS;
  }

 private:
  HKEY key_;
};

}  // namespace

std::unique_ptr<SettingsKey> RegistrySettingsStore::OpenKey(SettingsHive hive, const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(RootOf(hive), path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return nullptr;
  return std::make_unique<RegistryKey>(key);
}

std::unique_ptr<SettingsKey> RegistrySettingsStore::CreateKey(SettingsHive hive, const std::string& path) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExA(RootOf(hive), path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                      nullptr, &key, &disposition) != ERROR_SUCCESS)
    return nullptr;
  return std::make_unique<RegistryKey>(key);
}
