#include "tests/common/synthetic_world.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "graphics/bob_authoring.h"
#include "graphics/xb_bitmap.h"
#include "scene/scene_creatures.h"

namespace tl_test {
namespace {

namespace fs = std::filesystem;

void WriteFile(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
  WriteFile(path, std::string(bytes.begin(), bytes.end()));
}

// An 8-bit bitmap filled by a function of (x, y).
template <class F>
std::unique_ptr<XB_BITMAP> Pixels(int32_t w, int32_t h, F f) {
  auto bitmap = std::make_unique<XB_BITMAP>(w, h, 0);
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* row = bitmap->Row(y);
    for (int32_t x = 0; x < w; ++x) row[x] = static_cast<uint8_t>(f(x, y));
  }
  return bitmap;
}

// A solid block of one colour with a darker border; key 0 stays transparent outside `inside`.
std::unique_ptr<XB_BITMAP> Block(int32_t w, int32_t h, uint8_t colour) {
  return Pixels(w, h, [&](int x, int y) {
    const bool border = x == 0 || y == 0 || x == w - 1 || y == h - 1;
    return border ? static_cast<uint8_t>(colour + 1) : colour;
  });
}

// Levels that rise across the bob, so that thresholds reveal it bit by bit (0..254, nothing at 255).
std::unique_ptr<XB_BITMAP> Levels(int32_t w, int32_t h) {
  return Pixels(w, h, [](int x, int y) { return (x * 37 + y * 61) % 255; });
}

std::unique_ptr<XB_BITMAP> Coverage(int32_t w, int32_t h) {
  return Pixels(w, h, [](int, int) { return 1; });
}

// A picture bob with its level mask at the next number, both anchored at the bottom centre.
void AddPictureWithMask(BobLibraryBuilder& packed, uint32_t number, int32_t w, int32_t h, uint8_t colour) {
  packed.AddPacked(number, *Block(w, h, colour), 0, -w / 2, -h);
  packed.AddMask(number + 1, *Levels(w, h), -w / 2, -h);
}

// The eight bobs of a building: layer 1 and 2 pictures and masks, main picture and mask, shadow bob,
// layer shadow mask.
void AddBuilding(BobLibraryBuilder& packed, uint32_t first, int32_t w, int32_t h) {
  AddPictureWithMask(packed, first, w, h / 2, 40);
  AddPictureWithMask(packed, first + 2, w / 2, h, 50);
  AddPictureWithMask(packed, first + 4, w, h, 60);
  packed.AddPacked(first + 6, *Block(w, 4, 70), 0, -w / 2, -2);
  packed.AddMask(first + 7, *Levels(w + 8, 8), -w / 2, -4);
}

void WriteScreensaverLibraries(const fs::path& root) {
  BobLibraryBuilder packed(0);
  BobLibraryBuilder masked(0);
  packed.AddPacked(0, *Pixels(32, 32, [](int x, int y) { return 100 + ((x / 8 + y / 8) % 2) * 3; }), 0);
  for (uint32_t logo = 1; logo <= 3; ++logo) {
    packed.AddPacked(logo, *Block(24 + 8 * logo, 12, static_cast<uint8_t>(120 + logo * 2)), 0, -2, -1);
    masked.AddShadow(logo, *Coverage(24 + 8 * logo, 12), 2, 2);
  }
  AddBuilding(packed, 4, 60, 40);   // small building
  AddBuilding(packed, 12, 90, 60);  // large building
  for (uint32_t flower = 20; flower <= 30; ++flower) {
    packed.AddPacked(flower, *Block(6, 8, static_cast<uint8_t>(140 + flower % 8)), 0, -3, -8);
    masked.AddShadow(flower, *Coverage(6, 3), -1, -2);
  }
  for (uint32_t tree = 31; tree <= 43; ++tree) {
    const int32_t h = tree >= 35 ? 14 : 12 + 4 * static_cast<int32_t>(tree - 31);
    packed.AddPacked(tree, *Block(10, h, static_cast<uint8_t>(160 + tree % 10)), 0, -5, -h);
    masked.AddShadow(tree, *Coverage(10, 4), -2, -3);
  }
  AddPictureWithMask(packed, 44, 30, 20, 180);   // clay pit
  AddPictureWithMask(packed, 46, 64, 32, 190);   // big logo
  AddPictureWithMask(packed, 50, 40, 40, 200);   // monument 1
  AddPictureWithMask(packed, 52, 36, 44, 210);   // monument 2
  packed.AddPacked(54, *Block(32, 30, 220), 0);  // text page without a logo picture
  packed.AddPacked(55, *Block(64, 48, 230), 0);  // page behind the logo picture
  const fs::path dir = root / "Data_V" / "VE_Graphics" / "BobManager";
  fs::create_directories(dir);
  if (!packed.SaveBmd((dir / "Screensaver_Packed.bmd").string().c_str()) ||
      !masked.SaveBmd((dir / "Screensaver_Masked.bmd").string().c_str()))
    throw std::runtime_error("cannot write the screensaver bob libraries");
}

// Creature bobs: 0 and 1 a walking figure in two poses, 2 a bird.
void WriteCreatureLibrary(const fs::path& root) {
  BobLibraryBuilder synth(0);
  synth.AddPacked(0, *Pixels(8, 16, [](int x, int y) { return (x + y) % 5 == 0 ? 0 : 16 + (y / 4); }), 0, -4,
                  -16);
  synth.AddPacked(1, *Pixels(8, 16, [](int x, int y) { return (x + y) % 5 == 1 ? 0 : 20 + (y / 4); }), 0, -4,
                  -16);
  synth.AddPacked(2, *Pixels(14, 6, [](int x, int y) { return (x * y) % 7 == 0 ? 0 : 30; }), 0, -7, -6);
  const fs::path dir = root / "Data_V" / "VE_Graphics" / "BobManager";
  fs::create_directories(dir);
  if (!synth.SaveBmd((dir / "synth.bmd").string().c_str()))
    throw std::runtime_error("cannot write the creature bob library");
}

std::string AnimationSection(const std::string& name, int frames, const std::string& bobs,
                             const std::string& extra = "") {
  std::ostringstream s;
  s << "[AnimationType]\nName = \"" << name << "\"\nBobLibrary = \"synth\"\nSpeed = 12\nFrames = " << frames
    << "\nBobs = " << bobs << "\n"
    << extra << "\n";
  return s.str();
}

std::string RepeatBobs(int frames, const char* pattern) {
  std::string out;
  for (int i = 0; i < frames; ++i) {
    if (i) out += ", ";
    out += pattern[i % 2];
  }
  return out;
}

void WriteDescriptions(const fs::path& root, const SyntheticWorldOptions& options) {
  const fs::path dir = root / "Data_V" / "VE_Graphics" / "creatures";
  std::string animations;
  animations += AnimationSection("walk", 4, "0, 1, 0, 1");
  animations += AnimationSection("idle", 6, "0, 0, 1, 1, 0, 0", "Event = 0, 101\nEventSound = \"baby\"");
  animations += AnimationSection("once", 3, "1, 0, 1");
  animations += AnimationSection("work", 8, RepeatBobs(8, "01"), "Event = 2, 101\nEventSound = \"hammer\"");
  animations += AnimationSection("stand", 4, "0, 0, 0, 0");
  animations +=
      AnimationSection("fly", options.storkFlightFrames, RepeatBobs(options.storkFlightFrames, "22"));
  WriteFile(dir / "z_animation_descriptions.ini", animations);

  std::ostringstream walk;
  walk << "[WalkDataType]\nName = \"walker\"\nWalkAnimation = \"walk\", \"walk\", \"walk\", \"walk\", "
          "\"walk\", "
          "\"walk\"\nWalkSpeed = "
       << options.walkSpeed << "\n\n";
  walk << "[WalkDataType]\nName = \"flyer\"\nWalkAnimation = \"fly\", \"fly\", \"fly\", \"fly\", \"fly\", "
          "\"fly\"\nWalkSpeed = 18\n";
  WriteFile(dir / "z_walkdata_descriptions.ini", walk.str());

  std::ostringstream creatures;
  for (const std::string name : kSceneCreatures) {
    creatures << "[CreatureType]\nName = \"" << name
              << "\"\nGroup = \"synthetic\"\nRemapName = \"Identity\"\n";
    if (name == "stork") {
      creatures << "MasterType = 16\nWalkType = \"flyer\", 1000\n\n";
      continue;
    }
    const bool woman = name == "woman_01" || name == "girl_00" || name == "baby_female";
    const bool animal = name == "rabbit" || name == "sheep" || name == "sheepnude";
    creatures << "MasterType = " << (animal ? 16 : woman ? 8 : 4) << "\n";
    creatures << "WalkType = \"walker\", 1000\nWalkType = \"walker\", 2000\nWalkType = \"walker\", 2002\n";
    if (options.withIdleAnimations) {
      creatures
          << "Animation = \"idle\", 1001, 0\nAnimation = \"once\", 1002, 0\nAnimation = \"idle\", 2006, 0\n"
             "Animation = \"work\", 2000, 0\nAnimation = \"work\", 2001, 0\nAnimation = \"stand\", 1005, 0\n"
             "Animation = \"stand\", 1007, 0\nAnimation = \"stand\", 1008, 0\n";
    }
    creatures << "\n";
  }
  creatures << options.extraCreatures;
  WriteFile(dir / "z_creature_descriptions.ini", creatures.str());

  std::ostringstream remaps;
  for (int player = 0; player < 10; ++player) {
    for (const char* kind : {"Man", "Woman"}) {
      remaps << "[RemapRandom]\nName = \"Player_" << player << "_Color_" << kind
             << "\"\nRemapRandom = 0, 1, 0, 1\n\n";
    }
  }
  WriteFile(dir / "x_random_remaps.ini", remaps.str());
}

void WriteRemapTables(const fs::path& root) {
  const fs::path dir = root / "Data_V" / "VE_Graphics" / "remaptables";
  const std::vector<uint8_t> screen = SyntheticPaletteRgb();
  std::vector<uint8_t> shadow(screen.size());
  for (size_t i = 0; i < screen.size(); ++i) shadow[i] = static_cast<uint8_t>(screen[i] / 2);
  const std::vector<uint8_t> pixel(1, 0);
  WriteBytes(dir / "shadow.bmp", MakeBmp8(1, 1, pixel, shadow));
  WriteBytes(dir / "identity.bmp", MakeBmp8(1, 1, pixel, screen));
  WriteFile(dir / "remaptables.ini",
            "[RemapTable]\nName = \"Shadow\"\nFileName = \"shadow.bmp\"\n\n"
            "[RemapTable]\nName = \"Identity\"\nFileName = \"identity.bmp\"\n");
}

void WriteLogo(const fs::path& root) {
  std::vector<uint8_t> pixels(64 * 48);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i % 64 + 64);
  WriteBytes(root / "Logo.bmp", MakeBmp8(64, 48, pixels, SyntheticPaletteRgb()));
  WriteFile(
      root / "Logo.txt",
      "[LOGOTEXT]\nTEXT = \"Tillands\"\n[INTROTEXT]\nTEXT = \"Welcome\"\n[SCROLLTEXT]\nTEXT = \"Scroll\"\n");
}

}  // namespace

