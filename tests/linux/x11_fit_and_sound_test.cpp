#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "shell/linux/sdl_sound.h"
#include "shell/linux/x11_saver.h"

// Xlib last: its macros would rename words of the headers above.
// clang-format off
#include "shell/linux/x11_picture.h"
// clang-format on
#include "shell/resources/resources.h"

namespace {

TEST(FitScene, KeepsTheAspectCentredInsideTheWindow) {
  FitRect r = FitScene(640, 480, 640, 480);
  EXPECT_EQ(r.x, 0);
  EXPECT_EQ(r.width, 640);
  EXPECT_EQ(r.height, 480);
  r = FitScene(960, 540, 1921, 1080);  // one spare column: the 2x enlargement, centred
  EXPECT_EQ(r.width, 1920);
  EXPECT_EQ(r.height, 1080);
  EXPECT_EQ(r.x, 0);
  r = FitScene(640, 480, 1000, 480);  // wider window: borders left and right
  EXPECT_EQ(r.width, 640);
  EXPECT_EQ(r.x, 180);
  EXPECT_EQ(r.y, 0);
  r = FitScene(640, 480, 320, 600);  // narrow window: borders above and below
  EXPECT_EQ(r.width, 320);
  EXPECT_EQ(r.height, 240);
  EXPECT_EQ(r.y, 180);
  r = FitScene(640, 480, 1, 1);
  EXPECT_GE(r.width, 1);
  EXPECT_GE(r.height, 1);
  EXPECT_EQ(FitScene(0, 480, 100, 100).width, 0);
}

// A PCM WAVE of `ms` milliseconds of silence, 8 kHz mono 8-bit.
std::vector<uint8_t> Wave(uint32_t ms) {
  const uint32_t data = 8 * ms;
  std::vector<uint8_t> w(44 + data, 128);
  auto u32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) w[at + i] = uint8_t(v >> (8 * i));
  };
  auto u16 = [&](size_t at, uint16_t v) {
    w[at] = uint8_t(v);
    w[at + 1] = uint8_t(v >> 8);
  };
  std::memcpy(&w[0], "RIFF", 4);
  u32(4, 36 + data);
  std::memcpy(&w[8], "WAVEfmt ", 8);
  u32(16, 16);
  u16(20, 1);
  u16(22, 1);
  u32(24, 8000);
  u32(28, 8000);
  u16(32, 1);
  u16(34, 8);
  std::memcpy(&w[36], "data", 4);
  u32(40, data);
  return w;
}

class SdlSoundTest : public ::testing::Test {
 protected:
  void SetUp() override {
    long_ = Wave(20000);  // long enough that it is still playing at the next request
    short_ = Wave(50);
    table_[0] = {"WAVE", "LONGSOUND", long_.data(), long_.size()};
    table_[1] = {"WAVE", "BROKEN", garbage_, sizeof garbage_};
    RegisterEmbeddedResources(table_, 2);
  }
  void TearDown() override { UnregisterEmbeddedResources(table_); }
  std::vector<uint8_t> long_, short_;
  uint8_t garbage_[16] = {'R', 'I', 'F', 'F'};
  EmbeddedResource table_[2];
};

TEST_F(SdlSoundTest, DropsWhilePlayingAndPlaysAgainAfterAStop) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  SdlSoundSink sink;
  sink.PlayNamedSound("longsound");
  ASSERT_TRUE(sink.HasDevice());
  EXPECT_EQ(sink.Played(), 1u);
  EXPECT_TRUE(sink.Playing());
  sink.PlayNamedSound("LongSound");
  sink.PlayNamedSound("broken");
  EXPECT_EQ(sink.Dropped(), 2u);  // not queued behind the playing sound
  sink.StopAll();
  EXPECT_FALSE(sink.Playing());
  sink.PlayNamedSound("broken");
  sink.PlayNamedSound("nosuchsound");
  EXPECT_EQ(sink.Missing(), 2u);
  sink.PlayNamedSound("LONGSOUND");
  EXPECT_EQ(sink.Played(), 2u);
}

// A device that stops for good mid-run (SDL reports it stopped) keeps its queue: sound must come back
// on a new device instead of every later cue being dropped as "still playing".
TEST_F(SdlSoundTest, ADeviceLostMidRunIsOpenedAgain) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  class LosingSink final : public SdlSoundSink {
   public:
    bool lost = false;

   protected:
    bool DeviceLost() const override { return lost && HasDevice(); }
  } sink;
  sink.PlayNamedSound("longsound");
  ASSERT_EQ(sink.Played(), 1u);
  sink.lost = true;
  sink.PlayNamedSound("longsound");
  sink.lost = false;
  EXPECT_EQ(sink.Dropped(), 0u);
  EXPECT_EQ(sink.Played(), 2u);
  EXPECT_TRUE(sink.HasDevice());
}

TEST_F(SdlSoundTest, WithoutADeviceTheSaverRunsSilent) {
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  SdlSoundSink sink;
  sink.PlayNamedSound("longsound");
  sink.PlayNamedSound("longsound");
  EXPECT_FALSE(sink.HasDevice());
  EXPECT_EQ(sink.Silent(), 2u);
  EXPECT_EQ(sink.Played(), 0u);
  sink.StopAll();
  setenv("SDL_AUDIODRIVER", "dummy", 1);
}

}  // namespace

namespace {

// The window's pixel for a palette colour in every true-colour format the saver draws into.
TEST(X11Picture, PixelValuesForEveryDepth) {
  auto pixel = [](int depth, unsigned long r, unsigned long g, unsigned long b, uint8_t red, uint8_t green,
                  uint8_t blue) {
    Visual visual{};
    visual.red_mask = r;
    visual.green_mask = g;
    visual.blue_mask = b;
    X11Picture picture(nullptr, &visual, depth, false);
    return picture.PixelValue(red, green, blue);
  };
  EXPECT_EQ(pixel(24, 0xFF0000, 0xFF00, 0xFF, 0x12, 0x34, 0x56), 0x123456u);
  // 32 bits (an ARGB window): the alpha bits are set, or a compositor shows the saver transparent.
  EXPECT_EQ(pixel(32, 0xFF0000, 0xFF00, 0xFF, 0x12, 0x34, 0x56), 0xFF123456u);
  // 30 bits: white is 1023, not 1020, on every channel.
  EXPECT_EQ(pixel(30, 0x3FF00000, 0xFFC00, 0x3FF, 255, 255, 255), 0x3FFFFFFFu);
  EXPECT_EQ(pixel(30, 0x3FF00000, 0xFFC00, 0x3FF, 0x80, 0, 1), (0x202u << 20) | 0x4u);
  // 16 bits, 5-6-5.
  EXPECT_EQ(pixel(16, 0xF800, 0x7E0, 0x1F, 255, 255, 255), 0xFFFFu);
  EXPECT_EQ(pixel(16, 0xF800, 0x7E0, 0x1F, 0x80, 0x40, 0x08), (0x10u << 11) | (0x10u << 5) | 0x1u);
}

}  // namespace
