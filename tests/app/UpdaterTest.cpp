// The copy page's work on real files: the update with backups as the wizard runs it (after the
// package scan), cancels at each point where the window lets messages through, the file copy on
// its own, and the rollback.
#include "app/Updater.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/dlgEasySetup.h"
#include "base/Exceptions.h"
#include "platform/FileSecurity.h"
#include "platform/Files.h"
#include "platform/OSError.h"
#include "platform/Shell.h"
#include "platform/System.h"
#include "platform/Text.h"
#include "support/FakeUpdateProgress.h"
#include "support/FaultyUpdate.h"
#include "support/TempFolder.h"
#include "support/WizardWorld.h"

namespace kv::app {
namespace {

using Strings = std::vector<std::string>;
using test::FakeCheckedTree;
using test::ReadFileBytes;
using test::TWizardWorld;

// What the copy writes between two message pumps.
const int64_t kChunk = CopyChunkSize();

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
  for (const TPackageEntry& entry : form.DataList()) {
    entries.emplace_back(entry.Path, static_cast<int>(entry.Tree));
  }
  return entries;
}

class UpdateTest : public testing::Test {
 protected:
  // prepare lays out the world before the wizard reads settings.ini.
  explicit UpdateTest(void (*prepare)(TWizardWorld&) = nullptr)
      : Form(Create(World, prepare)), View(World.View) {}

  static TfrmEasySetup& Create(TWizardWorld& world, void (*prepare)(TWizardWorld&)) {
    if (prepare) {
      prepare(world);
    }
    return world.CreateWizard();
  }

  // The next button on the welcome page: the update runs with the page's exit actions.
  void RunCopyPage() { Form.Image3Click(); }

  std::string Installed(TPackageTree tree, const std::string& relative) const {
    return ReadFileBytes(Target(tree, relative));
  }
  std::string Target(TPackageTree tree, const std::string& relative) const {
    return (tree == TPackageTree::Document ? World.MyFolderRoot : World.CommonDataFolder) +
           relative;
  }
  bool Logged(const std::string& line) const {
    return std::find(View.Log.begin(), View.Log.end(), line) != View.Log.end();
  }

  TWizardWorld World;
  TfrmEasySetup& Form;
  test::FakeEasySetupView& View;
};

class UpdateScanTest : public UpdateTest {
 protected:
  UpdateScanTest() : UpdateTest(&Prepare) {}

