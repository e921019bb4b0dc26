#include "platform/Files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>

#include "base/Exceptions.h"

namespace kv::platform {
namespace {

// The library's UTF-8 path as the standard library's path, to check its work independently.
std::filesystem::path StdPath(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return std::u8string(path.begin(), path.end());
}

std::string ReadAll(IFileHandle& file) {
  std::string text(static_cast<size_t>(file.Size()), '\0');
  file.Seek(0, TSeekOrigin::Beginning);
  text.resize(static_cast<size_t>(file.Read(text.data(), static_cast<int64_t>(text.size()))));
  return text;
}

// Each test works in a folder of its own inside the system's temporary folder.
class FilesTest : public testing::Test {
 protected:
  void SetUp() override {
    FRoot = TempFolder() + "kv_" + testing::UnitTest::GetInstance()->current_test_info()->name() +
            "_" + std::to_string(std::random_device()());
    std::filesystem::create_directory(StdPath(FRoot));
  }
  void TearDown() override { std::filesystem::remove_all(StdPath(FRoot)); }

  std::string Path(const std::string& name) const { return FRoot + "\\" + name; }

  void WriteFile(const std::string& name, const std::string& text) const {
    OpenFile(Path(name), TFileOpenMode::Create)->Write(text.data(), std::ssize(text));
  }

  std::string FRoot;
};

TEST_F(FilesTest, ForceDirectoriesCreatesNestedCyrillicFolders) {
  const std::string nested = Path("Калвор-Divir\\Сметы\\2024");
  EXPECT_FALSE(DirectoryExists(nested));

  ForceDirectories(nested);
  EXPECT_TRUE(DirectoryExists(nested));
  EXPECT_TRUE(DirectoryExists(Path("Калвор-Divir")));
  EXPECT_FALSE(FileExists(nested));
  EXPECT_TRUE(std::filesystem::is_directory(StdPath(FRoot) / u8"Калвор-Divir" / u8"Сметы"));

  EXPECT_NO_THROW(ForceDirectories(nested + "\\"));
}

TEST_F(FilesTest, ForceDirectoriesBelowAFileRaises) {
  WriteFile("plan.txt", "x");
  EXPECT_THROW(ForceDirectories(Path("plan.txt\\sub")), EOSError);
}

TEST_F(FilesTest, WrittenFileIsFoundWithItsSizeAndLocalTime) {
  const std::string file = Path("Смета.txt");
  WriteFile("Смета.txt", "Калвор");
  EXPECT_TRUE(std::filesystem::is_regular_file(StdPath(FRoot) / u8"Смета.txt"));
  EXPECT_TRUE(FileExists(file));
  EXPECT_FALSE(DirectoryExists(file));

  const std::optional<TFileSearchInfo> found = FindFile(file);
  ASSERT_TRUE(found);
  EXPECT_EQ(found->Size, 12);
  const TDateTime oneMinute = 1.0 / 24 / 60;
  EXPECT_NEAR(found->LastWriteTime, Now(), oneMinute);

  EXPECT_TRUE(DeleteFile(file));
  EXPECT_FALSE(FileExists(file));
  EXPECT_FALSE(FindFile(file));
  EXPECT_FALSE(DeleteFile(file));
}

TEST_F(FilesTest, OpenFileReadsWritesSeeksAndResizes) {
  const std::string name = Path("data.bin");
  WriteFile("data.bin", "old text that Create must truncate");
  auto file = OpenFile(name, TFileOpenMode::Create);
  EXPECT_EQ(file->Size(), 0);

  EXPECT_EQ(file->Write("0123456789", 10), 10);
  EXPECT_EQ(file->Size(), 10);
  EXPECT_EQ(file->Seek(-4, TSeekOrigin::End), 6);
  char buffer[8] = {};
  EXPECT_EQ(file->Read(buffer, 8), 4);
  EXPECT_EQ(std::string(buffer, 4), "6789");
  EXPECT_EQ(file->Read(buffer, 8), 0);

  EXPECT_EQ(file->Seek(2, TSeekOrigin::Beginning), 2);
  file->Write("ab", 2);
  EXPECT_EQ(file->Seek(1, TSeekOrigin::Current), 5);
  file->SetSize(7);
  EXPECT_EQ(file->Size(), 7);
  EXPECT_EQ(file->Seek(0, TSeekOrigin::Current), 5);
  file.reset();

  auto reader = OpenFile(name, TFileOpenMode::OpenRead);
  EXPECT_EQ(ReadAll(*reader), "01ab456");
  EXPECT_THROW(reader->Write("x", 1), EOSError);
}

TEST_F(FilesTest, OpeningAMissingFileRaisesTheSystemError) {
  // ENOENT and ERROR_FILE_NOT_FOUND share the number.
  constexpr uint32_t kFileNotFound = 2;
  for (const TFileOpenMode mode : {TFileOpenMode::OpenRead, TFileOpenMode::OpenReadWrite}) {
    SCOPED_TRACE(static_cast<int>(mode));
    try {
      OpenFile(Path("нет.txt"), mode);
      ADD_FAILURE() << "no exception";
    } catch (const EOSError& e) {
      EXPECT_EQ(e.ErrorCode(), kFileNotFound);
      EXPECT_NE(e.Message().find(SystemErrorMessage(kFileNotFound)), std::string::npos)
          << e.Message();
      EXPECT_NE(e.Message().find("нет.txt"), std::string::npos) << e.Message();
    }
  }
}

TEST(TempFolderTest, IsAnExistingFolderWithATrailingSeparator) {
  const std::string folder = TempFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_TRUE(folder.back() == '\\' || folder.back() == '/') << folder;
  EXPECT_TRUE(DirectoryExists(folder));
}

}  // namespace
}  // namespace kv::platform
