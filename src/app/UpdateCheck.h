#pragma once
// The dry run: what the update would do with this package on this machine, and what would stand
// in its way, found without writing anything.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/Package.h"

namespace kv::app {

// A package file the update would bring in.
struct TCheckedFile {
  TPackageTree Tree;
  std::string Path;  // relative to its tree
  int64_t Size;
  // The installed copy it would replace, moved into the backup first; none when it is added.
  std::optional<int64_t> InstalledSize;
};

// What the update would need of one target folder's volume.
struct TTargetSpace {
  std::string Folder;
  int64_t NewBytes = 0;
  // The replaced files' bytes: the backups keep them, and where the system refuses to move one
  // it is copied.
  int64_t BackupBytes = 0;
  std::optional<int64_t> FreeBytes;  // none when the system cannot say

  int64_t NeededBytes() const { return NewBytes + BackupBytes; }
  bool TooLittle() const { return FreeBytes && *FreeBytes < NeededBytes(); }
};

// An installed file that a program keeps open so that the update could not replace it.
struct TBlockedFile {
  std::string Path;
  std::vector<std::string> Holders;  // empty when the system cannot say who
};

// A folder's shortcut name that the shortcut would not carry as written.
struct TChangedLinkName {
  std::string Folder;  // relative to the document tree
  std::string Written;
  // The name the shortcut would get; the folder's own name when the written one is unusable.
  std::string Used;
};

struct TCheckReport {
  // The client: found when installed, with its version and the folders it gives the update.
  bool ClientFound = false;
  bool ClientRunning = false;
  std::string ClientVersion;
  std::string ClientFolder;
  TInstallTargets Targets;

  // The package trees that are missing; the update cannot run without any.
  std::vector<std::string> MissingTrees;
  std::vector<TCheckedFile> Files;
  std::vector<TTargetSpace> Space;
  std::vector<TBlockedFile> Blocked;
  // Paths too long for the system: package entries cut in the scan, installed copies and backups.
  std::vector<std::string> TooLong;
  std::vector<std::string> SkippedLinks;
  std::vector<TDroppedSetting> DroppedSettings;
  std::vector<TChangedLinkName> LinkNames;

  // Whether the update could run at all: a client installed and not running, a package present.
  bool CouldRun() const;
  bool HasProblems() const;
  // 0 the update would go through cleanly, 1 it would run with problems, 2 it could not run.
  int ExitCode() const;
};

// Looks at the package and the installed client through the current platform services.
TCheckReport CheckUpdate(const TPackage& package);

// The report for a person, line by line, and as one JSON document.
std::string CheckReportText(const TCheckReport& report);
std::string CheckReportJson(const TCheckReport& report);

// The dry run as the command line asks for it: the report's text goes to show, and as JSON into
// resultFile when one is named. Returns the report's exit code, or 2 when the result file cannot
// be written (show then says why).
int RunCheck(const TPackage& package, const std::string& resultFile,
             const std::function<void(const std::string& text)>& show);

}  // namespace kv::app
