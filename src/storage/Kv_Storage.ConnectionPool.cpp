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

void TNBRegionInfo::Assign(const TNBRegionInfo& Source) {
  FName = Source.FName;
  FShortCode = Source.FShortCode;
  FZone2001Name = Source.FZone2001Name;
  FZone1984Name = Source.FZone1984Name;
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
    const TConnectionClass& AConnectionClass) {
  return Exception(Format("Источник данных \"%s\" является встроенным, его нельзя добавить еше раз",
                          AConnectionClass.DisplayName()));
}

TConnectionsPool::Exception TConnectionsPool::Exception::CannotDeleteInternalConnection(
    const TConnection& AConnection) {
  return Exception(Format("Источник данных \"%s\" является встроенным, его нельзя удалять",
                          AConnection.ClassType().DisplayName()));
}

TConnectionsPool::Exception TConnectionsPool::Exception::ConnectionByClassNotFound(
    const TConnectionClass& AConnectionClass) {
  return Exception(
      Format("Источник данных  класса \"%s\" не найден", AConnectionClass.DisplayName()));
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

void TConnectionsPool::MakeUniqueCaption(TConnection& AConnection) const {
  const TConnectionClass& connectionClass = AConnection.ClassType();
  std::string caption = AConnection.Caption();
  if (caption.empty()) {
    if (connectionClass.IsInternal()) {
      caption = connectionClass.DisplayName();
    } else {
      const auto sameClass =
          std::count_if(FConnections.begin(), FConnections.end(), [&](const auto& other) {
            return other.get() != &AConnection && &other->ClassType() == &connectionClass;
          });
      caption = Format("%s %d", connectionClass.DisplayName(), static_cast<int>(sameClass) + 1);
    }
  }
  if (!CheckUniqueCaption(caption, &AConnection)) {
    for (int n = 2;; ++n) {
      std::string candidate = caption + " " + std::to_string(n);
      if (CheckUniqueCaption(candidate, &AConnection)) {
        caption = std::move(candidate);
        break;
      }
    }
  }
  AConnection.SetCaption(caption);
}

void TConnectionsPool::Clear() {
  FConnections.clear();
  AddInternalConnections();
}

TConnection& TConnectionsPool::AddConnection(std::unique_ptr<TConnection> AConnection, int AIndex) {
  Assert(AConnection != nullptr, kModule, __LINE__);
  const TConnectionClass& connectionClass = AConnection->ClassType();
  if (connectionClass.IsInternal()) {
    throw Exception::CannotAddInternalConnection(connectionClass);
  }
  if (AIndex != -1) {
    CheckListIndex(AIndex, Count() + 1);
  }
  MakeUniqueCaption(*AConnection);
  const auto position = AIndex == -1 ? FConnections.end() : FConnections.begin() + AIndex;
  return **FConnections.insert(position, std::move(AConnection));
}

int TConnectionsPool::DeleteConnection(const TConnection& AConnection) {
  if (AConnection.ClassType().IsInternal()) {
    throw Exception::CannotDeleteInternalConnection(AConnection);
  }
  const auto it = std::find_if(FConnections.begin(), FConnections.end(),
                               [&](const auto& item) { return item.get() == &AConnection; });
  if (it == FConnections.end()) {
    return -1;
  }
  const int index = static_cast<int>(it - FConnections.begin());
  FConnections.erase(it);
  return index;
}

TConnection* TConnectionsPool::FindConnection(const std::string& ClassID,
                                              const std::string& Address) const {
  const std::string wanted = IncludeTrailingBackslash(Address);
  for (const auto& connection : FConnections) {
    const TConnectionClass& connectionClass = connection->ClassType();
    if (connectionClass.ClassID() == ClassID &&
        (connectionClass.IsInternal() ||
         platform::SameTextLocale(IncludeTrailingBackslash(connection->Address()), wanted))) {
      return connection.get();
    }
  }
  return nullptr;
}

TConnection* TConnectionsPool::FindConnection(const TDocumentLocation& ADocLocation) const {
  return FindConnection(ADocLocation.ConnectionClassId, ADocLocation.BaseAddress);
}

TConnection* TConnectionsPool::FindConnection(const std::string& ClassID) const {
  for (const auto& connection : FConnections) {
    if (connection->ClassType().ClassID() == ClassID) {
      return connection.get();
    }
  }
  return nullptr;
}

std::string TConnectionsPool::GetLocationDisplayName(const TDocumentLocation& Location) const {
  if (const TConnection* connection = FindConnection(Location)) {
    return Format("%s: %s", connection->Caption(), Location.LocalPath);
  }
  return Format("%s: %s", Location.ConnectionClassId, Location.FullPath());
}

bool TConnectionsPool::CheckUniqueCaption(const std::string& value,
                                          const TConnection* Exclude) const {
  const std::string_view caption = Trim(value);
  return std::none_of(FConnections.begin(), FConnections.end(), [&](const auto& connection) {
    return connection.get() != Exclude && platform::SameTextLocale(connection->Caption(), caption);
  });
}

bool TConnectionsPool::CheckUniqueAddress(const std::string& value,
                                          const TConnection* Exclude) const {
  const std::string_view address = Trim(value);
  return std::none_of(FConnections.begin(), FConnections.end(), [&](const auto& connection) {
    return connection.get() != Exclude && platform::SameTextLocale(connection->Address(), address);
  });
}

void TConnectionsPool::ConnectionExchange(int Index1, int Index2) {
  CheckListIndex(Index1, Count());
  CheckListIndex(Index2, Count());
  std::swap(FConnections[static_cast<size_t>(Index1)], FConnections[static_cast<size_t>(Index2)]);
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

void TConnectionsPool::LoadFromOptionsStorage(bool OnlyNBTEmplateLocation) {
  const std::string fileName = OptionsFileName();
  FOptionsFileExists = platform::FileExists(fileName);
  if (!FOptionsFileExists && !OnlyNBTEmplateLocation) {
    Clear();
    return;
  }
  // A file that does not load fails here, before the list changes.
  const TIntfPtr<IOptionsReader> reader = TOptionsStorageFactory::CreateReader(fileName);
  if (!OnlyNBTEmplateLocation) {
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
