// The wizard's real window under Wine ended from outside while it copies: by the end of the
// session, which it first refuses and then meets by rolling back before it answers, and by a
// kill at several moments of a large file's backup and copy. Each time every installed file the
// update replaces must be whole, or its old bytes whole in the backup.

#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/win32/EasySetupControls.h"
#include "app/win32/WizardDriving.h"
#include "common/Common.SysUtils.h"
#include "platform/Files.h"
#include "support/ReplacedFiles.h"
#include "support/StandInClient.h"
#include "support/TempFolder.h"
#include "support/Win32Fixtures.h"
#include "support/Win32Registry.h"
#include "sysinfo/SysInfo.Core.Smeta9.h"

namespace kv::test {
namespace {

using namespace app::win32;
using platform::win32::Wide;

// The folder the package's files go to in both target roots: the test's own, removed after.
const std::string kOwnFolder = "WizardEndTest";
const std::string kBig = kOwnFolder + "\\Большой\\big.bin";
// Large enough that its copy takes seconds under Wine.
constexpr LONGLONG kBigSize = 500LL * 1024 * 1024;

// A file of size bytes: head, then zeros, made quickly by extending it.
void WriteSized(const std::string& path, const std::string& head, LONGLONG size) {
  platform::ForceDirectories(ExtractFilePath(path));
  WriteFileBytes(path, head);
  const platform::win32::unique_handle file(
      CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_NE(file.get(), INVALID_HANDLE_VALUE);
  LARGE_INTEGER end{};
  end.QuadPart = size;
  ASSERT_TRUE(SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN));
  ASSERT_TRUE(SetEndOfFile(file.get()));
}

// A client with installed files in both targets, each replaced by the package next to a copy of
// the wizard; with bigReplaced, the large package file replaces an installed one too.
class WizardEndTest : public testing::Test {
 protected:
  void SetUp() override {
    wchar_t display[8] = {};
    if (GetEnvironmentVariableW(L"DISPLAY", display, 8) == 0) {
      GTEST_SKIP() << "the wizard's window needs a display (scripts/test provides Xvfb)";
    }
    const auto& client = TSmeta9Information32::ClassInfo();
    FRoots = {client.CommonDataFolder(), client.MyFolderRoot()};
    for (const std::string& root : FRoots) {
      FBackupsBefore.push_back(Subfolders(root + "ExpressBackup\\"));
      FBackupsExisted.push_back(platform::DirectoryExists(root + "ExpressBackup\\"));
    }
    RemoveLeftovers();
    FCleanUp = true;

    const std::string location = FTemp.Path("Калвор\\");
    ASSERT_NO_FATAL_FAILURE(InstallWizardAndStandInClient(Folder(), location, FClientKey));

    // The client tree is copied first: its files are replaced before the large one starts.
    FReplaced = {
        {FRoots[0], kOwnFolder + "\\a.txt", "old a", "new a"},
        {FRoots[0], kOwnFolder + "\\Вложенная\\b.dat", std::string("old\0b", 5), "new b"},
        {FRoots[1], kOwnFolder + "\\Смета.txt", "старая смета", "новая смета"},
    };
    for (const TReplacedFile& file : FReplaced) {
      const std::string tree = file.TargetRoot == FRoots[0] ? "Client\\" : "Калвор-Divir\\";
      Write(Folder() + "SwiftkitData\\" + tree + file.Path, file.NewBytes);
    }
    InstallOldFiles();
  }

  void TearDown() override {
    if (HasFailure() && FWizard && IsWindow(FWizard->Window())) {
      SaveScreenshot(FWizard->Window(), Name() + "-failed");
    }
    FWizard.reset();
    FClientKey.reset();
    if (FCleanUp) {
      RemoveLeftovers();
    }
  }

  std::string Folder() const { return FTemp.Path("wizard\\"); }
  std::string Name() const {
    return ::testing::UnitTest::GetInstance()->current_test_info()->name();
  }
  std::string BigSource() const { return Folder() + "SwiftkitData\\Калвор-Divir\\" + kBig; }

