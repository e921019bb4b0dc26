// The copy page's work on real files: the package scan, the update with backups, cancels at
// each point where the window lets messages through, and the rollback.
#include <gtest/gtest.h>

#include <algorithm>
#include <any>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/dlgEasySetup.h"
#include "common/Exceptions.h"
#include "platform/Files.h"
#include "platform/Shell.h"
#include "platform/System.h"
#include "support/WizardWorld.h"

namespace kv::app {
namespace {

using Strings = std::vector<std::string>;
using test::FakeCheckedTree;
using test::ReadFileBytes;
using test::TWizardWorld;

constexpr int64_t kChunk = 65536;

// Bytes that differ from one chunk to the next, so that a chunk out of place shows.
std::string Pattern(size_t size, char seed) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) {
    bytes[i] = static_cast<char>(seed + i * 7 + i / 65521);
  }
  return bytes;
}

// Equal bytes, or where they first differ (the files are too large to print).
testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected) {
  if (actual == expected) {
    return testing::AssertionSuccess();
  }
  const auto [at, unused] =
      std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
  return testing::AssertionFailure() << actual.size() << " bytes instead of " << expected.size()
                                     << ", first difference at " << (at - actual.begin());
}

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

// The package entry list as path and tag pairs.
std::vector<std::pair<std::string, int>> Entries(const TfrmEasySetup& form) {
  std::vector<std::pair<std::string, int>> entries;
  for (int i = 0; i < form.DataList.Count(); ++i) {
    entries.emplace_back(form.DataList[i], std::any_cast<int>(form.DataList.Objects(i)));
  }
  return entries;
}

class UpdateTest : public testing::Test {
 protected:
  UpdateTest() : Form(World.CreateWizard()), View(World.View) {}

  // The next button on the welcome page: the update runs with the page's exit actions.
  void RunCopyPage() { Form.Image3Click(); }

  std::string Installed(int tag, const std::string& relative) const {
    return ReadFileBytes(Target(tag, relative));
  }
  std::string Target(int tag, const std::string& relative) const {
    return (tag == DocumentTreeTag ? World.MyFolderRoot : World.CommonDataFolder) + relative;
  }
  bool Logged(const std::string& line) const {
    return std::find(View.Log.begin(), View.Log.end(), line) != View.Log.end();
  }

  TWizardWorld World;
  TfrmEasySetup& Form;
  test::FakeEasySetupView& View;
};

