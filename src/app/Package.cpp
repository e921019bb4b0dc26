#include "app/Package.h"

#include <utility>

#include "app/ProfileFile.h"
#include "common/Common.SysUtils.h"
#include "common/TextFile.h"
#include "net/Kv_KalvorSmetaRuSettings.h"
#include "platform/Files.h"
#include "platform/Text.h"

namespace kv::app {

namespace {

const char* const kClientTreeFolder = "SwiftkitData\\Client\\";
const char* const kDocumentTreeFolder = "SwiftkitData\\Калвор-Divir\\";
const char* const kSettingsFileName = "settings.ini";
// Names a folder's shortcut; never a package entry itself.
const char* const kLinkNameFile = "linkname.txt";
// Package entries are cut to this many characters.
constexpr size_t kMaxEntryLength = 260;

// Whether a value can name an entry of the package's document tree. A path part that begins with
// a dot never does (the package scan skips such names), and ".." would climb out of the tree to
// whatever exists next to it.
bool CanNamePackageEntry(const std::string& value) {
  size_t partStart = 0;
  while (partStart <= value.size()) {
    if (partStart < value.size() && value[partStart] == '.') {
      return false;
    }
    const size_t separator = value.find_first_of("\\/", partStart);
    if (separator == std::string::npos) {
      break;
    }
    partStart = separator + 1;
  }
  return true;
}

}  // namespace

TPackage::TPackage(std::string programFolder) : FProgramFolder(std::move(programFolder)) {}

std::string TPackage::TreeFolder(TPackageTree tree) const {
  return FProgramFolder +
         (tree == TPackageTree::Document ? kDocumentTreeFolder : kClientTreeFolder);
}

TPackageSettings TPackage::ReadSettings(std::vector<TDroppedSetting>* dropped) const {
  TPackageSettings result;
  const std::string settingsFile = FProgramFolder + kSettingsFileName;
  const std::string documentTree = TreeFolder(TPackageTree::Document);
  if (!platform::FileExists(settingsFile)) {
    return result;
  }
  const TProfileFile settings = TProfileFile::Load(settingsFile);
  result.ShowLinksDialog = settings.ReadBool("links", "showdialog", true);
  result.ShowConnectionsDialog = settings.ReadBool("connections", "showdialog", true);

  const auto drop = [dropped](const char* section, const std::string& key, const std::string& value,
                              bool outsideTree) {
    // "showdialog" is listed among the keys too; it is no selection.
    if (dropped && !platform::SameTextLocale(key, "showdialog")) {
      dropped->push_back({section, key, value, outsideTree});
    }
  };

  // Only the key names' order matters.
  for (const std::string& key : settings.ReadSection("links")) {
    const std::string value = settings.ReadString("links", key, "");
    if (!CanNamePackageEntry(value)) {
      drop("links", key, value, true);
    } else if (platform::FileExists(documentTree + value)) {
      result.AutoLinks.push_back(value);
    } else if (platform::DirectoryExists(IncludeTrailingBackslash(documentTree + value))) {
      // A folder's node is matched with a trailing backslash.
      result.AutoLinks.push_back(IncludeTrailingBackslash(value));
    } else {
      drop("links", key, value, false);
    }
  }

  for (const std::string& key : settings.ReadSection("connections")) {
    const std::string value = settings.ReadString("connections", key, "");
    if (platform::SameTextLocale(value, OnlineServiceCaption)) {
      result.AutoConnections.push_back(value);
      continue;
    }
    // An empty value names the tree's own folder and matches no node.
    const std::string folder = value.empty() ? value : IncludeTrailingBackslash(value);
    if (!CanNamePackageEntry(folder)) {
      drop("connections", key, value, true);
    } else if (platform::DirectoryExists(documentTree + folder)) {
      result.AutoConnections.push_back(folder);
    } else {
      drop("connections", key, value, false);
    }
  }

  result.ExternalFileExts = settings.ReadString("CommonSettings.XML", "ExternalFileExts", "");
  return result;
}

std::vector<TPackageEntry> TPackage::Scan(std::vector<std::string>* skippedLinks,
                                          const std::function<void()>& afterEntry) const {
  std::vector<TPackageEntry> entries;
  for (TPackageTree tree : {TPackageTree::Client, TPackageTree::Document}) {
    ScanFolder(TreeFolder(tree), "", -1, tree, entries, skippedLinks, afterEntry);
  }
  return entries;
}

void TPackage::ScanFolder(const std::string& folder, const std::string& relativePrefix, int parent,
                          TPackageTree tree, std::vector<TPackageEntry>& entries,
                          std::vector<std::string>* skippedLinks,
                          const std::function<void()>& afterEntry) const {
  for (const platform::TFileEntry& found : platform::FindFiles(folder, "*.*")) {
    const std::string& name = found.Name;
    if (name.starts_with('.') || name == kLinkNameFile) {
      continue;
    }
    if (found.IsLink) {
      if (skippedLinks) {
        skippedLinks->push_back(relativePrefix + name);
      }
      continue;
    }
    entries.push_back({CutToUtf16Length(relativePrefix + name, kMaxEntryLength), tree, name,
                       found.IsDirectory, parent});
    if (afterEntry) {
      afterEntry();
    }
    if (found.IsDirectory) {
      ScanFolder(folder + name + "\\", relativePrefix + name + "\\",
                 static_cast<int>(entries.size()) - 1, tree, entries, skippedLinks, afterEntry);
    }
  }
}

std::optional<std::string> TPackage::LinkName(const TPackageEntry& folder) const {
  const std::string file = Source(folder) + "\\" + kLinkNameFile;
  if (!platform::FileExists(file)) {
    return std::nullopt;
  }
  const auto lines = LoadLinesFromFile(file);
  if (lines.IsEmpty()) {
    return std::nullopt;
  }
  return lines[0];
}

}  // namespace kv::app