  static void Prepare(TWizardWorld& world) {
    world.AddPackageFile(TPackageTree::Client, "Data\\base.dat", "b");
    world.AddPackageFile(TPackageTree::Client, "linkname.txt", "never an entry");
    world.AddPackageFile(TPackageTree::Client, ".svn\\entries", "skipped with its folder");
    world.AddPackageFolder(TPackageTree::Document, "Сметы\\Архив");
    world.AddPackageFolder(TPackageTree::Document, "Сметы\\Бланки");
    world.AddPackageFile(TPackageTree::Document, "Сметы\\Прайс.xls", "p");
    world.AddPackageFile(TPackageTree::Document, "Сметы\\setup.exe", "MZ");
    world.AddPackageFile(TPackageTree::Document, "Сметы\\Install.EXE", "MZ");
    world.AddPackageFile(TPackageTree::Document, "Сметы\\linkname.txt", "Мои сметы");
    world.AddPackageFile(TPackageTree::Document, "Сметы\\.hidden.txt", "h");
    world.AddPackageFile(TPackageTree::Document, "Шаблоны\\LINKNAME.TXT", "an ordinary file");
    world.AddPackageFile(TPackageTree::Document, ".git\\config", "skipped with its folder");
    world.WriteSettings(platform::EncodeCodePage(platform::AnsiCodePage(),
                                                 "[links]\na=Сметы\\Прайс.xls\nb=Шаблоны\n"));
  }
};

// The scan lists every entry of both trees, each folder right before its content, skips dotted
// names and "linkname.txt", and builds the shortcut tree from the document tree only: within a
// folder its subfolders (last found first), then its files (in the order found).
TEST_F(UpdateScanTest, TheScanListsEntriesAndBuildsTheShortcutTree) {
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
    EXPECT_EQ(Form.DataList()[static_cast<size_t>(tree.Data(node))].Path, path);
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

  // The icons wait until the nodes are drawn. Then only ".exe" in this letter case asks the
  // shell's folders; everything else, folders included, gets its associated icon appended to the
  // list.
  EXPECT_TRUE(World.Icons.SystemIconPaths.empty());
  EXPECT_TRUE(World.Icons.AssociatedIconPaths.empty());
  for (int i = 0; i < tree.Count(); ++i) {
    tree.Draw(tree.Item(i));
  }
  EXPECT_EQ(World.Icons.SystemIconPaths, Strings{World.DocumentTree + "Сметы\\setup.exe"});
  EXPECT_EQ(tree.Draw(nodes["Сметы\\setup.exe"]), test::FakeFileIcons::SystemIndex);
  EXPECT_EQ(World.Icons.AssociatedIconPaths.size(), 7u);
  EXPECT_GE(tree.Draw(nodes["Сметы\\Install.EXE"]), 8);

  // Preselected entries are checked with their ancestors expanded; the folder is checked
  // before its content exists, so its children stay unchecked.
  EXPECT_TRUE(tree.GetChecked(nodes["Сметы\\Прайс.xls"]));
  EXPECT_TRUE(FakeCheckedTree::NodeOf(nodes["Сметы"]).Expanded);
  EXPECT_FALSE(tree.GetChecked(nodes["Сметы"]));
  EXPECT_TRUE(tree.GetChecked(nodes["Шаблоны"]));
  EXPECT_FALSE(tree.GetChecked(nodes["Шаблоны\\LINKNAME.TXT"]));
  EXPECT_FALSE(FakeCheckedTree::NodeOf(nodes["Сметы\\Архив"]).Expanded);

  EXPECT_EQ(Installed(TPackageTree::Client, "Data\\base.dat"), "b");
  EXPECT_EQ(Installed(TPackageTree::Document, "Шаблоны\\LINKNAME.TXT"), "an ordinary file");
  EXPECT_FALSE(platform::FileExists(Target(TPackageTree::Client, "linkname.txt")));
  EXPECT_FALSE(platform::FileExists(Target(TPackageTree::Document, "Сметы\\linkname.txt")));
  EXPECT_FALSE(platform::DirectoryExists(Target(TPackageTree::Document, ".git")));
}

// Replaced files go to the dated backup first; every step is logged; an empty folder is
// counted but not created; an empty file counts as copied.
TEST_F(UpdateTest, TheUpdateBacksUpReplacesAndLogsEveryStep) {
  const std::string big = Pattern(static_cast<size_t>(kChunk * 3 + 17), 'n');
  World.AddInstalledFile(TPackageTree::Client, "Data\\base.dat", "old base, longer than nothing");
  World.AddPackageFile(TPackageTree::Client, "Data\\base.dat", big);
  World.AddPackageFile(TPackageTree::Client, "Новая папка\\Новый.txt", "added");
  World.AddPackageFile(TPackageTree::Client, "empty.bin", "");
  World.AddPackageFolder(TPackageTree::Client, "Пустая");
  World.AddInstalledFile(TPackageTree::Document, "Отчёт.xls", "old report");
  World.AddPackageFile(TPackageTree::Document, "Отчёт.xls", "new report");
  World.AddPackageFile(TPackageTree::Document, "Ελληνικά\\日本語 😀.txt", "utf");

  RunCopyPage();

  const std::string backupCommon = Form.BackUpCommonFolder();
  const std::string backupApp = Form.BackUpAppFolder();
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
  ASSERT_EQ(Form.DataList().size(), 9u);
  expected.insert(expected.end(), {"Все файлы обновлены.", "Количество обновленных файлов: 9", "",
                                   "Для продолжения нажмите \"Далее>\""});
  EXPECT_EQ(View.Log, expected);
  EXPECT_TRUE(View.Messages.empty());

  EXPECT_TRUE(SameBytes(Installed(TPackageTree::Client, "Data\\base.dat"), big));
  EXPECT_EQ(ReadFileBytes(backupCommon + "Data\\base.dat"), "old base, longer than nothing");
  EXPECT_EQ(Installed(TPackageTree::Client, "Новая папка\\Новый.txt"), "added");
  EXPECT_EQ(Installed(TPackageTree::Client, "empty.bin"), "");
  EXPECT_FALSE(platform::DirectoryExists(Target(TPackageTree::Client, "Пустая")));
  EXPECT_EQ(Installed(TPackageTree::Document, "Отчёт.xls"), "new report");
  EXPECT_EQ(ReadFileBytes(backupApp + "Отчёт.xls"), "old report");
  EXPECT_EQ(Installed(TPackageTree::Document, "Ελληνικά\\日本語 😀.txt"), "utf");

  EXPECT_EQ(View.EntryCount, 9);
  EXPECT_EQ(View.EntriesDone, 9);
  EXPECT_GE(View.LogScrolls, 18);
  EXPECT_FALSE(View.IsVisible(TViewPart::Welcome));
  EXPECT_TRUE(View.IsVisible(TViewPart::Log));
}

TEST(UpdateWithoutClientTest, NothingIsScannedOrCopied) {
  TWizardWorld world(false);
  world.AddPackageFile(TPackageTree::Client, "Data\\base.dat", "new");
  TfrmEasySetup& form = world.CreateWizard();

  form.Image3Click();

  ASSERT_EQ(world.View.Messages.size(), 1u);
  EXPECT_EQ(world.View.Messages[0].Text,
            "Не удалось обнаружить установленную версию КАЛВОР Сметы версии 2018");
  EXPECT_EQ(world.View.Messages[0].Kind, test::FakeEasySetupView::TMessageKind::Error);
  EXPECT_EQ(form.PageState(), TPageState::psDone);
  EXPECT_EQ(world.View.FinishText,
            "Экспресс установка прервана из-за ошибки. Для завершения нажмите кнопку "
            "\"Готово\"");
  EXPECT_FALSE(world.View.IsVisible(TViewPart::Log));
  EXPECT_TRUE(form.DataList().empty());
  EXPECT_FALSE(platform::FileExists(world.CommonDataFolder + "Data\\base.dat"));
}

// A cancel confirmed at any point where the update lets messages through stops it there; the
// rollback puts every replaced file back once the copy has stopped, and the wizard ends. A
// cancelled copy leaves its target absent. The backup is a rename without pauses; only where the
// rename is refused (here the installed file is held open) does it copy, chunk by chunk.
TEST(UpdateCancelTest, EveryPointOfCancelKeepsTheInstalledFiles) {
  struct Case {
    const char* Name;
    // The last log line when the cancel comes, and how many pumps after it.
    std::function<bool(const std::string&, const TWizardWorld&)> LastLine;
    int PumpsAfter;
    bool HoldInstalledOpen = false;
  };
  const auto startsWith = [](const char* text) {
    return [text](const std::string& line, const TWizardWorld&) { return line.starts_with(text); };
  };
  const Case cases[] = {
      {"after creating the backup folder", startsWith("Создана директория"), 1},
      {"during the backup's copy", startsWith("Создана директория"), 2, true},
      {"after the backup", startsWith("Файл \"Data\\big.bin\" сохранен"), 1},
      {"during the update's copy", startsWith("Файл \"Data\\big.bin\" сохранен"), 3},
      {"after an entry", startsWith("Файл \"Data\\big.bin\" обновлен"), 1},
      {"after creating the target folder",
       [](const std::string& line, const TWizardWorld& world) {
         return line == "Создана директория " + Quoted(world.MyFolderRoot + "Новая\\");
       },
       1},
  };
  const std::string oldBytes = Pattern(static_cast<size_t>(kChunk * 2 + 5), 'o');
  const std::string newBytes = Pattern(static_cast<size_t>(kChunk * 4 + 9), 'n');
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TWizardWorld world;
    world.AddInstalledFile(TPackageTree::Client, "Data\\big.bin", oldBytes);
    world.AddPackageFile(TPackageTree::Client, "Data\\big.bin", newBytes);
    world.AddPackageFile(TPackageTree::Document, "Новая\\файл.txt", "new");
    std::unique_ptr<platform::IFileHandle> holder;
    if (c.HoldInstalledOpen) {
      holder = platform::OpenFile(world.CommonDataFolder + "Data\\big.bin",
                                  platform::TFileOpenMode::OpenRead);
    }
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
      if (!cancelled && form.StartInstall() && logSize > 0 &&
          c.LastLine(world.View.Log.back(), world) && pumps == c.PumpsAfter) {
        cancelled = true;
        world.View.Answers.push_back(true);
        form.Image2Click();
      }
    };

