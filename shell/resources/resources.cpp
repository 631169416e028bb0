#include "shell/resources/resources.h"

#include <cstdio>

#include "shell/resources/palette_resource.h"

namespace {

const EmbeddedResource kBuiltInResources[] = {
    {"PALETTE", "#104", kPaletteResource, sizeof kPaletteResource},
};

struct TableRef {
  const EmbeddedResource* table;
  size_t count;
};
TableRef gTables[kMaxResourceTables];
int gTableCount = 0;

bool SameText(const char* a, const char* b) {
  for (;; ++a, ++b) {
    unsigned char ca = static_cast<unsigned char>(*a), cb = static_cast<unsigned char>(*b);
    if (ca >= 'A' && ca <= 'Z') ca = static_cast<unsigned char>(ca - 'A' + 'a');
    if (cb >= 'A' && cb <= 'Z') cb = static_cast<unsigned char>(cb - 'A' + 'a');
    if (ca != cb) return false;
    if (ca == 0) return true;
  }
}

const EmbeddedResource* Search(const EmbeddedResource* table, size_t count, const char* type,
                               const char* name) {
  for (size_t i = 0; i < count; ++i) {
    const EmbeddedResource& r = table[i];
    if (r.type && r.name && SameText(r.type, type) && SameText(r.name, name)) return &r;
  }
  return nullptr;
}

uint32_t Le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t Le16(const uint8_t* p) {
  return uint16_t(p[0] | p[1] << 8);
}

}  // namespace

const EmbeddedResource* FindEmbeddedResource(const char* type, const char* name) {
  if (!type || !name) return nullptr;
  for (int i = gTableCount - 1; i >= 0; --i)
    if (const EmbeddedResource* r = Search(gTables[i].table, gTables[i].count, type, name)) return r;
  return Search(kBuiltInResources, sizeof kBuiltInResources / sizeof kBuiltInResources[0], type, name);
}

const uint8_t* LoadResourceByNumber(int number, const char* typeName) {
  char name[16];
  std::snprintf(name, sizeof name, "#%d", number);
  const EmbeddedResource* r = FindEmbeddedResource(typeName, name);
  return r ? r->data : nullptr;
}

bool RegisterEmbeddedResources(const EmbeddedResource* table, size_t count) {
  if (!table) return false;
  for (int i = 0; i < gTableCount; ++i)
    if (gTables[i].table == table) return true;
  if (gTableCount >= kMaxResourceTables) return false;
  gTables[gTableCount++] = {table, count};
  return true;
}

void UnregisterEmbeddedResources(const EmbeddedResource* table) {
  for (int i = 0; i < gTableCount; ++i) {
    if (gTables[i].table != table) continue;
    for (int j = i + 1; j < gTableCount; ++j) gTables[j - 1] = gTables[j];
    --gTableCount;
    return;
  }
}

bool ReadWaveInfo(const uint8_t* data, size_t size, WaveInfo& info) {
  info = WaveInfo{};
  if (!data || size < 12 || Le32(data) != 0x46464952u /* RIFF */ || Le32(data + 8) != 0x45564157u /* WAVE */)
    return false;
  bool haveFormat = false, haveData = false;
  size_t pos = 12;
  while (pos + 8 <= size && !(haveFormat && haveData)) {
    uint32_t id = Le32(data + pos);
    uint32_t chunk = Le32(data + pos + 4);
    size_t body = pos + 8;
    size_t avail = size - body;
    if (id == 0x20746d66u /* "fmt " */) {
      if (chunk < 16 || avail < 16) return false;
      info.channels = Le16(data + body + 2);
      info.sampleRate = Le32(data + body + 4);
      info.bitsPerSample = Le16(data + body + 14);
      haveFormat = true;
    } else if (id == 0x61746164u /* "data" */) {
      info.dataBytes = static_cast<uint32_t>(chunk < avail ? chunk : avail);
      haveData = true;
    }
    if (chunk > avail) break;
    pos = body + chunk + (chunk & 1);  // chunks are padded to even sizes
  }
  if (!haveFormat || !haveData) return false;
  uint64_t bytesPerSecond = uint64_t(info.sampleRate) * info.channels * ((info.bitsPerSample + 7u) / 8u);
  if (bytesPerSecond == 0) return false;
  info.durationMs =
      static_cast<uint32_t>((uint64_t(info.dataBytes) * 1000u + bytesPerSecond - 1) / bytesPerSecond);
  return true;
}
