// The optional logo at its limits: the largest picture that fits, one pixel more, and a logo without
// its texts.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "graphics/bob_authoring.h"
#include "graphics/xb_bitmap.h"
#include "graphics/xb_picture.h"
#include "tests/shell/saver_window_fixture.h"

namespace {

using tl_test::SaverFixture;
using tl_test::SaverFixtureOptions;

SaverFixtureOptions WithLogo() {
  SaverFixtureOptions options;
  options.world.withLogo = true;
  return options;
}

TEST(SaverWindowLogo, PicturesUpTo320By300AreShownAndLargerOnesDropped) {
  for (const auto& [w, h, kept] : {std::tuple{320, 300, true}, std::tuple{320, 301, false},
                                   std::tuple{321, 300, false}, std::tuple{1, 1, true}}) {
    SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
    SaverFixture f(WithLogo());
    f.dir.Write("Logo.bmp", tl_test::MakeBmp8(w, h, std::vector<uint8_t>(static_cast<size_t>(w) * h, 5),
                                              tl_test::SyntheticPaletteRgb()));
    ASSERT_TRUE(f.Create());
    EXPECT_EQ(f.app().logoPicture != nullptr, kept);
    EXPECT_EQ(f.app().logoText[0] != 0, kept) << "the texts come only with a logo";
  }
}

TEST(SaverWindowLogo, LogoWithoutItsTextFileHasNoTextsAndNoFont) {
  SaverFixture f(WithLogo());
  std::filesystem::remove(f.dir.File("Logo.txt"));
  FontBuilder font(10);  // a font that would be read with the texts
  XB_BITMAP glyph(4, 8, 0);
  for (int k = 32; k < 127; ++k) font.AddGlyph(static_cast<uint8_t>(k), glyph, 0);
  std::filesystem::create_directories("Data_V/VE_Graphics");
  ASSERT_TRUE(font.SaveFnt("Data_V/VE_Graphics/ExtText.fnt"));
  ASSERT_TRUE(f.Create());
  ASSERT_NE(f.app().logoPicture, nullptr) << "the picture alone is shown";
  EXPECT_EQ(f.app().logoText[0], 0);
  EXPECT_EQ(f.app().introText[0], 0);
  EXPECT_EQ(f.app().scrollText[0], 0);
  EXPECT_EQ(f.app().font, nullptr);
}

}  // namespace
