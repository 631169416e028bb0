// tillands-assets bmd: list bob libraries, export their bobs to PNG files with a manifest, and build
// libraries back from such a manifest.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "base/xb_atomic_file.h"
#include "base/xb_storable.h"
#include "graphics/bob_authoring.h"
#include "graphics/xb_bitmap.h"
#include "graphics/xb_bob_manager.h"
#include "tools/assets/command.h"
#include "tools/common/output_guard.h"
#include "tools/common/png_io.h"
#include "tools/common/tool_images.h"

namespace fs = std::filesystem;

namespace {

int RunBmd(int argc, char** argv);

const AssetCommand bmdCommand{
    "bmd", "list, export and build bob libraries (.bmd)",
    "usage: tillands-assets bmd list FILE\n"
    "       tillands-assets bmd export FILE DIR [--palette PCX|BMP]\n"
    "       tillands-assets bmd build MANIFEST OUT.bmd\n"
    "\n"
    "  list FILE      one line per bob: number, kind, x, y, width, height\n"
    "  export         every bob to a PNG in DIR, plus DIR/manifest.txt with the library's first\n"
    "                 number, its count and each bob's kind, offsets and file. Packed bobs become\n"
    "                 paletted PNGs (the PALETTE resource, or the palette of the given picture) whose\n"
    "                 transparent pixels use a key index the bob does not use (a separate coverage\n"
    "                 PNG when it uses all 256); shadows are greyscale (255 = darkened) and level\n"
    "                 masks greyscale levels (255 = transparent).\n"
    "  build          the inverse: a library from a manifest. Exporting a library and building it\n"
    "                 again gives the same bobs.\n"
    "\n"
    "Manifest lines: 'first N', 'count N', and per bob\n"
    "  NUMBER packed|shadow|mask X Y FILE [key INDEX | coverage FILE]\n"
    "(a bob without pixels is written with FILE '-' followed by 'size WIDTH HEIGHT'); '#' starts a\n"
    "comment. File names are relative to the manifest.\n"
    "\n"
    "Exit status: 0 success, 1 bad usage, a bad manifest or an unwritable output, 2 a damaged library.\n",
    &RunBmd};

int BmdFail(const std::string& message) {
  std::fprintf(stderr, "tillands-assets bmd: %s\n", message.c_str());
  return 1;
}

// A file that is not what it should be: damaged data, status 2.
int BmdDamaged(const std::string& message) {
  std::fprintf(stderr, "tillands-assets bmd: %s\n", message.c_str());
  return 2;
}

const char* KindName(uint16_t kind) {
  switch (kind) {
    case XB_BOB_PACKED:
      return "packed";
    case XB_BOB_SHADOW:
      return "shadow";
    case XB_BOB_MASK:
      return "mask";
    default:
      return nullptr;
  }
}

std::unique_ptr<XB_BOB_MANAGER> LoadLibrary(const char* path) {
  std::unique_ptr<XB_STORABLE> object(LoadObjectFromFile(path));  // damaged files end with status 2
  XB_BOB_MANAGER* library = dynamic_cast<XB_BOB_MANAGER*>(object.get());
  if (!library) return nullptr;
  object.release();
  return std::unique_ptr<XB_BOB_MANAGER>(library);
}

int ListLibrary(const char* path) {
  auto library = LoadLibrary(path);
  if (!library) return BmdDamaged(std::string(path) + ": not a bob library");
  std::printf("# %s: first %u, count %u, %u bytes of pixel data\n", path, library->GetFirstIndex(),
              library->GetCount(), library->GetPixelBytesSize());
  for (uint32_t i = 0; i < library->GetCount(); ++i) {
    const uint32_t number = library->GetFirstIndex() + i;
    const XB_BOB_ENTRY* e = library->GetEntry(number);
    if (e->kind == XB_BOB_NONE) continue;
    const char* name = KindName(e->kind);
    std::printf("%u %s %d %d %d %d\n", number, name ? name : std::to_string(e->kind).c_str(), e->x, e->y,
                e->width, e->height);
  }
  return 0;
}

int Export(const char* path, const std::string& dir, const std::string& palettePath) {
  std::vector<RgbColour> palette = ResourcePalette();
  std::string error;
  if (!palettePath.empty() && !PictureRgbPalette(palettePath, &palette, &error)) return BmdFail(error);
  auto library = LoadLibrary(path);
  if (!library) return BmdDamaged(std::string(path) + ": not a bob library");
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec) return BmdFail(dir + ": cannot create the directory: " + ec.message());

