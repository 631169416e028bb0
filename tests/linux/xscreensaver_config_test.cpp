#include "shell/linux/xscreensaver_config.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "tests/common/temp_dir.h"

namespace {

const char* const kUserConfig =
    "# XScreenSaver Preferences File\n"
    "timeout:\t0:10:00\n"
    "mode:\t\trandom\n"
    "selected:\t1\n"
    "programs:\t\t\t\t\t\t\t\t      \\\n"
    "\t\t\t\tmaze --root\t\t\t\t    \\n\\\n"
    "- GL: \t\t\t\tsuperquadrics --root\t\t\t    \\n\\\n"
    "\t\t\t\tattraction --root\t\t\t    \\n\n"
    "\n"
    "pointerHysteresis:\t10\n";

// The entries of the programs list as XScreenSaver reads them: the continued resource joined, split
// at "\n".
std::vector<std::string> Entries(const std::string& config) {
  std::string value;
  size_t at = config.find("\nprograms:");
  at = config.find(':', at) + 1;
  for (;;) {
    size_t end = config.find('\n', at);
    std::string line = config.substr(at, end - at);
    const bool more = !line.empty() && line.back() == '\\';
    if (more) line.pop_back();
    value += line;
    if (!more || end == std::string::npos) break;
    at = end + 1;
  }
  std::vector<std::string> entries;
  size_t start = 0;
  for (size_t p; (p = value.find("\\n", start)) != std::string::npos; start = p + 2) {
    std::string e = value.substr(start, p - start);
    e.erase(0, e.find_first_not_of(" \t"));
    e.erase(e.find_last_not_of(" \t") + 1);
    if (!e.empty()) entries.push_back(e);
  }
  return entries;
}

TEST(XScreenSaverConfig, AppendsOnceAndKeepsEverythingElse) {
  const std::string once = AddTillandsToXScreenSaverConfig(kUserConfig, "");
  const std::vector<std::string> entries = Entries(once);
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0], "maze --root");  // "selected: 1" still names superquadrics
  EXPECT_EQ(entries[1], "- GL: \t\t\t\tsuperquadrics --root");
  EXPECT_EQ(entries[3], "tillands --root");
  EXPECT_NE(once.find("pointerHysteresis:\t10\n"), std::string::npos);
  EXPECT_NE(once.find("selected:\t1\n"), std::string::npos);
  EXPECT_TRUE(XScreenSaverConfigHasTillands(once));
  EXPECT_EQ(AddTillandsToXScreenSaverConfig(once, ""), once);
}

TEST(XScreenSaverConfig, ListsOfOtherShapes) {
  EXPECT_FALSE(XScreenSaverConfigHasTillands(kUserConfig));
  // A hack whose name merely contains the word is not ours.
  EXPECT_FALSE(XScreenSaverConfigHasTillands("programs: \\\n  tillandsia --root \\n\n"));
  // An empty list.
  const std::string empty = AddTillandsToXScreenSaverConfig("mode: one\nprograms:\nlock: False\n", "");
  EXPECT_EQ(Entries(empty), std::vector<std::string>{"tillands --root"});
  EXPECT_NE(empty.find("lock: False"), std::string::npos);
  // No list of the user's own: the system's list is kept in front of ours.
  const std::string defaults =
      "*mode: random\n*programs:\t\\\n\t\tmaze --root\t\\n\\\n\t\thelix --root\t\\n\n*x: 1\n";
  const std::string fresh = AddTillandsToXScreenSaverConfig("mode: one\n", defaults);
  EXPECT_EQ(Entries(fresh), (std::vector<std::string>{"maze --root", "helix --root", "tillands --root"}));
  EXPECT_EQ(fresh.find("*"), std::string::npos);
}