    EXPECT_NO_THROW(form.Image3Click());
    holder.reset();

    ASSERT_TRUE(cancelled);
    EXPECT_TRUE(world.View.Closed);
    EXPECT_TRUE(SameBytes(ReadFileBytes(world.CommonDataFolder + "Data\\big.bin"), oldBytes));
    EXPECT_FALSE(platform::FileExists(world.MyFolderRoot + "Новая\\файл.txt"));
    EXPECT_FALSE(platform::DirectoryExists(form.BackUpCommonFolder()));
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
    World.AddPackageFile(TPackageTree::Client, file, "long");
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

// Entries the system refuses are logged and counted; the entries after them are still copied.
TEST(UpdateFaultTest, AFolderOfThePackageWhereTheInstalledCopyIsAFile) {
  TWizardWorld world;
  test::TFaultyUpdate update(world);
  world.AddInstalledFile(TPackageTree::Client, "Data\\Шаблоны", "a file, not a folder");
  world.AddPackageFile(TPackageTree::Client, "Data\\Шаблоны\\Акт.xlt", "act");

  update.Run(world.CreateWizard());

  EXPECT_EQ(ReadFileBytes(world.CommonDataFolder + "Data\\Шаблоны"), "a file, not a folder");
  update.ExpectFailed({"Data\\Шаблоны\\Акт.xlt"});
  ASSERT_EQ(world.View.Messages.size(), 1u);
  EXPECT_TRUE(world.View.Messages[0].Text.starts_with("Step: 2 - ")) << world.View.Messages[0].Text;
}

TEST(UpdateFaultTest, AFileOfThePackageWhereTheInstalledCopyIsAFolder) {
  TWizardWorld world;
  test::TFaultyUpdate update(world);
  platform::DeleteFile(update.Target(test::TFaultyUpdate::kFaulty));
  world.AddInstalledFile(TPackageTree::Client,
                         std::string(test::TFaultyUpdate::kFaulty) + "\\user.ini", "user's");

  update.Run(world.CreateWizard());

  EXPECT_EQ(ReadFileBytes(update.Target(test::TFaultyUpdate::kFaulty) + "\\user.ini"), "user's");
  EXPECT_TRUE(std::count(world.View.Log.begin(), world.View.Log.end(),
                         "Ошибка обновления файла: \"Data\\faulty.dat\""));
  EXPECT_EQ(ReadFileBytes(update.Target(test::TFaultyUpdate::kSound)), "new sound");
  ASSERT_EQ(world.View.Messages.size(), 1u);
  EXPECT_TRUE(world.View.Messages[0].Text.starts_with("Step: 2 - ")) << world.View.Messages[0].Text;
}

// The package file vanishes (or can no longer be read) once the installed file is in the
// backup: the original goes back at once and the update goes on.
TEST(UpdateFaultTest, APackageFileGoneAfterTheBackupPutsTheOriginalBack) {
  TWizardWorld world;
  test::TFaultyUpdate update(world);
  world.View.OnProcessMessages = [&] {
    if (!world.View.Log.empty() &&
        world.View.Log.back() == "Файл \"Data\\faulty.dat\" сохранен в бэкапе.") {
      platform::DeleteFile(update.Source(test::TFaultyUpdate::kFaulty));
    }
  };
  TfrmEasySetup& form = world.CreateWizard();

  update.Run(form);

  update.ExpectFailed({test::TFaultyUpdate::kFaulty});
  EXPECT_TRUE(std::count(world.View.Log.begin(), world.View.Log.end(),
                         "Файл \"Data\\faulty.dat\" восстановлен из бэкапа."));
  EXPECT_FALSE(platform::FileExists(form.BackUpCommonFolder() + test::TFaultyUpdate::kFaulty));
  EXPECT_EQ(ReadFileBytes(form.BackUpCommonFolder() + test::TFaultyUpdate::kSound),
            test::TFaultyUpdate::kOldSound);
  ASSERT_EQ(world.View.Messages.size(), 1u);
  EXPECT_TRUE(world.View.Messages[0].Text.starts_with("Step: 1 - ")) << world.View.Messages[0].Text;
}

// Without a complete backup the installed file is not overwritten: the rollback could not
// bring it back.
TEST_F(UpdateTest, AnInstalledFileWithoutABackupIsNotOverwritten) {
  World.AddInstalledFile(TPackageTree::Client, "base.dat", "old");
  World.AddPackageFile(TPackageTree::Client, "base.dat", "new");
  // A file where the backup folders should go.
  test::WriteFileBytes(World.CommonDataFolder + "ExpressBackup", "in the way");

  RunCopyPage();

  EXPECT_EQ(Installed(TPackageTree::Client, "base.dat"), "old");
  EXPECT_EQ(
      View.Log,
      (Strings{"Ошибка создания резервной копии \"base.dat\"",
               "Ошибка обновления файла: \"base.dat\"", "Обновлены не все файлы.",
               "Не обновлен файл: \"base.dat\"", "Количество необновленных файлов: 1",
               "Количество обновленных файлов: 0", "", "Для продолжения нажмите \"Далее>\""}));
  ASSERT_EQ(View.Messages.size(), 1u);
  EXPECT_TRUE(View.Messages[0].Text.starts_with("Step: 2 - ")) << View.Messages[0].Text;
}

// The updater on its own, reporting to a fake.
class UpdaterTest : public testing::Test {
 protected:
  std::string Path(const std::string& name) const { return Temp.Path(name); }

