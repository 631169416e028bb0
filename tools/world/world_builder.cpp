#include "tools/world/world_builder.h"

#include <algorithm>
#include <filesystem>

#include "base/xb_atomic_file.h"
#include "base/xb_file.h"

#include "shell/resources/palette_resource.h"
#include "tools/world/creature_world.h"
#include "tools/world/scenery_files.h"

namespace tlworld {

const std::vector<WorldPart>& WorldParts() {
  static const std::vector<WorldPart> parts = {
      {"scenery", 10, &BuildSceneryPart},
      {"creatures", 50, &BuildCreaturesPart},
  };
  return parts;
}

void WorldOutput::AddFile(const std::string& path, std::vector<uint8_t> bytes) {
  files_[path] = std::move(bytes);
}

void WorldOutput::AppendText(const std::string& path, const std::string& text) {
  texts_[path] += text;
}

bool WorldOutput::HasFile(const std::string& path) const {
  return files_.count(path) || texts_.count(path);
}

void WorldOutput::AddRemapTable(const std::string& name, const std::string& fileName,
                                const PaletteRgb& palette) {
  tables_.push_back({name, fileName, palette});
}

void WorldOutput::AddRemapWindow(const std::string& name, const std::string& table, int start) {
  windows_.push_back({name, table, start});
}

void WorldOutput::Finish() {
  std::string ini =
      "; Colour tables of the world. Each [RemapTable] takes its colours from the palette of a PCX file\n"
      "; beside this file; each [RemapTable16] is a 16-colour window into a table: palette entries\n"
      "; 16 * start .. 16 * start + 15.\n\n";
  for (const Table& t : tables_) {
    ini += "[RemapTable]\nName = \"" + t.name + "\"\nFileName = \"" + t.fileName + "\"\n\n";
    // A small swatch picture: one row of all 256 entries (only the palette is read).
    std::vector<uint8_t> pixels(256);
    for (int i = 0; i < 256; ++i) pixels[size_t(i)] = uint8_t(i);
    AddFile(std::string(kRemapTablesDir) + t.fileName, EncodePcx(256, 1, pixels, t.palette));
  }
  for (const Window& w : windows_)
    ini += "[RemapTable16]\nName = \"" + w.name + "\"\nRemapTable = \"" + w.table + "\", " +
           std::to_string(w.start) + "\n\n";
  AppendText(kRemapTablesIniPath, ini);
  for (auto& [path, text] : texts_) files_[path] = std::vector<uint8_t>(text.begin(), text.end());
  texts_.clear();
}

WorldOutput BuildWorld() {
  std::vector<WorldPart> parts = WorldParts();
  std::sort(parts.begin(), parts.end(), [](const WorldPart& a, const WorldPart& b) {
    if (a.order != b.order) return a.order < b.order;
    return std::string(a.name) < std::string(b.name);
  });
  WorldOutput out;
  for (const WorldPart& p : parts) p.build(out);
  out.Finish();
  return out;
}

int CountCreatureTypes(const WorldOutput& world) {
  auto it = world.Files().find(kCreatureDescriptionsPath);
  if (it == world.Files().end()) return 0;
  const std::string text(it->second.begin(), it->second.end());
  int count = 0;
  for (size_t at = text.find("[CreatureType]"); at != std::string::npos;
       at = text.find("[CreatureType]", at + 1))
    ++count;
  return count;
}

std::vector<uint8_t> PackArchive(const std::map<std::string, std::vector<uint8_t>>& files) {
  std::vector<uint8_t> out(4, 0);
  PutU32(out, uint32_t(files.size()));
  size_t directory = 8;
  for (const auto& [name, bytes] : files) directory += 2 + name.size() + 8;
  uint32_t offset = uint32_t(directory);
  for (const auto& [name, bytes] : files) {
    PutU16(out, uint32_t(name.size()));
    out.insert(out.end(), name.begin(), name.end());
    PutU32(out, offset);
    PutU32(out, uint32_t(bytes.size()));
    offset += uint32_t(bytes.size());
  }
  for (const auto& [name, bytes] : files) out.insert(out.end(), bytes.begin(), bytes.end());
  return out;
}

namespace {
bool WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes, std::string* error) {
  std::error_code ec;
  std::filesystem::create_directories(path.parent_path(), ec);
  return XB_WriteFileAtomic(path.string().c_str(), bytes, error);
}

std::filesystem::path Below(const std::filesystem::path& root, std::string name) {
  std::replace(name.begin(), name.end(), '\\', '/');
  return root / name;
}

// The file a world name stands for below `root`, found without regard to case as the saver finds
// it; empty when there is none.
std::filesystem::path Existing(const std::filesystem::path& root, const std::string& name) {
  char found[XB_MAX_PATH];
  const std::string wanted = Below(root, name).string();
  if (wanted.size() >= XB_MAX_PATH || !XB_FILE::ResolvePath(wanted.c_str(), found)) return {};
  std::error_code ec;
  if (!std::filesystem::is_regular_file(found, ec)) return {};
  return found;
}

// The compiled caches (.cif, .cdf) the saver writes beside the world's descriptions, by name.
std::vector<std::string> CacheNames(const WorldOutput& world) {
  std::vector<std::string> names;
  for (const auto& [name, bytes] : world.Files()) {
    const size_t dot = name.find_last_of('.');
    if (dot == std::string::npos) continue;
    std::string ext = name.substr(dot);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    if (ext != ".ini") continue;
    names.push_back(name.substr(0, dot) + ".cif");
    names.push_back(name.substr(0, dot) + ".cdf");
  }
  return names;
}

// True when `root` holds a file under one of the names this world writes: an earlier run's output,
// which may be written over.
bool HoldsEarlierWorld(const WorldOutput& world, const std::filesystem::path& root) {
  if (!Existing(root, kArchiveName).empty()) return true;
  for (const auto& [name, bytes] : world.Files())
    if (!Existing(root, name).empty()) return true;
  for (const std::string& name : CacheNames(world))
    if (!Existing(root, name).empty()) return true;
  return false;
}

// The saver writes compiled caches beside the descriptions and prefers them to the text files;
// caches of an earlier world would hide the new descriptions, so they go. Only those: a cache is
// removed by the name the saver gives it, never by its extension alone, so files of anyone else
// that merely end in .cif or .cdf stay where they are.
void RemoveCaches(const WorldOutput& world, const std::filesystem::path& root) {
  std::error_code ec;
  for (const std::string& name : CacheNames(world)) {
    const std::filesystem::path cache = Existing(root, name);
    if (!cache.empty()) std::filesystem::remove(cache, ec);
  }
}
}  // namespace

