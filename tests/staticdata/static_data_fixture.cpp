#include "tests/staticdata/static_data_fixture.h"

#include <filesystem>
#include <string>

#include "graphics/bob_authoring.h"
#include "graphics/graphics_storables.h"
#include "graphics/xb_bitmap.h"
#include "staticdata/application_services.h"

namespace tl_test {

namespace {

// The data directory is written with the letter case the game's installer uses, which differs from
// the spelling the loaders ask for: every test also exercises the case-insensitive file layer.
std::string OnDisk(const std::string& relative) {
  std::string path = "Data_V/" + relative;
  for (char& c : path)
    if (c == '\\') c = '/';
  const std::string prefixes[][2] = {{"Data_V/ve_graphics/", "Data_V/VE_Graphics/"},
                                     {"VE_Graphics/bobmanager/", "VE_Graphics/BobManager/"},
                                     {"VE_Graphics/creatures/", "VE_Graphics/Creatures/"},
                                     {"VE_Graphics/remaptables/", "VE_Graphics/RemapTables/"}};
  for (const auto& p : prefixes)
    if (path.rfind(p[0], 0) == 0 || path.find(p[0]) != std::string::npos) {
      size_t at = path.find(p[0]);
      path.replace(at, p[0].size(), p[1]);
    }
  return path;
}

}  // namespace

std::vector<uint8_t> MakePcx8(int32_t width, int32_t height, const std::vector<uint8_t>& pixels,
                              const std::vector<uint8_t>& paletteRgb) {
  std::vector<uint8_t> out(128, 0);
  out[0] = 10;  // manufacturer
  out[1] = 5;   // version
  out[2] = 1;   // run-length encoding
  out[3] = 8;   // bits per pixel
  auto put16 = [&](size_t at, uint16_t v) {
    out[at] = static_cast<uint8_t>(v);
    out[at + 1] = static_cast<uint8_t>(v >> 8);
  };
  put16(8, static_cast<uint16_t>(width - 1));
  put16(10, static_cast<uint16_t>(height - 1));
  out[65] = 1;  // planes
  const int32_t lineLength = (width + 1) & ~1;
  put16(66, static_cast<uint16_t>(lineLength));
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < lineLength; ++x) {
      uint8_t v = x < width ? pixels[static_cast<size_t>(y * width + x)] : 0;
      if (v >= 0xC0) out.push_back(0xC1);
      out.push_back(v);
    }
  }
  out.push_back(0x0C);
  out.insert(out.end(), paletteRgb.begin(), paletteRgb.end());
  return out;
}

std::vector<uint8_t> GreyPalette(int (*f)(int)) {
  std::vector<uint8_t> rgb(768);
  for (int i = 0; i < 256; ++i) rgb[3 * i] = rgb[3 * i + 1] = rgb[3 * i + 2] = static_cast<uint8_t>(f(i));
  return rgb;
}

void StaticDataTest::SetUp() {
  RegisterGraphicsStorables();
  dir.Enter();
  screen = std::make_unique<XB_PALETTE>();
  screen->SetFromRgbTriples(GreyPalette([](int i) { return i; }).data());
  VE_APPLICATION_SERVICES services;
  services.palette = [this]() { return screen.get(); };
  services.soundCue = [this](const char* name) { sounds.emplace_back(name); };
  services.rand = [this]() {
    ++randCalls;
    if (randScript.empty()) return 0;
    int r = randScript.front();
    randScript.pop_front();
    return r;
  };
  services.warning = [this](const char* text) { warnings.emplace_back(text); };
  SetApplicationServices(services);
}

void StaticDataTest::TearDown() {
  DestroyStaticData();
  ResetApplicationServices();
  dir.Leave();
}

void StaticDataTest::WriteData(const std::string& relative, const std::string& text) {
  dir.WriteText(OnDisk(relative), text);
}

void StaticDataTest::WriteDataBytes(const std::string& relative, const std::vector<uint8_t>& bytes) {
  dir.Write(OnDisk(relative), bytes);
}

bool StaticDataTest::DataExists(const std::string& relative) const {
  return dir.Exists(OnDisk(relative));
}

void StaticDataTest::RemoveData(const std::string& relative) {
  std::filesystem::remove(dir.File(OnDisk(relative)));
}

void StaticDataTest::WriteBobLibrary(const std::string& name, uint32_t count, uint8_t base, int32_t offsetX) {
  BobLibraryBuilder builder(0);
  for (uint32_t n = 0; n < count; ++n) {
    XB_BITMAP pixel(1, 1, XB_PIXELS_8);
    uint8_t colour = static_cast<uint8_t>(base + n);
    pixel.GetPixels()[0] = colour ? colour : 1;
    builder.AddPacked(n, pixel, 0, offsetX, 0);
  }
  std::string path = dir.File(OnDisk("ve_graphics\\bobmanager\\" + name + ".bmd"));
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  ASSERT_TRUE(builder.SaveBmd(path.c_str()));
}