  test::TTempFolder Temp;
  test::FakeUpdateProgress Progress;
  TCancelToken Cancel;
  TUpdater Updater{Progress, Cancel, platform::CurrentFileSecurity::Get(),
                   platform::CurrentShellFileOperations::Get()};
};

using CopyPackageFileTest = UpdaterTest;

// Entries as the package scan lists them, copied straight from their trees' folders. A cancel
// polled mid-file stops the update there: the half-written file goes, nothing after it is
// touched and no summary is logged.
TEST_F(UpdaterTest, UpdateReportsEachEntryAndStopsWhereTheCancelIsPolled) {
  const TTreeRoots client{Path("Пакет\\Client\\"), Path("Common\\"), Path("Common\\Backup\\")};
  const TTreeRoots documents{Path("Пакет\\Docs\\"), Path("Docs\\"), Path("Docs\\Backup\\")};
  TWizardWorld::WriteFile(client.Source + "a.txt", "a");
  TWizardWorld::WriteFile(documents.Source + "big.bin", Pattern(kChunk * 3, 'b'));
  TWizardWorld::WriteFile(documents.Source + "c.txt", "c");
  platform::ForceDirectories(documents.Target);
  const std::vector<TPackageEntry> entries = {
      {"a.txt", TPackageTree::Client, "a.txt", false, -1},
      {"Пустая", TPackageTree::Document, "Пустая", true, -1},
      {"big.bin", TPackageTree::Document, "big.bin", false, -1},
      {"c.txt", TPackageTree::Document, "c.txt", false, -1},
  };

  Updater.Update(entries, client, documents);
  EXPECT_EQ(Progress.EntryCount, 4);
  EXPECT_EQ(Progress.EntriesDone, 4);
  EXPECT_EQ(Progress.Statuses, (Strings{client.Source + "a.txt", documents.Source + "big.bin",
                                        documents.Source + "c.txt"}));
  EXPECT_EQ(Progress.Lines.back(), "Для продолжения нажмите \"Далее>\"");
  EXPECT_EQ(Progress.Percents, (std::vector<int>{100, 33, 67, 100, 100}));

  for (const std::string& installed :
       {client.Target + "a.txt", documents.Target + "big.bin", documents.Target + "c.txt"}) {
    platform::DeleteFile(installed);
  }
  Progress = {};
  // The second chunk of big.bin has been written when the cancel comes.
  Progress.OnLetMessagesRun = [&] {
    if (Progress.Percents.size() == 2) {
      Cancel.Cancel();
    }
  };
  Updater.Update(entries, client, documents);
  EXPECT_EQ(Progress.EntriesDone, 2);
  EXPECT_EQ(Progress.Lines,
            (Strings{"Файл \"a.txt\" добавлен.", "Ошибка обновления файла: \"big.bin\""}));
  EXPECT_TRUE(platform::FileExists(client.Target + "a.txt"));
  EXPECT_FALSE(platform::FileExists(documents.Target + "big.bin"));
  EXPECT_FALSE(platform::FileExists(documents.Target + "c.txt"));
  EXPECT_TRUE(Progress.Failures.empty());
}

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
    EXPECT_TRUE(Updater.CopyPackageFile(Path("source.bin"), Path("target.bin")));
    EXPECT_TRUE(SameBytes(ReadFileBytes(Path("target.bin")), c.Source));
  }
  EXPECT_TRUE(Progress.Failures.empty());
}

