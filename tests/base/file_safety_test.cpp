// All-or-nothing writes and the fault-injection seam of the file layer: a full disk, a directory
// that cannot be written and unreadable files give clear errors and never leave half a file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/platform/xb_platform.h"
#include "base/xb_archive_writer.h"
#include "base/xb_atomic_file.h"
#include "base/xb_error.h"
#include "base/xb_file.h"
#include "base/xb_storable.h"
#include "base/xb_storable_buffer.h"
#include "tests/common/fatal_test.h"
#include "tests/common/temp_dir.h"

namespace {

using xb_platform::FaultKind;

using tl_test::BytesOf;

class FileSafetyTest : public ::testing::Test {
 protected:
  void SetUp() override { dir.Enter(); }
  void TearDown() override {
    xb_platform::ClearFaults();
    dir.Leave();
  }
  // Every file name in the scratch directory (temporary files included).
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  tl_test::TempDir dir;
};

TEST_F(FileSafetyTest, AtomicWritesReplaceWholeFilesAndLeaveNoTemporaries) {
  std::string error;
  ASSERT_TRUE(XB_WriteFileAtomic("out.bin", BytesOf("first version, longer"), &error)) << error;
  ASSERT_TRUE(XB_WriteFileAtomic("out.bin", BytesOf("second"), &error)) << error;
  EXPECT_EQ(dir.ReadText("out.bin"), "second");
  // Backslashes and another letter case reach the existing file, as reads do.
  ASSERT_TRUE(XB_WriteFileAtomic("OUT.BIN", BytesOf("third"), &error)) << error;
  EXPECT_EQ(Names(), std::vector<std::string>{"out.bin"});
  EXPECT_EQ(dir.ReadText("out.bin"), "third");

  // A missing folder: a clear error naming the file, nothing created.
  EXPECT_FALSE(XB_WriteFileAtomic("missing/x.bin", BytesOf("x"), &error));
  EXPECT_NE(error.find("missing/x.bin"), std::string::npos) << error;
  EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
}

TEST_F(FileSafetyTest, AFullDiskLeavesTheOldFileAndNoTemporary) {
  dir.WriteText("cache.bin", "the old cache");
  std::vector<uint8_t> big(3 << 20, 7);
  // The write fails at once, or on the second call (part of the file already down).
  for (int nth : {1, 2}) {
    XB_ATOMIC_FILE file;
    ASSERT_TRUE(file.Open("cache.bin"));
    xb_platform::InjectFault(FaultKind::Write, nth, ENOSPC);
    bool ok = file.Write(big.data(), 1 << 20);
    ok = ok && file.Write(big.data(), big.size());
    EXPECT_FALSE(ok);
    EXPECT_FALSE(file.Commit());
    EXPECT_NE(file.Error().find("No space left on device"), std::string::npos) << file.Error();
    EXPECT_EQ(dir.ReadText("cache.bin"), "the old cache");
    EXPECT_EQ(Names(), std::vector<std::string>{"cache.bin"});
    xb_platform::ClearFaults();
  }
  // The same through the object stream: false (quiet) or a fatal error naming the file and reason.
  XB_STORABLE_BUFFER buffer(64, 1);
  xb_platform::InjectFault(FaultKind::Write, 1, ENOSPC, true);
  EXPECT_FALSE(SaveObjectToFile(buffer, "cache.bin", false));
  XB_EXPECT_FATAL_THROW(SaveObjectToFile(buffer, "cache.bin", true),
                        "XB_FILE::OpenForWriting - file cache.bin - errno 28: No space left on device");
  xb_platform::ClearFaults();
  EXPECT_EQ(dir.ReadText("cache.bin"), "the old cache");
  EXPECT_EQ(Names(), std::vector<std::string>{"cache.bin"});
}

TEST_F(FileSafetyTest, AReadOnlyDirectoryRefusesCleanly) {
  xb_platform::InjectFault(FaultKind::Create, 1, EROFS, true);
  std::string error;
  EXPECT_FALSE(XB_WriteFileAtomic("a.bin", BytesOf("a"), &error));
  EXPECT_NE(error.find("Read-only file system"), std::string::npos) << error;
  EXPECT_FALSE(XB_WriteArchive("data.dat", {{"x", BytesOf("x")}}, &error));
  EXPECT_TRUE(Names().empty());
  // Persistent: still refused on the next call, and then lifted.
  XB_STORABLE_BUFFER buffer(4, 0);
  EXPECT_FALSE(SaveObjectToFile(buffer, "b.obj", false));
  xb_platform::ClearFaults();
  EXPECT_TRUE(SaveObjectToFile(buffer, "b.obj", false));
}

TEST_F(FileSafetyTest, UnreadableAndFailingReadsAreFatalWithTheReason) {
  dir.WriteText("data.bin", "0123456789");
  xb_platform::InjectFault(FaultKind::OpenRead, 1, EACCES);
  XB_FILE quiet("data.bin");
  EXPECT_FALSE(quiet.OpenForReading(false));
  xb_platform::InjectFault(FaultKind::OpenRead, 1, EACCES);
  XB_EXPECT_FATAL_THROW(XB_FILE("data.bin", true),
                        "XB_FILE::OpenForReading - file data.bin - errno 13: Permission denied");
  XB_FILE f("data.bin", true);
  xb_platform::InjectFault(FaultKind::Read, 2, EIO);
  EXPECT_EQ(f.ReadU8(), '0');
  XB_EXPECT_FATAL_THROW(f.ReadU8(), "XB_FILE::Read - file data.bin - errno 5: Input/output error");
}

TEST_F(FileSafetyTest, AFatalErrorRemovesTheTemporaryFilesOfUnfinishedOutputs) {
  // The modes that end the process do not unwind; the fatal error itself cleans up.
  EXPECT_DEATH(
      {
        XB_SetFatalMode(XB_FatalMode::Exit2);
        auto* file = new XB_ATOMIC_FILE;  // never destroyed: the process ends first
        file->Open("out.png");
        file->Write("half", 4);
        XB_FatalError("damaged input");
      },
      "tillands: damaged input");
  EXPECT_TRUE(Names().empty());
}

TEST_F(FileSafetyTest, MemoryFilesReadAndWriteLikeFiles) {
  XB_FILE out("in memory.bin");
  out.OpenMemoryForWriting();
  out.WriteU32(0x01020304);
  out.WriteU16(0xBEEF);
  out.Seek(1);
  out.WriteU8(0xAA);  // overwrites in place
  EXPECT_EQ(out.Size(), 6);
  out.Close();
  const std::vector<uint8_t> bytes = out.MemoryBytes();
  EXPECT_EQ(bytes, (std::vector<uint8_t>{4, 0xAA, 2, 1, 0xEF, 0xBE}));

  XB_FILE in("in memory.bin");
  in.OpenMemory(bytes.data(), bytes.size());
  EXPECT_EQ(in.ReadU32(), 0x0102AA04u);
  EXPECT_EQ(in.Remaining(), 2);
  in.RequireRemaining(2, "Loader");
  XB_EXPECT_FATAL_THROW(in.RequireRemaining(3, "Loader"),
                        "Loader - file in memory.bin - corrupt data: needs 3 bytes, 2 left");
  EXPECT_EQ(in.ReadU16(), 0xBEEF);
  XB_EXPECT_FATAL_THROW(
      in.ReadU8(),
      "XB_FILE::Read - file in memory.bin - the file is cut short: 1 bytes wanted at offset 6, 0 left");
}

TEST_F(FileSafetyTest, MemoryFilesStandInForTheDiskAndHoldArchives) {
  // The fuzz harnesses' seam: registered bytes are found first, by name in any case and separator.
  const std::string text = "from memory";
  XB_FILE::AddMemoryFile("Data_V/Logo.TXT", text.data(), text.size());
  dir.WriteText("disk.txt", "from disk");
  {
    XB_FILE f("data_v\\\\logo.txt", true);
    std::string read(static_cast<size_t>(f.Size()), '\0');
    f.Read(read.data(), static_cast<uint32_t>(read.size()));
    EXPECT_EQ(read, text);
    char resolved[XB_MAX_PATH] = {};
    EXPECT_TRUE(XB_FILE::ResolvePath("DATA_V\\LOGO.TXT", resolved));
    EXPECT_TRUE(XB_FILE::Exists("disk.txt"));
  }
  // An archive in memory: its members are windows on its bytes, ending where the directory says.
  std::string error;
  const std::vector<uint8_t> image =
      XB_BuildArchiveImage({{"a.bin", BytesOf("AAA")}, {"b.bin", BytesOf("BB")}}, &error);
  XB_FILE::AddMemoryFile("packed.dat", image.data(), image.size());
  XB_FILE::SetMemoryFilesOnly(true);
  EXPECT_FALSE(XB_FILE::Exists("disk.txt"));  // the disk is not consulted
  {
    XB_ARCHIVE archive("packed.dat");
    ASSERT_GE(RegisterArchive(&archive), 0);
    XB_FILE a("A.BIN", true);
    EXPECT_EQ(a.Size(), 3);
    EXPECT_EQ(a.ReadU8(), 'A');
    EXPECT_EQ(a.Position(), 1);
    EXPECT_EQ(a.Remaining(), 2);
    a.Seek(1);
    EXPECT_EQ(a.ReadU16(), 0x4141);
    XB_EXPECT_FATAL_THROW(a.ReadU8(), "XB_FILE::Read - file A.BIN");  // not into the next member's bytes
    XB_FILE b("b.bin", true);
    EXPECT_EQ(b.ReadU16(), 0x4242);
  }
  XB_FILE::AddMemoryFile("packed.dat", nullptr, 0);  // removed again
  EXPECT_FALSE(XB_FILE::Exists("packed.dat"));
  XB_FILE::SetMemoryFilesOnly(false);
  XB_FILE::ClearMemoryFiles();
  EXPECT_FALSE(XB_FILE::Exists("data_v\\logo.txt"));
  EXPECT_TRUE(XB_FILE::Exists("disk.txt"));
}

TEST_F(FileSafetyTest, ArchiveMembersPastTheEndAndNamesDifferingInCase) {
  std::string error;
  ASSERT_TRUE(XB_WriteArchive(
      "data.dat",
      {{"A.txt", BytesOf("upper")}, {"a.TXT", BytesOf("lower")}, {"long.bin", BytesOf("0123456789")}},
      &error));
  // Cut the file inside the last member: its directory entry now reaches past the end.
  std::vector<uint8_t> bytes = dir.Read("data.dat");
  bytes.resize(bytes.size() - 4);
  dir.Write("data.dat", bytes);
  XB_ARCHIVE archive("data.dat");
  ASSERT_GE(RegisterArchive(&archive), 0);
  // Names equal without regard to case: the first member is the one found, every time.
  XB_FILE a("a.txt", true);
  std::string text(5, '\0');
  a.Read(text.data(), 5);
  EXPECT_EQ(text, "upper");
  XB_FILE cut("long.bin", true);
  EXPECT_EQ(cut.Size(), 10);
  std::vector<uint8_t> buffer(10);
  XB_EXPECT_FATAL_THROW(cut.Read(buffer.data(), 10), "XB_FILE::Read - file long.bin");
}

}  // namespace
