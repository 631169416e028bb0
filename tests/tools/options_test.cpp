// The toolkit's version and its numbers: a value outside the documented range is refused with the
// range in the message, in the same words as the saver and the headless renderer.
#include <gtest/gtest.h>

#include "shell/version.h"
#include "tests/tools/image_tool_support.h"

namespace {

using asset_test::AssetToolTest;

TEST_F(AssetToolTest, PrintsTheProjectVersion) {
  const auto r = Run("--version");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, std::string("tillands-assets ") + kTillandsVersion + "\n");
}

TEST_F(AssetToolTest, NumbersOutsideTheirRangeAreRefusedWithTheRange) {
  const struct {
    const char* args;
    const char* message;
  } cases[] = {
      {"frame-sheet sheet.png a.png b.png --columns 65", "bad --columns '65': expected 1..64"},
      {"frame-sheet sheet.png a.png b.png --shrink 0", "bad --shrink '0': expected 1..16"},
      {"creature-sheet . --scale 9", "bad --scale '9': expected 1..8"},
      {"contact-sheet lib.bmd out.png --scale 3x", "bad --scale '3x': expected 1..8"},
      {"contact-sheet lib.bmd out.png --width 15", "bad --width '15': expected 16..16384"},
  };
  for (const auto& c : cases) {
    const auto r = Run(c.args);
    EXPECT_EQ(r.status, 1) << c.args;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << ": " << r.err;
  }
}

}  // namespace