TEST_F(CopyPackageFileTest, EachFailedStepIsShownWithTheSystemsText) {
  test::WriteFileBytes(Path("source.bin"), "bytes");
  const auto codeOf = [](const std::string& path, platform::TFileOpenMode mode) {
    uint32_t code = 0;
    platform::TryOpenFile(path, mode, platform::TFileShare::DenyNone, code);
    return platform::SystemErrorMessage(code);
  };

  EXPECT_FALSE(Updater.CopyPackageFile(Path("нет.bin"), Path("target.bin")));
  EXPECT_FALSE(Updater.CopyPackageFile(Path("source.bin"), Path("нет\\target.bin")));

  ASSERT_EQ(Progress.Failures.size(), 2u);
  EXPECT_EQ(Progress.Failures[0],
            "Step: 1 - " + codeOf(Path("нет.bin"), platform::TFileOpenMode::OpenRead));
  EXPECT_EQ(Progress.Failures[1],
            "Step: 2 - " + codeOf(Path("нет\\target.bin"), platform::TFileOpenMode::OpenOrCreate));
  EXPECT_FALSE(platform::FileExists(Path("target.bin")));
}

// The per-file bar moves only when the rounded percentage grows, halves rounded to even;
// messages run after each chunk.
TEST_F(CopyPackageFileTest, TheFileBarShowsEachGrowingPercentage) {
  const struct {
    int64_t Size;
    std::vector<int> Shown;
  } cases[] = {
      {kChunk * 8, {12, 25, 38, 50, 62, 75, 88, 100}},
      {kChunk * 2 + 1, {50, 100}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Size);
    test::WriteFileBytes(Path("source.bin"), std::string(static_cast<size_t>(c.Size), 'z'));
    Progress.Percents.clear();
    const int pumps = Progress.Pumps;
    ASSERT_TRUE(Updater.CopyPackageFile(Path("source.bin"), Path("target.bin")));
    EXPECT_EQ(Progress.Pumps - pumps, (c.Size + kChunk - 1) / kChunk);
    EXPECT_EQ(Progress.Percents, c.Shown);
  }
}

// More chunks than percents: at most one update per percent. The chunks are one view of zeros
// written nowhere, as real files of that size would only slow the test.
TEST_F(UpdaterTest, AFileOfManyChunksShowsEachPercentOnce) {
  const std::string zeros(static_cast<size_t>(kChunk), '\0');
  class TZeroMapping final : public platform::IFileMapping {
   public:
    explicit TZeroMapping(const std::string& zeros) : FZeros(zeros) {}
    std::unique_ptr<platform::IMappedView> MapView(int64_t, size_t, uint32_t&) override {
      return std::make_unique<TView>(FZeros.data());
    }

   private:
    struct TView final : platform::IMappedView {
      explicit TView(const char* data) : FData(data) {}
      const void* Data() const override { return FData; }
      const char* FData;
    };
    const std::string& FZeros;
  } mapping(zeros);
  class TCountingTarget final : public platform::IFileHandle {
   public:
    int64_t Read(void*, int64_t) override { return 0; }
    int64_t Write(const void*, int64_t count) override {
      Written += count;
      return count;
    }
    int64_t Seek(int64_t, platform::TSeekOrigin) override { return 0; }
    int64_t Size() override { return Written; }
    void SetSize(int64_t) override {}
    void Flush() override {}
    std::unique_ptr<platform::IFileMapping> MapReadOnly(uint32_t&) override { return nullptr; }
    int64_t Written = 0;
  } target;

  const int64_t size = kChunk * 200;
  EXPECT_EQ(Updater.CopyMappedChunks(mapping, target, size), kChunk);
  EXPECT_EQ(target.Written, size);
  EXPECT_EQ(Progress.Pumps, 200);
  const std::vector<int>& shown = Progress.Percents;
  EXPECT_EQ(shown.size(), 100u);
  EXPECT_TRUE(std::adjacent_find(shown.begin(), shown.end(), std::greater_equal<>()) ==
              shown.end());
  EXPECT_EQ(shown.back(), 100);
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
  void Flush() override {}
  std::unique_ptr<platform::IFileMapping> MapReadOnly(uint32_t&) override { return nullptr; }

  std::string Written;

 private:
  int64_t FFailAt;
};

TEST_F(UpdaterTest, AFailedViewOrWriteIsShownWithItsPosition) {
  const std::string bytes = Pattern(static_cast<size_t>(kChunk * 2 + 10), 'c');
  const int64_t size = std::ssize(bytes);
  const std::string chunk = std::to_string(kChunk);
  const std::string where =
      "\r\nТекущая позиция = " + chunk + "\r\nразмер текущего блока = " + chunk +
      "\r\nОбщий размер блока = " + chunk + "\r\nРазмер файла = " + std::to_string(size);
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
    Progress.Failures.clear();
    FailingMapping mapping(bytes, c.ViewFailsAt);
    FailingTarget target(c.WriteFailsAt);
    EXPECT_EQ(Updater.CopyMappedChunks(mapping, target, size), c.Result);
    if (c.Message.empty()) {
      EXPECT_TRUE(Progress.Failures.empty());
      EXPECT_TRUE(SameBytes(target.Written, bytes));
    } else {
      ASSERT_EQ(Progress.Failures.size(), 1u);
      EXPECT_EQ(Progress.Failures[0], c.Message);
      EXPECT_TRUE(SameBytes(target.Written, bytes.substr(0, kChunk)));
    }
  }
}

