// A storable block of bytes (class id 10). New blocks are filled with 0xEE; released blocks are
// overwritten with 0xED first.
#pragma once

#include <cstdint>

#include "base/xb_storable.h"

class XB_STORABLE_BUFFER : public XB_STORABLE {
 public:
  static constexpr uint16_t kClassId = XB_CLASS_BUFFER;

  explicit XB_STORABLE_BUFFER(uint32_t size);
  XB_STORABLE_BUFFER(uint32_t size, uint8_t fill);
  // Load constructor: u32 size, then the bytes. A size larger than what is left in the file is a
  // fatal error naming the file (no allocation is made for it).
  XB_STORABLE_BUFFER(XB_FILE& file, uint16_t version);
  // The whole file as one block (size = file size).
  static XB_STORABLE_BUFFER* FromFile(const char* path);
  ~XB_STORABLE_BUFFER() override;

  uint16_t GetClassId() const override { return kClassId; }
  uint16_t GetVersion() const override { return 0; }
  void Save(XB_FILE& file) override;

  uint32_t Size() const { return size_; }
  uint8_t* Data() { return data_; }
  const uint8_t* Data() const { return data_; }

  void Fill(uint8_t byte);
  // Changes the size, keeping the first bytes; new bytes get fillByte when fillNew is set. Growth
  // reserves room ahead (the block at least doubles), so a buffer grown a little at a time (a string
  // array filled line by line) is copied a logarithmic number of times, not once per step. Bytes
  // given up by shrinking are overwritten with 0xED like a released block.
  bool Resize(uint32_t newSize, bool fillNew, uint8_t fillByte);

  // Scrambling method 1, applied to a string array's buffers in files.
  void Scramble();
  void Unscramble();

 private:
  uint32_t size_ = 0;
  uint32_t capacity_ = 0;  // bytes allocated at data_ (at least size_)
  uint8_t* data_ = nullptr;
};

XB_STORABLE* XB_LoadStorableBuffer(XB_FILE& file, uint16_t version);
