#include "graphics/xb_palette.h"

#include <cstdlib>
#include <cstring>

#include "base/xb_file.h"

namespace {
XB_PIXEL_FORMAT_16 g_format16;
XB_PIXEL_FORMAT_32 g_format32;
// Bumped whenever a descriptor changes so that palettes rebuild tables made with an older one.
uint32_t g_format16Generation = 1;
uint32_t g_format32Generation = 1;
XB_PALETTE* g_defaultPalette = nullptr;
}  // namespace

uint16_t XB_PIXEL_FORMAT_16::Pixel(uint8_t r, uint8_t g, uint8_t b) const {
  if (!valid) return 0;
  return static_cast<uint16_t>(((r >> redRight) << redLeft) | ((g >> greenRight) << greenLeft) |
                               ((b >> blueRight) << blueLeft));
}

XB_PIXEL_FORMAT_16 XB_PIXEL_FORMAT_16::Rgb565() {
  XB_PIXEL_FORMAT_16 f;
  f.valid = 1;
  f.redRight = 3;
  f.greenRight = 2;
  f.blueRight = 3;
  f.redLeft = 11;
  f.greenLeft = 5;
  f.blueLeft = 0;
  f.halfMask = f.Pixel(127, 127, 127);
  return f;
}

uint32_t XB_PIXEL_FORMAT_32::Pixel(uint8_t r, uint8_t g, uint8_t b) const {
  if (!valid) return 0;
  return ((uint32_t{r} >> redRight) << redLeft) | ((uint32_t{g} >> greenRight) << greenLeft) |
         ((uint32_t{b} >> blueRight) << blueLeft);
}

XB_PIXEL_FORMAT_32 XB_PIXEL_FORMAT_32::Xrgb8888() {
  XB_PIXEL_FORMAT_32 f;
  f.valid = 1;
  f.redLeft = 16;
  f.greenLeft = 8;
  f.blueLeft = 0;
  return f;
}

void XB_InstallPixelFormat16(const XB_PIXEL_FORMAT_16& format) {
  g_format16 = format;
  ++g_format16Generation;
}
void XB_UninstallPixelFormat16() {
  g_format16 = XB_PIXEL_FORMAT_16{};
  ++g_format16Generation;
}
const XB_PIXEL_FORMAT_16* XB_GetPixelFormat16() {
  return g_format16.valid ? &g_format16 : nullptr;
}
void XB_InstallPixelFormat32(const XB_PIXEL_FORMAT_32& format) {
  g_format32 = format;
  ++g_format32Generation;
}
void XB_UninstallPixelFormat32() {
  g_format32 = XB_PIXEL_FORMAT_32{};
  ++g_format32Generation;
}
const XB_PIXEL_FORMAT_32* XB_GetPixelFormat32() {
  return g_format32.valid ? &g_format32 : nullptr;
}
uint16_t XB_MakePixel16(uint8_t r, uint8_t g, uint8_t b) {
  return g_format16.Pixel(r, g, b);
}
uint32_t XB_MakePixel32(uint8_t r, uint8_t g, uint8_t b) {
  return g_format32.Pixel(r, g, b);
}

void XB_InstallDefaultPalette(XB_PALETTE* palette) {
  g_defaultPalette = palette;
}
void XB_UninstallDefaultPalette() {
  g_defaultPalette = nullptr;
}
XB_PALETTE* XB_GetDefaultPalette() {
  return g_defaultPalette;
}

// --- XB_PALETTE ---

XB_PALETTE::XB_PALETTE() = default;

XB_PALETTE::XB_PALETTE(XB_FILE& file, uint16_t /*version*/) {
  file.Read(colours_, sizeof(colours_));
}

XB_PALETTE::XB_PALETTE(const XB_PALETTE& other) : XB_STORABLE() {
  std::memcpy(colours_, other.colours_, sizeof(colours_));
}

XB_PALETTE::~XB_PALETTE() {
  DropTables();
}

XB_PALETTE& XB_PALETTE::operator=(const XB_PALETTE& other) {
  if (this != &other) {
    std::memcpy(colours_, other.colours_, sizeof(colours_));
    DropTables();
  }
  return *this;
}

