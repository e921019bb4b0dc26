// The page flow of the wizard's real window under Wine, driven as a user drives it: the layout,
// every page in turn, the close and cancel questions, the double click, the pages that
// settings.ini hides, the missing client and the running client, and a package file locked by
// another program. A screenshot of every page goes into the build folder's "screenshots".

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/win32/EasySetupControls.h"
#include "app/win32/WizardDriving.h"
#include "common/Common.SysUtils.h"
#include "platform/Files.h"
#include "platform/Shell.h"
#include "platform/Text.h"
#include "support/TempFolder.h"
#include "support/Win32Fixtures.h"
#include "support/Win32Registry.h"
#include "sysinfo/SysInfo.Core.Smeta9.h"

namespace kv::test {
namespace {

using namespace app::win32;
using platform::win32::Narrow;
using platform::win32::Wide;

const std::string kUninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
// The folder the package's files land in, in both target roots: the test's own, removed after.
const std::string kPackageFolder = "WizardWindowTest";
const std::string kProbeFile = "wizard-window-probe.txt";

// A package next to a copy of the wizard in a folder of the test's own: one file in each tree
// and, when given, settings.ini. The client can be installed in the test's own folder, as far
// as the registry and the client program tell; what the wizard writes into the client's folders
// is removed after the test.
class WizardWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    wchar_t display[8] = {};
    if (GetEnvironmentVariableW(L"DISPLAY", display, 8) == 0) {
      GTEST_SKIP() << "the wizard's window needs a display (scripts/test provides Xvfb)";
    }
    const auto& client = TSmeta9Information32::ClassInfo();
    FInstalledFolders = {client.CommonDataFolder() + kPackageFolder,
                         client.MyFolderRoot() + kPackageFolder};
    RemoveInstalledFiles();
    FConnections = client.ConnectionOptionsFilename();
    if (platform::FileExists(FConnections)) {
      FConnectionsBytes = ReadFileBytes(FConnections);
    }

    platform::ForceDirectories(Folder());
    ASSERT_TRUE(CopyFileW(Wide(FixtureFolder() + "Swiftkit.exe").c_str(),
                          Wide(Folder() + "Swiftkit.exe").c_str(), FALSE));
    for (const std::string tree : {"SwiftkitData\\Client\\", "SwiftkitData\\Калвор-Divir\\"}) {
      platform::ForceDirectories(Folder() + tree + kPackageFolder);
      WriteFileBytes(Folder() + tree + kPackageFolder + "\\" + kProbeFile, "probe " + tree);
    }
  }

  void TearDown() override {
    if (IsSkipped()) {
      return;
    }
    if (HasFailure() && FWizard && IsWindow(FWizard->Window())) {
      SaveScreenshot(FWizard->Window(), Name() + "-failed");
    }
    FWizard.reset();
    FStandIn.reset();
    FClientKey.reset();
    RemoveInstalledFiles();
    if (FConnectionsBytes) {
      WriteFileBytes(FConnections, *FConnectionsBytes);
    } else {
      platform::DeleteFile(FConnections);
    }
    if (!FShortcut.empty()) {
      platform::DeleteFile(FShortcut);
    }
  }

  std::string Folder() const { return FTemp.Path("wizard\\"); }
  std::string Name() const {
    return ::testing::UnitTest::GetInstance()->current_test_info()->name();
  }

  void WriteSettings(const std::string& text) const {
    WriteFileBytes(Folder() + "settings.ini", text);
  }

  // The stand-in client in its install folder and its uninstall entry in the 32-bit view.
  void InstallClient() {
    const std::string location = FTemp.Path("Калвор\\");
    platform::ForceDirectories(location + "Client");
    ASSERT_TRUE(CopyFileW(Wide(FixtureFolder() + "StandInClient.exe").c_str(),
                          Wide(location + "Client\\Kvsmeta.exe").c_str(), FALSE));
    FClientKey = std::make_unique<TTestRegistryKey>(
        kUninstall + TSmeta9Information32::ClassInfo().RegistryKey(), KEY_WOW64_32KEY);
    FClientKey->SetString("InstallLocation", location);
  }

