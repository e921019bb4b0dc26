#pragma once
// One update through the wizard on a fake window in which some files fail, whatever the fault:
// the package replaces two installed files and adds one. The checks say whether each failed
// file kept its installed bytes, every other file was brought in, and the log, the copy page and
// the done page told the truth.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/dlgEasySetup.h"
#include "support/TempFolder.h"
#include "support/WizardWorld.h"

namespace kv::test {

class TFaultyUpdate {
 public:
  // The replaced files and the added one, client tree.
  static constexpr const char* kFaulty = "Data\\faulty.dat";
  static constexpr const char* kSound = "Data\\sound.dat";
  static constexpr const char* kAdded = "added.txt";

  // faultyBytes: the package's version of the faulty file (a size that a fault may need).
  explicit TFaultyUpdate(TWizardWorld& world, const std::string& faultyBytes = "new faulty")
      : FWorld(world), FFaultyBytes(faultyBytes) {
    world.AddInstalledFile(app::TPackageTree::Client, kFaulty, kOldFaulty);
    world.AddPackageFile(app::TPackageTree::Client, kFaulty, faultyBytes);
    world.AddInstalledFile(app::TPackageTree::Client, kSound, kOldSound);
    world.AddPackageFile(app::TPackageTree::Client, kSound, "new sound");
    world.AddPackageFile(app::TPackageTree::Client, kAdded, "added");
  }

  std::string Source(const std::string& relative) const { return FWorld.ClientTree + relative; }
  std::string Target(const std::string& relative) const {
    return FWorld.CommonDataFolder + relative;
  }

  // The copy page, then on to the done page.
  void Run(app::TfrmEasySetup& form) {
    RunCopyPage(form);
    RunToDonePage(form);
  }
  void RunCopyPage(app::TfrmEasySetup& form) {
    form.Image3Click();
    FCopyPageStatus = FWorld.View.Status;
  }
  static void RunToDonePage(app::TfrmEasySetup& form) {
    while (form.PageState() != app::TPageState::psDone) {
      form.Image3Click();
    }
  }

  // failed: package-relative paths in the order they failed; of this package's files, those
  // named keep their installed bytes and the others hold the package's.
  void ExpectFailed(const std::vector<std::string>& failed) const {
    const auto isFailed = [&](const char* file) {
      return std::find(failed.begin(), failed.end(), file) != failed.end();
    };
    EXPECT_EQ(ReadFileBytes(Target(kFaulty)), isFailed(kFaulty) ? kOldFaulty : FFaultyBytes);
    EXPECT_EQ(ReadFileBytes(Target(kSound)), isFailed(kSound) ? kOldSound : "new sound");
    EXPECT_EQ(ReadFileBytes(Target(kAdded)), "added");

    const std::vector<std::string>& log = FWorld.View.Log;
    const auto summary = std::find(log.begin(), log.end(), "Обновлены не все файлы.");
    ASSERT_NE(summary, log.end()) << "no summary of failures";
    std::vector<std::string> expected;
    for (const std::string& relative : failed) {
      expected.push_back("Не обновлен файл: \"" + relative + "\"");
    }
    expected.push_back("Количество необновленных файлов: " + std::to_string(failed.size()));
    EXPECT_EQ(std::vector<std::string>(summary + 1, summary + 1 + std::ssize(expected)), expected);
    EXPECT_EQ(std::count(log.begin(), log.end(), "Все файлы обновлены."), 0);
    EXPECT_EQ(FCopyPageStatus,
              "Копирование завершено с ошибками. Для продолжения нажмите \"Далее>\"");
    EXPECT_TRUE(FWorld.View.FinishText.starts_with(
        "Экспресс установка завершена с ошибками. Количество необновленных файлов: " +
        std::to_string(failed.size()) + ".\r\n"))
        << FWorld.View.FinishText;
  }

  static constexpr const char* kOldFaulty = "installed faulty";
  static constexpr const char* kOldSound = "installed sound";

 private:
  TWizardWorld& FWorld;
  std::string FFaultyBytes;
  std::string FCopyPageStatus;
};

}  // namespace kv::test
