#include "app/UnattendedRun.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <memory>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/UnattendedView.h"
#include "net/Kv_KalvorSmetaRuSettings.h"
#include "platform/Files.h"
#include "platform/Text.h"
#include "support/TempFolder.h"
#include "support/WizardWorld.h"

namespace kv::app {
namespace {

using Strings = std::vector<std::string>;
using test::ReadFileBytes;
using test::TWizardWorld;

const char* const kClientMutexName = "KalvorSmeta_client";

// settings.ini as a package maker writes it: in the system's ANSI code page.
std::string Ansi(const std::string& text) {
  return platform::EncodeCodePage(platform::AnsiCodePage(), text);
}

// A package like the demo's: a replaced and an added client file, a document folder preselected
// for a shortcut and as a data source, the online service preselected too.
void AddDemoLikePackage(const TWizardWorld& world) {
  world.AddInstalledFile(TPackageTree::Client, "Data\\Regions.txt", "old regions");
  world.AddPackageFile(TPackageTree::Client, "Data\\Regions.txt", "new regions");
  world.AddPackageFile(TPackageTree::Client, "Templates\\Акт.xlt", "act");
  world.AddPackageFile(TPackageTree::Document, "Сметы\\Образцы\\Акт.kvs", "sample");
  world.WriteSettings(Ansi("[links]\n1=Сметы\n[connections]\n1=Сметы\\Образцы\n2=" +
                           std::string(OnlineServiceCaption) + "\n"));
}

// The paths below the world's temporary folder, so that two worlds compare.
Strings Relative(const TWizardWorld& world, Strings paths) {
  const std::string root = world.Temp.Path("");
  for (std::string& path : paths) {
    if (path.starts_with(root)) {
      path.erase(0, root.size());
    }
  }
  return paths;
}

// The wizard on a view without a window, as the program runs it for /silent.
struct TUnattended {
  explicit TUnattended(TWizardWorld& world, TRunLog* log = nullptr)
      : World(world), Recording(View, log), Form(Recording, world.ProgramFolder) {}

  TRunResult Run() {
    const TRunOutcome outcome = RunUnattended(Form, Recording, World.ProgramFolder);
    return DescribeRun(Form, Recording, outcome, ExitCodeOf(outcome));
  }

