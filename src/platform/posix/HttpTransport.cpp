// The HTTP transport over libcurl. A request runs as a transfer of a multi handle that is driven
// only as far as the caller reads, so that a body of any size streams through a small buffer.

#include "platform/HttpTransport.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <vector>

#include "platform/CredentialPrompt.h"
#include "platform/Text.h"

namespace kv::platform {
namespace {

// Close to WinInet's defaults: a minute to connect, half a minute without any data.
constexpr long kConnectTimeoutSeconds = 60;
constexpr long kStallSeconds = 30;
constexpr long kMaxRedirects = 10;

const std::map<int32_t, const char*>& ErrorTexts() {
  static const std::map<int32_t, const char*> texts = {
      {kInternetTimeout, "The operation timed out"},
      {kInternetExtendedError, "An extended error was returned from the server"},
      {12004, "An internal error occurred in the Microsoft Internet extensions"},
      {12005, "The URL is invalid"},
      {12006, "The URL does not use a recognized protocol"},
      {kInternetNameNotResolved, "The server name or address could not be resolved"},
      {kInternetCannotConnect, "A connection with the server could not be established"},
      {kInternetConnectionAborted, "The connection with the server was terminated abnormally"},
      {12038, "The host name in the certificate is invalid or does not match"},
      {kInternetClientAuthCertNeeded, "The server is requesting client authentication"},
      {kInternetInvalidCa, "The certificate authority is invalid or incorrect"},
      {12152, "The server returned an invalid or unrecognized response"},
      {12156, "The HTTP redirect request failed"},
      {12157, "An error occurred in the secure channel support"},
  };
  return texts;
}

[[noreturn]] void RaiseInternetError(int32_t code, const std::string& detail) {
  std::string text = InternetErrorText(code);
  if (!detail.empty()) {
    text += " (" + detail + ")";
  }
  throw EInternetError(code, text);
}

int32_t InternetCodeOf(CURLcode result, const std::string& detail) {
  switch (result) {
    case CURLE_OPERATION_TIMEDOUT:
      return kInternetTimeout;
    case CURLE_URL_MALFORMAT:
      return 12005;
    case CURLE_UNSUPPORTED_PROTOCOL:
      return 12006;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
      return kInternetNameNotResolved;
    case CURLE_COULDNT_CONNECT:
      return kInternetCannotConnect;
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
      return kInternetConnectionAborted;
    case CURLE_PEER_FAILED_VERIFICATION:
      return detail.find("name") != std::string::npos ? 12038 : kInternetInvalidCa;
    case CURLE_SSL_CACERT_BADFILE:
      return kInternetInvalidCa;
    case CURLE_SSL_CONNECT_ERROR:
      return 12157;
    case CURLE_GOT_NOTHING:
    case CURLE_WEIRD_SERVER_REPLY:
      return 12152;
    case CURLE_TOO_MANY_REDIRECTS:
      return 12156;
    default:
      return 12004;
  }
}

void GlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct CurlEasyDeleter {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct CurlMultiDeleter {
  void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct CurlListDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using unique_curl = std::unique_ptr<CURL, CurlEasyDeleter>;
using unique_curlm = std::unique_ptr<CURLM, CurlMultiDeleter>;
using unique_slist = std::unique_ptr<curl_slist, CurlListDeleter>;

std::string HeaderName(const std::string& line) {
  return line.substr(0, line.find(':'));
}

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// What requests of one connection share; requests keep it alive.
struct ConnectionSettings {
  TProxyConfig Proxy;
  std::string Host;
  uint16_t Port = 0;
  std::string Login;
  std::string Password;
  std::string ProxyLogin;
  std::string ProxyPassword;
};

class CurlRequest final : public IHttpRequest {
 public:
  CurlRequest(std::shared_ptr<const ConnectionSettings> settings, std::string verb,
              std::string object, TRequestOptions options)
      : FSettings(std::move(settings)),
        FVerb(std::move(verb)),
        FObject(std::move(object)),
        FOptions(options) {}

  ~CurlRequest() override { Detach(); }

  void AddHeader(const std::string& line) override {
    const std::string name = HeaderName(line);
    for (std::string& existing : FHeaders) {
      if (SameName(HeaderName(existing), name)) {
        existing = line;
        return;
      }
    }
    FHeaders.push_back(line);
  }

  void Send(std::string_view body) override {
    Detach();
    FBody.assign(body);
    FStatusCode = 0;
    FStatusText.clear();
    FResponseHeaders.clear();
    FRequestHeaders.clear();
    FBuffer.clear();
    FBufferStart = 0;
    FFinished = false;
    FResult = CURLE_OK;
    FErrorBuffer[0] = '\0';
    Start();
    while (FBuffer.empty() && !FFinished) {
      Drive();
    }
    CheckResult();
  }

  int32_t StatusCode() override { return FStatusCode; }
  std::string StatusText() override { return FStatusText; }
  std::string ResponseHeaders() override { return FResponseHeaders; }
  std::string RequestHeaders() override { return FRequestHeaders; }

  int64_t Read(void* buffer, int64_t count) override {
    if (!FMulti || count <= 0) {
      return 0;
    }
    while (FBufferStart == FBuffer.size() && !FFinished) {
      FBuffer.clear();
      FBufferStart = 0;
      Drive();
    }
    if (FBufferStart == FBuffer.size()) {
      CheckResult();
      return 0;
    }
    const size_t n = std::min(static_cast<size_t>(count), FBuffer.size() - FBufferStart);
    std::memcpy(buffer, FBuffer.data() + FBufferStart, n);
    FBufferStart += n;
    return static_cast<int64_t>(n);
  }

 private:
  std::string Url() const {
    const std::string& host = FSettings->Host;
    const bool ipv6 = host.find(':') != std::string::npos;
    std::string url = FOptions.Secure ? "https://" : "http://";
    url += ipv6 ? "[" + host + "]" : host;
    url += ":" + std::to_string(FSettings->Port);
    if (FObject.empty() || FObject[0] != '/') {
      url += '/';
    }
    return url + FObject;
  }

  void Start() {
    GlobalInit();
    FEasy.reset(curl_easy_init());
    FMulti.reset(curl_multi_init());
    if (!FEasy || !FMulti) {
      throw std::bad_alloc();
    }
    CURL* easy = FEasy.get();
    const std::string url = Url();
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, FErrorBuffer);
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    // OpenSSL's own way to name another trust store, which libcurl's built-in path would hide.
    if (const char* caFile = std::getenv("SSL_CERT_FILE"); caFile && *caFile) {
      curl_easy_setopt(easy, CURLOPT_CAINFO, caFile);
    }
    if (FOptions.Reload) {
      curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, 1L);
    }

    if (FVerb == "GET") {
      curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    } else if (FVerb == "HEAD") {
      curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    } else {
      curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, FVerb.c_str());
    }
    if (!FBody.empty() || FVerb == "POST" || FVerb == "PUT") {
      curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(FBody.size()));
      curl_easy_setopt(easy, CURLOPT_POSTFIELDS, FBody.data());
    }

