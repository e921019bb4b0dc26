// The program under Wine as an administrator's script runs it: /silent and /progress over a
// package next to a copy of Swiftkit.exe, with the stand-in client installed; the exit code, the
// files, shortcuts and data sources, the log file and the result document. Every case puts back
// what the client's folders, the desktop and the client's data-source list held before.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <array>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/win32/WizardDriving.h"
#include "common/Common.SysUtils.h"
#include "net/Kv_KalvorSmetaRuSettings.h"
#include "platform/Files.h"
#include "support/ReplacedFiles.h"
#include "support/StandInClient.h"
#include "support/TempFolder.h"
#include "support/Win32Fixtures.h"
#include "support/Win32Registry.h"
#include "sysinfo/SysInfo.Core.Smeta9.h"

namespace kv::test {
namespace {

using platform::win32::Wide;
using Strings = std::vector<std::string>;

const std::string kOwnFolder = "SwiftkitTest";
const std::string kLinkName = "Документы SwiftkitTest";
// A replaced client file, an added one, and a document folder with a sample, preselected for a
// shortcut and as a data source next to the online service.
const std::string kReplaced = kOwnFolder + "\\a.txt";
const std::string kAdded = kOwnFolder + "\\Sub\\added.txt";
const std::string kSample = kOwnFolder + "\\Docs\\Samples\\sample.kvs";
const std::string kBig = kOwnFolder + "\\Docs\\big.bin";
const std::string kSettings =
    "[links]\r\n"
    "docs=SwiftkitTest\\Docs\r\n"
    "[connections]\r\n"
    "samples=SwiftkitTest\\Docs\\Samples\r\n"
    "online=kalvorsmeta.ru\r\n";
const std::string kConnections =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    "<Options>\r\n"
    "  <Connections/>\r\n"
    "</Options>\r\n";
constexpr LONGLONG kBigSize = 500LL * 1024 * 1024;

// The log's lines without their time stamps; every line must end with its line break.
Strings LogLines(const std::string& text) {
  Strings lines;
  size_t start = 3;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    const std::string line = text.substr(start, end - start);
    EXPECT_GE(line.size(), 25u) << line;
    lines.push_back(line.size() >= 25 ? line.substr(25) : line);
  }
  EXPECT_EQ(start, text.size()) << "a line without its end: " << text.substr(start);
  return lines;
}

bool Contains(const Strings& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class SwiftkitTest : public testing::Test {
 protected:
  void SetUp() override {
    wchar_t display[8] = {};
    if (GetEnvironmentVariableW(L"DISPLAY", display, 8) == 0) {
      GTEST_SKIP() << "the wizard's windows need a display (scripts/test provides Xvfb)";
    }
    const auto& client = TSmeta9Information32::ClassInfo();
    FRoots = {client.CommonDataFolder(), client.MyFolderRoot()};
    FConnectionsFile = client.ConnectionOptionsFilename();
    for (size_t i = 0; i < FRoots.size(); ++i) {
      FBackupsBefore[i] = Subfolders(FRoots[i] + "ExpressBackup\\");
      FBackupsExisted[i] = platform::DirectoryExists(FRoots[i] + "ExpressBackup\\");
    }
    FLink = DesktopFolder() + "\\" + kLinkName + ".lnk";
    if (platform::FileExists(FConnectionsFile)) {
      FConnectionsBefore = ReadFileBytes(FConnectionsFile);
    }
    RemoveLeftovers();
    FCleanUp = true;

    const std::string location = FTemp.Path("Калвор\\");
    ASSERT_NO_FATAL_FAILURE(InstallWizardAndStandInClient(Folder(), location, FClientKey));

    Write(Source(0, kReplaced), "new a");
    Write(FRoots[0] + kReplaced, "old a");
    Write(Source(0, kAdded), "added");
    Write(Source(1, kSample), "sample");
    Write(Source(1, kOwnFolder + "\\Docs\\linkname.txt"), "\xEF\xBB\xBF" + kLinkName + "\r\n");
    Write(Folder() + "settings.ini", kSettings);
    Write(FConnectionsFile, kConnections);
  }

  void TearDown() override {
    FProcess.reset();
    FClientKey.reset();
    if (!FCleanUp) {
      return;
    }
    RemoveLeftovers();
    if (FConnectionsBefore) {
      WriteFileBytes(FConnectionsFile, *FConnectionsBefore);
    } else {
      platform::DeleteFile(FConnectionsFile);
    }
  }

  std::string Folder() const { return FTemp.Path("wizard\\"); }
  std::string LogFile() const { return FTemp.Path("run.log"); }
  std::string ResultFile() const { return FTemp.Path("result.json"); }
  std::string Source(int tree, const std::string& path) const {
    return Folder() + (tree == 0 ? "SwiftkitData\\Client\\" : "SwiftkitData\\Калвор-Divir\\") +
           path;
  }

  static void Write(const std::string& path, const std::string& bytes) {
    platform::ForceDirectories(ExtractFilePath(path));
    WriteFileBytes(path, bytes);
  }

  // Starts the wizard with the arguments; the log and the result go to the test's files.
  TChildProcess& Start(const std::string& arguments) {
    FProcess = std::make_unique<TChildProcess>(
        Folder() + "Swiftkit.exe",
        arguments + " \"/log:" + LogFile() + "\" -Result:\"" + ResultFile() + "\"", Folder());
    return *FProcess;
  }
  std::optional<DWORD> Run(const std::string& arguments) { return Start(arguments).WaitForExit(); }

  nlohmann::json Result() const { return nlohmann::json::parse(ReadFileBytes(ResultFile())); }

  Strings NewBackupFolders(size_t root) const {
    Strings made;
    for (const std::string& name : Subfolders(FRoots[root] + "ExpressBackup\\")) {
      if (!FBackupsBefore[root].contains(name)) {
        made.push_back(FRoots[root] + "ExpressBackup\\" + name + "\\");
      }
    }
    return made;
  }

  // Nothing installed changed: no file, backup, shortcut or data source.
  void ExpectNothingChanged() const {
    EXPECT_EQ(ReadFileBytes(FRoots[0] + kReplaced), "old a");
    EXPECT_FALSE(platform::FileExists(FRoots[0] + kAdded));
    EXPECT_FALSE(platform::FileExists(FRoots[1] + kSample));
    EXPECT_TRUE(NewBackupFolders(0).empty());
    EXPECT_TRUE(NewBackupFolders(1).empty());
    EXPECT_FALSE(platform::FileExists(FLink));
    EXPECT_EQ(ReadFileBytes(FConnectionsFile), kConnections);
  }

  std::array<std::string, 2> FRoots;
  std::string FLink;
  TTempFolder FTemp;
  std::unique_ptr<TChildProcess> FProcess;
  std::string FConnectionsFile;

 private:
  void RemoveLeftovers() const {
    std::error_code ignored;
    for (size_t i = 0; i < FRoots.size(); ++i) {
      std::filesystem::remove_all(StdPath(FRoots[i] + kOwnFolder), ignored);
      for (const std::string& folder : NewBackupFolders(i)) {
        std::filesystem::remove_all(StdPath(folder), ignored);
      }
      if (!FBackupsExisted[i]) {
        platform::RemoveDir(FRoots[i] + "ExpressBackup\\");
      }
    }
    platform::DeleteFile(FLink);
  }

  std::optional<std::string> FConnectionsBefore;
  std::array<std::set<std::string>, 2> FBackupsBefore;
  std::array<bool, 2> FBackupsExisted = {};
  bool FCleanUp = false;
  std::unique_ptr<TTestRegistryKey> FClientKey;
};

TEST_F(SwiftkitTest, SilentUpdatesLinksAndRegistersWhatSettingsPreselect) {
  EXPECT_EQ(Run("/SILENT"), 0u);

  EXPECT_EQ(ReadFileBytes(FRoots[0] + kReplaced), "new a");
  EXPECT_EQ(ReadFileBytes(FRoots[0] + kAdded), "added");
  EXPECT_EQ(ReadFileBytes(FRoots[1] + kSample), "sample");
  const Strings backups = NewBackupFolders(0);
  ASSERT_EQ(backups.size(), 1u);
  EXPECT_EQ(ReadFileBytes(backups[0] + kReplaced), "old a");
  EXPECT_TRUE(platform::FileExists(FLink));
  const std::string sources = ReadFileBytes(FConnectionsFile);
  EXPECT_NE(sources.find("Address=\"" + FRoots[1] + kOwnFolder + "\\Docs\\Samples\""),
            std::string::npos)
      << sources;
  EXPECT_NE(sources.find("Caption=\"" + std::string(OnlineServiceCaption) + "\""),
            std::string::npos)
      << sources;

  const std::string log = ReadFileBytes(LogFile());
  ASSERT_TRUE(log.starts_with("\xEF\xBB\xBF"));
  const Strings lines = LogLines(log);
  ASSERT_GE(lines.size(), 6u);
  EXPECT_TRUE(lines[0].starts_with("Программа: " + Folder() + "Swiftkit.exe, версия ")) << lines[0];
  EXPECT_EQ(lines[1], "Пакет: " + Folder());
  EXPECT_TRUE(lines[2].starts_with("Клиент: ")) << lines[2];
  EXPECT_TRUE(Contains(lines, "Общие данные клиента: " + FRoots[0]));
  EXPECT_TRUE(Contains(lines, "Файл \"" + kReplaced + "\" сохранен в бэкапе."));
  EXPECT_TRUE(Contains(lines, "Файл \"" + kReplaced + "\" обновлен."));
  EXPECT_TRUE(Contains(lines, "Все файлы обновлены."));
  EXPECT_EQ(lines.back(), "Итог: updated, код выхода 0");
  for (const std::string& line : lines) {
    if (line.starts_with("Командная строка: ")) {
      EXPECT_NE(line.find("/SILENT"), std::string::npos) << line;
    }
  }

  const nlohmann::json result = Result();
  EXPECT_EQ(result["outcome"], "updated");
  EXPECT_EQ(result["exitCode"], 0);
  EXPECT_EQ(result["counts"]["failed"], 0);
  EXPECT_EQ(result["counts"]["updated"], result["counts"]["entries"]);
  EXPECT_EQ(result["shortcuts"], Strings{FLink});
  EXPECT_EQ(result["dataSources"],
            (Strings{FRoots[1] + kOwnFolder + "\\Docs\\Samples", OnlineServiceCaption}));
  EXPECT_EQ(result["backupFolders"][0], backups[0]);
}

// A package file another program holds open cannot be read: the installed file keeps its
// original, the rest is updated, and the log and the result say which file failed and why.
TEST_F(SwiftkitTest, SilentWithALockedPackageFileKeepsTheOriginal) {
  const platform::win32::unique_hfile lock(CreateFileW(Wide(Source(0, kReplaced)).c_str(),
                                                       GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                                       OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(lock);

  EXPECT_EQ(Run("-silent"), 1u);

  EXPECT_EQ(ReadFileBytes(FRoots[0] + kReplaced), "old a");
  EXPECT_EQ(ReadFileBytes(FRoots[0] + kAdded), "added");
  const Strings lines = LogLines(ReadFileBytes(LogFile()));
  EXPECT_TRUE(Contains(lines, "Не обновлен файл: \"" + kReplaced + "\""));
  EXPECT_EQ(lines.back(), "Итог: filesFailed, код выхода 1");
  const nlohmann::json result = Result();
  EXPECT_EQ(result["outcome"], "filesFailed");
  EXPECT_EQ(result["exitCode"], 1);
  ASSERT_EQ(result["failed"].size(), 1u);
  EXPECT_EQ(result["failed"][0]["file"], kReplaced);
  const std::string reason = result["failed"][0]["reason"];
  EXPECT_TRUE(reason.starts_with("Step: 1 - ")) << reason;
}

TEST_F(SwiftkitTest, SilentWithTheClientRunningChangesNothing) {
  const std::string running = FTemp.Path("client-running");
  TChildProcess client(FixtureFolder() + "StandInClient.exe", "\"" + running + "\"",
                       FTemp.Path(""));
  ASSERT_TRUE(Poll<bool>([&]() -> std::optional<bool> {
    return platform::FileExists(running) ? std::optional(true) : std::nullopt;
  })) << "the stand-in client never took the mutex";

  EXPECT_EQ(Run("/silent"), 2u);

  ExpectNothingChanged();
  const nlohmann::json result = Result();
  EXPECT_EQ(result["outcome"], "nothingChanged");
  EXPECT_EQ(result["exitCode"], 2);
  ASSERT_EQ(result["messages"].size(), 1u);
  EXPECT_NE(std::string(result["messages"][0]).find("завершить работу клиента"), std::string::npos);
}

// Wrong command lines end at once with their own codes, without a message box that nobody
// would close, and touch nothing.
TEST_F(SwiftkitTest, BadArgumentsAndASecondWizardAreRefused) {
  FProcess = std::make_unique<TChildProcess>(Folder() + "Swiftkit.exe", "/silent /quiet", Folder());
  EXPECT_EQ(FProcess->WaitForExit(), 4u);
  FProcess = std::make_unique<TChildProcess>(
      Folder() + "Swiftkit.exe", "/silent \"/log:" + FTemp.Path("no such folder\\run.log") + "\"",
      Folder());
  EXPECT_EQ(FProcess->WaitForExit(), 4u);
  ExpectNothingChanged();

  TWizard first(Folder());
  ASSERT_TRUE(first.WaitForWindow());
  EXPECT_EQ(Run("/silent"), 5u);
  ExpectNothingChanged();
}

// The log reaches the disk line by line: read while the wizard copies a large file and after it
// was killed there, it holds every line written before, each whole. /progress shows a window
// without buttons meanwhile.
TEST_F(SwiftkitTest, TheLogOfAKilledRunHoldsEveryLineUpToTheKill) {
  Write(Source(1, kBig), "new");
  Write(FRoots[1] + kBig, "old");
  for (const auto& [path, size] :
       {std::pair{Source(1, kBig), kBigSize}, std::pair{FRoots[1] + kBig, kBigSize - 4096}}) {
    const platform::win32::unique_hfile file(
        CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file);
    LARGE_INTEGER end{};
    end.QuadPart = size;
    ASSERT_TRUE(SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(file.get()));
  }
  const TReplacedFile big{FRoots[1], kBig, ReadFileBytes(FRoots[1] + kBig),
                          ReadFileBytes(Source(1, kBig))};
  TChildProcess& wizard = Start("/progress");

  const std::string backedUp = "Файл \"" + kBig + "\" сохранен в бэкапе.";
  const auto seen = Poll<bool>([&]() -> std::optional<bool> {
    const std::string log = platform::FileExists(LogFile()) ? ReadFileBytes(LogFile()) : "";
    return log.find(backedUp) != std::string::npos ? std::optional(true) : std::nullopt;
  });
  ASSERT_TRUE(seen) << "the large file's backup never reached the log";
  const std::vector<HWND> windows = TopWindows(wizard.Id(), "TSwiftkitProgress");
  ASSERT_EQ(windows.size(), 1u);
  EXPECT_TRUE(IsWindowVisible(windows[0]));
  EXPECT_FALSE(FindWindowExW(windows[0], nullptr, L"Button", nullptr)) << "a button";
  EXPECT_EQ(GetWindowLongW(windows[0], GWL_STYLE) & WS_SYSMENU, 0) << "a close button";
  ASSERT_TRUE(TerminateProcess(wizard.Handle(), 1));
  ASSERT_TRUE(wizard.WaitForExit());

  // The client's tree is copied before the documents'.
  const Strings lines = LogLines(ReadFileBytes(LogFile()));
  EXPECT_TRUE(Contains(lines, "Файл \"" + kReplaced + "\" обновлен."));
  EXPECT_TRUE(Contains(lines, "Файл \"" + kAdded + "\" добавлен."));
  EXPECT_TRUE(Contains(lines, backedUp));
  EXPECT_FALSE(Contains(lines, "Все файлы обновлены.")) << "the kill came after the copy";
  EXPECT_TRUE(IsWholeOrBackedUp(big));
  // The result written at the start says that the run never ended.
  EXPECT_EQ(Result()["outcome"], "running");
}

}  // namespace
}  // namespace kv::test