  std::ostringstream manifest;
  manifest << "# bobs of " << fs::path(path).filename().string() << "\n"
           << "first " << library->GetFirstIndex() << "\ncount " << library->GetCount() << "\n";
  int written = 0;
  for (uint32_t i = 0; i < library->GetCount(); ++i) {
    const uint32_t number = library->GetFirstIndex() + i;
    const XB_BOB_ENTRY* e = library->GetEntry(number);
    if (e->kind == XB_BOB_NONE) continue;
    const char* kind = KindName(e->kind);
    if (!kind) {
      std::fprintf(stderr, "tillands-assets bmd: warning: bob %u has the unknown kind %u and is left out\n",
                   number, e->kind);
      continue;
    }
    manifest << number << " " << kind << " " << e->x << " " << e->y << " ";
    if (e->width == 0 || e->height == 0) {
      manifest << "- size " << e->width << " " << e->height << "\n";
      continue;
    }
    char name[32];
    std::snprintf(name, sizeof(name), "bob%04u.png", number);
    const std::string file = (fs::path(dir) / name).string();
    std::unique_ptr<XB_BITMAP> pixels(DecodeBob(*library, number, 0));
    bool ok;
    if (e->kind == XB_BOB_PACKED) {
      std::unique_ptr<XB_BITMAP> coverage(DecodeBobCoverage(*library, number));
      const size_t n = static_cast<size_t>(e->width) * e->height;
      bool used[256] = {};
      for (size_t k = 0; k < n; ++k)
        if (coverage->GetPixels()[k]) used[pixels->GetPixels()[k]] = true;
      int key = 0;
      while (key < 256 && used[key]) ++key;
      if (key < 256) {
        for (size_t k = 0; k < n; ++k)
          if (!coverage->GetPixels()[k]) pixels->GetPixels()[k] = static_cast<uint8_t>(key);
        ok = WritePng(file, PalettedPng(*pixels, palette, key), &error);
        manifest << name << " key " << key << "\n";
      } else {
        char coverName[40];
        std::snprintf(coverName, sizeof(coverName), "bob%04u_coverage.png", number);
        ok = WritePng(file, PalettedPng(*pixels, palette), &error) &&
             WritePng((fs::path(dir) / coverName).string(), GreyPng(*coverage), &error);
        manifest << name << " coverage " << coverName << "\n";
      }
    } else {
      ok = WritePng(file, GreyPng(*pixels), &error);
      manifest << name << "\n";
    }
    if (!ok) return BmdFail(error);
    ++written;
  }
  const std::string manifestPath = (fs::path(dir) / "manifest.txt").string();
  const std::string text = manifest.str();
  std::string why;
  if (!XB_WriteFileAtomic(manifestPath.c_str(), text.data(), text.size(), &why))
    return BmdFail(manifestPath + ": cannot write the manifest (" + why + ")");
  std::printf("%s: %d bobs written to %s\n", path, written, dir.c_str());
  return 0;
}

// An 8-bit bitmap of the indices (paletted) or grey levels of a PNG.
std::unique_ptr<XB_BITMAP> ReadIndexPng(const std::string& path, std::string* error) {
  PngImage png;
  if (!ReadPng(path, &png, error)) return nullptr;
  if (png.kind != PngImage::Kind::Paletted && png.kind != PngImage::Kind::Grey) {
    *error = path + ": needs a paletted or greyscale PNG (palette indices or levels), not RGB";
    return nullptr;
  }
  if (!XB_BitmapSizeAllowed(png.width, png.height, XB_PIXELS_8)) {
    *error = path + ": the image is too large";
    return nullptr;
  }
  auto bitmap = std::make_unique<XB_BITMAP>(png.width, png.height, XB_PIXELS_8);
  std::memcpy(bitmap->GetPixels(), png.pixels.data(), png.pixels.size());
  return bitmap;
}

// The most entries a built library may have: the saver names bobs by 16-bit numbers (animation
// frames, scene pictures), so a larger table only wastes space, and a typo in a number or a count
// must not make a file of gigabytes.
constexpr uint64_t kMaxBuiltEntries = 65536;

