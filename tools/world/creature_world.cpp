#include "tools/world/creature_world.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "graphics/bob_authoring.h"
#include "graphics/xb_bitmap.h"
#include "tools/world/creature_colours.h"
#include "tools/world/world_builder.h"

namespace tlworld {
namespace {

// Animation speed of every creature animation: one frame per screen frame.
constexpr int kSpeed = 12;
// The stork's flight: a wing-beat cycle drawn with and without the bundle. The baby drops on screen
// frame 56, and the flight is long enough to cross the screen (the stork moves 1/113 of the width per
// frame).
constexpr int kStorkFrames = 120;
constexpr int kStorkDropFrame = 56;
constexpr int kStorkCycle = 8;

AnimSpec Anim(const char* tag, Motion m, int frames, AnimDirs dirs, int walkSpeed = 0, const char* sound = "",
              std::vector<int> soundFrames = {}) {
  AnimSpec a;
  a.tag = tag, a.motion = m, a.frames = frames, a.dirs = dirs, a.walkSpeed = walkSpeed, a.sound = sound;
  a.soundFrames = std::move(soundFrames);
  return a;
}

std::vector<LibrarySpec> MakeLibraries() {
  using D = AnimDirs;
  std::vector<LibrarySpec> libs;
  libs.push_back({"man",
                  Figure::Man,
                  true,
                  {
                      Anim("walk", Motion::Walk, 8, D::SixVertical, 32),
                      Anim("march", Motion::March, 8, D::SixVertical, 34),
                      Anim("walkstaff", Motion::WalkStaff, 8, D::Six, 30),
                      Anim("walkaxe", Motion::WalkAxe, 8, D::Six, 32),
                      Anim("walkshovel", Motion::WalkShovel, 8, D::Six, 32),
                      Anim("walklog", Motion::WalkLog, 8, D::Six, 24),
                      Anim("walkload", Motion::WalkLoad, 8, D::Six, 24),
                      Anim("look", Motion::LookAround, 16, D::Six),
                      Anim("shade", Motion::LookShade, 12, D::Six),
                      Anim("talk", Motion::Talk, 12, D::Six),
                      Anim("hammer", Motion::Hammer, 8, D::Six, 0, "hammer", {5}),
                      Anim("chop", Motion::Chop, 8, D::East, 0, "axeonwood", {5}),
                      Anim("dig", Motion::Dig, 12, D::NorthEast, 0, "dighole", {3}),
                      Anim("heave", Motion::Heave, 24, D::NorthEast),
                      Anim("stand", Motion::Stand, 12, D::SouthWest),
                      Anim("scratch", Motion::Scratch, 12, D::SouthWest),
                      Anim("sit", Motion::Sit, 24, D::SouthWest),
                      Anim("stretch", Motion::Stretch, 16, D::SouthWest),
                      Anim("wave", Motion::Wave, 12, D::SouthWest),
                      Anim("pray", Motion::Pray, 16, D::SouthWest, 0, "prayingman", {0}),
                      Anim("sleep", Motion::Sleep, 24, D::SouthWest, 0, "snorkingman", {0}),
                      Anim("guard", Motion::GuardStand, 12, D::SouthWest),
                      Anim("guardlook", Motion::GuardLook, 16, D::SouthWest),
                      Anim("guardscratch", Motion::GuardScratch, 12, D::SouthWest),
                      Anim("guardstretch", Motion::GuardStretch, 16, D::SouthWest),
                      Anim("guardrest", Motion::GuardRest, 16, D::SouthWest),
                      Anim("hammerrest", Motion::HammerRest, 16, D::SouthWest),
                      Anim("axerest", Motion::AxeRest, 16, D::SouthWest),
                      Anim("shovelrest", Motion::ShovelRest, 16, D::SouthWest),
                  }});
  libs.push_back({"woman",
                  Figure::Woman,
                  true,
                  {
                      Anim("walk", Motion::Walk, 8, D::SixVertical, 28),
                      Anim("look", Motion::LookAround, 16, D::Six),
                      Anim("shade", Motion::LookShade, 12, D::Six),
                      Anim("talk", Motion::Talk, 12, D::Six),
                      Anim("stand", Motion::Stand, 12, D::SouthWest),
                      Anim("scratch", Motion::Scratch, 12, D::SouthWest),
                      Anim("stretch", Motion::Stretch, 16, D::SouthWest),
                      Anim("wave", Motion::Wave, 12, D::SouthWest),
                      Anim("pray", Motion::Pray, 16, D::SouthWest),
                  }});
  libs.push_back({"boy",
                  Figure::Boy,
                  true,
                  {
                      Anim("walk", Motion::Walk, 8, D::SixVertical, 26),
                      Anim("stand", Motion::Stand, 12, D::SouthWest),
                      Anim("sit", Motion::Sit, 24, D::SouthWest),
                      Anim("wave", Motion::Wave, 12, D::SouthWest),
                      Anim("jump", Motion::Jump, 12, D::SouthWest),
                  }});
  libs.push_back({"girl",
                  Figure::Girl,
                  true,
                  {
                      Anim("walk", Motion::Walk, 8, D::SixVertical, 26),
                      Anim("stand", Motion::Stand, 12, D::SouthWest),
                      Anim("wave", Motion::Wave, 12, D::SouthWest),
                      Anim("jump", Motion::Jump, 12, D::SouthWest),
                      Anim("twirl", Motion::Twirl, 16, D::SouthWest),
                  }});
  libs.push_back({"baby",
                  Figure::Baby,
                  false,
                  {
                      Anim("crawl", Motion::Crawl, 8, D::SixVertical, 9),
                      Anim("sit", Motion::BabySit, 16, D::SouthWest),
                      Anim("clap", Motion::BabyClap, 12, D::SouthWest),
                      Anim("cry", Motion::BabyCry, 16, D::SouthWest, 0, "baby", {0}),
                  }});
  for (const char* name : {"sheep", "sheepnude"}) {
    libs.push_back({name,
                    std::string(name) == "sheep" ? Figure::Sheep : Figure::SheepNude,
                    false,
                    {
                        Anim("walk", Motion::Walk, 8, D::Six, 20),
                        Anim("graze", Motion::Graze, 16, D::SouthWest),
                        Anim("lookup", Motion::LookUp, 16, D::SouthWest),
                        Anim("bleat", Motion::Bleat, 12, D::SouthWest, 0, "sheep", {3}),
                    }});
  }
  libs.push_back({"rabbit",
                  Figure::Rabbit,
                  false,
                  {
                      Anim("hop", Motion::Hop, 8, D::Six, 30),
                      Anim("nibble", Motion::Nibble, 12, D::SouthWest),
                      Anim("bounce", Motion::Hop, 8, D::SouthWest),
                      Anim("situp", Motion::SitUp, 16, D::SouthWest),
                  }});
  libs.push_back({"stork",
                  Figure::Stork,
                  false,
                  {Anim("fly", Motion::FlyCarry, kStorkFrames, D::West, 90),
                   Anim("stand", Motion::StorkStand, 16, D::SouthWest),
                   Anim("preen", Motion::StorkPreen, 16, D::SouthWest),
                   Anim("clatter", Motion::StorkClatter, 16, D::SouthWest)}});
  return libs;
}

CreatureSpec Creature(const char* name, const char* group, const char* library, int type, int job,
                      const char* remap) {
  CreatureSpec c;
  c.name = name, c.group = group, c.library = library, c.masterType = type, c.masterJob = job,
  c.remapName = remap;
  return c;
}

std::vector<CreatureSpec> MakeRoster() {
  std::vector<CreatureSpec> v;
  // Idles of the workers; each also rests on its own tool (code 2010, which no scene asks for, so only
  // the idle chooser picks it).
  const std::vector<std::pair<int, std::string>> manIdles = {
      {1000, "stand"}, {1001, "scratch"}, {1003, "stretch"}, {1005, "look"}};

  CreatureSpec c = Creature("civilian", "Men", "man", 0x04, -1, "civilian");
  c.walks = {{1000, "walk"}};
  c.anims = {{1000, "stand"}, {1001, "scratch"}, {1002, "sit"},   {1003, "stretch"}, {1005, "look"},
             {1006, "wave"},  {1007, "talk"},    {1008, "shade"}, {2006, "pray"},    {2007, "sleep"}};
  v.push_back(c);

  c = Creature("woman_01", "Women", "woman", 0x08, -1, "civilian");
  c.walks = {{1000, "walk"}};
  c.anims = {{1000, "stand"}, {1001, "scratch"}, {1003, "stretch"}, {1005, "look"},
             {1006, "wave"},  {1007, "talk"},    {1008, "shade"},   {2006, "pray"}};
  v.push_back(c);

  c = Creature("girl_00", "Children", "girl", 0x08, -1, "civilian");
  c.walks = {{1000, "walk"}};
  c.anims = {{1000, "stand"}, {1006, "wave"}, {2008, "jump"}, {2009, "twirl"}};
  v.push_back(c);

  c = Creature("boy_00", "Children", "boy", 0x04, -1, "");
  c.walks = {{1000, "walk"}};
  c.anims = {{1000, "stand"}, {1002, "sit"}, {1006, "wave"}, {2008, "jump"}};
  v.push_back(c);

  c = Creature("baby_male", "Babies", "baby", 0x10, -1, "civilian");
  c.ownColours = {"11, 3, \"baby_blue\", 60, \"baby_white\", 25, \"baby_yellow\", 15"};
  c.walks = {{1000, "crawl"}};
  c.anims = {{1000, "sit"}, {1002, "clap"}, {2000, "cry"}};
  v.push_back(c);
  c.name = "baby_female";
  c.ownColours = {"11, 3, \"baby_pink\", 60, \"baby_white\", 20, \"baby_yellow\", 20"};
  v.push_back(c);

  const char* uniforms[3] = {"uniform_red", "uniform_blue", "uniform_green"};
  const char* soldiers[3] = {"soldier_a", "soldier_b", "soldier_c"};
  for (int i = 0; i < 3; ++i) {
    c = Creature(soldiers[i], "Soldiers", "man", 0x04 | 0x80, 79 + i, "soldier");
    c.ownColours = {"11, 1, \"" + std::string(uniforms[i]) + "\", 100"};
    c.walks = {{1000, "march"}};
    c.anims = {{1000, "guard"},
               {1001, "guardscratch"},
               {1003, "guardstretch"},
               {1005, "guardlook"},
               {2010, "guardrest"}};
    v.push_back(c);
  }

  c = Creature("constructionworker_trainee", "Workers", "man", 0x04 | 0x40, 12, "");
  c.walks = {{1000, "walk"}};
  c.anims = {{2001, "hammer"}, {2010, "hammerrest"}};
  c.anims.insert(c.anims.end(), manIdles.begin(), manIdles.end());
  v.push_back(c);
  c.name = "constructionworker_master";
  c.masterJob = 13;
  v.push_back(c);

  c = Creature("woodworker_trainee", "Workers", "man", 0x04 | 0x40, 20, "");
  c.walks = {{1000, "walkaxe"}, {2000, "walklog"}};
  c.anims = {{2000, "chop"}, {2010, "axerest"}};
  c.anims.insert(c.anims.end(), manIdles.begin(), manIdles.end());
  v.push_back(c);

  c = Creature("clayworker_trainee", "Workers", "man", 0x04 | 0x40, 40, "");
  c.walks = {{1000, "walkshovel"}};
  c.anims = {{2000, "dig"}, {2010, "shovelrest"}};
  c.anims.insert(c.anims.end(), manIdles.begin(), manIdles.end());
  v.push_back(c);

  c = Creature("fisher_trainee", "Workers", "man", 0x04 | 0x40, 50, "");
  c.walks = {{1000, "walkshovel"}, {2002, "walkload"}};
  c.anims = {{2000, "heave"}, {2010, "shovelrest"}};
  c.anims.insert(c.anims.end(), manIdles.begin(), manIdles.end());
  v.push_back(c);

  c = Creature("scout_master", "Men", "man", 0x04, 30, "");
  c.walks = {{1000, "walkstaff"}};
  c.anims = {{1006, "wave"}};
  c.anims.insert(c.anims.end(), manIdles.begin(), manIdles.end());
  v.push_back(c);

  c = Creature("rabbit", "Animals", "rabbit", 0x20, -1, "animals");
  c.ownColours = {"13, 4, \"fur_brown\", 45, \"fur_grey\", 25, \"fur_sand\", 20, \"fur_white\", 10"};
  c.walks = {{1000, "hop"}};
  c.anims = {{1000, "nibble"}, {1001, "situp"}, {2000, "bounce"}};
  v.push_back(c);

  const std::string faces = "13, 3, \"fur_dark\", 40, \"fur_sand\", 30, \"fur_white\", 30";
  c = Creature("sheep", "Animals", "sheep", 0x20, -1, "animals");
  c.ownColours = {"12, 4, \"wool_white\", 60, \"wool_cream\", 25, \"wool_grey\", 10, \"wool_brown\", 5",
                  faces};
  c.walks = {{1000, "walk"}};
  c.anims = {{1000, "graze"}, {1001, "lookup"}, {2000, "bleat"}};
  v.push_back(c);
  c.name = "sheepnude";
  c.library = "sheepnude";
  c.ownColours = {"12, 1, \"wool_shorn\", 100", faces};
  v.push_back(c);

  c = Creature("stork", "Animals", "stork", 0x20, -1, "animals");
  c.ownColours = {};
  c.walks = {{1000, "fly"}};
  // The scenes only ever fly the stork across, but like every walker it can stand idle.
  c.anims = {{1000, "stand"}, {1001, "preen"}, {2000, "clatter"}};
  v.push_back(c);
  return v;
}

// ---- bob numbering -------------------------------------------------------------------------------------

bool WalksOnFeet(const LibrarySpec& lib, const AnimSpec& a) {
  return a.walkSpeed > 0 && LegLengthOf(lib.figure) > 0;
}

// Distinct pictures of an animation in one direction, and which picture each frame shows.
int UniqueBobs(const LibrarySpec& lib, const AnimSpec& a, int direction) {
  return a.motion == Motion::FlyCarry ? 2 * kStorkCycle : FramesOf(lib, a, direction);
}
int PictureOfFrame(const AnimSpec& a, int frame) {
  if (a.motion != Motion::FlyCarry) return frame;
  return (frame < kStorkDropFrame ? 0 : kStorkCycle) + frame % kStorkCycle;
}

struct BobPlan {
  const AnimSpec* anim;
  int direction;
  int picture;  // index of the distinct picture
};

// Every bob of a library in number order, and the first bob of each (tag, direction).
std::vector<BobPlan> PlanBobs(const LibrarySpec& lib, std::map<std::pair<std::string, int>, int>* first) {
  std::vector<BobPlan> plan;
  for (const AnimSpec& a : lib.anims)
    for (int d : DirectionsOf(a.dirs)) {
      if (first) (*first)[{a.tag, d}] = int(plan.size());
      for (int i = 0; i < UniqueBobs(lib, a, d); ++i) plan.push_back({&a, d, i});
    }
  return plan;
}

std::string AnimName(const std::string& lib, const std::string& tag, int direction) {
  return lib + "_" + tag + "_" + DirectionSuffix(direction);
}

// ---- layers
// ------------------------------------------------------------------------------------------------

bool IsManType(int type) {
  return (type & 0x04) && !(type & 0x30);
}
bool IsWomanType(int type) {
  return (type & 0x08) && !(type & 0x30) && !(type & 0x04);
}

// Head and hair variants a layered body library is drawn with: every number the layer loader reads
// ("_head_0".."_head_5", "_hairs_0", "_hairs_1"), so that no outfit ever falls back to a missing layer.
constexpr int kHeadVariants = 6;
constexpr int kHairVariants = 2;

// The layer libraries a creature can show: every head and hair, and the headwear ChooseOutfit gives
// its type and job.
std::vector<std::pair<std::string, LayerChoice>> LayersOf(const CreatureSpec& c) {
  std::vector<std::pair<std::string, LayerChoice>> out;
  const std::string& n = c.library;
  if (!IsManType(c.masterType) && !IsWomanType(c.masterType)) return out;
  for (int h = 0; h < kHeadVariants; ++h) out.push_back({n + "_head_" + std::to_string(h), {Layer::Head, h}});
  for (int h = 0; h < kHairVariants; ++h)
    out.push_back({n + "_hairs_" + std::to_string(h), {Layer::Hair, h}});
  if (!IsManType(c.masterType)) return out;
  if (c.masterType & 0x80) {
    if (c.masterJob >= 79 && c.masterJob <= 87) {
      const int k = (c.masterJob - 79) % 3;
      out.push_back({n + "_helmet" + std::to_string(k), {Layer::Helmet, k}});
    }
  } else if (c.masterJob == 30 || c.masterJob == 73) {
    out.push_back({n + "_scout", {Layer::Scout, 0}});
  } else if (c.masterType & 0x40) {
    out.push_back({n + "_cap", {Layer::Cap, 0}});
  }
  return out;
}

// Layer library -> the animation tags it needs pictures for: heads and hair go with every animation
// of the body, headwear with the animations of the creatures that wear it.
std::map<std::string, std::pair<LayerChoice, std::set<std::string>>> LayerNeeds(const LibrarySpec& lib) {
  std::map<std::string, std::pair<LayerChoice, std::set<std::string>>> needs;
  for (const CreatureSpec& c : CreatureRoster()) {
    if (c.library != lib.name) continue;
    for (const auto& [name, choice] : LayersOf(c)) {
      auto& entry = needs[name];
      entry.first = choice;
      if (choice.layer == Layer::Head || choice.layer == Layer::Hair) {
        for (const AnimSpec& a : lib.anims) entry.second.insert(a.tag);
        continue;
      }
      for (const auto& w : c.walks) entry.second.insert(w.second);
      for (const auto& a : c.anims) entry.second.insert(a.second);
    }
  }
  return needs;
}

struct Canvas {
  int w, h, ax, ay;
  int shiftX = 0, shiftY = 0;  // moves the picture against its anchor
};

Canvas CanvasOf(Figure f) {
  switch (f) {
    case Figure::Boy:
    case Figure::Girl:
      return {64, 64, 32, 50};
    case Figure::Baby:
      return {40, 36, 20, 26};
    case Figure::Sheep:
    case Figure::SheepNude:
      return {52, 44, 26, 32};
    case Figure::Rabbit:
      return {36, 36, 18, 26};
    // The stork is drawn so that its bundle hangs where the baby lands (5 left of and 15 below the
    // stork's position); its shadow falls on the ground further below.
    case Figure::Stork:
      return {96, 88, 48, 70, 11, 28};
    default:
      return {84, 84, 42, 66};
  }
}

Sprite Render(const Canvas& cv, const FigureRender& fr, bool eyes, Sprite* shadow) {
  ShapeRenderer r(cv.w, cv.h, cv.ax, cv.ay);
  DrawFigure(r, fr);
  Sprite pic = r.Picture();
  if (eyes) PaintEyes(r, fr, pic);
  if (shadow) *shadow = r.Shadow();
  return pic;
}

// The pixels of `over` that differ from `base`: what a layer adds when drawn over the base.
Sprite Difference(const Sprite& over, const Sprite& base) {
  Sprite out(over.width, over.height, over.originX, over.originY);
  for (size_t i = 0; i < over.pixels.size(); ++i)
    if (over.pixels[i] && over.pixels[i] != base.pixels[i]) out.pixels[i] = over.pixels[i];
  return out;
}

void Finish(Sprite& s, const Canvas& cv) {
  s.originX -= cv.shiftX;
  s.originY -= cv.shiftY;
  s.Crop();
}

// ---- description texts
// ---------------------------------------------------------------------------------------

std::string Quote(const std::string& s) {
  return "\"" + s + "\"";
}

std::string NumberLines(const char* key, const std::vector<int>& values) {
  std::string out;
  for (size_t i = 0; i < values.size(); i += 16) {
    out += std::string(key) + " = ";
    for (size_t k = i; k < std::min(values.size(), i + 16); ++k)
      out += (k > i ? ", " : "") + std::to_string(values[k]);
    out += "\n";
  }
  return out;
}

bool HasLayers(const LibrarySpec& lib) {
  return lib.layered;
}

std::vector<uint8_t> BmdBytes(const BobLibraryBuilder& builder) {
  static std::atomic<int> counter{0};
  const auto path = std::filesystem::temp_directory_path() /
                    ("tl_creature_" + std::to_string(reinterpret_cast<uintptr_t>(&builder)) + "_" +
                     std::to_string(counter++) + ".bmd");
  std::vector<uint8_t> bytes;
  if (builder.SaveBmd(path.string().c_str())) {
    std::ifstream in(path, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::error_code ec;
  std::filesystem::remove(path, ec);
  return bytes;
}

void AddSprite(BobLibraryBuilder& b, uint32_t number, const Sprite& s, bool shadow) {
  bool any = false;
  for (uint8_t p : s.pixels) any |= p != 0;
  if (!any) return;
  XB_BITMAP bm(s.width, s.height);
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x) bm.Row(y)[x] = s.pixels[size_t(y) * s.width + x];
  if (shadow)
    b.AddShadow(number, bm, -s.originX, -s.originY);
  else
    b.AddPacked(number, bm, 0, -s.originX, -s.originY);
}

}  // namespace

void BuildCreaturesPart(WorldOutput& out) {
  BuildCreatures(out);
}

const std::vector<LibrarySpec>& CreatureLibraries() {
  static const auto* libs = new std::vector<LibrarySpec>(MakeLibraries());
  return *libs;
}

const std::vector<CreatureSpec>& CreatureRoster() {
  static const auto* roster = new std::vector<CreatureSpec>(MakeRoster());
  return *roster;
}

const LibrarySpec* FindCreatureLibrary(const std::string& name) {
  for (const LibrarySpec& l : CreatureLibraries())
    if (l.name == name) return &l;
  return nullptr;
}

const AnimSpec* FindCreatureAnim(const LibrarySpec& library, const std::string& tag) {
  for (const AnimSpec& a : library.anims)
    if (a.tag == tag) return &a;
  return nullptr;
}

std::vector<int> DirectionsOf(AnimDirs dirs) {
  switch (dirs) {
    case AnimDirs::Six:
      return {0, 1, 2, 3, 4, 5};
    case AnimDirs::SixVertical:
      return {0, 1, 2, 3, 4, 5, 10, 11};
    case AnimDirs::SouthWest:
      return {2};
    case AnimDirs::East:
      return {0};
    case AnimDirs::NorthEast:
      return {5};
    case AnimDirs::West:
      return {3};
  }
  return {};
}

const char* DirectionSuffix(int direction) {
  switch (direction) {
    case 0:
      return "e";
    case 1:
      return "se";
    case 2:
      return "sw";
    case 3:
      return "w";
    case 4:
      return "nw";
    case 5:
      return "ne";
    case 10:
      return "n";
    case 11:
      return "s";
    default:
      return "x";
  }
}

std::string CreatureAnimationsIni() {
  std::string out =
      "; Creature animations: one section per animation and direction. Every frame lasts one screen\n"
      "; frame (Speed 12); layer libraries share the body's bob numbers.\n";
  for (const LibrarySpec& lib : CreatureLibraries()) {
    std::map<std::pair<std::string, int>, int> first;
    PlanBobs(lib, &first);
    for (const AnimSpec& a : lib.anims)
      for (int d : DirectionsOf(a.dirs)) {
        out += "\n[AnimationType]\nName = " + Quote(AnimName(lib.name, a.tag, d)) + "\n";
        out += "BobLibrary = " + Quote(lib.name) + "\n";
        out += "ShadowBobLibrary = " + Quote(lib.name + "_shadow") + "\n";
        out += "Speed = " + std::to_string(kSpeed) + "\n";
        const int frames = FramesOf(lib, a, d);
        out += "Frames = " + std::to_string(frames) + "\n";
        std::vector<int> bobs;
        for (int f = 0; f < frames; ++f) bobs.push_back(first[{a.tag, d}] + PictureOfFrame(a, f));
        out += NumberLines("Bobs", bobs);
        for (int f : a.soundFrames) out += "Event = " + std::to_string(f) + ", 101\n";
        if (!a.sound.empty()) out += "EventSound = " + Quote(a.sound) + "\n";
      }
  }
  return out;
}

std::string CreatureWalkDataIni() {
  std::string out = "; Walking: one animation per direction, N and S where the walk has its own.\n";
  for (const LibrarySpec& lib : CreatureLibraries())
    for (const AnimSpec& a : lib.anims) {
      if (a.walkSpeed <= 0) continue;
      out += "\n[WalkDataType]\nName = " + Quote(lib.name + "_" + a.tag) + "\nWalkAnimation = ";
      for (int d = 0; d < 6; ++d) {
        // The stork only ever flies west; every direction shows that flight.
        const int shown = a.dirs == AnimDirs::West ? 3 : d;
        out += (d ? ", " : "") + Quote(AnimName(lib.name, a.tag, shown));
      }
      out += "\n";
      if (a.dirs == AnimDirs::SixVertical)
        out += "WalkVerticalAnimation = " + Quote(AnimName(lib.name, a.tag, 10)) + ", " +
               Quote(AnimName(lib.name, a.tag, 11)) + "\n";
      out += "WalkSpeed = " + std::to_string(a.walkSpeed) + "\n";
    }
  return out;
}

std::string CreatureDescriptionsIni() {
  std::string out = "; The creatures the scenes name.\n";
  for (const CreatureSpec& c : CreatureRoster()) {
    const LibrarySpec* lib = FindCreatureLibrary(c.library);
    out += "\n[CreatureType]\nName = " + Quote(c.name) + "\nGroup = " + Quote(c.group) + "\n";
    out += "MasterType = " + std::to_string(c.masterType) + "\n";
    if (c.masterJob >= 0) out += "MasterJob = " + std::to_string(c.masterJob) + "\n";
    if (!c.remapName.empty()) out += "RemapName = " + Quote(c.remapName) + "\n";
    for (const std::string& line : c.ownColours) out += "RemapRandom = " + line + "\n";
    for (const auto& [kind, tag] : c.walks)
      out += "WalkType = " + Quote(c.library + "_" + tag) + ", " + std::to_string(kind) + "\n";
    for (const auto& [code, tag] : c.anims) {
      const AnimSpec* a = lib ? FindCreatureAnim(*lib, tag) : nullptr;
      if (!a) continue;
      if (a->dirs == AnimDirs::Six || a->dirs == AnimDirs::SixVertical) {
        out += "AnimationX = ";
        for (int d = 0; d < 6; ++d) out += Quote(AnimName(c.library, tag, d)) + ", ";
        out += std::to_string(code) + ", 0\n";
      } else {
        out += "Animation = " + Quote(AnimName(c.library, tag, DirectionsOf(a->dirs)[0])) + ", " +
               std::to_string(code) + ", 0\n";
      }
    }
  }
  return out;
}

int GaitCycleFrames(const LibrarySpec& lib, const AnimSpec& a, int direction) {
  if (!WalksOnFeet(lib, a)) return a.frames;
  // The longest cycle (of the ones that fill 8, 10 or 12 frames) whose steps the legs can make without
  // crouching much: a fast diagonal walk takes quicker steps than the same walk east or west.
  const float step = ModelStepOfDirection(direction, float(a.walkSpeed) / 9.0f);
  // (Sheep have short legs and take longer steps for them; a rabbit hops several times its length.)
  const float reach = lib.figure == Figure::Rabbit                                     ? 4.0f
                      : lib.figure == Figure::Sheep || lib.figure == Figure::SheepNude ? 0.65f
                                                                                       : 0.45f;
  const float longest = reach * LegLengthOf(lib.figure);
  for (int cycle : {8, 6, 5})
    if (step * float(cycle) / 4.0f <= longest) return cycle;
  return 4;
}

int FramesOf(const LibrarySpec& lib, const AnimSpec& a, int direction) {
  const int cycle = GaitCycleFrames(lib, a, direction);
  if (!WalksOnFeet(lib, a) || cycle == 8 || cycle == 4) return a.frames;
  return 2 * cycle;
}

FigureRender FrameFigure(const LibrarySpec& lib, const AnimSpec& a, int direction, int picture) {
  FigureRender fr;
  fr.figure = lib.figure;
  fr.motion = a.motion;
  fr.facing = FacingOfDirection(direction);
  fr.stride = a.walkSpeed > 0 ? StrideOfDirection(direction) : 1.0f;
  if (a.motion == Motion::FlyCarry) {
    fr.motion = picture < kStorkCycle ? Motion::FlyCarry : Motion::Fly;
    fr.phase = float(picture % kStorkCycle) / float(kStorkCycle);
  } else if (WalksOnFeet(lib, a)) {
    const int cycle = GaitCycleFrames(lib, a, direction);
    fr.phase = float(picture % cycle) / float(cycle);
    // A planted foot travels under the body for half a cycle, one walker's step per frame.
    fr.stepLength = ModelStepOfDirection(direction, float(a.walkSpeed) / 9.0f) * float(cycle) / 2.0f;
  } else {
    fr.phase = float(picture) / float(a.frames);
  }
  return fr;
}

std::vector<CreatureBob> RenderCreatureLibrary(const LibrarySpec& lib) {
  const Canvas cv = CanvasOf(lib.figure);
  const auto needs = HasLayers(lib) ? LayerNeeds(lib) : decltype(LayerNeeds(lib)){};
  std::vector<CreatureBob> bobs;
  for (const BobPlan& plan : PlanBobs(lib, nullptr)) {
    const AnimSpec& a = *plan.anim;
    FigureRender fr = FrameFigure(lib, a, plan.direction, plan.picture);
    CreatureBob bob;
    if (!HasLayers(lib)) {
      fr.withHead = true;
      bob.body = Render(cv, fr, true, &bob.shadow);
    } else {
      fr.withHead = false;
      bob.body = Render(cv, fr, false, nullptr);
      fr.withHead = true;
      fr.head = 0;
      const Sprite head0 = Render(cv, fr, true, &bob.shadow);
      for (const auto& [name, need] : needs) {
        if (!need.second.count(a.tag)) continue;
        const LayerChoice choice = need.first;
        if (choice.layer == Layer::Head) {
          fr.head = choice.variant;
          fr.extra = LayerChoice{};
          const Sprite with = choice.variant == 0 ? head0 : Render(cv, fr, true, nullptr);
          bob.layers.push_back({name, Difference(with, bob.body)});
        } else {
          fr.head = 0;
          fr.extra = choice;
          bob.layers.push_back({name, Difference(Render(cv, fr, true, nullptr), head0)});
        }
      }
    }
    // Only the flight is moved against its anchor (the bundle over the baby's landing place); a
    // standing stork stands on its anchor.
    Canvas place = cv;
    if (a.motion != Motion::FlyCarry) place.shiftX = place.shiftY = 0;
    Finish(bob.body, place);
    Finish(bob.shadow, place);
    for (auto& l : bob.layers) Finish(l.second, place);
    bobs.push_back(std::move(bob));
  }
  return bobs;
}

void BuildCreatures(WorldOutput& out) {
  for (const CreatureColourTable& t : CreatureColourTables()) {
    PaletteRgb p;
    for (int i = 0; i < 256; ++i) p[size_t(i)] = t.palette[size_t(i)];
    out.AddRemapTable(t.name, t.fileName, p);
  }
  for (const CreatureColourWindow& w : CreatureColourWindows()) out.AddRemapWindow(w.name, w.table, w.start);
  out.AppendText(kAnimationDescriptionsPath, CreatureAnimationsIni());
  out.AppendText(kWalkDataDescriptionsPath, CreatureWalkDataIni());
  out.AppendText(kCreatureDescriptionsPath, CreatureDescriptionsIni());
  out.AppendText(kRandomRemapsPath, CreatureRandomRemapsIni());

  for (const LibrarySpec& lib : CreatureLibraries()) {
    const std::vector<CreatureBob> bobs = RenderCreatureLibrary(lib);
    std::map<std::string, BobLibraryBuilder> builders;
    builders.emplace(lib.name, BobLibraryBuilder(0));
    builders.emplace(lib.name + "_shadow", BobLibraryBuilder(0));
    for (size_t n = 0; n < bobs.size(); ++n) {
      AddSprite(builders.at(lib.name), uint32_t(n), bobs[n].body, false);
      AddSprite(builders.at(lib.name + "_shadow"), uint32_t(n), bobs[n].shadow, true);
      for (const auto& [name, sprite] : bobs[n].layers) {
        auto it = builders.try_emplace(name, BobLibraryBuilder(0)).first;
        AddSprite(it->second, uint32_t(n), sprite, false);
      }
    }
    for (auto& [name, builder] : builders) {
      builder.ReserveUpTo(uint32_t(bobs.size() - 1));
      out.AddFile(std::string(kCreatureBobsDir) + name + ".bmd", BmdBytes(builder));
    }
  }
}

}  // namespace tlworld