// A chunk whose write keeps the system busy (here: until the window has been let through three
// times) does not hold the window up: its messages run while the chunk is written, and a cancel
// confirmed meanwhile stops the copy before the next chunk.
TEST_F(UpdaterTest, TheWindowRunsWhileAChunkIsWritten) {
  const std::string bytes = Pattern(static_cast<size_t>(kChunk * 3), 'w');
  std::atomic<int> waits = 0;
  Progress.OnLetMessagesRunWhileWaiting = [&] {
    if (++waits == 3) {
      Cancel.Cancel();
    }
  };
  class TSlowTarget final : public platform::IFileHandle {
   public:
    explicit TSlowTarget(const std::atomic<int>& waits) : FWaits(waits) {}
    int64_t Read(void*, int64_t) override { return 0; }
    int64_t Write(const void* buffer, int64_t count) override {
      // Bounded, so that a window that is never let through fails the test instead of hanging it.
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
      while (FWaits < 3 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      Written.append(static_cast<const char*>(buffer), static_cast<size_t>(count));
      return count;
    }
    int64_t Seek(int64_t, platform::TSeekOrigin) override { return 0; }
    int64_t Size() override { return std::ssize(Written); }
    void SetSize(int64_t) override {}
    void Flush() override {}
    std::unique_ptr<platform::IFileMapping> MapReadOnly(uint32_t&) override { return nullptr; }
    std::string Written;

   private:
    const std::atomic<int>& FWaits;
  } target(waits);
  FailingMapping mapping(bytes, -1);

  EXPECT_EQ(Updater.CopyMappedChunks(mapping, target, std::ssize(bytes)), -1);
  EXPECT_GE(waits, 3);
  EXPECT_TRUE(SameBytes(target.Written, bytes.substr(0, static_cast<size_t>(kChunk))));
  EXPECT_EQ(Progress.Pumps, 1);
  EXPECT_TRUE(Progress.Failures.empty());
}

// The rollback moves every backup back into its target root and removes the emptied backup root;
// a second run finds nothing to do.
TEST_F(UpdaterTest, RestoreBackupPutsTheBackupsBack) {
  const std::string common = Path("Common\\");
  const std::string app = Path("Мои документы\\");
  const std::string backupCommon = common + "ExpressBackup\\05.03.2024 10-20-30\\";
  const std::string backupApp = app + "ExpressBackup\\05.03.2024 10-20-31\\";
  TWizardWorld::WriteFile(backupCommon + "Data\\base.dat", "old base");
  TWizardWorld::WriteFile(common + "Data\\base.dat", "new base");
  TWizardWorld::WriteFile(common + "Data\\added.dat", "added by the update");
  TWizardWorld::WriteFile(backupApp + "Отчёт.xls", "old report");
  TWizardWorld::WriteFile(app + "Отчёт.xls", "new report");

  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(run);
    Updater.RestoreBackup(platform::TWindowHandle::None, backupCommon, common);
    Updater.RestoreBackup(platform::TWindowHandle::None, backupApp, app);
    EXPECT_EQ(ReadFileBytes(common + "Data\\base.dat"), "old base");
    EXPECT_EQ(ReadFileBytes(common + "Data\\added.dat"), "added by the update");
    EXPECT_EQ(ReadFileBytes(app + "Отчёт.xls"), "old report");
    EXPECT_FALSE(platform::DirectoryExists(backupCommon));
    EXPECT_FALSE(platform::DirectoryExists(backupApp));
    EXPECT_TRUE(platform::DirectoryExists(app + "ExpressBackup"));
  }
}

// The stamp comes from the user's locale: whatever it holds, it names one folder, and an earlier
// backup folder of that name (or a file in its way) makes the new one take the next suffix.
TEST_F(UpdaterTest, NewBackupRootNamesAFolderNoEarlierBackupHas) {
  const std::string root = Path("Common\\");
  const std::string backups = root + "ExpressBackup\\";
  EXPECT_EQ(NewBackupRoot(root, "10/12/2026 13:21:07"), backups + "10-12-2026 13-21-07\\");
  EXPECT_EQ(NewBackupRoot(root, "a\\b/c:d*e?f\"g<h>i|j"), backups + "a-b-c-d-e-f-g-h-i-j\\");

  const std::string stamp = "05.03.2024 10:20";
  const std::string first = backups + "05.03.2024 10-20\\";
  EXPECT_EQ(NewBackupRoot(root, stamp, first), backups + "05.03.2024 10-20 (2)\\");
  platform::ForceDirectories(first);
  EXPECT_EQ(NewBackupRoot(root, stamp), backups + "05.03.2024 10-20 (2)\\");
  test::WriteFileBytes(backups + "05.03.2024 10-20 (2)", "a file in the way");
  EXPECT_EQ(NewBackupRoot(root, stamp), backups + "05.03.2024 10-20 (3)\\");
  EXPECT_EQ(NewBackupRoot(root, stamp, backups + "05.03.2024 10-20 (3)\\"),
            backups + "05.03.2024 10-20 (4)\\");
}

