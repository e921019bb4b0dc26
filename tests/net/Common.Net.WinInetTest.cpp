#include "net/Common.Net.WinInet.h"

#include <gtest/gtest.h>

#include "base/Format.h"
#include "options/Common.ExceptionEx.h"
#include "platform/CredentialPrompt.h"
#include "platform/Files.h"
#include "support/LoopbackHttpServer.h"
#include "support/TempFolder.h"

namespace kv {
namespace {

using test::HttpResponse;
using test::TLoopbackHttpServer;
using test::TRecordedRequest;

std::string BodyOf(TMemoryStream& stream) {
  std::string text(static_cast<size_t>(stream.Size() - stream.Position()), '\0');
  stream.ReadBuffer(text.data(), static_cast<int64_t>(text.size()));
  return text;
}

// The login prompt a user answers: it gives its login (and asks for a retry) or cancels.
class FakeLoginPrompt final : public platform::ICredentialPrompt {
 public:
  explicit FakeLoginPrompt(platform::TPromptAnswer answer) : FAnswer(answer) {}
  platform::TPromptAnswer AskLogin(platform::IHttpConnection& connection,
                                   platform::IHttpRequest&) override {
    ++Calls;
    if (FAnswer == platform::TPromptAnswer::Retry) {
      connection.SetCredentials("user", "pw");
    }
    return FAnswer;
  }
  platform::TPromptAnswer AskClientCertificate(platform::IHttpRequest&) override {
    return platform::TPromptAnswer::Cancelled;
  }
  int Calls = 0;