bool WriteWorld(const WorldOutput& world, const std::string& dir, bool archive, std::string* error,
                bool force) {
  std::filesystem::path root(dir);
  std::error_code ec;
  if (!force && std::filesystem::is_directory(root, ec) && !std::filesystem::is_empty(root, ec) &&
      !HoldsEarlierWorld(world, root)) {
    if (error)
      *error = dir +
               " is not empty and holds no earlier world; choose an empty directory (or --force to "
               "write into it anyway)";
    return false;
  }
  RemoveCaches(world, root);
  if (archive) return WriteBytes(root / kArchiveName, PackArchive(world.Files()), error);
  for (const auto& [name, bytes] : world.Files())
    if (!WriteBytes(Below(root, name), bytes, error)) return false;
  return true;
}

PaletteRgb ScreenPalette() {
  PaletteRgb p;
  for (int i = 0; i < 256; ++i) p[size_t(i)] = PaletteColour(uint8_t(i));
  return p;
}

std::vector<uint8_t> EncodePcx(int width, int height, const std::vector<uint8_t>& pixels,
                               const PaletteRgb& palette) {
  std::vector<uint8_t> out(128, 0);
  int line = (width + 1) & ~1;
  out[0] = 10, out[1] = 5, out[2] = 1, out[3] = 8;
  auto put16 = [&out](size_t at, int v) { out[at] = uint8_t(v), out[at + 1] = uint8_t(v >> 8); };
  put16(8, width - 1), put16(10, height - 1), put16(12, 72), put16(14, 72);
  out[65] = 1;
  put16(66, line);
  put16(68, 1);
  for (int y = 0; y < height; ++y) {
    int x = 0;
    while (x < line) {
      uint8_t v = x < width ? pixels[size_t(y) * width + x] : 0;
      int run = 1;
      while (x + run < line && run < 63 && (x + run < width ? pixels[size_t(y) * width + x + run] : 0) == v)
        ++run;
      if (run > 1 || v >= 0xC0) out.push_back(uint8_t(0xC0 | run));
      out.push_back(v);
      x += run;
    }
  }
  out.push_back(0x0C);
  for (const Rgb& c : palette) {
    out.push_back(uint8_t(c.r)), out.push_back(uint8_t(c.g)), out.push_back(uint8_t(c.b));
  }
  return out;
}

std::vector<uint8_t> EncodeBmp8(int width, int height, const std::vector<uint8_t>& pixels,
                                const PaletteRgb& palette) {
  int stride = (width + 3) & ~3;
  uint32_t dataOffset = 14 + 40 + 1024;
  std::vector<uint8_t> out;
  out.push_back('B'), out.push_back('M');
  PutU32(out, dataOffset + uint32_t(stride * height));
  PutU32(out, 0);
  PutU32(out, dataOffset);
  PutU32(out, 40);
  PutU32(out, uint32_t(width));
  PutU32(out, uint32_t(height));  // positive: bottom row first
  PutU16(out, 1);
  PutU16(out, 8);
  PutU32(out, 0);
  PutU32(out, uint32_t(stride * height));
  PutU32(out, 2835), PutU32(out, 2835);
  PutU32(out, 256), PutU32(out, 0);
  for (const Rgb& c : palette) {
    out.push_back(uint8_t(c.b)), out.push_back(uint8_t(c.g)), out.push_back(uint8_t(c.r)), out.push_back(0);
  }
  for (int y = height - 1; y >= 0; --y) {
    for (int x = 0; x < width; ++x) out.push_back(pixels[size_t(y) * width + x]);
    for (int x = width; x < stride; ++x) out.push_back(0);
  }
  return out;
}

}  // namespace tlworld
