// Palettes, remap tables and the hi-colour pixel format descriptors.
//
// All art is 8-bit palette indices. XB_PALETTE gives the indices their colours; XB_REMAP_TABLE maps
// indices of one palette (or colour scheme) to indices of another and is built by nearest-colour
// matching. The pixel format descriptors let the same indexed art be drawn into 16-bit and 32-bit
// bitmaps through per-palette lookup tables; the saver itself installs none of them (its display is
// 8-bit), tools and tests install their own.
#pragma once

#include <cstdint>

#include "base/xb_storable.h"

class XB_FILE;

// One palette entry in memory and file order: blue, green, red, 0.
struct XB_PALETTE_ENTRY {
  uint8_t blue = 0;
  uint8_t green = 0;
  uint8_t red = 0;
  uint8_t zero = 0;

  static constexpr XB_PALETTE_ENTRY Rgb(uint8_t r, uint8_t g, uint8_t b) { return {b, g, r, 0}; }
  bool operator==(const XB_PALETTE_ENTRY& o) const = default;
};
static_assert(sizeof(XB_PALETTE_ENTRY) == 4);

// 16-bit descriptor: pixel(r, g, b) = ((r >> redRight) << redLeft) | ... ; halfMask keeps the colour
// channels apart after a shift right by one (used to darken 16-bit pixels).
struct XB_PIXEL_FORMAT_16 {
  uint8_t valid = 0;
  int16_t redRight = 0, greenRight = 0, blueRight = 0;
  uint8_t redLeft = 0, greenLeft = 0, blueLeft = 0;
  uint16_t halfMask = 0;

  uint16_t Pixel(uint8_t r, uint8_t g, uint8_t b) const;
  // The usual 5-6-5 layout (red in the top bits).
  static XB_PIXEL_FORMAT_16 Rgb565();
};

struct XB_PIXEL_FORMAT_32 {
  uint8_t valid = 0;
  uint32_t redRight = 0, greenRight = 0, blueRight = 0;
  uint32_t redLeft = 0, greenLeft = 0, blueLeft = 0;

  uint32_t Pixel(uint8_t r, uint8_t g, uint8_t b) const;
  // 0x00RRGGBB, the layout a 32-bit BMP or an XRGB surface uses.
  static XB_PIXEL_FORMAT_32 Xrgb8888();
};

// The process-wide descriptors and default palette. Each is absent until installed. Installing a
// descriptor makes every palette rebuild its cached table on next use. The default palette is not
// owned; uninstall it before deleting it.
void XB_InstallPixelFormat16(const XB_PIXEL_FORMAT_16& format);
void XB_UninstallPixelFormat16();
const XB_PIXEL_FORMAT_16* XB_GetPixelFormat16();  // null when absent or not valid
void XB_InstallPixelFormat32(const XB_PIXEL_FORMAT_32& format);
void XB_UninstallPixelFormat32();
const XB_PIXEL_FORMAT_32* XB_GetPixelFormat32();  // null when absent or not valid
// pixel(r, g, b) of the installed descriptor, 0 without one.
uint16_t XB_MakePixel16(uint8_t r, uint8_t g, uint8_t b);
uint32_t XB_MakePixel32(uint8_t r, uint8_t g, uint8_t b);

class XB_PALETTE;
void XB_InstallDefaultPalette(XB_PALETTE* palette);
void XB_UninstallDefaultPalette();
XB_PALETTE* XB_GetDefaultPalette();

class XB_PALETTE : public XB_STORABLE {
 public:
  static constexpr uint16_t kClassId = XB_CLASS_PALETTE;

  XB_PALETTE();  // all colours 0, no tables
  XB_PALETTE(XB_FILE& file, uint16_t version);
  ~XB_PALETTE() override;
  XB_PALETTE(const XB_PALETTE& other);
  // Copies the colours and drops both cached tables (they are rebuilt from the new colours).
  XB_PALETTE& operator=(const XB_PALETTE& other);
  void Assign(const XB_PALETTE& other) { *this = other; }

  uint16_t GetClassId() const override { return kClassId; }
  uint16_t GetVersion() const override { return 0; }
  void Save(XB_FILE& file) override;

