#include "base/xb_string_array.h"

#include <cstring>
#include <memory>
#include <new>

#include "base/xb_error.h"
#include "base/xb_file.h"
#include "base/xb_storable_buffer.h"

namespace {

uint32_t GetU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void PutU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

[[noreturn]] void Corrupt(XB_FILE& file, const char* why) {
  XB_FatalError("XB_STORABLE_STRING_ARRAY - file %s - corrupt data: %s", XB_CutPath(file.Path()).c_str(),
                why);
}

}  // namespace

XB_STORABLE_STRING_ARRAY::XB_STORABLE_STRING_ARRAY(uint32_t slots)
    : slots_(slots), index_(new XB_STORABLE_BUFFER(slots * 4u, 0xFF)) {}

XB_STORABLE_STRING_ARRAY::XB_STORABLE_STRING_ARRAY(XB_FILE& file, uint16_t version) {
  const uint32_t slots = file.ReadU32();
  const uint32_t count = version >= 1 ? file.ReadU32() : slots;
  if (slots > XB_STRING_ARRAY_MAX_SLOTS) Corrupt(file, "too many slots");

  std::unique_ptr<XB_STORABLE_BUFFER> index(
      LoadObjectOfClass<XB_STORABLE_BUFFER>(file, "XB_STORABLE_STRING_ARRAY"));
  if (!index) throw std::bad_alloc();
  if (index->Size() != slots * 4u) Corrupt(file, "index size does not match the slots");
  if (version >= 1) index->Unscramble();

  uint16_t present = 0;
  file.ReadFlag(present);
  std::unique_ptr<XB_STORABLE_BUFFER> data;
  if (present) {
    data.reset(LoadObjectOfClass<XB_STORABLE_BUFFER>(file, "XB_STORABLE_STRING_ARRAY"));
    if (!data) throw std::bad_alloc();
    if (version >= 1) data->Unscramble();
  }

  // Every string handed out later must lie inside the data and end there with its NUL.
  const uint32_t dataSize = data ? data->Size() : 0;
  if (dataSize > 0 && data->Data()[dataSize - 1] != 0) Corrupt(file, "last string not terminated");
  for (uint32_t i = 0; i < slots; ++i) {
    const uint32_t offset = GetU32(index->Data() + 4u * i);
    if (offset != XB_STRING_ARRAY_EMPTY && offset >= dataSize)
      Corrupt(file, "string offset outside the data");
  }

  slots_ = slots;
  count_ = count;
  index_ = index.release();
  data_ = data.release();
}

XB_STORABLE_STRING_ARRAY::~XB_STORABLE_STRING_ARRAY() {
  delete index_;
  delete data_;
}

void XB_STORABLE_STRING_ARRAY::Save(XB_FILE& file) {
  file.WriteU32(slots_);
  file.WriteU32(count_);
  // The buffers go to the file scrambled and are restored right after, so the array in memory is
  // the same before and after saving.
  index_->Scramble();
  SaveObject(*index_, file);
  index_->Unscramble();
  if (data_) {
    file.WriteTrue();
    data_->Scramble();
    SaveObject(*data_, file);
    data_->Unscramble();
  } else {
    file.WriteFalse();
  }
}

bool XB_STORABLE_STRING_ARRAY::InsertString(uint32_t index, const char* text) {
  if (!text) return false;
  if (index < slots_ && GetU32(index_->Data() + 4u * index) != XB_STRING_ARRAY_EMPTY) return false;
  if (index >= slots_) {
    if (index >= XB_STRING_ARRAY_MAX_SLOTS) {
      XB_Warning("XB_STORABLE_STRING_ARRAY::InsertString: too much strings! Maximum is %d!",
                 static_cast<int>(XB_STRING_ARRAY_MAX_SLOTS));
      return false;
    }
    index_->Resize((index + 1u) * 4u, true, 0xFF);
    slots_ = index + 1u;
  }
  const uint32_t length = static_cast<uint32_t>(std::strlen(text)) + 1u;
  uint32_t offset = 0;
  if (data_) {
    offset = data_->Size();
    data_->Resize(offset + length, false, 0);
  } else {
    data_ = new XB_STORABLE_BUFFER(length);
  }
  PutU32(index_->Data() + 4u * index, offset);
  std::memcpy(data_->Data() + offset, text, length);
  ++count_;
  return true;
}

uint32_t XB_STORABLE_STRING_ARRAY::AddString(const char* text) {
  uint32_t index = slots_;
  if (count_ != slots_) {
    for (uint32_t i = 0; i < slots_; ++i) {
      if (GetU32(index_->Data() + 4u * i) == XB_STRING_ARRAY_EMPTY) {
        index = i;
        break;
      }
    }
  }
  return InsertString(index, text) ? index : XB_STRING_ARRAY_EMPTY;
}

const char* XB_STORABLE_STRING_ARRAY::GetString(uint32_t index) const {
  if (index >= slots_) return nullptr;
  const uint32_t offset = GetU32(index_->Data() + 4u * index);
  if (offset == XB_STRING_ARRAY_EMPTY || !data_ || offset >= data_->Size()) return nullptr;
  return reinterpret_cast<const char*>(data_->Data() + offset);
}

XB_STORABLE* XB_LoadStringArray(XB_FILE& file, uint16_t version) {
  return new XB_STORABLE_STRING_ARRAY(file, version);
}
