#include "platform/Files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "base/Exceptions.h"
#include "support/TempFolder.h"

namespace kv::platform {
namespace {

using test::ReadFileBytes;
using test::WriteFileBytes;

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

// Each write leaves the folder holding the target alone, with exactly the new bytes.
TEST_F(FilesTest, WriteFileAtomicallyCreatesAndReplacesWithoutLeftovers) {
  const std::string path = Path("Connections.xml");
  for (const std::string& bytes : {std::string("<first/>, longer than what follows"),
                                   std::string("<short/>"), std::string()}) {
    SCOPED_TRACE(bytes);
    WriteFileAtomically(path, bytes);
    EXPECT_EQ(ReadFileBytes(path), bytes);
    const auto entries = FindFiles(FRoot, "*");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].Name, "Connections.xml");
  }
}

TEST_F(FilesTest, WriteFileAtomicallyIntoAMissingFolderRaisesAndCreatesNothing) {
  EXPECT_THROW(WriteFileAtomically(Path("missing\\Connections.xml"), "<x/>"), EOSError);
  EXPECT_TRUE(FindFiles(FRoot, "*").empty());
}

TEST(TempFolderTest, IsAnExistingFolderWithATrailingSeparator) {
  const std::string folder = TempFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_TRUE(folder.back() == '\\' || folder.back() == '/') << folder;
  EXPECT_TRUE(DirectoryExists(folder));
}

// ---- searching folders ----

// Names with what the search says of them, sorted: the file system's order is its own.
std::vector<std::string> Found(const std::string& folder, const std::string& mask) {
  std::vector<std::string> found;
  for (const TFileEntry& entry : FindFiles(folder, mask)) {
    found.push_back(entry.Name + (entry.IsDirectory ? "/" : "=" + std::to_string(entry.Size)));
  }
  std::sort(found.begin(), found.end());
  return found;
}

TEST(FindFilesTest, MasksIgnoreLetterCase) {
  const test::TTempFolder temp;
  ForceDirectories(temp.Path("Сохранено.tmp"));
  test::WriteFileBytes(temp.Path("a.tmp"), "12345");
  test::WriteFileBytes(temp.Path("Смета.TMP"), "");
  test::WriteFileBytes(temp.Path("a.tmp.bak"), "1");
  test::WriteFileBytes(temp.Path("readme"), "12");

  EXPECT_EQ(Found(temp.Path(""), "*.tmp"),
            (std::vector<std::string>{"a.tmp=5", "Смета.TMP=0", "Сохранено.tmp/"}));
  // Without a trailing separator, and "*.*" for every name, those without a dot too.
  const std::string folder = temp.Path("");
  EXPECT_EQ(Found(folder.substr(0, folder.size() - 1), "*.*"),
            (std::vector<std::string>{"a.tmp.bak=1", "a.tmp=5", "readme=2", "Смета.TMP=0",
                                      "Сохранено.tmp/"}));
  EXPECT_EQ(Found(temp.Path("missing"), "*.*"), std::vector<std::string>{});
}

// ---- opening without raising, read-only mappings, empty folders ----

// Bytes that differ from one view to the next, so that a view at a wrong offset shows.
std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) {
    bytes[i] = static_cast<char>(i * 7 + i / 65521);
  }
  return bytes;
}

TEST(MappedFilesTest, TryOpenFileAnswersTheCodeOpenFileRaises) {
  test::TTempFolder temp;
  const std::string missing = temp.Path("нет\\файла.txt");
  uint32_t code = 0;
  EXPECT_EQ(TryOpenFile(missing, TFileOpenMode::OpenRead, TFileShare::DenyWrite, code), nullptr);
  EXPECT_NE(code, 0u);
  try {
    OpenFile(missing, TFileOpenMode::OpenRead);
    ADD_FAILURE() << "no error";
  } catch (const EOSError& e) {
    EXPECT_EQ(e.ErrorCode(), code);
  }
}