 private:
  platform::TPromptAnswer FAnswer;
};

// Answers 200 only to a request with the login user:pw, else 401 asking for Basic.
std::string ProtectedResource(const TRecordedRequest& request) {
  if (request.Header("Authorization") == "Basic dXNlcjpwdw==") {
    return HttpResponse(200, "OK", "secret");
  }
  return HttpResponse(401, "Unauthorized", "login first", {"WWW-Authenticate: Basic realm=\"kv\""});
}

TEST(WebClientTest, StatusCheckRaisesAfterTheBodyReachedTheCaller) {
  TLoopbackHttpServer server([](const TRecordedRequest& request) {
    return request.Target == "/missing" ? HttpResponse(404, "Not Found", "no such page")
                                        : HttpResponse(200, "OK", "page");
  });
  TWinInetWebClient client;
  TMemoryStream body;
  client.DownloadData(server.Url("/present"), body);
  EXPECT_EQ(BodyOf(body), "page");
  EXPECT_EQ(client.ResponseStatusCode(), 200);
  EXPECT_EQ(client.ResponseStatusText(), "OK");

  TMemoryStream missing;
  try {
    client.DownloadData(server.Url("/missing"), missing);
    FAIL() << "a 404 passed the status check";
  } catch (const EHttpStatusException& e) {
    EXPECT_EQ(e.StatusCode(), 404);
    EXPECT_EQ(e.Message(), "404: Not Found");
    EXPECT_NE(e.Request().find("GET /missing"), std::string::npos) << e.Request();
  }
  EXPECT_EQ(BodyOf(missing), "no such page");

  client.SetShouldCheckStatusCode(false);
  TMemoryStream unchecked;
  client.DownloadData(server.Url("/missing"), unchecked);
  EXPECT_EQ(client.ResponseStatusCode(), 404);
  EXPECT_EQ(BodyOf(unchecked), "no such page");
}

TEST(WebClientTest, UnauthorizedWithoutPromptIsTheAnswer) {
  TLoopbackHttpServer server(ProtectedResource);
  FakeLoginPrompt prompt(platform::TPromptAnswer::Retry);
  platform::TScopedCurrent<platform::ICredentialPrompt> scoped(prompt);
  TWinInetWebClient client;
  client.SetShouldCheckStatusCode(false);
  client.DownloadData(server.Url("/"));
  EXPECT_EQ(client.ResponseStatusCode(), 401);
  EXPECT_EQ(prompt.Calls, 0);
}

TEST(WebClientTest, PromptedLoginIsSentWithANewRequest) {
  TLoopbackHttpServer server(ProtectedResource);
  FakeLoginPrompt prompt(platform::TPromptAnswer::Retry);
  platform::TScopedCurrent<platform::ICredentialPrompt> scoped(prompt);
  TWinInetWebClient client;
  client.SetLoginPromt(true);
  const std::vector<uint8_t> body = client.DownloadData(server.Url("/"));
  EXPECT_EQ(std::string(body.begin(), body.end()), "secret");
  EXPECT_EQ(client.ResponseStatusCode(), 200);
  EXPECT_EQ(prompt.Calls, 1);
  EXPECT_EQ(server.Requests().back().Header("Authorization"), "Basic dXNlcjpwdw==");
  // What the client keeps of the request names the header but not the password.
  EXPECT_EQ(client.RequestHeaders().find("dXNlcjpwdw=="), std::string::npos);
}

TEST(WebClientTest, CancelledPromptAbortsSilently) {
  TLoopbackHttpServer server(ProtectedResource);
  FakeLoginPrompt prompt(platform::TPromptAnswer::Cancelled);
  platform::TScopedCurrent<platform::ICredentialPrompt> scoped(prompt);
  TWinInetWebClient client;
  client.SetLoginPromt(true);
  EXPECT_THROW(client.DownloadData(server.Url("/")), EAbort);
}

TEST(WebClientTest, StatusExceptionKeepsNoCredentials) {
  TLoopbackHttpServer server([](const TRecordedRequest&) {
    return HttpResponse(403, "Forbidden", "", {"WWW-Authenticate: Basic realm=\"kv\""});
  });
  TWinInetWebClient client;
  client.Headers()["Authorization"] = "Basic dXNlcjpwdw==";
  try {
    client.DownloadData(server.Url("/"));
    FAIL() << "a 403 passed the status check";
  } catch (const EHttpStatusException& e) {
    EXPECT_EQ(e.StatusCode(), 403);
    EXPECT_EQ(e.Request().find("dXNlcjpwdw=="), std::string::npos) << e.Request();
    EXPECT_NE(e.Request().find("Authorization:"), std::string::npos) << e.Request();
  }
  EXPECT_EQ(server.Requests().at(0).Header("Authorization"), "Basic dXNlcjpwdw==");
}

TEST(WebClientTest, HeadersGoInNameOrderAndReplaceTheirNamesakes) {
  TLoopbackHttpServer server([](const TRecordedRequest&) { return HttpResponse(200, "OK", ""); });
  TWinInetWebClient client;
  client.Headers()["X-Second"] = "2";
  client.Headers()["X-First"] = "1";
  client.DownloadData(server.Url("/"));
  const TRecordedRequest request = server.Requests().at(0);
  const auto position = [&](const std::string& prefix) {
    return std::find_if(request.HeaderLines.begin(), request.HeaderLines.end(),
                        [&](const std::string& line) { return line.starts_with(prefix); }) -
           request.HeaderLines.begin();
  };
  EXPECT_LT(position("X-First: 1"), position("X-Second: 2"));

  TWinInetHTTP http;
  http.SetHost("127.0.0.1");
  http.SetPort(server.Port());
  http.Connect();
  TWinInetHTTPRequest replaced(http, {}, "GET", "/again");
  replaced.AddHeader("X-Kind: first");
  replaced.AddHeader("X-Kind: second");
  replaced.GetResponse(true);
  EXPECT_EQ(server.Requests().at(1).HeaderCount("X-Kind"), 1);
  EXPECT_EQ(server.Requests().at(1).Header("X-Kind"), "second");
}

TEST(WebClientTest, HeaderValuesCannotInjectLines) {
  TLoopbackHttpServer server([](const TRecordedRequest&) { return HttpResponse(200, "OK", ""); });
  TWinInetWebClient client;
  for (const char* value : {"a\r\nX-Injected: 1", "a\nX-Injected: 1", "a\rb"}) {
    client.Headers()["X-Value"] = value;
    EXPECT_THROW(client.DownloadData(server.Url("/")), EInvalidOperation) << value;
  }
  EXPECT_TRUE(server.Requests().empty());
}

TEST(WebClientTest, RequestBodyGoesWithItsLengthAndNoContentType) {
  TLoopbackHttpServer server([](const TRecordedRequest& request) {
    return HttpResponse(200, "OK", "got " + request.Body);
  });
  TWinInetWebClient client;
  EXPECT_EQ(client.UploadString(server.Url("/post"), "привет"), "got привет");
  const TRecordedRequest request = server.Requests().at(0);
  EXPECT_EQ(request.Method, "POST");
  EXPECT_EQ(request.Header("Content-Length"), "12");
  EXPECT_EQ(request.HeaderCount("Content-Length"), 1);
  EXPECT_EQ(request.HeaderCount("Content-Type"), 0);
}

TEST(WebClientTest, ChunkedBodyArrivesWhole) {
  TLoopbackHttpServer server([](const TRecordedRequest&) {
    return std::string(
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n"
        "5\r\nHello\r\n1\r\n,\r\n6\r\n world\r\n0\r\n\r\n");
  });
  TWinInetWebClient client;
  EXPECT_EQ(client.DownloadString(server.Url("/")), "Hello, world");
}

// A body held in memory stops at its limit with a clear error, whatever length the server
// announces (here none: one chunk past the limit).
TEST(WebClientTest, BodyPastTheMemoryLimitRaises) {
  const std::string chunk(static_cast<size_t>(kMaxBodyInMemory) + 1, 'x');
  TLoopbackHttpServer server([&chunk](const TRecordedRequest&) {
    return "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n" +
           Format("%llx\r\n", static_cast<unsigned long long>(chunk.size())) + chunk +
           "\r\n0\r\n\r\n";
  });
  TWinInetWebClient client;
  try {
    client.DownloadData(server.Url("/"));
    ADD_FAILURE() << "a body past the limit was taken";
  } catch (const EReadError& error) {
    EXPECT_NE(std::string(error.what()).find(std::to_string(kMaxBodyInMemory)), std::string::npos)
        << error.what();
  }
}

TEST(WebClientTest, BodyCutShortRaisesAndLeavesTheOldFile) {
  TLoopbackHttpServer server([](const TRecordedRequest& request) {
    if (request.Target == "/whole") {
      return HttpResponse(200, "OK", "new content");
    }
    if (request.Target == "/missing") {
      return HttpResponse(404, "Not Found", "error page");
    }
    return std::string(
        "HTTP/1.1 200 OK\r\nContent-Length: 100\r\nConnection: close\r\n\r\nonly ten b");
  });
  test::TTempFolder folder;
  const std::string file = folder.Path("data.bin");
  test::WriteFileBytes(file, "old content");
  TWinInetWebClient client;

  try {
    client.DownloadData(server.Url("/short"), file);
    FAIL() << "a body cut short passed as whole";
  } catch (const EWinInetException& e) {
    EXPECT_EQ(e.ErrorCode(), platform::kInternetConnectionAborted);
    EXPECT_TRUE(e.Message().starts_with("WinInet error (12030): ")) << e.Message();
  }
  EXPECT_EQ(test::ReadFileBytes(file), "old content");
  EXPECT_THROW(client.DownloadData(server.Url("/missing"), file), EHttpStatusException);
  EXPECT_EQ(test::ReadFileBytes(file), "old content");
  EXPECT_EQ(platform::FindFiles(folder.Path(""), "*").size(), 1u);

  client.DownloadData(server.Url("/whole"), file);
  EXPECT_EQ(test::ReadFileBytes(file), "new content");
  EXPECT_EQ(platform::FindFiles(folder.Path(""), "*").size(), 1u);
}

TEST(WebClientTest, RedirectIsFollowed) {
  TLoopbackHttpServer server([](const TRecordedRequest& request) {
    return request.Target == "/old" ? HttpResponse(302, "Found", "", {"Location: /new"})
                                    : HttpResponse(200, "OK", "moved here");
  });
  TWinInetWebClient client;
  EXPECT_EQ(client.DownloadString(server.Url("/old")), "moved here");
  EXPECT_EQ(server.Requests().back().Target, "/new");
}

TEST(WebClientTest, AddressesRelativeToBaseAndSchemesInAnyCase) {
  TLoopbackHttpServer server([](const TRecordedRequest&) { return HttpResponse(200, "OK", ""); });
  TWinInetWebClient client;
  client.SetBaseUrl(server.Url("/base/"));
  client.DownloadData("/file.txt");
  client.DownloadData("other.txt?a=1");
  const std::string upper = "HTTP://127.0.0.1:" + std::to_string(server.Port()) + "/upper";
  client.DownloadData(upper);
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].Target, "/base/file.txt");
  EXPECT_EQ(requests[1].Target, "/base/other.txt?a=1");
  EXPECT_EQ(requests[2].Target, "/upper");
  EXPECT_THROW(client.DownloadData("ftp://127.0.0.1/file"), EInvalidUriException);
  EXPECT_THROW(client.DownloadData("file://c/windows/win.ini"), EInvalidUriException);
}

