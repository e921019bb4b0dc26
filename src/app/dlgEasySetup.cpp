#include "app/dlgEasySetup.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "app/CommonSettingsMerge.h"
#include "app/DataSourceRegistration.h"
#include "common/Common.SysUtils.h"
#include "net/Kv_KalvorSmetaRuSettings.h"
#include "platform/FileSecurity.h"
#include "platform/Mutex.h"
#include "platform/Registry.h"
#include "platform/Shell.h"
#include "platform/Text.h"
#include "sysinfo/SysInfo.Core.Smeta9.h"

namespace kv::app {

namespace {

// Held by the running client; while it exists the client's files must not be replaced.
const char* const kClientMutexName = "KalvorSmeta_client";

// The page the next button leads to from each page; the last one has none.
constexpr std::pair<TPageState, TPageState> kNextPages[] = {
    {TPageState::psHello, TPageState::psCopyData},
    {TPageState::psCopyData, TPageState::psShortCuts},
    {TPageState::psShortCuts, TPageState::psConnections},
    {TPageState::psConnections, TPageState::psDone},
    {TPageState::psDone, TPageState::psClose},
};

const std::pair<TPageState, TPageState>* FindNextPage(TPageState page) {
  const auto found = std::find_if(std::begin(kNextPages), std::end(kNextPages),
                                  [page](const auto& step) { return step.first == page; });
  return found == std::end(kNextPages) ? nullptr : found;
}

TPageState NextPage(TPageState page) {
  return FindNextPage(page)->second;
}

// Shown by the system to a user who logs off or shuts down while the copy runs.
const char* const kSessionEndReason =
    "Идет процесс экспресс обновления. При завершении работы обновление будет отменено.";

bool IsRollbackPage(TPageState state) {
  return state == TPageState::psCopyData || state == TPageState::psShortCuts;
}

// A new backup folder of one target root, stamped with the local date and time; taken is one
// already named for the other root (both roots may be one folder).
std::string BackupRoot(const std::string& targetRoot, const std::string& taken = {}) {
  return NewBackupRoot(targetRoot, platform::DateTimeToStrLocale(platform::Now()), taken);
}

// How long the scan of the package goes without letting the window's messages run.
constexpr std::chrono::milliseconds kScanPumpInterval{10};

const char* const kFinishHint = "Для завершения нажмите кнопку \"Готово\"";

// "в папке" and the folder, or "в папках" and each of them.
std::string InFolders(const std::vector<std::string>& folders) {
  std::string text = folders.size() == 1 ? "в папке" : "в папках";
  for (size_t i = 0; i < folders.size(); ++i) {
    text += (i == 0 ? " \"" : i + 1 == folders.size() ? " и \"" : ", \"") + folders[i] + "\"";
  }
  return text;
}

bool Contains(const std::vector<std::string>& list, const std::string& item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

}  // namespace

void TfrmEasySetup::TViewProgress::Log(const std::string& line) {
  FView.AppendLog(line);
}

void TfrmEasySetup::TViewProgress::Status(const std::string& text) {
  FView.SetStatus(text);
}

void TfrmEasySetup::TViewProgress::SetEntryCount(int count) {
  FView.SetEntryCount(count);
}

void TfrmEasySetup::TViewProgress::EntryDone() {
  FView.StepEntries();
  FView.ScrollLogToEnd();
  FView.ScrollLogToEnd();
}

void TfrmEasySetup::TViewProgress::FilePercent(int percent) {
  FView.SetFilePercent(percent);
}

void TfrmEasySetup::TViewProgress::ShowFailure(const std::string& text) {
  FView.ShowMessage(text);
}

void TfrmEasySetup::TViewProgress::LetMessagesRun() {
  FView.ProcessMessages();
}

TfrmEasySetup::TfrmEasySetup(IEasySetupView& view, std::string programFolder)
    : FView(view),
      FPackage(std::move(programFolder)),
      FProgress(view),
      FUpdater(FProgress, FBreakInstall, platform::CurrentFileSecurity::Get(),
               platform::CurrentShellFileOperations::Get()),
      FShortcutTree(view.Tree(), platform::CurrentFileIcons::Get()),
      FLinks(platform::CurrentRegistry::Get(), platform::CurrentSpecialFolders::Get(),
             platform::CurrentShellLinks::Get()) {}

void TfrmEasySetup::FormCreate() {
  // Before anything is read: a running client keeps its files open and would be overwritten.
  if (platform::CurrentNamedMutexes::Get().Exists(kClientMutexName)) {
    FView.ShowWarning(
        "Для установки обновления , необходимо завершить работу клиента Калвор Сметы.");
    FView.Halt(0);
  }
  FPageState = TPageState::psHello;
  FCloseStatus = false;

  FShortcutTree.AttachSystemIcons();
  ICheckedTree& tree = FView.Tree();
  tree.SetCheckBox(true);
  tree.SetOnCheck([this](TTreeNode node, bool& newState, bool& applyForSubNodes) {
    tvShortCutsCheck(node, newState, applyForSubNodes);
  });

  ReadPackageSettings();
}

void TfrmEasySetup::FormDestroy() {
  // The tree may outlive the form: it must not call back into it.
  FView.Tree().SetOnCheck(nullptr);
}

bool TfrmEasySetup::FormCloseQuery() {
  if (!FCloseStatus) {
    Image2Click();
  }
  return FCloseStatus;
}

void TfrmEasySetup::FormEndSession() {
  // Nobody is left to ask: the pages where cancel rolls back roll back at once, also from inside
  // the copy, which then stops at its next check.
  if (FStartInstall || IsRollbackPage(FPageState)) {
    FBreakInstall.Cancel();
    RestoreBackups();
  }
  FCloseStatus = true;
  FView.Close();
}

void TfrmEasySetup::SetPageState(TPageState state) {
  if (FStartInstall) {
    return;
  }
  FPageState = state;
  switch (state) {
    case TPageState::psHello:
      FStartInstall = false;
      break;
    case TPageState::psCopyData:
      FStartInstall = true;
      FView.BlockSessionEnd(kSessionEndReason);
      try {
        RunUpdate();
      } catch (...) {
        LeaveCopyData();
        throw;
      }
      LeaveCopyData();
      break;
    case TPageState::psShortCuts:
      FView.Show(TViewPart::TreeCaption, true);
      FView.Show(TViewPart::Log, false);
      FView.Show(TViewPart::Status, false);
      if (FSettings.ShowLinksDialog) {
        FView.Show(TViewPart::Tree, true);
      } else {
        SetPageState(NextPage(state));
      }
      break;
    case TPageState::psConnections: {
      FView.SetTreeCaption("Выберите папки которые необходимо подключить к Калвор Смете:");
      MakeLinksAndPruneTree();
      // The online service has no package entry behind it.
      ICheckedTree& tree = FView.Tree();
      const TTreeNode online = tree.AddChild(nullptr, OnlineServiceCaption, 0, -1);
      tree.SetChecked(online, IsAutoConnection(OnlineServiceCaption), true);
      if (FSettings.ShowConnectionsDialog) {
        FView.Show(TViewPart::Tree, true);
      } else {
        SetPageState(NextPage(state));
      }
      break;
    }
    case TPageState::psDone:
      FView.Show(TViewPart::Tree, false);
      FView.Show(TViewPart::TreeCaption, false);
      RegisterConnections();
      if (!FBreakInstall.Cancelled() && !FUpdater.Failed().empty()) {
        FView.SetFinishText(FinishedWithFailuresText());
      }
      FCancelEnabled = false;
      FView.SetEnabled(TWizardButton::Cancel, false);
      FView.SetNextCaption("Готово");
      FView.Show(TViewPart::Finish, true);
      break;
    case TPageState::psClose:
      FCloseStatus = true;
      FView.Close();
      break;
  }
}

void TfrmEasySetup::LeaveCopyData() {
  // Whatever the rollback does, the flag that blocks every page change must come down, or the
  // window could neither go on nor close.
  const auto endCopy = [this] {
    FView.SetEnabled(TWizardButton::Next, true);
    FView.Show(TViewPart::Progress, false);
    FView.SetStatus(FUpdater.Failed().empty()
                        ? "Копирование завершено. Для продолжения нажмите \"Далее>\""
                        : "Копирование завершено с ошибками. Для продолжения нажмите \"Далее>\"");
    FStartInstall = false;
    FView.AllowSessionEnd();
  };
  try {
    if (FBreakInstall.Cancelled()) {
      FView.AppendLog("Произвожу процесс восстановления данных.");
      FView.ProcessMessages();
      RestoreBackups();
      // The window closes without a done page: what stayed in a backup is said here.
      if (!FLeftInBackup.empty()) {
        FView.ShowWarning(CancelledText());
      }
      FCloseStatus = true;
      FView.Close();
    }
  } catch (...) {
    endCopy();
    throw;
  }
  endCopy();
}

void TfrmEasySetup::Image3Click() {
  Image3MouseUp(TWizardButton::Next, TMouseButton::Left);
  // The window is gone after the last page; a late click has nowhere to go.
  if (FindNextPage(FPageState)) {
    SetPageState(NextPage(FPageState));
  }
}

void TfrmEasySetup::Image2Click() {
  if (!FCancelEnabled) {
    return;
  }
  if (!FStartInstall && !IsRollbackPage(FPageState)) {
    if (FView.Ask("Закрыть утилиту экспресс обновления?")) {
      FCloseStatus = true;
      FView.Close();
    }
    return;
  }
  if (!FView.Ask("Отменить процесс экспресс обновления?")) {
    return;
  }
  // Here the page is the copy or the shortcut page (the copy only runs on the former). A copy
  // under way still holds its file: its exit actions roll back once it has stopped.
  FBreakInstall.Cancel();
  if (!FStartInstall) {
    RestoreBackups();
  }
  FView.Show(TViewPart::Log, false);
  FView.Show(TViewPart::Status, false);
  FView.SetFinishText(CancelledText());
  // While the copy runs this is ignored; the copy page's exit actions end the wizard then.
  SetPageState(TPageState::psConnections);
}

void TfrmEasySetup::Image3MouseDown(TWizardButton sender, TMouseButton button) {
  if (button != TMouseButton::Left) {
    return;
  }
  if (sender == TWizardButton::Cancel && !FCancelEnabled) {
    return;
  }
  if (FStartInstall) {
    return;
  }
  FView.ShowPressed(sender, true);
  FView.ProcessMessages();
}

void TfrmEasySetup::Image3MouseUp(TWizardButton sender, TMouseButton button) {
  if (button != TMouseButton::Left) {
    return;
  }
  FView.ShowPressed(sender, false);
  FView.ProcessMessages();
}

void TfrmEasySetup::lblNextMouseDown(TMouseButton button) {
  Image3MouseDown(TWizardButton::Next, button);
}

void TfrmEasySetup::lblNextMouseUp(TMouseButton button) {
  Image3MouseUp(TWizardButton::Next, button);
}

void TfrmEasySetup::lblCancelMouseDown(TMouseButton button) {
  Image3MouseDown(TWizardButton::Cancel, button);
}

void TfrmEasySetup::lblCancelMouseUp(TMouseButton button) {
  Image3MouseUp(TWizardButton::Cancel, button);
}

void TfrmEasySetup::tvShortCutsCheck(TTreeNode, bool&, bool& applyForSubNodes) {
  // A click checks or unchecks the node alone: a folder and its content are separate choices.
  applyForSubNodes = false;
}

void TfrmEasySetup::ReadPackageSettings() {
  FSettings = FPackage.ReadSettings();
}

void TfrmEasySetup::RunUpdate() {
  FView.SetStatus("Подготовка к работе");
  FBreakInstall.Reset();
  FView.Show(TViewPart::Welcome, false);

  const auto& client = TSmeta9Information32::ClassInfo();
  if (!client.IsApplicationInstalled()) {
    FView.ShowError("Не удалось обнаружить установленную версию КАЛВОР Сметы версии 2018");
    FStartInstall = false;
    FView.Show(TViewPart::Log, false);
    FView.Show(TViewPart::Status, false);
    FView.SetFinishText(
        "Экспресс установка прервана из-за ошибки. Для завершения нажмите кнопку \"Готово\"");
    SetPageState(TPageState::psDone);
    return;
  }
  FTargets = {client.CommonDataFolder(), client.MyFolderRoot()};

  FView.Show(TViewPart::Log, true);
  FView.Show(TViewPart::Status, true);
  FView.Show(TViewPart::Progress, true);
  FView.SetEnabled(TWizardButton::Next, false);

  FBackUpCommonFolder = BackupRoot(FTargets.Client);
  FBackUpAppFolder = BackupRoot(FTargets.Document, FBackUpCommonFolder);

  // A large package takes a while to scan: the window answers meanwhile, and a cancel there ends
  // the page before anything was changed.
  std::vector<std::string> skippedLinks;
  std::chrono::steady_clock::time_point pumped{};
  FDataList = FPackage.Scan(&skippedLinks, [&] {
    if (std::chrono::steady_clock::now() - pumped >= kScanPumpInterval) {
      FView.ProcessMessages();
      pumped = std::chrono::steady_clock::now();
    }
  });
  if (FBreakInstall.Cancelled()) {
    return;
  }
  FShortcutTree.AddDocumentTree(FPackage, FDataList,
                                [this](const std::string& path) { return IsAutoLink(path); });
  ICheckedTree& tree = FView.Tree();
  if (tree.Count() > 0) {
    tree.MakeTopItem(tree.Item(0));
  }

  MergeExternalFileExts();

  FUpdater.Update(
      FDataList, {FPackage.TreeFolder(TPackageTree::Client), FTargets.Client, FBackUpCommonFolder},
      {FPackage.TreeFolder(TPackageTree::Document), FTargets.Document, FBackUpAppFolder},
      skippedLinks);
}

void TfrmEasySetup::RestoreBackups() {
  FLeftInBackup.clear();
  for (const auto& [backup, target] : {std::pair{&FBackUpCommonFolder, &FTargets.Client},
                                       std::pair{&FBackUpAppFolder, &FTargets.Document}}) {
    if (!FUpdater.RestoreBackup(FView.Handle(), *backup, *target)) {
      FLeftInBackup.push_back(*backup);
    }
  }
  FLinks.DeleteAll();
}

std::string TfrmEasySetup::CancelledText() const {
  if (FLeftInBackup.empty()) {
    return "Экспресс установка отменена пользователем. " + std::string(kFinishHint);
  }
  return "Экспресс установка отменена пользователем, но не все файлы восстановлены.\r\n"
         "Их прежние версии остались " +
         InFolders(FLeftInBackup) + ".\r\n" + kFinishHint;
}

std::string TfrmEasySetup::FinishedWithFailuresText() const {
  std::string text = "Экспресс установка завершена с ошибками. Количество необновленных файлов: " +
                     std::to_string(FUpdater.Failed().size()) + ".\r\n";
  if (!FUpdater.NotRestoredIn().empty()) {
    text +=
        "Прежние версии некоторых файлов остались " + InFolders(FUpdater.NotRestoredIn()) + ".\r\n";
  }
  return text + kFinishHint;
}

bool TfrmEasySetup::IsAutoLink(const std::string& path) const {
  return Contains(FSettings.AutoLinks, path);
}

bool TfrmEasySetup::IsAutoConnection(const std::string& path) const {
  return Contains(FSettings.AutoConnections, path);
}

void TfrmEasySetup::MakeLinksAndPruneTree() {
  // After a confirmed cancel the installed files are back as they were: no shortcuts to them.
  if (!FBreakInstall.Cancelled()) {
    FShortcutTree.MakeLinks(FPackage, FDataList, FTargets, FLinks);
  }
  FShortcutTree.PruneToFolders(FDataList, FTargets,
                               [this](const std::string& path) { return IsAutoConnection(path); });
}

void TfrmEasySetup::RegisterConnections() {
  // A cancelled update has put everything back: the client's data sources stay as they were.
  if (FBreakInstall.Cancelled()) {
    return;
  }
  TDataSourceRegistration registration;
  ICheckedTree& tree = FView.Tree();
  for (int i = 0; i < tree.Count(); ++i) {
    const TTreeNode node = tree.Item(i);
    if (!tree.GetChecked(node)) {
      continue;
    }
    // The online node has no package entry: its text alone tells it from the folders.
    if (platform::SameTextLocale(tree.Text(node), OnlineServiceCaption)) {
      registration.AddOnlineService();
    } else {
      registration.AddFolder(FTargets.Of(FDataList.at(static_cast<size_t>(tree.Data(node)))));
    }
  }
  registration.Save();
  FConnectionsMade = registration.Added();
}

void TfrmEasySetup::MergeExternalFileExts() {
  if (FSettings.ExternalFileExts.empty()) {
    return;
  }
  TCommonSettingsMerge(TSmeta9Information32::ClassInfo().CommonSettingFolder())
      .Merge(FSettings.ExternalFileExts);
}

}  // namespace kv::app
