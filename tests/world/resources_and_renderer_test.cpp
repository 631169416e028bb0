// The synthesised program resources and the shape renderer the world's art is made with.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>

#include "shell/resources/resources.h"
#include "shell/resources/sound_synth.h"
#include "tools/world/program_resources.h"
#include "tools/world/scenery_art.h"
#include "tools/world/shape_render.h"
#include "tools/world/world_builder.h"

namespace {

using namespace tlworld;

int16_t Sample16(const std::vector<uint8_t>& wav, size_t i) {
  return int16_t(uint16_t(wav[44 + i * 2] | (wav[45 + i * 2] << 8)));
}

TEST(ProgramSounds, EveryWaveHasTheFormatAndLengthOfTheTable) {
  ASSERT_EQ(kWaveSpecCount, 22u);
  std::set<std::string> names;
  for (size_t k = 0; k < kWaveSpecCount; ++k) {
    const WaveSpec& wave = kWaveSpecs[k];
    names.insert(wave.name);
    std::vector<uint8_t> wav = SynthesizeWave(wave);
    WaveInfo info;
    ASSERT_TRUE(ReadWaveInfo(wav.data(), wav.size(), info)) << wave.name;
    EXPECT_EQ(info.channels, 1) << wave.name;
    EXPECT_EQ(info.sampleRate, std::strcmp(wave.name, "CRICKET") == 0 ? 22050u : 11025u) << wave.name;
    EXPECT_EQ(info.bitsPerSample, std::strcmp(wave.name, "DUMMY") == 0 ? 8 : 16) << wave.name;
    const uint32_t samples = info.dataBytes / (info.bitsPerSample / 8u);
    EXPECT_EQ(samples, uint32_t(std::lround(wave.seconds * wave.rate))) << wave.name;
    EXPECT_EQ(wav, SynthesizeWave(wave)) << wave.name << " is not deterministic";
    if (wave.bits == 8) {
      for (size_t i = 44; i < 44 + samples; ++i) EXPECT_EQ(wav[i], 128) << "DUMMY is silent";
      continue;
    }
    // Audible, never clipping, and faded in and out so that playback does not click.
    int peak = 0;
    for (uint32_t i = 0; i < samples; ++i) peak = std::max(peak, std::abs(int(Sample16(wav, i))));
    EXPECT_GT(peak, 16000) << wave.name;
    EXPECT_LT(peak, 32767) << wave.name;
    EXPECT_LT(std::abs(int(Sample16(wav, 0))), 300) << wave.name;
    EXPECT_LT(std::abs(int(Sample16(wav, samples - 1))), 300) << wave.name;
  }
  for (const char* want :
       {"AXEONWOOD", "BABY1",  "BABY2",  "BABY3",       "BABY4",       "BIRD1",      "BIRD2",  "CRICKET",
        "DIGHOLE",   "DUMMY",  "HAMMER", "PLOP",        "POND1",       "PRAYINGMAN", "SHEEP1", "SHEEP2",
        "SHEEP3",    "SHEEP4", "SHEEP5", "SNORKINGMAN", "TREEFALLING", "PLATSCH"})
    EXPECT_TRUE(names.count(want)) << want;
}

TEST(ProgramPictures, PreviewBitmapAndIcons) {
  std::vector<ProgramResource> all = BuildProgramResources();
  ASSERT_EQ(all.size(), 26u);
  const ProgramResource* preview = nullptr;
  int icons = 0;
  for (const ProgramResource& r : all) {
    if (r.type == "BITMAP") preview = &r;
    if (r.type == "ICON") {
      ++icons;
      // One 256-colour image of the size the number stands for.
      const int size = r.name == "#105" ? 32 : r.name == "#106" ? 16 : 48;
      ASSERT_GE(r.bytes.size(), 62u);
      EXPECT_EQ(r.bytes[2], 1);
      EXPECT_EQ(r.bytes[4], 1);
      EXPECT_EQ(r.bytes[6], size);
      EXPECT_EQ(r.bytes[7], size);
      EXPECT_EQ(r.bytes[12], 8);  // bits per pixel
    }
  }
  EXPECT_EQ(icons, 3);
  ASSERT_TRUE(preview);
  EXPECT_EQ(preview->name, "#108");
  const std::vector<uint8_t>& b = preview->bytes;
  ASSERT_GT(b.size(), 1078u);
  EXPECT_EQ(b[0], 'B');
  EXPECT_EQ(b[1], 'M');
  EXPECT_EQ(b[18] | b[19] << 8, 152);
  EXPECT_EQ(b[22] | b[23] << 8, 112);
  EXPECT_EQ(b[28], 8);
  std::set<uint8_t> used(b.begin() + 1078, b.end());
  EXPECT_LE(used.size(), 253u);
  EXPECT_GT(used.size(), 20u) << "the preview should show a scene";
}

// ---- renderer -------------------------------------------------------------------------------------------

int Count(const Sprite& s) {
  int n = 0;
  for (uint8_t v : s.pixels) n += v != 0;
  return n;
}

TEST(ShapeRenderer, BoxIsLitFromTheUpperLeftOutlinedAndCastsItsShadowToTheLowerRight) {
  ShapeRenderer r(120, 120, 60, 80);
  int m = r.AddMaterial(RampOf({10, 8, 6, 4, 2}));
  r.SetTransform(Transform::RotateZ(30));
  r.Box({-15, -15, 0}, {15, 15, 30}, m);
  Sprite pic = r.Picture(), shadow = r.Shadow(), coverage = r.Coverage();
  ASSERT_GT(Count(pic), 500);
  EXPECT_EQ(Count(pic), Count(coverage));
  // The top is lighter than the east-facing side: top pixels use later (lighter) ramp entries.
  auto rampIndex = [](uint8_t v) {
    return v == 10 ? 0 : v == 8 ? 1 : v == 6 ? 2 : v == 4 ? 3 : v == 2 ? 4 : -1;
  };
  float sx, sy, depth;
  r.Project({0, 0, 30}, sx, sy, depth);
  int top = rampIndex(pic.At(int(sx), int(sy)));
  r.Project({15, -5, 10}, sx, sy, depth);
  int east = rampIndex(pic.At(int(sx) - 1, int(sy)));
  EXPECT_GT(top, east);
  // The silhouette is framed by the outline colour (not a ramp colour).
  int leftmost = 0;
  while (leftmost < pic.width && !pic.At(leftmost, 60)) ++leftmost;
  EXPECT_EQ(rampIndex(pic.At(leftmost, 60)), -1);
  // The shadow's centre lies right of and below the box's foot.
  long cx = 0, cy = 0, n = 0;
  for (int y = 0; y < shadow.height; ++y)
    for (int x = 0; x < shadow.width; ++x)
      if (shadow.At(x, y)) cx += x, cy += y, ++n;
  ASSERT_GT(n, 100);
  EXPECT_GT(cx / n, 60);
  EXPECT_GT(cy / n, 80 - 10);
}

TEST(ShapeRenderer, NearerShapesHideFartherOnesAndAFullTurnChangesNothing) {
  auto render = [](float turn) {
    ShapeRenderer r(80, 80, 40, 60);
    int red = r.AddMaterial(RampOf({209, 208}));
    int blue = r.AddMaterial(RampOf({219, 218}));
    r.SetTransform(Transform::RotateZ(turn));
    r.Box({-10, 10, 0}, {10, 20, 10}, blue);  // behind (north)
    r.Box({-5, -10, 0}, {5, -5, 10}, red);    // in front (south)
    return r.Picture();
  };
  Sprite a = render(0), b = render(360);
  EXPECT_EQ(a.pixels, b.pixels);
  // Where both boxes would overlap on screen the nearer (red) one is seen.
  ShapeRenderer r(80, 80, 40, 60);
  float sx, sy, d;
  r.Project({0, -7, 9}, sx, sy, d);
  uint8_t v = a.At(int(sx), int(sy));
  EXPECT_TRUE(v == 209 || v == 208) << int(v);
}

TEST(ShapeRenderer, RampsCropAndOverlay) {
  Ramp ramp = MakeRamp({60, 160, 40}, 5);
  ASSERT_GE(ramp.shades.size(), 3u);
  for (uint8_t s : ramp.shades) EXPECT_TRUE(s >= 1 && s <= 247);
  for (size_t i = 1; i < ramp.shades.size(); ++i) {
    Rgb a = PaletteColour(ramp.shades[i - 1]), b = PaletteColour(ramp.shades[i]);
    EXPECT_LT(a.r * 3 + a.g * 6 + a.b, b.r * 3 + b.g * 6 + b.b) << "ramps run from dark to light";
  }
  Sprite s(10, 10, 5, 9);
  s.Set(3, 4, 7);
  s.Set(6, 8, 9);
  s.Crop();
  EXPECT_EQ(s.width, 4);
  EXPECT_EQ(s.height, 5);
  EXPECT_EQ(s.originX, 2);
  EXPECT_EQ(s.originY, 5);
  EXPECT_EQ(s.At(0, 0), 7);
  EXPECT_EQ(s.At(3, 4), 9);
  Sprite t(3, 3, 0, 0);
  t.Set(0, 0, 4);
  s.Overlay(t);
  EXPECT_EQ(s.At(s.originX, s.originY), 4) << "overlay aligns the anchors";
  // Blending runs between the two colours.
  EXPECT_EQ(Blend(36, 36, 0.5f), 36);
  EXPECT_EQ(Blend(48, 63, 0.0f), 48);
  uint8_t mid = Blend(48, 63, 0.5f);  // white and near black give a middle grey
  EXPECT_TRUE(PaletteColour(mid).r > 90 && PaletteColour(mid).r < 170) << int(mid);
  // Tiling noise repeats with its period.
  EXPECT_FLOAT_EQ(ValueNoise(0.3f, 0.7f, 5, 4), ValueNoise(4.3f, 4.7f, 5, 4));
}

TEST(WorldFiles, PcxAndBmpWritersProduceTheDocumentedLayouts) {
  PaletteRgb pal = ScreenPalette();
  std::vector<uint8_t> pixels = {1, 2, 3, 0xC5, 0xC5, 0xC5, 7};  // 7 x 1, odd width, a run of a high value
  std::vector<uint8_t> pcx = EncodePcx(7, 1, pixels, pal);
  EXPECT_EQ(pcx[0], 10);
  EXPECT_EQ(pcx[8] | pcx[9] << 8, 6);                         // xmax
  EXPECT_EQ(pcx.size() - 769 - 128, 1u + 1 + 1 + 2 + 1 + 1);  // 1, 2, 3, run of 3 x C5, 7, pad
  EXPECT_EQ(pcx[pcx.size() - 769], 0x0C);
  std::vector<uint8_t> bmp = EncodeBmp8(3, 2, {1, 2, 3, 4, 5, 6}, pal);
  EXPECT_EQ(bmp.size(), 1078u + 8u);
  EXPECT_EQ(bmp[1078], 4) << "bottom row first";
  EXPECT_EQ(bmp[1082], 1);
  std::map<std::string, std::vector<uint8_t>> files = {{"A\\b.txt", {1, 2}}, {"c", {3}}};
  std::vector<uint8_t> dat = PackArchive(files);
  ASSERT_EQ(dat.size(), 8u + (2 + 7 + 8) + (2 + 1 + 8) + 3);
  EXPECT_EQ(dat[4], 2);
  EXPECT_EQ(dat[8], 7);
  EXPECT_EQ(std::string(dat.begin() + 10, dat.begin() + 17), "A\\b.txt");
}

}  // namespace

