#include "shell/preview.h"

#include <cstring>
#include <memory>

#include "graphics/xb_bitmap.h"
#include "graphics/xb_palette.h"
#include "graphics/xb_picture.h"
#include "shell/resources/resources.h"

namespace {

// The BMP decoder takes a whole file; check the header so that a resource in another form is refused
// here instead of ending the program as a damaged picture.
bool LooksLikeBmp8(const uint8_t* data, size_t size) {
  if (size < 54 || data[0] != 'B' || data[1] != 'M') return false;
  return (data[28] | data[29] << 8) == 8;
}

}  // namespace

bool LoadPreviewPicture(PreviewPicture& picture) {
  picture = PreviewPicture{};
  const EmbeddedResource* r = FindEmbeddedResource("BITMAP", "#108");
  if (!r || !LooksLikeBmp8(r->data, r->size) || r->size > 0xFFFFFFFFu) return false;
  XB_PICTURE decoded("preview.bmp", r->data, static_cast<uint32_t>(r->size));
  const XB_BITMAP* bitmap = decoded.GetBitmap();
  if (!bitmap || bitmap->GetFormat() != XB_PIXELS_8 || bitmap->GetWidth() <= 0 || bitmap->GetHeight() <= 0)
    return false;
  picture.width = bitmap->GetWidth();
  picture.height = bitmap->GetHeight();
  picture.indices.resize(size_t(picture.width) * picture.height);
  for (int32_t y = 0; y < picture.height; ++y)
    std::memcpy(&picture.indices[size_t(y) * picture.width],
                bitmap->GetPixels() + size_t(y) * bitmap->GetPitchInBytes(), size_t(picture.width));
  if (const XB_PALETTE* palette = decoded.GetPalette()) {
    for (int i = 0; i < 256; ++i) {
      const XB_PALETTE_ENTRY& c = palette->GetColour(i);
      picture.rgb[3 * i] = c.red;
      picture.rgb[3 * i + 1] = c.green;
      picture.rgb[3 * i + 2] = c.blue;
    }
  }
  return true;
}

void StretchPreview(const PreviewPicture& picture, uint8_t* target, int32_t width, int32_t height,
                    int32_t pitch) {
  if (!target || width <= 0 || height <= 0 || picture.width <= 0 || picture.height <= 0) return;
  for (int32_t y = 0; y < height; ++y) {
    const int64_t sy = int64_t(y) * picture.height / height;
    const uint8_t* row = &picture.indices[size_t(sy) * picture.width];
    uint8_t* out = target + int64_t(y) * pitch;
    for (int32_t x = 0; x < width; ++x) out[x] = row[int64_t(x) * picture.width / width];
  }
}
