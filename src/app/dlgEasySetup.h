#pragma once
// The express update wizard: its state and its page flow. The work of the pages is done by the
// package, the updater, the shortcut tree, the desktop links, the data-source registration and
// the settings merge; the window is reached through IEasySetupView, so the whole flow runs the
// same with the real dialog and with a test's fake.

#include <cstdint>
#include <string>
#include <vector>

#include "app/DesktopLinks.h"
#include "app/EasySetupView.h"
#include "app/Package.h"
#include "app/ShortcutTree.h"
#include "app/Updater.h"

namespace kv::app {

enum class TPageState { psHello, psCopyData, psShortCuts, psConnections, psDone, psClose };

class TfrmEasySetup {
 public:
  // programFolder: the folder of the running executable, with a trailing backslash; the
  // package and settings.ini sit next to it. The platform services are the current ones.
  TfrmEasySetup(IEasySetupView& view, std::string programFolder);
  TfrmEasySetup(const TfrmEasySetup&) = delete;
  TfrmEasySetup& operator=(const TfrmEasySetup&) = delete;

  // Window lifecycle.
  void FormCreate();
  void FormDestroy();
  // Whether the window may close now; asks the user first while it may not.
  bool FormCloseQuery();
  // Whether the session (log-off, shut-down) may end now: not while the copy runs.
  bool FormQueryEndSession() const { return !FStartInstall; }
  // The session ends: what the update changed is put back before the window lets it go.
  void FormEndSession();

  void SetPageState(TPageState state);

  // Buttons: next and cancel, and their pressed look. The labels forward to their button.
  void Image3Click();
  void Image2Click();
  void Image3MouseDown(TWizardButton sender, TMouseButton button);
  void Image3MouseUp(TWizardButton sender, TMouseButton button);
  void lblNextMouseDown(TMouseButton button);
  void lblNextMouseUp(TMouseButton button);
  void lblCancelMouseDown(TMouseButton button);
  void lblCancelMouseUp(TMouseButton button);
  void tvShortCutsCheck(TTreeNode node, bool& newState, bool& applyForSubNodes);

  // Package settings (settings.ini next to the program).
  void ReadPackageSettings();
  // The copy page's work, and its rollback (which deletes the shortcuts made, too).
  void RunUpdate();
  void RestoreBackups();
  bool IsAutoLink(const std::string& path) const;
  bool IsAutoConnection(const std::string& path) const;
  // The shortcut page: shortcuts for the checked entries, then the tree reshaped into the
  // data-source page's folders.
  void MakeLinksAndPruneTree();
  // The data-source page and the client's settings.
  void RegisterConnections();
  void MergeExternalFileExts();

  // The wizard's state, as the window and tests see it.
  TPageState PageState() const { return FPageState; }
  bool CloseStatus() const { return FCloseStatus; }
  bool StartInstall() const { return FStartInstall; }
  bool BreakInstall() const { return FBreakInstall.Cancelled(); }
  bool CancelEnabled() const { return FCancelEnabled; }
  platform::TImageListHandle ImageListHandle() const { return FShortcutTree.ImageListHandle(); }
  int32_t ImageListCount() const { return FShortcutTree.ImageListCount(); }
  const std::string& SmetaCommonFolder() const { return FTargets.Client; }
  const std::string& SmetaAppFolder() const { return FTargets.Document; }
  const std::string& BackUpCommonFolder() const { return FBackUpCommonFolder; }
  const std::string& BackUpAppFolder() const { return FBackUpAppFolder; }
  // The package entry list: every tree node's data is an index into it.
  const std::vector<TPackageEntry>& DataList() const { return FDataList; }
  const std::vector<std::string>& ShortCutList() const { return FLinks.Made(); }
  // The data sources the done page added to the client's list.
  const std::vector<std::string>& ConnectionsMade() const { return FConnectionsMade; }
  // The last update's files that failed and the backups it could not put back.
  const TUpdater& Updater() const { return FUpdater; }
  const std::vector<std::string>& AutoLinks() const { return FSettings.AutoLinks; }
  const std::vector<std::string>& AutoConnections() const { return FSettings.AutoConnections; }
  bool ShowLinksDialog() const { return FSettings.ShowLinksDialog; }
  bool ShowConnectionsDialog() const { return FSettings.ShowConnectionsDialog; }
  const std::string& ExternalFileExts() const { return FSettings.ExternalFileExts; }

 private:
  // The update's reports, shown in the window.
  class TViewProgress final : public IUpdateProgress {
   public:
    explicit TViewProgress(IEasySetupView& view) : FView(view) {}
    void Log(const std::string& line) override;
    void Status(const std::string& text) override;
    void SetEntryCount(int count) override;
    void EntryDone() override;
    void FilePercent(int percent) override;
    void ShowFailure(const std::string& text) override;
    void LetMessagesRun() override;

   private:
    IEasySetupView& FView;
  };

  // The copy page's exit actions, run however its work ended.
  void LeaveCopyData();
  // The done page's text after a cancel, and after an update where files failed.
  std::string CancelledText() const;
  std::string FinishedWithFailuresText() const;

  IEasySetupView& FView;
  TPackage FPackage;
  TViewProgress FProgress;
  TCancelToken FBreakInstall;
  TUpdater FUpdater;
  TShortcutTree FShortcutTree;
  TDesktopLinks FLinks;

  TPageState FPageState = TPageState::psHello;
  bool FCloseStatus = false;
  bool FStartInstall = false;
  bool FCancelEnabled = true;
  TInstallTargets FTargets;  // SmetaCommonFolder and SmetaAppFolder
  std::string FBackUpCommonFolder;
  std::string FBackUpAppFolder;
  // The backup folders the last rollback could not empty.
  std::vector<std::string> FLeftInBackup;
  std::vector<TPackageEntry> FDataList;
  TPackageSettings FSettings;
  std::vector<std::string> FConnectionsMade;
};

}  // namespace kv::app
