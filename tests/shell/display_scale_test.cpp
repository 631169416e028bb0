// Integer display scaling, the "Scale" setting, and the deterministic capture's frame files.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "display/display_scale.h"
#include "shell/frame_capture.h"
#include "shell/settings.h"
#include "tests/common/temp_dir.h"

TEST(DisplayScale, AutomaticKeepsAtLeastThousandRowsAndFixedFactorsHold) {
  // Automatic: the largest whole factor with height / s >= 1000.
  EXPECT_EQ(ChooseDisplayScale(480, 0), 1);
  EXPECT_EQ(ChooseDisplayScale(1080, 0), 1);
  EXPECT_EQ(ChooseDisplayScale(1999, 0), 1);
  EXPECT_EQ(ChooseDisplayScale(2000, 0), 2);
  EXPECT_EQ(ChooseDisplayScale(2160, 0), 2);
  EXPECT_EQ(ChooseDisplayScale(2999, 0), 2);
  EXPECT_EQ(ChooseDisplayScale(3000, 0), 3);
  EXPECT_EQ(ChooseDisplayScale(4320, 0), 4);
  // Fixed factors are taken as they are; other values count as automatic.
  EXPECT_EQ(ChooseDisplayScale(480, 2), 2);
  EXPECT_EQ(ChooseDisplayScale(2160, 1), 1);
  EXPECT_EQ(ChooseDisplayScale(2160, 3), 3);
  EXPECT_EQ(ChooseDisplayScale(2160, 4), 2);
  // Never a scene without a pixel.
  EXPECT_EQ(ChooseDisplayScale(2, 3), 2);
  EXPECT_EQ(ChooseDisplayScale(0, 0), 1);
}

TEST(DisplayScale, EnlargesEveryPixelToABlockInIndicesAndColours) {
  // 3 × 2 source with a padded pitch of 4; distinct values show any index slip.
  const uint8_t src[8] = {1, 2, 3, 99, 4, 5, 6, 99};
  std::vector<uint8_t> dst(7 * 4, 0xEE);  // 6 columns used, pitch 7
  EnlargeIndices(src, 4, 3, 2, 2, dst.data(), 7);
  const uint8_t expected[4][6] = {
      {1, 1, 2, 2, 3, 3}, {1, 1, 2, 2, 3, 3}, {4, 4, 5, 5, 6, 6}, {4, 4, 5, 5, 6, 6}};
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 6; ++x) EXPECT_EQ(dst[size_t(y * 7 + x)], expected[y][x]) << x << "," << y;
    EXPECT_EQ(dst[size_t(y * 7 + 6)], 0xEE) << "padding touched in row " << y;
  }

  uint32_t table[256];
  for (uint32_t i = 0; i < 256; ++i) table[i] = 0xFF000000u | (i * 0x010101u);
  std::vector<uint32_t> colours(12 * 6, 0);  // 9 columns used, pitch 12
  EnlargeToColours(src, 4, 3, 2, 3, table, colours.data(), 12);
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 9; ++x) EXPECT_EQ(colours[size_t(y * 12 + x)], table[src[(y / 3) * 4 + x / 3]]);
    for (int x = 9; x < 12; ++x) EXPECT_EQ(colours[size_t(y * 12 + x)], 0u) << "padding touched in row " << y;
  }
}

TEST(DisplayScale, ScaleSettingIsReadAndOnlyTheScaleDialogWritesIt) {
  MemorySettingsStore store;
  SaverSettings s;
  LoadSettings(s, store);
  EXPECT_EQ(s.scale, 0);
  // The original dialog writes its three values only.
  SettingsDialogOk(s, 40, true, store);
  for (const auto& w : store.Writes()) EXPECT_NE(w.name, "Scale");
  // Ours writes "Scale" into both keys.
  const size_t before = store.Writes().size();
  SettingsDialogOk(s, 40, true, 2, kMonitorsEach, store);
  int scaleWrites = 0;
  for (size_t i = before; i < store.Writes().size(); ++i)
    if (store.Writes()[i].name == "Scale") {
      EXPECT_EQ(store.Writes()[i].value, 2u);
      ++scaleWrites;
    }
  EXPECT_EQ(scaleWrites, 2);
  SaverSettings back;
  LoadSettings(back, store);
  EXPECT_EQ(back.scale, 2);
  // A stored value beyond the choices reads as automatic.
  store.SetNumber(SettingsHive::CurrentUser, kSettingsKeyPath, "Scale", 9);
  LoadSettings(back, store);
  EXPECT_EQ(back.scale, 0);
}

TEST(FrameCaptureFiles, PpmHoldsTheShownColoursRowByRowAndNoTemporaryIsLeft) {
  tl_test::TempDir dir;
  uint8_t rgb[768] = {};
  for (int i = 0; i < 256; ++i) {
    rgb[3 * i] = uint8_t(i);
    rgb[3 * i + 1] = uint8_t(255 - i);
    rgb[3 * i + 2] = uint8_t(i * 7);
  }
  const uint8_t pixels[8] = {10, 20, 0, 0, 30, 40, 0, 0};  // 2 × 2, pitch 4
  const std::string path = (dir.Path() / "frame_000000.ppm").string();
  std::string error;
  ASSERT_TRUE(WritePpmFrame(path, pixels, 4, 2, 2, rgb, error)) << error;
  const std::vector<uint8_t> data = tl_test::FileBytes(path);
  const std::string bytes(data.begin(), data.end());
  const std::string header = "P6\n2 2\n255\n";
  ASSERT_EQ(bytes.size(), header.size() + 12);
  EXPECT_EQ(bytes.substr(0, header.size()), header);
  const uint8_t order[4] = {10, 20, 30, 40};
  for (int p = 0; p < 4; ++p)
    for (int c = 0; c < 3; ++c)
      EXPECT_EQ(uint8_t(bytes[header.size() + size_t(3 * p + c)]), rgb[3 * order[p] + c]);
  EXPECT_FALSE(std::ifstream(path + ".tmp").good());
  EXPECT_FALSE(WritePpmFrame((dir.Path() / "no/such/dir/f.ppm").string(), pixels, 4, 2, 2, rgb, error));
}

TEST(DisplayScale, MonitorsSettingReadsSpanOnlyFromOneAndOnlyOurDialogWritesIt) {
  MemorySettingsStore store;
  SaverSettings s;
  LoadSettings(s, store);
  EXPECT_EQ(s.monitors, kMonitorsEach);
  SettingsDialogOk(s, 40, true, store);
  for (const auto& w : store.Writes()) EXPECT_NE(w.name, "Monitors");
  const size_t before = store.Writes().size();
  SettingsDialogOk(s, 40, true, 0, kMonitorsSpan, store);
  int writes = 0;
  for (size_t i = before; i < store.Writes().size(); ++i)
    if (store.Writes()[i].name == "Monitors") {
      EXPECT_EQ(store.Writes()[i].value, 1u);
      ++writes;
    }
  EXPECT_EQ(writes, 2);
  SaverSettings back;
  LoadSettings(back, store);
  EXPECT_EQ(back.monitors, kMonitorsSpan);
  // Any other stored number is the default: a scene per monitor.
  store.SetNumber(SettingsHive::CurrentUser, kSettingsKeyPath, "Monitors", 7);
  LoadSettings(back, store);
  EXPECT_EQ(back.monitors, kMonitorsEach);
}
