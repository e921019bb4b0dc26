#include "platform/Xml.h"

#include "base/Rtti.h"
#include "platform/Files.h"
#include "platform/Text.h"

namespace kv::platform {

KV_DEFINE_CLASS(EXmlParseError, "EXmlParseError", Exception)
KV_DEFINE_CLASS(EXmlSaveError, "EXmlSaveError", Exception)
KV_DEFINE_CLASS(EOleSysError, "EOleSysError", Exception)

EOleSysError::EOleSysError(std::string message, int32_t errorCode)
    : Exception(std::move(message)), FErrorCode(errorCode) {}

bool IsXmlNCName(const std::string& name) {
  const std::u16string utf16 = Utf8ToUtf16(name);
  if (utf16.empty() || Utf16ToUtf8(utf16) != name) {
    return false;
  }
  const auto isStart = [](char32_t c) {
    return (c >= 'A' && c <= 'Z') || c == '_' || (c >= 'a' && c <= 'z') ||
           (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) ||
           (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) ||
           (c >= 0x200C && c <= 0x200D) || (c >= 0x2070 && c <= 0x218F) ||
           (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) ||
           (c >= 0xF900 && c <= 0xFDCF) || (c >= 0xFDF0 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0xEFFFF);
  };
  const auto isName = [&](char32_t c) {
    return isStart(c) || c == '-' || c == '.' || (c >= '0' && c <= '9') || c == 0xB7 ||
           (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
  };
  for (size_t i = 0; i < utf16.size(); ++i) {
    const bool first = i == 0;
    char32_t c = utf16[i];
    // Valid UTF-8 gives only whole surrogate pairs.
    if (c >= 0xD800 && c <= 0xDBFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (utf16[++i] - 0xDC00);
    }
    if (!(first ? isStart(c) : isName(c))) {
      return false;
    }
  }
  return true;
}

void TXmlDocument::CheckNotNull() const {
  if (!FData) {
    throw EInvalidOperation("The XML document is null");
  }
}

namespace {

std::string ReadFileBytes(const std::string& path) {
  const auto file = OpenFile(path, TFileOpenMode::OpenRead);
  std::string bytes(static_cast<size_t>(file->Size()), '\0');
  bytes.resize(static_cast<size_t>(file->Read(bytes.data(), std::ssize(bytes))));
  return bytes;
}

}  // namespace

TXmlDocument TXmlDocument::LoadFromFile(const std::string& path) {
  return LoadFromBytes(ReadFileBytes(path));
}

void TXmlDocument::Load(const std::string& path) {
  CheckNotNull();
  LoadBytes(ReadFileBytes(path));
}

}  // namespace kv::platform
