#include "app/ProfileFile.h"

#include <optional>

#include "base/Exceptions.h"
#include "common/Common.SysUtils.h"
#include "platform/Files.h"
#include "platform/Text.h"

namespace kv::app {

namespace {

// The reader's blanks; 0x1A is the end-of-file mark some editors leave behind.
bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '\x1A';
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && IsBlank(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

std::string DecodeUtf16(std::string_view bytes, bool bigEndian) {
  std::u16string text;
  text.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto first = static_cast<unsigned char>(bytes[i]);
    const auto second = static_cast<unsigned char>(bytes[i + 1]);
    text += static_cast<char16_t>(bigEndian ? first << 8 | second : second << 8 | first);
  }
  return platform::Utf16ToUtf8(text);
}

std::string Decode(std::string_view bytes) {
  if (bytes.starts_with("\xFF\xFE")) {
    return DecodeUtf16(bytes.substr(2), false);
  }
  if (bytes.starts_with("\xFE\xFF")) {
    return DecodeUtf16(bytes.substr(2), true);
  }
  return platform::DecodeCodePage(platform::AnsiCodePage(), bytes);
}

// The value as a read returns it: one pair of enclosing quotes (single or double) taken off,
// then cut to the longest value, never inside a surrogate pair.
std::string ValueAsRead(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return CutToUtf16Length(value, TProfileFile::kMaxValueLength);
}

std::optional<int32_t> ParseInteger(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  unsigned base = 10;
  if (text.starts_with("$")) {
    base = 16;
    text.remove_prefix(1);
  } else if (text.starts_with("0x") || text.starts_with("0X")) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) {
    return std::nullopt;
  }
  // Hexadecimal takes all 32 bits (as two's complement), decimal the signed range.
  const uint64_t limit = base == 16 ? 0xFFFFFFFFu : negative ? 0x80000000u : 0x7FFFFFFFu;
  uint64_t magnitude = 0;
  for (const char c : text) {
    unsigned digit = 0;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = static_cast<unsigned>(c - 'a' + 10);
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = static_cast<unsigned>(c - 'A' + 10);
    } else {
      return std::nullopt;
    }
    magnitude = magnitude * base + digit;
    if (magnitude > limit) {
      return std::nullopt;
    }
  }
  const auto bits = static_cast<uint32_t>(negative ? 0 - magnitude : magnitude);
  return static_cast<int32_t>(bits);
}

}  // namespace

TProfileFile TProfileFile::Load(const std::string& fileName) {
  std::string bytes;
  try {
    const auto file = platform::OpenFile(fileName, platform::TFileOpenMode::OpenRead);
    bytes.resize(static_cast<size_t>(file->Size()));
    bytes.resize(static_cast<size_t>(file->Read(bytes.data(), std::ssize(bytes))));
  } catch (const Exception&) {
    bytes.clear();
  }
  return Parse(bytes);
}

TProfileFile TProfileFile::Parse(std::string_view bytes) {
  TProfileFile result;
  result.FSections.push_back({});
  const std::string text = Decode(bytes);
  std::string_view rest = text;
  while (!rest.empty()) {
    const size_t lineEnd = rest.find('\n');
    const std::string_view line = Trim(rest.substr(0, lineEnd));
    rest = lineEnd == std::string_view::npos ? std::string_view() : rest.substr(lineEnd + 1);
    if (line.empty()) {
      continue;
    }
    // A "[" without a closing "]" is no section line.
    if (const size_t nameEnd = line.rfind(']');
        line.front() == '[' && nameEnd != std::string_view::npos) {
      result.FSections.push_back({std::string(line.substr(1, nameEnd - 1)), {}});
      continue;
    }
    TKey key;
    const size_t equals = line.find('=');
    key.Name = Trim(line.substr(0, equals));
    if (equals != std::string_view::npos) {
      key.Value = Trim(line.substr(equals + 1));
      key.HasValue = true;
    }
    result.FSections.back().Keys.push_back(std::move(key));
  }
  return result;
}

const TProfileFile::TSection* TProfileFile::FindSection(const std::string& section) const {
  // The nameless section above the first section line cannot be asked for.
  for (size_t i = 1; i < FSections.size(); ++i) {
    if (platform::SameTextLocale(FSections[i].Name, section)) {
      return &FSections[i];
    }
  }
  return nullptr;
}

const TProfileFile::TKey* TProfileFile::FindKey(const std::string& section,
                                                const std::string& key) const {
  const TSection* found = FindSection(section);
  if (!found) {
    return nullptr;
  }
  for (const TKey& candidate : found->Keys) {
    if (platform::SameTextLocale(candidate.Name, key)) {
      return &candidate;
    }
  }
  return nullptr;
}

std::vector<std::string> TProfileFile::ReadSection(const std::string& section) const {
  std::vector<std::string> names;
  if (const TSection* found = FindSection(section)) {
    for (const TKey& key : found->Keys) {
      // As the system lists them: an empty name would end its list of names, a ";" line is a
      // comment, and a line without "=" holds no key.
      if (key.HasValue && !key.Name.empty() && key.Name.front() != ';') {
        names.push_back(key.Name);
      }
    }
  }
  return names;
}

std::string TProfileFile::ReadString(const std::string& section, const std::string& key,
                                     const std::string& defaultValue) const {
  const TKey* found = FindKey(section, key);
  return found && found->HasValue ? ValueAsRead(found->Value) : defaultValue;
}

int32_t TProfileFile::ReadInteger(const std::string& section, const std::string& key,
                                  int32_t defaultValue) const {
  return ParseInteger(ReadString(section, key, "")).value_or(defaultValue);
}

bool TProfileFile::ReadBool(const std::string& section, const std::string& key,
                            bool defaultValue) const {
  return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

}  // namespace kv::app
