// The headless saver end to end on a synthetic world, and its command line.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "base/xb_error.h"
#include "shell/headless_run.h"
#include "shell/version.h"
#include "tests/common/synthetic_world.h"
#include "tests/common/build_dirs.h"
#include "tests/common/temp_dir.h"

namespace {

struct Recording {
  std::vector<uint64_t> hashes;  // FNV-1a of indices and colours per frame
  std::vector<uint64_t> ticks;
  HeadlessSummary summary;
};

Recording RunRecorded(const HeadlessOptions& options) {
  Recording r;
  r.summary = RunHeadless(options, [&](const HeadlessFrame& f) {
    const uint64_t h = tl_test::HashBytes(f.indices, size_t(f.width) * f.height);
    r.hashes.push_back(tl_test::HashBytes(f.colours, 768, h));
    r.ticks.push_back(f.tick);
    return true;
  });
  return r;
}

class HeadlessRun : public ::testing::Test {
 protected:
  void SetUp() override {
    tl_test::SyntheticWorldOptions world;
    world.withLogo = true;
    tl_test::WriteSyntheticWorld(dir.Path().string(), world);
    options.dataDir = dir.Path().string();
    options.width = 640;
    options.height = 480;
    options.fps = 25;
    options.seed = 99;
  }
  tl_test::TempDir dir;
  HeadlessOptions options;
};

TEST_F(HeadlessRun, SameSeedGivesTheSameFramesThroughAPhaseSwitch) {
  // 10 s intro + 180 s scenes + wind-down: the text page has come by 215 s.
  options.seconds = 215;
  options.progress = false;
  const auto cwd = std::filesystem::current_path();
  Recording a = RunRecorded(options);
  EXPECT_EQ(std::filesystem::current_path(), cwd);  // the run goes back where it started
  ASSERT_TRUE(a.summary.started) << a.summary.stopReason;
  EXPECT_TRUE(a.summary.stopReason.empty()) << a.summary.stopReason;
  EXPECT_EQ(a.summary.ticks, 5375u);  // 215 s at 40 ms
  EXPECT_EQ(a.hashes.size(), a.summary.ticks);
  EXPECT_EQ(a.summary.framesPresented, a.summary.ticks);
  EXPECT_TRUE(a.summary.introOver);
  EXPECT_GE(a.summary.phaseSwitches, 1u) << FormatHeadlessSummary(a.summary);
  uint32_t scenes = 0;
  for (uint32_t n : a.summary.scenesStarted) scenes += n;
  EXPECT_GT(scenes, 1u);
  EXPECT_GT(a.summary.soundCuesRequested, 0u);  // at least "dummy"
  EXPECT_EQ(a.summary.soundCuesRequested,
            a.summary.soundsPlayed + a.summary.soundsDropped + a.summary.soundsMissing);

  Recording b = RunRecorded(options);
  EXPECT_EQ(a.hashes, b.hashes);
  EXPECT_EQ(FormatHeadlessSummary(a.summary), FormatHeadlessSummary(b.summary));

  // Another seed: other scenes from the first frames after the intro on.
  options.seed = 100;
  options.seconds = 0;
  options.frames = 400;
  Recording c = RunRecorded(options);
  ASSERT_EQ(c.hashes.size(), 400u);
  EXPECT_FALSE(std::equal(c.hashes.begin(), c.hashes.end(), a.hashes.begin()));
}

TEST_F(HeadlessRun, SoundOffRequestsNothingAndFramesCount) {
  options.frames = 30;
  options.sound = false;
  Recording r = RunRecorded(options);
  EXPECT_EQ(r.summary.ticks, 30u);
  EXPECT_EQ(r.summary.simulatedMs, 1200u);
  EXPECT_EQ(r.summary.soundCuesRequested, 0u);
  EXPECT_EQ(r.ticks.front(), 0u);
  EXPECT_EQ(r.ticks.back(), 29u);
}

TEST_F(HeadlessRun, BadDataDirectoriesStopBeforeTheFirstFrame) {
  options.frames = 5;
  options.dataDir = (dir.Path() / "nowhere").string();
  Recording r = RunRecorded(options);
  EXPECT_FALSE(r.summary.started);
  EXPECT_NE(r.summary.stopReason.find("does not exist"), std::string::npos);
  EXPECT_TRUE(r.hashes.empty());

  // Without a "shadow" remap table the saver quits after its first frame.
  dir.WriteText("Data_V/VE_Graphics/remaptables/remaptables.ini",
                "[RemapTable]\nName = \"Identity\"\nFileName = \"identity.bmp\"\n");
  options.dataDir = dir.Path().string();
  r = RunRecorded(options);
  EXPECT_TRUE(r.summary.started);
  EXPECT_EQ(r.summary.ticks, 1u);
  EXPECT_NE(r.summary.stopReason.find("shadow"), std::string::npos);
  // Both are failed runs (the program ends with a non-zero status), not short ones.
  EXPECT_TRUE(r.summary.failed);
  options.dataDir = (dir.Path() / "nowhere").string();
  EXPECT_TRUE(RunRecorded(options).summary.failed);
}

TEST_F(HeadlessRun, TheProgramEndsAFailedStartWithAStatusAndTheReasonAndKeepsNoOutput) {
  // The Linux program carries the renderer behind --headless; elsewhere it is the renderer alone.
  std::string program = tl_test::BinaryDir() + "/shell/linux/tillands";
  if (!std::filesystem::exists(program)) program = tl_test::BinaryDir() + "/shell/headless/tillands";
  if (!std::filesystem::exists(program)) GTEST_SKIP() << "no tillands program in " << tl_test::BinaryDir();
  dir.WriteText("Data_V/VE_Graphics/remaptables/remaptables.ini",
                "[RemapTable]\nName = \"Identity\"\nFileName = \"identity.bmp\"\n");
  tl_test::TempDir out;
  const std::string command = "'" + program + "' --headless --data '" + dir.Path().string() +
                              "' --frames 5 --size 320x200 --gif '" + out.File("run.gif") + "' 2>'" +
                              out.File("err.txt") + "' >/dev/null";
  const int raw = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(raw));
  EXPECT_NE(WEXITSTATUS(raw), 0);
  EXPECT_NE(out.ReadText("err.txt").find("shadow"), std::string::npos) << out.ReadText("err.txt");
  EXPECT_FALSE(out.Exists("run.gif"));
  std::filesystem::remove(out.File("err.txt"));
  EXPECT_TRUE(std::filesystem::is_empty(out.Path()));  // no temporary file either
}

