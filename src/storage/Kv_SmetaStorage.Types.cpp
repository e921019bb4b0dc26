#include "storage/Kv_SmetaStorage.Types.h"

#include <algorithm>
#include <optional>

#include "base/Format.h"
#include "common/Common.SysUtils.h"
#include "options/Common.XMLUtils.h"
#include "platform/Files.h"
#include "platform/Text.h"

namespace kv {

namespace {

constexpr const char* kModule = "Modules\\KalvorSmeta\\Common\\Kv_SmetaStorage.Types";
constexpr const char* kFolderPropertiesFolder = ".kvdata";
constexpr const char* kFolderPropertiesFile = "config.xml";
constexpr const char* kFolderPropertiesRoot = "KvsmetaFolder";

// The six attributes of the folder properties file, in the order Save writes them.
struct TFolderAttribute {
  const char* Name;
  std::string TFolderProperties::*Field;
};
constexpr TFolderAttribute kFolderAttributes[] = {
    {"ObjName", &TFolderProperties::ObjName}, {"ConName", &TFolderProperties::ConName},
    {"StgName", &TFolderProperties::StgName}, {"Comment", &TFolderProperties::Comment},
    {"LocNum", &TFolderProperties::LocNum},   {"RegNum", &TFolderProperties::RegNum}};

std::string FolderPropertiesPath(const std::string& folderPath) {
  return PathJoin({folderPath, kFolderPropertiesFolder, kFolderPropertiesFile});
}

std::vector<const TSmetaStorageClass*>& RegisteredClasses() {
  static std::vector<const TSmetaStorageClass*> classes;
  return classes;
}

// How many steps up from cls lead to ancestor; nothing when ancestor is not one of its classes.
std::optional<int> AncestorDistance(const TClass& cls, const TClass& ancestor) {
  int distance = 0;
  for (const TClass* c = &cls; c != nullptr; c = c->ClassParent(), ++distance) {
    if (c == &ancestor) {
      return distance;
    }
  }
  return std::nullopt;
}

}  // namespace

// ---- TFolderProperties ----

void TFolderProperties::Clear() {
  *this = TFolderProperties();
}

void TFolderProperties::Load(const std::string& folderPath) {
  TFolderProperties loaded;
  const std::string fileName = FolderPropertiesPath(folderPath);
  if (platform::FileExists(fileName)) {
    TXmlNode root = LoadXMLFile(fileName).DocumentElement();
    for (const auto& attribute : kFolderAttributes) {
      loaded.*attribute.Field = root.Attribute(attribute.Name).value_or(std::string());
    }
  }
  *this = std::move(loaded);
}

void TFolderProperties::Save(const std::string& folderPath) const {
  const std::string fileName = FolderPropertiesPath(folderPath);
  TXmlDocument document;
  if (platform::FileExists(fileName)) {
    document = LoadXMLFile(fileName);
  } else {
    document = TXmlDocument::Create();
    document.SetDocumentElement(kFolderPropertiesRoot);
  }
  TXmlNode root = document.DocumentElement();
  for (const auto& attribute : kFolderAttributes) {
    root.RemoveAttribute(attribute.Name);
    root.SetAttribute(attribute.Name, this->*attribute.Field);
  }
  platform::ForceDirectories(PathJoin(folderPath, kFolderPropertiesFolder));
  document.Save(fileName);
}

// ---- errors ----

KV_DEFINE_CLASS(ESmetaStorageError, "ESmetaStorageError", Exception)
KV_DEFINE_CLASS(ESmetaStorageDocumentIsReadonly, "ESmetaStorageDocumentIsReadonly",
                ESmetaStorageError)
KV_DEFINE_CLASS(ESmetaStorageFolderPropertiesNotSupported,
                "ESmetaStorageFolderPropertiesNotSupported", ESmetaStorageError)
KV_DEFINE_CLASS(ESmetaStorageClosed, "ESmetaStorageClosed", ESmetaStorageError)

void ESmetaStorageError::ItemNotFound() {
  throw ESmetaStorageError("Элемент не найден");
}

void ESmetaStorageError::ItemNotFound(const std::string& itemTitle) {
  throw ESmetaStorageError(Format("Элемент \"%s\" не найден", itemTitle));
}

void ESmetaStorageError::DocumentIsLocked(const std::string& docTitle) {
  throw ESmetaStorageError(Format("Документ \"%s\" уже открыт другим пользователем", docTitle));
}

ESmetaStorageDocumentIsReadonly ESmetaStorageError::ItemIsReadOnly(
    const std::string& title, const std::string& confirmMessage) {
  return ESmetaStorageDocumentIsReadonly(
      Format("Документ \"%s\" доступен только для чтения", title), confirmMessage);
}

ESmetaStorageFolderPropertiesNotSupported ESmetaStorageError::FolderPropertiesNotSupported() {
  return ESmetaStorageFolderPropertiesNotSupported("Свойства у папок не поддерживаются");
}

ESmetaStorageDocumentIsReadonly::ESmetaStorageDocumentIsReadonly(std::string message,
                                                                 std::string confirmMessage)
    : ESmetaStorageError(std::move(message)), FConfirmMessage(std::move(confirmMessage)) {}

// ---- TSmetaStorageClass ----

void TSmetaStorageClass::Abstract(const char* operation) const {
  throw EAssertionFailed(
      Format("Abstract class operation %s.%s (%s)", ClassName(), operation, kModule));
}

const TConnectionClass& TSmetaStorageClass::ConnectionClass() const {
  Abstract("ConnectionClass");
}

std::unique_ptr<TSmetaStorage> TSmetaStorageClass::Create(TConnection&) const {
  Abstract("Create");
}

void TSmetaStorageClass::RegisterSelf() const {
  TSmetaStorageFactory::Register(*this);
}

// ---- TSmetaStorageLink ----

TSmetaStorage& TSmetaStorageLink::Get() const {
  if (!IsAlive()) {
    throw ESmetaStorageClosed("Хранилище документов уже закрыто");
  }
  return **FStorage;
}

// ---- TSmetaStorage ----

const TSmetaStorageClass& TSmetaStorage::ClassInfo() {
  static const TSmetaStorageClass info("TSmetaStorage",
                                       &TFlexiblePersistInterfacedObject::ClassInfo());
  return info;
}

TSmetaStorage::TSmetaStorage(TConnection& connection, const TConnectionClass& connectionClass)
    : FConnection(connection), FSelf(std::make_shared<TSmetaStorage*>(this)) {
  Assert(connection.InheritsFrom(connectionClass), kModule, 743);
}

TSmetaStorage::~TSmetaStorage() {
  *FSelf = nullptr;
}

std::string TSmetaStorage::RootDisplayName() const {
  return FConnection.Caption();
}

void TSmetaStorage::AddExternalFileExt(const std::string& ext) {
  auto position = std::lower_bound(FExternalFileExts.begin(), FExternalFileExts.end(), ext,
                                   [](const std::string& a, const std::string& b) {
                                     return platform::CompareTextLocale(a, b) < 0;
                                   });
  if (position == FExternalFileExts.end() || !platform::SameTextLocale(*position, ext)) {
    FExternalFileExts.insert(position, ext);
  }
}

bool TSmetaStorage::GetInterface(const TGUID& iid, void** obj) noexcept {
  if (iid == ISmetaStorageReferense::IID) {
    *obj = static_cast<ISmetaStorageReferense*>(this);
    return true;
  }
  return TFlexiblePersistInterfacedObject::GetInterface(iid, obj);
}

// ---- TSmetaStorageDocumentWriteStream ----

KV_DEFINE_CLASS(TSmetaStorageDocumentWriteStream, "TSmetaStorageDocumentWriteStream", TStream)

// ---- TSmetaStorageFactory ----

KV_DEFINE_CLASS(TSmetaStorageFactory::Exception, "TSmetaStorageFactory.Exception", ::kv::Exception)

TSmetaStorageFactory::Exception TSmetaStorageFactory::Exception::StorageClassNotFound(
    const TConnection& connection) {
  return Exception(Format("TSmetaStorageClass for \"%s\" (class %s) not registered",
                          connection.Caption(), connection.ClassName()));
}

void TSmetaStorageFactory::Register(const TSmetaStorageClass& storageClass) {
  auto& classes = RegisteredClasses();
  if (std::find(classes.begin(), classes.end(), &storageClass) != classes.end()) {
    throw EListError("Duplicates not allowed");
  }
  classes.push_back(&storageClass);
  TConnectionsFactory::RegisterConnectionClass(storageClass.ConnectionClass());
}

void TSmetaStorageFactory::Unregister(const TSmetaStorageClass& storageClass) {
  auto& classes = RegisteredClasses();
  classes.erase(std::remove(classes.begin(), classes.end(), &storageClass), classes.end());
}

std::unique_ptr<TSmetaStorage> TSmetaStorageFactory::CreateStorage(TConnection& connection) {
  const TSmetaStorageClass* closest = nullptr;
  int closestDistance = 0;
  for (const TSmetaStorageClass* storageClass : RegisteredClasses()) {
    auto distance = AncestorDistance(connection.ClassType(), storageClass->ConnectionClass());
    if (distance && (!closest || *distance < closestDistance)) {
      closest = storageClass;
      closestDistance = *distance;
    }
  }
  if (!closest) {
    throw Exception::StorageClassNotFound(connection);
  }
  return closest->Create(connection);
}

}  // namespace kv
