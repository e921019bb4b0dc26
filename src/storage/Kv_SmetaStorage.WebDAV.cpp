#include "storage/Kv_SmetaStorage.WebDAV.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <optional>
#include <string_view>

#include "common/Common.SysUtils.h"
#include "net/Common.Net.WebDAV.h"
#include "net/Common.Net.WinInet.h"
#include "net/Common.Net.h"
#include "net/Kv_KalvorSmetaRuSettings.h"
#include "net/SafeFileName.h"
#include "options/Common.Attributes.h"
#include "platform/Files.h"
#include "platform/Shell.h"
#include "storage/Kv_Storage.ConnectionPool.h"

namespace kv {
namespace {

std::string AsciiLower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

bool StartsWithIgnoringCase(const std::string& text, std::string_view prefix) {
  return text.size() >= prefix.size() && AsciiLower(text.substr(0, prefix.size())) == prefix;
}

// A server's text decoded for display and comparison; as it stands when its escapes are broken.
std::string DecodedOrAsIs(const std::string& text) {
  try {
    return UrlDecode(text);
  } catch (const EConvertError&) {
    return text;
  }
}

// ---- entries ----

// What every entry keeps: its name, address and dates, and a link to its storage.
class TEntry : public TFlexibleInterfacedObject {
 public:
  TEntry(TSmetaStorageLink storage, std::string description, std::string url, TDateTime changed)
      : FStorage(std::move(storage)),
        FDescription(std::move(description)),
        FUrl(std::move(url)),
        FDateCreate(changed),
        FDateChange(changed) {}

  TWebDAVReadOnlySmetaStorage& Storage() const {
    return static_cast<TWebDAVReadOnlySmetaStorage&>(FStorage.Get());
  }

 protected:
  [[noreturn]] void RaiseReadOnly() const {
    throw ESmetaStorageError::ItemIsReadOnly(FDescription, "");
  }

  TSmetaStorageLink FStorage;
  std::string FDescription;
  std::string FUrl;
  TDateTime FDateCreate;
  TDateTime FDateChange;
};

// An entry answering the interface I, which extends ISmetaStorageEntry.
template <class I>
class TEntryOf : public TEntry, public I {
  KV_INTERFACED_OBJECT()
 public:
  using TEntry::TEntry;

  std::string GetDescription() override { return FDescription; }
  std::string GetShortPath() override { return FDescription; }
  void ChangeOperation1() override { RaiseReadOnly(); }
  TDateTime GetDateCreate() override { return FDateCreate; }
  TDateTime GetDateChange() override { return FDateChange; }
  void ChangeOperation2() override { RaiseReadOnly(); }
  void ChangeOperation3() override { RaiseReadOnly(); }

 protected:
  bool GetInterface(const TGUID& iid, void** obj) noexcept override {
    if (iid == I::IID) {
      *obj = static_cast<I*>(this);
      return true;
    }
    if (iid == ISmetaStorageEntry::IID) {
      *obj = static_cast<ISmetaStorageEntry*>(static_cast<I*>(this));
      return true;
    }
    return TEntry::GetInterface(iid, obj);
  }
};

class TFolder final : public TEntryOf<ISmetaStorageFolder> {
 public:
  using TEntryOf::TEntryOf;

  bool GetHasSubItems() override { return true; }
  // Folders on the server keep no properties file.
  TFolderProperties GetProperies() override { return {}; }
  void SetProperties(const TFolderProperties&) override { RaiseReadOnly(); }
  TIntfPtr<ISmetaStorageFolder> CreateFolder(const std::string&) override { RaiseReadOnly(); }
  TIntfPtr<ISmetaStorageDocument> CreateDocument(const std::string&,
                                                 const TKvDocCommonProperties&) override {
    RaiseReadOnly();
  }
  TIntfPtr<ISmetaStorageExternalDocument> CreateExternalDocument(const std::string&,
                                                                 TStream&) override {
    RaiseReadOnly();
  }
  TSmetaStorageEntries LoadChildItems() override;
  TIntfPtr<ISmetaStorageEntry> FindEntry(const std::string&) override {
    throw ESmetaStorageError("TFolder.FindEntry не реализовано");
  }
};

class TDocument final : public TEntryOf<ISmetaStorageDocument> {
 public:
  TDocument(TSmetaStorageLink storage, std::string description, std::string url, TDateTime changed,
            TSmetaDocumentType docType)
      : TEntryOf(std::move(storage), std::move(description), std::move(url), changed),
        FDocType(docType) {}

