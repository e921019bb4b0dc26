#include "app/ShortcutTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/Exceptions.h"
#include "platform/Files.h"
#include "platform/Shell.h"
#include "support/FakeShellLinks.h"
#include "support/WizardWorld.h"

namespace kv::app {
namespace {

using test::FakeCheckedTree;
using test::FakeShellLinks;
using test::TWizardWorld;
using Strings = std::vector<std::string>;

// A package's document tree as the scan leaves it, installed as the update leaves it:
//   Сметы              a folder, with a linkname.txt that each test writes
//     Архив            a folder
//     Прайс.xls
//   Шаблоны            a folder
//   readme.txt
//   Удалён.txt         in the package only: its installed copy is missing
class ShortcutTreeTest : public testing::Test {
 protected:
  ShortcutTreeTest() {
    Smety = Folder(nullptr, "Сметы");
    Arhiv = Folder(Smety, "Сметы\\Архив");
    Price = File(Smety, "Сметы\\Прайс.xls");
    Shablony = Folder(nullptr, "Шаблоны");
    Readme = File(nullptr, "readme.txt");
    Missing = File(nullptr, "Удалён.txt", false);
  }

  TTreeNode Folder(TTreeNode parent, const std::string& path) {
    World.AddPackageFolder(TPackageTree::Document, path);
    platform::ForceDirectories(World.MyFolderRoot + path);
    return Tree.AddChildFirst(parent, NameOf(path), 0, Add(path, true));
  }
  TTreeNode File(TTreeNode parent, const std::string& path, bool installed = true) {
    World.AddPackageFile(TPackageTree::Document, path, "x");
    if (installed) {
      World.AddInstalledFile(TPackageTree::Document, path, "x");
    }
    return Tree.AddChild(parent, NameOf(path), 0, Add(path, false));
  }
  int Add(const std::string& path, bool isFolder) {
    Entries.push_back({path, TPackageTree::Document, NameOf(path), isFolder, -1});
    return static_cast<int>(Entries.size()) - 1;
  }
  static std::string NameOf(const std::string& path) {
    return path.substr(path.find_last_of('\\') + 1);
  }
  void WriteLinkName(const std::string& bytes) {
    World.AddPackageFile(TPackageTree::Document, "Сметы\\linkname.txt", bytes);
  }
  void Check(std::initializer_list<TTreeNode> nodes) {
    for (TTreeNode node : nodes) {
      Tree.SetChecked(node, true, false);
    }
  }
  // The shortcut page's work as the wizard does it when the user leaves the page.
  void MakeLinksAndPruneTree(TDesktopLinks& links) {
    ShortcutTree.MakeLinks(Package, Entries, Targets, links);
    PruneTree();
  }
  void MakeLinksAndPruneTree() { MakeLinksAndPruneTree(Links); }
  void PruneTree() {
    ShortcutTree.PruneToFolders(Entries, Targets, [this](const std::string& path) {
      return std::find(AutoConnections.begin(), AutoConnections.end(), path) !=
             AutoConnections.end();
    });
  }
  std::string Installed(const std::string& path) const { return World.MyFolderRoot + path; }
  std::string Link(const std::string& name) const { return World.DesktopFolder + name + ".lnk"; }

