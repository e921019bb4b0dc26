#include "storage/Kv_SmetaStorage.WebDAV.h"

#include <gtest/gtest.h>

#include <map>

#include "base/DateTime.h"
#include "common/Common.Classes.h"
#include "net/Common.Net.WinInet.h"
#include "net/Kv_KalvorSmetaRuSettings.h"
#include "platform/Files.h"
#include "platform/Shell.h"
#include "support/DavPeer.h"
#include "support/LoopbackHttpServer.h"
#include "support/TempFolder.h"
#include "support/Thrown.h"

namespace kv {
namespace {

using test::HttpResponse;
using test::TLoopbackHttpServer;
using test::TRecordedRequest;

TEST(WebDAVConnectionTest, KeepsItsAddressAndConnectsWithoutTheNetwork) {
  TWebDAVConnection connection;
  connection.SetAddress("http://127.0.0.1:9/dav/");
  EXPECT_EQ(connection.Address(), "http://127.0.0.1:9/dav/");
  connection.Connect("user", "password");
  EXPECT_TRUE(connection.Connected());
  connection.Disconnect();
  EXPECT_FALSE(connection.Connected());
}

TEST(OnlineServiceConnectionTest, AddressIsAlwaysTheOnlineSettingsEstimateCollection) {
  TKalvorSmetaRuSmetaStorage::TConnection connection;
  EXPECT_EQ(connection.Address(), "http://update.kalvorsmeta.ru:81/Api/SmetaDocs");
  EXPECT_EQ(connection.Address(), KalvorSmetaRuSettings().SmetaDocsUrl());
  connection.SetAddress("http://elsewhere/");
  EXPECT_EQ(connection.Address(), KalvorSmetaRuSettings().SmetaDocsUrl());
  EXPECT_EQ(connection.Location().BaseAddress, KalvorSmetaRuSettings().SmetaDocsUrl());
}

// A storage over a connection of its own.
struct TStorageAt {
  explicit TStorageAt(const std::string& address) {
    Connection.SetAddress(address);
    Storage = TWebDAVReadOnlySmetaStorage::ClassInfo().Create(Connection);
  }
  TWebDAVReadOnlySmetaStorage& operator*() const {
    return static_cast<TWebDAVReadOnlySmetaStorage&>(*Storage);
  }
  TWebDAVReadOnlySmetaStorage* operator->() const { return &**this; }