void XB_PALETTE::Save(XB_FILE& file) {
  file.Write(colours_, sizeof(colours_));
}

void XB_PALETTE::DropTables() {
  delete[] table16_;
  delete[] table32_;
  table16_ = nullptr;
  table32_ = nullptr;
}

void XB_PALETTE::SetColour(int index, XB_PALETTE_ENTRY colour) {
  colours_[index & 255] = colour;
  // A cached hi-colour table must follow the colours it was built from.
  DropTables();
}

void XB_PALETTE::SetFromRgbTriples(const uint8_t* rgb) {
  for (int i = 0; i < 256; ++i)
    colours_[i] = XB_PALETTE_ENTRY::Rgb(rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]);
  DropTables();
}

uint8_t XB_PALETTE::FindNearestColour(const XB_PALETTE_ENTRY& colour) const {
  int32_t best = 0x7FFFFFFF;
  int bestIndex = 0;
  for (int i = 0; i < 256; ++i) {
    const XB_PALETTE_ENTRY& c = colours_[i];
    int32_t dr = 29 * std::abs(int{colour.red} - int{c.red});
    int32_t dg = 65 * std::abs(int{colour.green} - int{c.green});
    int32_t db = 15 * std::abs(int{colour.blue} - int{c.blue});
    int32_t d = dr * dr + dg * dg + db * db;
    if (d < best) {
      best = d;
      bestIndex = i;
    }
  }
  return static_cast<uint8_t>(bestIndex);
}

const uint16_t* XB_PALETTE::Get16BitTable() {
  if (table16_ && table16Generation_ == g_format16Generation) return table16_;
  delete[] table16_;
  table16_ = nullptr;
  const XB_PIXEL_FORMAT_16* format = XB_GetPixelFormat16();
  if (!format) return nullptr;
  table16_ = new uint16_t[256];
  for (int i = 0; i < 256; ++i)
    table16_[i] = format->Pixel(colours_[i].red, colours_[i].green, colours_[i].blue);
  table16Generation_ = g_format16Generation;
  return table16_;
}

uint16_t XB_PALETTE::Get16BitColour(int index) {
  const uint16_t* table = Get16BitTable();
  return table ? table[index & 255] : 0;
}

const uint32_t* XB_PALETTE::Get32BitTable() {
  if (table32_ && table32Generation_ == g_format32Generation) return table32_;
  delete[] table32_;
  table32_ = nullptr;
  const XB_PIXEL_FORMAT_32* format = XB_GetPixelFormat32();
  if (!format) return nullptr;
  table32_ = new uint32_t[256];
  for (int i = 0; i < 256; ++i)
    table32_[i] = format->Pixel(colours_[i].red, colours_[i].green, colours_[i].blue);
  table32Generation_ = g_format32Generation;
  return table32_;
}

uint32_t XB_PALETTE::Get32BitColour(int index) {
  const uint32_t* table = Get32BitTable();
  return table ? table[index & 255] : 0;
}

// --- XB_NEAREST_COLOUR_SEARCH ---

XB_NEAREST_COLOUR_SEARCH::XB_NEAREST_COLOUR_SEARCH(const XB_PALETTE& destination) {
  std::memcpy(destination_, destination.GetColours(), sizeof(destination_));
  // A counting sort by green keeps equal greens in index order.
  uint16_t count[257] = {};
  for (const XB_PALETTE_ENTRY& c : destination_) ++count[c.green + 1];
  for (int g = 0; g < 256; ++g) count[g + 1] = static_cast<uint16_t>(count[g + 1] + count[g]);
  std::memcpy(start_, count, sizeof(start_));
  for (int i = 0; i < 256; ++i) {
    const XB_PALETTE_ENTRY& c = destination_[i];
    const int at = count[c.green]++;
    green_[at] = c.green;
    red_[at] = c.red;
    blue_[at] = c.blue;
    index_[at] = static_cast<uint8_t>(i);
  }
}

bool XB_NEAREST_COLOUR_SEARCH::BuiltFrom(const XB_PALETTE& destination) const {
  return std::memcmp(destination_, destination.GetColours(), sizeof(destination_)) == 0;
}

