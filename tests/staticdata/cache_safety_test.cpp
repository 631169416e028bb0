// The caches beside the descriptions under hostile conditions: many savers starting at once on one
// data directory, a directory that cannot be written, a full disk, unreadable files.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "base/platform/xb_platform.h"
#include "base/xb_error.h"
#include "tests/common/fatal_test.h"
#include "tests/staticdata/static_data_fixture.h"

namespace {

using tl_test::StaticDataTest;
using xb_platform::FaultKind;

class CacheSafetyTest : public StaticDataTest {
 protected:
  void TearDown() override {
    xb_platform::ClearFaults();
    StaticDataTest::TearDown();
  }
  // Every cache (.cif, .cdf) and every left-over temporary file below the data directory, by path.
  std::map<std::string, std::vector<uint8_t>> Caches(std::vector<std::string>* temporaries = nullptr) {
    std::map<std::string, std::vector<uint8_t>> caches;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.Path())) {
      if (!entry.is_regular_file()) continue;
      std::string ext = entry.path().extension().string();
      for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      const std::string path = std::filesystem::relative(entry.path(), dir.Path()).string();
      if (ext == ".tmp" && temporaries) temporaries->push_back(path);
      if (ext == ".cif" || ext == ".cdf") caches[path] = dir.Read(path);
    }
    return caches;
  }
  void RemoveCaches() {
    for (const auto& [path, bytes] : Caches()) std::filesystem::remove(dir.Path() / path);
  }
};

TEST_F(CacheSafetyTest, ParallelStartsOnAFreshWorldNeverReadHalfACache) {
  WriteStandardSet();
  Load();
  Unload();
  const auto reference = Caches();
  ASSERT_GE(reference.size(), 5u);  // the four description caches and the two binary ones at least
  for (int round = 0; round < 20; ++round) {
    RemoveCaches();
    std::vector<pid_t> children;
    for (int i = 0; i < 8; ++i) {
      const pid_t pid = fork();
      ASSERT_GE(pid, 0);
      if (pid == 0) {
        // A start that reads a torn cache either fails or warns and rebuilds: both count as failure.
        int status = 0;
        try {
          Load();
          if (!warnings.empty()) status = 2;
          Unload();
        } catch (...) {
          status = 3;
        }
        _exit(status);
      }
      children.push_back(pid);
    }
    for (pid_t pid : children) {
      int status = -1;
      ASSERT_EQ(waitpid(pid, &status, 0), pid);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "round " << round << " status " << status;
    }
    std::vector<std::string> temporaries;
    EXPECT_EQ(Caches(&temporaries), reference) << "round " << round;
    EXPECT_TRUE(temporaries.empty());
  }
}

TEST_F(CacheSafetyTest, AReadOnlyDataDirectoryOrAFullDiskOnlyCostsTheCaches) {
  WriteStandardSet();
  for (FaultKind kind : {FaultKind::Create, FaultKind::Write}) {
    RemoveCaches();
    xb_platform::InjectFault(kind, 1, kind == FaultKind::Create ? EROFS : ENOSPC, true);
    VE_STATIC_DATA_MANAGER* data = Load();
    EXPECT_EQ(data->remapTableCount, 3u);
    EXPECT_NE(g_shadowTable, nullptr);
    EXPECT_GT(data->animationCount, 0u);
    EXPECT_TRUE(warnings.empty());
    Unload();
    xb_platform::ClearFaults();
    std::vector<std::string> temporaries;
    EXPECT_TRUE(Caches(&temporaries).empty());
    EXPECT_TRUE(temporaries.empty());
  }
  // Once the directory can be written again the caches appear and are used.
  Load();
  Unload();
  EXPECT_TRUE(Load()->remapTablesFromCache);
}

TEST_F(CacheSafetyTest, UnreadableDescriptionsAreFatalWithTheReason) {
  WriteStandardSet();
  xb_platform::InjectFault(FaultKind::OpenRead, 1, EACCES, true);
  XB_EXPECT_FATAL_THROW(Load(), "errno 13: Permission denied");
  EXPECT_EQ(g_staticData, nullptr);
}

}  // namespace
