#pragma once
// Read-only data sources on a WebDAV server, and the data source of the maker's online document
// service.

#include <memory>
#include <string>

#include "storage/Kv_Storage.Types.h"

namespace kv {

class TConnectionsPool;

class TWebDAVConnectionClass : public TServerConnectionClass {
 public:
  using TServerConnectionClass::TServerConnectionClass;

  std::unique_ptr<TConnection> Create() const override;
  // "KV.WebDAV.ReadOnly".
  std::string ClassID() const override;
  // Smeta only.
  TStorageKinds SupportedKinds() const override;
};

// A read-only WebDAV data source at a URL. Connecting only marks it connected: the storage talks
// to the server.
class TWebDAVConnection : public TServerConnection {
 public:
  static const TWebDAVConnectionClass& ClassInfo();
  const TWebDAVConnectionClass& ClassType() const override { return ClassInfo(); }

  ~TWebDAVConnection() override;

  bool GetConnected() const override { return FConnected; }
  std::string GetAddress() const override { return FAddress; }
  void SetAddress(const std::string& value) override { FAddress = value; }
  void Connect(const std::string& login, const std::string& password) override;
  void Disconnect() override { FConnected = false; }

 private:
  std::string FAddress;
  bool FConnected = false;
};

class TKalvorSmetaRuSmetaStorageConnectionClass : public TWebDAVConnectionClass {
 public:
  using TWebDAVConnectionClass::TWebDAVConnectionClass;

  std::unique_ptr<TConnection> Create() const override;
  // "KV.KalvorSmeta.Ru.SmetaDocs".
  std::string ClassID() const override;
};

// The maker's online document service.
class TKalvorSmetaRuSmetaStorage {
 public:
  // Its data source, "Данные с " and the service's domain name. The address is always the online
  // settings' estimate collection; a stored one is kept but not used.
  class TConnection : public TWebDAVConnection {
   public:
    static const TKalvorSmetaRuSmetaStorageConnectionClass& ClassInfo();
    const TKalvorSmetaRuSmetaStorageConnectionClass& ClassType() const override {
      return ClassInfo();
    }

    std::string GetAddress() const override;
  };

  TKalvorSmetaRuSmetaStorage() = delete;

  // Appends a new connection captioned OnlineServiceCaption (made unique by the pool, which owns
  // it) and answers it.
  static TConnection& AddConnectionToPool(TConnectionsPool& pool);
};

}  // namespace kv