// The scan lists every entry of both trees, each folder right before its content, skips dotted
// names and "linkname.txt", and builds the shortcut tree from the document tree only: within a
// folder its subfolders (last found first), then its files (in the order found).
TEST_F(UpdateTest, TheScanListsEntriesAndBuildsTheShortcutTree) {
  World.AddPackageFile(ClientTreeTag, "Data\\base.dat", "b");
  World.AddPackageFile(ClientTreeTag, "linkname.txt", "never an entry");
  World.AddPackageFile(ClientTreeTag, ".svn\\entries", "skipped with its folder");
  World.AddPackageFolder(DocumentTreeTag, "Сметы\\Архив");
  World.AddPackageFolder(DocumentTreeTag, "Сметы\\Бланки");
  World.AddPackageFile(DocumentTreeTag, "Сметы\\Прайс.xls", "p");
  World.AddPackageFile(DocumentTreeTag, "Сметы\\setup.exe", "MZ");
  World.AddPackageFile(DocumentTreeTag, "Сметы\\Install.EXE", "MZ");
  World.AddPackageFile(DocumentTreeTag, "Сметы\\linkname.txt", "Мои сметы");
  World.AddPackageFile(DocumentTreeTag, "Сметы\\.hidden.txt", "h");
  World.AddPackageFile(DocumentTreeTag, "Шаблоны\\LINKNAME.TXT", "an ordinary file");
  World.AddPackageFile(DocumentTreeTag, ".git\\config", "skipped with its folder");
  Form.AutoLinks.Add("Сметы\\Прайс.xls");
  Form.AutoLinks.Add("Шаблоны\\");

  RunCopyPage();

  using Entry = std::pair<std::string, int>;
  auto entries = Entries(Form);
  const std::vector<Entry> clientEntries(entries.begin(), entries.begin() + 2);
  EXPECT_EQ(clientEntries, (std::vector<Entry>{{"Data", 0}, {"Data\\base.dat", 0}}));
  std::vector<Entry> documentEntries(entries.begin() + 2, entries.end());
  // Each folder comes right before its own content.
  for (size_t i = 0; i < documentEntries.size(); ++i) {
    const std::string prefix = documentEntries[i].first + "\\";
    size_t end = i + 1;
    while (end < documentEntries.size() && documentEntries[end].first.starts_with(prefix)) {
      ++end;
    }
    for (size_t j = end; j < documentEntries.size(); ++j) {
      EXPECT_FALSE(documentEntries[j].first.starts_with(prefix))
          << documentEntries[j].first << " is apart from its folder";
    }
  }
  std::sort(documentEntries.begin(), documentEntries.end());
  EXPECT_EQ(documentEntries, (std::vector<Entry>{{"Сметы", 1},
                                                 {"Сметы\\Install.EXE", 1},
                                                 {"Сметы\\setup.exe", 1},
                                                 {"Сметы\\Архив", 1},
                                                 {"Сметы\\Бланки", 1},
                                                 {"Сметы\\Прайс.xls", 1},
                                                 {"Шаблоны", 1},
                                                 {"Шаблоны\\LINKNAME.TXT", 1}}));

  // Every node names its entry; the children of "Сметы" are ordered as the scan found them.
  FakeCheckedTree& tree = View.TreeView;
  ASSERT_EQ(tree.Count(), 8);
  std::map<std::string, TTreeNode> nodes;
  for (int i = 0; i < tree.Count(); ++i) {
    const TTreeNode node = tree.Item(i);
    std::string path = tree.Text(node);
    for (TTreeNode parent = tree.Parent(node); parent; parent = tree.Parent(parent)) {
      path = tree.Text(parent) + "\\" + path;
    }
    EXPECT_EQ(Form.DataList[tree.Data(node)], path);
    nodes[path] = node;
  }
  Strings folders;
  Strings files;
  for (const auto& entry : platform::FindFiles(World.DocumentTree + "Сметы", "*.*")) {
    if (entry.Name.starts_with('.') || entry.Name == "linkname.txt") {
      continue;
    }
    (entry.IsDirectory ? folders : files).push_back(entry.Name);
  }
  Strings expectedChildren(folders.rbegin(), folders.rend());
  expectedChildren.insert(expectedChildren.end(), files.begin(), files.end());
  Strings children;
  for (const auto& child : FakeCheckedTree::NodeOf(nodes["Сметы"]).Children) {
    children.push_back(child->Text);
  }
  EXPECT_EQ(children, expectedChildren);
  EXPECT_EQ(tree.TopItem, tree.Item(0));

  // Only ".exe" in this letter case asks the shell's folders; everything else, folders
  // included, gets its associated icon appended to the list.
  EXPECT_EQ(World.Icons.SystemIconPaths, Strings{World.DocumentTree + "Сметы\\setup.exe"});
  EXPECT_EQ(FakeCheckedTree::NodeOf(nodes["Сметы\\setup.exe"]).ImageIndex,
            test::FakeFileIcons::SystemIndex);
  EXPECT_EQ(World.Icons.AssociatedIconPaths.size(), 7u);
  EXPECT_GE(FakeCheckedTree::NodeOf(nodes["Сметы\\Install.EXE"]).ImageIndex, 8);

  // Preselected entries are checked with their ancestors expanded; the folder is checked
  // before its content exists, so its children stay unchecked.
  EXPECT_TRUE(tree.GetChecked(nodes["Сметы\\Прайс.xls"]));
  EXPECT_TRUE(FakeCheckedTree::NodeOf(nodes["Сметы"]).Expanded);
  EXPECT_FALSE(tree.GetChecked(nodes["Сметы"]));
  EXPECT_TRUE(tree.GetChecked(nodes["Шаблоны"]));
  EXPECT_FALSE(tree.GetChecked(nodes["Шаблоны\\LINKNAME.TXT"]));
  EXPECT_FALSE(FakeCheckedTree::NodeOf(nodes["Сметы\\Архив"]).Expanded);

  EXPECT_EQ(Installed(ClientTreeTag, "Data\\base.dat"), "b");
  EXPECT_EQ(Installed(DocumentTreeTag, "Шаблоны\\LINKNAME.TXT"), "an ordinary file");
  EXPECT_FALSE(platform::FileExists(Target(ClientTreeTag, "linkname.txt")));
  EXPECT_FALSE(platform::FileExists(Target(DocumentTreeTag, "Сметы\\linkname.txt")));
  EXPECT_FALSE(platform::DirectoryExists(Target(DocumentTreeTag, ".git")));
}

