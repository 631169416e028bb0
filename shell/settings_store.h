// The settings store: where the saver keeps "FrameRate", "Num Animations", "Sound" and reads
// "GamePath". On Windows it is the registry; on Linux a small INI file under the XDG config
// directory; in tests it lives in memory. The value semantics are the registry's everywhere: values
// are typed (a 32-bit number or a text), and a read copies the value's raw bytes into the caller's
// buffer only when they fit.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <istream>
#include <string>
#include <vector>

// The two places the saver's key exists: the current user's (HKEY_CURRENT_USER) and, for SaveSettings,
// the default user's below all users (HKEY_USERS).
enum class SettingsHive { CurrentUser, Users };

// The key path: "%s\ScreenSaver.%s" from "Control Panel\Desktop" and "Tillands Bildschirmschoner".
extern const char* const kSettingsKeyPath;
// The default user's copy: ".DEFAULT\%s" around kSettingsKeyPath (under SettingsHive::Users).
extern const char* const kDefaultUserSettingsKeyPath;
// The key path from its parts, as the saver builds it ("%s\ScreenSaver.%s").
std::string MakeSettingsKeyPath(const char* desktopKey, const char* saverName);

enum class SettingsValueType { Number, Text };

struct SettingsValue {
  SettingsValueType type = SettingsValueType::Number;
  // The bytes a registry read hands out: 4 bytes little-endian for a number, the text and its NUL.
  std::vector<uint8_t> bytes;

  static SettingsValue Number(uint32_t value);
  static SettingsValue Text(const std::string& text);
};

// An open key. Closing is destruction.
class SettingsKey {
 public:
  virtual ~SettingsKey() = default;
  // Like RegQueryValueExA: copies the value's bytes into buffer and sets *size when they fit into
  // *size bytes; false (buffer untouched) when the value is missing or larger.
  virtual bool ReadValue(const char* name, void* buffer, uint32_t* size) = 0;
  // Writes a 32-bit number; false when the store could not keep it.
  virtual bool WriteNumber(const char* name, uint32_t value) = 0;
};

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  // Opens an existing key for reading; null when it does not exist.
  virtual std::unique_ptr<SettingsKey> OpenKey(SettingsHive hive, const std::string& path) = 0;
  // Creates the key or opens it for writing; null when that is not possible.
  virtual std::unique_ptr<SettingsKey> CreateKey(SettingsHive hive, const std::string& path) = 0;
};

// Reads a 32-bit number into a zeroed 4-byte buffer (any stored type is accepted, as the saver
// does); false when missing or longer than 4 bytes.
bool ReadSettingsNumber(SettingsKey& key, const char* name, uint32_t& value);

// ---------------------------------------------------------------------------------------------------
// The in-memory store. Keys and value names are matched without regard to case. Every write is also
// logged so tests can check what was written, where, and in which order.

class MemorySettingsStore final : public SettingsStore {
 public:
  struct WriteRecord {
    SettingsHive hive;
    std::string path;
    std::string name;
    uint32_t value;
  };

  std::unique_ptr<SettingsKey> OpenKey(SettingsHive hive, const std::string& path) override;
  std::unique_ptr<SettingsKey> CreateKey(SettingsHive hive, const std::string& path) override;

  // Test set-up: values are set directly, without a write record.
  void Set(SettingsHive hive, const std::string& path, const std::string& name, const SettingsValue& value);
  void SetNumber(SettingsHive hive, const std::string& path, const std::string& name, uint32_t value) {
    Set(hive, path, name, SettingsValue::Number(value));
  }
  void SetText(SettingsHive hive, const std::string& path, const std::string& name, const std::string& text) {
    Set(hive, path, name, SettingsValue::Text(text));
  }
  // Makes an empty key exist.
  void AddKey(SettingsHive hive, const std::string& path);
  bool HasKey(SettingsHive hive, const std::string& path) const;
  // The stored number, or nullopt-like false when missing or not a number.
  bool GetNumber(SettingsHive hive, const std::string& path, const std::string& name, uint32_t& value) const;

  // Failure injection: CreateKey on this hive gives null.
  void FailCreate(SettingsHive hive, bool fail) { failCreate_[hive == SettingsHive::Users] = fail; }

  const std::vector<WriteRecord>& Writes() const { return writes_; }

 private:
  friend class MemorySettingsKey;
  struct Key {
    std::map<std::string, SettingsValue> values;  // lower-case name -> value
  };
  static std::string KeyName(SettingsHive hive, const std::string& path);
  std::map<std::string, Key> keys_;  // lower-case "hive\path" -> key
  std::vector<WriteRecord> writes_;
  bool failCreate_[2] = {false, false};
};

// ---------------------------------------------------------------------------------------------------
// The INI file store (Linux and headless). One file holds both hives, one section per key:
//
//   [HKEY_CURRENT_USER\Control Panel\Desktop\ScreenSaver.Tillands Bildschirmschoner]
//   FrameRate=12
//   Sound=0
//   GamePath=/usr/share/tillands
//
// People write this file by hand, so a plain decimal number (up to 4294967295) is a number, as is the
// older form dword:<8 hex digits>; "GamePath" is always a text. Any other text under a number's name
// (FrameRate=fast) cannot be read: it reads as missing (the default stands) and is reported by
// Problems(), but kept in the file. Section and value names are matched without regard to case.
// Numbers are written in decimal. Every write rewrites the whole file (through a temporary file and a
// rename, so a crash never leaves half a file).

class IniSettingsStore final : public SettingsStore {
 public:
  // The file is read when a key is opened, so changes by other programs are seen.
  explicit IniSettingsStore(std::string path) : path_(std::move(path)) {}

  std::unique_ptr<SettingsKey> OpenKey(SettingsHive hive, const std::string& path) override;
  std::unique_ptr<SettingsKey> CreateKey(SettingsHive hive, const std::string& path) override;

  const std::string& Path() const { return path_; }

  // Sets several values of one key in a single rewrite of the file (other values stay): a reader
  // sees the old file or the new one, never some of the values. False when it could not be written.
  bool WriteValues(SettingsHive hive, const std::string& path,
                   const std::vector<std::pair<std::string, SettingsValue>>& values);

  struct Section {
    std::string name;                                           // as written
    std::vector<std::pair<std::string, SettingsValue>> values;  // in file order
    std::vector<std::string> unreadable;  // lower-case names of numbers written as other text
  };
  // The parser on its own: the sections of a settings text (the fuzz harness feeds it directly).
  // problems (if given) receives a line for every value that cannot be read.
  static void ParseSections(std::istream& in, std::vector<Section>& sections,
                            std::vector<std::string>* problems = nullptr);

  // What a user should hear about the file: that it exists but cannot be read, or its values that
  // cannot be read (one line each, without the program's name). Empty when all is well or there is
  // no file.
  std::vector<std::string> Problems() const;

  // $XDG_CONFIG_HOME/tillands/settings.ini, else $HOME/.config/tillands/settings.ini; empty when
  // neither variable is set.
  static std::string DefaultPath();

 private:
  friend class IniSettingsKey;
  bool Load(std::vector<Section>& sections) const;  // false only when the file exists but cannot be read
  bool Save(const std::vector<Section>& sections) const;
  static std::string SectionName(SettingsHive hive, const std::string& path);

  std::string path_;
};
