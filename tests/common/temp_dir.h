// Test helper: a private scratch directory that exists for the lifetime of one test.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

class XB_FILE;

namespace tl_test {

// Creates a fresh, uniquely named directory under the system temp folder and removes it (with all
// contents) on destruction. If the test changed into it with Enter(), the previous working directory
// is restored first, so a failing test cannot leave the process inside a deleted directory.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // Absolute path of a file inside the directory (relative names may contain '/').
  std::string File(const std::string& relative) const;

  // Makes the directory the working directory; Leave() (or the destructor) goes back.
  void Enter();
  void Leave();

  // Writes bytes or text to a file inside the directory, creating parent folders; returns the
  // absolute path.
  std::string Write(const std::string& relative, const std::vector<uint8_t>& bytes) const;
  std::string WriteText(const std::string& relative, const std::string& text) const;
  // Reads a whole file inside the directory (or an absolute path); fails the test if missing.
  std::vector<uint8_t> Read(const std::string& relative) const;
  std::string ReadText(const std::string& relative) const;
  bool Exists(const std::string& relative) const;
  void MakeDir(const std::string& relative) const;

 private:
  std::filesystem::path Resolve(const std::string& relative) const;

  std::filesystem::path path_;
  std::filesystem::path previous_cwd_;
  bool entered_ = false;
};

// Helpers for building little-endian binary fixtures.
void PutU16(std::vector<uint8_t>& out, uint16_t v);
void PutU32(std::vector<uint8_t>& out, uint32_t v);
void PutI32(std::vector<uint8_t>& out, int32_t v);
void PutBytes(std::vector<uint8_t>& out, const std::string& s);
// The bytes of a text.
std::vector<uint8_t> BytesOf(const std::string& s);
// The whole content of an open file, as text.
std::string ReadAll(XB_FILE& f);
// The whole content of a file on disk (empty if it cannot be read). One read, not a byte at a time:
// the suites compile unoptimised in the sanitizer build, where a stream iterator over megabytes of
// frames and archives took seconds.
std::vector<uint8_t> FileBytes(const std::filesystem::path& path);
// A 64-bit hash of a frame's bytes, eight at a time, continuing from `h` (long runs hash millions of
// pixels per frame; here, compiled optimised, rather than in each unoptimised suite).
constexpr uint64_t kHashStart = 1469598103934665603ull;
uint64_t HashBytes(const uint8_t* data, size_t size, uint64_t h = kHashStart);

}  // namespace tl_test
