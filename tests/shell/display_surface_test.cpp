// The memory display surface and the colour rules every backend shares.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "display/memory_display_surface.h"
#include "shell/resources/palette_resource.h"

namespace {

TEST(DisplaySurface, RowsArePaddedToFourBytesAndFilled) {
  auto surface = MemoryDisplaySurface::Create({10, 20, 10 + 13, 20 + 5}, 8, 56);
  ASSERT_FALSE(surface->Failed());
  EXPECT_EQ(surface->Width(), 13);
  EXPECT_EQ(surface->Height(), 5);
  EXPECT_EQ(surface->Pitch(), 16u);
  for (uint32_t width : {1u, 4u, 5u, 1279u, 1280u}) EXPECT_EQ(DisplaySurface::DisplayRowPitch(width) % 4, 0u);
  const uint8_t* p = surface->Pixels();
  for (int i = 0; i < 16 * 5; ++i) ASSERT_EQ(p[i], 56) << i;
}

TEST(DisplaySurface, BadRectanglesAndDepthsFail) {
  EXPECT_TRUE(MemoryDisplaySurface::Create({0, 0, 0, 10}, 8, 0)->Failed());
  EXPECT_TRUE(MemoryDisplaySurface::Create({5, 5, 4, 10}, 8, 0)->Failed());
  EXPECT_TRUE(MemoryDisplaySurface::Create({0, 0, 70000, 10}, 8, 0)->Failed());
  EXPECT_TRUE(MemoryDisplaySurface::Create({0, 0, 8, 8}, 16, 0)->Failed());
  auto failed = MemoryDisplaySurface::Create({0, 0, 8, 8}, 8, 0, {nullptr, true});
  EXPECT_TRUE(failed->Failed());
  EXPECT_EQ(failed->Pixels(), nullptr);
  failed->Release();  // a failed surface is still released by its owner
}

TEST(DisplaySurface, PresentingBeforeThePaletteShowsNothing) {
  auto surface = MemoryDisplaySurface::Create({0, 0, 4, 2}, 8, 7);
  EXPECT_FALSE(surface->Present());
  EXPECT_EQ(surface->PresentCount(), 0u);
  ASSERT_TRUE(surface->SetPalette(kPaletteResource));
  EXPECT_TRUE(surface->Present());
  EXPECT_EQ(surface->PresentCount(), 1u);
  surface->ReleasePalette();
  EXPECT_FALSE(surface->Present());
}

TEST(DisplaySurface, PresentDropsThePaddingAndZeroAnd255ShowBlack) {
  // A palette whose entries 0 and 255 are bright: they must never reach the screen.
  uint8_t rgb[768];
  for (int i = 0; i < 256; ++i) {
    rgb[3 * i] = uint8_t(i);
    rgb[3 * i + 1] = uint8_t(255 - i);
    rgb[3 * i + 2] = 200;
  }
  auto surface = MemoryDisplaySurface::Create({0, 0, 3, 2}, 8, 0);
  ASSERT_TRUE(surface->SetPalette(rgb));
  uint8_t* px = surface->Pixels();
  const uint32_t pitch = surface->Pitch();
  const uint8_t frame[2][3] = {{0, 1, 255}, {254, 128, 0}};
  for (int y = 0; y < 2; ++y) {
    std::memcpy(px + y * pitch, frame[y], 3);
    px[y * pitch + 3] = 99;  // padding byte: not part of the picture
  }
  ASSERT_TRUE(surface->Present());
  EXPECT_EQ(surface->PresentedIndices(), (std::vector<uint8_t>{0, 1, 255, 254, 128, 0}));
  std::vector<uint8_t> shown = surface->PresentedRgb();
  ASSERT_EQ(shown.size(), 18u);
  const uint8_t black[3] = {0, 0, 0};
  EXPECT_EQ(std::memcmp(&shown[0], black, 3), 0);
  EXPECT_EQ(std::memcmp(&shown[3], rgb + 3, 3), 0);
  EXPECT_EQ(std::memcmp(&shown[6], black, 3), 0);
  EXPECT_EQ(std::memcmp(&shown[9], rgb + 3 * 254, 3), 0);
  EXPECT_EQ(std::memcmp(&shown[12], rgb + 3 * 128, 3), 0);
}

// Without row padding the surface hands its pixel memory to the presented frame instead of copying;
// the pixels must still read back as they were, and partial writes must keep the rest.
TEST(DisplaySurface, PresentedFramesAndThePixelsStayApartWhateverTheSurfaceSaves) {
  auto surface = MemoryDisplaySurface::Create({0, 0, 4, 2}, 8, 9);
  ASSERT_TRUE(surface->SetPalette(kPaletteResource));
  ASSERT_EQ(surface->Pitch(), 4u);
  uint8_t* px = surface->Pixels();
  for (uint8_t i = 0; i < 8; ++i) px[i] = uint8_t(10 + i);
  ASSERT_TRUE(surface->Present());
  const std::vector<uint8_t> first = {10, 11, 12, 13, 14, 15, 16, 17};
  EXPECT_EQ(surface->PresentedIndices(), first);
  // Read back after a present: the same pixels; one pixel changed, the rest kept.
  px = surface->Pixels();
  EXPECT_EQ(std::vector<uint8_t>(px, px + 8), first);
  px[5] = 99;
  EXPECT_EQ(surface->PresentedIndices(), first);  // the screen shows the old frame until Present
  ASSERT_TRUE(surface->Present());
  std::vector<uint8_t> second = first;
  second[5] = 99;
  EXPECT_EQ(surface->PresentedIndices(), second);
  ASSERT_TRUE(surface->Present());  // presenting again without drawing shows the same
  EXPECT_EQ(surface->PresentedIndices(), second);
  // A caller that overwrites every pixel gets writable memory; the shown frame is untouched by it.
  px = surface->PixelsToOverwrite();
  ASSERT_NE(px, nullptr);
  for (uint8_t i = 0; i < 8; ++i) px[i] = uint8_t(40 + i);
  EXPECT_EQ(surface->PresentedIndices(), second);
  ASSERT_TRUE(surface->Present());
  EXPECT_EQ(surface->PresentedIndices(), (std::vector<uint8_t>{40, 41, 42, 43, 44, 45, 46, 47}));
  px = surface->Pixels();
  EXPECT_EQ(px[7], 47);
  surface->Release();
  EXPECT_EQ(surface->Pixels(), nullptr);
  EXPECT_EQ(surface->PixelsToOverwrite(), nullptr);
}

TEST(DisplaySurface, SystemPaletteTakesTheTwentyStaticPlacesOfTheLogicalPalette) {
  uint8_t system[768];
  for (int i = 0; i < 768; ++i) system[i] = uint8_t(0xA0 + i % 7);
  SurfaceColours withSystem, without;
  BuildSurfaceColours(kPaletteResource, system, withSystem);
  BuildSurfaceColours(kPaletteResource, nullptr, without);
  for (int i = 0; i < 256; ++i) {
    const bool statics = i < 10 || i >= 246;
    const uint8_t* expectLogical = statics ? system + 3 * i : kPaletteResource + 3 * i;
    if (statics || (i > 0 && i < 255)) {
      EXPECT_EQ(std::memcmp(withSystem.logical[i], expectLogical, 3), 0) << i;
    }
    // Without a system palette the resource's colours stay, except 0 and 255 which stay black.
    const bool black = i == 0 || i == 255;
    for (int c = 0; c < 3; ++c) {
      EXPECT_EQ(without.logical[i][c], black ? 0 : kPaletteResource[3 * i + c]) << i;
      // The section's colour table is the same with or without a system palette: b, g, r, 0.
      EXPECT_EQ(withSystem.table[i][c], black ? 0 : kPaletteResource[3 * i + 2 - c]) << i;
    }
    EXPECT_EQ(withSystem.table[i][3], 0);
  }
}

}  // namespace