std::vector<uint8_t> SyntheticPaletteRgb() {
  std::vector<uint8_t> rgb(768);
  for (int i = 0; i < 256; ++i) {
    rgb[3 * i + 0] = static_cast<uint8_t>(i);
    rgb[3 * i + 1] = static_cast<uint8_t>((i * 7) & 255);
    rgb[3 * i + 2] = static_cast<uint8_t>((i * 13 + 5) & 255);
  }
  rgb[0] = rgb[1] = rgb[2] = 0;
  return rgb;
}

std::vector<uint8_t> MakeBmp8(int32_t width, int32_t height, const std::vector<uint8_t>& pixels,
                              const std::vector<uint8_t>& paletteRgb) {
  const int32_t stride = (width + 3) & ~3;
  const uint32_t dataOffset = 14 + 40 + 1024;
  const uint32_t fileSize = dataOffset + static_cast<uint32_t>(stride * height);
  std::vector<uint8_t> out;
  auto u16 = [&](uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
  };
  auto u32 = [&](uint32_t v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
  };
  out.push_back('B');
  out.push_back('M');
  u32(fileSize);
  u32(0);
  u32(dataOffset);
  u32(40);
  u32(static_cast<uint32_t>(width));
  u32(static_cast<uint32_t>(height));
  u16(1);
  u16(8);
  u32(0);
  u32(static_cast<uint32_t>(stride * height));
  u32(2835);
  u32(2835);
  u32(256);
  u32(0);
  for (int i = 0; i < 256; ++i) {
    out.push_back(paletteRgb[3 * i + 2]);
    out.push_back(paletteRgb[3 * i + 1]);
    out.push_back(paletteRgb[3 * i + 0]);
    out.push_back(0);
  }
  for (int32_t y = height - 1; y >= 0; --y) {
    for (int32_t x = 0; x < stride; ++x)
      out.push_back(x < width ? pixels[static_cast<size_t>(y * width + x)] : 0);
  }
  return out;
}

void WriteSyntheticWorld(const std::string& rootText, const SyntheticWorldOptions& options) {
  const fs::path root(rootText);
  fs::create_directories(root);
  WriteScreensaverLibraries(root);
  WriteCreatureLibrary(root);
  WriteDescriptions(root, options);
  WriteRemapTables(root);
  if (options.withLogo) WriteLogo(root);
}

}  // namespace tl_test