  // The stand-in client, running and holding the client's mutex.
  void StartClient() {
    const std::string running = FTemp.Path("client-running");
    FStandIn = std::make_unique<TChildProcess>(FixtureFolder() + "StandInClient.exe",
                                               "\"" + running + "\"", FTemp.Path(""));
    const auto held = Poll<bool>(
        [&]() -> std::optional<bool> {
          return platform::FileExists(running) ? std::optional(true) : std::nullopt;
        },
        kWizardTimeoutMs);
    ASSERT_TRUE(held) << "the stand-in client never took the mutex";
  }

  TWizard& StartWizard() {
    FWizard = std::make_unique<TWizard>(Folder());
    return *FWizard;
  }

  // Starts the wizard and presses next on the welcome page: the update runs to its end.
  TWizard& StartAndCopy(const std::string& screenshotPrefix = "") {
    TWizard& wizard = StartWizard();
    EXPECT_TRUE(wizard.WaitForWindow());
    EXPECT_TRUE(wizard.WaitForPage("welcome"));
    if (!screenshotPrefix.empty()) {
      wizard.Screenshot(screenshotPrefix + "1-welcome");
    }
    // The first window of a fresh display takes input only once it has settled.
    wizard.Settle();
    wizard.ClickNext();
    EXPECT_TRUE(wizard.WaitForPage("copied"));
    return wizard;
  }

  void ExpectEnds(const TWizard& wizard) const {
    const std::optional<DWORD> code = wizard.Process().WaitForExit();
    ASSERT_TRUE(code) << "the wizard did not end";
    EXPECT_EQ(*code, 0u);
  }

  std::string FShortcut;

 private:
  void RemoveInstalledFiles() const {
    for (const std::string& folder : FInstalledFolders) {
      std::error_code ignored;
      std::filesystem::remove_all(StdPath(folder), ignored);
    }
  }

  TTempFolder FTemp;
  std::vector<std::string> FInstalledFolders;
  std::string FConnections;
  std::optional<std::string> FConnectionsBytes;
  std::unique_ptr<TTestRegistryKey> FClientKey;
  std::unique_ptr<TChildProcess> FStandIn;
  std::unique_ptr<TWizard> FWizard;
};

TEST_F(WizardWindowTest, TheControlsSitWhereTheLayoutPutsThem) {
  TWizard& wizard = StartWizard();
  ASSERT_TRUE(wizard.WaitForWindow());
  EXPECT_EQ(TextOf(wizard.Window()), kEasySetupCaption);
  RECT client{};
  GetClientRect(wizard.Window(), &client);
  EXPECT_EQ(client.right, 694);
  EXPECT_EQ(client.bottom, 497);
  EXPECT_FALSE(GetWindowLongW(wizard.Window(), GWL_STYLE) & (WS_THICKFRAME | WS_MAXIMIZEBOX));
  RECT frame{};
  GetWindowRect(wizard.Window(), &frame);
  EXPECT_NEAR(frame.left + frame.right, GetSystemMetrics(SM_CXSCREEN), 1) << "centred";
  EXPECT_NEAR(frame.top + frame.bottom, GetSystemMetrics(SM_CYSCREEN), 1) << "centred";

  // Labels size themselves: only their corner is fixed (width 0).
  struct TPlace {
    int Id;
    RECT Rect;  // left, top, width, height
    bool Visible;
    std::string Text;
  };
  const TPlace places[] = {
      {idLabel1, {200, 72, 0, 0}, true, "Центр КАЛВОР"},
      {idLabel2,
       {200, 91, 0, 0},
       true,
       "Экспресс обновление программного комплекса \"КАЛВОР-Divir 2018\""},
      {idImage2, {602, 462, 77, 25}, true, ""},
      {idLblCancel, {621, 468, 0, 0}, true, "Отмена"},
      {idImage3, {377, 462, 77, 25}, true, ""},
      {idLblNext, {394, 468, 0, 0}, true, "Далее >"},
      {idMemInfo, {200, 122, 468, 290}, true, ""},
      {idMemStatus, {200, 122, 468, 254}, false, ""},
      {idLblStatus, {200, 382, 468, 13}, false, ""},
      {idPbStatus, {200, 401, 468, 17}, false, ""},
      {idPbCurrentProgress, {200, 424, 468, 17}, false, ""},
      {idLblShortCuts, {200, 128, 0, 0}, false, kShortCutsText},
      {idTvShortCuts, {200, 147, 468, 292}, false, ""},
      {idLblFinish, {200, 152, 0, 0}, false, kFinishedText},
  };
  for (const TPlace& place : places) {
    SCOPED_TRACE("control " + std::to_string(place.Id));
    const HWND control = wizard.Control(place.Id);
    ASSERT_TRUE(control);
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, wizard.Window(), reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_EQ(rect.left, place.Rect.left);
    EXPECT_EQ(rect.top, place.Rect.top);
    if (place.Rect.right != 0) {
      EXPECT_EQ(rect.right - rect.left, place.Rect.right);
      EXPECT_EQ(rect.bottom - rect.top, place.Rect.bottom);
    }
    EXPECT_EQ(wizard.Shown(place.Id), place.Visible);
    if (!place.Text.empty()) {
      EXPECT_EQ(wizard.Text(place.Id), place.Text);
    }
  }
  EXPECT_NE(wizard.Text(idMemInfo).find("Для начала установки нажмите кнопку \"Далее >\""),
            std::string::npos);
}

