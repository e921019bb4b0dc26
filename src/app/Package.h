#pragma once
// The update package next to the program: its two trees, its settings file and the shortcut
// names its folders carry.

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kv::app {

// The trees of a package, numbered as the package entry list tags them.
enum class TPackageTree { Client = 0, Document = 1 };

// One file or folder of a package, in scan order.
struct TPackageEntry {
  std::string Path;  // relative to its tree's folder, no trailing backslash, at most 260 chars
  TPackageTree Tree;
  std::string Name;  // the file or folder name, never cut
  bool IsFolder;
  int Parent;  // the index of the entry of the enclosing folder; -1 at the tree's top
};

// The installed roots the package's trees go to, each with a trailing backslash.
struct TInstallTargets {
  std::string Client;    // the client's common data folder
  std::string Document;  // the product's document root

  // The installed copy of the entry.
  std::string Of(const TPackageEntry& entry) const {
    return (entry.Tree == TPackageTree::Document ? Document : Client) + entry.Path;
  }
};

// What settings.ini asks of the wizard.
struct TPackageSettings {
  bool ShowLinksDialog = true;
  bool ShowConnectionsDialog = true;
  // Document-tree paths preselected for shortcuts; a folder's with a trailing backslash.
  std::vector<std::string> AutoLinks;
  // Document-tree folders with a trailing backslash, or the online service's caption.
  std::vector<std::string> AutoConnections;
  std::string ExternalFileExts;
};

// A settings.ini entry that preselects nothing, and why.
struct TDroppedSetting {
  std::string Section;
  std::string Key;
  std::string Value;
  // The value climbs out of the document tree or names a dotted entry the scan leaves out; else
  // it names nothing the package holds.
  bool OutsideTree;
};

class TPackage {
 public:
  // programFolder: the folder of the running executable, with a trailing backslash.
  explicit TPackage(std::string programFolder);

  // The tree's folder, with a trailing backslash.
  std::string TreeFolder(TPackageTree tree) const;
  std::string Source(const TPackageEntry& entry) const {
    return TreeFolder(entry.Tree) + entry.Path;
  }

  // settings.ini; all defaults when the file is missing. The entries of the links and connections
  // sections that select nothing go to dropped when given.
  TPackageSettings ReadSettings(std::vector<TDroppedSetting>* dropped = nullptr) const;

  // Every entry of the client tree, then of the document tree. A folder comes right before its
  // content; names beginning with "." (with their content) and shortcut-name files are no entries.
  // Nor are symbolic links and junctions: they lead outside the package (or round in a loop);
  // their package-relative paths go to skippedLinks when given. afterEntry, when given, is called
  // after each entry found.
  std::vector<TPackageEntry> Scan(std::vector<std::string>* skippedLinks = nullptr,
                                  const std::function<void()>& afterEntry = {}) const;

  // The first line of the folder's shortcut-name file; none when the folder has no such file or
  // the file has no lines.
  std::optional<std::string> LinkName(const TPackageEntry& folder) const;

 private:
  void ScanFolder(const std::string& folder, const std::string& relativePrefix, int parent,
                  TPackageTree tree, std::vector<TPackageEntry>& entries,
                  std::vector<std::string>* skippedLinks,
                  const std::function<void()>& afterEntry) const;

  std::string FProgramFolder;
};

}  // namespace kv::app