TEST(HeadlessProgram, PrintsItsVersionAndWritesFramesFromTheGivenSecondOn) {
  const std::string program = tl_test::BinaryDir() + "/shell/linux/tillands";
  const std::string world = tl_test::BinaryDir() + "/world/Tillands";
  if (!std::filesystem::exists(program) || !std::filesystem::is_directory(world))
    GTEST_SKIP() << "no tillands program or demo world in " << tl_test::BinaryDir();
  tl_test::TempDir out;
  ASSERT_EQ(
      std::system(("'" + program + "' --headless --version >'" + out.File("version.txt") + "'").c_str()), 0);
  EXPECT_EQ(out.ReadText("version.txt"), std::string("tillands ") + kTillandsVersion + "\n");
  // 17 ticks (0..16); from 1 s on (tick 13 at 83 ms a tick), every second frame: ticks 13 and 15.
  const std::string run = "'" + program + "' --headless --data '" + world +
                          "' --seed 1 --size 64x48 --frames 17 --from 1 --every 2 --quiet --png '" +
                          out.File("frames") + "' 2>/dev/null";
  ASSERT_EQ(std::system(run.c_str()), 0);
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(out.File("frames")))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"frame_000013.png", "frame_000015.png"}));
}

TEST_F(HeadlessRun, ADataDirectoryRemovedWhileRunningGivesACleanEnd) {
  // Everything the saver needs is read at its start; a directory removed afterwards (a network
  // drive gone, a world being regenerated) must neither crash the run nor go unreported.
  options.frames = 200;
  const XB_FatalMode mode = XB_GetFatalMode();
  XB_SetFatalMode(XB_FatalMode::Throw);
  HeadlessSummary s;
  std::string fatal;
  try {
    s = RunHeadless(options, [&](const HeadlessFrame& f) {
      if (f.tick == 3) std::filesystem::remove_all(dir.Path());
      return true;
    });
  } catch (const XB_FATAL_EXCEPTION& e) {
    fatal = e.what();
  }
  XB_SetFatalMode(mode);
  if (fatal.empty()) {
    EXPECT_EQ(s.ticks, 200u);
    EXPECT_FALSE(s.failed) << s.stopReason;
  } else {
    EXPECT_NE(fatal.find("errno 2"), std::string::npos) << fatal;  // names the missing file
  }
}