TEST_F(WizardWindowTest, EveryPageInTurnAndOnlyReadyClosesTheDonePage) {
  InstallClient();
  TWizard& wizard = StartAndCopy("pages-");
  wizard.Screenshot("pages-2-copied");
  EXPECT_FALSE(wizard.Shown(idPbStatus));
  EXPECT_NE(wizard.Text(idMemStatus).find("Все файлы обновлены."), std::string::npos);

  wizard.ClickNext();
  ASSERT_TRUE(wizard.WaitForPage("shortcuts"));
  wizard.Screenshot("pages-3-shortcuts");
  wizard.ClickNext();
  ASSERT_TRUE(wizard.WaitForPage("connections"));
  wizard.Screenshot("pages-4-connections");
  wizard.ClickNext();
  ASSERT_TRUE(wizard.WaitForPage("done"));
  EXPECT_EQ(wizard.Text(idLblFinish), kFinishedText);
  wizard.Screenshot("pages-5-done");

  // Neither cancel nor the title bar's close asks anything or closes the done page.
  wizard.ClickCancel();
  wizard.Settle();
  wizard.CloseFromTitleBar();
  wizard.Settle();
  EXPECT_FALSE(wizard.WaitForMessageBox(500));
  EXPECT_EQ(wizard.Page(), "done");

  wizard.ClickNext();
  ExpectEnds(wizard);
  EXPECT_TRUE(platform::FileExists(TSmeta9Information32::ClassInfo().MyFolderRoot() +
                                   kPackageFolder + "\\" + kProbeFile));
}

// A package file that another program holds open without sharing: the wizard shows the failure,
// updates every other file, puts the locked one's original back and says that one file failed.
TEST_F(WizardWindowTest, ALockedPackageFileFailsAloneAndKeepsItsOriginal) {
  InstallClient();
  const auto& client = TSmeta9Information32::ClassInfo();
  const std::string installed = client.CommonDataFolder() + kPackageFolder + "\\";
  const std::string package = Folder() + "SwiftkitData\\Client\\" + kPackageFolder + "\\";
  platform::ForceDirectories(installed);
  for (const std::string name : {"locked.dat", "free.dat"}) {
    WriteFileBytes(installed + name, "old " + name);
    WriteFileBytes(package + name, "new " + name);
  }
  const auto lock = platform::OpenFile(package + "locked.dat", platform::TFileOpenMode::OpenRead,
                                       platform::TFileShare::Exclusive);

  TWizard& wizard = StartWizard();
  ASSERT_TRUE(wizard.WaitForWindow());
  ASSERT_TRUE(wizard.WaitForPage("welcome"));
  wizard.Settle();
  wizard.ClickNext();
  const auto box = wizard.WaitForMessageBox();
  ASSERT_TRUE(box);
  EXPECT_EQ(box->Text, "Step: 1 - " + platform::SystemErrorMessage(ERROR_SHARING_VIOLATION));
  Press(*box, IDOK);
  ASSERT_TRUE(wizard.WaitForPage("copied"));
  wizard.Screenshot("locked-package-file-copied");

  EXPECT_EQ(wizard.Text(idLblStatus), kCopiedWithErrorsText);
  const std::string log = wizard.Text(idMemStatus);
  const std::string relative = kPackageFolder + "\\locked.dat";
  for (const std::string& line :
       {"Файл \"" + relative + "\" восстановлен из бэкапа.", std::string("Обновлены не все файлы."),
        "Не обновлен файл: \"" + relative + "\"",
        std::string("Количество необновленных файлов: 1")}) {
    EXPECT_NE(log.find(line), std::string::npos) << line << "\nlog:\n" << log;
  }
  EXPECT_EQ(log.find("Все файлы обновлены."), std::string::npos) << log;
  EXPECT_EQ(ReadFileBytes(installed + "locked.dat"), "old locked.dat");
  EXPECT_EQ(ReadFileBytes(installed + "free.dat"), "new free.dat");
  EXPECT_EQ(ReadFileBytes(installed + kProbeFile), "probe SwiftkitData\\Client\\");

  wizard.ClickNext();
  ASSERT_TRUE(wizard.WaitForPage("shortcuts"));
  wizard.ClickNext();
  ASSERT_TRUE(wizard.WaitForPage("connections"));
  wizard.ClickNext();
  ASSERT_TRUE(wizard.WaitForPage("done"));
  wizard.Screenshot("locked-package-file-done");
  EXPECT_TRUE(wizard.Text(idLblFinish)
                  .starts_with("Экспресс установка завершена с ошибками. Количество "
                               "необновленных файлов: 1."))
      << wizard.Text(idLblFinish);
  wizard.ClickNext();
  ExpectEnds(wizard);
}