  bool IsLocked() override { return false; }
  TKvDocCommonProperties GetProperties() override {
    return TKvDocCommonProperties::Create(FDocType);
  }
  void Lock() override { RaiseReadOnly(); }
  void Unlock() override { RaiseReadOnly(); }
  std::unique_ptr<TStream> CreateReadStream() override {
    auto stream = std::make_unique<TMemoryStream>();
    TWinInetWebClient().DownloadData(FUrl, *stream);
    stream->SetPosition(0);
    return stream;
  }
  std::unique_ptr<TSmetaStorageDocumentWriteStream> CreateWriteStream() override {
    RaiseReadOnly();
  }

 private:
  TSmetaDocumentType FDocType;
};

class TExternalDocument final : public TEntryOf<ISmetaStorageExternalDocument> {
 public:
  using TEntryOf::TEntryOf;

  void ReadData(TStream& data) override { TWinInetWebClient().DownloadData(FUrl, data); }
  void Edit() override;
};

// The client's document type a listed file declares, if it declares one.
std::optional<TSmetaDocumentType> DeclaredDocumentType(const TPropFindEntry& entry) {
  const std::string text(Trim(entry.XML()
                                  .SelectSingleNode("d:propstat/d:prop/smeta:SmetaDocType",
                                                    std::string("xmlns:d=\"DAV:\" xmlns:smeta=\"") +
                                                        DocumentSchemaNamespace + "\"")
                                  .Text()));
  int value = -1;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < sdtSmeta ||
      value > sdtTranspCalc) {
    return std::nullopt;
  }
  return static_cast<TSmetaDocumentType>(value);
}

void PrefixListingError(Exception& error, const std::string& folderUrl) {
  error.SetMessage("Ошибка получении дочерних элементов по ссылке\r\n" + DecodedOrAsIs(folderUrl) +
                   "\r\nТекст ошибки: " + error.Message());
}

TSmetaStorageEntries TFolder::LoadChildItems() {
  const TWebDAVReadOnlySmetaStorage& owner = Storage();
  TSharedPtr<TPropFind> listing;
  try {
    listing = PropFind(FUrl);
  } catch (EHttpStatusException& e) {
    PrefixListingError(e, FUrl);
    throw;
  } catch (EWinInetException& e) {
    PrefixListingError(e, FUrl);
    throw;
  }
  const TSmetaStorageLink& storage = FStorage;
  TSmetaStorageEntries result;
  result.reserve(listing->Entries().size());
  for (const auto& entry : listing->Entries()) {
    std::string url = owner.MakeEntryUrl(entry->Url());
    if (IsSameResourceUrl(url, FUrl)) {
      continue;
    }
    if (entry->IsContainer()) {
      result.emplace_back(
          New<TFolder>(storage, entry->EntryName(), std::move(url), entry->ChangeDate()));
    } else if (const auto docType = DeclaredDocumentType(*entry)) {
      result.emplace_back(New<TDocument>(storage, entry->EntryName(), std::move(url),
                                         entry->ChangeDate(), *docType));
    } else {
      result.emplace_back(
          New<TExternalDocument>(storage, entry->EntryName(), std::move(url), entry->ChangeDate()));
    }
  }
  return result;
}

// The copy goes into a folder of its own, under a name that cannot leave it; a type that would be
// run is refused before anything is fetched. The copy is read-only: it is a view, and changes
// made to it are not sent back.
void TExternalDocument::Edit() {
  const std::string name = SafeFileName(FDescription, DecodedOrAsIs(ExtractUrlFileName(FUrl)));
  if (IsExecutableFileName(name)) {
    throw ESmetaStorageError(
        Format("Файл \"%s\" не открыт: файлы этого типа запускаются как программы", name));
  }
  const std::string folder = platform::CreateUniqueFolder(platform::TempFolder(), "kvdoc");
  const std::string file = folder + "\\" + name;
  try {
    TWinInetWebClient().DownloadData(FUrl, file);
  } catch (...) {
    platform::RemoveDir(folder);
    throw;
  }
  platform::SetFileReadOnly(file, true);
  // Best effort, as every downloader does: a volume without streams cannot hold the mark.
  platform::MarkAsDownloadedFromInternet(file);
  platform::CurrentShellOpen::Get().Open(file);
}

}  // namespace

