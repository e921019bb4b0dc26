#pragma once
// Addresses of the network client: TUri takes them apart and puts them together again; the
// free functions percent-encode, percent-decode and take an address's last segment.

#include <cstdint>
#include <map>
#include <string>
#include <utility>

#include "base/Exceptions.h"
#include "base/Object.h"

namespace kv {

// An address the network client cannot use.
KV_DECLARE_EXCEPTION(EInvalidUriException, Exception)

// An address cut into scheme, user information, host, port, path and query parameters. The
// splitter is deliberately simple: it cuts at fixed marker characters in a fixed order.
class TUri : public TObject {
  KV_CLASS_INFO()
 public:
  // Query parameters: exact (case-sensitive) names, percent-decoded values.
  using TParams = std::map<std::string, std::string>;

  TUri() = default;
  explicit TUri(const std::string& uri);

  // Replaces the whole content by the parts of the address. Raises EConvertError for a port
  // that is not a decimal number in 0..65535 and for a malformed escape in a query value; the
  // fields set so far stay.
  void Parse(const std::string& uri);
  // The text form: scheme "://" user information, host, port, path and the rebuilt query.
  std::string Build() const;
  std::string ToString() const override { return Build(); }
  // The path followed by the query exactly as Parse was given it.
  std::string PathAndQuery() const;
  // The value of the first parameter with that name; empty when there is none.
  std::string ParamByName(const std::string& paramName, bool caseInsensitive) const;
  int32_t PortOrDefault(int32_t defaultPort) const { return FPort != 0 ? FPort : defaultPort; }
  std::string ProtocolOrDefault(const std::string& defaultProtocol) const {
    return FProtocol.empty() ? defaultProtocol : FProtocol;
  }

  // The text last given to Parse, unchanged.
  const std::string& SourceUri() const { return FSourceUri; }
  // The scheme without "://", in lower case after Parse.
  const std::string& Protocol() const { return FProtocol; }
  void SetProtocol(std::string protocol) { FProtocol = std::move(protocol); }
  // The host name, in lower case after Parse.
  const std::string& Host() const { return FHost; }
  void SetHost(std::string host) { FHost = std::move(host); }
  // 0 when the address gives no port.
  int32_t Port() const { return FPort; }
  void SetPort(int32_t port) { FPort = port; }
  // The path without its leading "/" and without the query.
  const std::string& Path() const { return FPath; }
  void SetPath(std::string path) { FPath = std::move(path); }
  const std::string& UserName() const { return FUserName; }
  void SetUserName(std::string userName) { FUserName = std::move(userName); }
  const std::string& Password() const { return FPassword; }
  void SetPassword(std::string password) { FPassword = std::move(password); }
  TParams& Params() { return FParams; }
  const TParams& Params() const { return FParams; }

 private:
  std::string FProtocol;
  std::string FHost;
  int32_t FPort = 0;
  std::string FSourceUri;
  std::string FPath;
  std::string FUserName;
  std::string FPassword;
  TParams FParams;
};

// Percent-encodes the text's UTF-8 bytes as "%XX" (upper-case digits). With onlyUnsafe, only
// the characters " % & < > [ \ ] ^ ` { | } are encoded; otherwise everything but ASCII letters
// and digits is.
std::string UrlEncode(const std::string& text, bool onlyUnsafe);
// Replaces each "%" and the (up to) two hexadecimal digits after it by that byte; "+" stays.
// Raises EConvertError when the characters after a "%" are not hexadecimal digits. Byte
// sequences that are not UTF-8 come out as U+FFFD.
std::string UrlDecode(const std::string& text);
// The two parts of an address (host and path, base address and relative one) joined with
// exactly one "/" at the seam.
std::string JoinHostAndPath(const std::string& host, const std::string& path);
// The text after the address's last "/" or "\"; the whole address when it holds neither.
std::string ExtractUrlFileName(const std::string& url);

}  // namespace kv
