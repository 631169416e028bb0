// A bob library: a numbered range of sprites ("bobs") in run-length form, read from .bmd files and
// drawn with clipping straight from their rows.
//
// Entry kinds: 0 no bob, 1 packed bob (control bytes: bit 7 set = skip (b & 0x7F) pixels, 1..127 =
// that many literal pixel bytes follow, 0 = end), 2 shadow bob (the same controls without pixel bytes:
// the counted pixels are darkened), 3 level mask ((count, level) pairs ended by a single 0 byte).
// A row descriptor is 0xFFFFFFFF for an empty row, else data offset (bits 0-21) and start column
// (bits 22-31).
//
// Every library is validated completely when it is made (row table, offsets, run lengths, extents):
// a damaged library is a fatal error naming its file, and drawing never needs bounds checks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/xb_storable.h"
#include "graphics/xb_rect.h"

class XB_BITMAP;
class XB_FILE;
class XB_PALETTE;
class XB_STORABLE_BUFFER;

constexpr uint16_t XB_BOB_NONE = 0;
constexpr uint16_t XB_BOB_PACKED = 1;
constexpr uint16_t XB_BOB_SHADOW = 2;
constexpr uint16_t XB_BOB_MASK = 3;

constexpr uint32_t XB_BOB_EMPTY_ROW = 0xFFFFFFFFu;
constexpr uint32_t XB_BOB_OFFSET_MASK = 0x3FFFFFu;
constexpr uint32_t XB_BOB_COLUMN_SHIFT = 22;
constexpr uint32_t XB_BOB_MAX_PIXEL_BYTES = 0x400000u;  // offsets have 22 bits
constexpr uint32_t XB_BOB_ENTRY_SIZE = 28;
// Limits that keep placement arithmetic far from overflow; real bobs are a few hundred pixels.
constexpr int32_t XB_BOB_MAX_SIDE = 32767;
constexpr int32_t XB_BOB_MAX_OFFSET = 1 << 20;

// One 28-byte bob table entry as stored (little-endian).
struct XB_BOB_ENTRY {
  uint16_t kind = 0;
  uint16_t reserved = 0;
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
  int32_t firstRow = 0;
  uint32_t palette = 0;  // run-time reference, stored as 0
};
static_assert(sizeof(XB_BOB_ENTRY) == XB_BOB_ENTRY_SIZE);

class XB_BOB_MANAGER : public XB_STORABLE {
 public:
  static constexpr uint16_t kClassId = XB_CLASS_BOB_MANAGER;

  XB_BOB_MANAGER(XB_FILE& file, uint16_t version);
  // Ours (bob authoring): a library from its parts; the buffers are taken over (null for count 0).
  // Validated like a loaded library; `what` names the source in errors.
  XB_BOB_MANAGER(uint32_t firstIndex, uint32_t count, XB_STORABLE_BUFFER* bobTable,
                 XB_STORABLE_BUFFER* pixelBytes, XB_STORABLE_BUFFER* rowTable, const char* what);
  ~XB_BOB_MANAGER() override;
  XB_BOB_MANAGER(const XB_BOB_MANAGER&) = delete;
  XB_BOB_MANAGER& operator=(const XB_BOB_MANAGER&) = delete;

  uint16_t GetClassId() const override { return kClassId; }
  uint16_t GetVersion() const override { return 0; }
  void Save(XB_FILE& file) override;

  uint32_t GetFirstIndex() const { return firstIndex_; }
  uint32_t GetCount() const { return count_; }
  uint32_t GetPixelBytesSize() const { return pixelBytesSize_; }
  uint32_t GetRowCount() const { return rowCount_; }
  const uint8_t* GetPixelBytes() const { return pixelBytes_; }
  uint32_t GetPixelBufferSize() const;
  const uint32_t* GetRowTable() const { return rowTable_; }

  // The entry of a bob number, or null when the number is outside the library (kind-0 entries are
  // returned; check kind).
  const XB_BOB_ENTRY* GetEntry(uint32_t number) const;
  // The entry's (x, y, width, height); false when outside or of kind 0.
  bool GetBobRect(uint32_t number, XB_RECT& rect) const;
  uint16_t GetBobKind(uint32_t number) const;  // 0 when outside

  // Palette used for hi-colour drawing of one bob (not owned, not stored); library palette for all.
  void SetEntryPalette(uint32_t number, XB_PALETTE* palette);
  void SetLibraryPalette(XB_PALETTE* palette) { palette_ = palette; }
  XB_PALETTE* GetLibraryPalette() const { return palette_; }

  const uint8_t* GetRemapTable() const { return remapTable_; }
  const uint8_t* GetShadowTable() const { return shadowTable_; }

  // Drawing (positions are signed 16-bit; the bob's top-left lands on (x + entry x, y + entry y)).
  // mode 0 plain, 1 through the current remap table.
  void DrawBob(uint32_t number, XB_BITMAP& bitmap, int16_t x, int16_t y, int mode);
  void DrawBobRemapped(uint32_t number, XB_BITMAP& bitmap, int16_t x, int16_t y, const uint8_t* table);
  void DrawBobShadow(uint32_t number, XB_BITMAP& bitmap, int16_t x, int16_t y, const uint8_t* table);
  void DrawBobThroughMask(uint32_t number, uint32_t maskNumber, uint16_t threshold, XB_BITMAP& bitmap,
                          int16_t x, int16_t y, const uint8_t* table1, const uint8_t* table2);
  void DrawShadowThroughMask(uint32_t maskNumber, uint16_t threshold, XB_BITMAP& bitmap, int16_t x, int16_t y,
                             const uint8_t* table);

  // 8-bit draws through a mask keep the mask's levels decoded, a byte per pixel, up to this many bytes
  // for the whole library (see LevelPlane); 0 walks the mask's runs on every draw. Drops what was kept.
  void SetLevelPlaneBudget(size_t bytes);
  static constexpr size_t kDefaultLevelPlaneBudget = size_t{16} << 20;

 private:
  void Validate(const char* what);
  void FreeParts();
  XB_PALETTE* PaletteOf(uint32_t index) const;
  const uint8_t* LevelPlane(uint32_t index, const XB_BOB_ENTRY& m);

  uint32_t firstIndex_ = 0;
  uint32_t count_ = 0;
  uint32_t pixelBytesSize_ = 0;
  uint8_t reserved_[16] = {};
  const uint8_t* bobTable_ = nullptr;
  const uint8_t* pixelBytes_ = nullptr;
  const uint32_t* rowTable_ = nullptr;
  uint32_t rowCount_ = 0;
  XB_STORABLE_BUFFER* bobTableBuffer_ = nullptr;
  XB_STORABLE_BUFFER* pixelBuffer_ = nullptr;
  XB_STORABLE_BUFFER* rowBuffer_ = nullptr;
  XB_PALETTE* palette_ = nullptr;
  XB_PALETTE** entryPalettes_ = nullptr;  // per entry, allocated when first set
  // Per entry: 1 when some row writes beyond the bob's width. Such rows are legal (the overhang is
  // clipped away) but the entry must always take the clipped path.
  uint8_t* overhang_ = nullptr;
  const uint8_t* remapTable_ = nullptr;
  const uint8_t* shadowTable_ = nullptr;
  // Per mask entry, its levels decoded on its first 8-bit draw through it (null until then).
  std::vector<std::unique_ptr<uint8_t[]>> levelPlanes_;
  size_t levelPlaneBytes_ = 0;
  size_t levelPlaneBudget_ = kDefaultLevelPlaneBudget;
};

XB_STORABLE* XB_LoadBobManager(XB_FILE& file, uint16_t version);