// Replaced files go to the dated backup first; every step is logged; an empty folder is
// counted but not created; an empty file counts as copied.
TEST_F(UpdateTest, TheUpdateBacksUpReplacesAndLogsEveryStep) {
  const std::string big = Pattern(static_cast<size_t>(kChunk * 3 + 17), 'n');
  World.AddInstalledFile(ClientTreeTag, "Data\\base.dat", "old base, longer than nothing");
  World.AddPackageFile(ClientTreeTag, "Data\\base.dat", big);
  World.AddPackageFile(ClientTreeTag, "Новая папка\\Новый.txt", "added");
  World.AddPackageFile(ClientTreeTag, "empty.bin", "");
  World.AddPackageFolder(ClientTreeTag, "Пустая");
  World.AddInstalledFile(DocumentTreeTag, "Отчёт.xls", "old report");
  World.AddPackageFile(DocumentTreeTag, "Отчёт.xls", "new report");
  World.AddPackageFile(DocumentTreeTag, "Ελληνικά\\日本語 😀.txt", "utf");

  RunCopyPage();

  const std::string backupCommon = Form.BackUpCommonFolder;
  const std::string backupApp = Form.BackUpAppFolder;
  for (const auto& [backup, root] :
       {std::pair{backupCommon, World.CommonDataFolder}, {backupApp, World.MyFolderRoot}}) {
    ASSERT_TRUE(backup.starts_with(root + "ExpressBackup\\")) << backup;
    const std::string stamp = backup.substr(root.size() + 14);
    EXPECT_TRUE(stamp.ends_with("\\")) << stamp;
    EXPECT_EQ(stamp.find(':'), std::string::npos) << stamp;
  }

  const std::map<std::string, Strings> linesOf = {
      {"Data\\base.dat",
       {"Создана директория " + Quoted(backupCommon + "Data\\"),
        "Файл \"Data\\base.dat\" сохранен в бэкапе.", "Файл \"Data\\base.dat\" обновлен."}},
      {"Новая папка\\Новый.txt",
       {"Создана директория " + Quoted(World.CommonDataFolder + "Новая папка\\"),
        "Файл \"Новая папка\\Новый.txt\" добавлен."}},
      {"empty.bin", {"Файл \"empty.bin\" добавлен."}},
      {"Отчёт.xls",
       {"Создана директория " + Quoted(backupApp), "Файл \"Отчёт.xls\" сохранен в бэкапе.",
        "Файл \"Отчёт.xls\" обновлен."}},
      {"Ελληνικά\\日本語 😀.txt",
       {"Создана директория " + Quoted(World.MyFolderRoot + "Ελληνικά\\"),
        "Файл \"Ελληνικά\\日本語 😀.txt\" добавлен."}},
  };
  Strings expected;
  for (const auto& [relative, tag] : Entries(Form)) {
    if (const auto it = linesOf.find(relative); it != linesOf.end()) {
      expected.insert(expected.end(), it->second.begin(), it->second.end());
    }
  }
  ASSERT_EQ(Form.DataList.Count(), 9);
  expected.insert(expected.end(), {"Все файлы обновлены.", "Количество обновленных файлов: 9", "",
                                   "Для продолжения нажмите \"Далее>\""});
  EXPECT_EQ(View.Log, expected);
  EXPECT_TRUE(View.Messages.empty());

  EXPECT_TRUE(SameBytes(Installed(ClientTreeTag, "Data\\base.dat"), big));
  EXPECT_EQ(ReadFileBytes(backupCommon + "Data\\base.dat"), "old base, longer than nothing");
  EXPECT_EQ(Installed(ClientTreeTag, "Новая папка\\Новый.txt"), "added");
  EXPECT_EQ(Installed(ClientTreeTag, "empty.bin"), "");
  EXPECT_FALSE(platform::DirectoryExists(Target(ClientTreeTag, "Пустая")));
  EXPECT_EQ(Installed(DocumentTreeTag, "Отчёт.xls"), "new report");
  EXPECT_EQ(ReadFileBytes(backupApp + "Отчёт.xls"), "old report");
  EXPECT_EQ(Installed(DocumentTreeTag, "Ελληνικά\\日本語 😀.txt"), "utf");

  EXPECT_EQ(View.ProgressMax[TControl::pbStatus], 9);
  EXPECT_EQ(View.Progress[TControl::pbStatus], 9);
  EXPECT_GE(View.LogScrolls, 18);
  EXPECT_FALSE(View.IsVisible(TControl::memInfo));
  EXPECT_TRUE(View.IsVisible(TControl::memStatus));
}

