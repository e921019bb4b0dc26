#include "storage/Kv_Storage.FileSystemConnection.h"

#include "options/Common.Attributes.h"
#include "platform/Files.h"

namespace kv {

// ---- TCustomFileSystemConnection ----

TCustomFileSystemConnection::~TCustomFileSystemConnection() {
  Disconnect();
}

void TCustomFileSystemConnection::Connect(const std::string&, const std::string&) {
  platform::ForceDirectories(Address());
  FConnected = true;
}

const TConnectionClass& TCustomFileSystemConnection::ClassInfo() {
  static const TConnectionClass info("TCustomFileSystemConnection", &TConnection::ClassInfo());
  return info;
}

// ---- TFileSystemConnection ----

std::unique_ptr<TConnection> TFileSystemConnectionClass::Create() const {
  return std::make_unique<TFileSystemConnection>();
}

std::string TFileSystemConnectionClass::ClassID() const {
  return "KV.Files";
}

TStorageKinds TFileSystemConnectionClass::SupportedKinds() const {
  return {TStorageKind::Smeta, TStorageKind::NormBase, TStorageKind::FormTemplate,
          TStorageKind::DocTemplate};
}

const TFileSystemConnectionClass& TFileSystemConnection::ClassInfo() {
  using C = TFileSystemConnection;
  static const TFileSystemConnectionClass info(
      *TClassBuilder<C>("TFileSystemConnection", &TCustomFileSystemConnection::ClassInfo())
           .Attribute(std::make_shared<TDisplayName>("Папка"))
           .Property("Address", TMemberVisibility::Published, &C::GetAddress, &C::SetAddress,
                     {std::make_shared<TDisplayName>("Папка")})
           .Build());
  return info;
}

}  // namespace kv
