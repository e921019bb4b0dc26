#pragma once
// What a run did, for the programs that start the wizard: one JSON document written at the end.

#include <string>
#include <vector>

namespace kv::app {

// How a run ended. Each has its exit code (CommandLine.h); Running is what the document says
// while the run has not ended, and still says when the run was killed.
enum class TRunOutcome { Running, Updated, FilesFailed, NothingChanged, RolledBack };

struct TFailedFile {
  std::string File;    // package-relative
  std::string Reason;  // what the update said about it
};

struct TRunResult {
  TRunOutcome Outcome = TRunOutcome::Running;
  int ExitCode = 0;
  // The messages the wizard showed or, without a window, would have shown.
  std::vector<std::string> Messages;
  int Entries = 0;  // files and folders of the package
  int Updated = 0;  // entries added or replaced
  std::vector<TFailedFile> Failed;
  std::vector<std::string> BackupFolders;
  // The backup folders still holding an original that could not be put back.
  std::vector<std::string> NotRestoredIn;
  std::vector<std::string> Shortcuts;
  std::vector<std::string> DataSources;
};

// "running", "updated", "filesFailed", "nothingChanged", "rolledBack".
const char* OutcomeName(TRunOutcome outcome);

std::string RunResultJson(const TRunResult& result);
// Replaces the file at once (never half written); raises EOSError when it cannot.
void SaveRunResult(const std::string& path, const TRunResult& result);

}  // namespace kv::app
