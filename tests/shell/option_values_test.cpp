// Command-line numbers: one rule for every program. A value outside its documented range is refused,
// and the message names the option, the text given and the range.
#include "shell/option_values.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "shell/version.h"
#include "tests/common/build_dirs.h"

namespace {

TEST(OptionNumbers, TheEndsOfTheRangeAreTakenAndEverythingElseIsRefusedWithTheRange) {
  uint64_t value = 0;
  std::string error;
  ASSERT_TRUE(ParseOptionNumber("--animations", "10", 10, 100, value, error));
  EXPECT_EQ(value, 10u);
  ASSERT_TRUE(ParseOptionNumber("--animations", "100", 10, 100, value, error));
  EXPECT_EQ(value, 100u);
  ASSERT_TRUE(ParseOptionNumber("--seed", "4294967295", 0, 0xFFFFFFFFull, value, error));
  EXPECT_EQ(value, 4294967295u);

  for (const char* text :
       {"9", "101", "100000", "-50", "+50", " 50", "50 ", "5x", "", "0x20", "99999999999999999999999"}) {
    value = 77;
    EXPECT_FALSE(ParseOptionNumber("--animations", text, 10, 100, value, error)) << "'" << text << "'";
    EXPECT_EQ(error, std::string("bad --animations '") + text + "': expected 10..100");
    EXPECT_EQ(value, 77u) << "a refused value changes nothing";
  }
  EXPECT_FALSE(ParseOptionNumber("--fps", nullptr, 1, 1000, value, error));
  EXPECT_EQ(error, "bad --fps '': expected 1..1000");

  int scale = 0;
  ASSERT_TRUE(ParseOptionNumber("--scale", "8", 1, 8, scale, error));
  EXPECT_EQ(scale, 8);
  EXPECT_FALSE(ParseOptionNumber("--scale", "9", 1, 8, scale, error));
  EXPECT_EQ(error, "bad --scale '9': expected 1..8");
}

// The version the programs print is the one set in the top CMakeLists.txt.
TEST(Version, IsTheProjectVersion) {
  std::ifstream in(tl_test::SourceDir() + "/CMakeLists.txt");
  std::stringstream text;
  text << in.rdbuf();
  const std::string s = text.str();
  const std::string key = "project(Tillands VERSION ";
  const size_t at = s.find(key);
  ASSERT_NE(at, std::string::npos);
  const size_t end = s.find_first_not_of("0123456789.", at + key.size());
  EXPECT_EQ(std::string(kTillandsVersion), s.substr(at + key.size(), end - at - key.size()));
}

}  // namespace