TEST(UpdateWithoutClientTest, NothingIsScannedOrCopied) {
  TWizardWorld world(false);
  world.AddPackageFile(ClientTreeTag, "Data\\base.dat", "new");
  TfrmEasySetup& form = world.CreateWizard();

  form.Image3Click();

  ASSERT_EQ(world.View.Messages.size(), 1u);
  EXPECT_EQ(world.View.Messages[0].Text,
            "Не удалось обнаружить установленную версию КАЛВОР Сметы версии 2018");
  EXPECT_EQ(world.View.Messages[0].Type, platform::MB_OK_CODE | platform::MB_ICONERROR_CODE);
  EXPECT_EQ(form.PageState(), TPageState::psDone);
  EXPECT_EQ(world.View.Text(TControl::lblFinish),
            "Экспресс установка прервана из-за ошибки. Для завершения нажмите кнопку "
            "\"Готово\"");
  EXPECT_FALSE(world.View.IsVisible(TControl::memStatus));
  EXPECT_EQ(form.DataList.Count(), 0);
  EXPECT_FALSE(platform::FileExists(world.CommonDataFolder + "Data\\base.dat"));
}

// A cancel confirmed at any point where the update lets messages through stops it there; the
// rollback puts every replaced file back and the wizard ends. A cancelled copy leaves its
// target absent, and granting access to it then raises, as the window's error report shows.
TEST(UpdateCancelTest, EveryPointOfCancelKeepsTheInstalledFiles) {
  struct Case {
    const char* Name;
    // The last log line when the cancel comes, and how many pumps after it.
    std::function<bool(const std::string&, const TWizardWorld&)> LastLine;
    int PumpsAfter;
    bool Raises;
  };
  const auto startsWith = [](const char* text) {
    return [text](const std::string& line, const TWizardWorld&) { return line.starts_with(text); };
  };
  const Case cases[] = {
      {"after creating the backup folder", startsWith("Создана директория"), 1, false},
      {"during the backup's copy", startsWith("Создана директория"), 2, false},
      {"after the backup", startsWith("Файл \"Data\\big.bin\" сохранен"), 1, false},
      {"during the update's copy", startsWith("Файл \"Data\\big.bin\" сохранен"), 3, true},
      {"after an entry", startsWith("Файл \"Data\\big.bin\" обновлен"), 1, false},
      {"after creating the target folder",
       [](const std::string& line, const TWizardWorld& world) {
         return line == "Создана директория " + Quoted(world.MyFolderRoot + "Новая\\");
       },
       1, false},
  };
  const std::string oldBytes = Pattern(static_cast<size_t>(kChunk * 2 + 5), 'o');
  const std::string newBytes = Pattern(static_cast<size_t>(kChunk * 4 + 9), 'n');
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TWizardWorld world;
    world.AddInstalledFile(ClientTreeTag, "Data\\big.bin", oldBytes);
    world.AddPackageFile(ClientTreeTag, "Data\\big.bin", newBytes);
    world.AddPackageFile(DocumentTreeTag, "Новая\\файл.txt", "new");
    TfrmEasySetup& form = world.CreateWizard();
    size_t logSize = 0;
    int pumps = 0;
    bool cancelled = false;
    world.View.OnProcessMessages = [&] {
      if (world.View.Log.size() != logSize) {
        logSize = world.View.Log.size();
        pumps = 0;
      }
      ++pumps;
      if (!cancelled && form.StartInstall && logSize > 0 &&
          c.LastLine(world.View.Log.back(), world) && pumps == c.PumpsAfter) {
        cancelled = true;
        world.View.Answers.push_back(platform::ID_YES_CODE);
        form.Image2Click();
      }
    };

    if (c.Raises) {
      EXPECT_THROW(form.Image3Click(), EOSError);
    } else {
      EXPECT_NO_THROW(form.Image3Click());
    }

    ASSERT_TRUE(cancelled);
    EXPECT_TRUE(world.View.Closed);
    EXPECT_TRUE(SameBytes(ReadFileBytes(world.CommonDataFolder + "Data\\big.bin"), oldBytes));
    EXPECT_FALSE(platform::FileExists(world.MyFolderRoot + "Новая\\файл.txt"));
    EXPECT_FALSE(platform::DirectoryExists(form.BackUpCommonFolder));
    EXPECT_TRUE(platform::DirectoryExists(world.CommonDataFolder + "ExpressBackup"));
    EXPECT_EQ(world.View.Log.back(), "Произвожу процесс восстановления данных.");
    ASSERT_EQ(world.View.Messages.size(), 1u);
    EXPECT_EQ(world.View.Messages[0].Text, "Отменить процесс экспресс обновления?");
  }
}

