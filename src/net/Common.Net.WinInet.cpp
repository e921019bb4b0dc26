#include "net/Common.Net.WinInet.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <functional>
#include <limits>

#include "base/Format.h"
#include "base/Rtti.h"
#include "net/SafeFileName.h"
#include "options/Common.ExceptionEx.h"
#include "platform/CredentialPrompt.h"
#include "platform/Files.h"
#include "platform/OSError.h"

namespace kv {

KV_DEFINE_CLASS(EWinInetException, "EWinInetException", Exception)
KV_DEFINE_CLASS(EHttpStatusException, "EHttpStatusException", Exception)
KV_DEFINE_CLASS(TWinInetProxySettings, "TWinInetProxySettings", TObject)
KV_DEFINE_CLASS(TWinInetConnection, "TWinInetConnection", TObject)
KV_DEFINE_CLASS(TWinInetStream, "TWinInetStream", TStream)
KV_DEFINE_CLASS(TWinInetHTTPStream, "TWinInetHTTPStream", TWinInetStream)
KV_DEFINE_CLASS(TWinInetHTTPRequest, "TWinInetHTTPRequest", TObject)
KV_DEFINE_CLASS(TWinInetHTTPResponse, "TWinInetHTTPResponse", TObject)
KV_DEFINE_CLASS(TWinInetHTTP, "TWinInetHTTP", TWinInetConnection)
KV_DEFINE_CLASS(TWinInetHTTPS, "TWinInetHTTPS", TWinInetHTTP)
KV_DEFINE_CLASS(TWinInetWebClient, "TWinInetWebClient", TObject)

namespace {

constexpr const char* kModule = "lib\\Common\\Common.Net.WinInet";
// Bodies are copied in chunks of this size: each read is one call into the transport, and under
// Wine each such call costs as much as copying several kilobytes.
constexpr int64_t kChunk = 64 * 1024;
constexpr int64_t kAll = std::numeric_limits<int64_t>::max();
constexpr int32_t kMaxPort = 65535;
// A request body goes to the transport in one piece, whose length WinInet counts in 32 bits.
constexpr int64_t kMaxRequestBody = 0xFFFFFFFF;

// Runs a transport call; its failures become EWinInetException with WinInet's number.
template <class F>
auto Internet(F call) -> decltype(call()) {
  try {
    return call();
  } catch (const platform::EInternetError& e) {
    throw EWinInetException(e.Message(), e.Code());
  }
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) ==
                  std::tolower(static_cast<unsigned char>(b));
         });
}

// The header block with the values of credential headers left out, so that an exception or a
// log never carries a password; " " when the transport had none.
std::string WithoutCredentials(const std::string& headers) {
  if (headers.empty()) {
    return " ";
  }
  std::string result;
  size_t start = 0;
  while (start < headers.size()) {
    size_t end = headers.find('\n', start);
    end = end == std::string::npos ? headers.size() : end + 1;
    const std::string_view line(headers.data() + start, end - start);
    if (StartsWithNoCase(line, "Authorization:") ||
        StartsWithNoCase(line, "Proxy-Authorization:")) {
      result += line.substr(0, line.find(':') + 1);
      result += " (omitted)\r\n";
    } else {
      result += line;
    }
    start = end;
  }
  return result;
}

// The scheme of an absolute address in lower case; empty for a relative one.
std::string SchemeOf(const std::string& url) {
  const size_t end = url.find("://");
  if (end == std::string::npos || end == 0 ||
      !std::all_of(
          url.begin(), url.begin() + static_cast<std::ptrdiff_t>(end),
          [](unsigned char c) { return std::isalnum(c) || c == '+' || c == '-' || c == '.'; })) {
    return {};
  }
  std::string scheme = url.substr(0, end);
  std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return scheme;
}

void CheckScheme(const std::string& scheme, const std::string& url) {
  if (scheme != "http" && scheme != "https") {
    throw EInvalidUriException("Допустимы только протоколы http и https.\r\n" + url);
  }
}

std::string PathOf(const TUri& uri) {
  return "/" + uri.Path();
}