TEST(MappedFilesTest, OpenOrCreateKeepsWhatTheFileHeld) {
  test::TTempFolder temp;
  const std::string path = temp.Path("Файл.bin");
  uint32_t code = 0;
  TryOpenFile(path, TFileOpenMode::OpenOrCreate, TFileShare::DenyRead, code)->Write("12345", 5);
  TryOpenFile(path, TFileOpenMode::OpenOrCreate, TFileShare::DenyRead, code)->Write("AB", 2);
  EXPECT_EQ(ReadFileBytes(path), "AB345");
}

// A backup is made with CreateNew: a file that already has the name is never opened over.
TEST(MappedFilesTest, CreateNewMakesOnlyAFileThatDidNotExist) {
  test::TTempFolder temp;
  const std::string path = temp.Path("Копия.bin");
  uint32_t code = 0;
  auto made = TryOpenFile(path, TFileOpenMode::CreateNew, TFileShare::DenyRead, code);
  ASSERT_NE(made, nullptr);
  made->Write("first", 5);
  EXPECT_EQ(made->Size(), 5);
  made.reset();

  EXPECT_EQ(TryOpenFile(path, TFileOpenMode::CreateNew, TFileShare::DenyRead, code), nullptr);
  EXPECT_NE(code, 0u);
  EXPECT_THROW(OpenFile(path, TFileOpenMode::CreateNew), EOSError);
  EXPECT_EQ(ReadFileBytes(path), "first");
}

// A rename never takes the place of another file, nor of one held open here (Windows refuses a
// file open without delete sharing, and so does the Linux backend for this process's files).
TEST(RenameFileTest, RenamesOnlyAFreeFileToAFreeName) {
  test::TTempFolder temp;
  const std::string original = temp.Path("Смета.xls");
  const std::string backup = temp.Path("Бэкап\\Смета.xls");
  const std::string taken = temp.Path("Бэкап\\Занято.xls");
  ForceDirectories(temp.Path("Бэкап"));
  WriteFileBytes(original, "original");
  WriteFileBytes(taken, "earlier");
  uint32_t code = 0;

  EXPECT_FALSE(TryRenameFile(original, taken, code));
  EXPECT_NE(code, 0u);
  EXPECT_EQ(ReadFileBytes(taken), "earlier");
  {
    const auto held = OpenFile(original, TFileOpenMode::OpenRead);
    code = 0;
    EXPECT_FALSE(TryRenameFile(original, backup, code));
    EXPECT_NE(code, 0u);
  }
  EXPECT_FALSE(TryRenameFile(temp.Path("нет.xls"), backup, code));

  EXPECT_TRUE(TryRenameFile(original, backup, code));
  EXPECT_FALSE(FileExists(original));
  EXPECT_EQ(ReadFileBytes(backup), "original");
}

// Letting the cache go is only a hint: the file stays as it was, and a missing file is no error.
TEST(DropCachedContentTest, LeavesTheFileAsItWas) {
  test::TTempFolder temp;
  const std::string path = temp.Path("Бэкап.xls");
  const std::string bytes = Pattern(100000);
  WriteFileBytes(path, bytes);
  DropCachedContent(path);
  EXPECT_EQ(ReadFileBytes(path), bytes);
  EXPECT_NO_THROW(DropCachedContent(temp.Path("нет.xls")));
}

