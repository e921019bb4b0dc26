#include "storage/Kv_Storage.Types.h"

#include <algorithm>
#include <string_view>

#include "base/Format.h"
#include "common/Common.SysUtils.h"
#include "common/StringList.h"
#include "options/Common.Attributes.h"
#include "platform/Text.h"
#include "storage/Kv_SmetaStorage.WebDAV.h"
#include "storage/Kv_Storage.FileSystemConnection.h"

namespace kv {
namespace {

constexpr const char* kModule = "Modules\\KalvorSmeta\\Common\\Kv_Storage.Types";

struct TRegistry {
  std::vector<const TConnectionClass*> Classes;
  std::vector<std::string> InternalIds;

  std::vector<const TConnectionClass*>::iterator Find(const std::string& classID) {
    return std::find_if(Classes.begin(), Classes.end(),
                        [&](const TConnectionClass* item) { return item->ClassID() == classID; });
  }

  void Register(const TConnectionClass& item) {
    const std::string classID = item.ClassID();
    if (const auto it = Find(classID); it != Classes.end()) {
      *it = &item;
    } else {
      Classes.push_back(&item);
    }
    if (item.IsInternal() &&
        std::find(InternalIds.begin(), InternalIds.end(), classID) == InternalIds.end()) {
      InternalIds.push_back(classID);
    }
  }
};

// The registry, holding the built-in classes from its first use on: registration by static
// objects could be dropped by the linker and would run in no defined order.
TRegistry& Registry() {
  static TRegistry registry = [] {
    TRegistry builtIn;
    builtIn.Register(TFileSystemConnection::ClassInfo());
    builtIn.Register(TKalvorSmetaRuSmetaStorage::TConnection::ClassInfo());
    return builtIn;
  }();
  return registry;
}

// The value of the first "name=value" item whose name matches, letter case ignored; "" if none.
std::string ValueOf(const TStringList& items, std::string_view name) {
  for (const auto& item : items) {
    const size_t equals = item.Text.find('=');
    if (equals != std::string::npos &&
        platform::SameTextLocale(std::string_view(item.Text).substr(0, equals), name)) {
      return item.Text.substr(equals + 1);
    }
  }
  return {};
}

}  // namespace

const TTypeInfo& EnumTypeInfo(TStorageKind) {
  static const TTypeInfo info =
      MakeEnumTypeInfo("TStorageKind", {"Smeta", "NormBase", "FormTemplate", "DocTemplate"});
  return info;
}

// ---- TConnectionClass ----

TConnectionClass::TConnectionClass(const TClass& description)
    : TClass(description.ClassName(), description.ClassParent(), description.Attributes(),
             description.DeclaredProperties()) {}

void TConnectionClass::Abstract(const char* operation) const {
  throw EAssertionFailed(
      Format("Abstract class operation %s.%s (%s)", ClassName(), operation, kModule));
}

std::unique_ptr<TConnection> TConnectionClass::Create() const {
  Abstract("Create");
}

bool TConnectionClass::LoginDlgRequired() const {
  return TLoginDlgRequiredAttribute::GetValue(*this, false);
}

std::string TConnectionClass::ClassID() const {
  Abstract("ClassID");
}

std::string TConnectionClass::DisplayName() const {
  std::string name = TDisplayName::GetValue(*this, std::string());
  Assert(!IsEmptyStr(name), kModule, __LINE__, ClassName() + " declares no display name");
  return name;
}

bool TConnectionClass::IsInternal() const {
  return false;
}

TStorageKinds TConnectionClass::SupportedKinds() const {
  Abstract("SupportedKinds");
}

bool TConnectionClass::CanUseRecycleBin() const {
  return false;
}

bool TConnectionClass::SupportsSmeta() const {
  return SupportedKinds().Contains(TStorageKind::Smeta);
}

bool TConnectionClass::SupportsNormBases() const {
  return SupportedKinds().Contains(TStorageKind::NormBase);
}

// ---- TDocumentLocation ----

TDocumentLocation TDocumentLocation::Make(const std::string& connectionClassId,
                                          const std::string& baseAddress,
                                          const std::string& localPath) {
  return {connectionClassId, baseAddress, localPath};
}

bool TDocumentLocation::IsEmpty() const {
  return ConnectionClassId.empty() || LocalPath.empty();
}

std::string TDocumentLocation::FullPath() const {
  return PathJoin(BaseAddress, LocalPath);
}

bool TDocumentLocation::IsEqual(const TDocumentLocation& other, bool asInternal) const {
  return platform::SameTextLocale(ConnectionClassId, other.ConnectionClassId) &&
         (asInternal || platform::SameTextLocale(IncludeTrailingBackslash(BaseAddress),
                                                 IncludeTrailingBackslash(other.BaseAddress))) &&
         platform::SameTextLocale(LocalPath, other.LocalPath);
}

std::string TDocumentLocation::ToString() const {
  TStringList items;
  for (const auto& [name, value] :
       {std::pair{"ConnectionClassId", &ConnectionClassId}, std::pair{"BaseAddress", &BaseAddress},
        std::pair{"LocalPath", &LocalPath}}) {
    if (!value->empty()) {
      items.Add(std::string(name) + "=" + *value);
    }
  }
  return items.DelimitedText(';');
}

TDocumentLocation TDocumentLocation::FromString(const std::string& s) {
  TStringList items;
  items.SetDelimitedText(s, ';');
  return {ValueOf(items, "ConnectionClassId"), ValueOf(items, "BaseAddress"),
          ValueOf(items, "LocalPath")};
}

bool operator==(const TDocumentLocation& a, const TDocumentLocation& b) {
  return a.IsEqual(b, TConnectionsFactory::IsInternalClassID(a.ConnectionClassId));
}

// ---- TConnection ----

TConnection::TConnection() : FInstanceUID(NewGUIDString(false)) {}

TStorageKinds TConnection::GetUsages() const {
  return ClassType().SupportedKinds() * FUsages;
}

void TConnection::SetUsages(TStorageKinds value) {
  FUsages = value;
  if (!value.Contains(TStorageKind::Smeta)) {
    FUseRecycleBin = false;
  }
}

TDocumentLocation TConnection::Location() const {
  return TDocumentLocation::Make(ClassType().ClassID(), Address(), "");
}

const TConnectionClass& TConnection::ClassInfo() {
  using V = TMemberVisibility;
  using C = TConnection;
  static const TConnectionClass info(
      *TClassBuilder<C>("TConnection", &TObject::ClassInfo())
           .Property("ExceptionClass", V::Public, &C::ExceptionClass, &C::SetExceptionClass,
                     {std::make_shared<TNotSerializeAttribute>()})
           .Property("ExceptionMessage", V::Public, &C::ExceptionMessage, &C::SetExceptionMessage,
                     {std::make_shared<TNotSerializeAttribute>()})
           .Property("Connected", V::Public, &C::Connected)
           .Property("InstanceUID", V::Public, &C::InstanceUID, &C::SetInstanceUID)
           .Property("Address", V::Public, &C::Address)
           .Property("Enabled", V::Public, &C::Enabled, &C::SetEnabled)
           .Property("Caption", V::Published, &C::Caption, &C::SetCaption,
                     {std::make_shared<TDisplayName>("Название")})
           .Property("Description", V::Published, &C::Description, &C::SetDescription,
                     {std::make_shared<TDisplayName>("Примечание")})
           .Property("Usages", V::Published, &C::Usages, &C::SetUsages)
           .Property("UseRecycleBin", V::Published, &C::UseRecycleBin, &C::SetUseRecycleBin)
           .Build());
  return info;
}

// ---- TServerConnection ----

bool TServerConnectionClass::IsValidServer(const std::string&) const {
  return false;
}

const TServerConnectionClass& TServerConnection::ClassInfo() {
  static const TServerConnectionClass info(
      *TClassBuilder<TServerConnection>("TServerConnection", &TConnection::ClassInfo())
           .Property("Address", TMemberVisibility::Published, &TServerConnection::Address,
                     &TServerConnection::SetAddress)
           .Build());
  return info;
}

// ---- TConnectionsFactory ----

KV_DEFINE_CLASS(TConnectionsFactory::Exception, "TConnectionsFactory.Exception", ::kv::Exception)

TConnectionsFactory::Exception TConnectionsFactory::Exception::ClassIDNotFound(
    const std::string& classID) {
  return Exception(
      Format("Класс источника данных с идентификатором \"%s\" не зарегистрирован", classID));
}

void TConnectionsFactory::RegisterConnectionClass(const TConnectionClass& item) {
  Registry().Register(item);
}

void TConnectionsFactory::UnregisterConnectionClass(const TConnectionClass& item) {
  TRegistry& registry = Registry();
  const auto it = std::find(registry.Classes.begin(), registry.Classes.end(), &item);
  if (it == registry.Classes.end()) {
    return;
  }
  registry.Classes.erase(it);
  std::erase(registry.InternalIds, item.ClassID());
}

const TConnectionClass* TConnectionsFactory::FindByClassID(const std::string& classID,
                                                           bool raiseIfNotFound) {
  TRegistry& registry = Registry();
  if (const auto it = registry.Find(classID); it != registry.Classes.end()) {
    return *it;
  }
  if (raiseIfNotFound) {
    throw Exception::ClassIDNotFound(classID);
  }
  return nullptr;
}

std::vector<const TConnectionClass*> TConnectionsFactory::ConnectionClasses() {
  return Registry().Classes;
}

bool TConnectionsFactory::IsInternalClassID(const std::string& classID) {
  const std::vector<std::string>& ids = Registry().InternalIds;
  return std::any_of(ids.begin(), ids.end(),
                     [&](const std::string& id) { return platform::SameTextLocale(id, classID); });
}

}  // namespace kv