std::string ToText(const std::vector<uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

// A memory stream that refuses to grow past the limit for bodies held in memory.
class TBodyInMemory : public TMemoryStream {
 public:
  int64_t Write(const void* buffer, int64_t count) override {
    if (Position() + count > kMaxBodyInMemory) {
      throw EReadError(Format("Ответ сервера больше %lld байт; его нужно читать в поток или файл",
                              static_cast<long long>(kMaxBodyInMemory)));
    }
    return TMemoryStream::Write(buffer, count);
  }

  std::vector<uint8_t> Bytes() {
    std::vector<uint8_t> bytes(static_cast<size_t>(Size()));
    SetPosition(0);
    if (!bytes.empty()) {
      ReadBuffer(bytes.data(), Size());
    }
    return bytes;
  }
};

// Passes writes on to another stream and reports the count written so far.
class TProgressStream : public TStream {
 public:
  TProgressStream(TStream& dest, const std::function<void(int64_t)>& progress)
      : FDest(dest), FProgress(progress) {}
  int64_t Read(void*, int64_t) override { throw EStreamError("Поток только для записи"); }
  int64_t Write(const void* buffer, int64_t count) override {
    const int64_t written = FDest.Write(buffer, count);
    FWritten += written;
    FProgress(FWritten);
    return written;
  }
  int64_t Seek(int64_t offset, platform::TSeekOrigin origin) override {
    return FDest.Seek(offset, origin);
  }
  int64_t Size() override { return FDest.Size(); }

 private:
  TStream& FDest;
  const std::function<void(int64_t)>& FProgress;
  int64_t FWritten = 0;
};

// Writes a file through a temporary one beside it, put in place only when write has finished,
// so that a failure leaves the old file whole and no temporary file behind.
void WriteFileReplacing(const std::string& fileName,
                        const std::function<void(TStream& file)>& write) {
  static std::atomic<unsigned> counter;
  std::string temp;
  do {
    temp = fileName + ".~kv" + std::to_string(counter++);
  } while (platform::FileExists(temp));
  auto file = std::make_unique<TFileStream>(temp, platform::TFileOpenMode::CreateNew,
                                            platform::TFileShare::Exclusive);
  try {
    write(*file);
    file.reset();
    platform::MoveFileOver(temp, fileName);
  } catch (...) {
    file.reset();
    platform::DeleteFile(temp);
    throw;
  }
}

std::unique_ptr<platform::IHttpRequest> OpenGetRequest(TWinInetHTTP& http, bool disableCache,
                                                       const std::string& path) {
  return Internet([&] {
    auto request = http.ConnectHandle().OpenRequest("GET", path, {disableCache, false});
    request->AddHeader("Accept: */*");
    request->AddHeader("Proxy-Connection: Keep-Alive");
    request->AddHeader("Accept-Language: ru");
    request->AddHeader(
        "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR 2.0.50727)");
    request->Send({});
    return request;
  });
}

}  // namespace

// ---- exceptions ----

EWinInetException::EWinInetException(std::string message, int32_t errorCode)
    : Exception(std::move(message)), FErrorCode(errorCode) {}

EHttpStatusException::EHttpStatusException(int32_t statusCode, std::string extendedData,
                                           std::string request, std::string statusMessage)
    : Exception(std::to_string(statusCode) + ": " + statusMessage),
      FStatusCode(statusCode),
      FStatusMessage(std::move(statusMessage)),
      FRequest(std::move(request)),
      FExtendedData(std::move(extendedData)) {}

void CheckHttpStatus(platform::IHttpRequest& request) {
  const int32_t code = Internet([&] { return request.StatusCode(); });
  if (code > 399) {
    throw EHttpStatusException(
        code, {}, WithoutCredentials(Internet([&] { return request.RequestHeaders(); })),
        Internet([&] { return request.StatusText(); }));
  }
}

// ---- proxy settings and connection ----

void TWinInetProxySettings::Assign(const TWinInetProxySettings* source) {
  const TWinInetProxySettings defaults;
  const TWinInetProxySettings& from = source ? *source : defaults;
  FKind = from.FKind;
  FHost = from.FHost;
  FPort = from.FPort;
  FLogin = from.FLogin;
  FPassword = from.FPassword;
}

