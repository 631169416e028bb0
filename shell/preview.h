// The preview's still picture without a window: bitmap resource 108 (152 × 112, 8 bits per pixel)
// decoded to palette indices and its own colours, and stretched over the whole client area of the
// preview window, as a plain copy. Front ends without StretchBlt draw the stretched indices.
#pragma once

#include <cstdint>
#include <vector>

constexpr int kPreviewBitmapNumber = 108;
constexpr int kPreviewWidth = 152;
constexpr int kPreviewHeight = 112;

struct PreviewPicture {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> indices;  // width × height, rows from the top
  uint8_t rgb[768] = {};         // the picture's own colours
};

// False when the resource is missing or is not an 8-bit BMP.
bool LoadPreviewPicture(PreviewPicture& picture);

// Nearest-neighbour stretch of the whole picture onto a target of width × height pixels (rows `pitch`
// bytes apart): target pixel (x, y) shows source pixel (x · sw / width, y · sh / height). A target of
// the picture's own size is a plain copy.
void StretchPreview(const PreviewPicture& picture, uint8_t* target, int32_t width, int32_t height,
                    int32_t pitch);