bool IsExecutableFileName(const std::string& fileName) {
  static constexpr std::array<std::string_view, 38> kExecutable = {"exe",
                                                                   "com",
                                                                   "scr",
                                                                   "pif",
                                                                   "cpl",
                                                                   "msi",
                                                                   "msp",
                                                                   "mst",
                                                                   "bat",
                                                                   "cmd",
                                                                   "ps1",
                                                                   "psm1",
                                                                   "psd1",
                                                                   "vbs",
                                                                   "vbe",
                                                                   "js",
                                                                   "jse",
                                                                   "wsf",
                                                                   "wsh",
                                                                   "wsc",
                                                                   "hta",
                                                                   "lnk",
                                                                   "url",
                                                                   "scf",
                                                                   "inf",
                                                                   "reg",
                                                                   "jar",
                                                                   "msc",
                                                                   "application",
                                                                   "appref-ms",
                                                                   "gadget",
                                                                   "dll",
                                                                   "sys",
                                                                   "ocx",
                                                                   "chm",
                                                                   "xll",
                                                                   "settingcontent-ms",
                                                                   "library-ms"};
  const size_t dot = fileName.rfind('.');
  if (dot == std::string::npos) {
    return false;
  }
  const std::string extension = AsciiLower(fileName.substr(dot + 1));
  return std::find(kExecutable.begin(), kExecutable.end(), extension) != kExecutable.end();
}

bool IsSameResourceUrl(const std::string& a, const std::string& b) {
  TUri first;
  TUri second;
  try {
    first.Parse(a);
    second.Parse(b);
  } catch (const Exception&) {
    // A server's address that does not parse names no folder of ours.
    return false;
  }
  const auto port = [](const TUri& uri) {
    return uri.PortOrDefault(AsciiLower(uri.ProtocolOrDefault("http")) == "https" ? 443 : 80);
  };
  const auto path = [](const TUri& uri) {
    std::string result = DecodedOrAsIs(uri.Path());
    if (!result.empty() && result.back() == '/') {
      result.pop_back();
    }
    return result;
  };
  return AsciiLower(first.ProtocolOrDefault("http")) ==
             AsciiLower(second.ProtocolOrDefault("http")) &&
         AsciiLower(first.Host()) == AsciiLower(second.Host()) && port(first) == port(second) &&
         path(first) == path(second);
}

// ---- TWebDAVReadOnlySmetaStorage ----

const TSmetaStorageClass& TWebDAVReadOnlySmetaStorage::ClassInfo() {
  static const TSmetaStorageClassOf<TWebDAVReadOnlySmetaStorage, TWebDAVConnection> info(
      "TWebDAVReadOnlySmetaStorage", &TSmetaStorage::ClassInfo());
  return info;
}

TWebDAVReadOnlySmetaStorage::TWebDAVReadOnlySmetaStorage(TConnection& connection)
    : TWebDAVReadOnlySmetaStorage(connection, TWebDAVConnection::ClassInfo()) {}

TWebDAVReadOnlySmetaStorage::TWebDAVReadOnlySmetaStorage(TConnection& connection,
                                                         const TConnectionClass& connectionClass)
    : TSmetaStorageOf(connection, connectionClass),
      FRoot(New<TFolder>(Link(), "", connection.Address(), 0)) {}

int32_t TWebDAVReadOnlySmetaStorage::GetImageIndex(int32_t imageKind) {
  switch (imageKind) {
    case 0:
      return 18;
    case 1:
      return 15;
    case 2:
      return 2;
    default:
      return -1;
  }
}

TSmetaStorageEntries TWebDAVReadOnlySmetaStorage::LoadChildItems() {
  return GetRoot()->LoadChildItems();
}