TWinInetConnection::~TWinInetConnection() {
  Disconnect();
}

void TWinInetConnection::Connect() {
  // A second Connect must not leave the first session open behind it.
  Disconnect();
  platform::TProxyConfig proxy;
  switch (FProxySettings.Kind()) {
    case pkNone:
      proxy.Access = platform::TProxyAccess::Direct;
      break;
    case pkDefault:
      proxy.Access = platform::TProxyAccess::Preconfigured;
      break;
    case pkUserSettings:
    case pkUserSettingsWithAuthority:
      proxy.Access = platform::TProxyAccess::Named;
      proxy.Server = FProxySettings.Host() + ":" + std::to_string(FProxySettings.Port());
      break;
  }
  FSession = Internet([&] { return platform::OpenHttpSession(proxy); });
  try {
    std::string server = FHost;
    if (const size_t scheme = server.find("://"); scheme != std::string::npos) {
      server.erase(0, scheme + 3);
    }
    if (FPort < 0 || FPort > kMaxPort) {
      throw EConvertError(Format("'%d' is not a valid port number", FPort));
    }
    FConnect = Internet(
        [&] { return FSession->Connect(server, static_cast<uint16_t>(FPort), FLogin, FPassword); });
    if (FProxySettings.Kind() == pkUserSettingsWithAuthority) {
      Internet([&] {
        FConnect->SetProxyCredentials(FProxySettings.Login(), FProxySettings.Password());
      });
    }
  } catch (const std::exception& e) {
    Disconnect();
    const auto* own = dynamic_cast<const Exception*>(&e);
    const std::string cause =
        own ? own->ClassName() + ": " + own->Message() : std::string("Exception: ") + e.what();
    throw ExceptionEx("Ошибка при подключении к серверу\r\n" + cause);
  }
}

void TWinInetConnection::Disconnect() {
  FConnect.reset();
  FSession.reset();
}

platform::IHttpConnection& TWinInetConnection::ConnectHandle() const {
  if (!FConnect) {
    throw EInvalidOperation("Нет подключения к серверу");
  }
  return *FConnect;
}

// ---- response stream ----

int64_t TWinInetStream::Read(void* buffer, int64_t count) {
  const int64_t read = Internet([&] { return FHandle->Read(buffer, count); });
  FPosition += read;
  return read;
}

int64_t TWinInetStream::Write(const void*, int64_t) {
  throw EStreamError("Ответ сервера можно только читать");
}

int64_t TWinInetStream::Seek(int64_t offset, platform::TSeekOrigin origin) {
  if (offset != 0 || origin != platform::TSeekOrigin::Current) {
    throw EStreamError("Ответ сервера читается только подряд");
  }
  return FPosition;
}

int64_t TWinInetStream::Size() {
  throw EStreamError("Длина ответа сервера известна только после чтения");
}

int64_t TWinInetStream::CopyWhileReadableTo(TStream& dest, int64_t maxBytes) {
  std::vector<uint8_t> buffer(kChunk);
  int64_t copied = 0;
  while (copied < maxBytes) {
    const int64_t read = Read(buffer.data(), std::min(maxBytes - copied, kChunk));
    if (read == 0) {
      break;
    }
    dest.WriteBuffer(buffer.data(), read);
    copied += read;
  }
  return copied;
}

void TWinInetStream::SaveToStream(TStream& stream) {
  CopyWhileReadableTo(stream, kAll);
}

void TWinInetStream::SaveToFile(const std::string& destFilename, bool canOverride) {
  if (!canOverride && platform::FileExists(destFilename)) {
    throw Exception(Format("Файл \"%s\" уже существует", destFilename));
  }
  WriteFileReplacing(destFilename, [&](TStream& file) { SaveToStream(file); });
}

std::vector<uint8_t> TWinInetStream::ToBytes() {
  TBodyInMemory body;
  SaveToStream(body);
  return body.Bytes();
}

// ---- GET stream ----

TWinInetHTTPStream::TWinInetHTTPStream(TWinInetHTTP& http, bool disableCache,
                                       const std::string& path)
    : TWinInetHTTPStream(OpenGetRequest(http, disableCache, path)) {}

