// Writing packed data files in the format XB_ARCHIVE reads: 4 bytes not interpreted (we write zero),
// the u32 member count, the directory records (u16 name length, name, u32 offset, u32 size), then
// the members' bytes back to back in directory order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct XB_ARCHIVE_MEMBER {
  std::string name;  // as the program opens it, e.g. "Data_V\\VE_Graphics\\ExtText.fnt"
  std::vector<uint8_t> bytes;
};

// The whole archive as bytes. Names longer than 65535 characters or a total beyond 4 GiB cannot be
// expressed in the format: the result is then empty and `error` says why.
std::vector<uint8_t> XB_BuildArchiveImage(const std::vector<XB_ARCHIVE_MEMBER>& members, std::string* error);

// Builds the image and writes it through XB_FILE (creating or truncating the file). False with
// `error` set when the members cannot be packed or the file cannot be created.
bool XB_WriteArchive(const char* path, const std::vector<XB_ARCHIVE_MEMBER>& members, std::string* error);
