#include "storage/Kv_Storage.ConnectionPool.h"

#include <algorithm>
#include <climits>
#include <set>
#include <string_view>
#include <utility>

#include "base/Format.h"
#include "common/Common.SysUtils.h"
#include "options/Common.OptionsStorage.Serializer.h"
#include "options/Common.OptionsStorage.XML.h"
#include "platform/Files.h"
#include "platform/Text.h"
#include "sysinfo/SysInfo.Core.Smeta9.h"

namespace kv {
namespace {

constexpr const char* kModule = "Modules\\KalvorSmeta\\Common\\Kv_Storage.ConnectionPool";

// The pool's own keys below the root, in the order a new file has them.
const char* const kConnectionsKey = "Connections";
const char* const kTemplateLocationKey = "NBTemplateLocation";
const char* const kRegionInfoKey = "RegionInfo";
const std::vector<std::string> kTemplateLocationNames = {"ConnectionClassId", "BaseAddress",
                                                         "LocalPath"};

void CheckListIndex(int index, int count) {
  if (index < 0 || index >= count) {
    throw EListError(Format("List index out of bounds (%d)", index));
  }
}

// The attributes an element holds beyond the names, written back as they were. Names that
// carry a prefix cannot be set again without their namespace and are left out.
std::vector<std::pair<std::string, std::string>> OtherAttributes(
    const platform::TXmlNode& element, const std::vector<std::string>& names) {
  std::vector<std::pair<std::string, std::string>> others;
  for (auto& [name, value] : element.Attributes()) {
    if (std::find(names.begin(), names.end(), name) == names.end() && platform::IsXmlNCName(name)) {
      others.emplace_back(std::move(name), std::move(value));
    }
  }
  return others;
}

// The children of an element but those of the names and text: an option file's keys hold no
// text of their own.
platform::TXmlNodeList OtherChildren(const platform::TXmlNode& element,
                                     const std::vector<std::string>& names) {
  platform::TXmlNodeList others;
  for (platform::TXmlNode& child : element.Children()) {
    const std::string name = child.Name();
    if (name != "#text" && std::find(names.begin(), names.end(), name) == names.end()) {
      others.push_back(std::move(child));
    }
  }
  return others;
}

// Attributes the pool wrote itself win over kept ones of the same name.
void AddAttributes(platform::TXmlNode& element,
                   const std::vector<std::pair<std::string, std::string>>& attributes) {
  for (const auto& [name, value] : attributes) {
    if (!element.Attribute(name)) {
      element.SetAttribute(name, value);
    }
  }
}

void AddCopies(platform::TXmlNode& element, const platform::TXmlNodeList& nodes) {
  for (const platform::TXmlNode& node : nodes) {
    element.AppendCopy(node);
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
  FForeign.Entries.clear();
  FForeign.EntryExtras.clear();
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
  FForeign.EntryExtras.erase(it->get());
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
    FForeign = {};
    return;
  }
  // A file that does not load fails here, before the pool changes.
  TXmlOptionsReader* const xmlReader = New<TXmlOptionsReader>(fileName);
  const TIntfPtr<IOptionsReader> reader(xmlReader);
  const platform::TXmlNode root = xmlReader->Node();
  if (!onlyNBTEmplateLocation) {
    LoadConnections(root, *reader);
  }
  const TIntfPtr<IOptionsReader> location = reader->OpenSubkey(kTemplateLocationKey);
  FNBTemplateLocation = TDocumentLocation::Make(location->ReadString("ConnectionClassId", ""),
                                                location->ReadString("BaseAddress", ""),
                                                location->ReadString("LocalPath", ""));
  TOptionsSerializer::DeserializeObject(*reader->OpenSubkey(kRegionInfoKey), FStoredRegionInfo);
  if (!onlyNBTEmplateLocation) {
    const platform::TXmlNode locationNode = root.Child(kTemplateLocationKey);
    FForeign.TemplateLocation = {OtherAttributes(locationNode, kTemplateLocationNames),
                                 OtherChildren(locationNode, {})};
    const platform::TXmlNode regionNode = root.Child(kRegionInfoKey);
    const std::vector<std::string> regionNames = TOptionsSerializer::StoredNames(FStoredRegionInfo);
    FForeign.RegionInfo = {OtherAttributes(regionNode, regionNames),
                           OtherChildren(regionNode, regionNames)};
  }
}

void TConnectionsPool::LoadConnections(const platform::TXmlNode& root, IOptionsReader& reader) {
  Clear();
  FForeign = {};
  FForeign.RootAttributes = OtherAttributes(root, {});
  FForeign.RootChildren = OtherChildren(root, {});
  const platform::TXmlNode connectionsNode = root.Child(kConnectionsKey);
  FForeign.ConnectionsAttributes = OtherAttributes(connectionsNode, {});
  const TIntfPtr<IOptionsReader> connections = reader.OpenSubkey(kConnectionsKey);
  // A key name is found by its first element only: a repeated name is kept as it is, as is every
  // entry of a class this program does not know.
  std::set<std::string> names;
  int loaded = 0;
  for (const platform::TXmlNode& node : OtherChildren(connectionsNode, {})) {
    const std::string name = node.Name();
    const TIntfPtr<IOptionsReader> key =
        node.IsElement() && names.insert(name).second ? connections->OpenSubkey(name) : nullptr;
    const TConnectionClass* connectionClass =
        key ? TConnectionsFactory::FindByClassID(key->ReadString("ClassID", ""), false) : nullptr;
    if (!connectionClass) {
      FForeign.Entries.emplace_back(loaded, node);
      continue;
    }
    if (connectionClass->IsInternal()) {
      continue;
    }
    std::unique_ptr<TConnection> connection = connectionClass->Create();
    TOptionsSerializer::DeserializeObject(*key, *connection);
    std::vector<std::string> stored = TOptionsSerializer::StoredNames(*connection);
    stored.push_back("ClassID");
    FForeign.EntryExtras[connection.get()] = {OtherAttributes(node, stored),
                                              OtherChildren(node, stored)};
    FConnections.push_back(std::move(connection));
    MakeUniqueCaption(*FConnections.back());
    ++loaded;
  }
}

void TConnectionsPool::SaveToOptionsStorage() {
  TXmlOptionsWriter* const xmlWriter = New<TXmlOptionsWriter>(OptionsFileName());
  const TIntfPtr<IOptionsWriter> writer(xmlWriter);
  writer->Clear();
  platform::TXmlNode root = xmlWriter->Node();
  AddAttributes(root, FForeign.RootAttributes);
  // The pool's own keys take the places of the first elements of their names.
  std::set<std::string> written;
  const auto saveOwnKey = [&](const std::string& name) {
    if (name != kConnectionsKey && name != kTemplateLocationKey && name != kRegionInfoKey) {
      return false;
    }
    if (!written.insert(name).second) {
      return false;
    }
    SaveOwnKey(name, *writer, root);
    return true;
  };
  for (const platform::TXmlNode& child : FForeign.RootChildren) {
    if (!(child.IsElement() && saveOwnKey(child.Name()))) {
      root.AppendCopy(child);
    }
  }
  for (const char* name : {kConnectionsKey, kTemplateLocationKey, kRegionInfoKey}) {
    saveOwnKey(name);
  }
  writer->Save();
}

void TConnectionsPool::SaveOwnKey(const std::string& name, IOptionsWriter& writer,
                                  platform::TXmlNode& root) {
  if (name == kConnectionsKey) {
    SaveConnections(writer, root);
    return;
  }
  const TIntfPtr<IOptionsWriter> key = writer.OpenSubkey(name);
  const TKeyExtras* extras = &FForeign.RegionInfo;
  if (name == kTemplateLocationKey) {
    key->WriteString("ConnectionClassId", FNBTemplateLocation.ConnectionClassId, "");
    key->WriteString("BaseAddress", FNBTemplateLocation.BaseAddress, "");
    key->WriteString("LocalPath", FNBTemplateLocation.LocalPath, "");
    extras = &FForeign.TemplateLocation;
  } else {
    TOptionsSerializer::SerializeObject(*key, FStoredRegionInfo);
  }
  platform::TXmlNode node = root.Child(name);
  AddAttributes(node, extras->Attributes);
  AddCopies(node, extras->Children);
}

void TConnectionsPool::SaveConnections(IOptionsWriter& writer, platform::TXmlNode& root) {
  const TIntfPtr<IOptionsWriter> connections = writer.OpenSubkey(kConnectionsKey);
  platform::TXmlNode connectionsNode = root.Child(kConnectionsKey);
  AddAttributes(connectionsNode, FForeign.ConnectionsAttributes);
  int n = 0;
  auto kept = FForeign.Entries.begin();
  // The kept nodes that came before the given number of loaded entries, as numbered entries.
  const auto saveKept = [&](int loaded) {
    for (; kept != FForeign.Entries.end() && kept->first <= loaded; ++kept) {
      const platform::TXmlNode& node = kept->second;
      connectionsNode.AppendCopy(node, node.IsElement() ? Format("Connection_%d", ++n) : "");
    }
  };
  int index = 0;
  for (const auto& connection : FConnections) {
    const TConnectionClass& connectionClass = connection->ClassType();
    if (connectionClass.IsInternal()) {
      continue;
    }
    saveKept(index++);
    const std::string name = Format("Connection_%d", ++n);
    const TIntfPtr<IOptionsWriter> key = connections->OpenSubkey(name);
    TOptionsSerializer::SerializeObject(*key, *connection);
    key->WriteString("ClassID", connectionClass.ClassID(), "");
    key->WriteString("Caption", connection->Caption(), "");
    if (const auto extras = FForeign.EntryExtras.find(connection.get());
        extras != FForeign.EntryExtras.end()) {
      platform::TXmlNode node = connectionsNode.Child(name);
      AddAttributes(node, extras->second.Attributes);
      AddCopies(node, extras->second.Children);
    }
  }
  saveKept(INT_MAX);
}

}  // namespace kv
