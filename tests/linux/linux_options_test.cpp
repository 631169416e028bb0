#include "shell/linux/linux_options.h"
#include "shell/settings.h"

#include <gtest/gtest.h>

#include <fstream>
#include <cstring>
#include <sstream>
#include <vector>
#include "tests/common/build_dirs.h"

namespace {

bool Parse(std::vector<const char*> args, LinuxOptions& o, const char* env = nullptr) {
  args.insert(args.begin(), "tillands");
  std::string error;
  return ParseLinuxArguments(static_cast<int>(args.size()), args.data(), env, o, error);
}

TEST(LinuxOptions, ModesFromTheCommandLine) {
  LinuxOptions o;
  ASSERT_TRUE(Parse({}, o));
  EXPECT_EQ(o.kind, LinuxRunKind::FullScreen);
  ASSERT_TRUE(Parse({"--window"}, o));
  EXPECT_EQ(o.kind, LinuxRunKind::Window);
  EXPECT_EQ(o.windowWidth, 1280);
  ASSERT_TRUE(Parse({"--window", "800x600", "--seed", "5"}, o));
  EXPECT_EQ(o.kind, LinuxRunKind::Window);
  EXPECT_EQ(o.windowWidth, 800);
  EXPECT_EQ(o.windowHeight, 600);
  EXPECT_EQ(o.seed.value(), 5u);
  // The lowest value of each range is taken, and a size after another option is still the window's.
  ASSERT_TRUE(Parse({"--wm-fullscreen", "--window", "32x32", "--seed", "0", "--fps", "1"}, o));
  EXPECT_EQ(o.windowWidth, 32);
  EXPECT_EQ(o.windowHeight, 32);
  EXPECT_EQ(o.seed.value(), 0u);
  EXPECT_EQ(o.frameRate.value(), 1u);
  // The headless renderer parses its own options, wherever --headless stands.
  ASSERT_TRUE(Parse({"--size", "10x10", "--headless"}, o));
  EXPECT_EQ(o.kind, LinuxRunKind::Headless);
  ASSERT_TRUE(Parse({"--version"}, o));
  EXPECT_EQ(o.kind, LinuxRunKind::Version);
  ASSERT_TRUE(Parse({"-help"}, o));
  EXPECT_EQ(o.kind, LinuxRunKind::Help);
  ASSERT_TRUE(Parse({"--add-to-xscreensaver"}, o));
  EXPECT_EQ(o.kind, LinuxRunKind::AddToXScreenSaver);
  ASSERT_TRUE(Parse({"--remove-from-xscreensaver"}, o));
  EXPECT_EQ(o.kind, LinuxRunKind::RemoveFromXScreenSaver);
  ASSERT_TRUE(Parse({"--save-settings", "--sound", "off"}, o));
  EXPECT_EQ(o.kind, LinuxRunKind::SaveSettings);
}

TEST(LinuxOptions, XScreenSaverConventions) {
  LinuxOptions o;
  for (const char* root : {"-root", "--root"}) {
    ASSERT_TRUE(Parse({root}, o));
    EXPECT_EQ(o.kind, LinuxRunKind::Hack);
    EXPECT_TRUE(o.root);
    EXPECT_EQ(o.windowId, 0u);
  }
  ASSERT_TRUE(Parse({"-window-id", "0x1a00007"}, o));
  EXPECT_EQ(o.windowId, 0x1a00007u);
  ASSERT_TRUE(Parse({"--window-id", "27262983"}, o));
  EXPECT_EQ(o.windowId, 27262983u);
  // XScreenSaver passes --root and names its own window in the environment: the window wins.
  ASSERT_TRUE(Parse({"--root"}, o, "0x400001"));
  EXPECT_EQ(o.kind, LinuxRunKind::Hack);
  EXPECT_EQ(o.windowId, 0x400001u);
  // An explicit id wins over the environment.
  ASSERT_TRUE(Parse({"--window-id", "0x99"}, o, "0x400001"));
  EXPECT_EQ(o.windowId, 0x99u);
  // The environment alone makes a hack; a window asked for is never one.
  ASSERT_TRUE(Parse({}, o, "4194305"));
  EXPECT_EQ(o.kind, LinuxRunKind::Hack);
  ASSERT_TRUE(Parse({"--window"}, o, "4194305"));
  EXPECT_EQ(o.kind, LinuxRunKind::Window);
  // -fps alone shows the rate; with a number it sets it.
  ASSERT_TRUE(Parse({"--root", "-fps"}, o));
  EXPECT_TRUE(o.showFps);
  EXPECT_FALSE(o.frameRate.has_value());
  ASSERT_TRUE(Parse({"--fps", "20", "--root"}, o));
  EXPECT_FALSE(o.showFps);
  EXPECT_EQ(o.frameRate.value(), 20u);
  ASSERT_TRUE(Parse({"--frame-rate", "15", "--fps"}, o));
  EXPECT_TRUE(o.showFps);
  EXPECT_EQ(o.frameRate.value(), 15u);
}

TEST(LinuxOptions, SettingsOptions) {
  LinuxOptions o;
  ASSERT_TRUE(Parse({"--animations", "55", "--sound", "off", "--scale", "auto", "--data", "/x"}, o));
  EXPECT_EQ(o.animations.value(), 55u);
  EXPECT_FALSE(o.sound.value());
  EXPECT_EQ(o.scale.value(), 0u);
  EXPECT_EQ(o.dataDir, "/x");
  ASSERT_TRUE(Parse({"-scale", "3", "-sound", "on", "--monitors", "span"}, o));
  EXPECT_EQ(o.scale.value(), 3u);
  EXPECT_TRUE(o.sound.value());
  EXPECT_EQ(o.monitors.value(), uint32_t(kMonitorsSpan));
  ASSERT_TRUE(Parse({"-monitors", "each"}, o));
  EXPECT_EQ(o.monitors.value(), uint32_t(kMonitorsEach));
  ASSERT_TRUE(Parse({}, o));
  EXPECT_FALSE(o.animations || o.sound || o.scale || o.frameRate || o.seed || o.monitors);
}

TEST(LinuxOptions, BadInputIsRefusedWithAReason) {
  LinuxOptions o;
  std::string error;
  const std::vector<std::vector<const char*>> bad = {
      {"tillands", "--window-id", "0x"}, {"tillands", "--window-id", "12ab"},
      {"tillands", "--window-id", "0"},  {"tillands", "--window-id", "0x100000000"},
      {"tillands", "--window-id"},       {"tillands", "--fps", "0"},
      {"tillands", "--fps", "1001"},     {"tillands", "--sound", "yes"},
      {"tillands", "--scale", "4"},      {"tillands", "--seed", "-1"},
      {"tillands", "--window", "800"},   {"tillands", "--window", "10x10"},
      {"tillands", "--bogus"},           {"tillands", "--data", ""},
      {"tillands", "--monitors", "1"},   {"tillands", "--monitors"},
  };
  for (const auto& args : bad) {
    error.clear();
    EXPECT_FALSE(ParseLinuxArguments(static_cast<int>(args.size()), args.data(), nullptr, o, error))
        << args[1] << " " << (args.size() > 2 ? args[2] : "");
    EXPECT_FALSE(error.empty());
  }
  // A value outside its documented range is refused with the range, as in the headless renderer.
  const char* many[] = {"tillands", "--animations", "100000"};
  EXPECT_FALSE(ParseLinuxArguments(3, many, nullptr, o, error));
  EXPECT_EQ(error, "bad --animations '100000': expected 10..100");
  const char* few[] = {"tillands", "-animations", "9"};
  EXPECT_FALSE(ParseLinuxArguments(3, few, nullptr, o, error));
  EXPECT_EQ(error, "bad -animations '9': expected 10..100");

  const char* args[] = {"tillands"};
  EXPECT_FALSE(ParseLinuxArguments(1, args, "garbage", o, error));
  EXPECT_NE(error.find("XSCREENSAVER_WINDOW"), std::string::npos);
}

}  // namespace