TEST(WebClientTest, ProxyModes) {
  TLoopbackHttpServer proxy([](const TRecordedRequest& request) {
    if (request.Header("Proxy-Authorization") != "Basic cHJveHk6c2VjcmV0" &&
        request.Target.find("/authority") != std::string::npos) {
      return HttpResponse(407, "Proxy Authentication Required", "",
                          {"Proxy-Authenticate: Basic realm=\"proxy\""});
    }
    return HttpResponse(200, "OK", "via proxy");
  });
  TWinInetWebClient client;
  client.ProxySettings().SetKind(pkUserSettings);
  client.ProxySettings().SetHost("127.0.0.1");
  client.ProxySettings().SetPort(proxy.Port());
  EXPECT_EQ(client.DownloadString("http://kv-origin.invalid/page"), "via proxy");
  // The absolute form goes to a proxy; WinInet names the default port, libcurl does not.
  const std::string target = proxy.Requests().at(0).Target;
  EXPECT_TRUE(target == "http://kv-origin.invalid/page" ||
              target == "http://kv-origin.invalid:80/page")
      << target;

  client.ProxySettings().SetKind(pkUserSettingsWithAuthority);
  client.ProxySettings().SetLogin("proxy");
  client.ProxySettings().SetPassword("secret");
  EXPECT_EQ(client.DownloadString("http://kv-origin.invalid/authority"), "via proxy");
  EXPECT_EQ(proxy.Requests().back().Header("Proxy-Authorization"), "Basic cHJveHk6c2VjcmV0");

  // Without a proxy the request goes straight to the server named in the address.
  client.ProxySettings().SetKind(pkNone);
  EXPECT_EQ(client.DownloadString(proxy.Url("/direct")), "via proxy");
  EXPECT_EQ(proxy.Requests().back().Target, "/direct");
}

