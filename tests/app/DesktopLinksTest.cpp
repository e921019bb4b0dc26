#include "app/DesktopLinks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Files.h"
#include "platform/Shell.h"
#include "support/FakeShellLinks.h"
#include "support/WizardWorld.h"

namespace kv::app {
namespace {

using Strings = std::vector<std::string>;

class DesktopLinksTest : public testing::Test {
 protected:
  test::TWizardWorld World;
  test::FakeShellLinks ShellLinks;
  TDesktopLinks Links{World.Registry, World.Folders, ShellLinks};
};

TEST_F(DesktopLinksTest, TheDesktopFolderComesFromTheUsersShellFolders) {
  const std::string shellFolders =
      "Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
  const std::string recorded = World.Temp.Path("Desktop of record");
  const std::string shells = World.Temp.Path("Shell's desktop");
  World.Folders.Set(platform::TSpecialFolder::Desktop, shells);
  struct Case {
    std::string registryValue;
    std::string linkFile;
  };
  // Without a record, the shell's own desktop folder, never the root of a drive.
  const Case cases[] = {
      {recorded, recorded + "\\readme.txt.lnk"},
      {"", shells + "\\readme.txt.lnk"},
  };
  for (const Case& c : cases) {
    World.Registry.SetCurrentUser(shellFolders, "Desktop", c.registryValue);
    ShellLinks.Links.clear();
    Links.CreateDesktopLink(World.MyFolderRoot + "readme.txt", "readme.txt");
    ASSERT_EQ(ShellLinks.Links.size(), 1u);
    EXPECT_EQ(ShellLinks.Links[0].LinkFile, c.linkFile);
  }
}

// The rollback deletes every shortcut made; one already gone is no failure, and the list stays.
TEST_F(DesktopLinksTest, DeleteAllRemovesTheLinksMade) {
  TDesktopLinks links(World.Registry, World.Folders, platform::CurrentShellLinks::Default());
  World.AddInstalledFile(TPackageTree::Document, "Отчёт.xls", "report");
  platform::ForceDirectories(World.MyFolderRoot + "Сметы");
  links.CreateDesktopLink(World.MyFolderRoot + "Отчёт.xls", "Отчёт.xls");
  links.CreateDesktopLink(World.MyFolderRoot + "Сметы", "Сметы");
  const Strings made = {World.DesktopFolder + "Отчёт.xls.lnk", World.DesktopFolder + "Сметы.lnk"};
  EXPECT_EQ(links.Made(), made);
  platform::DeleteFile(made[0]);
  for (int run = 0; run < 2; ++run) {
    links.DeleteAll();
    EXPECT_FALSE(platform::FileExists(made[1]));
    EXPECT_EQ(links.Made(), made);
  }
}

TEST(IsUsableLinkNameTest, SomethingBesidesSeparatorsDotsAndBlanks) {
  for (const char* usable : {"a", " Сметы ", "..x", "a.b"}) {
    EXPECT_TRUE(IsUsableLinkName(usable)) << usable;
  }
  for (const char* unusable : {"", "..", " . \\ / ", "\t\r\n", ":*?"}) {
    EXPECT_FALSE(IsUsableLinkName(unusable)) << unusable;
  }
}

}  // namespace
}  // namespace kv::app