// The client's Connections.xml holds what this program does not know. A full run adds the checked
// folder to it and keeps the rest; a cancelled run leaves the file as it was.
TEST_F(WizardWindowTest, TheClientsDataSourcesKeepWhatTheWizardDoesNotKnow) {
  const std::string stored =
      "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n"
      "<Options Build=\"7\">\r\n"
      "  <!-- kept by the client -->\r\n"
      "  <Connections>\r\n"
      "    <Connection_1 ClassID=\"KV.WebDAV.ReadOnly\" Address=\"http://dav/\" "
      "Caption=\"DAV\"/>\r\n"
      "  </Connections>\r\n"
      "  <Other Value=\"1\"/>\r\n"
      "</Options>\r\n";
  const std::string connections = TSmeta9Information32::ClassInfo().ConnectionOptionsFilename();
  InstallClient();
  WriteSettings("[connections]\r\nx=" + kPackageFolder + "\r\n");
  for (const bool cancel : {true, false}) {
    SCOPED_TRACE(cancel ? "cancelled" : "full run");
    platform::ForceDirectories(ExtractFileDir(connections));
    WriteFileBytes(connections, stored);
    TWizard& wizard = StartAndCopy();
    wizard.ClickNext();
    ASSERT_TRUE(wizard.WaitForPage("shortcuts"));
    if (cancel) {
      wizard.ClickCancel();
      const auto box = wizard.WaitForMessageBox();
      ASSERT_TRUE(box);
      AnswerQuestion(*box, kCancelQuestion, IDYES);
    } else {
      wizard.ClickNext();
    }
    ASSERT_TRUE(wizard.WaitForPage("connections"));
    wizard.ClickNext();
    ASSERT_TRUE(wizard.WaitForPage("done"));
    wizard.ClickNext();
    ExpectEnds(wizard);

    const std::string bytes = ReadFileBytes(connections);
    if (cancel) {
      EXPECT_EQ(bytes, stored);
      continue;
    }
    for (const std::string& kept :
         {std::string("<Options Build=\"7\">"), std::string("<!-- kept by the client -->"),
          std::string("ClassID=\"KV.WebDAV.ReadOnly\""), std::string("<Other Value=\"1\"/>"),
          platform::EncodeCodePage(1251, "Address=\"" +
                                             TSmeta9Information32::ClassInfo().MyFolderRoot() +
                                             kPackageFolder + "\"")}) {
      EXPECT_NE(bytes.find(kept), std::string::npos) << kept << " missing:\n" << bytes;
    }
    EXPECT_LT(bytes.find("KV.WebDAV.ReadOnly"), bytes.find("KV.Files")) << bytes;
  }
}