void StaticDataTest::WriteShadowLibrary(const std::string& name, uint32_t count, int32_t offsetX) {
  BobLibraryBuilder builder(0);
  for (uint32_t n = 0; n < count; ++n) {
    XB_BITMAP coverage(1, 1, XB_PIXELS_8);
    coverage.GetPixels()[0] = 1;
    builder.AddShadow(n, coverage, offsetX, 0);
  }
  std::string path = dir.File(OnDisk("ve_graphics\\bobmanager\\" + name + ".bmd"));
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  ASSERT_TRUE(builder.SaveBmd(path.c_str()));
}

void StaticDataTest::WriteStandardSet() {
  const std::vector<uint8_t> pixels = {1, 2};
  WriteDataBytes("ve_graphics\\remaptables\\shadow.pcx",
                 MakePcx8(2, 1, pixels, GreyPalette([](int i) { return i / 2; })));
  WriteDataBytes("ve_graphics\\remaptables\\player.pcx",
                 MakePcx8(2, 1, pixels, GreyPalette([](int i) { return 255 - i; })));
  WriteDataBytes("ve_graphics\\remaptables\\civil.pcx",
                 MakePcx8(2, 1, pixels, GreyPalette([](int i) { return i; })));
  WriteData("ve_graphics\\remaptables\\remaptables.ini",
            "; remap tables of the test set\n"
            "[RemapTable]\nName = \"Shadow\"\nFileName = \"shadow.pcx\"\n"
            "[RemapTable]\nName = \"Player\"\nComment = \"inverts\"\nFileName = \"player.pcx\"\n"
            "[RemapTable]\nName = \"Civil\"\nFileName = \"civil.pcx\"\n"
            "[RemapTable16]\nName = \"Blue\"\nRemapTable = \"Player\", 1\n"
            "[RemapTable16]\nName = \"Red\"\nRemapTable = \"Player\", 2\n"
            "[RemapTable16]\nName = \"Low\"\nRemapTable = \"Civil\", 0\n");

  WriteBobLibrary("man", 10, 10);
  for (int i = 0; i < 6; ++i)
    WriteBobLibrary("man_head_" + std::to_string(i), 10, static_cast<uint8_t>(50 + 10 * i), 1);
  for (int i = 0; i < 2; ++i)
    WriteBobLibrary("man_hairs_" + std::to_string(i), 10, static_cast<uint8_t>(120 + 10 * i), 5);
  WriteBobLibrary("man_cap", 10, 150, 2);
  WriteBobLibrary("man_scout", 10, 170, 3);
  for (int i = 0; i < 3; ++i)
    WriteBobLibrary("man_helmet" + std::to_string(i), 10, static_cast<uint8_t>(190 + 10 * i), 4);
  WriteShadowLibrary("man_shadow", 10, 6);
  WriteBobLibrary("woman", 10, 80);
  WriteBobLibrary("sheep", 10, 100);

  std::string anims =
      "[AnimationType]\nName = \"man_walk_0\"\nBobLibrary = \"man\"\nShadowBobLibrary = \"man_shadow\"\n"
      "ShadowBobOffset = 1\nSpeed = 3\nFrames = 3\nBobs = 1, 2, 3\nEvent = 0, 101\nEvent = 2, 101, 9\n"
      "EventSound = \"step\"\nCarryGoodRemapTables = \"Blue\", \"Red\"\nStartDirection = 2\nReplays = 1\n";
  for (int d = 1; d <= 5; ++d)
    anims += "[AnimationType]\nName = \"man_walk_" + std::to_string(d) +
             "\"\nBobLibrary = \"MAN\"\nSpeed = 12\nFrames = 2\nBobs = 4, 5\n";
  anims +=
      "[AnimationType]\nName = \"man_walk_n\"\nBobLibrary = \"man\"\nSpeed = 12\nFrames = 1\nBobs = 6\n"
      "[AnimationType]\nName = \"man_walk_s\"\nBobLibrary = \"man\"\nSpeed = 12\nFrames = 1\nBobs = 7\n"
      "[AnimationType]\nName = \"man_idle\"\nBobLibrary = \"man\"\nMode = 2\nSpeed = 6\nFrames = 4\n"
      "BobOffset = 5\nBobs = 0, 1\nBobOffset = 0\nBobs = 7, 8\n"
      "[AnimationType]\nName = \"woman_walk\"\nBobLibrary = \"woman\"\nSpeed = 6\nFrames = 2\nBobs = 0, 1\n"
      "[AnimationType]\nName = \"sheep_walk\"\nBobLibrary = \"sheep\"\nSpeed = 2\nFrames = 1\nBobs = 0\n"
      "[AnimationType]\nName = \"man_wait\"\nBobLibrary = \"man\"\nSpeed = 1\nFrames = 1\nBobs = 0\n";
  WriteData("ve_graphics\\creatures\\z_animation_descriptions.ini", anims);

  WriteData(
      "ve_graphics\\creatures\\z_walkdata_descriptions.ini",
      "[WalkDataType]\nName = \"man_walking\"\n"
      "WalkAnimation = \"man_walk_0\", \"man_walk_1\", \"man_walk_2\", \"man_walk_3\", \"man_walk_4\", "
      "\"man_walk_5\"\n"
      "WalkVerticalAnimation = \"man_walk_n\", \"man_walk_s\"\n"
      "WaitAnimation = \"man_wait\"\nWaitAnimation = \"man_idle\"\n"
      "WaitAnimationX = \"man_walk_0\", \"man_walk_1\", \"man_walk_2\", \"man_walk_3\", \"man_walk_4\", "
      "\"man_walk_5\"\n"
      "WaitTicks = 60\nWalkSpeed = 18\nTurnSpeed = 3\nSoundName = \"ignored\"\n"
      "[WalkDataType]\nName = \"woman_walking\"\n"
      "WalkAnimation = \"woman_walk\", \"woman_walk\", \"woman_walk\", \"woman_walk\", \"woman_walk\", "
      "\"woman_walk\"\nWalkSpeed = 12\n"
      "[WalkDataType]\nName = \"sheep_walking\"\n"
      "WalkAnimation = \"sheep_walk\", \"sheep_walk\", \"sheep_walk\", \"sheep_walk\", \"sheep_walk\", "
      "\"sheep_walk\"\nWalkSpeed = 5\nTurnFrames = \"sheep\", \"sheep\", 1, 2, 3, 4, 5, 6\n");

  WriteData(
      "ve_graphics\\creatures\\z_creature_descriptions.ini",
      "#define MAN 4\n"
      "[CreatureType]\nName = \"civilian\"\nGroup = \"Men\"\nMasterType = #MAN\nRemapName = \"Civil\"\n"
      "RemapRandom = 1, 1, \"Low\", 10\nWalkType = \"man_walking\", 0\nAnimation = \"man_idle\", 2000, 0\n"
      "[CreatureType]\nName = \"Man\"\nGroup = \"men\"\nMasterType = 4\nMasterType = 64\n"
      "WalkType = \"man_walking\", 0\nAnimation = \"man_idle\", 2000, 7\n"
      "AnimationX = \"man_walk_0\", \"man_walk_1\", \"man_walk_2\", \"man_walk_3\", \"man_walk_4\", "
      "\"man_walk_5\", 1000, 0\n"
      "AllowsJobType = 3, 5\nAllowsJobType = 7\nMasterJob = 12\nJobLevel = 2\nWalkRange = 40\n"
      "[CreatureType]\nName = \"Woman\"\nGroup = \"Women\"\nMasterType = 8\nRemapName = \"Player\"\n"
      "WalkType = \"woman_walking\", 0\nSize = 150\nForbidsJobType = 9\nEducatesJobType = 4\n"
      "[CreatureType]\nName = \"Soldier\"\nGroup = \"MEN\"\nMasterType = 4, 128\nMasterJob = 80\n"
      "WalkType = \"man_walking\", 0\nWalkType = \"woman_walking\", 3\n"
      "[CreatureType]\nName = \"Sheep\"\nGroup = \"Animals\"\nMasterType = 16\n"
      "WalkType = \"sheep_walking\", 0\nAnimation = \"sheep_walk\", 2000, 0\nDisableShading = 1\n");

  std::string sets;
  for (int p = 0; p < 10; ++p) {
    sets += "[RemapRandom]\nName = \"Player_" + std::to_string(p) +
            "_Color_Man\"\nRemapRandom = 2, 2, \"Blue\", 60, \"Red\", 40\n";
    sets += "[RemapRandom]\nName = \"Player_" + std::to_string(p) +
            "_Color_Woman\"\nRemapRandom = 3, 1, \"Red\", 1\n";
  }
  WriteData("ve_graphics\\creatures\\x_random_remaps.ini", sets);
}

VE_STATIC_DATA_MANAGER* StaticDataTest::Load() {
  return EnsureStaticData();
}

void StaticDataTest::Unload() {
  DestroyStaticData();
}

}  // namespace tl_test
