#include "common/Encoding1251.h"

#include "platform/Text.h"

namespace kv {

const TEncoding1251& TEncoding1251::Instance() {
  // Made by the first caller, once for all threads; freed when the program ends.
  static const TEncoding1251 instance;
  return instance;
}

std::string TEncoding1251::Encode(std::string_view utf8) const {
  return platform::EncodeCodePage(platform::kCodePage1251, utf8);
}

std::string TEncoding1251::Decode(std::string_view bytes) const {
  return platform::DecodeCodePage(platform::kCodePage1251, bytes);
}

}  // namespace kv