uint8_t XB_NEAREST_COLOUR_SEARCH::Search(int red, int green, int blue) const {
  // The same distance and the same winner as the linear search: the smallest distance, and among
  // equal distances the smallest index. A side is finished once (65 * green difference)^2 alone
  // is larger than the best distance: every entry further out has at least that green term.
  int32_t best = 0x7FFFFFFF;
  int bestIndex = 256;
  auto consider = [&](int at) {
    const int32_t dr = 29 * (red - red_[at]);
    const int32_t dg = 65 * (green - green_[at]);
    const int32_t db = 15 * (blue - blue_[at]);
    const int32_t d = dr * dr + dg * dg + db * db;
    if (d < best || (d == best && index_[at] < bestIndex)) {
      best = d;
      bestIndex = index_[at];
    }
  };
  auto greenTerm = [&](int at) {
    const int32_t dg = 65 * (green - green_[at]);
    return dg * dg;
  };
  int up = start_[green], down = up - 1;
  while (up < 256 || down >= 0) {
    // Take the nearer green next; a side whose green term is past the best is closed.
    const int32_t upTerm = up < 256 ? greenTerm(up) : 0x7FFFFFFF;
    const int32_t downTerm = down >= 0 ? greenTerm(down) : 0x7FFFFFFF;
    if (upTerm > best && downTerm > best) break;
    if (upTerm <= downTerm) {
      consider(up++);
    } else {
      consider(down--);
    }
  }
  return static_cast<uint8_t>(bestIndex);
}

uint8_t XB_NEAREST_COLOUR_SEARCH::Find(const XB_PALETTE_ENTRY& colour) {
  const uint32_t key =
      0x1000000u | (uint32_t{colour.red} << 16) | (uint32_t{colour.green} << 8) | colour.blue;
  const uint32_t slot = (key * 2654435761u) >> 22;  // 10 bits: kRemembered slots
  if (rememberedKey_[slot] == key) return rememberedIndex_[slot];
  const uint8_t found = Search(colour.red, colour.green, colour.blue);
  rememberedKey_[slot] = key;
  rememberedIndex_[slot] = found;
  return found;
}

void XB_NEAREST_COLOUR_SEARCH::BuildRemap(const XB_PALETTE& source, uint8_t* table, uint16_t first,
                                          uint16_t last) {
  std::memset(table, 0, 256);
  for (uint32_t i = first; i <= last && i < 256; ++i) table[i] = Find(source.GetColour(static_cast<int>(i)));
}

XB_STORABLE* XB_LoadPalette(XB_FILE& file, uint16_t version) {
  return new XB_PALETTE(file, version);
}

// --- XB_REMAP_TABLE ---

XB_REMAP_TABLE::XB_REMAP_TABLE(const XB_PALETTE& source, const XB_PALETTE& destination, uint16_t first,
                               uint16_t last)
    : table_(new uint8_t[256]) {
  std::memset(table_, 0, 256);
  XB_NEAREST_COLOUR_SEARCH(destination).BuildRemap(source, table_, first, last);
}

XB_REMAP_TABLE::XB_REMAP_TABLE(const uint8_t* bytes) : table_(new uint8_t[256]) {
  for (int i = 0; i < 256; ++i) table_[i] = bytes ? bytes[i] : static_cast<uint8_t>(i);
}

XB_REMAP_TABLE::XB_REMAP_TABLE(XB_FILE& file, uint16_t /*version*/) : table_(nullptr) {
  // Read first: a short stream ends in a fatal error that may unwind, and must not leak the table.
  uint8_t bytes[256];
  file.Read(bytes, sizeof(bytes));
  table_ = new uint8_t[256];
  std::memcpy(table_, bytes, sizeof(bytes));
}

XB_REMAP_TABLE::~XB_REMAP_TABLE() {
  delete[] table_;
}

void XB_REMAP_TABLE::Save(XB_FILE& file) {
  file.Write(table_, 256);
}

XB_STORABLE* XB_LoadRemapTable(XB_FILE& file, uint16_t version) {
  return new XB_REMAP_TABLE(file, version);
}
