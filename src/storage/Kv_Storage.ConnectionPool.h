#pragma once
// The client's list of data sources, kept in its option file Connections.xml, whose layout the
// client reads: the connections in display order, the normative-base template location and the
// region information last stored.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/Exceptions.h"
#include "base/Rtti.h"
#include "options/Common.OptionsStorage.h"
#include "platform/Xml.h"
#include "storage/Kv_Storage.Types.h"

namespace kv {

// The region of the normative base last stored.
class TNBRegionInfo : public TObject {
  KV_CLASS_INFO()
 public:
  const std::string& Name() const { return FName; }
  void SetName(const std::string& value) { FName = value; }
  int32_t ShortCode() const { return FShortCode; }
  void SetShortCode(int32_t value) { FShortCode = value; }
  const std::string& Zone2001Name() const { return FZone2001Name; }
  void SetZone2001Name(const std::string& value) { FZone2001Name = value; }
  const std::string& Zone1984Name() const { return FZone1984Name; }
  void SetZone1984Name(const std::string& value) { FZone1984Name = value; }

  void Assign(const TNBRegionInfo& source);

 private:
  std::string FName = "Нет данных";
  int32_t FShortCode = -1;
  std::string FZone2001Name;
  std::string FZone1984Name;
};

class TConnectionsPool : public TObject {
  KV_CLASS_INFO()
 public:
  class Exception : public kv::Exception {
    KV_CLASS_INFO()
   public:
    using kv::Exception::Exception;
    static Exception CannotAddInternalConnection(const TConnectionClass& connectionClass);
    static Exception CannotDeleteInternalConnection(const TConnection& connection);
    static Exception ConnectionByClassNotFound(const TConnectionClass& connectionClass);
  };

  // Holds one instance of every internal connection class.
  TConnectionsPool();
  TConnectionsPool(const TConnectionsPool&) = delete;
  TConnectionsPool& operator=(const TConnectionsPool&) = delete;

  // Destroys every connection and every stored entry kept from the last load, then adds the
  // internal connections again.
  void Clear();
  // Takes the connection over, appended (index -1) or inserted at index (0 to Count), with its
  // caption made unique. Internal classes are refused; another index raises EListError.
  TConnection& AddConnection(std::unique_ptr<TConnection> connection, int index = -1);
  // Destroys the connection; its former index, or -1 when the pool does not hold it. Internal
  // connections are refused.
  int DeleteConnection(const TConnection& connection);

  // The first connection of exactly the class id that is internal or has the address; addresses
  // are compared with a trailing backslash and without regard to letter case. Null when none.
  TConnection* FindConnection(const std::string& classID, const std::string& address) const;
  TConnection* FindConnection(const TDocumentLocation& docLocation) const;
  // The first connection of exactly the class id; null when none.
  TConnection* FindConnection(const std::string& classID) const;

  // "caption: local path" of the location's data source; "class id: full path" when the pool
  // does not hold it.
  std::string GetLocationDisplayName(const TDocumentLocation& location) const;
  // False when a connection other than exclude has the caption (or address), letter case
  // ignored; the caption is trimmed first.
  bool CheckUniqueCaption(const std::string& value, const TConnection* exclude) const;
  bool CheckUniqueAddress(const std::string& value, const TConnection* exclude) const;
  // Swaps two entries; an index outside the list raises EListError.
  void ConnectionExchange(int index1, int index2);

  // Reads the client's Connections.xml. A file that does not load fails before the pool changes
  // (OptionsFileExists apart). What the pool cannot model is kept for the next save: entries of
  // classes this program does not know, repeated key names, attributes and elements the layout
  // does not name, comments. Stored internal connections are dropped: the pool makes its own.
  // With onlyNBTEmplateLocation, only the template location and the region information are read.
  void LoadFromOptionsStorage(bool onlyNBTEmplateLocation);
  // Rewrites the client's Connections.xml with the pool's content and, in their places, what the
  // last load kept; the entries are numbered anew from 1. A failed save leaves the old file whole
  // and raises.
  void SaveToOptionsStorage();

  // The connections in list order.
  std::vector<TConnection*> Connections() const;
  int Count() const { return static_cast<int>(FConnections.size()); }

  const TDocumentLocation& NBTemplateLocation() const { return FNBTemplateLocation; }
  void SetNBTemplateLocation(const TDocumentLocation& value) { FNBTemplateLocation = value; }
  // Whether the option file existed at the last load.
  bool OptionsFileExists() const { return FOptionsFileExists; }
  void SetOptionsFileExists(bool value) { FOptionsFileExists = value; }
  TNBRegionInfo& StoredRegionInfo() { return FStoredRegionInfo; }
  const TNBRegionInfo& StoredRegionInfo() const { return FStoredRegionInfo; }

 private:
  using TAttributes = std::vector<std::pair<std::string, std::string>>;
  // What a key held that the pool does not write itself.
  struct TKeyExtras {
    TAttributes Attributes;
    platform::TXmlNodeList Children;
  };
  // What the file held beyond the pool's model at the last load.
  struct TForeignContent {
    TAttributes RootAttributes;
    // The children of the root but text, in document order, the pool's own keys included.
    platform::TXmlNodeList RootChildren;
    TAttributes ConnectionsAttributes;
    // The nodes among the stored entries that the pool did not load, each with the number of
    // loaded entries before it.
    std::vector<std::pair<int, platform::TXmlNode>> Entries;
    std::map<const TConnection*, TKeyExtras> EntryExtras;
    TKeyExtras TemplateLocation;
    TKeyExtras RegionInfo;
  };

  void AddInternalConnections();
  void MakeUniqueCaption(TConnection& connection) const;
  static std::string OptionsFileName();
  void LoadConnections(const platform::TXmlNode& root, IOptionsReader& reader);
  void SaveOwnKey(const std::string& name, IOptionsWriter& writer, platform::TXmlNode& root);
  void SaveConnections(IOptionsWriter& writer, platform::TXmlNode& root);

  std::vector<std::unique_ptr<TConnection>> FConnections;
  TDocumentLocation FNBTemplateLocation;
  bool FOptionsFileExists = false;
  TNBRegionInfo FStoredRegionInfo;
  TForeignContent FForeign;
};

}  // namespace kv
