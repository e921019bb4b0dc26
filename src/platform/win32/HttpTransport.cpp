// The HTTP transport over WinInet, and WinInet's own login and client-certificate dialogs as the
// credential prompt.

#include "platform/HttpTransport.h"

#include "platform/win32/Win32.h"

#include <wininet.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "platform/CredentialPrompt.h"
#include "platform/win32/Handles.h"

namespace kv::platform {
namespace {

using unique_hinternet = win32::unique_any<HINTERNET, &::InternetCloseHandle>;
// Children keep their parents' handles open.
using shared_hinternet = std::shared_ptr<unique_hinternet>;

std::string LastResponseInfo() {
  DWORD error = 0;
  DWORD length = 0;
  InternetGetLastResponseInfoW(&error, nullptr, &length);
  if (length == 0) {
    return {};
  }
  std::wstring text(length + 1, L'\0');
  if (!InternetGetLastResponseInfoW(&error, text.data(), &length)) {
    return {};
  }
  text.resize(length);
  return win32::Narrow(text);
}

// WinInet's check: its own errors with its text, others as the system's error.
[[noreturn]] void RaiseInternetError(DWORD code) {
  std::string text = InternetErrorText(static_cast<int32_t>(code));
  if (text.empty()) {
    win32::RaiseOSError(code);
  }
  if (code == ERROR_INTERNET_EXTENDED_ERROR) {
    text += LastResponseInfo();
  }
  throw EInternetError(static_cast<int32_t>(code), text);
}

template <class T>
T CheckInternet(T result) {
  if (!result) {
    RaiseInternetError(GetLastError());
  }
  return result;
}

void SetTextOption(HINTERNET handle, DWORD option, const std::string& value) {
  std::wstring text = win32::Wide(value);
  CheckInternet(InternetSetOptionW(handle, option, text.data(), static_cast<DWORD>(text.size())));
}

class WinInetRequest final : public IHttpRequest {
 public:
  WinInetRequest(shared_hinternet connection, HINTERNET handle, std::string verb)
      : FConnection(std::move(connection)), FHandle(handle), FVerb(std::move(verb)) {}

  HINTERNET Handle() const { return FHandle.get(); }

  void AddHeader(const std::string& line) override {
    const std::wstring text = win32::Wide(line + "\r\n");
    CheckInternet(HttpAddRequestHeadersW(FHandle.get(), text.c_str(),
                                         static_cast<DWORD>(text.size()),
                                         HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE));
  }

  void Send(std::string_view body) override {
    FBodyRead = 0;
    FExpectedLength.reset();
    void* data = body.empty() ? nullptr : const_cast<char*>(body.data());
    CheckInternet(
        HttpSendRequestW(FHandle.get(), nullptr, 0, data, static_cast<DWORD>(body.size())));
    // WinInet ends a body cut short of its Content-Length as if it were whole.
    if (FVerb != "HEAD" && StatusCode() != HTTP_STATUS_NO_CONTENT &&
        StatusCode() != HTTP_STATUS_NOT_MODIFIED) {
      FExpectedLength = ContentLength();
    }
  }

  int32_t StatusCode() override {
    DWORD code = 0;
    DWORD size = sizeof(code);
    CheckInternet(HttpQueryInfoW(FHandle.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER,
                                 &code, &size, nullptr));
    return static_cast<int32_t>(code);
  }

  std::string StatusText() override { return QueryText(HTTP_QUERY_STATUS_TEXT); }
  std::string ResponseHeaders() override { return QueryText(HTTP_QUERY_RAW_HEADERS_CRLF); }
  std::string RequestHeaders() override {
    return QueryText(HTTP_QUERY_RAW_HEADERS_CRLF | HTTP_QUERY_FLAG_REQUEST_HEADERS);
  }

  int64_t Read(void* buffer, int64_t count) override {
    DWORD read = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<int64_t>(count, 1 << 30));
    CheckInternet(InternetReadFile(FHandle.get(), buffer, chunk, &read));
    FBodyRead += read;
    if (read == 0 && chunk > 0 && FExpectedLength && FBodyRead < *FExpectedLength) {
      RaiseInternetError(ERROR_INTERNET_CONNECTION_ABORTED);
    }
    return read;
  }

 private:
  std::optional<int64_t> ContentLength() {
    const std::string text = QueryText(HTTP_QUERY_CONTENT_LENGTH);
    if (text.empty() ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      return std::nullopt;
    }
    return std::stoll(text);
  }

  // A header's text; empty when the response has no such header.
  std::string QueryText(DWORD query) {
    std::vector<wchar_t> buffer(256);
    for (;;) {
      DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
      if (HttpQueryInfoW(FHandle.get(), query, buffer.data(), &size, nullptr)) {
        return win32::Narrow(std::wstring_view(buffer.data(), size / sizeof(wchar_t)));
      }
      const DWORD error = GetLastError();
      if (error == ERROR_HTTP_HEADER_NOT_FOUND) {
        return {};
      }
      if (error != ERROR_INSUFFICIENT_BUFFER) {
        RaiseInternetError(error);
      }
      buffer.resize(size / sizeof(wchar_t) + 1);
    }
  }

  shared_hinternet FConnection;
  unique_hinternet FHandle;
  std::string FVerb;
  int64_t FBodyRead = 0;
  std::optional<int64_t> FExpectedLength;
};

class WinInetConnection final : public IHttpConnection {
 public:
  WinInetConnection(shared_hinternet session, HINTERNET handle)
      : FSession(std::move(session)), FHandle(std::make_shared<unique_hinternet>(handle)) {}