// Input the update cannot use ends as a logged failure or the error report, never with an
// installed file lost.
TEST_F(UpdateTest, EntriesLongerThan260CharactersAreCutAndSkipped) {
  // Three folders of about 100 characters: the file's relative path has more than 260, and the
  // 260th character is the first half of a character beyond the 16-bit range.
  const std::string part(100, 'd');
  const std::string folder = part + "\\" + part + "\\" + std::string(57, 'd') + "😀" + part;
  const std::string file = folder + "\\Длинный.txt";
  try {
    World.AddPackageFile(ClientTreeTag, file, "long");
  } catch (const EOSError& e) {
    GTEST_SKIP() << "the file system takes no path that long: " << e.Message();
  }

  RunCopyPage();

  Strings entries;
  for (const auto& [relative, tag] : Entries(Form)) {
    entries.push_back(relative);
  }
  // The third folder and the file in it are cut to the same 259 characters, before the pair.
  const std::string cut = part + "\\" + part + "\\" + std::string(57, 'd');
  EXPECT_EQ(entries, (Strings{part, part + "\\" + part, cut, cut}));
  EXPECT_EQ(View.Log.front(), "Все файлы обновлены.");
  EXPECT_EQ(View.Log[1], "Количество обновленных файлов: 4");
  EXPECT_TRUE(View.Messages.empty());
}

TEST_F(UpdateTest, AFolderOfThePackageWhereTheInstalledCopyIsAFile) {
  World.AddInstalledFile(DocumentTreeTag, "Шаблоны", "a file, not a folder");
  World.AddPackageFile(DocumentTreeTag, "Шаблоны\\Акт.xlt", "act");

  // The folder cannot be made, the copy into it fails, and so does the access change after it.
  EXPECT_THROW(RunCopyPage(), EOSError);

  EXPECT_EQ(Installed(DocumentTreeTag, "Шаблоны"), "a file, not a folder");
  EXPECT_EQ(View.Log, Strings{"Ошибка обновления файла: \"Шаблоны\\Акт.xlt\""});
  ASSERT_EQ(View.Messages.size(), 1u);
  EXPECT_TRUE(View.Messages[0].Text.starts_with("Step: 2 - ")) << View.Messages[0].Text;
  EXPECT_FALSE(Form.StartInstall);
}

TEST_F(UpdateTest, AFileOfThePackageWhereTheInstalledCopyIsAFolder) {
  World.AddInstalledFile(ClientTreeTag, "Kvsmeta.ini\\user.ini", "user's");
  World.AddPackageFile(ClientTreeTag, "Kvsmeta.ini", "ini");

  RunCopyPage();

  EXPECT_EQ(Installed(ClientTreeTag, "Kvsmeta.ini\\user.ini"), "user's");
  EXPECT_TRUE(Logged("Ошибка обновления файла: \"Kvsmeta.ini\""));
  EXPECT_TRUE(Logged("Все файлы обновлены."));
  ASSERT_EQ(View.Messages.size(), 1u);
  EXPECT_TRUE(View.Messages[0].Text.starts_with("Step: 2 - ")) << View.Messages[0].Text;
}

