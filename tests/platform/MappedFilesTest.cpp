// Opening files without raising, read-only mappings read view by view, and empty folders going.
#include <gtest/gtest.h>

#include <string>

#include "base/Exceptions.h"
#include "platform/Files.h"
#include "support/TempFolder.h"

namespace kv::platform {
namespace {

using test::ReadFileBytes;
using test::WriteFileBytes;

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

}  // namespace
}  // namespace kv::platform