TEST_F(HeadlessRun, AnOutputFailureStopsTheRun) {
  options.frames = 10;
  HeadlessSummary s = RunHeadless(options, [](const HeadlessFrame& f) { return f.tick < 3; });
  EXPECT_EQ(s.ticks, 4u);
  EXPECT_EQ(s.stopReason, "writing the output failed");
}

// The demo world generated into the build tree, when this build made it.
TEST(HeadlessDemoWorld, RunsThroughTheIntroIntoTheScenesTheSameWayTwice) {
  const std::filesystem::path world = std::filesystem::path(tl_test::BinaryDir()) / "world" / "Tillands";
  if (!std::filesystem::is_directory(world)) GTEST_SKIP() << "no demo world in " << world;
  HeadlessOptions options;
  options.dataDir = world.string();
  options.width = 640;
  options.height = 480;
  options.seconds = 30;
  options.seed = 7;
  options.progress = false;
  Recording a = RunRecorded(options);
  ASSERT_TRUE(a.summary.started) << a.summary.stopReason;
  EXPECT_TRUE(a.summary.stopReason.empty()) << a.summary.stopReason;
  EXPECT_TRUE(a.summary.introOver);
  EXPECT_GT(a.summary.activitiesAlive, 0u);
  EXPECT_GT(a.summary.soundCuesRequested, 0u);
  Recording b = RunRecorded(options);
  EXPECT_EQ(a.hashes, b.hashes);
}

int Parse(std::vector<const char*> args, HeadlessOptions& options, std::string& error) {
  args.insert(args.begin(), "tillands");
  return ParseHeadlessArguments(int(args.size()), args.data(), options, error, "/default/world");
}

// GIF delays are whole hundredths: each carries the rounding of the ones before, so a GIF of frames
// 83 ms apart (12 fps) plays 12 frames in 0.996 s, not 0.96 s (8 each) or 1.08 s (9 each).
TEST(HeadlessGif, FrameDelaysAddUpToTheSimulatedTime) {
  for (uint64_t period : {83ull, 249ull, 40ull, 1000ull, 33ull}) {
    GifFrameDelays delays(period);
    uint64_t sum = 0;
    for (uint64_t n = 1; n <= 1000; ++n) {
      const int d = delays.Next();
      EXPECT_GE(d, 2);
      sum += uint64_t(d);
      // Never more than half a hundredth off the simulated time.
      EXPECT_LE(std::llabs(int64_t(sum * 10) - int64_t(n * period)), 5) << period << " " << n;
    }
    EXPECT_EQ(delays.ShownHundredths(), sum);
  }
  // Shorter than players show: each at least 2, the GIF runs slow rather than at random speed.
  GifFrameDelays fast(10);
  for (int n = 0; n < 10; ++n) EXPECT_EQ(fast.Next(), 2);
}

