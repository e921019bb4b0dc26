#include "app/DataSourceRegistration.h"

#include <memory>

#include "common/Common.SysUtils.h"
#include "platform/Files.h"
#include "storage/Kv_SmetaStorage.WebDAV.h"
#include "storage/Kv_Storage.FileSystemConnection.h"

namespace kv::app {

TDataSourceRegistration::TDataSourceRegistration() {
  FPool.LoadFromOptionsStorage(false);
}

void TDataSourceRegistration::AddOnlineService() {
  if (!FPool.FindConnection(TKalvorSmetaRuSmetaStorage::TConnection::ClassInfo().ClassID())) {
    TKalvorSmetaRuSmetaStorage::AddConnectionToPool(FPool);
  }
}

void TDataSourceRegistration::AddFolder(const std::string& path) {
  if (!platform::DirectoryExists(path)) {
    return;
  }
  auto connection = std::make_unique<TFileSystemConnection>();
  connection->SetAddress(path);
  connection->SetUsages(TStorageKinds{TStorageKind::Smeta});
  connection->SetCaption(ExtractFileName(path));
  if (!FPool.FindConnection(connection->ClassType().ClassID(), path)) {
    FPool.AddConnection(std::move(connection), -1);
  }
}

void TDataSourceRegistration::Save() {
  FPool.SaveToOptionsStorage();
}

}  // namespace kv::app
