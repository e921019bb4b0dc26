#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/dlgEasySetup.h"
#include "common/Exceptions.h"
#include "net/Kv_KalvorSmetaRuSettings.h"
#include "platform/Files.h"
#include "platform/Shell.h"
#include "storage/Kv_Storage.ConnectionPool.h"
#include "storage/Kv_Storage.FileSystemConnection.h"
#include "support/StringListItems.h"
#include "support/WizardWorld.h"

namespace kv::app {
namespace {

using test::Items;
using test::TWizardWorld;

// The links the wizard asked the shell for, in order.
class FakeShellLinks final : public platform::IShellLinks {
 public:
  struct TLink {
    std::string LinkFile;
    std::string Target;
    std::string WorkingFolder;
    bool operator==(const TLink&) const = default;
  };
  void Create(const std::string& linkFile, const std::string& target,
              const std::string& workingFolder) override {
    Links.push_back({linkFile, target, workingFolder});
  }
  std::vector<TLink> Links;
};

void PrintTo(const FakeShellLinks::TLink& link, std::ostream* out) {
  *out << link.LinkFile << " -> " << link.Target << " in " << link.WorkingFolder;
}

// A package's document tree as the scan leaves it, installed as the update leaves it:
//   Сметы              a folder, with a linkname.txt that each test writes
//     Архив            a folder
//     Прайс.xls
//   Шаблоны            a folder
//   readme.txt
//   Удалён.txt         in the package only: its installed copy is missing
class LinksTest : public testing::Test {
 protected:
  LinksTest() : Form(World.CreateWizard()), Tree(World.View.TreeView) {
    Form.SmetaAppFolder = World.MyFolderRoot;
    Form.SmetaCommonFolder = World.CommonDataFolder;
    Smety = Folder(nullptr, "Сметы");
    Arhiv = Folder(Smety, "Сметы\\Архив");
    Price = File(Smety, "Сметы\\Прайс.xls");
    Shablony = Folder(nullptr, "Шаблоны");
    Readme = File(nullptr, "readme.txt");
    Missing = File(nullptr, "Удалён.txt", false);
  }

  TTreeNode Folder(TTreeNode parent, const std::string& path) {
    World.AddPackageFolder(DocumentTreeTag, path);
    platform::ForceDirectories(World.MyFolderRoot + path);
    return Tree.AddChildFirst(parent, NameOf(path), 0, Form.DataList.Add(path, DocumentTreeTag));
  }
  TTreeNode File(TTreeNode parent, const std::string& path, bool installed = true) {
    World.AddPackageFile(DocumentTreeTag, path, "x");
    if (installed) {
      World.AddInstalledFile(DocumentTreeTag, path, "x");
    }
    return Tree.AddChild(parent, NameOf(path), 0, Form.DataList.Add(path, DocumentTreeTag));
  }
  static std::string NameOf(const std::string& path) {
    return path.substr(path.find_last_of('\\') + 1);
  }
  void WriteLinkName(const std::string& bytes) {
    World.AddPackageFile(DocumentTreeTag, "Сметы\\linkname.txt", bytes);
  }
  void Check(std::initializer_list<TTreeNode> nodes) {
    for (TTreeNode node : nodes) {
      Tree.SetChecked(node, true, false);
    }
  }
  std::string Installed(const std::string& path) const { return World.MyFolderRoot + path; }
  std::string Link(const std::string& name) const { return World.DesktopFolder + name + ".lnk"; }