  const XB_PALETTE_ENTRY& GetColour(int index) const { return colours_[index & 255]; }
  void SetColour(int index, XB_PALETTE_ENTRY colour);
  const XB_PALETTE_ENTRY* GetColours() const { return colours_; }
  // 768 bytes of red, green, blue triples (PCX palettes, the PALETTE resource).
  void SetFromRgbTriples(const uint8_t* rgb768);

  // The first index with the smallest weighted distance (29, 65, 15 for red, green, blue).
  uint8_t FindNearestColour(const XB_PALETTE_ENTRY& colour) const;

  // Hi-colour tables, built on first use from the installed descriptor; null without one.
  const uint16_t* Get16BitTable();
  uint16_t Get16BitColour(int index);
  const uint32_t* Get32BitTable();
  uint32_t Get32BitColour(int index);

 private:
  void DropTables();

  XB_PALETTE_ENTRY colours_[256];
  uint16_t* table16_ = nullptr;
  uint32_t* table32_ = nullptr;
  uint32_t table16Generation_ = 0;
  uint32_t table32Generation_ = 0;
};

// Nearest-colour matching against one destination palette, many times over, with exactly the
// answers of XB_PALETTE::FindNearestColour (the first index among equal distances). Green weighs
// most, so the destination's colours are sorted by green once; a search walks outwards from the wanted
// green and stops on each side as soon as the green term alone exceeds the best distance found. A
// small table remembers recent answers by colour, so recolouring with colours seen before (a
// creature's dress draws from a few hundred colours) costs one lookup each.
class XB_NEAREST_COLOUR_SEARCH {
 public:
  explicit XB_NEAREST_COLOUR_SEARCH(const XB_PALETTE& destination);

  uint8_t Find(const XB_PALETTE_ENTRY& colour);
  // Byte i (first <= i <= last, at most 255) is the index nearest to source colour i; the rest 0.
  void BuildRemap(const XB_PALETTE& source, uint8_t* table256, uint16_t first = 0, uint16_t last = 255);
  // Whether the search was built from exactly these colours (a palette may change after).
  bool BuiltFrom(const XB_PALETTE& destination) const;

 private:
  uint8_t Search(int red, int green, int blue) const;

  XB_PALETTE_ENTRY destination_[256];
  // The destination's entries ordered by green (then by index): channels and original index.
  int16_t green_[256], red_[256], blue_[256];
  uint8_t index_[256];
  // Where each green value would be inserted into green_ (the first entry with green >= g).
  uint16_t start_[257];
  // Recent answers: key 0x1000000 | rgb, direct-mapped by a hash of the colour.
  static constexpr int kRemembered = 1024;
  uint32_t rememberedKey_[kRemembered] = {};
  uint8_t rememberedIndex_[kRemembered] = {};
};

class XB_REMAP_TABLE : public XB_STORABLE {
 public:
  static constexpr uint16_t kClassId = XB_CLASS_REMAP_TABLE;

  // Byte i (first <= i <= last) is the destination index nearest to source colour i; the rest 0.
  XB_REMAP_TABLE(const XB_PALETTE& source, const XB_PALETTE& destination, uint16_t first = 0,
                 uint16_t last = 255);
  // Ours: a table from 256 given bytes (null gives the identity table).
  explicit XB_REMAP_TABLE(const uint8_t* bytes = nullptr);
  XB_REMAP_TABLE(XB_FILE& file, uint16_t version);
  ~XB_REMAP_TABLE() override;
  XB_REMAP_TABLE(const XB_REMAP_TABLE&) = delete;
  XB_REMAP_TABLE& operator=(const XB_REMAP_TABLE&) = delete;

  uint16_t GetClassId() const override { return kClassId; }
  uint16_t GetVersion() const override { return 0; }
  void Save(XB_FILE& file) override;

  uint8_t* GetData() { return table_; }
  const uint8_t* GetData() const { return table_; }
  uint8_t operator[](int index) const { return table_[index & 255]; }

 private:
  uint8_t* table_;
};

XB_STORABLE* XB_LoadPalette(XB_FILE& file, uint16_t version);
XB_STORABLE* XB_LoadRemapTable(XB_FILE& file, uint16_t version);
