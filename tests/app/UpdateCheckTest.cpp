#include "app/UpdateCheck.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <map>
#include <string>
#include <vector>

#include "common/Common.SysUtils.h"
#include "platform/Files.h"
#include "platform/Text.h"
#include "support/FakeFileUse.h"
#include "support/TempFolder.h"
#include "support/WizardWorld.h"

namespace kv::app {
namespace {

using nlohmann::json;
using Strings = std::vector<std::string>;

// Every file below the folder with its bytes: what a run that writes nothing leaves as it was.
void Snapshot(const std::string& folder, const std::string& prefix,
              std::map<std::string, std::string>& files) {
  for (const platform::TFileEntry& entry : platform::FindFiles(folder, "*.*")) {
    if (entry.IsDirectory) {
      files[prefix + entry.Name + "\\"];
      Snapshot(folder + entry.Name + "\\", prefix + entry.Name + "\\", files);
    } else {
      files[prefix + entry.Name] = test::ReadFileBytes(folder + entry.Name);
    }
  }
}

// settings.ini as a package maker writes it: in the system's ANSI code page.
std::string Ansi(const std::string& text) {
  return platform::EncodeCodePage(platform::AnsiCodePage(), text);
}

class UpdateCheckTest : public testing::Test {
 protected:
  // The package: a file to add and one to replace in each tree.
  void LayOutPackage() {
    FWorld.AddPackageFile(TPackageTree::Client, "Conf\\new.dat", "12345");
    FWorld.AddPackageFile(TPackageTree::Client, "Conf\\settings.dat", "new settings");
    FWorld.AddInstalledFile(TPackageTree::Client, "Conf\\settings.dat", "old");
    FWorld.AddPackageFile(TPackageTree::Document, "Сметы\\Смета.xml", "<new/>");
    FWorld.AddInstalledFile(TPackageTree::Document, "Сметы\\Смета.xml", "<old smeta/>");
  }

  std::map<std::string, std::string> Installed() const {
    std::map<std::string, std::string> files;
    Snapshot(FWorld.CommonDataFolder, "client\\", files);
    Snapshot(FWorld.MyFolderRoot, "document\\", files);
    Snapshot(FWorld.DesktopFolder, "desktop\\", files);
    return files;
  }

  TCheckReport Check() const { return CheckUpdate(TPackage(FWorld.ProgramFolder)); }

