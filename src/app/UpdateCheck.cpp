#include "app/UpdateCheck.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <map>

#include "app/DesktopLinks.h"
#include "app/Updater.h"
#include "base/Version.h"
#include "common/Common.SysUtils.h"
#include "platform/FileUse.h"
#include "platform/Files.h"
#include "platform/OSError.h"
#include "platform/Text.h"
#include "sysinfo/SysInfo.Core.Smeta9.h"

namespace kv::app {

namespace {

// The package scan cuts longer entries; their files are then never found.
constexpr size_t kMaxEntryLength = 260;
// The longest path the system opens without the long-path prefix (MAX_PATH and its null).
constexpr size_t kMaxPathLength = 259;

bool Any(const std::vector<TTargetSpace>& space) {
  return std::any_of(space.begin(), space.end(),
                     [](const TTargetSpace& target) { return target.TooLittle(); });
}

// The entry's path as it lies in the package, before the scan cut it: its folders' names and
// its own.
std::string FullPath(const std::vector<TPackageEntry>& entries, size_t index) {
  const TPackageEntry& entry = entries[index];
  return entry.Parent < 0
             ? entry.Name
             : FullPath(entries, static_cast<size_t>(entry.Parent)) + "\\" + entry.Name;
}

const char* TreeName(TPackageTree tree) {
  return tree == TPackageTree::Document ? "document" : "client";
}

void CheckPackageFiles(const TPackage& package, const std::vector<TPackageEntry>& entries,
                       TCheckReport& report) {
  for (size_t i = 0; i < entries.size(); ++i) {
    const TPackageEntry& entry = entries[i];
    const std::string full = FullPath(entries, i);
    if (platform::Utf16Length(full) > kMaxEntryLength) {
      report.TooLong.push_back(package.TreeFolder(entry.Tree) + full);
      continue;
    }
    if (entry.IsFolder) {
      continue;
    }
    const auto found = platform::FindFile(package.Source(entry));
    report.Files.push_back({entry.Tree, entry.Path, found ? found->Size : 0, std::nullopt});
  }
}

// The target side of every file: what it replaces, whether that is held open, whether the paths
// fit, and the space each target root needs.
void CheckTargets(TCheckReport& report) {
  platform::IFileUse& fileUse = platform::CurrentFileUse::Get();
  const std::string stamp = platform::DateTimeToStrLocale(platform::Now());
  const std::string clientBackup = NewBackupRoot(report.Targets.Client, stamp);
  const std::string documentBackup = NewBackupRoot(report.Targets.Document, stamp, clientBackup);
  std::map<std::string, TTargetSpace> space;
  for (const std::string& root : {report.Targets.Client, report.Targets.Document}) {
    space.try_emplace(root, TTargetSpace{root});
  }

  for (TCheckedFile& file : report.Files) {
    const bool document = file.Tree == TPackageTree::Document;
    const std::string& root = document ? report.Targets.Document : report.Targets.Client;
    const std::string target = root + file.Path;
    TTargetSpace& targetSpace = space.at(root);
    targetSpace.NewBytes += file.Size;
    if (platform::Utf16Length(target) > kMaxPathLength) {
      report.TooLong.push_back(target);
    }
    const auto installed = platform::FindFile(target);
    if (!installed || platform::DirectoryExists(target)) {
      continue;
    }
    file.InstalledSize = installed->Size;
    targetSpace.BackupBytes += installed->Size;
    const std::string backup = (document ? documentBackup : clientBackup) + file.Path;
    if (platform::Utf16Length(backup) > kMaxPathLength) {
      report.TooLong.push_back(backup);
    }
    if (fileUse.IsBlocked(target)) {
      report.Blocked.push_back({target, fileUse.Holders(target)});
    }
  }

  for (auto& [root, targetSpace] : space) {
    targetSpace.FreeBytes = fileUse.FreeBytes(root);
    report.Space.push_back(targetSpace);
  }
}

// Each document-tree folder's shortcut name, as the shortcut page would use it.
void CheckLinkNames(const TPackage& package, const std::vector<TPackageEntry>& entries,
                    TCheckReport& report) {
  for (const TPackageEntry& entry : entries) {
    if (entry.Tree != TPackageTree::Document || !entry.IsFolder) {
      continue;
    }
    const std::optional<std::string> written = package.LinkName(entry);
    if (!written) {
      continue;
    }
    const std::string used = SafeLinkName(IsUsableLinkName(*written) ? *written : entry.Name);
    if (used != *written) {
      report.LinkNames.push_back({entry.Path, *written, used});
    }
  }
}

std::string Bytes(int64_t bytes) {
  return std::to_string(bytes) + " bytes";
}

}  // namespace

bool TCheckReport::CouldRun() const {
  return ClientFound && !ClientRunning && MissingTrees.size() < 2;
}

bool TCheckReport::HasProblems() const {
  return !MissingTrees.empty() || Any(Space) || !Blocked.empty() || !TooLong.empty() ||
         !SkippedLinks.empty() || !DroppedSettings.empty() || !LinkNames.empty();
}

int TCheckReport::ExitCode() const {
  return !CouldRun() ? 2 : HasProblems() ? 1 : 0;
}

TCheckReport CheckUpdate(const TPackage& package) {
  TCheckReport report;
  const auto& client = TSmeta9Information32::ClassInfo();
  report.ClientFound = client.IsApplicationInstalled();
  report.ClientRunning = client.IsApplicationRuning();
  if (report.ClientFound) {
    report.ClientVersion = client.ApplicationVersion().AsString();
    report.ClientFolder = client.InstallFolder();
    report.Targets = {client.CommonDataFolder(), client.MyFolderRoot()};
  }

  for (TPackageTree tree : {TPackageTree::Client, TPackageTree::Document}) {
    if (!platform::DirectoryExists(package.TreeFolder(tree))) {
      report.MissingTrees.push_back(package.TreeFolder(tree));
    }
  }
  const std::vector<TPackageEntry> entries = package.Scan(&report.SkippedLinks);
  package.ReadSettings(&report.DroppedSettings);
  CheckPackageFiles(package, entries, report);
  if (report.ClientFound) {
    CheckTargets(report);
  }
  CheckLinkNames(package, entries, report);
  return report;
}

std::string CheckReportText(const TCheckReport& report) {
  std::string text = "Swiftkit " KV_VERSION_TEXT " dry run: nothing installed is changed.\r\n";
  if (report.ClientFound) {
    text += "Client: version " + report.ClientVersion + " in " + report.ClientFolder + "\r\n";
    text += "Client files go to:   " + report.Targets.Client + "\r\n";
    text += "Document files go to: " + report.Targets.Document + "\r\n";
  } else {
    text += "Client: no installed client found; the package alone is checked.\r\n";
  }
  if (report.ClientRunning) {
    text += "Client: running; the update would not start until it ends.\r\n";
  }
  for (const std::string& tree : report.MissingTrees) {
    text += "Package: folder missing: " + tree + "\r\n";
  }

  text += "Files: " + std::to_string(report.Files.size()) + "\r\n";
  for (const TCheckedFile& file : report.Files) {
    text += std::string(file.InstalledSize ? "  replace " : "  add     ") + TreeName(file.Tree) +
            "\\" + file.Path + ", " + Bytes(file.Size);
    if (file.InstalledSize) {
      text += " (installed " + Bytes(*file.InstalledSize) + ")";
    }
    text += "\r\n";
  }
  for (const TTargetSpace& target : report.Space) {
    text += "Space in " + target.Folder + ": needs " + Bytes(target.NeededBytes()) + " (new " +
            Bytes(target.NewBytes) + ", backups " + Bytes(target.BackupBytes) + "), free " +
            (target.FreeBytes ? Bytes(*target.FreeBytes) : "unknown") +
            (target.TooLittle() ? ": too little\r\n" : "\r\n");
  }
  for (const TBlockedFile& file : report.Blocked) {
    text += "In use: " + file.Path + ", held by " +
            (file.Holders.empty() ? "a program the system does not name" : file.Holders[0]);
    for (size_t i = 1; i < file.Holders.size(); ++i) {
      text += ", " + file.Holders[i];
    }
    text += "\r\n";
  }
  for (const std::string& path : report.TooLong) {
    text += "Path too long: " + path + "\r\n";
  }
  for (const std::string& link : report.SkippedLinks) {
    text += "Link in the package, skipped: " + link + "\r\n";
  }
  for (const TDroppedSetting& setting : report.DroppedSettings) {
    text += "settings.ini [" + setting.Section + "] " + setting.Key + "=" + setting.Value +
            (setting.OutsideTree ? ": outside the document tree, dropped\r\n"
                                 : ": selects nothing\r\n");
  }
  for (const TChangedLinkName& name : report.LinkNames) {
    text += "linkname.txt of " + name.Folder + ": \"" + name.Written + "\" becomes \"" + name.Used +
            "\"\r\n";
  }
  text += !report.CouldRun()     ? "Result: the update could not run (exit code 2).\r\n"
          : report.HasProblems() ? "Result: the update would run with problems (exit code 1).\r\n"
                                 : "Result: the update would go through cleanly (exit code 0).\r\n";
  return text;
}

std::string CheckReportJson(const TCheckReport& report) {
  using nlohmann::json;
  json client = {{"found", report.ClientFound}, {"running", report.ClientRunning}};
  if (report.ClientFound) {
    client["version"] = report.ClientVersion;
    client["folder"] = report.ClientFolder;
    client["clientTarget"] = report.Targets.Client;
    client["documentTarget"] = report.Targets.Document;
  }
  json files = json::array();
  for (const TCheckedFile& file : report.Files) {
    json item = {{"tree", TreeName(file.Tree)},
                 {"path", file.Path},
                 {"size", file.Size},
                 {"action", file.InstalledSize ? "replace" : "add"}};
    if (file.InstalledSize) {
      item["installedSize"] = *file.InstalledSize;
    }
    files.push_back(item);
  }
  json space = json::array();
  for (const TTargetSpace& target : report.Space) {
    space.push_back({{"folder", target.Folder},
                     {"newBytes", target.NewBytes},
                     {"backupBytes", target.BackupBytes},
                     {"neededBytes", target.NeededBytes()},
                     {"freeBytes", target.FreeBytes ? json(*target.FreeBytes) : json(nullptr)},
                     {"enough", !target.TooLittle()}});
  }
  json blocked = json::array();
  for (const TBlockedFile& file : report.Blocked) {
    blocked.push_back({{"path", file.Path}, {"holders", file.Holders}});
  }
  json settings = json::array();
  for (const TDroppedSetting& setting : report.DroppedSettings) {
    settings.push_back({{"section", setting.Section},
                        {"key", setting.Key},
                        {"value", setting.Value},
                        {"reason", setting.OutsideTree ? "outsideTree" : "selectsNothing"}});
  }
  json linkNames = json::array();
  for (const TChangedLinkName& name : report.LinkNames) {
    linkNames.push_back({{"folder", name.Folder}, {"written", name.Written}, {"used", name.Used}});
  }
  const json document = {{"program", {{"version", KV_VERSION_TEXT}}},
                         {"client", client},
                         {"missingTrees", report.MissingTrees},
                         {"files", files},
                         {"space", space},
                         {"blocked", blocked},
                         {"tooLong", report.TooLong},
                         {"skippedLinks", report.SkippedLinks},
                         {"settings", settings},
                         {"linkNames", linkNames},
                         {"exitCode", report.ExitCode()}};
  return document.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

int RunCheck(const TPackage& package, const std::string& resultFile,
             const std::function<void(const std::string& text)>& show) {
  const TCheckReport report = CheckUpdate(package);
  std::string text = CheckReportText(report);
  int exitCode = report.ExitCode();
  if (!resultFile.empty()) {
    try {
      platform::WriteFileAtomically(resultFile, CheckReportJson(report));
    } catch (const EOSError& error) {
      text +=
          "The result file " + resultFile + " could not be written: " + error.Message() + "\r\n";
      exitCode = 2;
    }
  }
  show(text);
  return exitCode;
}

}  // namespace kv::app
