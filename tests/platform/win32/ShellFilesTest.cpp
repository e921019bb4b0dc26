// The shell's own answers: the system icon list, an executable's icon, and the Russian forms
// of date and time the backup folders are named with.
#include <gtest/gtest.h>

#include <vector>

#include "base/Exceptions.h"
#include "platform/Files.h"
#include "platform/Shell.h"
#include "platform/Text.h"
#include "support/TempFolder.h"
#include "support/Win32Fixtures.h"

namespace kv::platform {
namespace {

TEST(Win32FileIconsTest, AnExecutablesIconIndexComesFromTheShellFolders) {
  IFileIcons& icons = CurrentFileIcons::Get();
  const TImageListHandle list = icons.SystemSmallImageList();
  ASSERT_NE(list, TImageListHandle::None);
  EXPECT_GT(icons.ImageCount(list), 0);

  // A package's folders have Cyrillic names.
  test::TTempFolder temp;
  const std::string program = temp.Path("Программа\\Установка.exe");
  ForceDirectories(temp.Path("Программа"));
  ASSERT_TRUE(CopyFileW(win32::Wide(test::FixtureFolder() + "printargs.exe").c_str(),
                        win32::Wide(program).c_str(), TRUE));
  for (const std::string& path : {test::FixtureFolder() + "printargs.exe", program}) {
    SCOPED_TRACE(path);
    const int32_t index = icons.SystemIconIndex(path);
    EXPECT_GE(index, 0);
    EXPECT_LT(index, icons.ImageCount(list));
  }
}

// The shell's lookup of a type's icon is slow: files of one type share one image, while icon
// files each bring their own.
TEST(Win32FileIconsTest, FilesOfOneTypeShareOneImage) {
  test::TTempFolder temp;
  IFileIcons& icons = CurrentFileIcons::Get();
  const TImageListHandle list = icons.SystemSmallImageList();
  const int32_t count = icons.ImageCount(list);
  std::vector<int32_t> indexes;
  for (const char* name : {"Смета.kvdata", "Акт.KVDATA"}) {
    test::WriteFileBytes(temp.Path(name), "x");
    indexes.push_back(icons.AddAssociatedIcon(list, temp.Path(name)));
  }
  EXPECT_EQ(indexes, (std::vector<int32_t>{count, count}));
  EXPECT_EQ(icons.ImageCount(list), count + 1);
}

TEST(Win32FileIconsTest, AFolderTheShellCannotResolveRaises) {
  test::TTempFolder temp;
  EXPECT_THROW(CurrentFileIcons::Get().SystemIconIndex(temp.Path("Нет\\setup.exe")), EOSError);
}

}  // namespace
}  // namespace kv::platform
