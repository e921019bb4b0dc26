// Files that Windows protects: installed files read-only or held open by another program, and a
// package file held open; and links, as Wine shows them. The update logs what it could not do,
// never loses a file and never writes through a link.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/Package.h"
#include "app/Updater.h"
#include "app/dlgEasySetup.h"
#include "platform/FileSecurity.h"
#include "platform/Files.h"
#include "platform/Shell.h"
#include "platform/win32/Win32.h"
#include "support/FakeUpdateProgress.h"
#include "support/FaultyUpdate.h"
#include "support/TempFolder.h"
#include "support/Win32Fixtures.h"
#include "support/WizardWorld.h"

namespace kv::app {
namespace {

using Strings = std::vector<std::string>;

// The backup is a rename, which a read-only file allows; a file held open without delete sharing
// refuses it, and is then copied to the backup, which is only kept when the update overwrote the
// original.
TEST(UpdateSharingTest, AProtectedInstalledFileStaysAsItWasOrIsBackedUp) {
  using platform::TFileOpenMode;
  using platform::TFileShare;
  struct Case {
    const char* Name;
    // Protects the installed file for the update's time; returns what holds it.
    std::function<std::shared_ptr<void>(const std::string&)> Protect;
    bool Replaced;  // the new content is in, the old one in the backup
    std::string Message;
  };
  const auto holdOpen = [](TFileShare share) {
    return [share](const std::string& path) -> std::shared_ptr<void> {
      return platform::OpenFile(path, TFileOpenMode::OpenRead, share);
    };
  };
  const Case cases[] = {
      {"read-only",
       [](const std::string& path) -> std::shared_ptr<void> {
         SetFileAttributesW(platform::win32::Wide(path).c_str(), FILE_ATTRIBUTE_READONLY);
         return nullptr;
       },
       true, ""},
      {"open for reading", holdOpen(TFileShare::DenyWrite), false,
       "Step: 2 - " + platform::SystemErrorMessage(ERROR_SHARING_VIOLATION)},
      {"open exclusively", holdOpen(TFileShare::Exclusive), false,
       "Step: 1 - " + platform::SystemErrorMessage(ERROR_SHARING_VIOLATION)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    test::TWizardWorld world;
    world.AddInstalledFile(TPackageTree::Client, "base.dat", "old");
    world.AddPackageFile(TPackageTree::Client, "base.dat", "new");
    const std::string installed = world.CommonDataFolder + "base.dat";
    TfrmEasySetup& form = world.CreateWizard();
    {
      const auto holder = c.Protect(installed);
      form.Image3Click();
    }

    const std::string backup = form.BackUpCommonFolder() + "base.dat";
    EXPECT_EQ(test::ReadFileBytes(installed), c.Replaced ? "new" : "old");
    EXPECT_EQ(platform::FileExists(backup), c.Replaced);
    if (c.Replaced) {
      EXPECT_EQ(test::ReadFileBytes(backup), "old");
    }
    const Strings head = {"Создана директория \"" + form.BackUpCommonFolder() + "\""};
    const Strings replacedLog = {"Файл \"base.dat\" сохранен в бэкапе.",
                                 "Файл \"base.dat\" обновлен.", "Все файлы обновлены.",
                                 "Количество обновленных файлов: 1"};
    const Strings failedLog = {"Ошибка создания резервной копии \"base.dat\"",
                               "Ошибка обновления файла: \"base.dat\"",
                               "Обновлены не все файлы.",
                               "Не обновлен файл: \"base.dat\"",
                               "Количество необновленных файлов: 1",
                               "Количество обновленных файлов: 0"};
    Strings expected = head;
    for (const std::string& line : c.Replaced ? replacedLog : failedLog) {
      expected.push_back(line);
    }
    expected.insert(expected.end(), {"", "Для продолжения нажмите \"Далее>\""});
    EXPECT_EQ(world.View.Log, expected);
    Strings messages;
    for (const auto& message : world.View.Messages) {
      messages.push_back(message.Text);
    }
    EXPECT_EQ(messages, c.Message.empty() ? Strings{} : Strings{c.Message});
    SetFileAttributesW(platform::win32::Wide(installed).c_str(), FILE_ATTRIBUTE_NORMAL);
    SetFileAttributesW(platform::win32::Wide(backup).c_str(), FILE_ATTRIBUTE_NORMAL);
  }
}

// A package file that another program holds open without sharing: its installed original is
// already in the backup when the copy fails, and goes back at once; the others are copied.
TEST(UpdateFaultTest, ALockedPackageFilePutsTheOriginalBack) {
  test::TWizardWorld world;
  test::TFaultyUpdate update(world);
  TfrmEasySetup& form = world.CreateWizard();
  {
    const auto lock =
        platform::OpenFile(update.Source(test::TFaultyUpdate::kFaulty),
                           platform::TFileOpenMode::OpenRead, platform::TFileShare::Exclusive);
    update.RunCopyPage(form);
  }
  update.RunToDonePage(form);

  update.ExpectFailed({test::TFaultyUpdate::kFaulty});
  const Strings& log = world.View.Log;
  EXPECT_NE(std::find(log.begin(), log.end(), "Файл \"Data\\faulty.dat\" восстановлен из бэкапа."),
            log.end());
  ASSERT_EQ(world.View.Messages.size(), 1u);
  EXPECT_EQ(world.View.Messages[0].Text,
            "Step: 1 - " + platform::SystemErrorMessage(ERROR_SHARING_VIOLATION));
}

// Links that Linux made (the build put them next to this program): Wine shows a link to a
// folder as a reparse point. The scan skips the one in the package; nothing is written through
// the one below the target root.
TEST(UpdateLinkTest, FolderLinksInThePackageAndBelowTheTargetAreNotFollowed) {
  const std::string links = test::FixtureFolder() + "links\\";
  ASSERT_TRUE(platform::IsLinkOrJunction(links + "target\\outside"));

  std::vector<std::string> skipped;
  const std::vector<TPackageEntry> entries = TPackage(links).Scan(&skipped);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].Path, "plain.txt");
  EXPECT_EQ(skipped, Strings{"outside"});