    const ConnectionSettings& settings = *FSettings;
    if (!settings.Login.empty()) {
      curl_easy_setopt(easy, CURLOPT_USERNAME, settings.Login.c_str());
      curl_easy_setopt(easy, CURLOPT_PASSWORD, settings.Password.c_str());
      curl_easy_setopt(easy, CURLOPT_HTTPAUTH, CURLAUTH_ANY);
    }
    switch (settings.Proxy.Access) {
      case TProxyAccess::Direct:
        curl_easy_setopt(easy, CURLOPT_PROXY, "");
        break;
      case TProxyAccess::Named:
        curl_easy_setopt(easy, CURLOPT_PROXY, settings.Proxy.Server.c_str());
        break;
      case TProxyAccess::Preconfigured:
        // libcurl reads the system's proxy from the environment (http_proxy, no_proxy).
        break;
    }
    if (!settings.ProxyLogin.empty()) {
      curl_easy_setopt(easy, CURLOPT_PROXYUSERNAME, settings.ProxyLogin.c_str());
      curl_easy_setopt(easy, CURLOPT_PROXYPASSWORD, settings.ProxyPassword.c_str());
      curl_easy_setopt(easy, CURLOPT_PROXYAUTH, CURLAUTH_ANY);
    }

    // WinInet adds neither a content type nor "Expect: 100-continue" of its own.
    std::vector<std::string> lines = FHeaders;
    for (const char* suppressed : {"Content-Type", "Expect"}) {
      const bool set = std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
        return SameName(HeaderName(line), suppressed);
      });
      if (!set) {
        lines.push_back(std::string(suppressed) + ":");
      }
    }
    curl_slist* list = nullptr;
    for (const std::string& line : lines) {
      curl_slist* next = curl_slist_append(list, line.c_str());
      if (!next) {
        curl_slist_free_all(list);
        throw std::bad_alloc();
      }
      list = next;
    }
    FHeaderList.reset(list);
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, list);

    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &CurlRequest::OnHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &CurlRequest::OnData);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    // The debug callback is the only place libcurl shows the header block it sent.
    curl_easy_setopt(easy, CURLOPT_DEBUGFUNCTION, &CurlRequest::OnDebug);
    curl_easy_setopt(easy, CURLOPT_DEBUGDATA, this);
    curl_easy_setopt(easy, CURLOPT_VERBOSE, 1L);

    curl_multi_add_handle(FMulti.get(), easy);
  }

  void Detach() {
    if (FMulti && FEasy) {
      curl_multi_remove_handle(FMulti.get(), FEasy.get());
    }
    FEasy.reset();
    FMulti.reset();
  }

  void Drive() {
    int running = 0;
    const CURLMcode code = curl_multi_perform(FMulti.get(), &running);
    if (code != CURLM_OK) {
      RaiseInternetError(12004, curl_multi_strerror(code));
    }
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(FMulti.get(), &queued)) {
      if (message->msg == CURLMSG_DONE) {
        FFinished = true;
        FResult = message->data.result;
      }
    }
    if (!FFinished && FBuffer.size() == FBufferStart) {
      curl_multi_poll(FMulti.get(), nullptr, 0, 1000, nullptr);
    }
  }

  void CheckResult() {
    if (FFinished && FResult != CURLE_OK) {
      const std::string detail = FErrorBuffer[0] ? FErrorBuffer : curl_easy_strerror(FResult);
      RaiseInternetError(InternetCodeOf(FResult, detail), detail);
    }
  }

  static size_t OnHeader(char* data, size_t size, size_t count, void* self) {
    auto& request = *static_cast<CurlRequest*>(self);
    std::string line(data, size * count);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) {
      line.pop_back();
    }
    // Each response of a redirect or an authentication round starts the block anew.
    if (line.rfind("HTTP/", 0) == 0) {
      request.FResponseHeaders.clear();
      const size_t codeStart = line.find(' ');
      if (codeStart != std::string::npos) {
        request.FStatusCode = std::atoi(line.c_str() + codeStart + 1);
        const size_t textStart = line.find(' ', codeStart + 1);
        request.FStatusText = textStart == std::string::npos ? "" : line.substr(textStart + 1);
      }
    }
    request.FResponseHeaders += line + "\r\n";
    return size * count;
  }

  static size_t OnData(char* data, size_t size, size_t count, void* self) {
    auto& request = *static_cast<CurlRequest*>(self);
    request.FBuffer.append(data, size * count);
    return size * count;
  }

  static int OnDebug(CURL*, curl_infotype type, char* data, size_t size, void* self) {
    if (type == CURLINFO_HEADER_OUT) {
      static_cast<CurlRequest*>(self)->FRequestHeaders.assign(data, size);
    }
    return 0;
  }

  std::shared_ptr<const ConnectionSettings> FSettings;
  std::string FVerb;
  std::string FObject;
  TRequestOptions FOptions;
  std::vector<std::string> FHeaders;
  std::string FBody;

  unique_curl FEasy;
  unique_curlm FMulti;
  unique_slist FHeaderList;
  char FErrorBuffer[CURL_ERROR_SIZE] = {};
  bool FFinished = false;
  CURLcode FResult = CURLE_OK;

  int32_t FStatusCode = 0;
  std::string FStatusText;
  std::string FResponseHeaders;
  std::string FRequestHeaders;
  std::string FBuffer;
  size_t FBufferStart = 0;
};

