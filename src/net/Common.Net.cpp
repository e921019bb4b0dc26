#include "net/Common.Net.h"

#include <algorithm>
#include <string_view>

#include "base/Format.h"
#include "base/Rtti.h"
#include "common/StringList.h"
#include "platform/Text.h"

namespace kv {

KV_DEFINE_CLASS(EInvalidUriException, "EInvalidUriException", Exception)
KV_DEFINE_CLASS(TUri, "TUri", TObject)

namespace {

constexpr size_t kNone = std::string_view::npos;
constexpr int32_t kMaxPort = 65535;
constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

bool IsAsciiAlphaNumeric(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameAsciiText(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  const char lower = AsciiLower(c);
  return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

// A port is decimal digits up to 65535: a larger value would reach the transport cut to
// 16 bits and so name another port.
int32_t PortFromText(std::string_view text) {
  if (text.empty() ||
      !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    throw EConvertError(Format("'%s' is not a valid integer value", std::string(text)));
  }
  int32_t port = 0;
  for (const char digit : text) {
    port = std::min(port * 10 + (digit - '0'), kMaxPort + 1);
  }
  if (port > kMaxPort) {
    throw EConvertError(Format("'%s' is not a valid port number", std::string(text)));
  }
  return port;
}

// The query's items as a delimited text list in its non-strict mode splits them: at "&", and at
// spaces and control characters, with double quotes grouping. The text ends at a NUL.
TStringList SplitQueryItems(std::string_view query) {
  TStringList items;
  items.SetDelimitedText(query.substr(0, query.find('\0')), '&', '"', false);
  return items;
}

// The bytes with every ill-formed UTF-8 sequence (each maximal part of one) replaced by U+FFFD.
// Done here rather than by the platform's converter so that both builds give the same text.
std::string ReplaceInvalidUtf8(std::string_view bytes) {
  std::string result;
  result.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size();) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    size_t trailing = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead < 0x80) {
      result += bytes[i++];
      continue;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
      trailing = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      trailing = 2;
      low = lead == 0xE0 ? 0xA0 : 0x80;   // no overlong forms
      high = lead == 0xED ? 0x9F : 0xBF;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      trailing = 3;
      low = lead == 0xF0 ? 0x90 : 0x80;
      high = lead == 0xF4 ? 0x8F : 0xBF;  // nothing past U+10FFFF
    }
    size_t length = 1;
    for (; length <= trailing && i + length < bytes.size(); ++length) {
      const auto next = static_cast<unsigned char>(bytes[i + length]);
      if (next < (length == 1 ? low : 0x80) || next > (length == 1 ? high : 0xBF)) {
        break;
      }
    }
    if (trailing != 0 && length == trailing + 1) {
      result += bytes.substr(i, length);
    } else {
      result += kReplacementCharacter;
    }
    i += length;
  }
  return result;
}

}  // namespace

std::string JoinHostAndPath(const std::string& host, const std::string& path) {
  if (path.empty()) {
    return host;
  }
  if (host.empty()) {
    return path;
  }
  const bool hostSlash = host.back() == '/';
  const bool pathSlash = path.front() == '/';
  if (hostSlash && pathSlash) {
    return host + path.substr(1);
  }
  return hostSlash || pathSlash ? host + path : host + "/" + path;
}

TUri::TUri(const std::string& uri) {
  Parse(uri);
}