// Two runs within one stamp (the same second, or a format without seconds): the second backs up
// into a folder of its own, and the first run's backup of the original stays as it was.
TEST_F(UpdaterTest, TwoRunsOfOneStampKeepBothBackups) {
  const std::string stamp = "05.03.2024 10:20:30";
  TTreeRoots client{Path("Пакет\\Client\\"), Path("Common\\"), ""};
  const TTreeRoots documents{Path("Пакет\\Docs\\"), Path("Docs\\"), Path("Docs\\Backup\\")};
  const std::vector<TPackageEntry> entries = {
      {"base.dat", TPackageTree::Client, "base.dat", false, -1}};
  TWizardWorld::WriteFile(client.Target + "base.dat", "original");

  Strings backupRoots;
  for (const char* package : {"first update", "second update"}) {
    SCOPED_TRACE(package);
    TWizardWorld::WriteFile(client.Source + "base.dat", package);
    client.Backup = NewBackupRoot(client.Target, stamp);
    backupRoots.push_back(client.Backup);
    Progress = {};
    Updater.Update(entries, client, documents);
    EXPECT_EQ(ReadFileBytes(client.Target + "base.dat"), package);
    EXPECT_TRUE(Progress.Failures.empty());
  }
  EXPECT_EQ(backupRoots, (Strings{client.Target + "ExpressBackup\\05.03.2024 10-20-30\\",
                                  client.Target + "ExpressBackup\\05.03.2024 10-20-30 (2)\\"}));
  EXPECT_EQ(ReadFileBytes(backupRoots[0] + "base.dat"), "original");
  EXPECT_EQ(ReadFileBytes(backupRoots[1] + "base.dat"), "first update");
}

// A file already at the backup's place is an earlier original (a case-only alias in the package,
// two roots in one folder): it is never opened over, and without a backup of its own the installed
// file is not overwritten either.
TEST_F(UpdaterTest, AnExistingBackupFileIsNeverOverwritten) {
  const TTreeRoots client{Path("Пакет\\Client\\"), Path("Common\\"), Path("Common\\Backup\\")};
  const TTreeRoots documents{Path("Пакет\\Docs\\"), Path("Docs\\"), Path("Docs\\Backup\\")};
  TWizardWorld::WriteFile(client.Source + "base.dat", "new");
  TWizardWorld::WriteFile(client.Target + "base.dat", "installed");
  TWizardWorld::WriteFile(client.Backup + "base.dat", "earlier original");

  EXPECT_FALSE(Updater.BackupFile(client.Target + "base.dat", client.Backup + "base.dat"));
  ASSERT_EQ(Progress.Failures.size(), 1u);
  EXPECT_TRUE(Progress.Failures[0].starts_with("Step: 2 - ")) << Progress.Failures[0];
  EXPECT_EQ(ReadFileBytes(client.Backup + "base.dat"), "earlier original");
  EXPECT_EQ(ReadFileBytes(client.Target + "base.dat"), "installed");

  Progress = {};
  Updater.Update({{"base.dat", TPackageTree::Client, "base.dat", false, -1}}, client, documents);
  EXPECT_EQ(Progress.Lines[0], "Ошибка создания резервной копии \"base.dat\"");
  EXPECT_EQ(Progress.Lines[1], "Ошибка обновления файла: \"base.dat\"");
  EXPECT_EQ(Updater.Failed(), Strings{"base.dat"});
  EXPECT_EQ(ReadFileBytes(client.Backup + "base.dat"), "earlier original");
  EXPECT_EQ(ReadFileBytes(client.Target + "base.dat"), "installed");
}

// The shell's move as the rollback asks for it; what it answers counts only with what it left.
class FakeShellFileOperations final : public platform::IShellFileOperations {
 public:
  int32_t Move(platform::TWindowHandle, const std::string& sourcePattern,
               const std::string& targetFolder, platform::TMoveOptions options) override {
    Calls.push_back(sourcePattern + " -> " + targetFolder);
    Options = options;
    return Result;
  }
  int32_t Result = 0;
  platform::TMoveOptions Options;
  Strings Calls;
};

TEST_F(UpdaterTest, RestoreBackupAsksTheShellToMoveWithoutQuestions) {
  FakeShellFileOperations shell;
  TUpdater updater(Progress, Cancel, platform::CurrentFileSecurity::Get(), shell);

  EXPECT_TRUE(updater.RestoreBackup(platform::TWindowHandle::None, "", Path("Common\\")));
  EXPECT_TRUE(shell.Calls.empty()) << "no backups named yet";

  // An error of the shell over a folder that is gone loses nothing.
  shell.Result = static_cast<int32_t>(0x80004005);
  const std::string backup = Path("Common\\ExpressBackup\\1\\");
  EXPECT_TRUE(updater.RestoreBackup(platform::TWindowHandle::None, backup, Path("Common\\")));
  EXPECT_EQ(shell.Calls, (Strings{backup + "*.* -> " + Path("Common\\")}));
  EXPECT_EQ(shell.Options, (platform::TMoveOptions{.NoConfirmation = true, .AllowUndo = true}));
  EXPECT_TRUE(Progress.Lines.empty());
}

// The shell's move fails for one file (its installed copy is held open): the others go back, and
// the one left is logged and stays whole in the backup folder, which stays too.
TEST_F(UpdaterTest, ARollbackThatLeavesAFileSaysWhichAndKeepsIt) {
  const std::string common = Path("Common\\");
  const std::string backup = common + "ExpressBackup\\05.03.2024 10-20-30\\";
  TWizardWorld::WriteFile(backup + "Data\\held.dat", "old held");
  TWizardWorld::WriteFile(common + "Data\\held.dat", "new held");
  TWizardWorld::WriteFile(backup + "Data\\free.dat", "old free");
  TWizardWorld::WriteFile(common + "Data\\free.dat", "new free");
  {
    const auto holder =
        platform::OpenFile(common + "Data\\held.dat", platform::TFileOpenMode::OpenRead);
    EXPECT_FALSE(Updater.RestoreBackup(platform::TWindowHandle::None, backup, common));
  }
  EXPECT_EQ(ReadFileBytes(common + "Data\\free.dat"), "old free");
  EXPECT_EQ(ReadFileBytes(common + "Data\\held.dat"), "new held");
  EXPECT_EQ(ReadFileBytes(backup + "Data\\held.dat"), "old held");
  EXPECT_EQ(Progress.Lines, Strings{"Не удалось восстановить файл \"Data\\held.dat\", он остался в "
                                    "бэкапе \"" +
                                    backup + "\""});
  EXPECT_EQ(Updater.NotRestoredIn(), Strings{backup});
}

