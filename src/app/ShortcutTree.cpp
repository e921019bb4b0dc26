#include "app/ShortcutTree.h"

#include <algorithm>

#include "base/Exceptions.h"
#include "common/Common.SysUtils.h"
#include "platform/Files.h"
#include "platform/Shell.h"

namespace kv::app {

namespace {

// The extension with its dot, from the last dot of the file name; empty when there is none.
std::string ExtractFileExt(const std::string& path) {
  const size_t dot = path.find_last_of(".\\:");
  return dot != std::string::npos && path[dot] == '.' ? path.substr(dot) : std::string();
}

}  // namespace

TShortcutTree::TShortcutTree(ICheckedTree& tree, platform::IFileIcons& icons)
    : FTree(tree), FIcons(icons) {}

void TShortcutTree::AttachSystemIcons() {
  FImageListHandle = FIcons.SystemSmallImageList();
  FImageListCount = FIcons.ImageCount(FImageListHandle);
  FTree.SetImageList(FImageListHandle);
}

void TShortcutTree::AddDocumentTree(const TPackage& package,
                                    const std::vector<TPackageEntry>& entries,
                                    const std::function<bool(const std::string&)>& isAutoLink) {
  FDocumentRoot = package.TreeFolder(TPackageTree::Document);
  // By entry index: the node, and (kept for the icons) the path relative to the tree's folder,
  // never cut.
  std::vector<TTreeNode> nodes(entries.size());
  FRelatives.assign(entries.size(), std::string());
  FTree.SetOnGetImageIndex([this](TTreeNode node) { return IconOfNode(node); });
  for (size_t i = 0; i < entries.size(); ++i) {
    const TPackageEntry& entry = entries[i];
    if (entry.Tree != TPackageTree::Document) {
      continue;
    }
    const auto parent = static_cast<size_t>(entry.Parent);
    const TTreeNode parentNode = entry.Parent < 0 ? nullptr : nodes[parent];
    FRelatives[i] = (entry.Parent < 0 ? std::string() : FRelatives[parent] + "\\") + entry.Name;
    const int data = static_cast<int>(i);
    nodes[i] = entry.IsFolder ? FTree.AddChildFirst(parentNode, entry.Name, kImageWhenShown, data)
                              : FTree.AddChild(parentNode, entry.Name, kImageWhenShown, data);
    if (isAutoLink(entry.IsFolder ? FRelatives[i] + "\\" : FRelatives[i])) {
      FTree.SetChecked(nodes[i], true, true);
      for (TTreeNode shown = nodes[i]; shown; shown = FTree.Parent(shown)) {
        FTree.Expand(shown);
      }
    }
  }
}

void TShortcutTree::MakeLinks(const TPackage& package, const std::vector<TPackageEntry>& entries,
                              const TInstallTargets& targets, TDesktopLinks& links) const {
  for (int i = 0; i < FTree.Count(); ++i) {
    const TTreeNode node = FTree.Item(i);
    if (!FTree.GetChecked(node)) {
      continue;
    }
    const TPackageEntry& entry = entries.at(static_cast<size_t>(FTree.Data(node)));
    const std::string target = targets.Of(entry);
    std::string linkName = ExtractFileName(target);
    if (platform::DirectoryExists(target)) {
      const std::optional<std::string> named = package.LinkName(entry);
      if (named && IsUsableLinkName(*named)) {
        linkName = *named;
      }
    }
    links.CreateDesktopLink(target, linkName);
  }
}

void TShortcutTree::PruneToFolders(
    const std::vector<TPackageEntry>& entries, const TInstallTargets& targets,
    const std::function<bool(const std::string&)>& isAutoConnection) {
  if (FTree.Count() > 0) {
    FTree.CollapseAll(FTree.Item(0));
  }
  for (int i = FTree.Count() - 1; i >= 0; --i) {
    const TTreeNode node = FTree.Item(i);
    const TPackageEntry& entry = entries.at(static_cast<size_t>(FTree.Data(node)));
    const bool checked = isAutoConnection(IncludeTrailingBackslash(entry.Path));
    FTree.SetChecked(node, checked, false);
    if (platform::FileExists(targets.Of(entry))) {
      FTree.Delete(node);
    } else if (checked) {
      for (TTreeNode expanded = node; expanded; expanded = FTree.Parent(expanded)) {
        FTree.Expand(expanded);
      }
    }
  }
}

int32_t TShortcutTree::IconOfNode(TTreeNode node) {
  // A file the shell has no icon for (-1), or cannot reach at all (its medium gone), is drawn
  // with the list's first image.
  try {
    const std::string& relative = FRelatives.at(static_cast<size_t>(FTree.Data(node)));
    return std::max(GetShellIconIndex(FDocumentRoot + relative), 0);
  } catch (const EOSError&) {
    return 0;
  }
}

int32_t TShortcutTree::GetShellIconIndex(const std::string& path) {
  if (ExtractFileExt(path) == ".exe") {
    return FIcons.SystemIconIndex(path);
  }
  return FIcons.AddAssociatedIcon(FImageListHandle, path);
}

}  // namespace kv::app
