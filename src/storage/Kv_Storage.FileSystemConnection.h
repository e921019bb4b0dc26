#pragma once
// Data sources in a folder on disk or on a network share.

#include <memory>
#include <string>

#include "storage/Kv_Storage.Types.h"

namespace kv {

// A data source in a folder: connecting makes sure the folder exists.
class TCustomFileSystemConnection : public TConnection {
 public:
  static const TConnectionClass& ClassInfo();
  const TConnectionClass& ClassType() const override { return ClassInfo(); }

  ~TCustomFileSystemConnection() override;

  bool GetConnected() const override { return FConnected; }
  // Creates the folder named by Address with its missing parents; raises the operating system's
  // error when it cannot, staying disconnected. Login and password are not used.
  void Connect(const std::string& login, const std::string& password) override;
  void Disconnect() override { FConnected = false; }

 private:
  bool FConnected = false;
};

class TFileSystemConnectionClass : public TConnectionClass {
 public:
  using TConnectionClass::TConnectionClass;

  std::unique_ptr<TConnection> Create() const override;
  // "KV.Files".
  std::string ClassID() const override;
  // Every storage kind.
  TStorageKinds SupportedKinds() const override;
  bool CanUseRecycleBin() const override { return true; }
};

// The folder data source, "Папка".
class TFileSystemConnection : public TCustomFileSystemConnection {
 public:
  static const TFileSystemConnectionClass& ClassInfo();
  const TFileSystemConnectionClass& ClassType() const override { return ClassInfo(); }

  std::string GetAddress() const override { return FAddress; }
  // The folder's path.
  void SetAddress(const std::string& value) { FAddress = value; }

 private:
  std::string FAddress;
};

}  // namespace kv