TEST_F(WizardWindowTest, TheTitleBarsCloseOnTheWelcomePageAsksFirst) {
  TWizard& wizard = StartWizard();
  ASSERT_TRUE(wizard.WaitForWindow());
  ASSERT_TRUE(wizard.WaitForPage("welcome"));

  wizard.CloseFromTitleBar();
  auto box = wizard.WaitForMessageBox();
  ASSERT_TRUE(box);
  wizard.Screenshot("welcome-close-question");
  AnswerQuestion(*box, kCloseQuestion, IDNO);
  ASSERT_TRUE(wizard.WaitForPage("welcome"));

  wizard.CloseFromTitleBar();
  box = wizard.WaitForMessageBox();
  ASSERT_TRUE(box);
  AnswerQuestion(*box, kCloseQuestion, IDYES);
  ExpectEnds(wizard);
}

TEST_F(WizardWindowTest, ADoubleClickAdvancesTwoPages) {
  InstallClient();
  TWizard& wizard = StartAndCopy();

  wizard.ClickNext(2);
  ASSERT_TRUE(wizard.WaitForPage("connections"));
  // Cancel on the data-source page is the close question: the double click has left the mouse
  // free for the next click.
  wizard.ClickCancel();
  const auto box = wizard.WaitForMessageBox();
  ASSERT_TRUE(box) << "the click on cancel after the double click was lost";
  AnswerQuestion(*box, kCloseQuestion, IDYES);
  ExpectEnds(wizard);
}

TEST_F(WizardWindowTest, BothPagesHiddenLeadFromTheCopyPageToTheDonePage) {
  InstallClient();
  WriteSettings("[links]\r\nshowdialog=0\r\nprobe=" + kPackageFolder + "\\" + kProbeFile +
                "\r\n[connections]\r\nshowdialog=0\r\n");
  FShortcut = platform::CurrentSpecialFolders::Get().GetPath(platform::TSpecialFolder::Desktop) +
              "\\" + kProbeFile + ".lnk";
  TWizard& wizard = StartAndCopy();

  wizard.ClickNext();
  ASSERT_TRUE(wizard.WaitForPage("done"));
  EXPECT_EQ(wizard.Text(idLblFinish), kFinishedText);
  // The hidden shortcut page still made the shortcut that settings.ini preselects.
  EXPECT_TRUE(platform::FileExists(FShortcut));
  wizard.ClickNext();
  ExpectEnds(wizard);
}

TEST_F(WizardWindowTest, WithoutAnInstalledClientTheUpdateEndsOnTheDonePage) {
  TWizard& wizard = StartWizard();
  ASSERT_TRUE(wizard.WaitForWindow());
  ASSERT_TRUE(wizard.WaitForPage("welcome"));
  wizard.Settle();
  wizard.ClickNext();

  const auto box = wizard.WaitForMessageBox();
  ASSERT_TRUE(box);
  EXPECT_EQ(box->Caption, kEasySetupCaption);
  EXPECT_EQ(box->Text, "Не удалось обнаружить установленную версию КАЛВОР Сметы версии 2018");
  wizard.Screenshot("no-client-error");
  Press(*box, IDOK);

  ASSERT_TRUE(wizard.WaitForPage("done"));
  EXPECT_EQ(wizard.Text(idLblFinish),
            "Экспресс установка прервана из-за ошибки. Для завершения нажмите кнопку \"Готово\"");
  wizard.Screenshot("no-client-done");
  wizard.ClickNext();
  ExpectEnds(wizard);
}

TEST_F(WizardWindowTest, TheRunningClientStopsTheWizardBeforeItsWindow) {
  InstallClient();
  StartClient();
  TWizard& wizard = StartWizard();

  const auto box = wizard.WaitForMessageBox();
  ASSERT_TRUE(box);
  EXPECT_EQ(box->Caption, kEasySetupCaption);
  EXPECT_EQ(box->Text,
            "Для установки обновления , необходимо завершить работу клиента Калвор Сметы.");
  EXPECT_TRUE(TopWindows(wizard.Process().Id(), Narrow(kEasySetupWindowClass)).empty());
  SaveScreenshot(box->Handle, "client-running-warning");
  Press(*box, IDOK);
  ExpectEnds(wizard);
}

}  // namespace
}  // namespace kv::test
