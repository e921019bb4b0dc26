#include <gtest/gtest.h>

#include "base/Exceptions.h"
#include "platform/Files.h"
#include "platform/Shell.h"
#include "support/TempFolder.h"

namespace kv::platform {
namespace {

// Linux has no shell links: the stand-in records target and working folder as a desktop entry.
TEST(ShellLinksTest, TheStandInRecordsTargetAndWorkingFolder) {
  test::TTempFolder folder;
  const std::string linkFile = folder.Path("Ярлык.lnk");
  test::WriteFileBytes(linkFile, "an older link of the same name");
  CurrentShellLinks::Get().Create(linkFile, "C:\\Калвор-Divir\\Сметы", "C:\\Калвор-Divir\\");
  EXPECT_EQ(test::ReadFileBytes(linkFile),
            "[Desktop Entry]\nType=Link\nURL=C:\\Калвор-Divir\\Сметы\nPath=C:\\Калвор-Divir\\\n");
  EXPECT_THROW(CurrentShellLinks::Get().Create(folder.Path("нет\\Ярлык.lnk"), "x", ""), EOSError);
}

}  // namespace
}  // namespace kv::platform
