#include "storage/Kv_Storage.ConnectionPool.h"

#include <algorithm>
#include <set>
#include <string_view>
#include <utility>

#include "base/Format.h"
#include "common/Common.SysUtils.h"
#include "options/Common.OptionsStorage.Serializer.h"
#include "options/Kv_OptionsStorage.h"
#include "platform/Files.h"
#include "platform/Text.h"
#include "sysinfo/SysInfo.Core.Smeta9.h"

namespace kv {
namespace {

constexpr const char* kModule = "Modules\\KalvorSmeta\\Common\\Kv_Storage.ConnectionPool";

void CheckListIndex(int index, int count) {
  if (index < 0 || index >= count) {
    throw EListError(Format("List index out of bounds (%d)", index));
  }
}

}  // namespace

// ---- TNBRegionInfo ----

void TNBRegionInfo::Assign(const TNBRegionInfo& source) {
  FName = source.FName;
  FShortCode = source.FShortCode;
  FZone2001Name = source.FZone2001Name;
  FZone1984Name = source.FZone1984Name;
}

const TClass& TNBRegionInfo::ClassInfo() {
  using V = TMemberVisibility;
  using C = TNBRegionInfo;
  static const auto info =
      TClassBuilder<C>("TNBRegionInfo", &TObject::ClassInfo())
          .Property("Name", V::Public, &C::Name, &C::SetName)
          .Property("ShortCode", V::Public, &C::ShortCode, &C::SetShortCode)
          .Property("Zone2001Name", V::Public, &C::Zone2001Name, &C::SetZone2001Name)
          .Property("Zone1984Name", V::Public, &C::Zone1984Name, &C::SetZone1984Name)
          .Build();
  return *info;
}

// ---- TConnectionsPool.Exception ----

KV_DEFINE_CLASS(TConnectionsPool, "TConnectionsPool", TObject)
KV_DEFINE_CLASS(TConnectionsPool::Exception, "TConnectionsPool.Exception", ::kv::Exception)

TConnectionsPool::Exception TConnectionsPool::Exception::CannotAddInternalConnection(
    const TConnectionClass& connectionClass) {
  return Exception(Format("Источник данных \"%s\" является встроенным, его нельзя добавить еше раз",
                          connectionClass.DisplayName()));
}

TConnectionsPool::Exception TConnectionsPool::Exception::CannotDeleteInternalConnection(
    const TConnection& connection) {
  return Exception(Format("Источник данных \"%s\" является встроенным, его нельзя удалять",
                          connection.ClassType().DisplayName()));
}

TConnectionsPool::Exception TConnectionsPool::Exception::ConnectionByClassNotFound(
    const TConnectionClass& connectionClass) {
  return Exception(
      Format("Источник данных  класса \"%s\" не найден", connectionClass.DisplayName()));
}

// ---- TConnectionsPool ----

TConnectionsPool::TConnectionsPool() {
  AddInternalConnections();
}

void TConnectionsPool::AddInternalConnections() {
  for (const TConnectionClass* connectionClass : TConnectionsFactory::ConnectionClasses()) {
    if (connectionClass->IsInternal()) {
      std::unique_ptr<TConnection> connection = connectionClass->Create();
      connection->SetUsages(connectionClass->SupportedKinds());
      FConnections.push_back(std::move(connection));
      MakeUniqueCaption(*FConnections.back());
    }
  }
}

void TConnectionsPool::MakeUniqueCaption(TConnection& connection) const {
  const TConnectionClass& connectionClass = connection.ClassType();
  std::string caption = connection.Caption();
  if (caption.empty()) {
    if (connectionClass.IsInternal()) {
      caption = connectionClass.DisplayName();
    } else {
      const auto sameClass =
          std::count_if(FConnections.begin(), FConnections.end(), [&](const auto& other) {
            return other.get() != &connection && &other->ClassType() == &connectionClass;
          });
      caption = Format("%s %d", connectionClass.DisplayName(), static_cast<int>(sameClass) + 1);
    }
  }
  if (!CheckUniqueCaption(caption, &connection)) {
    for (int n = 2;; ++n) {
      std::string candidate = caption + " " + std::to_string(n);
      if (CheckUniqueCaption(candidate, &connection)) {
        caption = std::move(candidate);
        break;
      }
    }
  }
  connection.SetCaption(caption);
}

void TConnectionsPool::Clear() {
  FConnections.clear();
  AddInternalConnections();
}

TConnection& TConnectionsPool::AddConnection(std::unique_ptr<TConnection> connection, int index) {
  Assert(connection != nullptr, kModule, __LINE__);
  const TConnectionClass& connectionClass = connection->ClassType();
  if (connectionClass.IsInternal()) {
    throw Exception::CannotAddInternalConnection(connectionClass);
  }
  if (index != -1) {
    CheckListIndex(index, Count() + 1);
  }
  MakeUniqueCaption(*connection);
  const auto position = index == -1 ? FConnections.end() : FConnections.begin() + index;
  return **FConnections.insert(position, std::move(connection));
}

int TConnectionsPool::DeleteConnection(const TConnection& connection) {
  if (connection.ClassType().IsInternal()) {
    throw Exception::CannotDeleteInternalConnection(connection);
  }
  const auto it = std::find_if(FConnections.begin(), FConnections.end(),
                               [&](const auto& item) { return item.get() == &connection; });
  if (it == FConnections.end()) {
    return -1;
  }
  const int index = static_cast<int>(it - FConnections.begin());
  FConnections.erase(it);
  return index;
}

TConnection* TConnectionsPool::FindConnection(const std::string& classID,
                                              const std::string& address) const {
  const std::string wanted = IncludeTrailingBackslash(address);
  for (const auto& connection : FConnections) {
    const TConnectionClass& connectionClass = connection->ClassType();
    if (connectionClass.ClassID() == classID &&
        (connectionClass.IsInternal() ||
         platform::SameTextLocale(IncludeTrailingBackslash(connection->Address()), wanted))) {
      return connection.get();
    }
  }
  return nullptr;
}

TConnection* TConnectionsPool::FindConnection(const TDocumentLocation& docLocation) const {
  return FindConnection(docLocation.ConnectionClassId, docLocation.BaseAddress);
}

TConnection* TConnectionsPool::FindConnection(const std::string& classID) const {
  for (const auto& connection : FConnections) {
    if (connection->ClassType().ClassID() == classID) {
      return connection.get();
    }
  }
  return nullptr;
}

std::string TConnectionsPool::GetLocationDisplayName(const TDocumentLocation& location) const {
  if (const TConnection* connection = FindConnection(location)) {
    return Format("%s: %s", connection->Caption(), location.LocalPath);
  }
  return Format("%s: %s", location.ConnectionClassId, location.FullPath());
}

bool TConnectionsPool::CheckUniqueCaption(const std::string& value,
                                          const TConnection* exclude) const {
  const std::string_view caption = Trim(value);
  return std::none_of(FConnections.begin(), FConnections.end(), [&](const auto& connection) {
    return connection.get() != exclude && platform::SameTextLocale(connection->Caption(), caption);
  });
}

bool TConnectionsPool::CheckUniqueAddress(const std::string& value,
                                          const TConnection* exclude) const {
  const std::string_view address = Trim(value);
  return std::none_of(FConnections.begin(), FConnections.end(), [&](const auto& connection) {
    return connection.get() != exclude && platform::SameTextLocale(connection->Address(), address);
  });
}

void TConnectionsPool::ConnectionExchange(int index1, int index2) {
  CheckListIndex(index1, Count());
  CheckListIndex(index2, Count());
  std::swap(FConnections[static_cast<size_t>(index1)], FConnections[static_cast<size_t>(index2)]);
}

std::vector<TConnection*> TConnectionsPool::Connections() const {
  std::vector<TConnection*> result;
  result.reserve(FConnections.size());
  for (const auto& connection : FConnections) {
    result.push_back(connection.get());
  }
  return result;
}

std::string TConnectionsPool::OptionsFileName() {
  return TSmeta9Information32::ClassInfo().ConnectionOptionsFilename();
}

void TConnectionsPool::LoadFromOptionsStorage(bool onlyNBTEmplateLocation) {
  const std::string fileName = OptionsFileName();
  FOptionsFileExists = platform::FileExists(fileName);
  if (!FOptionsFileExists && !onlyNBTEmplateLocation) {
    Clear();
    return;
  }
  // A file that does not load fails here, before the list changes.
  const TIntfPtr<IOptionsReader> reader = TOptionsStorageFactory::CreateReader(fileName);
  if (!onlyNBTEmplateLocation) {
    Clear();
    const TIntfPtr<IOptionsReader> connections = reader->OpenSubkey("Connections");
    // A key name is found by its first element only: a repeated name would load that element
    // again, a second connection with the same identity.
    std::set<std::string> loaded;
    for (const std::string& name : connections->GetSubkeyNames()) {
      if (!loaded.insert(name).second) {
        continue;
      }
      const TIntfPtr<IOptionsReader> key = connections->OpenSubkey(name);
      const TConnectionClass* connectionClass =
          TConnectionsFactory::FindByClassID(key->ReadString("ClassID", ""), false);
      if (!connectionClass || connectionClass->IsInternal()) {
        continue;
      }
      std::unique_ptr<TConnection> connection = connectionClass->Create();
      TOptionsSerializer::DeserializeObject(*key, *connection);
      FConnections.push_back(std::move(connection));
      MakeUniqueCaption(*FConnections.back());
    }
  }
  const TIntfPtr<IOptionsReader> location = reader->OpenSubkey("NBTemplateLocation");
  FNBTemplateLocation = TDocumentLocation::Make(location->ReadString("ConnectionClassId", ""),
                                                location->ReadString("BaseAddress", ""),
                                                location->ReadString("LocalPath", ""));
  TOptionsSerializer::DeserializeObject(*reader->OpenSubkey("RegionInfo"), FStoredRegionInfo);
}

void TConnectionsPool::SaveToOptionsStorage() {
  const TIntfPtr<IOptionsWriter> writer =
      TOptionsStorageFactory::CreateWriter(OptionsFileName(), true);
  const TIntfPtr<IOptionsWriter> connections = writer->OpenSubkey("Connections");
  int n = 0;
  for (const auto& connection : FConnections) {
    const TConnectionClass& connectionClass = connection->ClassType();
    if (connectionClass.IsInternal()) {
      continue;
    }
    const TIntfPtr<IOptionsWriter> key = connections->OpenSubkey(Format("Connection_%d", ++n));
    TOptionsSerializer::SerializeObject(*key, *connection);
    key->WriteString("ClassID", connectionClass.ClassID(), "");
    key->WriteString("Caption", connection->Caption(), "");
  }
  const TIntfPtr<IOptionsWriter> location = writer->OpenSubkey("NBTemplateLocation");
  location->WriteString("ConnectionClassId", FNBTemplateLocation.ConnectionClassId, "");
  location->WriteString("BaseAddress", FNBTemplateLocation.BaseAddress, "");
  location->WriteString("LocalPath", FNBTemplateLocation.LocalPath, "");
  TOptionsSerializer::SerializeObject(*writer->OpenSubkey("RegionInfo"), FStoredRegionInfo);
  writer->Save();
}

}  // namespace kv
