// tillands-assets image: any PCX or BMP picture the saver can load, written as a PNG.
#include <cstdio>
#include <memory>
#include <string>

#include "graphics/xb_bitmap.h"
#include "graphics/xb_palette.h"
#include "graphics/xb_picture.h"
#include "tools/assets/command.h"
#include "tools/common/output_guard.h"
#include "tools/common/png_io.h"
#include "tools/common/tool_images.h"

namespace {

int RunImage(int argc, char** argv);

const AssetCommand imageCommand{
    "image", "convert a PCX or BMP picture to PNG",
    "usage: tillands-assets image FILE OUT.png\n"
    "\n"
    "Loads FILE the way the saver does (PCX, or BMP 8-bit plain or RLE8, 24-bit, 32-bit; the format is\n"
    "chosen by the extension) and writes it as a PNG: 8-bit pictures as paletted PNGs with their own\n"
    "palette, 24- and 32-bit pictures as RGB.\n"
    "\n"
    "Exit status: 0 success, 1 bad usage, a missing FILE or an unwritable output, 2 a damaged,\n"
    "empty or unsupported picture.\n",
    &RunImage};

int RunImage(int argc, char** argv) {
  if (argc != 3) return PrintUsage(imageCommand, 1);
  if (RefuseOutputOverInput("tillands-assets image", argv[2], {argv[1]})) return 1;
  // True-colour pictures are decoded into 0x00RRGGBB pixels.
  XB_InstallPixelFormat32(XB_PIXEL_FORMAT_32::Xrgb8888());
  int status = 0;
  if (std::string problem = PictureInputProblem(argv[1], &status); !problem.empty()) {
    std::fprintf(stderr, "tillands-assets image: %s\n", problem.c_str());
    return status;
  }
  XB_PICTURE picture(argv[1]);
  if (!picture.GetBitmap()) {
    std::fprintf(stderr, "tillands-assets image: %s: the picture has no pixels\n", argv[1]);
    return 2;
  }
  const XB_BITMAP& bitmap = *picture.GetBitmap();
  const PngImage png = bitmap.GetFormat() == XB_PIXELS_8
                           ? PalettedPng(bitmap, RgbPalette(*picture.GetPalette()))
                           : RgbPngFrom32(bitmap);
  std::string error;
  if (!WritePng(argv[2], png, &error)) {
    std::fprintf(stderr, "tillands-assets image: %s\n", error.c_str());
    return 1;
  }
  std::printf("%s: %d x %d, %s -> %s\n", argv[1], bitmap.GetWidth(), bitmap.GetHeight(),
              bitmap.GetFormat() == XB_PIXELS_8 ? "8-bit paletted" : "true colour", argv[2]);
  return 0;
}

}  // namespace
