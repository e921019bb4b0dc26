#include "app/DesktopLinks.h"

#include <gtest/gtest.h>

#include "platform/Files.h"
#include "platform/Registry.h"
#include "platform/Shell.h"
#include "platform/Text.h"
#include "support/TempFolder.h"

namespace kv::app {
namespace {

// With the system's own registry, shell folders and shell links: the shortcut is a file in the
// user's desktop folder.
TEST(DesktopLinkTest, TheShortcutLandsInTheUsersDesktopFolder) {
  test::TTempFolder folder;
  const std::string target = folder.Path("Сметы");
  platform::ForceDirectories(target);
  TDesktopLinks links(platform::CurrentRegistry::Get(), platform::CurrentSpecialFolders::Get(),
                      platform::CurrentShellLinks::Get());
  links.CreateDesktopLink(target, "Ярлык теста Swiftkit");

  const std::string expected =
      platform::CurrentSpecialFolders::Get().GetPath(platform::TSpecialFolder::Desktop) +
      "\\Ярлык теста Swiftkit.lnk";
  ASSERT_EQ(links.Made().size(), 1u);
  EXPECT_TRUE(platform::SameTextLocale(links.Made()[0], expected)) << links.Made()[0];
  EXPECT_TRUE(platform::FileExists(expected));
  links.DeleteAll();
  EXPECT_FALSE(platform::FileExists(expected));
}

}  // namespace
}  // namespace kv::app
