#include "storage/Kv_SmetaStorage.WebDAV.h"

#include "net/Kv_KalvorSmetaRuSettings.h"
#include "options/Common.Attributes.h"
#include "storage/Kv_Storage.ConnectionPool.h"

namespace kv {

// ---- TWebDAVConnection ----

std::unique_ptr<TConnection> TWebDAVConnectionClass::Create() const {
  return std::make_unique<TWebDAVConnection>();
}

std::string TWebDAVConnectionClass::ClassID() const {
  return "KV.WebDAV.ReadOnly";
}

TStorageKinds TWebDAVConnectionClass::SupportedKinds() const {
  return {TStorageKind::Smeta};
}

TWebDAVConnection::~TWebDAVConnection() {
  Disconnect();
}

void TWebDAVConnection::Connect(const std::string&, const std::string&) {
  FConnected = true;
}

const TWebDAVConnectionClass& TWebDAVConnection::ClassInfo() {
  static const TWebDAVConnectionClass info("TWebDAVConnection", &TServerConnection::ClassInfo());
  return info;
}

// ---- TKalvorSmetaRuSmetaStorage ----

std::unique_ptr<TConnection> TKalvorSmetaRuSmetaStorageConnectionClass::Create() const {
  return std::make_unique<TKalvorSmetaRuSmetaStorage::TConnection>();
}

std::string TKalvorSmetaRuSmetaStorageConnectionClass::ClassID() const {
  return "KV.KalvorSmeta.Ru.SmetaDocs";
}

std::string TKalvorSmetaRuSmetaStorage::TConnection::GetAddress() const {
  return KalvorSmetaRuSettings().SmetaDocsUrl();
}

const TKalvorSmetaRuSmetaStorageConnectionClass&
TKalvorSmetaRuSmetaStorage::TConnection::ClassInfo() {
  static const TKalvorSmetaRuSmetaStorageConnectionClass info(
      "TKalvorSmetaRuSmetaStorage.TConnection", &TWebDAVConnection::ClassInfo(),
      {std::make_shared<TDisplayName>(std::string("Данные с ") + kOnlineServiceDomain)});
  return info;
}

TKalvorSmetaRuSmetaStorage::TConnection& TKalvorSmetaRuSmetaStorage::AddConnectionToPool(
    TConnectionsPool& pool) {
  auto connection = std::make_unique<TConnection>();
  connection->SetCaption(OnlineServiceCaption);
  return static_cast<TConnection&>(pool.AddConnection(std::move(connection), -1));
}

}  // namespace kv
