#include "app/DesktopLinks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Files.h"
#include "platform/Shell.h"
#include "platform/Text.h"
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

// A name from the package too long for the desktop's path is shortened, never inside a
// character, so that the link file's path stays within MAX_PATH (259 units and the null).
TEST_F(DesktopLinksTest, ALongNameIsShortenedToFitTheDesktopPath) {
  const size_t room = 259 - platform::Utf16Length(World.DesktopFolder) - 4;  // 4: ".lnk"
  const std::string target = World.MyFolderRoot + "Сметы";
  const auto repeat = [](const std::string& text, size_t times) {
    std::string repeated;
    for (size_t i = 0; i < times; ++i) {
      repeated += text;
    }
    return repeated;
  };
  struct Case {
    const char* Label;
    std::string Name;
    std::string Expected;
  };
  const Case cases[] = {
      {"fits exactly", repeat("Я", room), repeat("Я", room)},
      {"one unit too long", repeat("Я", room + 1), repeat("Я", room)},
      {"far too long", repeat("Сметы ", 100), ""},
      // Two units each: a pair is never split, so the name ends one unit short when room is odd.
      {"surrogate pairs", repeat("😀", room), repeat("😀", room / 2)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Label);
    ShellLinks.Links.clear();
    Links.CreateDesktopLink(target, c.Name);
    ASSERT_EQ(ShellLinks.Links.size(), 1u);
    const std::string& linkFile = ShellLinks.Links[0].LinkFile;
    EXPECT_LE(platform::Utf16Length(linkFile), 259u);
    ASSERT_TRUE(linkFile.starts_with(World.DesktopFolder)) << linkFile;
    ASSERT_TRUE(linkFile.ends_with(".lnk")) << linkFile;
    const std::string name = linkFile.substr(World.DesktopFolder.size(),
                                             linkFile.size() - World.DesktopFolder.size() - 4);
    if (c.Expected.empty()) {
      // Cut where the blanks between words fall: none is left at its end.
      EXPECT_TRUE(c.Name.starts_with(name)) << name;
      EXPECT_GE(platform::Utf16Length(name), room - 1);
      EXPECT_NE(name.back(), ' ');
    } else {
      EXPECT_EQ(name, c.Expected);
    }
  }

  // The shortened link is saved by the build's own shell links.
  TDesktopLinks links(World.Registry, World.Folders, platform::CurrentShellLinks::Default());
  platform::ForceDirectories(target);
  links.CreateDesktopLink(target, std::string(300, 'a'));
  ASSERT_EQ(links.Made().size(), 1u);
  EXPECT_EQ(links.Made()[0], World.DesktopFolder + std::string(room, 'a') + ".lnk");
  EXPECT_TRUE(platform::FileExists(links.Made()[0]));
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