TIntfPtr<ISmetaStorageEntry> TWebDAVReadOnlySmetaStorage::FindEntry(const std::string& shortPath) {
  return GetRoot()->FindEntry(shortPath);
}

TIntfPtr<ISmetaStorageFolder> TWebDAVReadOnlySmetaStorage::CreateFolder(
    const std::string& description) {
  return GetRoot()->CreateFolder(description);
}

TIntfPtr<ISmetaStorageDocument> TWebDAVReadOnlySmetaStorage::CreateDocument(
    const std::string& description, const TKvDocCommonProperties& properties) {
  return GetRoot()->CreateDocument(description, properties);
}

TIntfPtr<ISmetaStorageExternalDocument> TWebDAVReadOnlySmetaStorage::CreateExternalDocument(
    const std::string& description, TStream& data) {
  return GetRoot()->CreateExternalDocument(description, data);
}

std::string TWebDAVReadOnlySmetaStorage::MakeEntryUrl(const std::string& href) const {
  if (StartsWithIgnoringCase(href, "http://") || StartsWithIgnoringCase(href, "https://")) {
    return href;
  }
  const TUri address(Connection().Address());
  std::string prefix = address.ProtocolOrDefault("http") + "://" + address.Host();
  if (address.Port() != 0) {
    prefix += ":" + std::to_string(address.Port());
  }
  return JoinHostAndPath(prefix, href);
}

// ---- TWebDAVConnection ----

std::unique_ptr<TConnection> TWebDAVConnectionClass::Create() const {
  return std::make_unique<TWebDAVConnection>();
}

std::string TWebDAVConnectionClass::ClassID() const {
  return "KV.WebDAV.ReadOnly";
}

TStorageKinds TWebDAVConnectionClass::SupportedKinds() const {
  return {TStorageKind::Smeta};
}

TWebDAVConnection::~TWebDAVConnection() {
  Disconnect();
}

void TWebDAVConnection::Connect(const std::string&, const std::string&) {
  FConnected = true;
}

const TWebDAVConnectionClass& TWebDAVConnection::ClassInfo() {
  static const TWebDAVConnectionClass info("TWebDAVConnection", &TServerConnection::ClassInfo());
  return info;
}

// ---- TKalvorSmetaRuSmetaStorage ----

const TSmetaStorageClass& TKalvorSmetaRuSmetaStorage::ClassInfo() {
  static const TSmetaStorageClassOf<TKalvorSmetaRuSmetaStorage, TConnection> info(
      "TKalvorSmetaRuSmetaStorage", &TWebDAVReadOnlySmetaStorage::ClassInfo());
  return info;
}

TKalvorSmetaRuSmetaStorage::TKalvorSmetaRuSmetaStorage(kv::TConnection& connection)
    : TWebDAVReadOnlySmetaStorage(connection, TConnection::ClassInfo()) {}

std::unique_ptr<TConnection> TKalvorSmetaRuSmetaStorageConnectionClass::Create() const {
  return std::make_unique<TKalvorSmetaRuSmetaStorage::TConnection>();
}

std::string TKalvorSmetaRuSmetaStorageConnectionClass::ClassID() const {
  return "KV.KalvorSmeta.Ru.SmetaDocs";
}

std::string TKalvorSmetaRuSmetaStorage::TConnection::GetAddress() const {
  return KalvorSmetaRuSettings().SmetaDocsUrl();
}

const TKalvorSmetaRuSmetaStorageConnectionClass&
TKalvorSmetaRuSmetaStorage::TConnection::ClassInfo() {
  static const TKalvorSmetaRuSmetaStorageConnectionClass info(
      "TKalvorSmetaRuSmetaStorage.TConnection", &TWebDAVConnection::ClassInfo(),
      {std::make_shared<TDisplayName>(std::string("Данные с ") + kOnlineServiceDomain)});
  return info;
}

TKalvorSmetaRuSmetaStorage::TConnection& TKalvorSmetaRuSmetaStorage::AddConnectionToPool(
    TConnectionsPool& pool) {
  auto connection = std::make_unique<TConnection>();
  connection->SetCaption(OnlineServiceCaption);
  return static_cast<TConnection&>(pool.AddConnection(std::move(connection), -1));
}

}  // namespace kv
