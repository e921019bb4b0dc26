#pragma once
// The client's list of data sources, kept in its option file Connections.xml, whose layout the
// client reads: the connections in display order, the normative-base template location and the
// region information last stored.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/Exceptions.h"
#include "base/Rtti.h"
#include "storage/Kv_Storage.Types.h"

namespace kv {

// The region of the normative base last stored.
class TNBRegionInfo : public TObject {
  KV_CLASS_INFO()
 public:
  const std::string& Name() const { return FName; }
  void SetName(const std::string& Value) { FName = Value; }
  int32_t ShortCode() const { return FShortCode; }
  void SetShortCode(int32_t Value) { FShortCode = Value; }
  const std::string& Zone2001Name() const { return FZone2001Name; }
  void SetZone2001Name(const std::string& Value) { FZone2001Name = Value; }
  const std::string& Zone1984Name() const { return FZone1984Name; }
  void SetZone1984Name(const std::string& Value) { FZone1984Name = Value; }

  void Assign(const TNBRegionInfo& Source);

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
    static Exception CannotAddInternalConnection(const TConnectionClass& AConnectionClass);
    static Exception CannotDeleteInternalConnection(const TConnection& AConnection);
    static Exception ConnectionByClassNotFound(const TConnectionClass& AConnectionClass);
  };

  // Holds one instance of every internal connection class.
  TConnectionsPool();
  TConnectionsPool(const TConnectionsPool&) = delete;
  TConnectionsPool& operator=(const TConnectionsPool&) = delete;

  // Destroys every connection, then adds the internal connections again.
  void Clear();
  // Takes the connection over, appended (AIndex -1) or inserted at AIndex (0 to Count), with its
  // caption made unique. Internal classes are refused; another AIndex raises EListError.
  TConnection& AddConnection(std::unique_ptr<TConnection> AConnection, int AIndex = -1);
  // Destroys the connection; its former index, or -1 when the pool does not hold it. Internal
  // connections are refused.
  int DeleteConnection(const TConnection& AConnection);

  // The first connection of exactly the class id that is internal or has the address; addresses
  // are compared with a trailing backslash and without regard to letter case. Null when none.
  TConnection* FindConnection(const std::string& ClassID, const std::string& Address) const;
  TConnection* FindConnection(const TDocumentLocation& ADocLocation) const;
  // The first connection of exactly the class id; null when none.
  TConnection* FindConnection(const std::string& ClassID) const;

  // "caption: local path" of the location's data source; "class id: full path" when the pool
  // does not hold it.
  std::string GetLocationDisplayName(const TDocumentLocation& Location) const;
  // False when a connection other than Exclude has the caption (or address), letter case
  // ignored; the caption is trimmed first.
  bool CheckUniqueCaption(const std::string& value, const TConnection* Exclude) const;
  bool CheckUniqueAddress(const std::string& value, const TConnection* Exclude) const;
  // Swaps two entries; an index outside the list raises EListError.
  void ConnectionExchange(int Index1, int Index2);

  // Reads the client's Connections.xml. A file that does not load fails before the pool changes
  // (OptionsFileExists apart); connections of unknown or internal classes are dropped. With
  // OnlyNBTEmplateLocation, only the template location and the region information are read.
  void LoadFromOptionsStorage(bool OnlyNBTEmplateLocation);
  // Rewrites the client's Connections.xml with the pool's content alone.
  void SaveToOptionsStorage();

  // The connections in list order.
  std::vector<TConnection*> Connections() const;
  int Count() const { return static_cast<int>(FConnections.size()); }

  const TDocumentLocation& NBTemplateLocation() const { return FNBTemplateLocation; }
  void SetNBTemplateLocation(const TDocumentLocation& Value) { FNBTemplateLocation = Value; }
  // Whether the option file existed at the last load.
  bool OptionsFileExists() const { return FOptionsFileExists; }
  void SetOptionsFileExists(bool Value) { FOptionsFileExists = Value; }
  TNBRegionInfo& StoredRegionInfo() { return FStoredRegionInfo; }
  const TNBRegionInfo& StoredRegionInfo() const { return FStoredRegionInfo; }

 private:
  void AddInternalConnections();
  void MakeUniqueCaption(TConnection& AConnection) const;
  static std::string OptionsFileName();

  std::vector<std::unique_ptr<TConnection>> FConnections;
  TDocumentLocation FNBTemplateLocation;
  bool FOptionsFileExists = false;
  TNBRegionInfo FStoredRegionInfo;
};

}  // namespace kv
