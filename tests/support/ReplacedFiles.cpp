#include "support/ReplacedFiles.h"

#include <optional>

#include "platform/Files.h"
#include "support/TempFolder.h"

namespace kv::test {

namespace {

std::optional<std::string> BytesOf(const std::string& path) {
  return platform::FileExists(path) ? std::optional(ReadFileBytes(path)) : std::nullopt;
}

std::string Describe(const std::optional<std::string>& bytes, const TReplacedFile& file) {
  if (!bytes) {
    return "missing";
  }
  return std::to_string(bytes->size()) + " bytes of neither (old " +
         std::to_string(file.OldBytes.size()) + ", new " + std::to_string(file.NewBytes.size()) +
         ")";
}

}  // namespace

testing::AssertionResult IsWholeOrBackedUp(const TReplacedFile& file) {
  const std::optional<std::string> installed = BytesOf(file.TargetRoot + file.Path);
  if (installed == file.OldBytes || installed == file.NewBytes) {
    return testing::AssertionSuccess();
  }
  auto failure = testing::AssertionFailure()
                 << file.Path << ": installed " << Describe(installed, file);
  const std::string backups = file.TargetRoot + "ExpressBackup\\";
  for (const platform::TFileEntry& stamp : platform::FindFiles(backups, "*")) {
    if (!stamp.IsDirectory) {
      continue;
    }
    const std::optional<std::string> backup = BytesOf(backups + stamp.Name + "\\" + file.Path);
    if (backup == file.OldBytes) {
      return testing::AssertionSuccess();
    }
    if (backup) {
      failure << "; in " << stamp.Name << " " << Describe(backup, file);
    }
  }
  return failure << "; no whole backup";
}

}  // namespace kv::test
