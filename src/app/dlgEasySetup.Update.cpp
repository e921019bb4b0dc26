// The copy page's work: the package scan, the update with backups, and the rollback.
#include "app/dlgEasySetup.h"

namespace kv::app {

void TfrmEasySetup::RunUpdate() {}

void TfrmEasySetup::ScanPackageFolder(const std::string&, const std::string&, TTreeNode, int) {}

int32_t TfrmEasySetup::GetShellIconIndex(const std::string&) {
  return 0;
}

bool TfrmEasySetup::CopyPackageFile(const std::string&, const std::string&) {
  return false;
}

int32_t TfrmEasySetup::CopyMappedChunks(platform::IFileMapping&, platform::IFileHandle&, int64_t) {
  return -1;
}

bool TfrmEasySetup::BackupFile(const std::string&, const std::string&) {
  return false;
}

void TfrmEasySetup::GrantEveryoneAccess(const std::string&) {}

void TfrmEasySetup::RestoreBackups() {}

}  // namespace kv::app
