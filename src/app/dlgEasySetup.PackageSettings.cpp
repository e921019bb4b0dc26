// The package's settings file: which pages are shown, which shortcuts and data sources are
// preselected, and which file extensions the client's settings get.
#include "app/dlgEasySetup.h"
#include "app/ProfileFile.h"
#include "common/Common.SysUtils.h"
#include "platform/Files.h"
#include "platform/Text.h"

namespace kv::app {

namespace {

const char* const SettingsFileName = "settings.ini";
const char* const DocumentTreeFolder = "SwiftkitData\\Калвор-Divir\\";

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

void TfrmEasySetup::ReadPackageSettings() {
  ShowLinksDialog = true;
  ShowConnectionsDialog = true;
  const std::string settingsFile = FProgramFolder + SettingsFileName;
  const std::string documentTree = FProgramFolder + DocumentTreeFolder;
  if (!platform::FileExists(settingsFile)) {
    return;
  }
  const TProfileFile settings = TProfileFile::Load(settingsFile);
  ShowLinksDialog = settings.ReadBool("links", "showdialog", true);
  ShowConnectionsDialog = settings.ReadBool("connections", "showdialog", true);

  // Only the key names' order matters; "showdialog" is listed too and usually names nothing.
  AutoLinks.Clear();
  for (const std::string& key : settings.ReadSection("links")) {
    const std::string value = settings.ReadString("links", key, "");
    if (!CanNamePackageEntry(value)) {
      continue;
    }
    if (platform::FileExists(documentTree + value)) {
      AutoLinks.Add(value);
    } else if (platform::DirectoryExists(IncludeTrailingBackslash(documentTree + value))) {
      // A folder's node is matched with a trailing backslash.
      AutoLinks.Add(IncludeTrailingBackslash(value));
    }
  }

  AutoConnections.Clear();
  for (const std::string& key : settings.ReadSection("connections")) {
    const std::string value = settings.ReadString("connections", key, "");
    if (platform::SameTextLocale(value, OnlineServiceCaption)) {
      AutoConnections.Add(value);
      continue;
    }
    // An empty value names the tree's own folder and matches no node.
    const std::string folder = value.empty() ? value : IncludeTrailingBackslash(value);
    if (CanNamePackageEntry(folder) && platform::DirectoryExists(documentTree + folder)) {
      AutoConnections.Add(folder);
    }
  }

  ExternalFileExts = settings.ReadString("CommonSettings.XML", "ExternalFileExts", "");
}

}  // namespace kv::app