  static void Write(const std::string& path, const std::string& bytes) {
    platform::ForceDirectories(ExtractFilePath(path));
    WriteFileBytes(path, bytes);
  }

  // The large package file, and when it replaces one, the installed file (a shorter one, so that
  // no partial copy can pass for it).
  void AddBigFile(bool replacing) {
    WriteSized(BigSource(), "new", kBigSize);
    if (replacing) {
      WriteSized(FRoots[1] + kBig, "old", kBigSize - 4096);
    }
  }
  TReplacedFile BigFile() const {
    return {FRoots[1], kBig, ReadFileBytes(FRoots[1] + kBig), ReadFileBytes(BigSource())};
  }

  void InstallOldFiles() const {
    for (const TReplacedFile& file : FReplaced) {
      Write(file.TargetRoot + file.Path, file.OldBytes);
    }
  }

  // Starts the wizard, presses next and waits until the large file's backup or copy has run for
  // the time given.
  TWizard& StartCopyingBig(int milliseconds) {
    FWizard = std::make_unique<TWizard>(Folder());
    EXPECT_TRUE(FWizard->WaitForWindow());
    EXPECT_TRUE(FWizard->WaitForPage("welcome"));
    FWizard->Settle();
    FWizard->ClickNext();
    const auto started = Poll<bool>(
        [&]() -> std::optional<bool> {
          return FWizard->Text(idLblStatus) == BigSource() ? std::optional(true) : std::nullopt;
        },
        kWizardTimeoutMs);
    EXPECT_TRUE(started) << "the large file's copy was not seen; status: "
                         << FWizard->Text(idLblStatus);
    Pause(milliseconds);
    return *FWizard;
  }

  void Kill(const TWizard& wizard) const {
    ASSERT_TRUE(TerminateProcess(wizard.Process().Handle(), 1));
    ASSERT_TRUE(wizard.Process().WaitForExit());
  }

  // What this test puts into the client's folders: its own folder and the backups it made.
  void RemoveLeftovers() const {
    std::error_code ignored;
    for (size_t i = 0; i < FRoots.size(); ++i) {
      const std::string backups = FRoots[i] + "ExpressBackup\\";
      std::filesystem::remove_all(StdPath(FRoots[i] + kOwnFolder), ignored);
      for (const std::string& name : Subfolders(backups)) {
        if (!FBackupsBefore[i].contains(name)) {
          std::filesystem::remove_all(StdPath(backups + name), ignored);
        }
      }
      if (!FBackupsExisted[i]) {
        platform::RemoveDir(backups);
      }
    }
  }

  std::vector<std::string> FRoots;
  std::vector<TReplacedFile> FReplaced;
  std::unique_ptr<TWizard> FWizard;

 private:
  TTempFolder FTemp;
  std::vector<std::set<std::string>> FBackupsBefore;
  std::vector<bool> FBackupsExisted;
  bool FCleanUp = false;
  std::unique_ptr<TTestRegistryKey> FClientKey;
};

// Sends a session message as the system does and waits for the answer.
std::optional<LRESULT> SendSessionMessage(HWND window, UINT message, WPARAM wParam) {
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutW(window, message, wParam, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG,
                           kWizardTimeoutMs, &answer)) {
    return std::nullopt;
  }
  return static_cast<LRESULT>(answer);
}

// The large file is new, or replaces an installed one.
class WizardSessionEndDuringCopyTest : public WizardEndTest,
                                       public testing::WithParamInterface<bool> {};

// During the copy the session may not end; when it ends anyway, the files replaced so far have
// their old bytes back before the window answers, and the process may go at once, as it does at
// the session's end. A large file still being written keeps its old bytes whole in the backup.
TEST_P(WizardSessionEndDuringCopyTest, TheCopyRefusesTheSessionsEndAndRollsBackWhenItEnds) {
  const bool bigReplacing = GetParam();
  AddBigFile(bigReplacing);
  TWizard& wizard = StartCopyingBig(0);
  // The copy runs in chunks of a megabyte: asked at a fixed time, it may be over already.
  const auto copying = Poll<bool>(
      [&]() -> std::optional<bool> {
        const int percent = wizard.ProgressPosition(idPbCurrentProgress);
        return percent >= 1 && percent <= 30 ? std::optional(true) : std::nullopt;
      },
      kWizardTimeoutMs);
  ASSERT_TRUE(copying) << "the large file's copy was not seen under way";
  const auto mayEnd = SendSessionMessage(wizard.Window(), WM_QUERYENDSESSION, 0);
  ASSERT_TRUE(mayEnd) << "no answer to the session's query";
  EXPECT_EQ(*mayEnd, FALSE);
  EXPECT_EQ(wizard.Text(idLblStatus), BigSource()) << "the copy ended before the query";

  // The query's refusal is no end: the session goes on and so does the copy.
  ASSERT_TRUE(SendSessionMessage(wizard.Window(), WM_ENDSESSION, FALSE));
  EXPECT_TRUE(IsWindow(wizard.Window()));
  ASSERT_TRUE(SendSessionMessage(wizard.Window(), WM_ENDSESSION, TRUE))
      << "no answer to the session's end";
  Kill(wizard);

  for (const TReplacedFile& file : FReplaced) {
    EXPECT_EQ(ReadFileBytes(file.TargetRoot + file.Path), file.OldBytes) << file.Path;
  }
  if (bigReplacing) {
    EXPECT_TRUE(IsWholeOrBackedUp(BigFile()));
  }
}

INSTANTIATE_TEST_SUITE_P(LargeFile, WizardSessionEndDuringCopyTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                           return info.param ? "Replacing" : "New";
                         });