  test::TWizardWorld FWorld;
};

TEST_F(UpdateCheckTest, ReportsWhatTheUpdateWouldDoAndWritesNothing) {
  LayOutPackage();
  FWorld.WriteSettings(Ansi("[links]\r\nshowdialog=1\r\na=Сметы\\Смета.xml\r\n"));
  const auto before = Installed();

  const TCheckReport report = Check();
  EXPECT_EQ(Installed(), before);
  EXPECT_TRUE(report.ClientFound);
  EXPECT_FALSE(report.ClientRunning);
  EXPECT_EQ(report.ClientVersion, "9.4.120.7");
  EXPECT_EQ(report.ClientFolder, FWorld.InstallFolder);
  EXPECT_EQ(report.Targets.Client, FWorld.CommonDataFolder);
  EXPECT_EQ(report.Targets.Document, FWorld.MyFolderRoot);

  ASSERT_EQ(report.Files.size(), 3u);
  std::map<std::string, std::pair<int64_t, int64_t>> files;  // size, installed size or -1
  for (const TCheckedFile& file : report.Files) {
    files[file.Path] = {file.Size, file.InstalledSize.value_or(-1)};
  }
  EXPECT_EQ(files["Conf\\new.dat"], std::make_pair(int64_t{5}, int64_t{-1}));
  EXPECT_EQ(files["Conf\\settings.dat"], std::make_pair(int64_t{12}, int64_t{3}));
  EXPECT_EQ(files["Сметы\\Смета.xml"], std::make_pair(int64_t{6}, int64_t{12}));

  ASSERT_EQ(report.Space.size(), 2u);
  for (const TTargetSpace& target : report.Space) {
    const bool client = target.Folder == FWorld.CommonDataFolder;
    EXPECT_EQ(target.NewBytes, client ? 17 : 6) << target.Folder;
    EXPECT_EQ(target.BackupBytes, client ? 3 : 12) << target.Folder;
    ASSERT_TRUE(target.FreeBytes) << "the real volume's free space";
    EXPECT_FALSE(target.TooLittle());
  }
  EXPECT_TRUE(report.Blocked.empty());
  EXPECT_TRUE(report.DroppedSettings.empty());
  EXPECT_EQ(report.ExitCode(), 0);

  const std::string text = CheckReportText(report);
  EXPECT_NE(text.find("Client: version 9.4.120.7 in " + FWorld.InstallFolder), std::string::npos);
  EXPECT_NE(text.find("  replace document\\Сметы\\Смета.xml, 6 bytes (installed 12 bytes)"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("  add     client\\Conf\\new.dat, 5 bytes"), std::string::npos) << text;
  EXPECT_NE(text.find("(exit code 0)"), std::string::npos) << text;
}

TEST_F(UpdateCheckTest, AfterTheUpdateEveryFileReplacesItsInstalledTwin) {
  LayOutPackage();
  FWorld.CreateWizard().Image3Click();
  ASSERT_EQ(FWorld.Form->PageState(), TPageState::psCopyData);

  const TCheckReport report = Check();
  ASSERT_EQ(report.Files.size(), 3u);
  for (const TCheckedFile& file : report.Files) {
    EXPECT_EQ(file.InstalledSize, file.Size) << file.Path;
  }
  EXPECT_EQ(report.ExitCode(), 0);
}

TEST_F(UpdateCheckTest, AnInstalledFileHeldOpenIsNamedWithItsHolderWhereTheSystemSaysIt) {
  LayOutPackage();
  {
    // Held for real: this process keeps the installed file open as the update would find it.
    const auto held =
        platform::OpenFile(FWorld.CommonDataFolder + "Conf\\settings.dat",
                           platform::TFileOpenMode::OpenRead, platform::TFileShare::Exclusive);
    const TCheckReport report = Check();
    ASSERT_EQ(report.Blocked.size(), 1u);
    EXPECT_EQ(report.Blocked[0].Path, FWorld.CommonDataFolder + "Conf\\settings.dat");
    EXPECT_EQ(report.ExitCode(), 1);
  }

  test::FakeFileUse fileUse;
  const std::string smeta = FWorld.MyFolderRoot + "Сметы\\Смета.xml";
  fileUse.HeldBy[smeta] = {"Калвор Смета (412)"};
  const platform::TScopedCurrent<platform::IFileUse> scope(fileUse);
  const TCheckReport report = Check();
  ASSERT_EQ(report.Blocked.size(), 1u);
  EXPECT_EQ(report.Blocked[0].Holders, Strings{"Калвор Смета (412)"});
  EXPECT_NE(CheckReportText(report).find("In use: " + smeta + ", held by Калвор Смета (412)"),
            std::string::npos);
  const json document = json::parse(CheckReportJson(report));
  EXPECT_EQ(document["blocked"][0]["path"], smeta);
  EXPECT_EQ(document["blocked"][0]["holders"][0], "Калвор Смета (412)");
  EXPECT_EQ(document["exitCode"], 1);
}

TEST_F(UpdateCheckTest, TooLittleFreeSpaceCountsTheNewBytesAndTheBackups) {
  LayOutPackage();
  test::FakeFileUse fileUse;
  const platform::TScopedCurrent<platform::IFileUse> scope(fileUse);
  struct {
    int64_t free;
    bool tooLittle;
  } const cases[] = {{20, false}, {19, true}, {17, true}};
  for (const auto& c : cases) {
    fileUse.Free = c.free;
    const TCheckReport report = Check();
    const auto client = std::find_if(
        report.Space.begin(), report.Space.end(),
        [&](const TTargetSpace& target) { return target.Folder == FWorld.CommonDataFolder; });
    ASSERT_NE(client, report.Space.end());
    EXPECT_EQ(client->NeededBytes(), 20);
    EXPECT_EQ(client->TooLittle(), c.tooLittle) << c.free;
    EXPECT_EQ(report.ExitCode(), c.tooLittle ? 1 : 0) << c.free;
  }
  fileUse.Free = std::nullopt;
  const json document = json::parse(CheckReportJson(Check()));
  EXPECT_TRUE(document["space"][0]["freeBytes"].is_null());
  EXPECT_EQ(document["space"][0]["enough"], true);
}

TEST(UpdateCheckWithoutClientTest, ThePackageIsStillCheckedAndTheUpdateCouldNotRun) {
  test::TWizardWorld world(false);
  world.AddPackageFile(TPackageTree::Document, "Docs\\readme.txt", "read me");
  world.AddPackageFile(TPackageTree::Document, "Docs\\linkname.txt",
                       "\xEF\xBB\xBFДокументы: 2024/25\r\n");
  const TCheckReport report = CheckUpdate(TPackage(world.ProgramFolder));
  EXPECT_FALSE(report.ClientFound);
  ASSERT_EQ(report.Files.size(), 1u);
  EXPECT_EQ(report.Files[0].Size, 7);
  EXPECT_TRUE(report.Space.empty());
  ASSERT_EQ(report.LinkNames.size(), 1u);
  EXPECT_EQ(report.LinkNames[0].Used, "Документы_ 2024_25");
  EXPECT_EQ(report.ExitCode(), 2);
  EXPECT_NE(CheckReportText(report).find("no installed client found"), std::string::npos);
  EXPECT_EQ(json::parse(CheckReportJson(report))["client"]["found"], false);
}

TEST_F(UpdateCheckTest, ARunningClientOrAMissingPackageMeansTheUpdateCouldNotRun) {
  LayOutPackage();
  FWorld.Mutexes.Held.insert("KalvorSmeta_client");
  EXPECT_TRUE(Check().ClientRunning);
  EXPECT_EQ(Check().ExitCode(), 2);
  FWorld.Mutexes.Held.clear();

  test::TTempFolder empty;
  const TCheckReport report = CheckUpdate(TPackage(empty.Path("")));
  EXPECT_EQ(report.MissingTrees.size(), 2u);
  EXPECT_EQ(report.ExitCode(), 2);
}

TEST_F(UpdateCheckTest, SettingsThatSelectNothingAndLinkNamesMadeSafeAreReported) {
  FWorld.AddPackageFile(TPackageTree::Document, "Docs\\a.txt", "a");
  FWorld.AddPackageFile(TPackageTree::Document, "Docs\\linkname.txt", "Docs");
  FWorld.AddPackageFile(TPackageTree::Document, "Dots\\linkname.txt", " ... \r\n");
  FWorld.AddPackageFile(TPackageTree::Document, "Dev\\linkname.txt", "nul");
  FWorld.WriteSettings(
      "[links]\r\nshowdialog=0\r\nok=Docs\\a.txt\r\nup=..\\secret.txt\r\ngone=b.txt\r\n"
      "[connections]\r\nok=Docs\r\nup=..\\\r\ngone=Nowhere\r\n");
  const TCheckReport report = Check();

  Strings dropped;
  for (const TDroppedSetting& setting : report.DroppedSettings) {
    dropped.push_back(setting.Section + " " + setting.Key + "=" + setting.Value +
                      (setting.OutsideTree ? " outside" : " nothing"));
  }
  EXPECT_EQ(dropped, (Strings{"links up=..\\secret.txt outside", "links gone=b.txt nothing",
                              "connections up=..\\ outside", "connections gone=Nowhere nothing"}));

  std::map<std::string, std::string> names;
  for (const TChangedLinkName& name : report.LinkNames) {
    names[name.Folder] = name.Written + " -> " + name.Used;
  }
  EXPECT_EQ(names, (std::map<std::string, std::string>{{"Dots", " ...  -> Dots"},
                                                       {"Dev", "nul -> _nul"}}));
  EXPECT_EQ(report.ExitCode(), 1);
  const json document = json::parse(CheckReportJson(report));
  EXPECT_EQ(document["settings"][0]["reason"], "outsideTree");
  EXPECT_EQ(document["settings"][1]["reason"], "selectsNothing");
}

TEST_F(UpdateCheckTest, PathsBeyondTheSystemsLimitAreNamed) {
  // Short enough for the package, too long below the installed root with its backup folder.
  const std::string relative = "Long\\" + std::string(200, 'x') + ".dat";
  FWorld.AddPackageFile(TPackageTree::Client, relative, "new");
  FWorld.AddInstalledFile(TPackageTree::Client, relative, "old");
  const TCheckReport report = Check();
  ASSERT_FALSE(report.TooLong.empty());
  EXPECT_EQ(report.TooLong.back().find(FWorld.CommonDataFolder + "ExpressBackup\\"), 0u);
  EXPECT_EQ(report.ExitCode(), 1);
}

TEST_F(UpdateCheckTest, AResultFileThatCannotBeWrittenIsSaidAndEndsWithTwo) {
  LayOutPackage();
  std::string shown;
  const auto show = [&shown](const std::string& text) { shown = text; };
  const std::string result = FWorld.Temp.Path("result.json");
  EXPECT_EQ(RunCheck(TPackage(FWorld.ProgramFolder), result, show), 0);
  EXPECT_EQ(json::parse(test::ReadFileBytes(result))["exitCode"], 0);
  EXPECT_NE(shown.find("(exit code 0)"), std::string::npos);

  const std::string unwritable = FWorld.Temp.Path("missing folder\\result.json");
  EXPECT_EQ(RunCheck(TPackage(FWorld.ProgramFolder), unwritable, show), 2);
  EXPECT_NE(shown.find("The result file " + unwritable + " could not be written"),
            std::string::npos)
      << shown;
}

}  // namespace
}  // namespace kv::app
