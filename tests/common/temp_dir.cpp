#include "tests/common/temp_dir.h"

#include "base/xb_file.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>

namespace tl_test {

namespace fs = std::filesystem;

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  std::random_device rd;
  const fs::path base = fs::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = "tl_test_" + std::to_string(rd()) + "_" + std::to_string(counter++);
    std::error_code ec;
    if (fs::create_directory(base / name, ec)) {
      path_ = base / name;
      return;
    }
  }
  ADD_FAILURE() << "could not create a temporary directory under " << base;
}

TempDir::~TempDir() {
  Leave();
  if (!path_.empty()) {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
}

std::string TempDir::File(const std::string& relative) const {
  return Resolve(relative).string();
}

fs::path TempDir::Resolve(const std::string& relative) const {
  fs::path p(relative);
  return p.is_absolute() ? p : path_ / p;
}

void TempDir::Enter() {
  if (!entered_) previous_cwd_ = fs::current_path();
  fs::current_path(path_);
  entered_ = true;
}

void TempDir::Leave() {
  if (!entered_) return;
  std::error_code ec;
  fs::current_path(previous_cwd_, ec);
  entered_ = false;
}

std::string TempDir::Write(const std::string& relative, const std::vector<uint8_t>& bytes) const {
  const fs::path p = Resolve(relative);
  if (p.has_parent_path()) fs::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  EXPECT_TRUE(out.good()) << "writing " << p;
  return p.string();
}

std::string TempDir::WriteText(const std::string& relative, const std::string& text) const {
  return Write(relative, std::vector<uint8_t>(text.begin(), text.end()));
}

std::vector<uint8_t> TempDir::Read(const std::string& relative) const {
  const fs::path p = Resolve(relative);
  std::ifstream in(p, std::ios::binary);
  EXPECT_TRUE(in.good()) << "reading " << p;
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string TempDir::ReadText(const std::string& relative) const {
  const std::vector<uint8_t> bytes = Read(relative);
  return std::string(bytes.begin(), bytes.end());
}

bool TempDir::Exists(const std::string& relative) const {
  return fs::exists(Resolve(relative));
}

void TempDir::MakeDir(const std::string& relative) const {
  fs::create_directories(Resolve(relative));
}

void PutU16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void PutI32(std::vector<uint8_t>& out, int32_t v) {
  PutU32(out, static_cast<uint32_t>(v));
}

void PutBytes(std::vector<uint8_t>& out, const std::string& s) {
  out.insert(out.end(), s.begin(), s.end());
}

std::vector<uint8_t> BytesOf(const std::string& s) {
  return std::vector<uint8_t>(s.begin(), s.end());
}

std::string ReadAll(XB_FILE& f) {
  std::string s(static_cast<size_t>(f.Size()), '\0');
  f.Read(s.data(), static_cast<uint32_t>(s.size()));
  return s;
}

uint64_t HashBytes(const uint8_t* data, size_t size, uint64_t h) {
  size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    uint64_t word;
    std::memcpy(&word, data + i, 8);
    h = (h ^ word) * 0x100000001b3ull;
    h ^= h >> 29;
  }
  for (; i < size; ++i) h = (h ^ data[i]) * 0x100000001b3ull;
  return h;
}

std::vector<uint8_t> FileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return {};
  std::vector<uint8_t> bytes(static_cast<size_t>(in.tellg()));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!in) return {};
  return bytes;
}

}  // namespace tl_test
