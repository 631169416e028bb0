// Embedded resources: the lookup by type and name, numbered names, registered tables, WAVE headers.
#include <gtest/gtest.h>

#include <vector>

#include "shell/resources/palette_resource.h"
#include "shell/resources/resources.h"
#include "tests/common/temp_dir.h"

namespace {

std::vector<uint8_t> MakeWave(uint32_t rate, uint16_t channels, uint16_t bits, uint32_t dataBytes,
                              bool extraChunk = false) {
  std::vector<uint8_t> w;
  tl_test::PutBytes(w, "RIFF");
  tl_test::PutU32(w, 0);
  tl_test::PutBytes(w, "WAVE");
  if (extraChunk) {
    tl_test::PutBytes(w, "LIST");
    tl_test::PutU32(w, 3);
    tl_test::PutBytes(w, "abc");
    w.push_back(0);  // pad to an even size
  }
  tl_test::PutBytes(w, "fmt ");
  tl_test::PutU32(w, 16);
  tl_test::PutU16(w, 1);
  tl_test::PutU16(w, channels);
  tl_test::PutU32(w, rate);
  tl_test::PutU32(w, rate * channels * bits / 8);
  tl_test::PutU16(w, uint16_t(channels * bits / 8));
  tl_test::PutU16(w, bits);
  tl_test::PutBytes(w, "data");
  tl_test::PutU32(w, dataBytes);
  w.resize(w.size() + dataBytes, 0x80);
  return w;
}

TEST(Resources, PaletteIsFoundByNumberAndTypeInAnyCase) {
  EXPECT_EQ(LoadResourceByNumber(104, "PALETTE"), kPaletteResource);
  EXPECT_EQ(LoadResourceByNumber(104, "palette"), kPaletteResource);
  EXPECT_EQ(LoadResourceByNumber(105, "PALETTE"), nullptr);
  EXPECT_EQ(LoadResourceByNumber(104, "WAVE"), nullptr);
  const EmbeddedResource* r = FindEmbeddedResource("Palette", "#104");
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->size, 768u);
  EXPECT_EQ(FindEmbeddedResource(nullptr, "#104"), nullptr);
  EXPECT_EQ(FindEmbeddedResource("PALETTE", nullptr), nullptr);
}

TEST(Resources, RegisteredTablesAreSearchedNewestFirstAndCanBeRemoved) {
  static const uint8_t a[] = {1}, b[] = {2}, pal[768] = {};
  static const EmbeddedResource first[] = {{"WAVE", "DUMMY", a, 1}};
  static const EmbeddedResource second[] = {{"WAVE", "dummy", b, 1}, {"PALETTE", "#104", pal, 768}};
  ASSERT_TRUE(RegisterEmbeddedResources(first, 1));
  EXPECT_EQ(FindEmbeddedResource("wave", "Dummy")->data, a);
  ASSERT_TRUE(RegisterEmbeddedResources(second, 2));
  EXPECT_EQ(FindEmbeddedResource("WAVE", "DUMMY")->data, b);
  EXPECT_EQ(LoadResourceByNumber(104, "PALETTE"), pal);
  UnregisterEmbeddedResources(second);
  EXPECT_EQ(FindEmbeddedResource("WAVE", "DUMMY")->data, a);
  EXPECT_EQ(LoadResourceByNumber(104, "PALETTE"), kPaletteResource);
  UnregisterEmbeddedResources(first);
  EXPECT_EQ(FindEmbeddedResource("WAVE", "DUMMY"), nullptr);
  EXPECT_FALSE(RegisterEmbeddedResources(nullptr, 0));
}

TEST(Resources, WaveDurationsComeFromTheHeader) {
  WaveInfo info;
  auto dummy = MakeWave(11025, 1, 8, 1544);  // 0.14 s of 8-bit samples
  ASSERT_TRUE(ReadWaveInfo(dummy.data(), dummy.size(), info));
  EXPECT_EQ(info.bitsPerSample, 8);
  EXPECT_EQ(info.durationMs, 141u);  // rounded up
  auto cricket = MakeWave(22050, 1, 16, 22050 * 2, true);
  ASSERT_TRUE(ReadWaveInfo(cricket.data(), cricket.size(), info));
  EXPECT_EQ(info.sampleRate, 22050u);
  EXPECT_EQ(info.durationMs, 1000u);

  // A data chunk that claims more than the file holds counts only what is there.
  auto cut = MakeWave(11025, 1, 16, 2205);
  cut.resize(cut.size() - 1000);
  ASSERT_TRUE(ReadWaveInfo(cut.data(), cut.size(), info));
  EXPECT_EQ(info.dataBytes, 1205u);

  // Not a wave, a truncated header, a zero rate.
  const uint8_t junk[] = "RIFF\0\0\0\0WAVX";
  EXPECT_FALSE(ReadWaveInfo(junk, sizeof junk, info));
  EXPECT_FALSE(ReadWaveInfo(dummy.data(), 20, info));
  auto silent = MakeWave(0, 1, 16, 100);
  EXPECT_FALSE(ReadWaveInfo(silent.data(), silent.size(), info));
  EXPECT_FALSE(ReadWaveInfo(nullptr, 0, info));
}

}  // namespace