TWinInetHTTPStream::TWinInetHTTPStream(std::unique_ptr<platform::IHttpRequest> request)
    : TWinInetStream(*request), FRequest(std::move(request)) {}

int32_t TWinInetHTTPStream::StatusCode() const {
  return Internet([&] { return FRequest->StatusCode(); });
}

void TWinInetHTTPStream::CheckStatusCode() const {
  CheckHttpStatus(*FRequest);
}

std::string TWinInetHTTPStream::GetFilename() const {
  return ContentDispositionFilename(Internet([&] { return FRequest->ResponseHeaders(); }));
}

std::string ContentDispositionFilename(const std::string& headers) {
  constexpr std::string_view kKey = "filename=";
  size_t start = 0;
  while (start < headers.size()) {
    size_t end = headers.find('\n', start);
    end = end == std::string::npos ? headers.size() : end;
    std::string line = headers.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    const size_t key = line.find(kKey);
    if (!StartsWithNoCase(line, "Content-Disposition:") || key == std::string::npos) {
      continue;
    }
    std::string name = line.substr(key + kKey.size());
    if (!name.empty() && name[0] == '"') {
      const size_t close = name.find('"', 1);
      name = close == std::string::npos ? std::string() : name.substr(1, close - 1);
    } else {
      name = name.substr(0, name.find(' '));
    }
    const size_t first = name.find_first_not_of(" \t");
    if (first == std::string::npos) {
      return {};
    }
    return name.substr(first, name.find_last_not_of(" \t") - first + 1);
  }
  return {};
}

// ---- request and response ----

TWinInetHTTPRequest::TWinInetHTTPRequest(TWinInetHTTP& http, TWinInetHTTPRequestFlags flags,
                                         const std::string& verb, const std::string& path)
    : FHandle(Internet([&] {
        return std::shared_ptr<platform::IHttpRequest>(
            http.ConnectHandle().OpenRequest(verb, path, {flags.Reload, flags.Secure}));
      })) {}

TWinInetHTTPRequest::~TWinInetHTTPRequest() = default;

void TWinInetHTTPRequest::AddHeader(const std::string& header) {
  if (header.find_first_of("\r\n") != std::string::npos) {
    throw EInvalidOperation("Заголовок запроса не может содержать перевод строки");
  }
  Internet([&] { FHandle->AddHeader(header); });
}

TMemoryStream& TWinInetHTTPRequest::RequestStream() {
  if (FGetResponseCalled) {
    throw EInvalidOperation("Нельзя писать в RequestStream после вызова GetResponse");
  }
  if (!FRequestStream) {
    FRequestStream = std::make_unique<TMemoryStream>();
  }
  return *FRequestStream;
}

TSharedPtr<TWinInetHTTPResponse> TWinInetHTTPRequest::GetResponse(bool checkStatusCode) {
  Assert(!FGetResponseCalled, kModule, 1336);
  std::string body;
  if (FRequestStream) {
    const int64_t size = FRequestStream->Size();
    if (size > kMaxRequestBody) {
      throw EWriteError(
          Format("Тело запроса больше %lld байт", static_cast<long long>(kMaxRequestBody)));
    }
    body.resize(static_cast<size_t>(size));
    FRequestStream->SetPosition(0);
    if (size > 0) {
      FRequestStream->ReadBuffer(body.data(), size);
    }
    AddHeader("Content-Length: " + std::to_string(size));
  }
  for (;;) {
    try {
      FHandle->Send(body);
      break;
    } catch (const platform::EInternetError& e) {
      if (e.Code() != platform::kInternetClientAuthCertNeeded) {
        throw EWinInetException(e.Message(), e.Code());
      }
    }
    platform::TPromptAnswer answer;
    try {
      answer = platform::CurrentCredentialPrompt::Get().AskClientCertificate(*FHandle);
    } catch (const platform::EPromptError& e) {
      throw EWinInetException(Format("Ошибка WinInet. Код ошибки: %d", e.Code()), e.Code());
    }
    if (answer == platform::TPromptAnswer::Cancelled) {
      throw EAbort("Operation aborted");
    }
  }
  FGetResponseCalled = true;
  TSharedPtr<TWinInetHTTPResponse> response(new TWinInetHTTPResponse(FHandle));
  if (checkStatusCode) {
    CheckHttpStatus(*FHandle);
  }
  return response;
}