TEST(MappedFilesTest, ViewsReadTheFileOneGranuleAtATime) {
  const int64_t granularity = AllocationGranularity();
  ASSERT_GT(granularity, 0);
  EXPECT_EQ(granularity % 4096, 0);

  test::TTempFolder temp;
  const std::string path = temp.Path("Большой.bin");
  const std::string bytes = Pattern(static_cast<size_t>(granularity * 3 + 100));
  WriteFileBytes(path, bytes);
  const auto file = OpenFile(path, TFileOpenMode::OpenRead, TFileShare::DenyWrite);
  uint32_t code = 0;
  const auto mapping = file->MapReadOnly(code);
  ASSERT_NE(mapping, nullptr) << code;
  for (int64_t offset = 0; offset < std::ssize(bytes); offset += granularity) {
    const auto length =
        static_cast<size_t>(std::min<int64_t>(granularity, std::ssize(bytes) - offset));
    const auto view = mapping->MapView(offset, length, code);
    ASSERT_NE(view, nullptr) << code;
    EXPECT_EQ(std::string(static_cast<const char*>(view->Data()), length),
              bytes.substr(static_cast<size_t>(offset), length))
        << "at " << offset;
  }
  // A view offset off the granule is refused with the system's code.
  code = 0;
  EXPECT_EQ(mapping->MapView(1, 10, code), nullptr);
  EXPECT_NE(code, 0u);
}

TEST(MappedFilesTest, AnEmptyFileCannotBeMapped) {
  test::TTempFolder temp;
  const std::string path = temp.Path("empty.bin");
  WriteFileBytes(path, "");
  uint32_t code = 0;
  EXPECT_EQ(OpenFile(path, TFileOpenMode::OpenRead)->MapReadOnly(code), nullptr);
  EXPECT_NE(code, 0u);
}

// The file goes, its content given back a step at a time with the caller's work between the
// steps.
TEST(DeleteFileInStepsTest, TheFileGoesAndItsSpaceInSteps) {
  test::TTempFolder temp;
  const struct {
    const char* Name;
    int64_t Size;
    int BetweenSteps;
  } cases[] = {
      {"smaller than a step", 100, 0},
      {"empty", 0, 0},
      {"three and a half steps", 3500, 3},
      {"exactly two steps", 2000, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string path = temp.Path("Большой.bin");
    WriteFileBytes(path, std::string(static_cast<size_t>(c.Size), 'b'));
    int steps = 0;
    EXPECT_TRUE(DeleteFileInSteps(path, 1000, [&] { ++steps; }));
    EXPECT_EQ(steps, c.BetweenSteps);
    EXPECT_FALSE(FileExists(path));
  }
  int steps = 0;
  EXPECT_FALSE(DeleteFileInSteps(temp.Path("нет.bin"), 1000, [&] { ++steps; }));
  EXPECT_EQ(steps, 0);
}

TEST(MappedFilesTest, RemoveDirRemovesOnlyAnEmptyFolder) {
  test::TTempFolder temp;
  ForceDirectories(temp.Path("Пустая"));
  ForceDirectories(temp.Path("Полная"));
  WriteFileBytes(temp.Path("Полная\\f.txt"), "x");

  EXPECT_TRUE(RemoveDir(temp.Path("Пустая")));
  EXPECT_FALSE(DirectoryExists(temp.Path("Пустая")));
  EXPECT_FALSE(RemoveDir(temp.Path("Полная")));
  EXPECT_TRUE(FileExists(temp.Path("Полная\\f.txt")));
  EXPECT_FALSE(RemoveDir(temp.Path("Нет")));
}

TEST_F(FilesTest, UniqueFoldersAreNewOnEveryCall) {
  const std::string first = CreateUniqueFolder(FRoot, "doc");
  const std::string second = CreateUniqueFolder(FRoot + "\\", "doc");
  EXPECT_NE(first, second);
  for (const std::string& folder : {first, second}) {
    EXPECT_TRUE(DirectoryExists(folder)) << folder;
    EXPECT_EQ(folder.rfind(FRoot, 0), 0u) << folder;
    EXPECT_EQ(folder.substr(FRoot.size() + 1, 3), "doc") << folder;
  }
  EXPECT_THROW(CreateUniqueFolder(Path("missing\\deeper"), "doc"), EOSError);
}

TEST_F(FilesTest, ReadOnlyAttributeOfAMissingFileRaises) {
  EXPECT_THROW(SetFileReadOnly(Path("missing.txt"), true), EOSError);
}

}  // namespace
}  // namespace kv::platform