  TWebDAVConnection Connection;
  std::unique_ptr<TSmetaStorage> Storage;
};

TEST(WebDAVStorageTest, EntryAddressesKeepAbsoluteHrefsAndPutPathsOnTheConnectionsHost) {
  struct TCase {
    const char* Address;
    const char* Href;
    const char* Expected;
  };
  for (const TCase& c : {
           TCase{"http://h:81/Api/SmetaDocs/", "/Api/SmetaDocs/a.kvs",
                 "http://h:81/Api/SmetaDocs/a.kvs"},
           {"http://h:81/Api/SmetaDocs", "/Api/SmetaDocs/", "http://h:81/Api/SmetaDocs/"},
           {"http://h:81/Api/", "a.kvs", "http://h:81/a.kvs"},
           {"h/dav/", "/dav/x", "http://h/dav/x"},
           {"https://h/dav/", "/dav/x", "https://h/dav/x"},
           {"http://user:pw@h:81/dav/", "/dav/x", "http://h:81/dav/x"},
           {"http://h:81/", "http://other/x", "http://other/x"},
           {"http://h:81/", "HTTP://other/x", "HTTP://other/x"},
           {"http://h:81/", "https://other:8443/x", "https://other:8443/x"},
           {"http://h:81/", "HtTpS://other/x", "HtTpS://other/x"},
       }) {
    const TStorageAt storage(c.Address);
    EXPECT_EQ(storage->MakeEntryUrl(c.Href), c.Expected) << c.Address << " + " << c.Href;
  }
}

TEST(WebDAVStorageTest, SameResourceIgnoresSchemeAndHostCaseEscapeCaseAndOneTrailingSlash) {
  struct TCase {
    const char* A;
    const char* B;
    bool Same;
  };
  for (const TCase& c : {
           TCase{"http://h/dav/", "http://h/dav", true},
           {"http://h/dav/%D0%90/", "http://h/dav/%d0%90", true},
           {"http://h/dav/%D0%90/", "http://h/dav/А/", true},
           {"HTTP://H:80/dav/", "http://h/dav/", true},
           {"https://h/dav/", "https://h:443/dav/", true},
           {"http://h/dav/%zz/", "http://h/dav/%zz", true},
           {"http://h/dav/", "https://h/dav/", false},
           {"http://h:81/dav/", "http://h/dav/", false},
           {"http://h/dav/", "http://g/dav/", false},
           {"http://h/dav/", "http://h/dav/sub/", false},
           {"http://h/Dav/", "http://h/dav/", false},
           {"http://h:99999/dav/", "http://h:99999/dav/", false},
       }) {
    EXPECT_EQ(IsSameResourceUrl(c.A, c.B), c.Same) << c.A << " vs " << c.B;
    EXPECT_EQ(IsSameResourceUrl(c.B, c.A), c.Same) << c.B << " vs " << c.A;
  }
}

TEST(WebDAVStorageTest, ExecutableTypesAreKnownInAnyCase) {
  for (const char* name :
       {"x.exe", "X.EXE", "a.b.bat", "run.cmd", "s.ps1", "l.lnk", "u.url", "h.hta", "j.js", "v.vbs",
        "m.msi", "p.pif", "c.cpl", "w.wsf", "j.jar", "s.scr", "c.com"}) {
    EXPECT_TRUE(IsExecutableFileName(name)) << name;
  }
  for (const char* name : {"Смета.kvs", "plan.pdf", "exe", "readme.txt", "x.exe.txt", "json"}) {
    EXPECT_FALSE(IsExecutableFileName(name)) << name;
  }
}

TEST(WebDAVStorageTest, IsReadOnlyAndRefusesEveryChangeWithTheEntrysName) {
  const TStorageAt storage("http://127.0.0.1:9/dav/");
  EXPECT_TRUE(storage->IsReadOnly());
  for (const auto& [kind, index] :
       std::map<int, int>{{0, 18}, {1, 15}, {2, 2}, {3, -1}, {-1, -1}}) {
    EXPECT_EQ(storage->GetImageIndex(kind), index) << kind;
  }
  const std::string refused = "Документ \"\" доступен только для чтения";
  TMemoryStream data;
  EXPECT_EQ(test::MessageOf<ESmetaStorageDocumentIsReadonly>([&] { storage->CreateFolder("f"); }),
            refused);
  EXPECT_EQ(test::MessageOf<ESmetaStorageDocumentIsReadonly>(
                [&] { storage->CreateDocument("d", TKvDocCommonProperties::Create(sdtSmeta)); }),
            refused);
  EXPECT_EQ(test::MessageOf<ESmetaStorageDocumentIsReadonly>(
                [&] { storage->CreateExternalDocument("e", data); }),
            refused);
  EXPECT_EQ(test::MessageOf<ESmetaStorageDocumentIsReadonly>(
                [&] { storage->GetRoot()->SetProperties({}); }),
            refused);
  EXPECT_EQ(test::MessageOf<ESmetaStorageDocumentIsReadonly>(
                [&] { storage->GetRoot()->ChangeOperation2(); }),
            refused);
  EXPECT_EQ(test::MessageOf<Exception>([&] { storage->FindEntry("x"); }),
            "TFolder.FindEntry не реализовано");
  EXPECT_TRUE(storage->GetRoot()->GetHasSubItems());
  EXPECT_EQ(storage->GetRoot()->GetProperies(), TFolderProperties{});
}

TEST(WebDAVStorageTest, OnlineServiceStorageListsTheEstimateCollection) {
  TKalvorSmetaRuSmetaStorage::TConnection connection;
  const auto storage = TKalvorSmetaRuSmetaStorage::ClassInfo().Create(connection);
  EXPECT_EQ(&storage->ConnectionClass(), &TKalvorSmetaRuSmetaStorage::TConnection::ClassInfo());
  EXPECT_EQ(static_cast<TWebDAVReadOnlySmetaStorage&>(*storage).MakeEntryUrl("/Api/SmetaDocs/a"),
            "http://update.kalvorsmeta.ru:81/Api/SmetaDocs/a");
}

// ---- a scripted server: hostile names and absolute hrefs ----

std::string MultiStatus(const std::vector<std::string>& responses) {
  std::string body = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<D:multistatus xmlns:D=\"DAV:\">";
  for (const std::string& response : responses) {
    body += response;
  }
  return body + "</D:multistatus>";
}

std::string Response(const std::string& href, const std::string& props) {
  return "<D:response><D:href>" + href + "</D:href><D:propstat><D:prop>" + props +
         "</D:prop><D:status>HTTP/1.1 200 OK</D:status></D:propstat></D:response>";
}

std::string TypeProp(const std::string& value) {
  return std::string("<s:SmetaDocType xmlns:s=\"") + DocumentSchemaNamespace + "\">" + value +
         "</s:SmetaDocType>";
}

// Records the files it is asked to open instead of starting programs.
class TRecordingShellOpen final : public platform::IShellOpen {
 public:
  void Open(const std::string& path) override { Opened.push_back(path); }
  std::vector<std::string> Opened;
};

class ScriptedStorageTest : public ::testing::Test {
 protected:
  ScriptedStorageTest()
      : FServer([this](const TRecordedRequest& request) { return Answer(request); }),
        FStorage(FServer.Url("/Api/Docs/")) {}

