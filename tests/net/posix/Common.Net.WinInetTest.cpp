// What the client does over the libcurl transport only: HTTPS against openssl's test server,
// with a certificate authority the test makes for itself, and a chunked body cut short (which
// WinInet under Wine passes as whole: it offers no way to tell).

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "net/Common.Net.WinInet.h"
#include "support/LoopbackHttpServer.h"
#include "support/TempFolder.h"

namespace kv {
namespace {

int Shell(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str());
}

// A throwaway authority and a server certificate from it for the name "localhost".
class TTlsServer {
 public:
  TTlsServer() : FDir(FFolder.Path("")) {
    std::replace(FDir.begin(), FDir.end(), '\\', '/');
    std::ofstream(FDir + "ext.cnf") << "subjectAltName=DNS:localhost\n";
    const std::string d = FDir;
    EXPECT_EQ(Shell("openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=kv-test-ca "
                    "-keyout " +
                    d + "ca.key -out " + d + "ca.pem"),
              0);
    EXPECT_EQ(Shell("openssl req -newkey rsa:2048 -nodes -subj /CN=localhost -keyout " + d +
                    "server.key -out " + d + "server.csr"),
              0);
    EXPECT_EQ(
        Shell("openssl x509 -req -in " + d + "server.csr -CA " + d + "ca.pem -CAkey " + d +
              "ca.key -CAcreateserial -days 2 -extfile " + d + "ext.cnf -out " + d + "server.pem"),
        0);
    // A port the system has just handed out and taken back is free.
    {
      test::TLoopbackHttpServer probe([](const test::TRecordedRequest&) { return std::string(); });
      FPort = probe.Port();
    }
    FPid = fork();
    if (FPid == 0) {
      const std::string accept = "127.0.0.1:" + std::to_string(FPort);
      const std::string cert = d + "server.pem";
      const std::string key = d + "server.key";
      freopen("/dev/null", "w", stdout);
      freopen("/dev/null", "w", stderr);
      execlp("openssl", "openssl", "s_server", "-accept", accept.c_str(), "-cert", cert.c_str(),
             "-key", key.c_str(), "-www", "-quiet", static_cast<char*>(nullptr));
      _exit(127);
    }
    for (int i = 0; i < 100 && Shell("bash -c 'exec 3<>/dev/tcp/127.0.0.1/" +
                                     std::to_string(FPort) + "'") != 0;
         ++i) {
      usleep(100000);
    }
  }
  ~TTlsServer() {
    kill(FPid, SIGTERM);
    waitpid(FPid, nullptr, 0);
  }

  std::string CaFile() const { return FDir + "ca.pem"; }
  std::string Url(const std::string& host) const {
    return "https://" + host + ":" + std::to_string(FPort) + "/";
  }

 private:
  test::TTempFolder FFolder;
  std::string FDir;
  uint16_t FPort = 0;
  pid_t FPid = -1;
};

int32_t ErrorOf(const std::string& url) {
  TWinInetWebClient client;
  client.SetShouldCheckStatusCode(false);
  try {
    client.DownloadData(url);
  } catch (const EWinInetException& e) {
    return e.ErrorCode();
  }
  return 0;
}

TEST(HttpsTest, CertificateIsValidatedInFull) {
  TTlsServer server;
  const char* saved = std::getenv("SSL_CERT_FILE");
  const std::string savedValue = saved ? saved : "";

  setenv("SSL_CERT_FILE", server.CaFile().c_str(), 1);
  TWinInetWebClient client;
  client.DownloadData(server.Url("localhost"));
  EXPECT_EQ(client.ResponseStatusCode(), 200);
  EXPECT_EQ(ErrorOf(server.Url("127.0.0.1")), 12038) << "a certificate for another host passed";

  unsetenv("SSL_CERT_FILE");
  EXPECT_EQ(ErrorOf(server.Url("localhost")), platform::kInternetInvalidCa)
      << "an unknown authority passed";

  if (saved) {
    setenv("SSL_CERT_FILE", savedValue.c_str(), 1);
  }
}

TEST(CurlTransportTest, ChunkedBodyCutShortRaises) {
  test::TLoopbackHttpServer server([](const test::TRecordedRequest&) {
    return std::string(
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n"
        "5\r\nHello\r\n8\r\n, wor");
  });
  test::TTempFolder folder;
  const std::string file = folder.Path("data.bin");
  test::WriteFileBytes(file, "old content");
  TWinInetWebClient client;
  try {
    client.DownloadData(server.Url("/"), file);
    FAIL() << "a chunked body cut short passed as whole";
  } catch (const EWinInetException& e) {
    EXPECT_EQ(e.ErrorCode(), platform::kInternetConnectionAborted) << e.Message();
  }
  EXPECT_EQ(test::ReadFileBytes(file), "old content");
}

}  // namespace
}  // namespace kv
