#pragma once
// The express update wizard: its state, its page flow and the work of its pages. It talks to its
// window through IEasySetupView, so the whole flow runs the same with the real dialog and with a
// test's fake.

#include <cstdint>
#include <string>

#include "app/EasySetupView.h"
#include "common/StringList.h"
#include "net/Kv_KalvorSmetaRuSettings.h"

namespace kv::platform {
class IFileHandle;
class IFileMapping;
}  // namespace kv::platform

namespace kv::app {

// The next button always asks for the current page plus one.
enum class TPageState { psHello, psCopyData, psShortCuts, psConnections, psDone, psClose };

// Tags of the package entry list: which tree of the package an entry comes from.
constexpr int ClientTreeTag = 0;
constexpr int DocumentTreeTag = 1;

class TfrmEasySetup {
 public:
  // programFolder: the folder of the running executable, with a trailing backslash; the
  // package and settings.ini sit next to it.
  TfrmEasySetup(IEasySetupView& view, std::string programFolder);
  TfrmEasySetup(const TfrmEasySetup&) = delete;
  TfrmEasySetup& operator=(const TfrmEasySetup&) = delete;

  // Window lifecycle.
  void FormCreate();
  void FormDestroy();
  // Whether the window may close now; asks the user first while it may not.
  bool FormCloseQuery();

  void SetPageState(TPageState state);

  // Buttons: next and cancel, and their faces. sender is Image2 or Image3 (the labels forward
  // with their image as sender).
  void Image3Click();
  void Image2Click();
  void Image3MouseDown(TControl sender, TMouseButton button);
  void Image3MouseUp(TControl sender, TMouseButton button);
  void lblNextMouseDown(TMouseButton button);
  void lblNextMouseUp(TMouseButton button);
  void lblCancelMouseDown(TMouseButton button);
  void lblCancelMouseUp(TMouseButton button);
  void tvShortCutsCheck(TTreeNode node, bool& newState, bool& applyForSubNodes);

  // Package settings (settings.ini next to the program).
  void ReadPackageSettings();

  // The copy page's work, and its rollback.
  void RunUpdate();
  void ScanPackageFolder(const std::string& folder, const std::string& relativePrefix,
                         TTreeNode parentNode, int tag);
  int32_t GetShellIconIndex(const std::string& path);
  bool CopyPackageFile(const std::string& source, const std::string& target);
  int32_t CopyMappedChunks(platform::IFileMapping& mapping, platform::IFileHandle& target,
                           int64_t size);
  bool BackupFile(const std::string& file, const std::string& backupFile);
  void GrantEveryoneAccess(const std::string& file);
  void RestoreBackups();
  bool IsAutoLink(const std::string& path) const;
  bool IsAutoConnection(const std::string& path) const;

  // The shortcut page: shortcuts for the checked entries, then the tree reshaped into the
  // data-source page's folders.
  void MakeLinksAndPruneTree();
  void CreateDesktopLink(const std::string& target, const std::string& linkName);

  // The data-source page and the client's settings.
  void RegisterConnections();
  void MergeExternalFileExts();

  TPageState PageState() const { return FPageState; }

  // State, shared by the pages' work.
  bool CloseStatus = false;
  platform::TImageListHandle ImageListHandle = platform::TImageListHandle::None;
  int32_t ImageListCount = 0;
  std::string SmetaCommonFolder;
  std::string SmetaAppFolder;
  std::string BackUpCommonFolder;
  std::string BackUpAppFolder;
  TStringList DataList;  // package-relative paths, each with its tree's tag (int)
  TStringList ShortCutList;
  bool BreakInstall = false;
  bool StartInstall = false;
  TStringList AutoLinks;
  TStringList AutoConnections;
  bool ShowLinksDialog = true;
  bool ShowConnectionsDialog = true;
  std::string ExternalFileExts;

 private:
  // The copy page's exit actions, run however its work ended.
  void LeaveCopyData();

  IEasySetupView& FView;
  std::string FProgramFolder;
  TPageState FPageState = TPageState::psHello;
};

}  // namespace kv::app
