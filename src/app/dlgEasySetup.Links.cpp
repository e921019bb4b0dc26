// The shortcut page: desktop shortcuts for the checked entries, then the tree reshaped into the
// data-source page's folders.
#include <algorithm>
#include <any>
#include <string_view>

#include "app/dlgEasySetup.h"
#include "common/Common.SysUtils.h"
#include "common/TextFile.h"
#include "platform/Files.h"
#include "platform/Registry.h"
#include "platform/Shell.h"
#include "platform/Text.h"

namespace kv::app {
namespace {

const std::string kShellFoldersKey =
    "Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const std::string kLinkNameFile = "linkname.txt";

bool IsBlank(char c) {
  return static_cast<unsigned char>(c) <= ' ';
}

bool IsForbiddenInFileName(char c) {
  return static_cast<unsigned char>(c) < ' ' ||
         std::string_view("<>:\"/\\|?*").find(c) != std::string_view::npos;
}

// Whether the text names anything once separators, dots and blanks are set aside.
bool HasUsableName(std::string_view text) {
  return std::any_of(text.begin(), text.end(),
                     [](char c) { return !IsBlank(c) && c != '.' && !IsForbiddenInFileName(c); });
}

// Names the system keeps for devices, with or without an extension ("CON", "nul.txt").
bool IsDeviceName(std::string_view name) {
  const std::string base = platform::UpperCaseLocale(Trim(name.substr(0, name.find('.'))));
  if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") {
    return true;
  }
  return base.size() == 4 && (base.starts_with("COM") || base.starts_with("LPT")) &&
         base[3] >= '1' && base[3] <= '9';
}

// A shortcut name comes from the package, so it must stay one file inside the desktop folder:
// characters a file name cannot hold (separators among them) become "_", blanks around it go,
// and a name that is empty, only dots or a device's gets a leading "_".
std::string SafeFileName(std::string_view name) {
  std::string safe(Trim(name));
  std::replace_if(safe.begin(), safe.end(), IsForbiddenInFileName, '_');
  if (safe.find_first_not_of('.') == std::string::npos || IsDeviceName(safe)) {
    safe = "_" + safe;
  }
  return safe;
}

// The user's desktop folder as the shell records it; when that record is missing, the shell's
// own desktop folder rather than the root of the current drive.
std::string DesktopFolder() {
  const auto desktop =
      platform::CurrentRegistry::Get().ReadCurrentUserString(kShellFoldersKey, "Desktop");
  if (desktop && !desktop->empty()) {
    return *desktop;
  }
  return platform::CurrentSpecialFolders::Get().GetPath(platform::TSpecialFolder::Desktop);
}

std::string ExtractFileName(const std::string& path) {
  return path.substr(path.find_last_of("\\/") + 1);
}

}  // namespace

void TfrmEasySetup::MakeLinksAndPruneTree() {
  ICheckedTree& tree = FView.Tree();
  const auto tagOf = [&](int entry) { return std::any_cast<int>(DataList.Objects(entry)); };
  const auto targetRoot = [&](int entry) {
    return tagOf(entry) == DocumentTreeTag ? SmetaAppFolder : SmetaCommonFolder;
  };

  // After a confirmed cancel the installed files are back as they were: no shortcuts to them.
  if (!BreakInstall) {
    for (int i = 0; i < tree.Count(); ++i) {
      const TTreeNode node = tree.Item(i);
      if (!tree.GetChecked(node)) {
        continue;
      }
      const int entry = tree.Data(node);
      const std::string target = targetRoot(entry) + DataList[entry];
      const std::string source = FProgramFolder +
                                 (tagOf(entry) == DocumentTreeTag ? "SwiftkitData\\Калвор-Divir\\"
                                                                  : "SwiftkitData\\Client\\") +
                                 DataList[entry];
      std::string linkName = ExtractFileName(target);
      const std::string linkNameFile = source + "\\" + kLinkNameFile;
      if (platform::DirectoryExists(target) && platform::FileExists(linkNameFile)) {
        // A file without lines fails here with the list's index error.
        const std::string firstLine = LoadLinesFromFile(linkNameFile)[0];
        if (HasUsableName(firstLine)) {
          linkName = firstLine;
        }
      }
      CreateDesktopLink(target, linkName);
    }
  }

  if (tree.Count() > 0) {
    tree.CollapseAll(tree.Item(0));
  }
  for (int i = tree.Count() - 1; i >= 0; --i) {
    const TTreeNode node = tree.Item(i);
    const int entry = tree.Data(node);
    const bool checked = IsAutoConnection(IncludeTrailingBackslash(DataList[entry]));
    tree.SetChecked(node, checked, false);
    if (platform::FileExists(targetRoot(entry) + DataList[entry])) {
      tree.Delete(node);
    } else if (checked) {
      for (TTreeNode expanded = node; expanded; expanded = tree.Parent(expanded)) {
        tree.Expand(expanded);
      }
    }
  }
}

void TfrmEasySetup::CreateDesktopLink(const std::string& target, const std::string& linkName) {
  const std::string linkFile = PathJoin(DesktopFolder(), SafeFileName(linkName) + ".lnk");
  platform::CurrentShellLinks::Get().Create(linkFile, target, ExtractFilePath(target));
  ShortCutList.Add(linkFile);
}

}  // namespace kv::app
