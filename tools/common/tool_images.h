// Conversions between the graphics layer's bitmaps and palettes and the tools' PNG images.
#pragma once

#include <string>
#include <vector>

#include "tools/common/png_io.h"

class XB_BITMAP;
class XB_PALETTE;

// What keeps a picture file from being read, before the saver's decoder sees it (it would end the
// program with a less helpful message): a missing file (status 1), an empty file or a name whose
// extension the saver does not read (status 2). Empty when the file can be tried.
std::string PictureInputProblem(const std::string& path, int* status);

// 256 colours of an XB_PALETTE, or of 768 red, green, blue bytes.
std::vector<RgbColour> RgbPalette(const XB_PALETTE& palette);
std::vector<RgbColour> RgbPaletteFromTriples(const uint8_t* rgb768);
// The saver's own screen palette (the PALETTE resource).
std::vector<RgbColour> ResourcePalette();
// The palette of a PCX or BMP picture. A picture without one (24/32-bit) gives false and an error.
bool PictureRgbPalette(const std::string& path, std::vector<RgbColour>* palette, std::string* error);

// An 8-bit bitmap as a paletted PNG; `transparentIndex` >= 0 marks one palette entry transparent.
PngImage PalettedPng(const XB_BITMAP& bitmap, const std::vector<RgbColour>& palette,
                     int transparentIndex = -1);
// An 8-bit bitmap as a greyscale PNG (the pixel values are the grey levels).
PngImage GreyPng(const XB_BITMAP& bitmap);
// A 32-bit bitmap (0x00RRGGBB pixels) as an RGB PNG.
PngImage RgbPngFrom32(const XB_BITMAP& bitmap);
