#pragma once
// Connection classes of the storage tests' own: a built-in (internal) data source, which no class
// of the library is, and the registration of a class for one test's lifetime.

#include <memory>
#include <string>

#include "options/Common.Attributes.h"
#include "storage/Kv_Storage.Types.h"

namespace kv::test {

class TBuiltInConnectionClass : public TConnectionClass {
 public:
  using TConnectionClass::TConnectionClass;

  std::unique_ptr<TConnection> Create() const override;
  std::string ClassID() const override { return "Test.BuiltIn"; }
  bool IsInternal() const override { return true; }
  TStorageKinds SupportedKinds() const override {
    return {TStorageKind::NormBase, TStorageKind::DocTemplate};
  }
};

// Asks for a login, and lives at a fixed address.
class TBuiltInConnection : public TConnection {
 public:
  static const TBuiltInConnectionClass& ClassInfo() {
    static const TBuiltInConnectionClass info("TBuiltInConnection", &TConnection::ClassInfo(),
                                              {std::make_shared<TDisplayName>("Встроенный"),
                                               std::make_shared<TLoginDlgRequiredAttribute>(true)});
    return info;
  }
  const TBuiltInConnectionClass& ClassType() const override { return ClassInfo(); }

  bool GetConnected() const override { return false; }
  std::string GetAddress() const override { return "C:\\Встроенный"; }
  void Connect(const std::string&, const std::string&) override {}
};

inline std::unique_ptr<TConnection> TBuiltInConnectionClass::Create() const {
  return std::make_unique<TBuiltInConnection>();
}

// Registers a class of the test's own while it lives.
class TScopedConnectionClass {
 public:
  explicit TScopedConnectionClass(const TConnectionClass& item) : FItem(item) {
    TConnectionsFactory::RegisterConnectionClass(FItem);
  }
  ~TScopedConnectionClass() { TConnectionsFactory::UnregisterConnectionClass(FItem); }
  TScopedConnectionClass(const TScopedConnectionClass&) = delete;
  TScopedConnectionClass& operator=(const TScopedConnectionClass&) = delete;

 private:
  const TConnectionClass& FItem;
};

}  // namespace kv::test