TEST(WebClientTest, ServerThatIsNotThereRaisesWinInetError) {
  uint16_t port = 0;
  {
    TLoopbackHttpServer closed([](const TRecordedRequest&) { return std::string(); });
    port = closed.Port();
  }
  TWinInetWebClient client;
  try {
    client.DownloadData("http://127.0.0.1:" + std::to_string(port) + "/");
    FAIL() << "a refused connection passed";
  } catch (const EWinInetException& e) {
    EXPECT_EQ(e.ErrorCode(), platform::kInternetCannotConnect);
    EXPECT_TRUE(e.Message().starts_with("WinInet error (12029): ")) << e.Message();
  }
}

// The HTTPS server that ctest started for this build (tests/support/tls-server).
std::string UntrustedHttpsUrl() {
  try {
    std::string url = test::ReadFileBytes("tls/url");
    url.erase(url.find_last_not_of("\r\n") + 1);
    return url;
  } catch (const std::exception&) {
    return {};
  }
}

TEST(WebClientTest, CertificateOfAnUnknownAuthorityIsRefused) {
  const std::string url = UntrustedHttpsUrl();
  if (url.empty()) {
    GTEST_SKIP() << "no HTTPS server: run the tests through ctest";
  }
  TWinInetWebClient client;
  client.SetShouldCheckStatusCode(false);
  int64_t code = 0;
  try {
    client.DownloadData(url);
    FAIL() << "a certificate from an unknown authority passed";
  } catch (const EWinInetException& e) {
    code = e.ErrorCode();
  } catch (const EOSError& e) {
    // Wine's WinInet has no text for some of its numbers: they arrive as the system's error.
    code = e.ErrorCode();
  }
  // Wine reports the chain's revocation check (ERROR_INTERNET_SEC_CERT_REV_FAILED) first.
  EXPECT_TRUE(code == platform::kInternetInvalidCa || code == 12057) << code;
  EXPECT_EQ(client.ResponseStatusCode(), 0);
}