// Without a complete backup the installed file is not overwritten: the rollback could not
// bring it back.
TEST_F(UpdateTest, AnInstalledFileWithoutABackupIsNotOverwritten) {
  World.AddInstalledFile(ClientTreeTag, "base.dat", "old");
  World.AddPackageFile(ClientTreeTag, "base.dat", "new");
  // A file where the backup folders should go.
  test::WriteFileBytes(World.CommonDataFolder + "ExpressBackup", "in the way");

  RunCopyPage();

  EXPECT_EQ(Installed(ClientTreeTag, "base.dat"), "old");
  EXPECT_EQ(View.Log, (Strings{"Ошибка создания резервной копии \"base.dat\"",
                               "Ошибка обновления файла: \"base.dat\"", "Все файлы обновлены.",
                               "Количество обновленных файлов: 1", "",
                               "Для продолжения нажмите \"Далее>\""}));
  ASSERT_EQ(View.Messages.size(), 1u);
  EXPECT_TRUE(View.Messages[0].Text.starts_with("Step: 2 - ")) << View.Messages[0].Text;
}

// The file copy on its own.
class CopyPackageFileTest : public UpdateTest {
 protected:
  std::string Path(const std::string& name) const { return World.Temp.Path(name); }
};

TEST_F(CopyPackageFileTest, TheTargetHoldsExactlyTheSourcesBytes) {
  const struct {
    const char* Name;
    std::string Source;
    std::string Target;  // what the target held before; empty: no target
  } cases[] = {
      {"new target", "source bytes", ""},
      {"longer old target", "short", std::string(kChunk + 3, 'x')},
      {"empty source over a file", "", "old content"},
      {"several chunks", Pattern(static_cast<size_t>(kChunk * 2 + 1), 's'), "old"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    test::WriteFileBytes(Path("source.bin"), c.Source);
    platform::DeleteFile(Path("target.bin"));
    if (!c.Target.empty()) {
      test::WriteFileBytes(Path("target.bin"), c.Target);
    }
    EXPECT_TRUE(Form.CopyPackageFile(Path("source.bin"), Path("target.bin")));
    EXPECT_TRUE(SameBytes(ReadFileBytes(Path("target.bin")), c.Source));
  }
  EXPECT_TRUE(View.Messages.empty());
}

TEST_F(CopyPackageFileTest, EachFailedStepIsShownWithTheSystemsText) {
  test::WriteFileBytes(Path("source.bin"), "bytes");
  const auto codeOf = [](const std::string& path, platform::TFileOpenMode mode) {
    uint32_t code = 0;
    platform::TryOpenFile(path, mode, platform::TFileShare::DenyNone, code);
    return platform::SystemErrorMessage(code);
  };

  EXPECT_FALSE(Form.CopyPackageFile(Path("нет.bin"), Path("target.bin")));
  EXPECT_FALSE(Form.CopyPackageFile(Path("source.bin"), Path("нет\\target.bin")));

  ASSERT_EQ(View.Messages.size(), 2u);
  EXPECT_EQ(View.Messages[0].Text,
            "Step: 1 - " + codeOf(Path("нет.bin"), platform::TFileOpenMode::OpenRead));
  EXPECT_EQ(View.Messages[0].Type, platform::MB_OK_CODE);
  EXPECT_EQ(View.Messages[1].Text,
            "Step: 2 - " + codeOf(Path("нет\\target.bin"), platform::TFileOpenMode::OpenOrCreate));
  EXPECT_FALSE(platform::FileExists(Path("target.bin")));
}

// The per-file bar moves only when the rounded percentage grows, halves rounded to even.
TEST_F(CopyPackageFileTest, TheFileBarShowsEachGrowingPercentage) {
  const struct {
    int64_t Size;
    std::vector<int> Shown;
  } cases[] = {
      {kChunk * 8, {12, 25, 38, 50, 62, 75, 88, 100}},
      {kChunk * 2 + 1, {50, 100}},
      {kChunk * 200, {}},  // checked below: at most one update per percent
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Size);
    test::WriteFileBytes(Path("source.bin"), std::string(static_cast<size_t>(c.Size), 'z'));
    View.ProgressHistory.clear();
    const int pumps = View.MessagePumps;
    ASSERT_TRUE(Form.CopyPackageFile(Path("source.bin"), Path("target.bin")));
    const std::vector<int>& shown = View.ProgressHistory[TControl::pbCurrentProgress];
    EXPECT_EQ(View.MessagePumps - pumps, (c.Size + kChunk - 1) / kChunk);
    if (!c.Shown.empty()) {
      EXPECT_EQ(shown, c.Shown);
    } else {
      EXPECT_EQ(shown.size(), 100u);
      EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end()));
      EXPECT_EQ(shown.back(), 100);
    }
  }
}

