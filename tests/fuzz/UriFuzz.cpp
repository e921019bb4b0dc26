// libFuzzer target: arbitrary bytes as an address and as percent-encoded text. Parsing either
// succeeds or raises EConvertError; a parsed address builds, its host holds none of the marks
// that end a host, and its parameter values are UTF-8. Decoding either raises EConvertError or
// gives UTF-8, and decoding gives back what either encoding mode made of UTF-8 text.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "net/Common.Net.h"
#include "platform/Text.h"

namespace {

using namespace kv;

bool IsUtf8(const std::string& text) {
  return platform::Utf16ToUtf8(platform::Utf8ToUtf16(text)) == text;
}

void Check(bool condition) {
  if (!condition) {
    std::abort();
  }
}

void ParseAddress(const std::string& text) {
  TUri uri;
  try {
    uri.Parse(text);
  } catch (const EConvertError&) {
    return;
  }
  uri.Build();
  Check(uri.Host().find_first_of(":/?") == std::string::npos);
  Check(uri.Port() >= 0 && uri.Port() <= 65535);
  Check(uri.PathAndQuery().starts_with(uri.Path()));
  for (const auto& [name, value] : uri.Params()) {
    Check(IsUtf8(value));
  }
}

void DecodeText(const std::string& text) {
  try {
    Check(IsUtf8(UrlDecode(text)));
  } catch (const EConvertError&) {
  }
  if (IsUtf8(text)) {
    Check(UrlDecode(UrlEncode(text, false)) == text);
    Check(UrlDecode(UrlEncode(text, true)) == text);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  ParseAddress(text);
  DecodeText(text);
  return 0;
}
