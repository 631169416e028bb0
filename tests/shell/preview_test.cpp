// The preview picture: decoded from bitmap resource 108 and stretched over the preview window.
#include <gtest/gtest.h>

#include <vector>

#include "graphics/graphics_storables.h"
#include "shell/preview.h"
#include "shell/resources/resources.h"
#include "tests/common/synthetic_world.h"

namespace {

class Preview : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterGraphicsStorables();
    std::vector<uint8_t> pixels(kPreviewWidth * kPreviewHeight);
    for (int y = 0; y < kPreviewHeight; ++y)
      for (int x = 0; x < kPreviewWidth; ++x) pixels[size_t(y * kPreviewWidth + x)] = uint8_t(x + 2 * y);
    bmp_ = tl_test::MakeBmp8(kPreviewWidth, kPreviewHeight, pixels, tl_test::SyntheticPaletteRgb());
    table_[0] = {"BITMAP", "#108", bmp_.data(), bmp_.size()};
    RegisterEmbeddedResources(table_, 1);
  }
  void TearDown() override { UnregisterEmbeddedResources(table_); }
  std::vector<uint8_t> bmp_;
  EmbeddedResource table_[1];
};

TEST_F(Preview, UnscaledIsAPlainCopyAndLargerTargetsRepeatPixels) {
  PreviewPicture picture;
  ASSERT_TRUE(LoadPreviewPicture(picture));
  EXPECT_EQ(picture.width, 152);
  EXPECT_EQ(picture.height, 112);
  EXPECT_EQ(picture.indices[size_t(3 * 152 + 5)], 11);
  EXPECT_EQ(picture.rgb[3 * 9 + 1], tl_test::SyntheticPaletteRgb()[3 * 9 + 1]);

  std::vector<uint8_t> same(152 * 112);
  StretchPreview(picture, same.data(), 152, 112, 152);
  EXPECT_EQ(same, picture.indices);

  // Twice the size, with padded rows: every source pixel becomes a 2 × 2 block.
  const int pitch = 308;
  std::vector<uint8_t> big(size_t(pitch) * 224, 0xEE);
  StretchPreview(picture, big.data(), 304, 224, pitch);
  for (int y = 0; y < 224; ++y)
    for (int x = 0; x < 304; ++x)
      ASSERT_EQ(big[size_t(y * pitch + x)], picture.indices[size_t((y / 2) * 152 + x / 2)]) << x << "," << y;
  EXPECT_EQ(big[304], 0xEE);  // padding untouched

  // Half the size keeps every second pixel.
  std::vector<uint8_t> small(76 * 56);
  StretchPreview(picture, small.data(), 76, 56, 76);
  EXPECT_EQ(small[size_t(10 * 76 + 7)], picture.indices[size_t(20 * 152 + 14)]);
}

TEST_F(Preview, MissingOrForeignResourcesAreRefused) {
  UnregisterEmbeddedResources(table_);
  PreviewPicture picture;
  EXPECT_FALSE(LoadPreviewPicture(picture));
  static const uint8_t png[] = {0x89, 'P', 'N', 'G', 0, 0, 0, 0};
  static const EmbeddedResource other[] = {{"BITMAP", "#108", png, sizeof png}};
  RegisterEmbeddedResources(other, 1);
  EXPECT_FALSE(LoadPreviewPicture(picture));
  UnregisterEmbeddedResources(other);
  RegisterEmbeddedResources(table_, 1);
  StretchPreview(picture, nullptr, 10, 10, 10);  // nothing to draw into: no effect
}

}  // namespace