  void SetCredentials(const std::string& login, const std::string& password) override {
    SetTextOption(FHandle->get(), INTERNET_OPTION_USERNAME, login);
    SetTextOption(FHandle->get(), INTERNET_OPTION_PASSWORD, password);
  }
  void SetProxyCredentials(const std::string& login, const std::string& password) override {
    SetTextOption(FHandle->get(), INTERNET_OPTION_PROXY_USERNAME, login);
    SetTextOption(FHandle->get(), INTERNET_OPTION_PROXY_PASSWORD, password);
  }

  std::unique_ptr<IHttpRequest> OpenRequest(const std::string& verb, const std::string& object,
                                            const TRequestOptions& options) override {
    DWORD flags = 0;
    if (options.Reload) {
      flags |= INTERNET_FLAG_RELOAD;
    }
    // Secure requests keep WinInet's full validation of the server's certificate.
    if (options.Secure) {
      flags |= INTERNET_FLAG_SECURE;
    }
    const std::wstring wideVerb = win32::Wide(verb);
    const std::wstring wideObject = win32::Wide(object);
    HINTERNET request = CheckInternet(HttpOpenRequestW(
        FHandle->get(), wideVerb.c_str(), wideObject.c_str(), nullptr, L"", nullptr, flags, 0));
    return std::make_unique<WinInetRequest>(FHandle, request, verb);
  }

 private:
  shared_hinternet FSession;
  shared_hinternet FHandle;
};

class WinInetSession final : public IHttpSession {
 public:
  explicit WinInetSession(HINTERNET handle) : FHandle(std::make_shared<unique_hinternet>(handle)) {}

  std::unique_ptr<IHttpConnection> Connect(const std::string& host, uint16_t port,
                                           const std::string& login,
                                           const std::string& password) override {
    const std::wstring wideHost = win32::Wide(host);
    const std::wstring wideLogin = win32::Wide(login);
    const std::wstring widePassword = win32::Wide(password);
    HINTERNET connection =
        CheckInternet(InternetConnectW(FHandle->get(), wideHost.c_str(), port, wideLogin.c_str(),
                                       widePassword.c_str(), INTERNET_SERVICE_HTTP, 0, 0));
    return std::make_unique<WinInetConnection>(FHandle, connection);
  }

 private:
  shared_hinternet FHandle;
};

class WinInetCredentialPrompt final : public ICredentialPrompt {
 public:
  TPromptAnswer AskLogin(IHttpConnection&, IHttpRequest& request) override {
    const DWORD result = InternetErrorDlg(
        GetActiveWindow(), HandleOf(request), ERROR_SUCCESS,
        FLAGS_ERROR_UI_FILTER_FOR_ERRORS | FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS, nullptr);
    switch (result) {
      case ERROR_INTERNET_FORCE_RETRY:
        return TPromptAnswer::Retry;
      case ERROR_SUCCESS:
        return TPromptAnswer::Done;
      case ERROR_CANCELLED:
        return TPromptAnswer::Cancelled;
      default:
        throw EPromptError(static_cast<int32_t>(result));
    }
  }

  TPromptAnswer AskClientCertificate(IHttpRequest& request) override {
    const DWORD result = InternetErrorDlg(
        GetDesktopWindow(), HandleOf(request), ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED,
        FLAGS_ERROR_UI_FILTER_FOR_ERRORS | FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS |
            FLAGS_ERROR_UI_FLAGS_GENERATE_DATA,
        nullptr);
    switch (result) {
      case ERROR_SUCCESS:
        return TPromptAnswer::Done;
      case ERROR_CANCELLED:
        return TPromptAnswer::Cancelled;
      default:
        throw EPromptError(static_cast<int32_t>(result));
    }
  }

 private:
  static HINTERNET HandleOf(IHttpRequest& request) {
    return static_cast<WinInetRequest&>(request).Handle();
  }
};

}  // namespace

std::string InternetErrorText(int32_t code) {
  const HMODULE module = GetModuleHandleW(L"wininet.dll");
  if (!module || code < INTERNET_ERROR_BASE || code > INTERNET_ERROR_LAST) {
    return {};
  }
  const DWORD savedError = GetLastError();
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
      module, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  const win32::unique_hlocal_ptr<wchar_t> owned(buffer);
  SetLastError(savedError);
  if (length == 0) {
    return {};
  }
  std::wstring text(buffer, length);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) {
    text.pop_back();
  }
  return win32::Narrow(text);
}

std::unique_ptr<IHttpSession> OpenHttpSession(const TProxyConfig& proxy) {
  DWORD access = INTERNET_OPEN_TYPE_PRECONFIG;
  std::wstring server;
  switch (proxy.Access) {
    case TProxyAccess::Direct:
      access = INTERNET_OPEN_TYPE_DIRECT;
      break;
    case TProxyAccess::Named:
      access = INTERNET_OPEN_TYPE_PROXY;
      server = win32::Wide(proxy.Server);
      break;
    case TProxyAccess::Preconfigured:
      break;
  }
  HINTERNET session =
      CheckInternet(InternetOpenW(L"", access, server.empty() ? nullptr : server.c_str(), L"", 0));
  return std::make_unique<WinInetSession>(session);
}

template <>
ICredentialPrompt& TCurrent<ICredentialPrompt>::Default() {
  static WinInetCredentialPrompt instance;
  return instance;
}

}  // namespace kv::platform