int Build(const char* manifestPath, const char* outPath) {
  std::ifstream in(manifestPath);
  if (!in) return BmdFail(std::string(manifestPath) + ": cannot open the manifest");
  const fs::path base = fs::path(manifestPath).parent_path();
  uint32_t first = 0, count = 0;
  std::unique_ptr<BobLibraryBuilder> builder;
  std::string line, error;
  std::vector<std::string> inputs{manifestPath};  // the output may be none of these
  for (int lineNumber = 1; std::getline(in, line); ++lineNumber) {
    const auto bad = [&](const std::string& what) {
      return BmdFail(std::string(manifestPath) + ":" + std::to_string(lineNumber) + ": " + what);
    };
    if (const size_t hash = line.find('#'); hash != std::string::npos) line.resize(hash);
    std::istringstream words(line);
    std::string head;
    if (!(words >> head)) continue;
    if (head == "first" || head == "count") {
      long long value = -1;
      if (!(words >> value) || value < 0 || value > 0xFFFFFFFFll) return bad("'" + head + "' needs a number");
      if (head == "first") {
        if (builder) return bad("'first' must come before the bobs");
        first = static_cast<uint32_t>(value);
      } else {
        if (static_cast<uint64_t>(value) > kMaxBuiltEntries)
          return bad("'count " + std::to_string(value) + "' is more than a library may hold (" +
                     std::to_string(kMaxBuiltEntries) + " entries)");
        count = static_cast<uint32_t>(value);
      }
      continue;
    }
    if (!builder) builder = std::make_unique<BobLibraryBuilder>(first);
    long long number = -1;
    std::string kind, file;
    int32_t x = 0, y = 0;
    try {
      number = std::stoll(head);
    } catch (...) {
      return bad("expected a bob number, 'first' or 'count', got '" + head + "'");
    }
    if (number < first || number > 0xFFFFFFFFll) return bad("bob number out of range");
    if (static_cast<uint64_t>(number - first) >= kMaxBuiltEntries)
      return bad("bob number " + std::to_string(number) + " lies more than " +
                 std::to_string(kMaxBuiltEntries) + " entries after 'first' (" + std::to_string(first) + ")");
    if (!(words >> kind >> x >> y >> file)) return bad("expected: NUMBER KIND X Y FILE");
    const uint16_t kindCode = kind == "packed"   ? XB_BOB_PACKED
                              : kind == "shadow" ? XB_BOB_SHADOW
                              : kind == "mask"   ? XB_BOB_MASK
                                                 : XB_BOB_NONE;
    if (kindCode == XB_BOB_NONE) return bad("unknown bob kind '" + kind + "' (packed, shadow or mask)");
    std::string option;
    words >> option;
    if (file == "-") {
      int32_t w = -1, h = -1;
      if (option != "size" || !(words >> w >> h) || w < 0 || h < 0 || (w != 0 && h != 0))
        return bad("a bob without a file needs 'size WIDTH HEIGHT' with a zero side");
      EncodedBob empty;
      empty.kind = kindCode;
      empty.width = w;
      empty.height = h;
      empty.rows.assign(static_cast<size_t>(h), XB_BOB_EMPTY_ROW);
      builder->Add(static_cast<uint32_t>(number), std::move(empty), x, y);
      continue;
    }
    inputs.push_back((base / file).string());
    auto pixels = ReadIndexPng(inputs.back(), &error);
    if (!pixels) return bad(error);
    const uint32_t n = static_cast<uint32_t>(number);
    if (kindCode == XB_BOB_PACKED) {
      if (option == "key") {
        int key = -1;
        if (!(words >> key) || key < 0 || key > 255) return bad("'key' needs an index 0-255");
        builder->AddPacked(n, *pixels, static_cast<uint8_t>(key), x, y);
      } else if (option == "coverage") {
        std::string coverFile;
        if (!(words >> coverFile)) return bad("'coverage' needs a file");
        inputs.push_back((base / coverFile).string());
        auto coverage = ReadIndexPng(inputs.back(), &error);
        if (!coverage) return bad(error);
        if (coverage->GetWidth() != pixels->GetWidth() || coverage->GetHeight() != pixels->GetHeight())
          return bad(coverFile + ": coverage size differs from the bob's");
        builder->AddPackedCovered(n, *pixels, *coverage, x, y);
      } else {
        return bad("a packed bob needs 'key INDEX' or 'coverage FILE'");
      }
    } else if (pixels->GetWidth() > kMaxAuthoredBobWidth) {
      return bad(file + ": a bob has at most 1023 columns");
    } else if (kindCode == XB_BOB_SHADOW) {
      builder->AddShadow(n, *pixels, x, y);
    } else {
      builder->AddMask(n, *pixels, x, y);
    }
  }
  if (!builder) builder = std::make_unique<BobLibraryBuilder>(first);
  if (count > 0) {
    if (uint64_t{first} + count - 1 > 0xFFFFFFFFull)
      return BmdFail(std::string(manifestPath) + ": 'first' + 'count' runs past the last bob number");
    if (builder->GetCount() > count)
      return BmdFail(std::string(manifestPath) + ": 'count " + std::to_string(count) +
                     "' is smaller than the bobs need");
    builder->ReserveUpTo(first + count - 1);
  }
  if (RefuseOutputOverInput("tillands-assets bmd", outPath, inputs)) return 1;
  if (!builder->SaveBmd(outPath)) return BmdFail(std::string(outPath) + ": cannot create the file");
  std::printf("%s: %u entries from %s\n", outPath, builder->GetCount(), manifestPath);
  return 0;
}

int RunBmd(int argc, char** argv) {
  if (argc < 2) return PrintUsage(bmdCommand, 1);
  const std::string verb = argv[1];
  if (verb == "list" && argc == 3) return ListLibrary(argv[2]);
  if (verb == "build" && argc == 4) return Build(argv[2], argv[3]);
  if (verb == "export" && (argc == 4 || argc == 6)) {
    std::string palette;
    if (argc == 6) {
      if (std::strcmp(argv[4], "--palette") != 0) return PrintUsage(bmdCommand, 1);
      palette = argv[5];
    }
    return Export(argv[2], argv[3], palette);
  }
  return PrintUsage(bmdCommand, 1);
}

}  // namespace
