// tillands-assets frame-sheet: lays rendered frames (PNG files, for instance from tillands --headless
// --png) out in a grid, scaled down, so a whole run can be judged at a glance.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "shell/option_values.h"
#include "tools/assets/command.h"
#include "tools/common/output_guard.h"
#include "tools/common/png_io.h"

namespace {

constexpr const char* kUsage =
    "usage: tillands-assets frame-sheet OUT.png FRAME.png... [--columns N] [--shrink K]\n\n"
    "Lays the frames out left to right, top to bottom, each shrunk by K (default 4, nearest pixel),\n"
    "with a 4-pixel dark gap between them, and writes one RGB PNG. All frames must have the same size.\n"
    "  --columns N   frames per row (default 4)\n"
    "  --shrink K    keep every Kth pixel of every Kth row, 1..16 (default 4)\n";

int FrameSheetFail(const std::string& message) {
  std::fprintf(stderr, "tillands-assets frame-sheet: %s\n", message.c_str());
  return 1;
}

// The colour of pixel (x, y) of any kind of image.
RgbColour PixelAt(const PngImage& image, int32_t x, int32_t y) {
  const size_t at = size_t(y) * size_t(image.width) + size_t(x);
  switch (image.kind) {
    case PngImage::Kind::Paletted: {
      const uint8_t index = image.pixels[at];
      return index < image.palette.size() ? image.palette[index] : RgbColour{};
    }
    case PngImage::Kind::Grey:
      return RgbColour{image.pixels[at], image.pixels[at], image.pixels[at]};
    case PngImage::Kind::Rgb:
      return RgbColour{image.pixels[at * 3], image.pixels[at * 3 + 1], image.pixels[at * 3 + 2]};
    case PngImage::Kind::Rgba:
      return RgbColour{image.pixels[at * 4], image.pixels[at * 4 + 1], image.pixels[at * 4 + 2]};
  }
  return RgbColour{};
}

int RunFrameSheet(int argc, char** argv) {
  int columns = 4;
  int shrink = 4;
  std::vector<std::string> paths;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--columns" || arg == "--shrink") {
      if (i + 1 >= argc) return FrameSheetFail(arg + " needs a number");
      int* target = arg == "--columns" ? &columns : &shrink;
      std::string error;
      if (!ParseOptionNumber(arg, argv[++i], 1, arg == "--columns" ? 64 : 16, *target, error))
        return FrameSheetFail(error);
    } else if (!arg.empty() && arg[0] == '-') {
      return FrameSheetFail("unknown option " + arg);
    } else {
      paths.push_back(arg);
    }
  }
  if (paths.size() < 2) {
    std::fprintf(stderr, "%s", kUsage);
    return 1;
  }
  const std::string out = paths.front();
  paths.erase(paths.begin());
  if (RefuseOutputOverInput("tillands-assets frame-sheet", out, paths)) return 1;

  constexpr int32_t kGap = 4;
  PngImage sheet;
  int32_t cellW = 0, cellH = 0, frameW = 0, frameH = 0;
  for (size_t n = 0; n < paths.size(); ++n) {
    PngImage frame;
    std::string error;
    if (!ReadPng(paths[n], &frame, &error)) return FrameSheetFail(error);
    if (n == 0) {
      frameW = frame.width;
      frameH = frame.height;
      cellW = (frameW + shrink - 1) / shrink;
      cellH = (frameH + shrink - 1) / shrink;
      const int32_t cols = std::min<int32_t>(columns, int32_t(paths.size()));
      const int32_t rows = int32_t((paths.size() + size_t(cols) - 1) / size_t(cols));
      sheet.kind = PngImage::Kind::Rgb;
      sheet.width = cols * cellW + (cols + 1) * kGap;
      sheet.height = rows * cellH + (rows + 1) * kGap;
      sheet.pixels.assign(size_t(sheet.width) * size_t(sheet.height) * 3, 24);
    } else if (frame.width != frameW || frame.height != frameH) {
      return FrameSheetFail(paths[n] + ": size differs from the first frame");
    }
    const int32_t left = kGap + int32_t(n % size_t(columns)) * (cellW + kGap);
    const int32_t top = kGap + int32_t(n / size_t(columns)) * (cellH + kGap);
    for (int32_t y = 0; y < cellH; ++y) {
      for (int32_t x = 0; x < cellW; ++x) {
        const RgbColour c = PixelAt(frame, x * shrink, y * shrink);
        uint8_t* p = &sheet.pixels[(size_t(top + y) * size_t(sheet.width) + size_t(left + x)) * 3];
        p[0] = c.r;
        p[1] = c.g;
        p[2] = c.b;
      }
    }
  }
  // The output comes first, so `frame-sheet a.png b.png` meant as two frames would replace frame a
  // with a sheet of b. An existing output of exactly the frames' size is a frame, not an earlier
  // sheet (a sheet is shrunk and framed by gaps): refused rather than overwritten.
  PngImage existing;
  if (ReadPng(out, &existing, nullptr) && existing.width == frameW && existing.height == frameH)
    return FrameSheetFail(out +
                          " is a frame of the same size as the others, not a sheet; the output comes first "
                          "(refusing to overwrite it)");
  std::string error;
  if (!WritePng(out, sheet, &error)) return FrameSheetFail(error);
  std::printf("%s: %zu frames, %dx%d\n", out.c_str(), paths.size(), sheet.width, sheet.height);
  return 0;
}

AssetCommand frameSheetCommand{"frame-sheet", "lay rendered frames (PNG) out as one contact sheet", kUsage,
                               &RunFrameSheet};

}  // namespace