  TWizardWorld World;
  FakeCheckedTree Tree;
  TShortcutTree ShortcutTree{Tree, World.Icons};
  const TPackage Package{World.ProgramFolder};
  const TInstallTargets Targets{World.CommonDataFolder, World.MyFolderRoot};
  std::vector<TPackageEntry> Entries;
  Strings AutoConnections;
  FakeShellLinks ShellLinks;
  TDesktopLinks Links{World.Registry, World.Folders, ShellLinks};
  // The build's own shell links.
  TDesktopLinks OwnLinks{World.Registry, World.Folders, platform::CurrentShellLinks::Default()};
  TTreeNode Smety, Arhiv, Price, Shablony, Readme, Missing;
};

TEST_F(ShortcutTreeTest, EachCheckedEntryGetsALinkToItsInstalledCopy) {
  WriteLinkName("\xCC\xEE\xE8 \xF1\xEC\xE5\xF2\xFB 2018\r\nsecond line\r\n");  // 1251
  Check({Smety, Arhiv, Price, Missing});
  MakeLinksAndPruneTree();
  const std::vector<FakeShellLinks::TLink> expected = {
      {Link("Мои сметы 2018"), Installed("Сметы"), World.MyFolderRoot},
      {Link("Архив"), Installed("Сметы\\Архив"), Installed("Сметы\\")},
      {Link("Прайс.xls"), Installed("Сметы\\Прайс.xls"), Installed("Сметы\\")},
      {Link("Удалён.txt"), Installed("Удалён.txt"), World.MyFolderRoot},
  };
  EXPECT_EQ(ShellLinks.Links, expected);
  std::vector<std::string> files;
  for (const auto& link : expected) {
    files.push_back(link.LinkFile);
  }
  EXPECT_EQ(Links.Made(), files);
}

// The name comes from the package: whatever it holds, the link is one file in the desktop folder.
TEST_F(ShortcutTreeTest, LinkNamesFromThePackageStayInsideTheDesktopFolder) {
  struct Case {
    std::string bytes;
    std::string name;
  };
  const Case cases[] = {
      {"\xEF\xBB\xBFМои сметы", "Мои сметы"},
      {std::string("\xFF\xFEO\0K\0\r\0\n\0", 10), "OK"},
      {"\xEF\xBB\xBF  Сметы 2018 \t\r\n", "Сметы 2018"},
      {"..\\..\\..\\Windows\\evil", ".._.._.._Windows_evil"},
      {"C:\\Windows\\evil", "C__Windows_evil"},
      {"a/b:c*d?e\"f<g>h|i", "a_b_c_d_e_f_g_h_i"},
      {"tab\there", "tab_here"},
      {"con", "_con"},
      {"LPT1.txt", "_LPT1.txt"},
      {"COM10", "COM10"},
      // Nothing usable: the folder's own name.
      {"", "Сметы"},
      {"\xEF\xBB\xBF", "Сметы"},
      {" \t \r\n", "Сметы"},
      {"\r\nsecond line", "Сметы"},
      {"..", "Сметы"},
      {" . \\ / ", "Сметы"},
      {std::string("\0\0", 2), "Сметы"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ShellLinks.Links.clear();
    WriteLinkName(c.bytes);
    // The pruning unchecks it each time.
    Check({Smety});
    MakeLinksAndPruneTree();
    ASSERT_EQ(ShellLinks.Links.size(), 1u);
    EXPECT_EQ(ShellLinks.Links[0].LinkFile, Link(c.name));
  }
}

// The pruned tree: folders (and entries whose installed copy is missing) only, collapsed,
// checked as the package preselects data sources, whatever the shortcut page's checks were.
const std::vector<std::string> kPruned = {
    "Шаблоны [ ]",
    "Сметы [ ] +",
    "  Архив [x] +",
    "Удалён.txt [ ]",
};

// An empty shortcut-name file names nothing: the folder keeps its own name and the pruning for
// the data-source page goes on.
TEST_F(ShortcutTreeTest, AnEmptyLinkNameFileGivesTheFoldersNameAndThePruningGoesOn) {
  WriteLinkName("");
  AutoConnections = {"Сметы\\Архив\\"};
  Check({Readme, Smety});
  MakeLinksAndPruneTree();
  EXPECT_EQ(Links.Made(), (Strings{Link("Сметы"), Link("readme.txt")}));
  EXPECT_EQ(Tree.Dump(), kPruned);
}

TEST_F(ShortcutTreeTest, ThePruningLeavesTheDataSourcePagesFolders) {
  AutoConnections = {"Сметы\\Архив\\", "Шаблоны"};  // without the backslash it names nothing
  Check({Shablony, Price});
  Tree.Expand(Shablony);
  MakeLinksAndPruneTree();
  EXPECT_EQ(Tree.Dump(), kPruned);
}

// After a confirmed cancel the wizard prunes without making links: the shortcut page's checks
// are forgotten all the same.
TEST_F(ShortcutTreeTest, ThePruningAloneForgetsTheShortcutPagesChecks) {
  AutoConnections = {"Сметы\\Архив\\"};
  Check({Smety, Price});
  PruneTree();
  EXPECT_TRUE(ShellLinks.Links.empty());
  EXPECT_EQ(Tree.Dump(), kPruned);
}

// With the build's own shell links: two entries of one name make one file, listed twice.
TEST_F(ShortcutTreeTest, TwoLinksOfOneNameAreOneFileListedTwice) {
  WriteLinkName("readme.txt");
  Check({Smety, Readme});
  MakeLinksAndPruneTree(OwnLinks);
  EXPECT_EQ(OwnLinks.Made(), (Strings{Link("readme.txt"), Link("readme.txt")}));
  const auto desktop = platform::FindFiles(World.DesktopFolder, "*");
  ASSERT_EQ(desktop.size(), 1u);
  EXPECT_EQ(desktop[0].Name, "readme.txt.lnk");
}

TEST_F(ShortcutTreeTest, AFailedSaveStopsTheLinksAndThePruning) {
  World.Registry.SetCurrentUser(
      "Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "Desktop",
      World.Temp.Path("no such desktop"));
  Check({Shablony, Readme});
  const auto before = Tree.Dump();
  EXPECT_THROW(MakeLinksAndPruneTree(OwnLinks), EOSError);
  EXPECT_TRUE(OwnLinks.Made().empty());
  EXPECT_EQ(Tree.Dump(), before);
}

// The icons are looked up when the nodes are drawn; a file the shell has no icon for, or cannot
// reach (the package's medium gone), is drawn with the list's first image.
TEST_F(ShortcutTreeTest, AFileWithoutAnIconFromTheShellIsDrawnWithTheFirstImage) {
  FakeCheckedTree tree;
  TShortcutTree shortcuts{tree, World.Icons};
  shortcuts.AttachSystemIcons();
  shortcuts.AddDocumentTree(Package, Package.Scan(), [](const std::string&) { return false; });
  const std::string root = Package.TreeFolder(TPackageTree::Document);
  World.Icons.WithoutIcon = {root + "Сметы\\Прайс.xls"};
  World.Icons.Unreachable = {root + "readme.txt"};
  ASSERT_TRUE(World.Icons.AssociatedIconPaths.empty());
  ASSERT_EQ(tree.Count(), 6);
  for (int i = 0; i < tree.Count(); ++i) {
    const TTreeNode node = tree.Item(i);
    const std::string name = tree.Text(node);
    EXPECT_EQ(tree.Draw(node) == 0, name == "Прайс.xls" || name == "readme.txt") << name;
  }
}

TEST_F(ShortcutTreeTest, GetShellIconIndexAsksTheShellFoldersOnlyForExe) {
  const struct {
    const char* Path;
    bool System;
  } cases[] = {
      {"C:\\Пакет\\setup.exe", true},  {"C:\\Пакет\\SETUP.EXE", false},
      {"C:\\Пакет\\a.exe.txt", false}, {"C:\\Пакет.exe\\readme", false},
      {"C:\\Пакет\\Папка", false},
  };
  ShortcutTree.AttachSystemIcons();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Path);
    const int32_t count = World.Icons.Count;
    const int32_t index = ShortcutTree.GetShellIconIndex(c.Path);
    EXPECT_EQ(index, c.System ? test::FakeFileIcons::SystemIndex : count);
    EXPECT_EQ(World.Icons.Count, c.System ? count : count + 1);
  }
}

}  // namespace
}  // namespace kv::app