  test::TTempFolder temp;
  test::FakeUpdateProgress progress;
  TCancelToken cancel;
  TUpdater updater(progress, cancel, platform::CurrentFileSecurity::Get(),
                   platform::CurrentShellFileOperations::Get());
  const TTreeRoots roots{temp.Path("package\\"), links + "target\\", temp.Path("backup\\")};
  test::TWizardWorld::WriteFile(roots.Source + "outside\\secret.txt", "package's");
  test::TWizardWorld::WriteFile(roots.Source + "outside\\new.txt", "package's");
  test::TWizardWorld::WriteFile(roots.Source + "plain.txt", "package's");
  updater.Update({{"outside\\secret.txt", TPackageTree::Client, "secret.txt", false, -1},
                  {"outside\\new.txt", TPackageTree::Client, "new.txt", false, -1},
                  {"plain.txt", TPackageTree::Client, "plain.txt", false, -1}},
                 roots, roots);

  EXPECT_EQ(test::ReadFileBytes(links + "outside\\secret.txt"), "not the package's");
  EXPECT_FALSE(platform::FileExists(links + "outside\\new.txt"));
  EXPECT_EQ(test::ReadFileBytes(roots.Target + "plain.txt"), "package's");
  platform::DeleteFile(roots.Target + "plain.txt");
  EXPECT_EQ(updater.Failed(), (Strings{"outside\\secret.txt", "outside\\new.txt"}));
  EXPECT_NE(std::find(progress.Lines.begin(), progress.Lines.end(),
                      "Файл \"outside\\new.txt\" не обновлен: путь к нему проходит через ссылку."),
            progress.Lines.end());
}

}  // namespace
}  // namespace kv::app
