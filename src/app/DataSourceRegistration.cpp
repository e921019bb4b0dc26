#include "app/DataSourceRegistration.h"

#include "common/Common.SysUtils.h"
#include "net/Kv_KalvorSmetaRuSettings.h"
#include "platform/Files.h"
#include "storage/Kv_SmetaStorage.WebDAV.h"
#include "storage/Kv_Storage.FileSystemConnection.h"

namespace kv::app {

TConnectionsPool& TDataSourceRegistration::Pool() {
  if (!FPool) {
    auto pool = std::make_unique<TConnectionsPool>();
    pool->LoadFromOptionsStorage(false);
    FPool = std::move(pool);
  }
  return *FPool;
}

void TDataSourceRegistration::AddOnlineService() {
  TConnectionsPool& pool = Pool();
  if (!pool.FindConnection(TKalvorSmetaRuSmetaStorage::TConnection::ClassInfo().ClassID())) {
    TKalvorSmetaRuSmetaStorage::AddConnectionToPool(pool);
    FAdded.push_back(OnlineServiceCaption);
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
  TConnectionsPool& pool = Pool();
  if (!pool.FindConnection(connection->ClassType().ClassID(), path)) {
    pool.AddConnection(std::move(connection), -1);
    FAdded.push_back(path);
  }
}

void TDataSourceRegistration::Save() {
  if (!FAdded.empty()) {
    FPool->SaveToOptionsStorage();
  }
}

}  // namespace kv::app
