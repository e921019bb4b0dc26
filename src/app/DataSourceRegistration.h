#pragma once
// The client's data sources (its connections pool in Connections.xml): the package's folders and
// the online service that the user checked are added to it.

#include <memory>
#include <string>
#include <vector>

#include "storage/Kv_Storage.ConnectionPool.h"

namespace kv::app {

class TDataSourceRegistration {
 public:
  // The online service, unless the pool has one already (under whatever caption).
  void AddOnlineService();
  // A folder connection to path, unless the folder is missing or the pool has one to it.
  void AddFolder(const std::string& path);
  // Writes the pool back when a connection was added; the client's file is left alone otherwise.
  void Save();
  // The data sources added, in order: each folder's path, the online service's caption.
  const std::vector<std::string>& Added() const { return FAdded; }

 private:
  // The pool, loaded from the client's options storage when first needed.
  TConnectionsPool& Pool();

  std::unique_ptr<TConnectionsPool> FPool;
  std::vector<std::string> FAdded;
};

}  // namespace kv::app
