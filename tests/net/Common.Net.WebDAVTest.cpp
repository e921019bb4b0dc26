#include "net/Common.Net.WebDAV.h"

#include <gtest/gtest.h>

#include "options/Common.XMLUtils.h"
#include "support/DavPeer.h"
#include "support/LoopbackHttpServer.h"
#include "support/TempFolder.h"

namespace kv {
namespace {

using test::HttpResponse;
using test::TLoopbackHttpServer;
using test::TRecordedRequest;

TPropFind Read(const std::string& xml) {
  return TPropFind(platform::TXmlDocument::LoadFromBytes(xml).DocumentElement());
}

std::string Response(const std::string& href, const std::string& props) {
  return "<d:response><d:href>" + href + "</d:href><d:propstat><d:prop>" + props +
         "</d:prop><d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response>";
}

std::string MultiStatus(const std::string& responses) {
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?><d:multistatus xmlns:d=\"DAV:\">" + responses +
         "</d:multistatus>";
}

TEST(PropFindTest, ListsApacheCollection) {
  const std::string url = test::DavUrl();
  if (url.empty()) {
    GTEST_SKIP() << "no WebDAV peer: run the tests through ctest";
  }
  const TSharedPtr<TPropFind> listing = PropFind(url);
  ASSERT_EQ(listing->EntryCount(), 5);
  const TDateTime changed = EncodeDateTime(2026, 12, 10, 6, 0, 0);
  std::map<std::string, const TPropFindEntry*> byName;
  for (const auto& entry : listing->Entries()) {
    byName[entry->EntryName()] = entry.get();
    EXPECT_DOUBLE_EQ(entry->ChangeDate(), changed) << entry->Url();
    EXPECT_EQ(entry->Status(), "HTTP/1.1 200 OK");
  }
  EXPECT_EQ(listing->Entries().front()->EntryName(), "dav");
  EXPECT_TRUE(listing->Entries().front()->IsContainer());

  const TPropFindEntry* cyrillic = byName["Документ.txt"];
  ASSERT_NE(cyrillic, nullptr);
  EXPECT_EQ(cyrillic->ContentSize(), 12);
  EXPECT_FALSE(cyrillic->IsContainer());
  // Apache writes its escapes in lower case.
  EXPECT_EQ(cyrillic->Url(), "/dav/%d0%94%d0%be%d0%ba%d1%83%d0%bc%d0%b5%d0%bd%d1%82.txt");

  ASSERT_NE(byName["sub"], nullptr);
  EXPECT_TRUE(byName["sub"]->IsContainer());
  EXPECT_EQ(byName["sub"]->Url(), "/dav/sub/");
  ASSERT_NE(byName["empty.txt"], nullptr);
  EXPECT_EQ(byName["empty.txt"]->ContentSize(), 0);
  ASSERT_NE(byName["data.bin"], nullptr);
  EXPECT_EQ(byName["data.bin"]->ContentSize(), 1000);
}

TEST(PropFindTest, SendsDepthOneUnlessTheCallerNamedADepth) {
  TLoopbackHttpServer server([](const TRecordedRequest&) {
    return HttpResponse(207, "Multi-Status", MultiStatus(Response("/a/", "")),
                        {"Content-Type: application/xml"});
  });
  TWinInetWebClient client;
  client.Headers()["X-Kept"] = "yes";
  EXPECT_EQ(PropFind(client, server.Url("/a/"))->EntryCount(), 1);
  client.Headers()["depth"] = "0";
  PropFind(client, server.Url("/a/"));

  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].Method, "PROPFIND");
  EXPECT_EQ(requests[0].Header("Depth"), "1");
  EXPECT_EQ(requests[0].Body, "");
  EXPECT_EQ(requests[1].Header("Depth"), "0");
  EXPECT_EQ(requests[1].HeaderCount("Depth"), 1);
  EXPECT_EQ(client.Headers().size(), 2u);
  EXPECT_EQ(client.Headers().count("Depth"), 0u);
}

TEST(PropFindTest, ReadsEntriesUnderAnyPrefixOfTheDavNamespace) {
  const TPropFind listing = Read(
      "<multistatus xmlns=\"DAV:\" xmlns:x=\"urn:other\">"
      "<response><href>/c/%D0%90.txt</href><propstat><prop>"
      "<getcontentlength>12345678901</getcontentlength>"
      "<getlastmodified>2026-12-10T06:00:00Z</getlastmodified><resourcetype/></prop>"
      "<status>HTTP/1.1 200 OK</status></propstat></response>"
      "<x:response><x:href>/not-dav</x:href></x:response>"
      "<D:response xmlns:D=\"DAV:\"><D:href>/c/folder/</D:href><D:propstat><D:prop>"
      "<D:getcontentlength>-5</D:getcontentlength><D:getlastmodified>yesterday</D:getlastmodified>"
      "<D:resourcetype><D:collection/></D:resourcetype></D:prop></D:propstat></D:response>"
      "</multistatus>");
  ASSERT_EQ(listing.EntryCount(), 2);
  const TPropFindEntry& file = *listing.Entries()[0];
  EXPECT_EQ(file.EntryName(), "А.txt");
  EXPECT_EQ(file.ContentSize(), 12345678901);
  EXPECT_DOUBLE_EQ(file.ChangeDate(), EncodeDateTime(2026, 12, 10, 6, 0, 0));
  EXPECT_FALSE(file.IsContainer());
  const TPropFindEntry& folder = *listing.Entries()[1];
  EXPECT_EQ(folder.EntryName(), "folder");
  EXPECT_TRUE(folder.IsContainer());
  EXPECT_EQ(folder.ContentSize(), 0);
  EXPECT_EQ(folder.ChangeDate(), 0);
  EXPECT_EQ(folder.Status(), "");
}

TEST(PropFindTest, BadAnswersEndWithClearErrors) {
  EXPECT_EQ(Read(MultiStatus("")).EntryCount(), 0);
  EXPECT_THROW(Read(MultiStatus("<d:response><d:propstat/></d:response>")), EXMLNodeNotFound);
  EXPECT_THROW(Read(MultiStatus(Response("/c/%zz.txt", ""))), EConvertError);

  const struct {
    const char* body;
  } answers[] = {{"not xml at all"},
                 {"<?xml version=\"1.0\"?><!DOCTYPE m [<!ENTITY e SYSTEM \"file:///etc/passwd\">]>"
                  "<d:multistatus xmlns:d=\"DAV:\"><d:response><d:href>&e;</d:href></d:response>"
                  "</d:multistatus>"},
                 {""}};
  for (const auto& answer : answers) {
    TLoopbackHttpServer server(
        [&](const TRecordedRequest&) { return HttpResponse(207, "Multi-Status", answer.body); });
    EXPECT_THROW(PropFind(server.Url("/")), platform::EXmlParseError) << answer.body;
  }
  TLoopbackHttpServer refusing(
      [](const TRecordedRequest&) { return HttpResponse(403, "Forbidden", ""); });
  EXPECT_THROW(PropFind(refusing.Url("/")), EHttpStatusException);
}

}  // namespace
}  // namespace kv
