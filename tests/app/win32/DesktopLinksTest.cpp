#include <gtest/gtest.h>

#include "app/dlgEasySetup.h"
#include "platform/Files.h"
#include "platform/Shell.h"
#include "platform/Text.h"
#include "support/FakeEasySetupView.h"
#include "support/TempFolder.h"

namespace kv::app {
namespace {

// With the system's own registry, shell folders and shell links: the shortcut is a file in the
// user's desktop folder.
TEST(DesktopLinkTest, TheShortcutLandsInTheUsersDesktopFolder) {
  test::TTempFolder folder;
  const std::string target = folder.Path("Сметы");
  platform::ForceDirectories(target);
  test::FakeEasySetupView view;
  TfrmEasySetup form(view, folder.Path(""));
  form.CreateDesktopLink(target, "Ярлык теста Swiftkit");

  const std::string expected =
      platform::CurrentSpecialFolders::Get().GetPath(platform::CSIDL_DESKTOPDIRECTORY_CODE) +
      "\\Ярлык теста Swiftkit.lnk";
  ASSERT_EQ(form.ShortCutList.Count(), 1);
  EXPECT_TRUE(platform::SameTextLocale(form.ShortCutList[0], expected)) << form.ShortCutList[0];
  EXPECT_TRUE(platform::FileExists(expected));
  platform::DeleteFile(form.ShortCutList[0]);
}

}  // namespace
}  // namespace kv::app
