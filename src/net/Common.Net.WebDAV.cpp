#include "net/Common.Net.WebDAV.h"

#include <algorithm>
#include <cctype>

#include "base/Rtti.h"
#include "common/Iso8601DateTime.h"
#include "net/HttpDate.h"
#include "options/Common.XMLUtils.h"

namespace kv {

KV_DEFINE_CLASS(TPropFindEntry, "TPropFindEntry", TObject)
KV_DEFINE_CLASS(TPropFind, "TPropFind", TObject)

namespace {

constexpr const char* kDavNamespace = "xmlns:d=\"DAV:\"";

std::string TextOf(const platform::TXmlNode& node, const char* xpath) {
  return SelectNode(node, xpath, kDavNamespace).Text();
}

std::optional<int64_t> DecimalInt64(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  const size_t last = text.find_last_not_of(" \t\r\n");
  if (first == std::string::npos || last - first + 1 > 18) {
    return std::nullopt;
  }
  const std::string digits = text.substr(first, last - first + 1);
  if (!std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c); })) {
    return std::nullopt;
  }
  return std::stoll(digits);
}

// Removes the header for the lifetime of the guard when it added it.
class TDepthHeader {
 public:
  explicit TDepthHeader(TWinInetWebClient& client) : FHeaders(client.Headers()) {
    const bool named = std::any_of(FHeaders.begin(), FHeaders.end(), [](const auto& header) {
      std::string name = header.first;
      std::transform(name.begin(), name.end(), name.begin(),
                     [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
      return name == "depth";
    });
    if (!named) {
      FHeaders.emplace("Depth", "1");
      FAdded = true;
    }
  }
  ~TDepthHeader() {
    if (FAdded) {
      FHeaders.erase("Depth");
    }
  }
  TDepthHeader(const TDepthHeader&) = delete;
  TDepthHeader& operator=(const TDepthHeader&) = delete;

 private:
  std::map<std::string, std::string>& FHeaders;
  bool FAdded = false;
};

}  // namespace

TPropFindEntry::TPropFindEntry(const platform::TXmlNode& responseXML) : FXML(responseXML) {
  FUrl = SelectRequiredNode(responseXML, "d:href", kDavNamespace).Text();
  if (auto modified =
          SelectNode(responseXML, "d:propstat/d:prop/d:getlastmodified", kDavNamespace)) {
    const std::string text = modified.Text();
    if (auto date = ParseHttpDate(text)) {
      FChangeDate = *date;
    } else {
      FChangeDate = ISO8601ToDateTimeDef(text, 0);
    }
  }
  FContentSize =
      DecimalInt64(TextOf(responseXML, "d:propstat/d:prop/d:getcontentlength")).value_or(0);
  FStatus = TextOf(responseXML, "d:propstat/d:status");
  FIsContainer = static_cast<bool>(
      SelectNode(responseXML, "d:propstat/d:prop/d:resourcetype/d:collection", kDavNamespace));
  std::string href = FUrl;
  if (!href.empty() && href.back() == '/') {
    href.pop_back();
  }
  FEntryName = UrlDecode(ExtractUrlFileName(href));
}

TPropFind::TPropFind(const platform::TXmlNode& response) : FXML(response) {
  for (const platform::TXmlNode& node : SelectNodes(response, "//d:response", kDavNamespace)) {
    FEntries.push_back(std::make_unique<TPropFindEntry>(node));
  }
}

TSharedPtr<TPropFind> PropFind(const std::string& url) {
  TWinInetWebClient client;
  return PropFind(client, url);
}

TSharedPtr<TPropFind> PropFind(TWinInetWebClient& client, const std::string& url) {
  TMemoryStream answer;
  {
    const TDepthHeader depth(client);
    client.SendRequest(url, "PROPFIND", &answer, nullptr);
  }
  std::string bytes(static_cast<size_t>(answer.Size()), '\0');
  answer.SetPosition(0);
  if (!bytes.empty()) {
    answer.ReadBuffer(bytes.data(), answer.Size());
  }
  // A multi-status answer has no document type; one that declares one is refused before the
  // parser could expand or fetch its entities.
  if (bytes.find("<!DOCTYPE") != std::string::npos) {
    throw platform::EXmlParseError("The server's answer declares a document type");
  }
  const platform::TXmlDocument document = LoadXMLFromBytes(bytes);
  return TSharedPtr<TPropFind>(new TPropFind(document.DocumentElement()));
}

}  // namespace kv