TWinInetHTTPResponse::TWinInetHTTPResponse(std::shared_ptr<platform::IHttpRequest> handle)
    : FHandle(std::move(handle)), FResponseStream(*FHandle) {}

// ---- download operations ----

std::unique_ptr<TWinInetHTTPStream> TWinInetHTTP::OpenStream(const TUri& uri) {
  const std::string protocol = uri.Protocol();
  if (!protocol.empty() && protocol != "http") {
    throw EInvalidUriException("Допустим только http-протокол.\r\n" + uri.SourceUri());
  }
  SetHost(uri.Host());
  SetPort(uri.PortOrDefault(80));
  Connect();
  return OpenStream(PathOf(uri));
}

std::unique_ptr<TWinInetHTTPStream> TWinInetHTTP::OpenStream(const std::string& path) {
  return std::make_unique<TWinInetHTTPStream>(*this, true, path);
}

void TWinInetHTTP::DownloadFile(const std::string& sourcePath, TStream& destStream) {
  auto stream = OpenStream(sourcePath);
  stream->CheckStatusCode();
  stream->SaveToStream(destStream);
}

void TWinInetHTTP::DownloadFile(const std::string& sourcePath, const std::string& destFilename) {
  auto stream = OpenStream(sourcePath);
  stream->CheckStatusCode();
  stream->SaveToFile(destFilename, true);
}

std::string TWinInetHTTP::DownloadWithPreferableFilename(const std::string& sourcePath,
                                                         const std::string& destPath,
                                                         const std::string& defaultFilename) {
  auto stream = OpenStream(sourcePath);
  stream->CheckStatusCode();
  const std::string fallback =
      defaultFilename.empty() ? ExtractUrlFileName(sourcePath) : defaultFilename;
  std::string folder = destPath;
  if (folder.empty() || (folder.back() != '\\' && folder.back() != '/')) {
    folder += '\\';
  }
  const std::string fileName = folder + SafeFileName(stream->GetFilename(), fallback);
  stream->SaveToFile(fileName, true);
  return fileName;
}

void TWinInetHTTP::Download(const std::string& url, TStream& destStream) {
  TWinInetHTTP http;
  auto stream = http.OpenStream(TUri(url));
  stream->CheckStatusCode();
  stream->SaveToStream(destStream);
}

void TWinInetHTTP::Download(const std::string& url, const std::string& destFilename) {
  TWinInetHTTP http;
  auto stream = http.OpenStream(TUri(url));
  stream->CheckStatusCode();
  stream->SaveToFile(destFilename, true);
}

std::vector<uint8_t> TWinInetHTTP::SendData(const std::string& url, const std::string& verb,
                                            const std::vector<uint8_t>& data,
                                            const std::string& userName,
                                            const std::string& password) {
  const TUri uri(url);
  const std::string scheme = uri.ProtocolOrDefault("http");
  CheckScheme(scheme, url);
  const bool secure = scheme == "https";
  std::unique_ptr<TWinInetHTTP> http =
      secure ? std::make_unique<TWinInetHTTPS>() : std::make_unique<TWinInetHTTP>();
  http->SetLogin(userName.empty() ? uri.UserName() : userName);
  http->SetPassword(userName.empty() ? uri.Password() : password);
  http->SetHost(uri.Host());
  http->SetPort(uri.PortOrDefault(http->Port()));
  http->Connect();
  TWinInetHTTPRequest request(*http, {false, secure}, verb, PathOf(uri));
  if (!data.empty()) {
    request.RequestStream().WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
  }
  auto response = request.GetResponse(true);
  return response->ResponseStream().ToBytes();
}

// ---- web client ----

