#include "platform/Files.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <string>

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