class CurlConnection final : public IHttpConnection {
 public:
  explicit CurlConnection(ConnectionSettings settings)
      : FSettings(std::make_shared<ConnectionSettings>(std::move(settings))) {}

  void SetCredentials(const std::string& login, const std::string& password) override {
    Settings().Login = login;
    Settings().Password = password;
  }
  void SetProxyCredentials(const std::string& login, const std::string& password) override {
    Settings().ProxyLogin = login;
    Settings().ProxyPassword = password;
  }
  std::unique_ptr<IHttpRequest> OpenRequest(const std::string& verb, const std::string& object,
                                            const TRequestOptions& options) override {
    return std::make_unique<CurlRequest>(FSettings, verb, object, options);
  }

 private:
  // Requests already open keep the settings they were opened with.
  ConnectionSettings& Settings() {
    if (FSettings.use_count() > 1) {
      FSettings = std::make_shared<ConnectionSettings>(*FSettings);
    }
    return *FSettings;
  }

  std::shared_ptr<ConnectionSettings> FSettings;
};

class CurlSession final : public IHttpSession {
 public:
  explicit CurlSession(TProxyConfig proxy) : FProxy(std::move(proxy)) {}

  std::unique_ptr<IHttpConnection> Connect(const std::string& host, uint16_t port,
                                           const std::string& login,
                                           const std::string& password) override {
    ConnectionSettings settings;
    settings.Proxy = FProxy;
    settings.Host = host;
    settings.Port = port;
    settings.Login = login;
    settings.Password = password;
    return std::make_unique<CurlConnection>(std::move(settings));
  }

 private:
  TProxyConfig FProxy;
};

// Linux has no login dialog: the answer stands as the server gave it.
class NoCredentialPrompt final : public ICredentialPrompt {
 public:
  TPromptAnswer AskLogin(IHttpConnection&, IHttpRequest&) override { return TPromptAnswer::Done; }
  TPromptAnswer AskClientCertificate(IHttpRequest&) override { return TPromptAnswer::Cancelled; }
};

}  // namespace

std::string InternetErrorText(int32_t code) {
  const auto& texts = ErrorTexts();
  const auto found = texts.find(code);
  return found == texts.end() ? std::string() : found->second;
}

std::unique_ptr<IHttpSession> OpenHttpSession(const TProxyConfig& proxy) {
  GlobalInit();
  return std::make_unique<CurlSession>(proxy);
}

template <>
ICredentialPrompt& TCurrent<ICredentialPrompt>::Default() {
  static NoCredentialPrompt instance;
  return instance;
}

}  // namespace kv::platform