namespace {

// Every argument the settings description (tillands.xml) can hand to the hack goes through the parser
// and changes what it should: XScreenSaver shows a hack whose options fail as a crash.
TEST(LinuxOptions, EveryArgumentOfTheSettingsDescriptionParses) {
  std::ifstream in(tl_test::SourceDir() + "/shell/linux/install/tillands.xml");
  std::stringstream all;
  all << in.rdbuf();
  const std::string xml = all.str();
  ASSERT_FALSE(xml.empty());
  // The values of the arg, arg-set and arg-unset attributes, each with where its attribute stands.
  std::vector<std::pair<std::string, size_t>> attributes;
  for (size_t at = 0; (at = xml.find("=\"", at)) != std::string::npos; at += 2) {
    const size_t before = xml.find_last_of(" \t\n", at);
    const std::string name = xml.substr(before + 1, at - before - 1);
    if (name != "arg" && name != "arg-set" && name != "arg-unset") continue;
    const size_t end = xml.find('"', at + 2);
    ASSERT_NE(end, std::string::npos);
    attributes.emplace_back(xml.substr(at + 2, end - at - 2), before);
  }
  // The number after NAME=" from `from` on.
  auto number = [&](const char* name, size_t from) {
    const size_t at = xml.find(std::string(name) + "=\"", from);
    return at == std::string::npos ? std::string()
                                   : xml.substr(at + strlen(name) + 2,
                                                xml.find('"', at + strlen(name) + 2) - at - strlen(name) - 2);
  };
  size_t seen = 0;
  for (const auto& [value, position] : attributes) {
    // A slider's "%" takes both ends of its range.
    std::vector<std::string> values = {value};
    const size_t percent = value.find('%');
    if (percent != std::string::npos) {
      const std::string low = number("low", position), high = number("high", position);
      ASSERT_FALSE(low.empty() || high.empty()) << value;
      values = {value.substr(0, percent) + low, value.substr(0, percent) + high};
    }
    for (const std::string& v : values) {
      std::vector<std::string> words = {"--root"};
      std::istringstream split(v);
      for (std::string w; split >> w;)
        if (w != "--root") words.push_back(w);
      std::vector<const char*> args;
      for (const std::string& w : words) args.push_back(w.c_str());
      LinuxOptions o;
      ASSERT_TRUE(Parse(args, o)) << v;
      EXPECT_EQ(o.kind, LinuxRunKind::Hack) << v;
      const bool changed = o.showFps || o.animations || o.frameRate || o.sound || o.scale;
      EXPECT_EQ(changed, words.size() > 1) << v;
      ++seen;
    }
  }
  EXPECT_GE(seen, 9u);  // the command, two sliders at both ends, sound, three sizes, the frame rate
  LinuxOptions o;
  ASSERT_TRUE(Parse({"--root", "--sound", "on"}, o));
  EXPECT_EQ(o.sound, std::optional<bool>(true));
}

}  // namespace
