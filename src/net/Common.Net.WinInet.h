#pragma once
// The HTTP client, in layers: a connection to one host and port with its proxy settings; a
// request with any verb and its response; a GET request opened as a stream, with the download
// operations of TWinInetHTTP; and TWinInetWebClient, which the rest of the library uses. The
// transport is the platform's (platform/HttpTransport.h).

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/Exceptions.h"
#include "common/Common.Classes.h"
#include "common/SharedPtr.h"
#include "net/Common.Net.h"
#include "platform/HttpTransport.h"

namespace kv {

// A failed transport call: "WinInet error (%d): %s" with WinInet's number in ErrorCode.
class EWinInetException : public Exception {
  KV_CLASS_INFO()
 public:
  EWinInetException(std::string message, int32_t errorCode);
  int32_t ErrorCode() const { return FErrorCode; }

 private:
  int32_t FErrorCode;
};

// A response whose status code is above 399: the message is the code, ": " and the status text.
// Request is the request's header block without the values of credential headers.
class EHttpStatusException : public Exception {
  KV_CLASS_INFO()
 public:
  EHttpStatusException(int32_t statusCode, std::string extendedData, std::string request,
                       std::string statusMessage);
  int32_t StatusCode() const { return FStatusCode; }
  const std::string& StatusMessage() const { return FStatusMessage; }
  const std::string& Request() const { return FRequest; }
  const std::string& ExtendedData() const { return FExtendedData; }

 private:
  int32_t FStatusCode;
  std::string FStatusMessage;
  std::string FRequest;
  std::string FExtendedData;
};

// The largest body held in memory (ToBytes, DownloadData to bytes, DownloadString); larger ones
// raise EReadError and belong in a stream or a file.
constexpr int64_t kMaxBodyInMemory = int64_t{256} << 20;

enum TWinInetProxyKind : uint8_t {
  pkNone = 0,
  pkDefault = 1,
  pkUserSettings = 2,
  pkUserSettingsWithAuthority = 3
};

class TWinInetProxySettings : public TObject {
  KV_CLASS_INFO()
 public:
  // Copies all five values; nothing resets to the state after creation.
  void Assign(const TWinInetProxySettings* source);

  TWinInetProxyKind Kind() const { return FKind; }
  void SetKind(TWinInetProxyKind value) { FKind = value; }
  const std::string& Host() const { return FHost; }
  void SetHost(std::string value) { FHost = std::move(value); }
  int32_t Port() const { return FPort; }
  void SetPort(int32_t value) { FPort = value; }
  const std::string& Login() const { return FLogin; }
  void SetLogin(std::string value) { FLogin = std::move(value); }
  const std::string& Password() const { return FPassword; }
  void SetPassword(std::string value) { FPassword = std::move(value); }

 private:
  TWinInetProxyKind FKind = pkDefault;
  std::string FHost;
  int32_t FPort = 0;
  std::string FLogin;
  std::string FPassword;
};

// A session and a connection to one host and port.
class TWinInetConnection : public TObject {
  KV_CLASS_INFO()
 public:
  TWinInetConnection() = default;
  ~TWinInetConnection() override;
  TWinInetConnection(const TWinInetConnection&) = delete;
  TWinInetConnection& operator=(const TWinInetConnection&) = delete;

  // Opens the session and the connection; a connected object is disconnected first. A failure
  // after the session opened raises ExceptionEx "Ошибка при подключении к серверу" with the
  // cause as its inner exception.
  void Connect();
  void Disconnect();
  bool Connected() const { return FSession != nullptr; }

  // The open connection; raises EInvalidOperation when not connected.
  platform::IHttpConnection& ConnectHandle() const;
  TWinInetProxySettings& ProxySettings() { return FProxySettings; }

  // May carry a scheme prefix ending in "://", which Connect strips.
  const std::string& Host() const { return FHost; }
  void SetHost(std::string value) { FHost = std::move(value); }
  int32_t Port() const { return FPort; }
  void SetPort(int32_t value) { FPort = value; }
  const std::string& Login() const { return FLogin; }
  void SetLogin(std::string value) { FLogin = std::move(value); }
  const std::string& Password() const { return FPassword; }
  void SetPassword(std::string value) { FPassword = std::move(value); }

 protected:
  int32_t FPort = 0;

