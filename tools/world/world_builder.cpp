#include "tools/world/world_builder.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "shell/resources/palette_resource.h"
#include "tools/world/creature_world.h"
#include "tools/world/scenery_files.h"

namespace tlworld {

namespace {
void PutU16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}
void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  PutU16(out, v & 0xFFFF);
  PutU16(out, v >> 16);
}
}  // namespace

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
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  if (f) f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  if (!f) {
    if (error) *error = "cannot write " + path.string();
    return false;
  }
  return true;
}
}  // namespace

namespace {
// The saver writes compiled caches (.cif, .cdf) beside the descriptions and prefers some of them to
// the text files; caches of an earlier world would hide the new descriptions, so they go.
void RemoveCaches(const std::filesystem::path& root) {
  std::error_code ec;
  if (!std::filesystem::is_directory(root, ec)) return;
  std::vector<std::filesystem::path> stale;
  for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    std::string ext = it->path().extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    if (ext == ".cif" || ext == ".cdf") stale.push_back(it->path());
  }
  for (const auto& p : stale) std::filesystem::remove(p, ec);
}
}  // namespace

bool WriteWorld(const WorldOutput& world, const std::string& dir, bool archive, std::string* error) {
  std::filesystem::path root(dir);
  RemoveCaches(root);
  if (archive) return WriteBytes(root / kArchiveName, PackArchive(world.Files()), error);
  for (const auto& [name, bytes] : world.Files()) {
    std::string rel = name;
    std::replace(rel.begin(), rel.end(), '\\', '/');
    if (!WriteBytes(root / rel, bytes, error)) return false;
  }
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