void TWinInetWebClient::SendRequest(const std::string& url, const std::string& verb,
                                    TStream* response, TStream* request) {
  std::string address = url;
  if (SchemeOf(address).empty()) {
    address = JoinHostAndPath(FBaseUrl, address);
  }
  const std::string scheme = SchemeOf(address);
  CheckScheme(scheme, address);
  const bool secure = scheme == "https";

  const TUri uri(address);
  std::unique_ptr<TWinInetHTTP> http =
      secure ? std::make_unique<TWinInetHTTPS>() : std::make_unique<TWinInetHTTP>();
  http->ProxySettings().Assign(&FProxySettings);
  http->SetHost(uri.Host());
  http->SetPort(uri.PortOrDefault(http->Port()));
  http->SetLogin(FLogin.empty() ? uri.UserName() : FLogin);
  http->SetPassword(FPassword.empty() ? uri.Password() : FPassword);
  http->Connect();

  const std::string pathAndQuery = uri.PathAndQuery();
  const std::string object = pathAndQuery.starts_with("/") ? pathAndQuery : "/" + pathAndQuery;
  std::unique_ptr<TWinInetHTTPRequest> httpRequest;
  TSharedPtr<TWinInetHTTPResponse> httpResponse;
  for (;;) {
    httpRequest = std::make_unique<TWinInetHTTPRequest>(
        *http, TWinInetHTTPRequestFlags{FForceReload, secure}, verb, object);
    for (const auto& [name, value] : FHeaders) {
      httpRequest->AddHeader(name + ": " + value);
    }
    if (request) {
      request->SetPosition(0);
      TMemoryStream& body = httpRequest->RequestStream();
      std::vector<uint8_t> buffer(kChunk);
      while (const int64_t read = request->Read(buffer.data(), kChunk)) {
        body.WriteBuffer(buffer.data(), read);
      }
    }
    httpResponse = httpRequest->GetResponse(false);
    const int32_t status = httpResponse->StatusCode();
    if ((status != 401 && status != 407) || !FLoginPromt) {
      break;
    }
    platform::TPromptAnswer answer;
    try {
      answer = platform::CurrentCredentialPrompt::Get().AskLogin(http->ConnectHandle(),
                                                                 httpRequest->Handle());
    } catch (const platform::EPromptError& e) {
      throw platform::OSError(static_cast<uint32_t>(e.Code()));
    }
    if (answer == platform::TPromptAnswer::Cancelled) {
      throw EAbort("Operation aborted");
    }
    if (answer != platform::TPromptAnswer::Retry) {
      break;
    }
  }

  if (response) {
    const int64_t start = response->Position();
    if (FOnProgress) {
      TProgressStream reporting(*response, FOnProgress);
      httpResponse->ResponseStream().SaveToStream(reporting);
    } else {
      httpResponse->ResponseStream().SaveToStream(*response);
    }
    response->SetPosition(start);
  }
  FResponseStatusText = Internet([&] { return httpResponse->StatusText(); });
  FResponseStatusCode = httpResponse->StatusCode();
  FRequestHeaders =
      WithoutCredentials(Internet([&] { return httpRequest->Handle().RequestHeaders(); }));
  if (FShouldCheckStatusCode && FResponseStatusCode > 399) {
    throw EHttpStatusException(FResponseStatusCode, {}, FRequestHeaders, FResponseStatusText);
  }
}

void TWinInetWebClient::DownloadData(const std::string& url, TStream& dest) {
  SendRequest(url, "GET", &dest, nullptr);
}

void TWinInetWebClient::DownloadData(const std::string& url, const std::string& destFilename) {
  WriteFileReplacing(destFilename, [&](TStream& file) { SendRequest(url, "GET", &file, nullptr); });
}

std::vector<uint8_t> TWinInetWebClient::DownloadData(const std::string& url) {
  TBodyInMemory body;
  SendRequest(url, "GET", &body, nullptr);
  return body.Bytes();
}

std::string TWinInetWebClient::DownloadString(const std::string& url) {
  return ToText(DownloadData(url));
}

std::string TWinInetWebClient::UploadString(const std::string& url, const std::string& request) {
  TMemoryStream body;
  body.WriteBuffer(request.data(), static_cast<int64_t>(request.size()));
  TBodyInMemory answer;
  SendRequest(url, "POST", &answer, &body);
  return ToText(answer.Bytes());
}

}  // namespace kv