  TWizardWorld World;
  TfrmEasySetup& Form;
  test::FakeCheckedTree& Tree;
  FakeShellLinks Links;
  platform::TScopedCurrent<platform::IShellLinks> LinksScope{Links};
  TTreeNode Smety, Arhiv, Price, Shablony, Readme, Missing;
};

TEST_F(LinksTest, EachCheckedEntryGetsALinkToItsInstalledCopy) {
  WriteLinkName("\xCC\xEE\xE8 \xF1\xEC\xE5\xF2\xFB 2018\r\nsecond line\r\n");  // 1251
  Check({Smety, Arhiv, Price, Missing});
  Form.MakeLinksAndPruneTree();
  const std::vector<FakeShellLinks::TLink> expected = {
      {Link("Мои сметы 2018"), Installed("Сметы"), World.MyFolderRoot},
      {Link("Архив"), Installed("Сметы\\Архив"), Installed("Сметы\\")},
      {Link("Прайс.xls"), Installed("Сметы\\Прайс.xls"), Installed("Сметы\\")},
      {Link("Удалён.txt"), Installed("Удалён.txt"), World.MyFolderRoot},
  };
  EXPECT_EQ(Links.Links, expected);
  std::vector<std::string> files;
  for (const auto& link : expected) {
    files.push_back(link.LinkFile);
  }
  EXPECT_EQ(Items(Form.ShortCutList), files);
}

// The name comes from the package: whatever it holds, the link is one file in the desktop folder.
TEST_F(LinksTest, LinkNamesFromThePackageStayInsideTheDesktopFolder) {
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
      {"\r\nsecond line", "Сметы"},
      {"..", "Сметы"},
      {" . \\ / ", "Сметы"},
      {std::string("\0\0", 2), "Сметы"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Links.Links.clear();
    WriteLinkName(c.bytes);
    // The pruning unchecks it each time.
    Check({Smety});
    Form.MakeLinksAndPruneTree();
    ASSERT_EQ(Links.Links.size(), 1u);
    EXPECT_EQ(Links.Links[0].LinkFile, Link(c.name));
  }
}

TEST_F(LinksTest, ALinkNameFileWithoutLinesIsReportedAndTheTreeStaysAsItIs) {
  WriteLinkName("");
  Check({Readme, Smety});
  const auto before = Tree.Dump();
  EXPECT_THROW(Form.MakeLinksAndPruneTree(), EListError);
  EXPECT_TRUE(Links.Links.empty());
  EXPECT_TRUE(Form.ShortCutList.IsEmpty());
  EXPECT_EQ(Tree.Dump(), before);
}

// The pruned tree: folders (and entries whose installed copy is missing) only, collapsed,
// checked as the package preselects data sources, whatever the shortcut page's checks were.
const std::vector<std::string> kPruned = {
    "Шаблоны [ ]",
    "Сметы [ ] +",
    "  Архив [x] +",
    "Удалён.txt [ ]",
};

TEST_F(LinksTest, ThePruningLeavesTheDataSourcePagesFolders) {
  Form.AutoConnections.Add("Сметы\\Архив\\");
  Form.AutoConnections.Add("Шаблоны");  // without the backslash it names nothing
  Check({Shablony, Price});
  Tree.Expand(Shablony);
  Form.MakeLinksAndPruneTree();
  EXPECT_EQ(Tree.Dump(), kPruned);
}

TEST_F(LinksTest, AfterAConfirmedCancelNoLinksAreMadeButTheTreeIsPruned) {
  Form.AutoConnections.Add("Сметы\\Архив\\");
  Check({Smety, Price});
  Form.BreakInstall = true;
  Form.MakeLinksAndPruneTree();
  EXPECT_TRUE(Links.Links.empty());
  EXPECT_TRUE(Form.ShortCutList.IsEmpty());
  EXPECT_EQ(Tree.Dump(), kPruned);
}

TEST_F(LinksTest, TheDesktopFolderComesFromTheUsersShellFolders) {
  const std::string shellFolders =
      "Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
  const std::string recorded = World.Temp.Path("Desktop of record");
  const std::string shells = World.Temp.Path("Shell's desktop");
  World.Folders.Set(platform::CSIDL_DESKTOPDIRECTORY_CODE, shells);
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
    Links.Links.clear();
    Form.CreateDesktopLink(Installed("readme.txt"), "readme.txt");
    ASSERT_EQ(Links.Links.size(), 1u);
    EXPECT_EQ(Links.Links[0].LinkFile, c.linkFile);
  }
}

// With the build's own shell links: two entries of one name make one file, listed twice.
TEST_F(LinksTest, TwoLinksOfOneNameAreOneFileListedTwice) {
  platform::TScopedCurrent<platform::IShellLinks> own(platform::CurrentShellLinks::Default());
  WriteLinkName("readme.txt");
  Check({Smety, Readme});
  Form.MakeLinksAndPruneTree();
  EXPECT_EQ(Items(Form.ShortCutList),
            (std::vector<std::string>{Link("readme.txt"), Link("readme.txt")}));
  const auto desktop = platform::FindFiles(World.DesktopFolder, "*");
  ASSERT_EQ(desktop.size(), 1u);
  EXPECT_EQ(desktop[0].Name, "readme.txt.lnk");
}

TEST_F(LinksTest, AFailedSaveStopsTheLinksAndThePruning) {
  platform::TScopedCurrent<platform::IShellLinks> own(platform::CurrentShellLinks::Default());
  World.Registry.SetCurrentUser(
      "Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "Desktop",
      World.Temp.Path("no such desktop"));
  Check({Shablony, Readme});
  const auto before = Tree.Dump();
  EXPECT_THROW(Form.MakeLinksAndPruneTree(), EOSError);
  EXPECT_TRUE(Form.ShortCutList.IsEmpty());
  EXPECT_EQ(Tree.Dump(), before);
}

// The rollback's moves, which this test keeps away from the real shell.
class FakeShellFileOperations final : public platform::IShellFileOperations {
 public:
  int32_t Move(uintptr_t, const std::string&, const std::string&, unsigned) override { return 0; }
};

// The user checks shortcuts, then cancels the update on the shortcut page: the files the links
// would point at are the restored ones, so none are made; the data sources still are.
TEST_F(LinksTest, ACancelOnTheShortcutPageMakesNoLinksButStillRegistersDataSources) {
  FakeShellFileOperations moves;
  platform::TScopedCurrent<platform::IShellFileOperations> movesScope(moves);
  Form.BackUpCommonFolder = World.Temp.Path("backup of common\\");
  Form.BackUpAppFolder = World.Temp.Path("backup of documents\\");
  Form.AutoConnections.Add("Сметы\\Архив\\");
  Form.SetPageState(TPageState::psShortCuts);
  Check({Smety, Price});

  World.View.Answers.push_back(platform::ID_YES_CODE);
  Form.Image2Click();
  EXPECT_EQ(Form.PageState(), TPageState::psConnections);
  EXPECT_TRUE(Links.Links.empty());
  EXPECT_TRUE(Form.ShortCutList.IsEmpty());
  std::vector<std::string> shown = kPruned;
  shown.push_back(std::string(OnlineServiceCaption) + " [ ]");
  EXPECT_EQ(Tree.Dump(), shown);

  Form.Image3Click();
  EXPECT_EQ(Form.PageState(), TPageState::psDone);
  TConnectionsPool pool;
  pool.LoadFromOptionsStorage(false);
  EXPECT_NE(
      pool.FindConnection(TFileSystemConnection::ClassInfo().ClassID(), Installed("Сметы\\Архив")),
      nullptr);
}

}  // namespace
}  // namespace kv::app
