// The screensaver command line: every way the desktop (or a user) can start the program.
#include <gtest/gtest.h>

#include <string>

#include "shell/command_line.h"

namespace {

RunMode ModeOf(const char* commandLine) {
  return DecideRunMode(commandLine).mode;
}

TEST(CommandLine, ConfigureModeForNoLineAndEveryConfigureSpelling) {
  EXPECT_EQ(ModeOf(nullptr), RunMode::Configure);
  EXPECT_EQ(ModeOf(""), RunMode::Configure);
  EXPECT_EQ(ModeOf("/c"), RunMode::Configure);
  EXPECT_EQ(ModeOf("-c"), RunMode::Configure);
  EXPECT_EQ(ModeOf("/C"), RunMode::Configure);
  // The desktop's "configure with owner" form: the handle after the colon is not used.
  ParsedCommandLine parsed;
  ASSERT_TRUE(ParseCommandLine(parsed, "/c:1234"));
  EXPECT_TRUE(parsed.configureMode);
  EXPECT_STREQ(parsed.modeArgument, "");
}

TEST(CommandLine, SaverModeForAnyWordBeginningWithS) {
  for (const char* line : {"/s", "-S", "s", "S", "/saver", "screensaver now"}) {
    ParsedCommandLine parsed;
    ASSERT_TRUE(ParseCommandLine(parsed, line)) << line;
    EXPECT_FALSE(parsed.previewMode || parsed.configureMode || parsed.passwordMode) << line;
    EXPECT_EQ(DecideRunMode(parsed).mode, RunMode::Saver) << line;
  }
}

TEST(CommandLine, UnknownLettersEndSilently) {
  for (const char* line : {"/x", "x", "/", "-", " /s", "//s", "1"}) {
    ParsedCommandLine parsed;
    EXPECT_FALSE(ParseCommandLine(parsed, line)) << line;
    EXPECT_EQ(ModeOf(line), RunMode::None) << line;
  }
}

TEST(CommandLine, PasswordModeDoesNothing) {
  ParsedCommandLine parsed;
  ASSERT_TRUE(ParseCommandLine(parsed, "/a 5678"));
  EXPECT_TRUE(parsed.passwordMode);
  EXPECT_EQ(DecideRunMode(parsed).mode, RunMode::Password);
}

TEST(CommandLine, PreviewTakesTheParentHandleInDecimal) {
  RunDecision d = DecideRunMode("/p 123456");
  EXPECT_EQ(d.mode, RunMode::Preview);
  EXPECT_EQ(d.previewParent, 123456);
  // Without a usable handle the preview has nowhere to draw: the program ends.
  EXPECT_EQ(ModeOf("/p"), RunMode::None);
  EXPECT_EQ(ModeOf("/p 0"), RunMode::None);
  EXPECT_EQ(ModeOf("/p abc"), RunMode::None);
  EXPECT_EQ(ModeOf("/p "), RunMode::None);
  // atol stops at the first non-digit and skips leading blanks.
  EXPECT_EQ(DecideRunMode("/p   42xyz").previewParent, 42);
}

TEST(CommandLine, ModeArgumentKeepsItsCaseAndIsBounded) {
  ParsedCommandLine parsed;
  ASSERT_TRUE(ParseCommandLine(parsed, "/S Mixed Case Text"));
  EXPECT_STREQ(parsed.modeArgument, "Mixed Case Text");

  std::string longLine = "/p " + std::string(300, '7');
  ParsedCommandLine longParsed;
  ASSERT_TRUE(ParseCommandLine(longParsed, longLine.c_str()));
  EXPECT_EQ(std::string(longParsed.modeArgument), std::string(99, '7'));
  // A command line far beyond the work buffer is still decided by its first letter.
  std::string huge = "/s" + std::string(5000, 'q');
  EXPECT_EQ(ModeOf(huge.c_str()), RunMode::Saver);
}

TEST(CommandLine, AtolSemantics) {
  EXPECT_EQ(ParseDecimalLikeAtol(nullptr), 0);
  EXPECT_EQ(ParseDecimalLikeAtol(""), 0);
  EXPECT_EQ(ParseDecimalLikeAtol("  \t-17"), -17);
  EXPECT_EQ(ParseDecimalLikeAtol("+9"), 9);
  EXPECT_EQ(ParseDecimalLikeAtol("12 34"), 12);
  EXPECT_EQ(ParseDecimalLikeAtol("99999999999999999999999"), INT64_MAX);
  EXPECT_EQ(ParseDecimalLikeAtol("-99999999999999999999999"), INT64_MIN);
  EXPECT_EQ(ParseDecimalLikeAtol("9223372036854775807"), INT64_MAX);
}

TEST(CommandLine, SecondSaverStartQuitsOnlyForSlashS) {
  EXPECT_TRUE(SecondStartMustQuit(true, "/s"));
  EXPECT_TRUE(SecondStartMustQuit(true, "/S"));
  EXPECT_TRUE(SecondStartMustQuit(true, "/screensaver"));
  // Other spellings of saver mode, and every other mode, run regardless of the mutex.
  EXPECT_FALSE(SecondStartMustQuit(true, "s"));
  EXPECT_FALSE(SecondStartMustQuit(true, "-s"));
  EXPECT_FALSE(SecondStartMustQuit(true, "/c"));
  EXPECT_FALSE(SecondStartMustQuit(true, "/p 12"));
  EXPECT_FALSE(SecondStartMustQuit(true, nullptr));
  EXPECT_FALSE(SecondStartMustQuit(true, "/"));
  EXPECT_FALSE(SecondStartMustQuit(false, "/s"));
}

}  // namespace
