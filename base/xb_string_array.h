// A sparse, index-addressed array of NUL-terminated strings (class id 65, written as version 1 with
// scrambled buffers; version 0 bodies are read too).
#pragma once

#include <cstdint>

#include "base/xb_storable.h"

class XB_STORABLE_BUFFER;

constexpr uint32_t XB_STRING_ARRAY_MAX_SLOTS = 20000;
constexpr uint32_t XB_STRING_ARRAY_EMPTY = 0xFFFFFFFFu;

class XB_STORABLE_STRING_ARRAY : public XB_STORABLE {
 public:
  static constexpr uint16_t kClassId = XB_CLASS_STRING_ARRAY;

  explicit XB_STORABLE_STRING_ARRAY(uint32_t slots);
  // Load constructor. Slot counts beyond the maximum, index offsets outside the data, or data whose
  // last string is not terminated are fatal errors naming the file.
  XB_STORABLE_STRING_ARRAY(XB_FILE& file, uint16_t version);
  ~XB_STORABLE_STRING_ARRAY() override;

  uint16_t GetClassId() const override { return kClassId; }
  uint16_t GetVersion() const override { return 1; }
  void Save(XB_FILE& file) override;

  bool InsertString(uint32_t index, const char* text);
  uint32_t AddString(const char* text);  // index, or 0xFFFFFFFF
  const char* GetString(uint32_t index) const;

  uint32_t Slots() const { return slots_; }
  uint32_t Count() const { return count_; }

 private:
  uint32_t slots_ = 0;
  uint32_t count_ = 0;
  XB_STORABLE_BUFFER* index_ = nullptr;
  XB_STORABLE_BUFFER* data_ = nullptr;
};

XB_STORABLE* XB_LoadStringArray(XB_FILE& file, uint16_t version);
