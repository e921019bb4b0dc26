#include "platform/Files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/magic.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/Exceptions.h"
#include "platform/Xml.h"
#include "support/TempFolder.h"

namespace kv::platform {
namespace {

std::string Native(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

// Runs save in a child process that may write no file longer than 1 KiB, as on a full disk; the
// child exits with 0 when the save raised "file too large".
template <class TSave>
[[noreturn]] void SaveOnAFullDisk(TSave save) {
  std::signal(SIGXFSZ, SIG_IGN);
  const rlimit limit{1024, 1024};
  ::setrlimit(RLIMIT_FSIZE, &limit);
  try {
    save();
  } catch (const EOSError& e) {
    std::_Exit(e.ErrorCode() == EFBIG ? 0 : 2);
  }
  std::_Exit(1);
}

class PosixFilesTest : public testing::Test {
 protected:
  // The folder holds the target alone, with its old bytes.
  void ExpectOldFileWhole() const {
    EXPECT_EQ(test::ReadFileBytes(FPath), FOld);
    const auto entries = FindFiles(FFolder.Path(""), "*");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].Name, "CommonSetting.XML");
  }

  test::TTempFolder FFolder;
  const std::string FPath = FFolder.Path("CommonSetting.XML");
  const std::string FOld = "<Settings ExternalFileExts=\"kvx\"/>";
};

TEST_F(PosixFilesTest, AFullDiskKeepsTheOldFileWholeAndLeavesNoTemporaryFile) {
  test::WriteFileBytes(FPath, FOld);
  const std::string bytes(64 * 1024, 'n');
  EXPECT_EXIT(SaveOnAFullDisk([&] { WriteFileAtomically(FPath, bytes); }),
              testing::ExitedWithCode(0), "");
  ExpectOldFileWhole();
}

TEST_F(PosixFilesTest, ADocumentSavedOnAFullDiskKeepsTheOldFileWhole) {
  test::WriteFileBytes(FPath, FOld);
  TXmlDocument document = TXmlDocument::LoadFromFile(FPath);
  document.DocumentElement().SetAttribute("ExternalFileExts", std::string(4096, 'x'));
  EXPECT_EXIT(SaveOnAFullDisk([&] { document.Save(FPath); }), testing::ExitedWithCode(0), "");
  ExpectOldFileWhole();
}

TEST_F(PosixFilesTest, TheReplacementKeepsThePermissions) {
  test::WriteFileBytes(FPath, FOld);
  for (const mode_t mode : {0600, 0640, 0444}) {
    ASSERT_EQ(::chmod(Native(FPath).c_str(), mode), 0);
    WriteFileAtomically(FPath, "<Settings/>");
    struct stat st {};
    ASSERT_EQ(::stat(Native(FPath).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, mode) << std::oct << mode;
    EXPECT_EQ(test::ReadFileBytes(FPath), "<Settings/>");
  }
}

// How many of the file's pages the system holds in memory.
size_t CachedPages(const std::string& path, size_t size) {
  const int fd = ::open(Native(path).c_str(), O_RDONLY | O_CLOEXEC);
  void* const data = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
  ::close(fd);
  const size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
  std::vector<unsigned char> resident((size + page - 1) / page);
  const bool read = data != MAP_FAILED && ::mincore(data, size, resident.data()) == 0;
  if (data != MAP_FAILED) {
    ::munmap(data, size);
  }
  return read ? static_cast<size_t>(std::count_if(resident.begin(), resident.end(),
                                                  [](unsigned char r) { return r & 1; }))
              : SIZE_MAX;
}

// A large file's pages leave memory; a small one's are not worth the call.
TEST(DropCachedContentTest, ALargeFilesPagesLeaveMemoryAndItsBytesStay) {
  test::TTempFolder temp;
  struct statfs volume {};
  ASSERT_EQ(::statfs(Native(temp.Path("")).c_str(), &volume), 0);
  if (volume.f_type == TMPFS_MAGIC) {
    GTEST_SKIP() << "a file in memory has no other place for its pages";
  }
  for (const auto size : {4 * 1024 * 1024, int{kSmallestContentToDrop}, 64 * 1024}) {
    SCOPED_TRACE(size);
    const std::string path = temp.Path("Смета " + std::to_string(size) + ".kvd8");
    const std::string bytes(static_cast<size_t>(size), 'k');
    {
      const auto file = OpenFile(path, TFileOpenMode::Create);
      file->Write(bytes.data(), std::ssize(bytes));
      file->Flush();
    }
    const size_t cached = CachedPages(path, bytes.size());
    ASSERT_GT(cached, 0u);

    DropCachedContent(path);
    EXPECT_EQ(CachedPages(path, bytes.size()), size < kSmallestContentToDrop ? cached : 0u);
    EXPECT_EQ(test::ReadFileBytes(path), bytes);
  }
}

TEST(ReadOnlyFileTest, TakesAwayEveryWritePermissionAndGivesTheOwnersBack) {
  test::TTempFolder temp;
  const std::string path = temp.Path("view.txt");
  test::WriteFileBytes(path, "x");
  ::chmod(Native(path).c_str(), 0666);
  const auto mode = [&] {
    struct stat st {};
    ::stat(Native(path).c_str(), &st);
    return st.st_mode & 0777;
  };
  SetFileReadOnly(path, true);
  EXPECT_EQ(mode(), 0444u);
  SetFileReadOnly(path, false);
  EXPECT_EQ(mode(), 0644u);
  // Linux keeps no zone of origin.
  EXPECT_FALSE(MarkAsDownloadedFromInternet(path));
}

}  // namespace
}  // namespace kv::platform
