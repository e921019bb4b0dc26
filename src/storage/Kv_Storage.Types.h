#pragma once
// Data sources: the connection model, the process-wide registry of connection classes and the
// names of documents inside data sources.
//
// Every kind of data source is a TConnection descendant known by its class id. Each class has one
// metaclass object (ClassInfo()) whose virtual members are the class operations, so that the pool
// can create any registered class from its id and ask it what it is without an instance.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/Exceptions.h"
#include "base/Rtti.h"

namespace kv {

enum class TStorageKind : uint8_t { Smeta, NormBase, FormTemplate, DocTemplate };
const TTypeInfo& EnumTypeInfo(TStorageKind);
using TStorageKinds = TSet<TStorageKind>;

class TConnection;

// The class operations of TConnection and its descendants.
class TConnectionClass : public TClass {
 public:
  using TClass::TClass;
  // Takes name, parent, metadata and properties from a description made by TClassBuilder.
  explicit TConnectionClass(const TClass& description);

  // The virtual constructor: a new connection of this class with the initial values.
  virtual std::unique_ptr<TConnection> Create() const;
  // The class's TLoginDlgRequiredAttribute; false when it declares none.
  virtual bool LoginDlgRequired() const;
  virtual std::string ClassID() const;
  // The class's own TDisplayName; a class without one is a programming error.
  virtual std::string DisplayName() const;
  // A built-in data source: the pool holds exactly one instance and never stores it.
  virtual bool IsInternal() const;
  virtual TStorageKinds SupportedKinds() const;
  virtual bool CanUseRecycleBin() const;

  bool SupportsSmeta() const;
  bool SupportsNormBases() const;

 protected:
  // Raises the assertion failure of an abstract class operation called on this class.
  [[noreturn]] void Abstract(const char* operation) const;
};

// Names a document as (class id, data source address, path inside the data source).
struct TDocumentLocation {
  std::string ConnectionClassId;
  std::string BaseAddress;
  std::string LocalPath;

  static TDocumentLocation Make(const std::string& connectionClassId,
                                const std::string& baseAddress, const std::string& localPath);
  // True when the class id or the local path is empty.
  bool IsEmpty() const;
  // BaseAddress and LocalPath joined with one backslash.
  std::string FullPath() const;
  // Letter case never counts. As internal, base addresses are ignored; otherwise they are compared
  // with a trailing backslash added to each.
  bool IsEqual(const TDocumentLocation& other, bool asInternal) const;
  // "ConnectionClassId=...;BaseAddress=...;LocalPath=...", empty items left out, items holding a
  // space, quote, ";" or control character quoted.
  std::string ToString() const;
  static TDocumentLocation FromString(const std::string& s);
};
// Compares as internal when the left side's class id is one of an internal class.
bool operator==(const TDocumentLocation& a, const TDocumentLocation& b);

// A data source. A class that overrides Disconnect calls it in its own destructor, so that
// destroying a connection disconnects it.
class TConnection : public TObject {
 public:
  static const TConnectionClass& ClassInfo();
  const TConnectionClass& ClassType() const override { return ClassInfo(); }

  // Usages [Smeta], enabled, a new InstanceUID; raises the platform's error when no GUID can be
  // made.
  TConnection();
  TConnection(const TConnection&) = delete;
  TConnection& operator=(const TConnection&) = delete;

  // The stored usages that the class supports.
  virtual TStorageKinds GetUsages() const;
  virtual bool GetConnected() const = 0;
  virtual std::string GetAddress() const = 0;
  virtual void Connect(const std::string& login, const std::string& password) = 0;
  virtual void Disconnect() {}

  // The class of the last failure recorded for the connection, and its message; never stored.
  const TClass* ExceptionClass() const { return FExceptionClass; }
  void SetExceptionClass(const TClass* value) { FExceptionClass = value; }
  const std::string& ExceptionMessage() const { return FExceptionMessage; }
  void SetExceptionMessage(const std::string& value) { FExceptionMessage = value; }
  bool Connected() const { return GetConnected(); }
  // 32 upper-case hexadecimal digits.
  const std::string& InstanceUID() const { return FInstanceUID; }
  void SetInstanceUID(const std::string& value) { FInstanceUID = value; }
  std::string Address() const { return GetAddress(); }
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool value) { FEnabled = value; }
  // Unique in a pool without regard to letter case.
  const std::string& Caption() const { return FCaption; }
  void SetCaption(const std::string& value) { FCaption = value; }
  const std::string& Description() const { return FDescription; }
  void SetDescription(const std::string& value) { FDescription = value; }
  TStorageKinds Usages() const { return GetUsages(); }
  // Without Smeta there is nothing to put into a recycle bin: UseRecycleBin goes off.
  void SetUsages(TStorageKinds value);
  bool UseRecycleBin() const { return FUseRecycleBin; }
  void SetUseRecycleBin(bool value) { FUseRecycleBin = value; }

  // (ClassID, Address, "").
  TDocumentLocation Location() const;

 private:
  std::string FCaption;
  TStorageKinds FUsages{TStorageKind::Smeta};
  std::string FInstanceUID;
  std::string FDescription;
  const TClass* FExceptionClass = nullptr;
  std::string FExceptionMessage;
  bool FUseRecycleBin = false;
  bool FEnabled = true;
};

class TServerConnectionClass : public TConnectionClass {
 public:
  using TConnectionClass::TConnectionClass;

  // Whether the address names a server of this class.
  virtual bool IsValidServer(const std::string& address) const;
};

// A data source on a server: its address is published and writable.
class TServerConnection : public TConnection {
 public:
  static const TServerConnectionClass& ClassInfo();
  const TServerConnectionClass& ClassType() const override { return ClassInfo(); }

  virtual void SetAddress(const std::string& value) = 0;
};

// The process-wide registry of connection classes by class id. The built-in classes are
// registered on first use: the folder class, then the online service's class.
class TConnectionsFactory {
 public:
  class Exception : public kv::Exception {
    KV_CLASS_INFO()
   public:
    using kv::Exception::Exception;
    static Exception ClassIDNotFound(const std::string& classID);
  };

  TConnectionsFactory() = delete;

  // Maps item's class id to item, in place of a class registered under the same id before.
  static void RegisterConnectionClass(const TConnectionClass& item);
  // Takes item out of the registry, if it is there; for code that registered a class of its own
  // for a while.
  static void UnregisterConnectionClass(const TConnectionClass& item);
  // Looks the id up exactly (letter case counts); unknown ids raise or give null.
  static const TConnectionClass* FindByClassID(const std::string& classID, bool raiseIfNotFound);
  // The registered classes, in registration order.
  static std::vector<const TConnectionClass*> ConnectionClasses();
  // Whether an internal class was registered under the id, letter case ignored.
  static bool IsInternalClassID(const std::string& classID);
};

}  // namespace kv