TEST(WinInetConnectionTest, PortOutsideSixteenBitsIsRefused) {
  TWinInetHTTP http;
  http.SetHost("127.0.0.1");
  http.SetPort(65536 + 80);
  try {
    http.Connect();
    FAIL() << "a port past 65535 reached the transport";
  } catch (const ExceptionEx& e) {
    EXPECT_TRUE(e.Message().starts_with("Ошибка при подключении к серверу\r\nEConvertError: "))
        << e.Message();
    EXPECT_FALSE(http.Connected());
  }
}

TEST(WinInetHTTPTest, ContentDispositionTable) {
  const struct {
    const char* headers;
    const char* name;
  } cases[] = {
      {"Content-Disposition: attachment; filename=\"my file.txt\"", "my file.txt"},
      {"content-disposition: attachment; filename=plain.txt; size=3", "plain.txt;"},
      {"Content-Disposition: attachment; filename=\"unclosed.txt", ""},
      {"Content-Disposition: attachment; filename=  ", ""},
      {"Content-Disposition: inline", ""},
      {"X-Other: filename=\"no.txt\"\r\nContent-Disposition: attachment; filename=\"a.txt\"",
       "a.txt"},
      {"HTTP/1.1 200 OK\r\nContent-Disposition: attachment; FILENAME=\"case.txt\"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ContentDispositionFilename(c.headers), c.name) << c.headers;
  }
}

TEST(WinInetHTTPTest, ServerFileNamesStayInTheTargetFolder) {
  const struct {
    const char* disposition;
    const char* savedAs;
  } cases[] = {
      {"attachment; filename=\"report.txt\"", "report.txt"},
      {"attachment; filename=\"..\\..\\evil.txt\"", "evil.txt"},
      {"attachment; filename=\"../../evil2.txt\"", "evil2.txt"},
      {"attachment; filename=\"CON\"", "_CON"},
      {"attachment; filename=\"..\"", "fallback.bin"},
      {"attachment; filename=\"a<b>c.txt. \"", "a_b_c.txt"},
  };
  for (const auto& c : cases) {
    TLoopbackHttpServer server([&](const TRecordedRequest&) {
      return HttpResponse(200, "OK", "body",
                          {std::string("Content-Disposition: ") + c.disposition});
    });
    test::TTempFolder folder;
    platform::ForceDirectories(folder.Path("in"));
    TWinInetHTTP http;
    http.SetHost("127.0.0.1");
    http.SetPort(server.Port());
    http.Connect();
    const std::string saved =
        http.DownloadWithPreferableFilename("/get", folder.Path("in"), "fallback.bin");
    EXPECT_EQ(saved, folder.Path("in\\") + c.savedAs) << c.disposition;
    EXPECT_EQ(test::ReadFileBytes(saved), "body") << c.disposition;
    EXPECT_EQ(platform::FindFiles(folder.Path("in"), "*").size(), 1u) << c.disposition;
    EXPECT_EQ(platform::FindFiles(folder.Path(""), "*").size(), 1u) << c.disposition;
  }
}

TEST(WinInetHTTPTest, OpenStreamAcceptsOnlyHttp) {
  TWinInetHTTP http;
  try {
    http.OpenStream(TUri("https://127.0.0.1/x"));
    FAIL() << "https passed";
  } catch (const EInvalidUriException& e) {
    EXPECT_EQ(e.Message(), "Допустим только http-протокол.\r\nhttps://127.0.0.1/x");
  }
}

TEST(WinInetHTTPRequestTest, BodyStreamIsClosedAfterTheResponse) {
  TLoopbackHttpServer server([](const TRecordedRequest&) { return HttpResponse(200, "OK", ""); });
  TWinInetHTTP http;
  http.SetHost("127.0.0.1");
  http.SetPort(server.Port());
  http.Connect();
  TWinInetHTTPRequest request(http, {}, "PUT", "/put");
  request.RequestStream().WriteBuffer("abc", 3);
  request.GetResponse(true);
  try {
    request.RequestStream();
    FAIL() << "the body stream stayed open";
  } catch (const EInvalidOperation& e) {
    EXPECT_EQ(e.Message(), "Нельзя писать в RequestStream после вызова GetResponse");
  }
  EXPECT_THROW(request.GetResponse(true), EAssertionFailed);
  EXPECT_EQ(server.Requests().at(0).Body, "abc");
}

}  // namespace
}  // namespace kv
