#pragma once
// Read-only document storages on a WebDAV server: any server's collection, and the maker's online
// document service. Folders are listed with PROPFIND, documents fetched with GET; every change is
// refused.

#include <cstdint>
#include <memory>
#include <string>

#include "storage/Kv_SmetaStorage.Types.h"
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

// A read-only storage over the WebDAV collection at the connection's address, which is its root
// folder. Entries are made afresh by each listing and never reach the storage's memory: a folder
// listed after the storage is destroyed raises ESmetaStorageClosed.
class TWebDAVReadOnlySmetaStorage : public TSmetaStorageOf<TWebDAVConnection> {
 public:
  static const TSmetaStorageClass& ClassInfo();
  const TSmetaStorageClass& ClassType() const override { return ClassInfo(); }

  explicit TWebDAVReadOnlySmetaStorage(TConnection& connection);

  // 18, 15 and 2 for the small, large and tile images: the root's icon in the client's lists.
  int32_t GetImageIndex(int32_t imageKind) override;
  bool IsReadOnly() override { return true; }
  TSmetaStorageEntries LoadChildItems() override;
  TIntfPtr<ISmetaStorageEntry> FindEntry(const std::string& shortPath) override;
  TIntfPtr<ISmetaStorageFolder> CreateFolder(const std::string& description) override;
  TIntfPtr<ISmetaStorageDocument> CreateDocument(const std::string& description,
                                                 const TKvDocCommonProperties& properties) override;
  TIntfPtr<ISmetaStorageExternalDocument> CreateExternalDocument(const std::string& description,
                                                                 TStream& data) override;

  virtual TIntfPtr<ISmetaStorageFolder> GetRoot() { return FRoot; }

  // The address of a listed href: an absolute http or https address (scheme in any case) as it
  // stands, anything else joined to the scheme, host and port of the connection's address.
  std::string MakeEntryUrl(const std::string& href) const;

 protected:
  TWebDAVReadOnlySmetaStorage(TConnection& connection, const TConnectionClass& connectionClass);

 private:
  TIntfPtr<ISmetaStorageFolder> FRoot;
};

// Whether two addresses name the same resource as a server sees it: scheme and host compared
// ignoring case, the default port equal to none, the paths compared after percent-decoding and
// without one trailing "/". A listing uses it to leave out the listed folder itself.
bool IsSameResourceUrl(const std::string& a, const std::string& b);

// Whether a file of that name would be run rather than shown when opened with the shell
// (programs, scripts, installers, shortcuts), by its extension in any letter case.
bool IsExecutableFileName(const std::string& fileName);

// The maker's online document service.
class TKalvorSmetaRuSmetaStorage : public TWebDAVReadOnlySmetaStorage {
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

  static const TSmetaStorageClass& ClassInfo();
  const TSmetaStorageClass& ClassType() const override { return ClassInfo(); }

  explicit TKalvorSmetaRuSmetaStorage(kv::TConnection& connection);

  // Appends a new connection captioned OnlineServiceCaption (made unique by the pool, which owns
  // it) and answers it.
  static TConnection& AddConnectionToPool(TConnectionsPool& pool);
};

}  // namespace kv