// An entry the user switched off ("-" in front) is no entry that runs: adding switches it on where it
// stands, removing takes it (and only it) out.
TEST(XScreenSaverConfig, SwitchedOffEntriesAndRemoval) {
  const std::string off =
      "selected: 1\nprograms:\t\\\n\t\tmaze --root\t\\n\\\n-\t\t/usr/bin/tillands --root\t\\n\\\n"
      "- GL:\t\tgears --root\t\\n\nlock: False\n";
  EXPECT_EQ(FindTillandsInXScreenSaverConfig(off), XScreenSaverEntry::Disabled);
  EXPECT_FALSE(XScreenSaverConfigHasTillands(off));
  const std::string on = AddTillandsToXScreenSaverConfig(off, "");
  EXPECT_EQ(Entries(on),
            (std::vector<std::string>{"maze --root", "/usr/bin/tillands --root", "- GL:\t\tgears --root"}));
  EXPECT_EQ(FindTillandsInXScreenSaverConfig(on), XScreenSaverEntry::Enabled);

  for (const std::string& config : {off, on}) {
    const std::string removed = RemoveTillandsFromXScreenSaverConfig(config);
    EXPECT_EQ(Entries(removed), (std::vector<std::string>{"maze --root", "- GL:\t\tgears --root"}));
    EXPECT_EQ(FindTillandsInXScreenSaverConfig(removed), XScreenSaverEntry::Absent);
    EXPECT_NE(removed.find("lock: False\n"), std::string::npos);
  }
  // Ours last, on the first line, or alone: the list stays well formed.
  const std::string added = AddTillandsToXScreenSaverConfig(kUserConfig, "");
  EXPECT_EQ(RemoveTillandsFromXScreenSaverConfig(added), kUserConfig);
  EXPECT_EQ(
      Entries(RemoveTillandsFromXScreenSaverConfig("x: 1\nprograms: tillands --root \\n\\\n  maze \\n\n")),
      std::vector<std::string>{"maze"});
  EXPECT_TRUE(Entries(RemoveTillandsFromXScreenSaverConfig("x: 1\nprograms: tillands --root \\n\n")).empty());
}

TEST(XScreenSaverConfig, FileEditIsAtomicAndIdempotent) {
  tl_test::TempDir dir;
  const std::string path = dir.WriteText("home/.xscreensaver", kUserConfig);
  chmod(path.c_str(), 0600);
  std::string error;
  ASSERT_EQ(AddTillandsToXScreenSaverFile(path, "", error), 0) << error;
  const std::string after = dir.ReadText("home/.xscreensaver");
  EXPECT_TRUE(XScreenSaverConfigHasTillands(after));
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(AddTillandsToXScreenSaverFile(path, "", error), 1);
  EXPECT_EQ(dir.ReadText("home/.xscreensaver"), after);
  // No temporary file is left behind.
  size_t files = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.File("home"))) files += e.is_regular_file();
  EXPECT_EQ(files, 1u);
  // A link stays a link; its target is edited.
  dir.WriteText("real/xss", "mode: one\nprograms: \\\n  maze --root \\n\n");
  std::filesystem::create_symlink(dir.File("real/xss"), dir.File("home/link"));
  ASSERT_EQ(AddTillandsToXScreenSaverFile(dir.File("home/link"), "", error), 0) << error;
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("home/link")));
  EXPECT_TRUE(XScreenSaverConfigHasTillands(dir.ReadText("real/xss")));
  // A directory that cannot be written into: an error, the file untouched.
  const std::string locked = dir.WriteText("locked/.xscreensaver", kUserConfig);
  chmod(dir.File("locked").c_str(), 0500);
  if (access(dir.File("locked").c_str(), W_OK) != 0) {  // root can write anyway
    EXPECT_EQ(AddTillandsToXScreenSaverFile(locked, "", error), -1);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(dir.ReadText("locked/.xscreensaver"), kUserConfig);
  }
  chmod(dir.File("locked").c_str(), 0700);
  // Removal edits the same way; a second removal changes nothing.
  ASSERT_EQ(RemoveTillandsFromXScreenSaverFile(path, error), 0) << error;
  EXPECT_EQ(dir.ReadText("home/.xscreensaver"), kUserConfig);
  EXPECT_EQ(RemoveTillandsFromXScreenSaverFile(path, error), 1);
}

}  // namespace
