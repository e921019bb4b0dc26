#include "app/RunResult.h"

#include <nlohmann/json.hpp>

#include "platform/Files.h"

namespace kv::app {

const char* OutcomeName(TRunOutcome outcome) {
  switch (outcome) {
    case TRunOutcome::Running:
      return "running";
    case TRunOutcome::Updated:
      return "updated";
    case TRunOutcome::FilesFailed:
      return "filesFailed";
    case TRunOutcome::NothingChanged:
      return "nothingChanged";
    case TRunOutcome::RolledBack:
      return "rolledBack";
  }
  return "";
}

std::string RunResultJson(const TRunResult& result) {
  nlohmann::ordered_json failed = nlohmann::ordered_json::array();
  for (const TFailedFile& file : result.Failed) {
    failed.push_back({{"file", file.File}, {"reason", file.Reason}});
  }
  const nlohmann::ordered_json document = {
      {"outcome", OutcomeName(result.Outcome)},
      {"exitCode", result.ExitCode},
      {"messages", result.Messages},
      {"counts",
       {{"entries", result.Entries},
        {"updated", result.Updated},
        {"failed", result.Failed.size()}}},
      {"failed", failed},
      {"backupFolders", result.BackupFolders},
      {"notRestoredIn", result.NotRestoredIn},
      {"shortcuts", result.Shortcuts},
      {"dataSources", result.DataSources},
  };
  // Text that is not UTF-8 (a file name read in the system's code page) must not lose the
  // whole document.
  return document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

void SaveRunResult(const std::string& path, const TRunResult& result) {
  platform::WriteFileAtomically(path, RunResultJson(result));
}

}  // namespace kv::app