  std::string Answer(const TRecordedRequest& request) {
    if (request.Method == "PROPFIND") {
      // The folder itself, as a server may write it: scheme in capitals, letters escaped.
      const std::string self = "HTTP" + FServer.Url("/%41pi/%44ocs").substr(4);
      return HttpResponse(
          207, "Multi-Status",
          MultiStatus({Response(self, "<D:resourcetype><D:collection/></D:resourcetype>"),
                       Response("/Api/Docs/..%5C..%5Cevil.txt", ""),
                       Response("/Api/Docs/run.EXE", ""), Response("/Api/Docs/%2E%2E", ""),
                       Response("HTTPS://127.0.0.1:1/elsewhere/price.kvc", TypeProp("3")),
                       Response("/Api/Docs/big.kvs", TypeProp(" 12 ")),
                       Response("/Api/Docs/neg.kvs", TypeProp("-1")),
                       Response("/Api/Docs/huge.kvs", TypeProp("99999999999999999999"))}),
          {"Content-Type: text/xml; charset=utf-8"});
    }
    return HttpResponse(200, "OK", "body of " + request.Target);
  }

  std::map<std::string, TIntfPtr<ISmetaStorageEntry>> Entries() {
    std::map<std::string, TIntfPtr<ISmetaStorageEntry>> byName;
    for (const auto& entry : FStorage->LoadChildItems()) {
      byName[entry->GetDescription()] = entry;
    }
    return byName;
  }