namespace {

TEST(SceneryArt, FlowerBedsAreBigEnoughToReadAsFlowersAndDifferFromOneAnother) {
  // The flower scene plants six of bobs 20..30 at random: each is a bed of many blooms, several times
  // the size of a single sprig (which reads as noise on a large screen), standing on its anchor.
  std::set<std::vector<uint8_t>> looks;
  for (int i = 0; i < 11; ++i) {
    const tlworld::ShadowedSprite bed = tlworld::FlowerBed(i), sprig = tlworld::Flower(i);
    EXPECT_GE(bed.picture.width, 34) << i;
    EXPECT_GE(bed.picture.height, 16) << i;
    int bedPixels = 0, sprigPixels = 0;
    for (uint8_t p : bed.picture.pixels) bedPixels += p != 0;
    for (uint8_t p : sprig.picture.pixels) sprigPixels += p != 0;
    EXPECT_GT(bedPixels, 3 * sprigPixels) << i;
    // The anchor is inside the bed's columns and near its bottom.
    EXPECT_GT(bed.picture.originX, 0) << i;
    EXPECT_LT(bed.picture.originX, bed.picture.width) << i;
    EXPECT_GT(bed.picture.originY, bed.picture.height / 2) << i;
    int shadow = 0;
    for (uint8_t p : bed.shadow.pixels) shadow += p != 0;
    EXPECT_GT(shadow, 20) << i;
    looks.insert(bed.picture.pixels);
  }
  EXPECT_EQ(looks.size(), 11u);
}

}  // namespace
