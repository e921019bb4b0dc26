#include "common/TextFile.h"

#include <algorithm>
#include <iterator>

#include "platform/Files.h"
#include "platform/Text.h"

namespace kv {
namespace {

bool StartsWith(std::string_view bytes, std::string_view mark) {
  return bytes.substr(0, mark.size()) == mark;
}

std::string DecodeUtf16(std::string_view bytes, bool bigEndian) {
  std::u16string units(bytes.size() / 2, u'\0');
  for (size_t i = 0; i < units.size(); ++i) {
    const auto first = static_cast<unsigned char>(bytes[2 * i]);
    const auto second = static_cast<unsigned char>(bytes[2 * i + 1]);
    units[i] = static_cast<char16_t>(bigEndian ? first << 8 | second : second << 8 | first);
  }
  return platform::Utf16ToUtf8(units);
}

}  // namespace

std::string DecodeText(std::string_view bytes) {
  if (StartsWith(bytes, "\xEF\xBB\xBF")) {
    // Through UTF-16 and back, so that what is not UTF-8 becomes U+FFFD.
    return platform::Utf16ToUtf8(platform::Utf8ToUtf16(bytes.substr(3)));
  }
  if (StartsWith(bytes, "\xFF\xFE")) {
    return DecodeUtf16(bytes.substr(2), false);
  }
  if (StartsWith(bytes, "\xFE\xFF")) {
    return DecodeUtf16(bytes.substr(2), true);
  }
  return platform::DecodeCodePage(platform::AnsiCodePage(), bytes);
}

TStringList SplitLines(std::string_view text) {
  TStringList lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = std::min(text.find_first_of("\r\n", start), text.size());
    lines.Add(std::string(text.substr(start, end - start)));
    start = end;
    if (start < text.size() && text[start] == '\r') {
      ++start;
    }
    if (start < text.size() && text[start] == '\n') {
      ++start;
    }
  }
  return lines;
}

TStringList LoadLinesFromFile(const std::string& path) {
  const auto file = platform::OpenFile(path, platform::TFileOpenMode::OpenRead);
  std::string bytes(static_cast<size_t>(file->Size()), '\0');
  bytes.resize(static_cast<size_t>(file->Read(bytes.data(), std::ssize(bytes))));
  return SplitLines(DecodeText(bytes));
}

}  // namespace kv
