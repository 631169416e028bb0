#include "base/xb_archive_writer.h"

#include "base/xb_atomic_file.h"

namespace {

void PutU16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

}  // namespace

std::vector<uint8_t> XB_BuildArchiveImage(const std::vector<XB_ARCHIVE_MEMBER>& members, std::string* error) {
  uint64_t directory = 8;
  for (const XB_ARCHIVE_MEMBER& m : members) {
    if (m.name.size() > 0xFFFF) {
      if (error) *error = "member name longer than 65535 characters: " + m.name.substr(0, 60) + "...";
      return {};
    }
    directory += 2 + m.name.size() + 8;
  }
  uint64_t total = directory;
  for (const XB_ARCHIVE_MEMBER& m : members) total += m.bytes.size();
  if (total > 0xFFFFFFFFull || members.size() > 0xFFFFFFFFull) {
    if (error) *error = "archive would exceed 4 GiB";
    return {};
  }

  std::vector<uint8_t> out;
  out.reserve(static_cast<size_t>(total));
  PutU32(out, 0);
  PutU32(out, static_cast<uint32_t>(members.size()));
  uint64_t offset = directory;
  for (const XB_ARCHIVE_MEMBER& m : members) {
    PutU16(out, static_cast<uint16_t>(m.name.size()));
    out.insert(out.end(), m.name.begin(), m.name.end());
    PutU32(out, static_cast<uint32_t>(offset));
    PutU32(out, static_cast<uint32_t>(m.bytes.size()));
    offset += m.bytes.size();
  }
  for (const XB_ARCHIVE_MEMBER& m : members) out.insert(out.end(), m.bytes.begin(), m.bytes.end());
  return out;
}

bool XB_WriteArchive(const char* path, const std::vector<XB_ARCHIVE_MEMBER>& members, std::string* error) {
  std::string why;
  const std::vector<uint8_t> image = XB_BuildArchiveImage(members, &why);
  if (image.empty()) {
    if (error) *error = why;
    return false;
  }
  // All or nothing: a saver opening the archive meanwhile sees the old one or the new one.
  return XB_WriteFileAtomic(path, image, error);
}
