// The creature art and its description texts on their own: colours that always map to visible
// screen colours, layers that fit the body, walks that really move, facings that follow the screen's
// diagonals, and description texts inside the limits of their readers.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tools/world/creature_colours.h"
#include "tools/world/creature_rig.h"
#include "tools/world/creature_world.h"
#include "tools/world/shape_render.h"

namespace {

using namespace tlworld;

bool SameColour(Rgb a, Rgb b) {
  return a.r == b.r && a.g == b.g && a.b == b.b;
}

int Pixels(const Sprite& s) {
  int n = 0;
  for (uint8_t p : s.pixels) n += p ? 1 : 0;
  return n;
}

bool SamePicture(const Sprite& a, const Sprite& b) {
  return a.width == b.width && a.height == b.height && a.originX == b.originX && a.originY == b.originY &&
         a.pixels == b.pixels;
}

// Lines of a description text, with the section each belongs to.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

TEST(CreatureColours, EveryTableAndWindowColourIsAVisibleScreenColour) {
  ASSERT_FALSE(CreatureColourTables().empty());
  for (const CreatureColourTable& t : CreatureColourTables()) {
    for (int i = 0; i < 256; ++i) {
      const Rgb c = t.palette[size_t(i)];
      EXPECT_TRUE(SameColour(PaletteColour(NearestUsable(c)), c)) << t.name << " entry " << i;
      EXPECT_GT(c.r + c.g + c.b, 0) << t.name << " entry " << i;
    }
  }
  std::set<std::string> tables;
  for (const CreatureColourTable& t : CreatureColourTables()) tables.insert(t.name);
  for (const CreatureColourWindow& w : CreatureColourWindows()) {
    ASSERT_TRUE(tables.count(w.table)) << w.name;
    EXPECT_GE(w.start, 0);
    EXPECT_LT(w.start, 16) << w.name;
    EXPECT_LE(w.name.size(), 29u) << w.name;
    const std::vector<Rgb> colours = CreatureWindowColours(w.name);
    ASSERT_EQ(colours.size(), 16u) << w.name;
    // The window shows what its table holds from entry 16 x start on.
    const auto* pal = CreatureTablePalette(w.table);
    ASSERT_NE(pal, nullptr);
    for (int k = 0; k < 16; ++k)
      EXPECT_TRUE(SameColour((*pal)[size_t(w.start * 16 + k)], colours[size_t(k)])) << w.name;
    // Shade 0 is the lightest and shade 15 the darkest of a ramp.
    auto lum = [](Rgb c) { return 3 * c.r + 6 * c.g + c.b; };
    EXPECT_GT(lum(colours[0]), lum(colours[15])) << w.name;
  }
  EXPECT_TRUE(CreatureWindowColours("no such window").empty());
  EXPECT_EQ(CreatureTablePalette("no such table"), nullptr);
}

TEST(CreatureColours, ColourSetsNameOnlyExistingWindowsAndStayInsideTheReadersLimits) {
  std::set<std::string> windows;
  for (const CreatureColourWindow& w : CreatureColourWindows()) windows.insert(w.name);
  std::set<std::string> tables;
  for (const CreatureColourTable& t : CreatureColourTables()) tables.insert(t.name);
  std::string sets = CreatureRandomRemapsIni();
  int men = 0, women = 0;
  for (const std::string& line : Lines(sets)) {
    if (line.rfind("Name = ", 0) == 0) {
      const std::string name = line.substr(8, line.size() - 9);
      EXPECT_LE(name.size(), 29u);
      men += name.find("_Color_Man") != std::string::npos;
      women += name.find("_Color_Woman") != std::string::npos;
    }
  }
  EXPECT_EQ(men, 10);
  EXPECT_EQ(women, 10);
  // Every quoted choice of the colour sets and the creatures' own colours is a window; every RemapName
  // a table.
  const std::string all = sets + CreatureDescriptionsIni();
  for (const std::string& line : Lines(all)) {
    const bool random = line.rfind("RemapRandom = ", 0) == 0, remap = line.rfind("RemapName = ", 0) == 0;
    if (!random && !remap) continue;
    int choices = 0;
    for (size_t q = line.find('"'); q != std::string::npos; q = line.find('"', line.find('"', q + 1) + 1)) {
      const std::string name = line.substr(q + 1, line.find('"', q + 1) - q - 1);
      EXPECT_TRUE(random ? windows.count(name) : tables.count(name)) << line;
      ++choices;
    }
    EXPECT_LE(choices, 12) << line;
  }
}

TEST(CreatureDescriptions, TextsStayInsideTheLimitsOfTheirReaders) {
  for (const std::string& text : {CreatureAnimationsIni(), CreatureWalkDataIni(), CreatureDescriptionsIni()})
    for (const std::string& line : Lines(text)) {
      EXPECT_LE(line.size(), 1022u) << line.substr(0, 60);
      if (line.rfind("Name = ", 0) == 0) {
        EXPECT_LE(line.size() - 9, 49u) << line;
      }
    }
  // A creature holds at most ten animation entries, and every library it names exists.
  for (const CreatureSpec& c : CreatureRoster()) {
    EXPECT_LE(c.anims.size(), 10u) << c.name;
    const LibrarySpec* lib = FindCreatureLibrary(c.library);
    ASSERT_NE(lib, nullptr) << c.name;
    for (const auto& [kind, tag] : c.walks) {
      const AnimSpec* a = FindCreatureAnim(*lib, tag);
      ASSERT_NE(a, nullptr) << c.name << " " << tag;
      EXPECT_GT(a->walkSpeed, 0) << c.name << " " << tag;
    }
    for (const auto& [code, tag] : c.anims)
      EXPECT_NE(FindCreatureAnim(*lib, tag), nullptr) << c.name << " " << tag;
  }
  EXPECT_EQ(FindCreatureLibrary("dragon"), nullptr);
}

TEST(CreatureRig, FacingsFollowTheScreenDirections) {
  // A step along a walking direction's facing moves on the screen as the scene director moves the
  // walker: E right, W left, N up, S down, and the diagonals at 45 degrees on the screen.
  struct Case {
    int direction;
    int sx, sy;
  };
  const Case cases[] = {{0, 1, 0},   {1, 1, 1},  {2, -1, 1},  {3, -1, 0},
                        {4, -1, -1}, {5, 1, -1}, {10, 0, -1}, {11, 0, 1}};
  for (const Case& c : cases) {
    ShapeRenderer r(16, 16, 8, 8);
    r.SetTransform(Transform::RotateZ(FacingOfDirection(c.direction)));
    float x0, y0, d0, x1, y1, d1;
    r.Project(Vec3{0, 0, 0}, x0, y0, d0);
    r.Project(Vec3{10, 0, 0}, x1, y1, d1);
    const float dx = x1 - x0, dy = y1 - y0;
    EXPECT_NEAR(dx * float(c.sy), dy * float(c.sx), 0.05f) << c.direction;
    EXPECT_GE(dx * float(c.sx), 0.0f) << c.direction;
    EXPECT_GE(dy * float(c.sy), 0.0f) << c.direction;
    EXPECT_GE(StrideOfDirection(c.direction), 1.0f);
  }
}

TEST(CreatureRig, RenderingIsDeterministicAndWalksMove) {
  const LibrarySpec* rabbit = FindCreatureLibrary("rabbit");
  ASSERT_NE(rabbit, nullptr);
  const auto a = RenderCreatureLibrary(*rabbit), b = RenderCreatureLibrary(*rabbit);
  ASSERT_EQ(a.size(), b.size());
  for (size_t i = 0; i < a.size(); ++i) {
    EXPECT_TRUE(SamePicture(a[i].body, b[i].body)) << i;
    EXPECT_TRUE(SamePicture(a[i].shadow, b[i].shadow)) << i;
    EXPECT_GT(Pixels(a[i].body), 20) << i;
    EXPECT_GT(Pixels(a[i].shadow), 5) << i;
  }
  // The hop's frames differ from one another, and each of its six directions looks different.
  std::set<std::vector<uint8_t>> distinct;
  for (int i = 0; i < 8; ++i) distinct.insert(a[size_t(i)].body.pixels);
  EXPECT_GE(distinct.size(), 5u);
  for (int d = 1; d < 6; ++d) EXPECT_FALSE(SamePicture(a[0].body, a[size_t(d * 8)].body)) << d;
}

TEST(CreatureRig, PlantedFeetStayWhereTheyWerePutDownInEveryDirection) {
  // The scene director moves a walker by WalkSpeed / 9 pixels per frame on both screen axes (E and W
  // only on x, N and S only on y). A foot on the ground must move back on the screen by exactly that
  // much from one frame to the next, or it slides.
  const float e = std::sin(38.0f * 3.14159265f / 180.0f), c = std::cos(38.0f * 3.14159265f / 180.0f);
  const std::map<int, std::pair<int, int>> screenStep = {{0, {1, 0}},   {1, {1, 1}},   {2, {-1, 1}},
                                                         {3, {-1, 0}},  {4, {-1, -1}}, {5, {1, -1}},
                                                         {10, {0, -1}}, {11, {0, 1}}};
  int walks = 0;
  for (const LibrarySpec& lib : CreatureLibraries())
    for (const AnimSpec& a : lib.anims) {
      if (a.walkSpeed <= 0 || LegLengthOf(lib.figure) <= 0) continue;
      for (int d : DirectionsOf(a.dirs)) {
        ++walks;
        const std::string what = lib.name + "_" + a.tag + "_" + DirectionSuffix(d);
        const float step = float(a.walkSpeed) / 9.0f;
        const float sx = step * float(screenStep.at(d).first), sy = step * float(screenStep.at(d).second);
        const int frames = FramesOf(lib, a, d);
        EXPECT_GE(frames, 8) << what;
        EXPECT_EQ(frames % GaitCycleFrames(lib, a, d), 0) << what;
        float worst = 0;
        std::vector<int> downCount(8, 0);
        for (int f = 0; f < frames; ++f) {
          const std::vector<Vec3> now = FeetOf(FrameFigure(lib, a, d, f));
          const std::vector<Vec3> next = FeetOf(FrameFigure(lib, a, d, (f + 1) % frames));
          ASSERT_EQ(now.size(), next.size()) << what;
          int planted = 0;
          for (size_t i = 0; i < now.size(); ++i) {
            if (now[i].z > kFootOnGround) continue;
            ++planted, ++downCount[i];
            if (next[i].z > kFootOnGround) continue;  // lifted in the next frame
            // Screen position of the foot, the walker having moved on by one step.
            const float x0 = now[i].x, y0 = -(now[i].y * e + now[i].z * c);
            const float x1 = next[i].x + sx, y1 = -(next[i].y * e + next[i].z * c) + sy;
            worst = std::max(worst, std::hypot(x1 - x0, y1 - y0));
          }
          // Walkers always have a foot on the ground; a hopping rabbit is in the air half the time.
          if (lib.figure != Figure::Rabbit) {
            EXPECT_GE(planted, 1) << what << " frame " << f << ": no foot on the ground";
          }
        }
        EXPECT_LT(worst, 1.0f) << what << ": a planted foot slides";
        // Every foot takes its turn on the ground and in the air.
        for (size_t i = 0; i < FeetOf(FrameFigure(lib, a, d, 0)).size(); ++i) {
          EXPECT_GT(downCount[i], 0) << what << " foot " << i;
          EXPECT_LT(downCount[i], frames) << what << " foot " << i;
        }
      }
    }
  EXPECT_GE(walks, 60);
}

TEST(CreatureRig, LayersShareTheBodysNumbersAndShowHeadsAndHeadwear) {
  const LibrarySpec* woman = FindCreatureLibrary("woman");
  ASSERT_NE(woman, nullptr);
  const auto bobs = RenderCreatureLibrary(*woman);
  ASSERT_FALSE(bobs.empty());
  std::map<std::string, int> shown;
  for (size_t i = 0; i < bobs.size(); ++i) {
    const CreatureBob& bob = bobs[i];
    EXPECT_GT(Pixels(bob.body), 60) << i;
    for (const auto& [name, picture] : bob.layers) shown[name] += Pixels(picture) > 0 ? 1 : 0;
    // Drawn over the body, the head sits above the body's feet: its lowest pixel is well above the
    // anchor, where the feet are.
    for (const auto& [name, picture] : bob.layers)
      if (name == "woman_head_0" && Pixels(picture) > 0) {
        EXPECT_LT(picture.height - picture.originY, -10) << i;
      }
  }
  // Every bob shows a head and some hair of either style.
  EXPECT_EQ(shown["woman_head_0"], int(bobs.size()));
  EXPECT_GT(shown["woman_hairs_0"], int(bobs.size()) / 2);
  EXPECT_GT(shown["woman_hairs_1"], int(bobs.size()) / 2);
  // A woman never wears a man's head or a helmet.
  for (const auto& [name, count] : shown) EXPECT_EQ(name.find("helmet"), std::string::npos) << name;
}

TEST(CreatureRig, TheBundleHangsWhereTheBabyLands) {
  // The stork's bundle ends a little left of and below the stork's position, where the scene puts
  // the baby (5 left, 15 below); without the bundle the bird alone is higher.
  const LibrarySpec* stork = FindCreatureLibrary("stork");
  ASSERT_NE(stork, nullptr);
  const auto bobs = RenderCreatureLibrary(*stork);
  ASSERT_GE(bobs.size(), 16u);  // the flight's 16 pictures come first
  auto lowest = [](const Sprite& s) {
    for (int y = s.height - 1; y >= 0; --y)
      for (int x = 0; x < s.width; ++x)
        if (s.pixels[size_t(y) * s.width + x] && x - s.originX < -3) return y - s.originY;
    return -1000;
  };
  const int withBundle = lowest(bobs[2].body);
  EXPECT_GE(withBundle, 8);
  EXPECT_LE(withBundle, 22);
  EXPECT_GT(Pixels(bobs[2].body), Pixels(bobs[10].body));
}

}  // namespace