// A mapping and a target whose failures the test chooses.
class FailingMapping final : public platform::IFileMapping {
 public:
  explicit FailingMapping(const std::string& bytes, int64_t failAt)
      : FBytes(bytes), FFailAt(failAt) {}
  std::unique_ptr<platform::IMappedView> MapView(int64_t offset, size_t,
                                                 uint32_t& errorCode) override {
    if (offset == FFailAt) {
      errorCode = 8;
      return nullptr;
    }
    return std::make_unique<TView>(FBytes.data() + offset);
  }

 private:
  struct TView final : platform::IMappedView {
    explicit TView(const char* data) : FData(data) {}
    const void* Data() const override { return FData; }
    const char* FData;
  };
  const std::string& FBytes;
  int64_t FFailAt;
};

class FailingTarget final : public platform::IFileHandle {
 public:
  explicit FailingTarget(int64_t failAt) : FFailAt(failAt) {}
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void* buffer, int64_t count) override {
    if (std::ssize(Written) == FFailAt) {
      throw EOSError("disk full", 112);
    }
    Written.append(static_cast<const char*>(buffer), static_cast<size_t>(count));
    return count;
  }
  int64_t Seek(int64_t, platform::TSeekOrigin) override { return 0; }
  int64_t Size() override { return std::ssize(Written); }
  void SetSize(int64_t) override {}
  std::unique_ptr<platform::IFileMapping> MapReadOnly(uint32_t&) override { return nullptr; }

  std::string Written;

 private:
  int64_t FFailAt;
};

TEST_F(UpdateTest, AFailedViewOrWriteIsShownWithItsPosition) {
  const std::string bytes = Pattern(static_cast<size_t>(kChunk * 2 + 10), 'c');
  const int64_t size = std::ssize(bytes);
  const std::string where =
      "\r\nТекущая позиция = 65536\r\nразмер текущего блока = 65536"
      "\r\nОбщий размер блока = 65536\r\nРазмер файла = 131082";
  const struct {
    const char* Name;
    int64_t ViewFailsAt;
    int64_t WriteFailsAt;
    int32_t Result;
    std::string Message;
  } cases[] = {
      {"all copied", -1, -1, 10, ""},
      {"view", kChunk, -1, -1, platform::SystemErrorMessage(8) + where},
      {"write", -1, kChunk, -1,
       "Ошибка при записи:\r\n" + platform::SystemErrorMessage(112) + where},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    View.Messages.clear();
    FailingMapping mapping(bytes, c.ViewFailsAt);
    FailingTarget target(c.WriteFailsAt);
    EXPECT_EQ(Form.CopyMappedChunks(mapping, target, size), c.Result);
    if (c.Message.empty()) {
      EXPECT_TRUE(View.Messages.empty());
      EXPECT_TRUE(SameBytes(target.Written, bytes));
    } else {
      ASSERT_EQ(View.Messages.size(), 1u);
      EXPECT_EQ(View.Messages[0].Text, c.Message);
      EXPECT_TRUE(SameBytes(target.Written, bytes.substr(0, kChunk)));
    }
  }
}

TEST_F(UpdateTest, GetShellIconIndexAsksTheShellFoldersOnlyForExe) {
  const struct {
    const char* Path;
    bool System;
  } cases[] = {
      {"C:\\Пакет\\setup.exe", true},  {"C:\\Пакет\\SETUP.EXE", false},
      {"C:\\Пакет\\a.exe.txt", false}, {"C:\\Пакет.exe\\readme", false},
      {"C:\\Пакет\\Папка", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Path);
    const int32_t count = World.Icons.Count;
    const int32_t index = Form.GetShellIconIndex(c.Path);
    EXPECT_EQ(index, c.System ? test::FakeFileIcons::SystemIndex : count);
    EXPECT_EQ(World.Icons.Count, c.System ? count : count + 1);
  }
}