// Before and after the copy the session may end; its end on the copy page rolls the update back
// and ends the wizard.
TEST_F(WizardEndTest, OutsideTheCopyTheSessionMayEndAndOnTheCopyPageItRollsBack) {
  FWizard = std::make_unique<TWizard>(Folder());
  ASSERT_TRUE(FWizard->WaitForWindow());
  ASSERT_TRUE(FWizard->WaitForPage("welcome"));
  EXPECT_EQ(SendSessionMessage(FWizard->Window(), WM_QUERYENDSESSION, 0), TRUE);
  FWizard->Settle();
  FWizard->ClickNext();
  ASSERT_TRUE(FWizard->WaitForPage("copied"));
  EXPECT_EQ(SendSessionMessage(FWizard->Window(), WM_QUERYENDSESSION, 0), TRUE);
  ASSERT_TRUE(SendSessionMessage(FWizard->Window(), WM_ENDSESSION, TRUE));
  // The end on the copy page rolled the update back and closed the window.
  for (const TReplacedFile& file : FReplaced) {
    EXPECT_EQ(ReadFileBytes(file.TargetRoot + file.Path), file.OldBytes) << file.Path;
  }
  const std::optional<DWORD> code = FWizard->Process().WaitForExit();
  ASSERT_TRUE(code) << "the wizard did not end";
}

// Killed while the large file replaces an installed one: at its start, in its backup, in its
// copy; and after the copy.
TEST_F(WizardEndTest, AKillAtAnyMomentLeavesEachFileWholeOrBackedUp) {
  AddBigFile(true);
  const TReplacedFile big = BigFile();
  const int killAfterMs[] = {0, 300, 1500, 4000};
  for (const int milliseconds : killAfterMs) {
    SCOPED_TRACE("killed " + std::to_string(milliseconds) + " ms into the large file");
    // Each run starts from the installed client, with no backup of an earlier run to pass for
    // this one's.
    RemoveLeftovers();
    InstallOldFiles();
    AddBigFile(true);
    TWizard& wizard = StartCopyingBig(milliseconds);
    const std::string status = wizard.Text(idLblStatus);
    const int percent = wizard.ProgressPosition(idPbCurrentProgress);
    Kill(wizard);
    std::cout << "[ killed ] after " << milliseconds << " ms: " << percent << " % of "
              << (status == BigSource() ? "the large file" : "the copy: " + status) << '\n';
    for (const TReplacedFile& file : FReplaced) {
      EXPECT_TRUE(IsWholeOrBackedUp(file));
    }
    EXPECT_TRUE(IsWholeOrBackedUp(big));
  }
}

}  // namespace
}  // namespace kv::test