  TWizardWorld& World;
  TUnattendedView View;
  TRecordingView Recording;
  TfrmEasySetup Form;
};

TEST(UnattendedRunTest, ADemoLikePackageEndsAsTheWindowWithNextPressedLeavesIt) {
  Strings windowLinks, windowSources;
  {
    TWizardWorld world;
    AddDemoLikePackage(world);
    TfrmEasySetup& form = world.CreateWizard();
    while (form.PageState() != TPageState::psClose) {
      form.Image3Click();
    }
    windowLinks = Relative(world, form.ShortCutList());
    windowSources = Relative(world, form.ConnectionsMade());
  }
  TWizardWorld world;
  AddDemoLikePackage(world);
  TUnattended run(world);

  const TRunResult result = run.Run();

  EXPECT_EQ(result.Outcome, TRunOutcome::Updated);
  EXPECT_EQ(result.ExitCode, ecUpdated);
  EXPECT_TRUE(run.View.Closed());
  EXPECT_EQ(ReadFileBytes(world.CommonDataFolder + "Data\\Regions.txt"), "new regions");
  EXPECT_EQ(ReadFileBytes(world.CommonDataFolder + "Templates\\Акт.xlt"), "act");
  EXPECT_EQ(ReadFileBytes(world.MyFolderRoot + "Сметы\\Образцы\\Акт.kvs"), "sample");
  ASSERT_EQ(result.BackupFolders.size(), 1u);
  EXPECT_EQ(ReadFileBytes(result.BackupFolders[0] + "Data\\Regions.txt"), "old regions");
  EXPECT_FALSE(windowLinks.empty());
  EXPECT_EQ(Relative(world, result.Shortcuts), windowLinks);
  EXPECT_EQ(Relative(world, result.DataSources), windowSources);
  EXPECT_EQ(result.DataSources,
            (Strings{world.MyFolderRoot + "Сметы\\Образцы", OnlineServiceCaption}));
  // Three files and their four folders, each counted once.
  EXPECT_EQ(result.Entries, 7);
  EXPECT_EQ(result.Updated, 7);
  EXPECT_TRUE(result.Failed.empty());
  EXPECT_TRUE(result.Messages.empty());
}

TEST(UnattendedRunTest, PagesHiddenBySettingsCountAsTheirPreselections) {
  TWizardWorld world;
  AddDemoLikePackage(world);
  world.WriteSettings(
      Ansi("[links]\nshowdialog=0\n1=Сметы\n"
           "[connections]\nshowdialog=0\n1=Сметы\\Образцы\n"));
  TUnattended run(world);

  const TRunResult result = run.Run();

  EXPECT_EQ(result.Outcome, TRunOutcome::Updated);
  EXPECT_EQ(result.Shortcuts.size(), 1u);
  EXPECT_EQ(result.DataSources, Strings{world.MyFolderRoot + "Сметы\\Образцы"});
}

TEST(UnattendedRunTest, AFileThatFailsKeepsItsOriginalAndIsReportedWithItsReason) {
  TWizardWorld world;
  AddDemoLikePackage(world);
  // The installed copy is a folder: the system refuses to open it as the file's target.
  world.AddPackageFile(TPackageTree::Client, "Data\\user.ini", "new");
  world.AddInstalledFile(TPackageTree::Client, "Data\\user.ini\\kept.txt", "user's");
  TUnattended run(world);

  const TRunResult result = run.Run();

  EXPECT_EQ(result.Outcome, TRunOutcome::FilesFailed);
  EXPECT_EQ(result.ExitCode, ecFilesFailed);
  EXPECT_EQ(ReadFileBytes(world.CommonDataFolder + "Data\\user.ini\\kept.txt"), "user's");
  EXPECT_EQ(ReadFileBytes(world.CommonDataFolder + "Data\\Regions.txt"), "new regions");
  ASSERT_EQ(result.Failed.size(), 1u);
  EXPECT_EQ(result.Failed[0].File, "Data\\user.ini");
  // The system's refusal first, then the update's own line about the file.
  EXPECT_TRUE(result.Failed[0].Reason.starts_with("Step: 2 - ")) << result.Failed[0].Reason;
  EXPECT_NE(result.Failed[0].Reason.find("Ошибка обновления файла: \"Data\\user.ini\""),
            std::string::npos)
      << result.Failed[0].Reason;
  EXPECT_EQ(result.Updated, result.Entries - 1);
}

// Where the update never begins, nothing installed changes and the run says why.
TEST(UnattendedRunTest, NothingChangesWithoutAClientAPackageOrWithTheClientRunning) {
  struct Case {
    const char* name;
    bool installed;
    bool clientRunning;
    bool packageThere;
    const char* said;
  };
  const Case cases[] = {
      {"client running", true, true, true, "необходимо завершить работу клиента"},
      {"no client", false, false, true, "Не удалось обнаружить установленную версию"},
      {"no package", true, false, false, "Пакет обновления не найден"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TWizardWorld world(c.installed);
    if (c.packageThere) {
      AddDemoLikePackage(world);
    } else {
      world.AddInstalledFile(TPackageTree::Client, "Data\\Regions.txt", "old regions");
      platform::RemoveDir(world.ClientTree);
      platform::RemoveDir(world.DocumentTree);
    }
    if (c.clientRunning) {
      world.Mutexes.Held.insert(kClientMutexName);
    }
    TUnattended run(world);

    const TRunResult result = run.Run();

    EXPECT_EQ(result.Outcome, TRunOutcome::NothingChanged);
    EXPECT_EQ(result.ExitCode, ecNothingChanged);
    ASSERT_EQ(result.Messages.size(), 1u);
    EXPECT_NE(result.Messages[0].find(c.said), std::string::npos) << result.Messages[0];
    if (c.installed) {
      EXPECT_EQ(ReadFileBytes(world.CommonDataFolder + "Data\\Regions.txt"), "old regions");
      EXPECT_FALSE(platform::DirectoryExists(world.CommonDataFolder + "ExpressBackup"));
    }
    EXPECT_FALSE(platform::FileExists(world.CommonDataFolder + "Templates\\Акт.xlt"));
    EXPECT_TRUE(result.BackupFolders.empty());
    EXPECT_TRUE(result.Shortcuts.empty());
    EXPECT_TRUE(result.DataSources.empty());
  }
}

// The client's data-source list cannot be read once the files are in and the shortcuts made:
// the update cannot complete, and what it changed is put back.
TEST(UnattendedRunTest, AnUpdateThatCannotCompleteIsRolledBack) {
  TWizardWorld world;
  AddDemoLikePackage(world);
  TWizardWorld::WriteFile(world.CommonSettingFolder + "Connections.xml", "<Options");
  TUnattended run(world);

  const TRunResult result = run.Run();

  EXPECT_EQ(result.Outcome, TRunOutcome::RolledBack);
  EXPECT_EQ(result.ExitCode, ecRolledBack);
  EXPECT_EQ(ReadFileBytes(world.CommonDataFolder + "Data\\Regions.txt"), "old regions");
  EXPECT_TRUE(platform::FindFiles(world.DesktopFolder, "*.*").empty()) << "shortcuts left";
  EXPECT_TRUE(result.BackupFolders.empty()) << "the emptied backup folder stays";
  EXPECT_TRUE(result.NotRestoredIn.empty());
  EXPECT_EQ(result.Updated, 0);
  ASSERT_FALSE(result.Messages.empty());
  EXPECT_TRUE(result.Messages.back().starts_with("Обновление не может быть завершено: "))
      << result.Messages.back();
}

TEST(UnattendedRunTest, TheResultDocumentSaysWhatTheRunDid) {
  TWizardWorld world;
  AddDemoLikePackage(world);
  world.AddPackageFile(TPackageTree::Client, "Data\\user.ini", "new");
  world.AddInstalledFile(TPackageTree::Client, "Data\\user.ini\\kept.txt", "user's");
  TUnattended run(world);
  const TRunResult result = run.Run();
  const std::string path = world.Temp.Path("result.json");

  SaveRunResult(path, result);

  const auto document = nlohmann::json::parse(ReadFileBytes(path));
  EXPECT_EQ(document["outcome"], "filesFailed");
  EXPECT_EQ(document["exitCode"], 1);
  EXPECT_EQ(document["counts"]["entries"], result.Entries);
  EXPECT_EQ(document["counts"]["updated"], result.Updated);
  EXPECT_EQ(document["counts"]["failed"], 1);
  EXPECT_EQ(document["failed"][0]["file"], "Data\\user.ini");
  EXPECT_EQ(document["failed"][0]["reason"], result.Failed[0].Reason);
  EXPECT_EQ(document["backupFolders"], result.BackupFolders);
  EXPECT_EQ(document["shortcuts"], result.Shortcuts);
  EXPECT_EQ(document["dataSources"], result.DataSources);
  EXPECT_EQ(document["messages"].size(), result.Messages.size());
}

// Every line the wizard logs and every message it shows reach the log file, after the facts of
// the start.
TEST(UnattendedRunTest, TheLogFileHoldsTheStartAndEveryLineOfTheRun) {
  TWizardWorld world;
  AddDemoLikePackage(world);
  const std::string path = world.Temp.Path("run.log");
  TRunLog log(path);
  for (const std::string& fact :
       StartupFacts(world.ProgramFolder + "Swiftkit.exe", world.ProgramFolder, "user", "/silent")) {
    log.Write(fact);
  }
  TUnattended run(world, &log);
  run.Run();

  const std::string text = ReadFileBytes(path);
  for (const std::string& expected :
       {"  Пакет: " + world.ProgramFolder + "\r\n",
        "  Клиент: " + world.InstallFolder.substr(0, world.InstallFolder.size() - 1),
        "  Общие данные клиента: " + world.CommonDataFolder + "\r\n",
        "  Документы клиента: " + world.MyFolderRoot + "\r\n",
        std::string("  Пользователь: user\r\n"), std::string("  Командная строка: /silent\r\n"),
        std::string("  Файл \"Data\\Regions.txt\" обновлен.\r\n"),
        std::string("  Все файлы обновлены.\r\n")}) {
    EXPECT_NE(text.find(expected), std::string::npos) << expected;
  }
}

}  // namespace
}  // namespace kv::app
