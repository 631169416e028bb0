// The program's generated resources: the 22 WAVE sounds, the preview bitmap 108 and the icons 105,
// 106, 107, turned into a C++ table for the generated resource library (and optionally into files).
//
// Forms of the bytes: a WAVE is a complete RIFF file; the bitmap "#108" is a complete 8-bit BMP file
// (152 x 112, at most 253 colours; a front end that wants the DIB skips the 14-byte file header); an
// icon "#105" ... is a complete .ico file with one 256-colour image.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/world/shape_render.h"

namespace tlworld {

struct ProgramResource {
  std::string type;      // "WAVE", "BITMAP", "ICON"
  std::string name;      // "DUMMY", "#108", "#105"
  std::string fileName;  // for --files: "DUMMY.wav", "preview108.bmp", "icon105.ico"
  std::vector<uint8_t> bytes;
};

std::vector<ProgramResource> BuildProgramResources();
// A single-image 256-colour .ico file of a sprite (transparent where the sprite is 0).
std::vector<uint8_t> EncodeIcon(const Sprite& sprite);
bool WriteResourceSource(const std::vector<ProgramResource>& resources, const std::string& path,
                         std::string* error);
bool WriteResourceFiles(const std::vector<ProgramResource>& resources, const std::string& dir,
                        std::string* error);

}  // namespace tlworld
