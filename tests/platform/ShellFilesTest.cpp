// The shell's folder move and file icons, as each build's backend does them.
#include <gtest/gtest.h>

#include <string>

#include "platform/Files.h"
#include "platform/Shell.h"
#include "support/TempFolder.h"

namespace kv::platform {
namespace {

using test::ReadFileBytes;

constexpr TMoveOptions kRollbackOptions{.NoConfirmation = true, .AllowUndo = true};

void Write(const std::string& path, const std::string& bytes) {
  ForceDirectories(path.substr(0, path.find_last_of('\\')));
  test::WriteFileBytes(path, bytes);
}

// A backup of some installed files is moved back over them: folders merge, files are replaced,
// what the backup does not hold stays.
TEST(ShellFileOperationsTest, MoveMergesFoldersAndReplacesFiles) {
  test::TTempFolder temp;
  const std::string backup = temp.Path("Установка\\ExpressBackup\\05.03.2024 10-20-30\\");
  const std::string installed = temp.Path("Установка\\");
  Write(backup + "Kvsmeta.ini", "old ini");
  Write(backup + "Шаблоны\\Акт.xlt", "old act");
  Write(backup + "Шаблоны\\Новые\\Счёт.xlt", "old bill");
  Write(installed + "Kvsmeta.ini", "new ini");
  Write(installed + "Шаблоны\\Акт.xlt", "new act, longer");
  Write(installed + "Шаблоны\\Своё.xlt", "user's own");

  EXPECT_EQ(CurrentShellFileOperations::Get().Move(TWindowHandle::None, backup + "*.*", installed,
                                                   kRollbackOptions),
            0);

  EXPECT_EQ(ReadFileBytes(installed + "Kvsmeta.ini"), "old ini");
  EXPECT_EQ(ReadFileBytes(installed + "Шаблоны\\Акт.xlt"), "old act");
  EXPECT_EQ(ReadFileBytes(installed + "Шаблоны\\Новые\\Счёт.xlt"), "old bill");
  EXPECT_EQ(ReadFileBytes(installed + "Шаблоны\\Своё.xlt"), "user's own");
  EXPECT_TRUE(FindFiles(backup, "*.*").empty());
  EXPECT_TRUE(RemoveDir(backup));
}

// A second rollback finds its backup folder gone: an error the caller may ignore (no top bit).
TEST(ShellFileOperationsTest, MovingFromAMissingFolderChangesNothing) {
  test::TTempFolder temp;
  Write(temp.Path("Установка\\a.txt"), "a");
  const int32_t result = CurrentShellFileOperations::Get().Move(
      TWindowHandle::None, temp.Path("Нет\\*.*"), temp.Path("Установка\\"), kRollbackOptions);
  EXPECT_GE(result, 0);
  EXPECT_EQ(FindFiles(temp.Path("Установка"), "*.*").size(), 1u);
}

// A file this program holds open stays where it is, on both sides, as Windows leaves a file in
// use; the rest moves.
TEST(ShellFileOperationsTest, AFileInUseIsLeftWhereItIs) {
  test::TTempFolder temp;
  const std::string backup = temp.Path("Бэкап\\");
  const std::string installed = temp.Path("Установка\\");
  Write(backup + "Data\\open.dat", "old open");
  Write(backup + "Data\\other.dat", "old other");
  Write(installed + "Data\\open.dat", "half-written");
  Write(installed + "Data\\other.dat", "new other");

  {
    uint32_t code = 0;
    const auto writer = TryOpenFile(installed + "Data\\open.dat", TFileOpenMode::OpenOrCreate,
                                    TFileShare::DenyRead, code);
    ASSERT_NE(writer, nullptr);
    const int32_t result = CurrentShellFileOperations::Get().Move(
        TWindowHandle::None, backup + "*.*", installed, kRollbackOptions);
    EXPECT_GT(result, 0);
  }
  EXPECT_EQ(ReadFileBytes(installed + "Data\\open.dat"), "half-written");
  EXPECT_EQ(ReadFileBytes(backup + "Data\\open.dat"), "old open");
  EXPECT_EQ(ReadFileBytes(installed + "Data\\other.dat"), "old other");

  // Once it is closed, a second move finishes the work.
  EXPECT_EQ(CurrentShellFileOperations::Get().Move(TWindowHandle::None, backup + "*.*", installed,
                                                   kRollbackOptions),
            0);
  EXPECT_EQ(ReadFileBytes(installed + "Data\\open.dat"), "old open");
  EXPECT_TRUE(FindFiles(backup, "*.*").empty());
}

// A 16 x 16 icon file in one colour: a file whose own icon the shell can always extract.
std::string IconFile() {
  using namespace std::string_literals;
  // The file's header (one image), the image's entry (16 x 16, 32 bits a pixel, 1128 bytes at
  // offset 22), and the image's bitmap header (of double height: colours and mask).
  std::string bytes =
      "\0\0\1\0\1\0"s
      "\x10\x10\0\0\1\0\x20\0\x68\x04\0\0\x16\0\0\0"s
      "\x28\0\0\0\x10\0\0\0\x20\0\0\0\1\0\x20\0\0\0\0\0\x40\x04\0\0"s +
      std::string(16, '\0');
  for (int pixel = 0; pixel < 16 * 16; ++pixel) {
    bytes += "\xCC\x66\x33\xFF";
  }
  return bytes + std::string(16 * 4, '\0');
}

TEST(FileIconsTest, AnAssociatedIconIsAppendedToTheList) {
  test::TTempFolder temp;
  IFileIcons& icons = CurrentFileIcons::Get();
  const TImageListHandle list = icons.SystemSmallImageList();
  ASSERT_NE(list, TImageListHandle::None);
  const int32_t count = icons.ImageCount(list);

  for (int i = 0; i < 2; ++i) {
    const std::string file = temp.Path("Значок " + std::to_string(i) + ".ico");
    test::WriteFileBytes(file, IconFile());
    EXPECT_EQ(icons.AddAssociatedIcon(list, file), count + i);
  }
  EXPECT_EQ(icons.ImageCount(list), count + 2);
}

}  // namespace
}  // namespace kv::platform
