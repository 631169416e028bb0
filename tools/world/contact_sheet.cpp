#include "tools/world/contact_sheet.h"

#include <algorithm>
#include <memory>

#include "graphics/bob_authoring.h"
#include "graphics/xb_bitmap.h"
#include "graphics/xb_bob_manager.h"
#include "graphics/xb_rect.h"
#include "tools/world/world_png.h"

namespace tlworld {

namespace {
// 3 x 5 digits for the cell labels.
const uint16_t kDigits[10] = {0x7B6F, 0x2492, 0x73E7, 0x73CF, 0x5BC9, 0x79CF, 0x79EF, 0x7249, 0x7BEF, 0x7BCF};

void DrawNumber(std::vector<uint8_t>& sheet, int width, int x, int y, uint32_t number, uint8_t colour) {
  std::string text = std::to_string(number);
  for (char ch : text) {
    uint16_t bits = kDigits[ch - '0'];
    for (int r = 0; r < 5; ++r)
      for (int c = 0; c < 3; ++c)
        if (bits & (1 << (14 - (r * 3 + c)))) sheet[size_t(y + r) * width + size_t(x + c)] = colour;
    x += 4;
  }
}

constexpr uint8_t kGround = 38, kShadowGround = 52, kMaskGround = 220, kLabel = 48, kLabelBar = 62;
}  // namespace

bool WriteContactSheet(const XB_BOB_MANAGER& lib, const std::string& path, const uint8_t* rgbPalette,
                       const ContactSheetOptions& opt, std::string* error) {
  struct Cell {
    uint32_t number;
    uint16_t kind;
    std::unique_ptr<XB_BITMAP> bitmap;
    std::unique_ptr<XB_BITMAP> coverage;
    int x = 0, y = 0;
  };
  std::vector<Cell> cells;
  for (uint32_t i = 0; i < lib.GetCount(); ++i) {
    uint32_t number = lib.GetFirstIndex() + i;
    uint16_t kind = lib.GetBobKind(number);
    if (kind == 0) continue;
    Cell c{number, kind, std::unique_ptr<XB_BITMAP>(DecodeBob(lib, number, 0)), nullptr};
    if (kind == 1) c.coverage.reset(DecodeBobCoverage(lib, number));
    if (c.bitmap) cells.push_back(std::move(c));
  }
  const int pad = 4, label = 8;
  int maxW = opt.maxWidth;
  for (const Cell& c : cells) maxW = std::max(maxW, c.bitmap->GetWidth() + 2 * pad);
  int x = 0, y = 0, rowH = 0, sheetW = 1;
  for (Cell& c : cells) {
    int w = c.bitmap->GetWidth() + 2 * pad, h = c.bitmap->GetHeight() + 2 * pad + label;
    w = std::max(w, 24);
    if (x + w > maxW) x = 0, y += rowH, rowH = 0;
    c.x = x, c.y = y;
    x += w, rowH = std::max(rowH, h), sheetW = std::max(sheetW, x);
  }
  int sheetH = std::max(1, y + rowH);
  std::vector<uint8_t> sheet(size_t(sheetW) * size_t(sheetH), 63);
  for (const Cell& c : cells) {
    int w = std::max(c.bitmap->GetWidth() + 2 * pad, 24), h = c.bitmap->GetHeight() + 2 * pad + label;
    uint8_t ground = c.kind == 1 ? kGround : c.kind == 2 ? kShadowGround : kMaskGround;
    for (int yy = 0; yy < h - 1; ++yy)
      for (int xx = 0; xx < w - 1; ++xx)
        sheet[size_t(c.y + yy) * sheetW + size_t(c.x + xx)] = yy < label ? kLabelBar : ground;
    DrawNumber(sheet, sheetW, c.x + 2, c.y + 1, c.number, kLabel);
    for (int yy = 0; yy < c.bitmap->GetHeight(); ++yy)
      for (int xx = 0; xx < c.bitmap->GetWidth(); ++xx) {
        uint8_t v = c.bitmap->Row(yy)[xx];
        uint8_t& d = sheet[size_t(c.y + label + pad + yy) * sheetW + size_t(c.x + pad + xx)];
        if (c.kind == 1) {
          if (c.coverage && c.coverage->Row(yy)[xx]) d = v;
        } else if (c.kind == 2) {
          if (v == 255) d = 59;
        } else if (v != 255) {
          d = uint8_t(48 + (v * 15) / 254);
        }
      }
  }
  int s = std::max(1, opt.scale);
  std::vector<uint8_t> scaled(size_t(sheetW) * s * size_t(sheetH) * s);
  for (int yy = 0; yy < sheetH * s; ++yy)
    for (int xx = 0; xx < sheetW * s; ++xx)
      scaled[size_t(yy) * sheetW * s + xx] = sheet[size_t(yy / s) * sheetW + size_t(xx / s)];
  if (!WriteIndexedPng(path, sheetW * s, sheetH * s, scaled, rgbPalette)) {
    if (error) *error = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace tlworld
