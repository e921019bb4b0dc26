// Installed files that Windows protects: read-only, or held open by another program. The update
// logs them as not updated and never loses one.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/dlgEasySetup.h"
#include "platform/Files.h"
#include "platform/win32/Win32.h"
#include "support/TempFolder.h"
#include "support/WizardWorld.h"

namespace kv::app {
namespace {

using Strings = std::vector<std::string>;

TEST(UpdateSharingTest, AProtectedInstalledFileStaysAsItWas) {
  using platform::TFileOpenMode;
  using platform::TFileShare;
  struct Case {
    const char* Name;
    // Protects the installed file for the update's time; returns what holds it.
    std::function<std::shared_ptr<void>(const std::string&)> Protect;
    bool BackedUp;  // whether a copy of it reaches the backup
    std::string Message;
    bool Replaced = false;  // the new content is written over it all the same
  };
  const auto holdOpen = [](TFileShare share) {
    return [share](const std::string& path) -> std::shared_ptr<void> {
      return platform::OpenFile(path, TFileOpenMode::OpenRead, share);
    };
  };
  // Wine lets an administrator write into a read-only file (but not delete it); Windows refuses.
  const bool writesReadOnly = [] {
    test::TTempFolder temp;
    const std::string probe = temp.Path("probe");
    test::WriteFileBytes(probe, "");
    SetFileAttributesW(platform::win32::Wide(probe).c_str(), FILE_ATTRIBUTE_READONLY);
    uint32_t code = 0;
    const bool writable = platform::TryOpenFile(probe, TFileOpenMode::OpenOrCreate,
                                                TFileShare::DenyRead, code) != nullptr;
    SetFileAttributesW(platform::win32::Wide(probe).c_str(), FILE_ATTRIBUTE_NORMAL);
    return writable;
  }();
  const Case cases[] = {
      {"read-only",
       [](const std::string& path) -> std::shared_ptr<void> {
         SetFileAttributesW(platform::win32::Wide(path).c_str(), FILE_ATTRIBUTE_READONLY);
         return nullptr;
       },
       true, writesReadOnly ? "" : "Step: 2 - " + platform::SystemErrorMessage(ERROR_ACCESS_DENIED),
       writesReadOnly},
      {"open for reading", holdOpen(TFileShare::DenyWrite), true,
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

    EXPECT_EQ(test::ReadFileBytes(installed), c.Replaced ? "new" : "old");
    const std::string backup = form.BackUpCommonFolder() + "base.dat";
    EXPECT_EQ(platform::FileExists(backup), c.BackedUp);
    if (c.BackedUp) {
      EXPECT_EQ(test::ReadFileBytes(backup), "old");
    }
    EXPECT_EQ(world.View.Log, (Strings{"Создана директория \"" + form.BackUpCommonFolder() + "\"",
                                       "Ошибка создания резервной копии \"base.dat\"",
                                       c.Replaced ? "Файл \"base.dat\" обновлен."
                                                  : "Ошибка обновления файла: \"base.dat\"",
                                       "Все файлы обновлены.", "Количество обновленных файлов: 1",
                                       "", "Для продолжения нажмите \"Далее>\""}));
    Strings messages;
    for (const auto& message : world.View.Messages) {
      messages.push_back(message.Text);
    }
    EXPECT_EQ(messages, c.Message.empty() ? Strings{} : Strings{c.Message});
    SetFileAttributesW(platform::win32::Wide(installed).c_str(), FILE_ATTRIBUTE_NORMAL);
  }
}

}  // namespace
}  // namespace kv::app
