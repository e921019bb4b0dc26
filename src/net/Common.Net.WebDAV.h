#pragma once
// Listing a WebDAV collection: one PROPFIND request, its multi-status answer read into one entry
// per resource.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/DateTime.h"
#include "base/Object.h"
#include "common/SharedPtr.h"
#include "net/Common.Net.WinInet.h"
#include "platform/Xml.h"

namespace kv {

// One resource of a listing.
class TPropFindEntry : public TObject {
  KV_CLASS_INFO()
 public:
  // Reads one "response" element; raises EXMLNodeNotFound when it has no "href".
  explicit TPropFindEntry(const platform::TXmlNode& responseXML);

  // The resource's own name, percent-decoded; a collection's too.
  const std::string& EntryName() const { return FEntryName; }
  // The href exactly as the server wrote it.
  const std::string& Url() const { return FUrl; }
  // The last change in UTC when the server wrote an HTTP date (as WebDAV servers do); an
  // ISO 8601 date as written, its zone not applied. 0 when absent or unreadable.
  TDateTime ChangeDate() const { return FChangeDate; }
  // 0 when absent or not a number.
  int64_t ContentSize() const { return FContentSize; }
  // The first propstat's status line; empty when absent.
  const std::string& Status() const { return FStatus; }
  bool IsContainer() const { return FIsContainer; }
  const platform::TXmlNode& XML() const { return FXML; }

 private:
  TDateTime FChangeDate = 0;
  std::string FUrl;
  int64_t FContentSize = 0;
  std::string FStatus;
  std::string FEntryName;
  bool FIsContainer = false;
  platform::TXmlNode FXML;
};

// The entries of a multi-status answer in document order; the requested collection itself is
// among them (servers list it first).
class TPropFind : public TObject {
  KV_CLASS_INFO()
 public:
  explicit TPropFind(const platform::TXmlNode& response);

  const std::vector<std::unique_ptr<TPropFindEntry>>& Entries() const { return FEntries; }
  int32_t EntryCount() const { return static_cast<int32_t>(FEntries.size()); }
  const platform::TXmlNode& XML() const { return FXML; }

 private:
  std::vector<std::unique_ptr<TPropFindEntry>> FEntries;
  platform::TXmlNode FXML;
};

// Lists the collection with a fresh client.
TSharedPtr<TPropFind> PropFind(const std::string& url);
// Lists the collection with the client's settings and headers. "Depth: 1" goes with the request
// unless the client's headers name a depth; the client is left as it was.
TSharedPtr<TPropFind> PropFind(TWinInetWebClient& client, const std::string& url);

}  // namespace kv
