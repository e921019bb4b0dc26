#pragma once
// The Windows-1251 (Cyrillic single-byte) code page, shared by the whole process.

#include <string>
#include <string_view>

namespace kv {

class TEncoding1251 {
 public:
  // The process-wide object, created on first use.
  static const TEncoding1251& Instance();

  // UTF-8 text to 1251 bytes; characters the code page lacks become '?'.
  std::string Encode(std::string_view utf8) const;
  // 1251 bytes to UTF-8 text.
  std::string Decode(std::string_view bytes) const;
};

}  // namespace kv
