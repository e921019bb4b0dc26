// Faults that Linux lets a test provoke for real: a full disk (a limit on the size of the files
// this process writes) and symbolic links in the package and below a target root.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include "app/Updater.h"
#include "app/dlgEasySetup.h"
#include "platform/FileSecurity.h"
#include "platform/Files.h"
#include "platform/Shell.h"
#include "platform/System.h"
#include "support/FakeUpdateProgress.h"
#include "support/FaultyUpdate.h"
#include "support/TempFolder.h"
#include "support/WizardWorld.h"

namespace kv::app {
namespace {

using Strings = std::vector<std::string>;
using test::ReadFileBytes;
using test::TFaultyUpdate;
using test::TWizardWorld;

std::string Native(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

void Symlink(const std::string& target, const std::string& link) {
  ASSERT_EQ(::symlink(Native(target).c_str(), Native(link).c_str()), 0) << link;
}

bool Logged(const TWizardWorld& world, const std::string& line) {
  return std::find(world.View.Log.begin(), world.View.Log.end(), line) != world.View.Log.end();
}

// While it lives, no file of this process grows beyond limit bytes: a write past it fails as on
// a full disk (the signal that would end the process is ignored).
class TFileSizeLimit {
 public:
  explicit TFileSizeLimit(rlim_t limit) : FOldHandler(::signal(SIGXFSZ, SIG_IGN)) {
    ::getrlimit(RLIMIT_FSIZE, &FOld);
    rlimit lowered = FOld;
    lowered.rlim_cur = limit;
    ::setrlimit(RLIMIT_FSIZE, &lowered);
  }
  ~TFileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &FOld);
    ::signal(SIGXFSZ, FOldHandler);
  }
  TFileSizeLimit(const TFileSizeLimit&) = delete;
  TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;