 private:
  std::unique_ptr<platform::IHttpSession> FSession;
  std::unique_ptr<platform::IHttpConnection> FConnect;
  TWinInetProxySettings FProxySettings;
  std::string FLogin;
  std::string FHost;
  std::string FPassword;
};

// Reads a response body from a request it does not own. Counts are 64-bit; a body cut short of
// its announced length raises EWinInetException.
class TWinInetStream : public TStream {
  KV_CLASS_INFO()
 public:
  explicit TWinInetStream(platform::IHttpRequest& handle) : FHandle(&handle) {}

  int64_t Read(void* buffer, int64_t count) override;
  // Raises EStreamError: a response is only read.
  int64_t Write(const void* buffer, int64_t count) override;
  // Answers the position for a move by 0 from the current one; other moves raise EStreamError.
  int64_t Seek(int64_t offset, platform::TSeekOrigin origin) override;
  // Raises EStreamError: the length of a body is known only once it is read.
  int64_t Size() override;

  platform::IHttpRequest& Handle() const { return *FHandle; }

  // Copies up to maxBytes in chunks of 64 KiB; answers the count copied.
  int64_t CopyWhileReadableTo(TStream& dest, int64_t maxBytes);
  void SaveToStream(TStream& stream);
  // Writes the body to a temporary file beside the destination and puts it in place once the
  // body is whole, so that a failed download leaves an existing file as it was. Without
  // canOverride an existing file raises "Файл \"%s\" уже существует".
  void SaveToFile(const std::string& destFilename, bool canOverride);
  // The whole body; raises EReadError past kMaxBodyInMemory.
  std::vector<uint8_t> ToBytes();

 private:
  platform::IHttpRequest* FHandle;
  int64_t FPosition = 0;
};

class TWinInetHTTP;

// A GET request sent with browser-like headers, read as a stream; it owns its request.
class TWinInetHTTPStream : public TWinInetStream {
  KV_CLASS_INFO()
 public:
  TWinInetHTTPStream(TWinInetHTTP& http, bool disableCache, const std::string& path);

  int32_t StatusCode() const;
  // Raises EHttpStatusException for a status code above 399.
  void CheckStatusCode() const;
  // The file name of the response's Content-Disposition header as the server wrote it; empty
  // without one. Make it safe with SafeFileName before use.
  std::string GetFilename() const;

 private:
  TWinInetHTTPStream(std::unique_ptr<platform::IHttpRequest> request);
  std::unique_ptr<platform::IHttpRequest> FRequest;
};

// The file name a Content-Disposition line gives; empty when the line has none.
std::string ContentDispositionFilename(const std::string& headers);

enum TWinInetHTTPRequestFlag : uint8_t { rfInternetFlagReload = 0, rfInternetSecure = 1 };
struct TWinInetHTTPRequestFlags {
  bool Reload = false;
  bool Secure = false;
};

class TWinInetHTTPResponse;

// One request with any verb and an optional body; sent by GetResponse.
class TWinInetHTTPRequest : public TObject {
  KV_CLASS_INFO()
 public:
  TWinInetHTTPRequest(TWinInetHTTP& http, TWinInetHTTPRequestFlags flags, const std::string& verb,
                      const std::string& path);
  ~TWinInetHTTPRequest() override;

  // Sets one header line, replacing one of the same name; a line holding CR or LF, which would
  // smuggle further lines into the request, raises EInvalidOperation.
  void AddHeader(const std::string& header);
  // The body, created empty on first use; raises EInvalidOperation once GetResponse has run.
  TMemoryStream& RequestStream();
  // Sends the request (asking for a client certificate when the server wants one) and answers
  // the response; with checkStatusCode a status above 399 raises EHttpStatusException.
  TSharedPtr<TWinInetHTTPResponse> GetResponse(bool checkStatusCode);

  platform::IHttpRequest& Handle() const { return *FHandle; }

 private:
  std::shared_ptr<platform::IHttpRequest> FHandle;
  std::unique_ptr<TMemoryStream> FRequestStream;
  bool FGetResponseCalled = false;
};

class TWinInetHTTPResponse : public TObject {
  KV_CLASS_INFO()
 public:
  explicit TWinInetHTTPResponse(std::shared_ptr<platform::IHttpRequest> handle);

  int32_t StatusCode() const { return FHandle->StatusCode(); }
  std::string StatusText() const { return FHandle->StatusText(); }
  TWinInetStream& ResponseStream() { return FResponseStream; }
  platform::IHttpRequest& Handle() const { return *FHandle; }

