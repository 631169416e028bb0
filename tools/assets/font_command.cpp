// tillands-assets font: renders a text with a bitmap font (.fnt) into a PNG.
#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/xb_storable.h"
#include "graphics/xb_bitmap.h"
#include "graphics/xb_bob_manager.h"
#include "graphics/xb_font.h"
#include "graphics/xb_palette.h"
#include "tools/assets/command.h"
#include "tools/common/output_guard.h"
#include "tools/common/png_io.h"
#include "tools/common/text_encoding.h"
#include "tools/common/tool_images.h"

namespace {

int RunFont(int argc, char** argv);

const AssetCommand fontCommand{
    "font", "render text with a bitmap font (.fnt) to PNG",
    "usage: tillands-assets font render FONT.fnt TEXT OUT.png [--palette PCX|BMP] [--raw]\n"
    "\n"
    "Draws TEXT the way the saver does (space, tab and '_' advance by the width of 'i'; \\n breaks\n"
    "the line; the glyphs' own offsets place them) and writes the smallest picture that holds every\n"
    "drawn pixel as an RGBA PNG with a transparent background. Colours come from the PALETTE\n"
    "resource, or from the palette of the given picture. A '\\n' typed as two characters in TEXT also\n"
    "breaks the line. TEXT is UTF-8 and is converted to the Windows-1252 bytes the font's glyphs are\n"
    "numbered by (\"äöü\" draws the umlauts); --raw takes its bytes as they are.\n"
    "\n"
    "Exit status: 0 success, 1 bad usage, a missing font, a text without drawable characters or\n"
    "without a Windows-1252 form, or an unwritable output; 2 a damaged font.\n",
    &RunFont};

int FontFail(const std::string& message) {
  std::fprintf(stderr, "tillands-assets font: %s\n", message.c_str());
  return 1;
}

// A file that is not what it should be: damaged data, status 2.
int FontDamaged(const std::string& message) {
  std::fprintf(stderr, "tillands-assets font: %s\n", message.c_str());
  return 2;
}

// The box that the drawn glyphs cover, following the text layout rules of XB_BITMAP::PutText.
bool TextBox(const XB_FONT& font, const std::string& text, XB_RECT* box) {
  int64_t minX = INT64_MAX, minY = INT64_MAX, maxX = INT64_MIN, maxY = INT64_MIN;
  int64_t x = 0, y = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const uint8_t k = static_cast<uint8_t>(text[i]);
    if (k == '\t' || k == ' ' || k == '_') {
      x += font.GetCharWidth('i');
    } else if (k == '\n' || k == '\r') {
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
      x = 0;
      y += font.GetLineHeight() + 2;
    } else if (k >= 32) {
      XB_RECT r;
      if (font.GetGlyphs() && font.GetGlyphs()->GetBobRect(k - 32u, r) && r.width > 0 && r.height > 0) {
        minX = std::min(minX, x + r.x);
        minY = std::min(minY, y + r.y);
        maxX = std::max(maxX, x + r.x + r.width);
        maxY = std::max(maxY, y + r.y + r.height);
      }
      x += font.GetCharWidth(k);
    }
  }
  if (minX == INT64_MAX) return false;
  if (maxX - minX > XB_BITMAP_MAX_SIDE || maxY - minY > XB_BITMAP_MAX_SIDE) return false;
  *box = XB_RECT(static_cast<int32_t>(minX), static_cast<int32_t>(minY), static_cast<int32_t>(maxX - minX),
                 static_cast<int32_t>(maxY - minY));
  return true;
}

int Render(const char* fontPath, std::string text, const char* outPath, const std::string& palettePath) {
  if (RefuseOutputOverInput("tillands-assets font", outPath, {fontPath, palettePath})) return 1;
  std::vector<RgbColour> palette = ResourcePalette();
  std::string error;
  if (!palettePath.empty() && !PictureRgbPalette(palettePath, &palette, &error)) return FontFail(error);
  for (size_t at; (at = text.find("\\n")) != std::string::npos;) text.replace(at, 2, "\n");

  std::unique_ptr<XB_STORABLE> object(LoadObjectFromFile(fontPath));
  auto* font = dynamic_cast<XB_FONT*>(object.get());
  if (!font) return FontDamaged(std::string(fontPath) + ": not a font");
  XB_RECT box;
  if (!TextBox(*font, text, &box))
    return FontFail("nothing of the text can be drawn with this font (or it is too large)");

  // The text in colour, and again through a table that maps every index to 255 onto a zero
  // background: that second picture says which pixels the glyphs cover.
  XB_BITMAP colours(box.width, box.height), coverage(box.width, box.height);
  colours.Fill(0);
  coverage.Fill(0);
  uint8_t all[256];
  std::memset(all, 255, sizeof(all));
  XB_REMAP_TABLE mark(all);
  colours.SetFont(font);
  colours.DrawText(-box.x, -box.y, text.c_str());
  coverage.SetFont(font);
  coverage.SetTextColour(&mark);
  coverage.DrawText(-box.x, -box.y, text.c_str());
  colours.SetFont(nullptr);
  coverage.SetFont(nullptr);
  coverage.SetTextColour(nullptr);

  PngImage png;
  png.kind = PngImage::Kind::Rgba;
  png.width = box.width;
  png.height = box.height;
  for (int64_t i = 0; i < int64_t{box.width} * box.height; ++i) {
    const RgbColour c = palette[colours.GetPixels()[i]];
    png.pixels.insert(png.pixels.end(), {c.r, c.g, c.b, coverage.GetPixels()[i]});
  }
  if (!WritePng(outPath, png, &error)) return FontFail(error);
  std::printf("%s: %d x %d\n", outPath, box.width, box.height);
  return 0;
}

int RunFont(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "render") != 0) return PrintUsage(fontCommand, 1);
  std::vector<const char*> args;
  std::string palette;
  bool raw = false;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--palette") == 0 && i + 1 < argc)
      palette = argv[++i];
    else if (std::strcmp(argv[i], "--raw") == 0)
      raw = true;
    else
      args.push_back(argv[i]);
  }
  if (args.size() != 3) return PrintUsage(fontCommand, 1);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(args[0], ec))
    return FontFail(std::string(args[0]) + ": no such file");
  // The font's glyphs are numbered by Windows-1252 bytes; the command line speaks UTF-8.
  std::string text = args[1], problem;
  if (!raw && !Utf8ToCp1252(args[1], &text, &problem))
    return FontFail("the text cannot be drawn: " + problem + " (--raw takes its bytes as they are)");
  return Render(args[0], text, args[2], palette);
}

}  // namespace
