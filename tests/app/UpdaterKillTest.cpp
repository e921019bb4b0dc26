// The update killed at every point where it reports: a child process (this test program again)
// runs it over a package whose every file replaces an installed one, and ends itself as a kill
// would at the k-th report, for every k the update reaches; the reports inside a copy come after
// each chunk, so the kill points include the middle of backups and of copies. After each kill
// every installed file must be whole, or its old bytes whole in the backup.

#include <gtest/gtest.h>

#include <iostream>
#include <string>
#include <vector>

#include "app/Updater.h"
#include "platform/FileSecurity.h"
#include "platform/Files.h"
#include "platform/Shell.h"
#include "platform/System.h"
#include "support/ChildProcess.h"
#include "support/ReplacedFiles.h"
#include "support/TempFolder.h"
#include "support/WizardWorld.h"

namespace kv::app {
namespace {

using test::TReplacedFile;

const char* const kChildTest = "UpdaterKillChild.DISABLED_RunsTheUpdateUntilKilled";

// Counts the reports; at the k-th the process ends as a killed one (never when k is 0).
class TKillingProgress final : public IUpdateProgress {
 public:
  explicit TKillingProgress(int killAt) : FKillAt(killAt) {}

  void Log(const std::string&) override { Report(); }
  void Status(const std::string&) override { Report(); }
  void SetEntryCount(int) override { Report(); }
  void EntryDone() override { Report(); }
  void FilePercent(int) override { Report(); }
  void ShowFailure(const std::string&) override { Report(); }
  void LetMessagesRun() override { Report(); }
  // How often the update waits for the system depends on the machine: no fixed kill points.
  void LetMessagesRunWhileWaiting() override {}

  int Reports() const { return FReports; }

 private:
  void Report() {
    if (++FReports == FKillAt) {
      test::KillThisProcess();
    }
  }

  int FKillAt;
  int FReports = 0;
};

// Bytes that differ from one chunk to the next, so that a chunk out of place shows.
std::string Pattern(size_t size, char seed) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) {
    bytes[i] = static_cast<char>(seed + i * 7 + i / 65521);
  }
  return bytes;
}

// The package and the installed client inside one folder: in both trees, files of one chunk and
// of several, new ones longer and shorter than the old, an empty one, in nested folders.
struct TKillWorld {
  explicit TKillWorld(const std::string& folder)
      : Client{folder + "Пакет\\Client\\", folder + "Common\\",
               folder + "Common\\ExpressBackup\\10.12.2026 14-00-00\\"},
        Documents{folder + "Пакет\\Docs\\", folder + "Docs\\",
                  folder + "Docs\\ExpressBackup\\10.12.2026 14-00-00\\"} {
    const auto chunk = static_cast<size_t>(CopyChunkSize());
    Files = {
        {Client.Target, "a.txt", "old a", "new a"},
        {Client.Target, "Папка\\b.dat", Pattern(chunk * 3 + 100, 'o'), Pattern(chunk * 2 + 5, 'n')},
        {Documents.Target, "c.txt", Pattern(chunk + chunk / 2, 'c'), "c"},
        {Documents.Target, "Вложенная\\d.bin", "d", Pattern(chunk * 2 + chunk / 2, 'd')},
        {Documents.Target, "Вложенная\\пустой.txt", "не пустой", ""},
    };
    Entries = {
        {"a.txt", TPackageTree::Client, "a.txt", false, -1},
        {"Папка", TPackageTree::Client, "Папка", true, -1},
        {"Папка\\b.dat", TPackageTree::Client, "b.dat", false, 1},
        {"Вложенная", TPackageTree::Document, "Вложенная", true, -1},
        {"Вложенная\\d.bin", TPackageTree::Document, "d.bin", false, 3},
        {"Вложенная\\пустой.txt", TPackageTree::Document, "пустой.txt", false, 3},
        {"c.txt", TPackageTree::Document, "c.txt", false, -1},
    };
  }

  void LayOut() const {
    for (const TReplacedFile& file : Files) {
      const std::string& source =
          file.TargetRoot == Client.Target ? Client.Source : Documents.Source;
      test::TWizardWorld::WriteFile(source + file.Path, file.NewBytes);
      test::TWizardWorld::WriteFile(file.TargetRoot + file.Path, file.OldBytes);
    }
  }

  // Runs the update as the wizard does, reporting to progress.
  void Update(IUpdateProgress& progress) const {
    const TCancelToken cancel;
    TUpdater updater(progress, cancel, platform::CurrentFileSecurity::Get(),
                     platform::CurrentShellFileOperations::Get());
    updater.Update(Entries, Client, Documents);
  }

  TTreeRoots Client;
  TTreeRoots Documents;
  std::vector<TReplacedFile> Files;
  std::vector<TPackageEntry> Entries;
};

// The child's side: the update in the folder the parent names (without its trailing backslash,
// which would escape the argument's closing quote), killed at the report it names.
TEST(UpdaterKillChild, DISABLED_RunsTheUpdateUntilKilled) {
  const std::vector<std::string> args = platform::CommandLineArgs();
  ASSERT_GE(args.size(), 2u);
  TKillingProgress progress(std::stoi(args.back()));
  TKillWorld(args[args.size() - 2] + "\\").Update(progress);
}

TEST(UpdaterKillTest, EveryKillPointLeavesEachInstalledFileWholeOrBackedUp) {
  int reports = 0;
  {
    const test::TTempFolder temp;
    const TKillWorld world(temp.Path(""));
    world.LayOut();
    TKillingProgress counting(0);
    world.Update(counting);
    reports = counting.Reports();
    for (const TReplacedFile& file : world.Files) {
      EXPECT_EQ(test::ReadFileBytes(file.TargetRoot + file.Path), file.NewBytes) << file.Path;
    }
  }
  ASSERT_GT(reports, 20) << "too few reports for kill points inside the copies";

  for (int killAt = 1; killAt <= reports; ++killAt) {
    SCOPED_TRACE("killed at report " + std::to_string(killAt) + " of " + std::to_string(reports));
    const test::TTempFolder temp;
    const TKillWorld world(temp.Path("world\\"));
    world.LayOut();
    const int exitCode = test::RunProgram(
        platform::ProgramFileName(),
        {"--gtest_filter=" + std::string(kChildTest), "--gtest_also_run_disabled_tests",
         "--gtest_brief=1", temp.Path("world"), std::to_string(killAt)});
    ASSERT_EQ(exitCode, test::kKilledExitCode) << "the child was not killed";
    for (const TReplacedFile& file : world.Files) {
      EXPECT_TRUE(test::IsWholeOrBackedUp(file));
    }
  }
  std::cout << "[ kill points ] " << reports << '\n';
}

}  // namespace
}  // namespace kv::app
