#include "app/UnattendedRun.h"

#include <algorithm>

#include "app/CommandLine.h"
#include "app/UnattendedView.h"
#include "common/FileVersion.h"
#include "platform/Files.h"
#include "sysinfo/SysInfo.Core.Smeta9.h"

namespace kv::app {

namespace {

// From the welcome page to the window's close: five presses of the next button.
constexpr int kPageCount = 5;

bool PackageFound(const std::string& programFolder, IEasySetupView& view) {
  const TPackage package(programFolder);
  const std::string client = package.TreeFolder(TPackageTree::Client);
  const std::string document = package.TreeFolder(TPackageTree::Document);
  if (platform::DirectoryExists(client) || platform::DirectoryExists(document)) {
    return true;
  }
  view.ShowError("Пакет обновления не найден: нет ни папки \"" + client + "\", ни папки \"" +
                 document + "\".");
  return false;
}

}  // namespace

int ExitCodeOf(TRunOutcome outcome) {
  switch (outcome) {
    case TRunOutcome::Running:
    case TRunOutcome::Updated:
      return ecUpdated;
    case TRunOutcome::FilesFailed:
      return ecFilesFailed;
    case TRunOutcome::NothingChanged:
      return ecNothingChanged;
    case TRunOutcome::RolledBack:
      return ecRolledBack;
  }
  return ecUpdated;
}

TRunOutcome OutcomeOf(const TfrmEasySetup& form) {
  if (form.BreakInstall()) {
    return TRunOutcome::RolledBack;
  }
  if (form.SmetaCommonFolder().empty()) {
    return TRunOutcome::NothingChanged;
  }
  return form.Updater().Failed().empty() ? TRunOutcome::Updated : TRunOutcome::FilesFailed;
}

TRunOutcome RunUnattended(TfrmEasySetup& form, IEasySetupView& view,
                          const std::string& programFolder) {
  try {
    form.FormCreate();
  } catch (const THaltRequest&) {
    // The running client's guard: the wizard ends before it reads anything.
    return TRunOutcome::NothingChanged;
  } catch (const std::exception& error) {
    view.ShowError(error.what());
    return TRunOutcome::NothingChanged;
  }
  if (!PackageFound(programFolder, view)) {
    return TRunOutcome::NothingChanged;
  }
  try {
    for (int page = 0; page < kPageCount && form.PageState() != TPageState::psClose; ++page) {
      form.Image3Click();
    }
    if (form.PageState() != TPageState::psClose) {
      throw Exception("Мастер не дошел до последней страницы.");
    }
  } catch (const std::exception& error) {
    // Nobody can be asked how to go on: what the update changed is put back, as after a cancel.
    view.ShowError(std::string("Обновление не может быть завершено: ") + error.what());
    view.AppendLog("Произвожу процесс восстановления данных.");
    form.RestoreBackups();
    return TRunOutcome::RolledBack;
  }
  return OutcomeOf(form);
}

TRunResult DescribeRun(const TfrmEasySetup& form, const TRecordingView& recording,
                       TRunOutcome outcome, int exitCode) {
  TRunResult result;
  result.Outcome = outcome;
  result.ExitCode = exitCode;
  result.Messages = recording.Messages();
  result.Entries = static_cast<int>(form.DataList().size());
  const std::vector<std::string>& failed = form.Updater().Failed();
  for (const std::string& relative : failed) {
    result.Failed.push_back({relative, recording.ReasonFor(relative)});
  }
  // What a rollback put back counts as not updated.
  if (outcome == TRunOutcome::Updated || outcome == TRunOutcome::FilesFailed) {
    result.Updated = static_cast<int>(
        std::count_if(form.DataList().begin(), form.DataList().end(), [&](const auto& entry) {
          return std::find(failed.begin(), failed.end(), entry.Path) == failed.end();
        }));
  }
  for (const std::string* folder : {&form.BackUpCommonFolder(), &form.BackUpAppFolder()}) {
    if (!folder->empty() && platform::DirectoryExists(*folder) &&
        std::find(result.BackupFolders.begin(), result.BackupFolders.end(), *folder) ==
            result.BackupFolders.end()) {
      result.BackupFolders.push_back(*folder);
    }
  }
  result.NotRestoredIn = form.Updater().NotRestoredIn();
  result.Shortcuts = form.ShortCutList();
  result.DataSources = form.ConnectionsMade();
  return result;
}

std::vector<std::string> StartupFacts(const std::string& programFile,
                                      const std::string& programFolder, const std::string& user,
                                      const std::string& commandLine) {
  std::vector<std::string> facts = {
      "Программа: " + programFile + ", версия " +
          TDigitalFileVersionInfo::CreateFromFile(programFile).AsString(),
      "Пакет: " + programFolder,
  };
  const auto& client = TSmeta9Information32::ClassInfo();
  if (client.IsApplicationInstalled()) {
    facts.push_back("Клиент: " + client.InstallFolder() + ", версия " +
                    client.ApplicationVersion().AsString());
    facts.push_back("Общие данные клиента: " + client.CommonDataFolder());
    facts.push_back("Документы клиента: " + client.MyFolderRoot());
  } else {
    facts.push_back("Клиент не найден.");
  }
  facts.push_back("Пользователь: " + user);
  facts.push_back("Командная строка: " + commandLine);
  return facts;
}

}  // namespace kv::app
