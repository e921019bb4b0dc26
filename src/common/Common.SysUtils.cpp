#include "common/Common.SysUtils.h"

#include <algorithm>

#include "base/Rtti.h"
#include "common/CharBuffer.h"
#include "platform/Files.h"
#include "platform/Shell.h"
#include "platform/System.h"
#include "platform/Text.h"

namespace kv {

KV_DEFINE_CLASS(EAPICallError, "EAPICallError", Exception)

namespace {

using platform::Utf16ToUtf8;
using platform::Utf8ToUtf16;

std::string CharToUtf8(char16_t c) {
  return Utf16ToUtf8(std::u16string_view(&c, 1));
}

// Upper case in the user's locale; the mapping keeps every character where it was.
std::u16string UpperCase16(std::u16string_view text) {
  return Utf8ToUtf16(platform::UpperCaseLocale(Utf16ToUtf8(text)));
}

template <class It>
std::string JoinRange(It first, It last, std::string_view delimiter) {
  const std::u16string delimiter16 = Utf8ToUtf16(delimiter);
  std::u16string text;
  TCharBuffer buffer(text);
  for (; first != last; ++first) {
    if (!std::string_view(*first).empty()) {
      buffer.Append(Utf8ToUtf16(*first));
      buffer.Append(delimiter16);
    }
  }
  buffer.Finish();
  if (!text.empty()) {
    text.resize(text.size() - delimiter16.size());
  }
  return Utf16ToUtf8(text);
}

}  // namespace

// ---- TStringUtils ----

std::string TStringUtils::Join(std::initializer_list<std::string_view> strings,
                               std::string_view delimiter) {
  return JoinRange(strings.begin(), strings.end(), delimiter);
}

std::string TStringUtils::Join(std::span<const std::string> strings, std::string_view delimiter) {
  return JoinRange(strings.begin(), strings.end(), delimiter);
}

std::string TStringUtils::Join(std::span<const std::string> strings, int index, int count,
                               std::string_view delimiter) {
  const int64_t size = static_cast<int64_t>(strings.size());
  const int64_t first = std::clamp<int64_t>(index, 0, size);
  const int64_t last = std::clamp<int64_t>(first + count, first, size);
  return JoinRange(strings.begin() + first, strings.begin() + last, delimiter);
}

std::string TStringUtils::CharToOemA(std::string_view winText) {
  return platform::AnsiToOem(winText);
}

std::string TStringUtils::OemToCharA(std::string_view oemText) {
  return platform::OemToAnsi(oemText);
}

bool TStringUtils::CharIsNumeric(char ch, bool includeMinus) {
  return (ch >= '0' && ch <= '9') || (includeMinus && ch == '-');
}

bool TStringUtils::CharIsNumeric(char16_t ch, bool includeMinus) {
  return ch <= 0xFF && CharIsNumeric(static_cast<char>(ch), includeMinus);
}

std::string TStringUtils::AddLeadingChars(const std::string& s, int resLength,
                                          char16_t charForAdd) {
  const int64_t missing = int64_t{resLength} - static_cast<int64_t>(platform::Utf16Length(s));
  std::string result;
  const std::string fill = CharToUtf8(charForAdd);
  for (int64_t i = 0; i < missing; ++i) {
    result += fill;
  }
  return result + s;
}

std::string TStringUtils::AddLeadingChars(const std::string& s, int resLength, char charForAdd) {
  const int64_t missing = int64_t{resLength} - static_cast<int64_t>(s.size());
  return missing > 0 ? std::string(static_cast<size_t>(missing), charForAdd) + s : s;
}

std::string TStringUtils::DropLastChar(const std::string& s, char16_t lastChar) {
  const std::string c = CharToUtf8(lastChar);
  return s.ends_with(c) ? s.substr(0, s.size() - c.size()) : s;
}

std::string TStringUtils::DropFirstChar(const std::string& s, char16_t firstChar) {
  return DropFirstStr(s, CharToUtf8(firstChar));
}

std::string TStringUtils::DropFirstStr(const std::string& s, std::string_view firstStr) {
  return s.starts_with(firstStr) ? s.substr(firstStr.size()) : s;
}

std::string TStringUtils::AddFirstStr(const std::string& s, std::string_view firstStr) {
  return s.starts_with(firstStr) ? s : std::string(firstStr) + s;
}

std::string TStringUtils::AddLastChar(const std::string& s, char16_t lastChar) {
  const std::string c = CharToUtf8(lastChar);
  return s.empty() || s.ends_with(c) ? s : s + c;
}

// ---- replacements ----

std::string ReplaceChar(const std::string& s, char16_t oldChar, char16_t newChar,
                        TReplaceFlags flags) {
  std::u16string text = Utf8ToUtf16(s);
  const bool ignoreCase = (flags & rfIgnoreCase) != 0;
  const std::u16string search = ignoreCase ? UpperCase16(text) : text;
  const char16_t old = ignoreCase ? UpperCase16(std::u16string_view(&oldChar, 1))[0] : oldChar;
  for (size_t i = 0; i < text.size(); ++i) {
    if (search[i] == old) {
      text[i] = newChar;
      if ((flags & rfReplaceAll) == 0) {
        break;
      }
    }
  }
  return Utf16ToUtf8(text);
}

std::string StringReplace(const std::string& s, const std::string& oldPattern,
                          const std::string& newPattern, TReplaceFlags flags) {
  const std::u16string old16 = Utf8ToUtf16(oldPattern);
  const std::u16string new16 = Utf8ToUtf16(newPattern);
  if (old16.empty()) {
    return s;
  }
  if (old16.size() == 1 && new16.size() == 1) {
    return ReplaceChar(s, old16[0], new16[0], flags);
  }
  const std::u16string text = Utf8ToUtf16(s);
  const bool ignoreCase = (flags & rfIgnoreCase) != 0;
  const std::u16string search = ignoreCase ? UpperCase16(text) : text;
  const std::u16string pattern = ignoreCase ? UpperCase16(old16) : old16;

  std::u16string result;
  TCharBuffer buffer(result);
  size_t pos = 0;
  for (size_t found; (found = search.find(pattern, pos)) != std::u16string::npos;) {
    buffer.Append(std::u16string_view(text).substr(pos, found - pos));
    buffer.Append(new16);
    pos = found + pattern.size();
    if ((flags & rfReplaceAll) == 0) {
      break;
    }
  }
  buffer.Append(std::u16string_view(text).substr(pos));
  buffer.Finish();
  return Utf16ToUtf8(result);
}

// ---- paths and searches ----

std::string PathJoin(std::initializer_list<std::string_view> parts, char separator) {
  std::string result;
  for (std::string_view part : parts) {
    if (part.empty()) {
      continue;
    }
    if (!result.empty()) {
      const bool endsWith = result.back() == separator;
      const bool startsWith = part.front() == separator;
      if (endsWith && startsWith) {
        part.remove_prefix(1);
      } else if (!endsWith && !startsWith) {
        result += separator;
      }
    }
    result += part;
  }
  return result;
}

std::string PathJoin(std::string_view part1, std::string_view part2, char separator) {
  return PathJoin({part1, part2}, separator);
}

std::string IncludeTrailingBackslash(const std::string& path) {
  return !path.empty() && path.back() == '\\' ? path : path + '\\';
}

std::string ExtractFilePath(const std::string& fileName) {
  const size_t separator = fileName.find_last_of("\\/");
  return separator == std::string::npos ? std::string() : fileName.substr(0, separator + 1);
}

std::string ExtractFileDir(const std::string& fileName) {
  const size_t separator = fileName.find_last_of("\\/");
  return separator == std::string::npos ? std::string() : fileName.substr(0, separator);
}

std::string ExtractFileName(const std::string& fileName) {
  return fileName.substr(fileName.find_last_of("\\/") + 1);
}

std::string CutToUtf16Length(std::string_view text, size_t maxUnits) {
  // A UTF-16 code unit takes at least one byte of UTF-8.
  if (text.size() <= maxUnits) {
    return std::string(text);
  }
  std::u16string units = platform::Utf8ToUtf16(text);
  if (units.size() <= maxUnits) {
    return std::string(text);
  }
  size_t length = maxUnits;
  if (length > 0 && units[length - 1] >= 0xD800 && units[length - 1] <= 0xDBFF) {
    --length;
  }
  units.resize(length);
  return platform::Utf16ToUtf8(units);
}

bool IsEmptyStr(std::string_view s, bool trim) {
  return (trim ? Trim(s) : s).empty();
}

int IndexOfStr(std::string_view s, std::span<const std::string> strings, bool caseSensitive) {
  for (size_t i = 0; i < strings.size(); ++i) {
    if (caseSensitive ? strings[i] == s : platform::SameTextLocale(strings[i], s)) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

int PosIgnoreCase(const std::string& subStr, const std::string& s) {
  const std::u16string sub = UpperCase16(Utf8ToUtf16(subStr));
  if (sub.empty()) {
    return 0;
  }
  const size_t found = UpperCase16(Utf8ToUtf16(s)).find(sub);
  return found == std::u16string::npos ? 0 : static_cast<int>(found) + 1;
}

TStringList SplitString(const std::string& s, const std::string& delimiters, bool removeEmpty) {
  TStringList list;
  const std::u16string text = Utf8ToUtf16(s);
  if (text.empty()) {
    return list;
  }
  const std::u16string delimiters16 = Utf8ToUtf16(delimiters);
  size_t start = 0;
  while (true) {
    const size_t end = text.find_first_of(delimiters16, start);
    const std::u16string_view piece =
        std::u16string_view(text).substr(start, end == std::u16string::npos ? end : end - start);
    if (!removeEmpty || !piece.empty()) {
      list.Add(Utf16ToUtf8(piece));
    }
    if (end == std::u16string::npos) {
      return list;
    }
    start = end + 1;
  }
}

// ---- system services ----

std::string GetSpecialFolderPath(platform::TSpecialFolder folder) {
  return platform::CurrentSpecialFolders::Get().GetPath(folder);
}

std::string GetPersonalFolderPath() {
  return GetSpecialFolderPath(platform::TSpecialFolder::Documents);
}

std::string GetAppDataFolderPath() {
  return GetSpecialFolderPath(platform::TSpecialFolder::AppData);
}

std::string GetCommonAppDataFolderPath() {
  return GetSpecialFolderPath(platform::TSpecialFolder::CommonAppData);
}

std::string GetTempFolder() {
  return platform::TempFolder();
}

platform::TMessageAnswer ShowMessageBox(platform::TWindowHandle owner, const std::string& text,
                                        const std::string& caption, platform::TMessageKind kind) {
  return platform::CurrentMessageBoxes::Get().Show(owner, text, caption, kind);
}

std::string NewGUIDString(bool withBraces) {
  TGUID guid;
  const int32_t result = platform::CreateGuid(guid);
  if (result != 0) {
    throw EAPICallError(platform::ResultCodeMessage(result));
  }
  std::string text = guid.ToString();
  if (!withBraces) {
    std::erase_if(text, [](char c) { return c == '{' || c == '}' || c == '-'; });
  }
  return text;
}

bool FindCmdLineSwitch(const std::vector<std::string>& args, const std::string& switchName,
                       std::string& value, std::string_view prefixes) {
  const std::string wanted = platform::LowerCaseLocale(Trim(switchName));
  value.clear();
  for (const std::string& arg : args) {
    const std::string lower = platform::LowerCaseLocale(arg);
    std::string_view rest = lower;
    if (!prefixes.empty()) {
      if (rest.empty() || prefixes.find(rest.front()) == std::string_view::npos) {
        continue;
      }
      rest.remove_prefix(1);
    }
    if (rest.starts_with(wanted)) {
      value = rest.substr(wanted.size());
    }
  }
  return !value.empty();
}

bool FindCmdLineSwitch(const std::string& switchName, std::string& value,
                       std::string_view prefixes) {
  return FindCmdLineSwitch(platform::CommandLineArgs(), switchName, value, prefixes);
}

std::string_view Trim(std::string_view s) {
  const auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  while (!s.empty() && blank(s.front())) {
    s.remove_prefix(1);
  }
  while (!s.empty() && blank(s.back())) {
    s.remove_suffix(1);
  }
  return s;
}

}  // namespace kv