void TUri::Parse(const std::string& uri) {
  FProtocol.clear();
  FHost.clear();
  FPath.clear();
  FUserName.clear();
  FPassword.clear();
  FPort = 0;
  FParams.clear();
  FSourceUri = uri;

  std::string_view rest = uri;
  if (const size_t schemeEnd = rest.find("://"); schemeEnd != kNone) {
    FProtocol = platform::LowerCaseLocale(rest.substr(0, schemeEnd));
    rest.remove_prefix(schemeEnd + 3);
  }
  if (rest.empty()) {
    return;
  }
  // An "@" after the host belongs to the path or the query; taken for the end of the user
  // information, it would send the request to whatever host follows it.
  if (const size_t at = rest.find('@'); at != kNone && at < rest.find_first_of("/?#")) {
    const std::string_view userInfo = rest.substr(0, at);
    const size_t colon = userInfo.find(':');
    FUserName = userInfo.substr(0, colon);
    if (colon != kNone) {
      FPassword = userInfo.substr(colon + 1);
    }
    rest.remove_prefix(at + 1);
  }
  const size_t hostEnd = std::min(rest.find_first_of(":/?"), rest.size());
  FHost = platform::LowerCaseLocale(rest.substr(0, hostEnd));
  rest.remove_prefix(hostEnd);
  if (rest.empty()) {
    return;
  }
  if (rest.front() == ':') {
    const size_t portEnd = std::min(rest.find_first_of("/?"), rest.size());
    FPort = PortFromText(rest.substr(1, portEnd - 1));
    rest.remove_prefix(portEnd);
  }
  if (const size_t query = rest.find('?'); query != kNone) {
    // Each item keeps its own value and a repeated name its first one: a case-blind lookup of
    // the value, or a refusal of the repeat, would change or reject what the address says.
    const TStringList items = SplitQueryItems(rest.substr(query + 1));
    for (int i = 0; i < items.Count(); ++i) {
      const std::string& item = items[i];
      const size_t equals = item.find('=');
      const std::string name = equals == kNone ? std::string() : item.substr(0, equals);
      FParams.emplace(name, equals == kNone ? std::string() : UrlDecode(item.substr(equals + 1)));
    }
    rest = rest.substr(0, query);
  }
  if (!rest.empty() && rest.front() == '/') {
    rest.remove_prefix(1);
  }
  FPath = rest;
}

std::string TUri::Build() const {
  std::string result = platform::LowerCaseLocale(FProtocol) + "://";
  if (!FUserName.empty()) {
    result += FUserName + ":" + FPassword + "@";
  }
  result += JoinHostAndPath(FPort != 0 ? FHost + ":" + std::to_string(FPort) : FHost, FPath);
  std::string query;
  for (const auto& [name, value] : FParams) {
    query += "&" + UrlEncode(name, false) + "=" + UrlEncode(value, false);
  }
  if (!query.empty()) {
    query.front() = '?';
  }
  return result + query;
}

std::string TUri::PathAndQuery() const {
  const size_t query = FSourceUri.find('?');
  return query == kNone ? FPath : FPath + FSourceUri.substr(query);
}

std::string TUri::ParamByName(const std::string& paramName, bool caseInsensitive) const {
  for (const auto& [name, value] : FParams) {
    if (caseInsensitive ? SameAsciiText(name, paramName) : name == paramName) {
      return value;
    }
  }
  return {};
}

std::string UrlEncode(const std::string& text, bool onlyUnsafe) {
  static constexpr std::string_view kUnsafe = "\"%&<>[\\]^`{|}";
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  std::string result;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    const bool keep =
        onlyUnsafe ? byte >= 0x80 || kUnsafe.find(c) == kNone : IsAsciiAlphaNumeric(byte);
    if (keep) {
      result += c;
    } else {
      result += '%';
      result += kHexDigits[byte >> 4];
      result += kHexDigits[byte & 0xF];
    }
  }
  return result;
}

std::string UrlDecode(const std::string& text) {
  std::string bytes;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      bytes += text[i];
      continue;
    }
    const std::string_view digits = std::string_view(text).substr(i + 1, 2);
    if (digits.empty() ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return HexDigitValue(c) >= 0; })) {
      throw EConvertError(Format("'%%%s' is not a valid integer value", std::string(digits)));
    }
    int value = 0;
    for (const char c : digits) {
      value = value * 16 + HexDigitValue(c);
    }
    bytes += static_cast<char>(value);
    i += digits.size();
  }
  return ReplaceInvalidUtf8(bytes);
}

std::string ExtractUrlFileName(const std::string& url) {
  const size_t slash = url.find_last_of("/\\");
  return slash == kNone ? url : url.substr(slash + 1);
}

}  // namespace kv
