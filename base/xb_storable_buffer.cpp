#include "base/xb_storable_buffer.h"

#include <cstring>
#include <memory>

#include "base/xb_file.h"

namespace {

// Scrambling method 1 of the string array's buffers in files. The running key starts at kSeed; after
// byte i it advances by i * kMultiplier + kIncrement (all modulo 256). These three bytes are part of
// the file format of our compiled caches: changing them makes every existing cache unreadable.
constexpr uint8_t kSeed = 0x6B;
constexpr uint8_t kMultiplier = 0x1F;
constexpr uint8_t kIncrement = 0x3D;

void ApplyScramble(uint8_t* data, uint32_t size, int method, bool undo) {
  if (method != 1) return;  // other methods leave the bytes as they are
  uint8_t key = kSeed;
  for (uint32_t i = 0; i < size; ++i) {
    if (undo)
      data[i] = static_cast<uint8_t>((data[i] - 1) ^ key);
    else
      data[i] = static_cast<uint8_t>((data[i] ^ key) + 1);
    key = static_cast<uint8_t>(key + static_cast<uint8_t>(i) * kMultiplier + kIncrement);
  }
}

}  // namespace

XB_STORABLE_BUFFER::XB_STORABLE_BUFFER(uint32_t size) : XB_STORABLE_BUFFER(size, 0xEE) {}

XB_STORABLE_BUFFER::XB_STORABLE_BUFFER(uint32_t size, uint8_t fill)
    : size_(size), capacity_(size), data_(new uint8_t[size]) {
  std::memset(data_, fill, size_);
}

XB_STORABLE_BUFFER::XB_STORABLE_BUFFER(XB_FILE& file, uint16_t /*version*/) {
  const uint32_t size = file.ReadU32();
  file.RequireRemaining(size, "XB_STORABLE_BUFFER");
  std::unique_ptr<uint8_t[]> block(new uint8_t[size]);
  std::memset(block.get(), 0xEE, size);
  file.Read(block.get(), size);
  size_ = capacity_ = size;
  data_ = block.release();
}

XB_STORABLE_BUFFER* XB_STORABLE_BUFFER::FromFile(const char* path) {
  XB_FILE file(path, true);
  const int32_t length = file.Size();
  const uint32_t size = length > 0 ? static_cast<uint32_t>(length) : 0;
  std::unique_ptr<XB_STORABLE_BUFFER> buffer(new XB_STORABLE_BUFFER(size));
  file.Read(buffer->data_, size);
  file.Close();
  return buffer.release();
}

XB_STORABLE_BUFFER::~XB_STORABLE_BUFFER() {
  if (data_) std::memset(data_, 0xED, capacity_);
  delete[] data_;
}

void XB_STORABLE_BUFFER::Save(XB_FILE& file) {
  file.WriteU32(size_);
  file.Write(data_, size_);
}

void XB_STORABLE_BUFFER::Fill(uint8_t byte) {
  std::memset(data_, byte, size_);
}

bool XB_STORABLE_BUFFER::Resize(uint32_t newSize, bool fillNew, uint8_t fillByte) {
  if (newSize == size_) return true;
  if (newSize < size_) {
    std::memset(data_ + newSize, 0xED, size_ - newSize);
  } else {
    if (newSize > capacity_) {
      const uint64_t doubled = uint64_t{capacity_} * 2;
      const uint32_t capacity =
          doubled > newSize && doubled <= 0xFFFFFFFFu ? static_cast<uint32_t>(doubled) : newSize;
      uint8_t* block = new uint8_t[capacity];
      std::memcpy(block, data_, size_);
      std::memset(data_, 0xED, capacity_);
      delete[] data_;
      data_ = block;
      capacity_ = capacity;
    }
    if (fillNew) std::memset(data_ + size_, fillByte, newSize - size_);
  }
  size_ = newSize;
  return true;
}

void XB_STORABLE_BUFFER::Scramble() {
  ApplyScramble(data_, size_, 1, false);
}

void XB_STORABLE_BUFFER::Unscramble() {
  ApplyScramble(data_, size_, 1, true);
}

XB_STORABLE* XB_LoadStorableBuffer(XB_FILE& file, uint16_t version) {
  return new XB_STORABLE_BUFFER(file, version);
}