TEST(HeadlessArguments, DefaultsAndValues) {
  HeadlessOptions o;
  std::string error;
  ASSERT_EQ(Parse({"--headless", "--seed", "7"}, o, error), 0) << error;
  EXPECT_EQ(o.dataDir, "/default/world");
  EXPECT_EQ(o.width, 1280);
  EXPECT_EQ(o.height, 720);
  EXPECT_EQ(o.fps, 12);
  EXPECT_EQ(o.TickMs(), 83u);
  EXPECT_EQ(o.TickCount(), 723u);  // 60 s / 83 ms, rounded
  EXPECT_EQ(o.seed, 7u);
  EXPECT_TRUE(o.sound);
  EXPECT_TRUE(o.progress);

  ASSERT_EQ(Parse({"--headless", "--data",       "w",     "--size",  "640x480", "--frames", "12",  "--fps",
                   "1000",       "--animations", "55",    "--sound", "off",     "--png",    "out", "--every",
                   "3",          "--gif",        "a.gif", "--raw",   "--quiet"},
                  o, error),
            0)
      << error;
  EXPECT_EQ(o.dataDir, "w");
  EXPECT_EQ(o.width, 640);
  EXPECT_EQ(o.TickCount(), 12u);
  EXPECT_EQ(o.TickMs(), 1u);
  EXPECT_EQ(o.animations, 55u);
  EXPECT_FALSE(o.sound);
  EXPECT_TRUE(std::filesystem::path(o.pngDir).is_absolute());  // fixed before the saver changes directory
  EXPECT_TRUE(std::filesystem::path(o.gifFile).is_absolute());
  EXPECT_EQ(o.every, 3u);
  EXPECT_TRUE(o.raw);
  EXPECT_FALSE(o.progress);

  EXPECT_EQ(Parse({"--help"}, o, error), 2);
  EXPECT_NE(error.find("usage: tillands --headless"), std::string::npos);
}

TEST(HeadlessArguments, BadInputIsNamed) {
  const std::vector<std::vector<const char*>> bad = {
      {},
      {"--headless", "--size", "100"},
      {"--headless", "--size", "10x10"},
      {"--headless", "--size", "9000x100"},
      {"--headless", "--size", "-5x100"},
      {"--headless", "--fps", "0"},
      {"--headless", "--fps", "1001"},
      {"--headless", "--fps", "12fps"},
      {"--headless", "--seconds", "0"},
      {"--headless", "--seconds", "nan"},
      {"--headless", "--frames", "0"},
      {"--headless", "--frames", "5", "--seconds", "5"},
      {"--headless", "--seed", "-1"},
      {"--headless", "--seed", "4294967296"},
      {"--headless", "--sound", "loud"},
      {"--headless", "--every", "0"},
      {"--headless", "--animations", "9"},
      {"--headless", "--animations", "101"},
      {"--headless", "--from", "-1"},
      {"--headless", "--png"},
      {"--headless", "--bogus"},
      {"--headless", "--data", ""},
  };
  for (const auto& args : bad) {
    HeadlessOptions o;
    std::string error;
    EXPECT_EQ(Parse(args, o, error), 1) << (args.size() > 1 ? args[1] : "(none)");
    EXPECT_FALSE(error.empty());
  }
  HeadlessOptions o;
  std::string error;
  Parse({"--headless", "--fps", "0"}, o, error);
  EXPECT_EQ(error, "bad --fps '0': expected 1..1000");
  // The same words as the Linux saver and the toolkit: the documented range, not a silent clamp.
  Parse({"--headless", "--animations", "100000"}, o, error);
  EXPECT_EQ(error, "bad --animations '100000': expected 10..100");
}

TEST(HeadlessArguments, VersionAndFirstWrittenFrame) {
  HeadlessOptions o;
  std::string error;
  EXPECT_EQ(Parse({"--headless", "--version"}, o, error), 2);
  EXPECT_EQ(error, std::string("tillands ") + kTillandsVersion + "\n");
  // --from counts whole ticks, rounded up: 83 ms at 12 fps, so 1 s is tick 13 (1079 ms).
  ASSERT_EQ(Parse({"--headless", "--from", "1"}, o, error), 0) << error;
  EXPECT_EQ(o.FirstWrittenTick(), 13u);
  ASSERT_EQ(Parse({"--headless"}, o, error), 0) << error;
  EXPECT_EQ(o.FirstWrittenTick(), 0u);
}

}  // namespace