// Cancelled on the shortcut page while an updated file is held open: the rollback cannot put
// its original back, and the done page says where that original is.
TEST(UpdateRollbackTest, TheDonePageSaysWhereTheOriginalsLeftBehindAre) {
  TWizardWorld world;
  test::TFaultyUpdate update(world);
  TfrmEasySetup& form = world.CreateWizard();
  update.RunCopyPage(form);
  ASSERT_EQ(form.PageState(), TPageState::psCopyData);
  form.Image3Click();
  ASSERT_EQ(form.PageState(), TPageState::psShortCuts);
  {
    const auto holder = platform::OpenFile(update.Target(test::TFaultyUpdate::kSound),
                                           platform::TFileOpenMode::OpenRead);
    world.View.Answers.push_back(true);
    form.Image2Click();
  }

  const std::string backup = form.BackUpCommonFolder();
  EXPECT_EQ(ReadFileBytes(update.Target(test::TFaultyUpdate::kFaulty)),
            test::TFaultyUpdate::kOldFaulty);
  EXPECT_EQ(ReadFileBytes(backup + test::TFaultyUpdate::kSound), test::TFaultyUpdate::kOldSound);
  EXPECT_EQ(world.View.FinishText,
            "Экспресс установка отменена пользователем, но не все файлы восстановлены.\r\n"
            "Их прежние версии остались в папке \"" +
                backup + "\".\r\nДля завершения нажмите кнопку \"Готово\"");
  EXPECT_EQ(world.View.Log.back(),
            "Не удалось восстановить файл \"Data\\sound.dat\", он остался "
            "в бэкапе \"" +
                backup + "\"");
}

// The same during the copy: the window closes without a done page, so a warning says it.
TEST(UpdateRollbackTest, ACancelDuringTheCopyWarnsOfTheOriginalsLeftBehind) {
  TWizardWorld world;
  test::TFaultyUpdate update(world);
  TfrmEasySetup& form = world.CreateWizard();
  std::unique_ptr<platform::IFileHandle> holder;
  world.View.OnProcessMessages = [&] {
    if (!holder && !world.View.Log.empty() &&
        world.View.Log.back() == "Файл \"Data\\sound.dat\" обновлен.") {
      holder = platform::OpenFile(update.Target(test::TFaultyUpdate::kSound),
                                  platform::TFileOpenMode::OpenRead);
      world.View.Answers.push_back(true);
      form.Image2Click();
    }
  };
  form.Image3Click();
  holder.reset();

  const std::string backup = form.BackUpCommonFolder();
  EXPECT_TRUE(world.View.Closed);
  EXPECT_EQ(ReadFileBytes(backup + test::TFaultyUpdate::kSound), test::TFaultyUpdate::kOldSound);
  ASSERT_EQ(world.View.Messages.size(), 2u);
  EXPECT_EQ(world.View.Messages[1].Kind, test::FakeEasySetupView::TMessageKind::Warning);
  EXPECT_EQ(world.View.Messages[1].Text,
            "Экспресс установка отменена пользователем, но не все файлы восстановлены.\r\n"
            "Их прежние версии остались в папке \"" +
                backup + "\".\r\nДля завершения нажмите кнопку \"Готово\"");
}

// A failed access change is logged for its file alone; the file stays updated and counts as
// failed, and the entries after it are still copied.
TEST_F(UpdaterTest, AFailedAccessChangeIsLoggedForItsFileAlone) {
  struct TRefusingSecurity final : platform::IFileSecurity {
    void GrantEveryoneAccess(const std::string& path) override {
      if (path.ends_with("refused.dat")) {
        throw platform::OSError(5, path);
      }
      Granted.push_back(path);
    }
    Strings Granted;
  } security;
  TUpdater updater(Progress, Cancel, security, platform::CurrentShellFileOperations::Get());
  const TTreeRoots client{Path("Пакет\\Client\\"), Path("Common\\"), Path("Common\\Backup\\")};
  const TTreeRoots documents{Path("Пакет\\Docs\\"), Path("Docs\\"), Path("Docs\\Backup\\")};
  TWizardWorld::WriteFile(client.Source + "refused.dat", "r");
  TWizardWorld::WriteFile(client.Source + "after.dat", "a");
  platform::ForceDirectories(client.Target);

  updater.Update({{"refused.dat", TPackageTree::Client, "refused.dat", false, -1},
                  {"after.dat", TPackageTree::Client, "after.dat", false, -1}},
                 client, documents);

  EXPECT_EQ(ReadFileBytes(client.Target + "after.dat"), "a");
  EXPECT_EQ(security.Granted, Strings{client.Target + "after.dat"});
  EXPECT_EQ(updater.Failed(), Strings{"refused.dat"});
  EXPECT_EQ(Progress.Lines[1], "Ошибка изменения прав доступа к файлу \"refused.dat\": " +
                                   platform::SystemErrorMessage(5));
  EXPECT_EQ(
      std::count(Progress.Lines.begin(), Progress.Lines.end(), "Не обновлен файл: \"refused.dat\""),
      1);
}

}  // namespace
}  // namespace kv::app