// The rollback moves every backup back into its target root, removes the emptied backup roots
// and deletes the shortcuts made; a second run finds nothing to do.
TEST_F(UpdateTest, RestoreBackupsPutsTheBackupsBackAndDeletesTheLinks) {
  Form.SmetaCommonFolder = World.CommonDataFolder;
  Form.SmetaAppFolder = World.MyFolderRoot;
  Form.BackUpCommonFolder = World.CommonDataFolder + "ExpressBackup\\05.03.2024 10-20-30\\";
  Form.BackUpAppFolder = World.MyFolderRoot + "ExpressBackup\\05.03.2024 10-20-31\\";
  TWizardWorld::WriteFile(Form.BackUpCommonFolder + "Data\\base.dat", "old base");
  World.AddInstalledFile(ClientTreeTag, "Data\\base.dat", "new base");
  World.AddInstalledFile(ClientTreeTag, "Data\\added.dat", "added by the update");
  TWizardWorld::WriteFile(Form.BackUpAppFolder + "Отчёт.xls", "old report");
  World.AddInstalledFile(DocumentTreeTag, "Отчёт.xls", "new report");
  const std::string link = World.DesktopFolder + "Отчёт.xls.lnk";
  test::WriteFileBytes(link, "link");
  Form.ShortCutList.Add(link);
  Form.ShortCutList.Add(World.DesktopFolder + "Нет.lnk");

  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(run);
    Form.RestoreBackups();
    EXPECT_EQ(Installed(ClientTreeTag, "Data\\base.dat"), "old base");
    EXPECT_EQ(Installed(ClientTreeTag, "Data\\added.dat"), "added by the update");
    EXPECT_EQ(Installed(DocumentTreeTag, "Отчёт.xls"), "old report");
    EXPECT_FALSE(platform::DirectoryExists(Form.BackUpCommonFolder));
    EXPECT_FALSE(platform::DirectoryExists(Form.BackUpAppFolder));
    EXPECT_TRUE(platform::DirectoryExists(World.MyFolderRoot + "ExpressBackup"));
    EXPECT_FALSE(platform::FileExists(link));
    EXPECT_EQ(Form.ShortCutList.Count(), 2);
  }
}

// The shell's answers: an error code with the top bit set is raised, any other is ignored.
class FakeShellFileOperations final : public platform::IShellFileOperations {
 public:
  int32_t Move(uintptr_t, const std::string& sourcePattern, const std::string& targetFolder,
               unsigned flags) override {
    Calls.push_back(sourcePattern + " -> " + targetFolder);
    Flags = flags;
    return Result;
  }
  int32_t Result = 0;
  unsigned Flags = 0;
  Strings Calls;
};

TEST_F(UpdateTest, RestoreBackupsRaisesOnlyShellErrorsWithTheTopBit) {
  FakeShellFileOperations shell;
  const platform::TScopedCurrent<platform::IShellFileOperations> scope(shell);

  Form.RestoreBackups();
  EXPECT_TRUE(shell.Calls.empty()) << "no backups named yet";

  Form.SmetaCommonFolder = "C:\\Common\\";
  Form.SmetaAppFolder = "C:\\App\\";
  Form.BackUpCommonFolder = "C:\\Common\\ExpressBackup\\1\\";
  Form.BackUpAppFolder = "C:\\App\\ExpressBackup\\2\\";
  shell.Result = 0x402;
  Form.RestoreBackups();
  EXPECT_EQ(shell.Calls, (Strings{"C:\\Common\\ExpressBackup\\1\\*.* -> C:\\Common\\",
                                  "C:\\App\\ExpressBackup\\2\\*.* -> C:\\App\\"}));
  EXPECT_EQ(shell.Flags, 0x50u);

  shell.Result = static_cast<int32_t>(0x80004005);
  EXPECT_THROW(Form.RestoreBackups(), EOSError);
}

}  // namespace
}  // namespace kv::app
