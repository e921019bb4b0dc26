#pragma once
// The package's document tree as nodes of the check-box tree, each with the icon the user's shell
// shows for it and the index of its package entry as its data.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/DesktopLinks.h"
#include "app/EasySetupView.h"
#include "app/Package.h"

namespace kv::platform {
class IFileIcons;
}  // namespace kv::platform

namespace kv::app {

class TShortcutTree {
 public:
  TShortcutTree(ICheckedTree& tree, platform::IFileIcons& icons);

  // Draws the nodes' icons from the system's small-icon list, shared with the shell.
  void AttachSystemIcons();
  platform::TImageListHandle ImageListHandle() const { return FImageListHandle; }
  // The list's size when it was attached: icons added later have indexes from here on.
  int32_t ImageListCount() const { return FImageListCount; }

  // A node for every document-tree entry, in entry order: within a folder, subfolders first (the
  // later found higher), then files. A node whose path isAutoLink names (a folder's with a
  // trailing backslash) is checked and shown expanded. Each node gets its shell icon when it is
  // first drawn.
  void AddDocumentTree(const TPackage& package, const std::vector<TPackageEntry>& entries,
                       const std::function<bool(const std::string&)>& isAutoLink);
  // A desktop shortcut to the installed copy of every checked entry, in tree order: a folder's
  // named by its shortcut-name file when the package has a usable one, else by its own name.
  void MakeLinks(const TPackage& package, const std::vector<TPackageEntry>& entries,
                 const TInstallTargets& targets, TDesktopLinks& links) const;
  // The tree reshaped for the data-source page: entries installed as files go, the rest is
  // collapsed and checked where isAutoConnection names the folder (with a trailing backslash);
  // checked ones are shown expanded.
  void PruneToFolders(const std::vector<TPackageEntry>& entries, const TInstallTargets& targets,
                      const std::function<bool(const std::string&)>& isAutoConnection);

  // The shell's icon of the file: a program's own icon from the system list, any other file's
  // associated icon appended to it.
  int32_t GetShellIconIndex(const std::string& path);

 private:
  int32_t IconOfNode(TTreeNode node);

  ICheckedTree& FTree;
  platform::IFileIcons& FIcons;
  platform::TImageListHandle FImageListHandle = platform::TImageListHandle::None;
  int32_t FImageListCount = 0;
  // The document tree's folder, and each node's path relative to it by entry index.
  std::string FDocumentRoot;
  std::vector<std::string> FRelatives;
};

}  // namespace kv::app