 private:
  // The request and its response share the handle; the last one to go closes it.
  std::shared_ptr<platform::IHttpRequest> FHandle;
  TWinInetStream FResponseStream;
};

// Raises EHttpStatusException when the request's status code is above 399.
void CheckHttpStatus(platform::IHttpRequest& request);

class TWinInetHTTP : public TWinInetConnection {
  KV_CLASS_INFO()
 public:
  TWinInetHTTP() { FPort = 80; }

  // A GET stream on the address's path; only "http" (or no scheme) is accepted.
  std::unique_ptr<TWinInetHTTPStream> OpenStream(const TUri& uri);
  std::unique_ptr<TWinInetHTTPStream> OpenStream(const std::string& path);

  void DownloadFile(const std::string& sourcePath, TStream& destStream);
  // The file is replaced only once the whole body has arrived.
  void DownloadFile(const std::string& sourcePath, const std::string& destFilename);
  // Saves the body in destPath under the server's file name, else defaultFilename, else the
  // path's last segment, each made safe by SafeFileName; answers the file's path.
  std::string DownloadWithPreferableFilename(const std::string& sourcePath,
                                             const std::string& destPath,
                                             const std::string& defaultFilename);

  static void Download(const std::string& url, TStream& destStream);
  static void Download(const std::string& url, const std::string& destFilename);
  static std::vector<uint8_t> SendData(const std::string& url, const std::string& verb,
                                       const std::vector<uint8_t>& data,
                                       const std::string& userName, const std::string& password);
};

class TWinInetHTTPS : public TWinInetHTTP {
  KV_CLASS_INFO()
 public:
  TWinInetHTTPS() { FPort = 443; }
};

class TWinInetWebClient : public TObject {
  KV_CLASS_INFO()
 public:
  // Sends the request to an absolute address ("http://", "https://", scheme in any case) or to
  // one relative to BaseUrl; copies the body into response when given (its position stays where
  // the body starts) and then checks the status when ShouldCheckStatusCode. "Depth" and other
  // headers come from Headers only.
  void SendRequest(const std::string& url, const std::string& verb, TStream* response,
                   TStream* request);

  void DownloadData(const std::string& url, TStream& dest);
  // Downloads into a temporary file beside the destination and puts it in place on success.
  void DownloadData(const std::string& url, const std::string& destFilename);
  std::vector<uint8_t> DownloadData(const std::string& url);
  // The body as UTF-8 text, a byte-order mark included.
  std::string DownloadString(const std::string& url);
  std::string UploadString(const std::string& url, const std::string& request);

  // Extra request headers, name to value, sent in the order of the names.
  std::map<std::string, std::string>& Headers() { return FHeaders; }
  const std::string& BaseUrl() const { return FBaseUrl; }
  void SetBaseUrl(std::string value) { FBaseUrl = std::move(value); }
  const std::string& Login() const { return FLogin; }
  void SetLogin(std::string value) { FLogin = std::move(value); }
  const std::string& Password() const { return FPassword; }
  void SetPassword(std::string value) { FPassword = std::move(value); }
  bool LoginPromt() const { return FLoginPromt; }
  void SetLoginPromt(bool value) { FLoginPromt = value; }
  TWinInetProxySettings& ProxySettings() { return FProxySettings; }
  bool ForceReload() const { return FForceReload; }
  void SetForceReload(bool value) { FForceReload = value; }
  bool ShouldCheckStatusCode() const { return FShouldCheckStatusCode; }
  void SetShouldCheckStatusCode(bool value) { FShouldCheckStatusCode = value; }
  int32_t ResponseStatusCode() const { return FResponseStatusCode; }
  const std::string& ResponseStatusText() const { return FResponseStatusText; }
  // The last request's header block, credential values left out.
  const std::string& RequestHeaders() const { return FRequestHeaders; }
  // Called with the count of body bytes received so far while a response body is copied.
  void SetOnProgress(std::function<void(int64_t received)> value) {
    FOnProgress = std::move(value);
  }

 private:
  std::map<std::string, std::string> FHeaders;
  std::string FBaseUrl;
  std::string FPassword;
  std::string FLogin;
  bool FLoginPromt = false;
  bool FForceReload = false;
  std::string FResponseStatusText;
  std::string FRequestHeaders;
  int32_t FResponseStatusCode = 0;
  bool FShouldCheckStatusCode = true;
  TWinInetProxySettings FProxySettings;
  std::function<void(int64_t)> FOnProgress;
};

}  // namespace kv