 private:
  rlimit FOld{};
  sighandler_t FOldHandler;
};

// The disk fills up while the new version of a replaced file is written, and again while a new
// file is: the partial files go, the original comes back from the backup at once, and the
// smaller files are still copied.
TEST(UpdateFullDiskTest, TheOriginalComesBackAndTheOthersAreCopied) {
  constexpr rlim_t kLimit = 200 * 1024;
  TWizardWorld world;
  TFaultyUpdate update(world, std::string(kLimit * 3, 'f'));
  world.AddPackageFile(TPackageTree::Client, "Data\\big-new.bin", std::string(kLimit * 2, 'b'));
  TfrmEasySetup& form = world.CreateWizard();
  {
    const TFileSizeLimit limit(kLimit);
    update.RunCopyPage(form);
  }
  update.RunToDonePage(form);

  Strings failed;
  for (const TPackageEntry& entry : form.DataList()) {
    if (entry.Path == TFaultyUpdate::kFaulty || entry.Path == "Data\\big-new.bin") {
      failed.push_back(entry.Path);
    }
  }
  update.ExpectFailed(failed);
  EXPECT_FALSE(platform::FileExists(world.CommonDataFolder + "Data\\big-new.bin"));
  EXPECT_TRUE(Logged(world, "Файл \"Data\\faulty.dat\" восстановлен из бэкапа."));
  ASSERT_EQ(world.View.Messages.size(), 2u);
  for (const auto& message : world.View.Messages) {
    EXPECT_TRUE(message.Text.starts_with("Ошибка при записи:\r\n")) << message.Text;
  }
}

// Links in the package are no entries: one to a folder outside, one to a file outside, one
// that leads round to its own folder (the scan would never end) and one that leads nowhere.
TEST(UpdateLinkTest, LinksInThePackageAreSkippedAndNamed) {
  TWizardWorld world;
  TFaultyUpdate update(world);
  const std::string outside = world.Temp.Path("Снаружи\\");
  TWizardWorld::WriteFile(outside + "secret.txt", "not the package's");
  Symlink(outside, world.ClientTree + "Data\\outside");
  Symlink(outside + "secret.txt", world.ClientTree + "secret.txt");
  Symlink(world.ClientTree + "Data", world.ClientTree + "Data\\loop");
  Symlink(world.ClientTree + "nowhere", world.ClientTree + "dangling.txt");
  TfrmEasySetup& form = world.CreateWizard();

  update.Run(form);

  for (const TPackageEntry& entry : form.DataList()) {
    EXPECT_EQ(entry.Path.find("outside"), std::string::npos) << entry.Path;
    EXPECT_EQ(entry.Path.find("loop"), std::string::npos) << entry.Path;
    EXPECT_NE(entry.Path, "secret.txt");
  }
  EXPECT_FALSE(platform::FileExists(world.CommonDataFolder + "secret.txt"));
  EXPECT_FALSE(platform::DirectoryExists(world.CommonDataFolder + "Data\\outside"));
  for (const char* link : {"Data\\outside", "Data\\loop", "secret.txt", "dangling.txt"}) {
    EXPECT_TRUE(Logged(world, "Ссылка \"" + std::string(link) + "\" в пакете пропущена.")) << link;
  }
  // Every other file is updated; the links are the failures, in the order the scan met them.
  const Strings& log = world.View.Log;
  Strings failed;
  const std::string opening = "Ссылка \"";
  for (const std::string& line : log) {
    if (line.starts_with(opening)) {
      failed.push_back(
          line.substr(opening.size(), line.find('"', opening.size()) - opening.size()));
    }
  }
  ASSERT_EQ(failed.size(), 4u);
  update.ExpectFailed(failed);
}

// A link below a target root, to a folder outside the client's folders: nothing is written
// through it, nor into a backup folder behind one; the entries elsewhere are updated.
TEST(UpdateLinkTest, NothingIsWrittenThroughALinkBelowATargetRoot) {
  TWizardWorld world;
  TFaultyUpdate update(world);
  const std::string outside = world.Temp.Path("Чужая папка\\");
  TWizardWorld::WriteFile(outside + "report.xls", "someone else's");
  Symlink(outside, world.MyFolderRoot + "Отчёты");
  world.AddPackageFile(TPackageTree::Document, "Отчёты\\report.xls", "package's");
  world.AddPackageFile(TPackageTree::Document, "Отчёты\\new.xls", "package's");
  // The document root's backups would land outside as well.
  Symlink(outside, world.MyFolderRoot + "ExpressBackup");
  world.AddInstalledFile(TPackageTree::Document, "Бланк.xls", "installed");
  world.AddPackageFile(TPackageTree::Document, "Бланк.xls", "package's");
  TfrmEasySetup& form = world.CreateWizard();

  update.Run(form);

  EXPECT_EQ(ReadFileBytes(outside + "report.xls"), "someone else's");
  EXPECT_FALSE(platform::FileExists(outside + "new.xls"));
  EXPECT_EQ(ReadFileBytes(world.MyFolderRoot + "Бланк.xls"), "installed");
  EXPECT_EQ(platform::FindFiles(outside, "*").size(), 1u);
  Strings failed;
  for (const TPackageEntry& entry : form.DataList()) {
    if (entry.Tree == TPackageTree::Document && !entry.IsFolder) {
      failed.push_back(entry.Path);
      EXPECT_TRUE(Logged(
          world, "Файл \"" + entry.Path + "\" не обновлен: путь к нему проходит через ссылку."))
          << entry.Path;
    }
  }
  ASSERT_EQ(failed.size(), 3u);
  update.ExpectFailed(failed);
}

// The backup is a rename; where that is refused (here: the file is held open, as Windows refuses
// a file open without delete sharing), a copy flushed to disk before the original goes.
TEST(UpdateBackupTest, TheBackupIsTheInstalledFileItselfOrAWholeCopy) {
  for (const bool held : {false, true}) {
    SCOPED_TRACE(held ? "held open: copied" : "renamed");
    TWizardWorld world;
    TFaultyUpdate update(world);
    const std::string installed = update.Target(TFaultyUpdate::kSound);
    struct stat before {};
    ASSERT_EQ(::stat(Native(installed).c_str(), &before), 0);
    std::unique_ptr<platform::IFileHandle> holder;
    if (held) {
      holder = platform::OpenFile(installed, platform::TFileOpenMode::OpenRead);
    }
    TfrmEasySetup& form = world.CreateWizard();
    form.Image3Click();
    holder.reset();

    const std::string backup = form.BackUpCommonFolder() + TFaultyUpdate::kSound;
    EXPECT_EQ(ReadFileBytes(backup), TFaultyUpdate::kOldSound);
    EXPECT_EQ(ReadFileBytes(installed), "new sound");
    struct stat after {};
    ASSERT_EQ(::stat(Native(backup).c_str(), &after), 0);
    EXPECT_EQ(after.st_ino == before.st_ino, !held);
    EXPECT_TRUE(Logged(world, "Файл \"Data\\sound.dat\" сохранен в бэкапе."));
    EXPECT_TRUE(Logged(world, "Все файлы обновлены."));
  }
}

// A package file that another program cuts short while it is copied (Linux lets it; Windows'
// sharing does not): the copy fails where the bytes ran out, and the half-written file goes.
TEST(UpdateSourceCutTest, ASourceCutShortDuringItsCopyFailsTheCopy) {
  const test::TTempFolder temp;
  test::FakeUpdateProgress progress;
  const TCancelToken cancel;
  TUpdater updater(progress, cancel, platform::CurrentFileSecurity::Get(),
                   platform::CurrentShellFileOperations::Get());
  const int64_t chunk = CopyChunkSize();
  const std::string source = temp.Path("source.bin");
  test::WriteFileBytes(source, std::string(static_cast<size_t>(chunk * 3), 's'));
  progress.OnLetMessagesRun = [&] {
    if (progress.Pumps == 1) {
      ASSERT_EQ(::truncate(Native(source).c_str(), chunk + 10), 0);
    }
  };

  EXPECT_FALSE(
      updater.CopyPackageFile(source, temp.Path("target.bin"), platform::TFileOpenMode::CreateNew));
  const std::string size = std::to_string(chunk);
  EXPECT_EQ(progress.Failures,
            Strings{platform::SystemErrorMessage(ENODATA) + "\r\nТекущая позиция = " + size +
                    "\r\nразмер текущего блока = " + size + "\r\nОбщий размер блока = " + size +
                    "\r\nРазмер файла = " + std::to_string(chunk * 3)});
  EXPECT_FALSE(platform::FileExists(temp.Path("target.bin")));
}

}  // namespace
}  // namespace kv::app