  TLoopbackHttpServer FServer;
  TStorageAt FStorage;
  TRecordingShellOpen FShell;
  platform::TScopedCurrent<platform::IShellOpen> FShellGuard{FShell};
};

TEST_F(ScriptedStorageTest, TheFolderItselfIsLeftOutWhateverTheCaseOfItsAbsoluteHref) {
  auto entries = Entries();
  EXPECT_EQ(entries.count(""), 0u);
  EXPECT_EQ(entries.count("Docs"), 0u);
  ASSERT_EQ(entries.size(), 7u);

  const auto price = Supports<ISmetaStorageDocument>(entries.at("price.kvc"));
  ASSERT_TRUE(price);
  EXPECT_EQ(price->GetProperties().DocType, sdtCennik);
  const auto last = Supports<ISmetaStorageDocument>(entries.at("big.kvs"));
  ASSERT_TRUE(last);
  EXPECT_EQ(last->GetProperties().DocType, sdtTranspCalc);
  for (const char* external : {"neg.kvs", "huge.kvs", "run.EXE"}) {
    EXPECT_TRUE(Supports<ISmetaStorageExternalDocument>(entries.at(external))) << external;
    EXPECT_FALSE(Supports<ISmetaStorageDocument>(entries.at(external))) << external;
  }
}

TEST_F(ScriptedStorageTest, EditKeepsAServersNameInsideAFolderOfItsOwn) {
  const auto entries = Entries();
  const auto evil = Supports<ISmetaStorageExternalDocument>(entries.at("..\\..\\evil.txt"));
  ASSERT_TRUE(evil);
  evil->Edit();
  evil->Edit();
  ASSERT_EQ(FShell.Opened.size(), 2u);
  const std::string temp = platform::TempFolder();
  for (const std::string& opened : FShell.Opened) {
    EXPECT_EQ(opened.rfind(temp, 0), 0u) << opened;
    const std::string rest = opened.substr(temp.size());
    // One folder of its own, then the name with its path taken away.
    const size_t separator = rest.find_first_of("\\/");
    ASSERT_NE(separator, std::string::npos) << opened;
    EXPECT_EQ(rest.substr(separator + 1), "evil.txt") << opened;
    EXPECT_EQ(test::ReadFileBytes(opened).rfind("body of /Api/Docs/", 0), 0u);
  }
  EXPECT_NE(FShell.Opened[0], FShell.Opened[1]);
  EXPECT_FALSE(platform::FileExists(temp + "evil.txt"));
  for (const std::string& opened : FShell.Opened) {
    platform::SetFileReadOnly(opened, false);
    EXPECT_TRUE(platform::DeleteFile(opened));
    // Where the system keeps the zone mark as a file of its own (Wine), it goes too.
    platform::DeleteFile(opened + ":Zone.Identifier");
    EXPECT_TRUE(platform::RemoveDir(opened.substr(0, opened.size() - 9)));
  }
}

TEST_F(ScriptedStorageTest, EditRefusesWhatWouldBeRunAndFetchesNothing) {
  const auto entries = Entries();
  const size_t requests = FServer.Requests().size();
  const auto program = Supports<ISmetaStorageExternalDocument>(entries.at("run.EXE"));
  EXPECT_EQ(test::MessageOf<ESmetaStorageError>([&] { program->Edit(); }),
            "Файл \"run.EXE\" не открыт: файлы этого типа запускаются как программы");
  EXPECT_TRUE(FShell.Opened.empty());
  EXPECT_EQ(FServer.Requests().size(), requests);
}

TEST_F(ScriptedStorageTest, EntriesOutlivingTheirStorageRaiseAClearError) {
  const auto entries = Entries();
  FStorage.Storage.reset();
  EXPECT_EQ(entries.at("big.kvs")->GetDescription(), "big.kvs");
  TWebDAVConnection connection;
  connection.SetAddress(FServer.Url("/Api/Docs/"));
  auto storage = TWebDAVReadOnlySmetaStorage::ClassInfo().Create(connection);
  const TIntfPtr<ISmetaStorageFolder> root =
      static_cast<TWebDAVReadOnlySmetaStorage&>(*storage).GetRoot();
  storage.reset();
  EXPECT_THROW(root->LoadChildItems(), ESmetaStorageClosed);
}

// ---- the Apache peer ----

class DavStorageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FUrl = test::DavDocumentsUrl();
    if (FUrl.empty()) {
      GTEST_SKIP() << "no WebDAV peer: run the tests through ctest";
    }
  }

  // Name to entry, with the listing's names checked to be unique.
  static std::map<std::string, TIntfPtr<ISmetaStorageEntry>> ByName(
      const TSmetaStorageEntries& entries) {
    std::map<std::string, TIntfPtr<ISmetaStorageEntry>> byName;
    for (const auto& entry : entries) {
      EXPECT_TRUE(byName.emplace(entry->GetDescription(), entry).second);
    }
    return byName;
  }

  // "folder", "external" or the document type's number.
  static std::string KindOf(const TIntfPtr<ISmetaStorageEntry>& entry) {
    if (Supports<ISmetaStorageFolder>(entry)) {
      return "folder";
    }
    if (const auto document = Supports<ISmetaStorageDocument>(entry)) {
      return std::to_string(document->GetProperties().DocType);
    }
    return Supports<ISmetaStorageExternalDocument>(entry) ? "external" : "?";
  }

  static std::map<std::string, std::string> Kinds(const TSmetaStorageEntries& entries) {
    std::map<std::string, std::string> kinds;
    for (const auto& [name, entry] : ByName(entries)) {
      kinds[name] = KindOf(entry);
    }
    return kinds;
  }

