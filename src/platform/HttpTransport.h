#pragma once
// The HTTP transport with WinInet's semantics: WinInet on Windows, libcurl on Linux. A session
// opens connections to one host and port; a connection opens requests; a request sends once and
// then reads its response. Failures raise EInternetError with WinInet's error numbers on both
// backends, so that callers see the same codes and texts everywhere.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/Exceptions.h"

namespace kv::platform {

// A failed transport call: WinInet's error number and the system's text for it.
class EInternetError : public Exception {
  KV_CLASS_INFO()
 public:
  EInternetError(int32_t code, std::string text);
  int32_t Code() const { return FCode; }
  const std::string& Text() const { return FText; }

 private:
  int32_t FCode;
  std::string FText;
};

// WinInet's numbers that callers act on.
constexpr int32_t kInternetTimeout = 12002;
constexpr int32_t kInternetExtendedError = 12003;
constexpr int32_t kInternetNameNotResolved = 12007;
constexpr int32_t kInternetCannotConnect = 12029;
constexpr int32_t kInternetConnectionAborted = 12030;
constexpr int32_t kInternetClientAuthCertNeeded = 12044;
constexpr int32_t kInternetInvalidCa = 12045;
constexpr int32_t kInternetSecureFailure = 12175;

// WinInet's text for one of its error numbers; empty for a number that is not WinInet's.
std::string InternetErrorText(int32_t code);

// How a session reaches servers: directly, through the system's configured proxy, or through
// the named one ("host:port").
enum class TProxyAccess : uint8_t { Direct, Preconfigured, Named };

struct TProxyConfig {
  TProxyAccess Access = TProxyAccess::Preconfigured;
  std::string Server;
};

struct TRequestOptions {
  // Bypass every cache.
  bool Reload = false;
  // HTTPS, with the server's certificate fully validated.
  bool Secure = false;
};

class IHttpRequest {
 public:
  virtual ~IHttpRequest() = default;
  // Sets one header line ("Name: value", no line end), replacing a header of the same name.
  virtual void AddHeader(const std::string& line) = 0;
  // Sends the request with the body; a request is sent once, again only after the credential
  // prompt asked for a client certificate. Raises EInternetError, with
  // kInternetClientAuthCertNeeded when the server wants a client certificate.
  virtual void Send(std::string_view body) = 0;
  virtual int32_t StatusCode() = 0;
  virtual std::string StatusText() = 0;
  // The response's header block, lines ending in CR LF; empty when there is none.
  virtual std::string ResponseHeaders() = 0;
  // The header block as sent, lines ending in CR LF; empty when none was sent.
  virtual std::string RequestHeaders() = 0;
  // Bytes of the body read into the buffer; 0 at its end. A body the connection cut short of
  // its announced length raises kInternetConnectionAborted where the transport can tell.
  virtual int64_t Read(void* buffer, int64_t count) = 0;
};

class IHttpConnection {
 public:
  virtual ~IHttpConnection() = default;
  // Credentials for the server, sent when it asks for them; later requests use them too.
  virtual void SetCredentials(const std::string& login, const std::string& password) = 0;
  virtual void SetProxyCredentials(const std::string& login, const std::string& password) = 0;
  // A request for the path and query ("/a/b?c=d") of this connection's host.
  virtual std::unique_ptr<IHttpRequest> OpenRequest(const std::string& verb,
                                                    const std::string& object,
                                                    const TRequestOptions& options) = 0;
};

class IHttpSession {
 public:
  virtual ~IHttpSession() = default;
  virtual std::unique_ptr<IHttpConnection> Connect(const std::string& host, uint16_t port,
                                                   const std::string& login,
                                                   const std::string& password) = 0;
};

std::unique_ptr<IHttpSession> OpenHttpSession(const TProxyConfig& proxy);

}  // namespace kv::platform