  std::string FUrl;
};

const std::map<std::string, std::string> kEstimates = {
    {"Архив 2025", "folder"}, {"Неизвестный.kvs", "external"},
    {"Смета №1.kvs", "0"},    {"Текст.kvs", "external"},
    {"Цены.kvc", "3"},        {"Чертёж.pdf", "external"}};

TEST_F(DavStorageTest, ListsTheRootAndASubfolderWithoutTheFolderItself) {
  const TStorageAt storage(FUrl);
  const TSmetaStorageEntries root = storage->LoadChildItems();
  EXPECT_EQ(Kinds(root), (std::map<std::string, std::string>{{"Объект.kvo", "1"},
                                                             {"Пустая папка", "folder"},
                                                             {"Сметы", "folder"},
                                                             {"readme.txt", "external"}}));
  const auto byName = ByName(root);
  EXPECT_EQ(byName.at("Сметы")->GetDateChange(), EncodeDateTime(2026, 12, 10, 6, 0, 0, 0));
  EXPECT_EQ(byName.at("Сметы")->GetShortPath(), "Сметы");

  // Through the listed folder: Apache's own href, escapes in lower case.
  EXPECT_EQ(Kinds(Supports<ISmetaStorageFolder>(byName.at("Сметы"))->LoadChildItems()), kEstimates);
  EXPECT_TRUE(Supports<ISmetaStorageFolder>(byName.at("Пустая папка"))->LoadChildItems().empty());

  // Through a storage whose address writes the escapes in capitals and the scheme in capitals.
  const std::string upper = "HTTP" + FUrl.substr(4) + "%D0%A1%D0%BC%D0%B5%D1%82%D1%8B";
  const TStorageAt estimates(upper);
  EXPECT_EQ(Kinds(estimates->LoadChildItems()), kEstimates);
}

TEST_F(DavStorageTest, ReadsDocumentsAndExternalDocuments) {
  const TStorageAt storage(FUrl);
  const auto root = ByName(storage->LoadChildItems());
  const auto estimate =
      ByName(Supports<ISmetaStorageFolder>(root.at("Сметы"))->LoadChildItems()).at("Смета №1.kvs");
  const std::unique_ptr<TStream> content =
      Supports<ISmetaStorageDocument>(estimate)->CreateReadStream();
  EXPECT_EQ(content->Position(), 0);
  std::string bytes(static_cast<size_t>(content->Size()), '\0');
  content->ReadBuffer(bytes.data(), std::ssize(bytes));
  EXPECT_EQ(bytes, "estimate body");
  EXPECT_FALSE(Supports<ISmetaStorageDocument>(estimate)->IsLocked());
  EXPECT_EQ(test::MessageOf<ESmetaStorageDocumentIsReadonly>(
                [&] { Supports<ISmetaStorageDocument>(estimate)->Lock(); }),
            "Документ \"Смета №1.kvs\" доступен только для чтения");

  TMemoryStream readme;
  Supports<ISmetaStorageExternalDocument>(root.at("readme.txt"))->ReadData(readme);
  EXPECT_EQ(readme.Size(), 7);
}

TEST_F(DavStorageTest, AMissingFolderRaisesTheStatusWithTheDecodedAddress) {
  const TStorageAt storage(FUrl + "%D0%9D%D0%B5%D1%82/");
  const std::string message =
      test::MessageOf<EHttpStatusException>([&] { storage->LoadChildItems(); });
  EXPECT_EQ(message, "Ошибка получении дочерних элементов по ссылке\r\n" + FUrl +
                         "Нет/\r\nТекст ошибки: 404: Not Found");
}

TEST(WebDAVStorageTest, AnUnreachableServerRaisesTheTransportErrorWithTheAddress) {
  const TStorageAt storage("http://127.0.0.1:1/dav/");
  const std::string message =
      test::MessageOf<EWinInetException>([&] { storage->LoadChildItems(); });
  EXPECT_EQ(message.rfind("Ошибка получении дочерних элементов по ссылке\r\nhttp://127.0.0.1:1/"
                          "dav/\r\nТекст ошибки: WinInet error",
                          0),
            0u)
      << message;
}

}  // namespace
}  // namespace kv
