#include "common/Common.SysUtils.h"

#include <algorithm>

#include "common/Common.SysUtils.CharBuffer.h"
#include "common/Rtti.h"
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

std::string TStringUtils::Join(std::initializer_list<std::string_view> Strings,
                               std::string_view Delimiter) {
  return JoinRange(Strings.begin(), Strings.end(), Delimiter);
}

std::string TStringUtils::Join(std::span<const std::string> Strings, std::string_view Delimiter) {
  return JoinRange(Strings.begin(), Strings.end(), Delimiter);
}

std::string TStringUtils::Join(std::span<const std::string> Strings, int Index, int Count,
                               std::string_view Delimiter) {
  const int64_t size = static_cast<int64_t>(Strings.size());
  const int64_t first = std::clamp<int64_t>(Index, 0, size);
  const int64_t last = std::clamp<int64_t>(first + Count, first, size);
  return JoinRange(Strings.begin() + first, Strings.begin() + last, Delimiter);
}

std::string TStringUtils::CharToOemA(std::string_view AWin) {
  return platform::AnsiToOem(AWin);
}

std::string TStringUtils::OemToCharA(std::string_view OemStr) {
  return platform::OemToAnsi(OemStr);
}

bool TStringUtils::CharIsNumeric(char AChar, bool IncludeMinus) {
  return (AChar >= '0' && AChar <= '9') || (IncludeMinus && AChar == '-');
}

bool TStringUtils::CharIsNumeric(char16_t AChar, bool IncludeMinus) {
  return AChar <= 0xFF && CharIsNumeric(static_cast<char>(AChar), IncludeMinus);
}

std::string TStringUtils::AddLeadingChars(const std::string& s, int ResLength,
                                          char16_t CharForAdd) {
  const int64_t missing = int64_t{ResLength} - static_cast<int64_t>(platform::Utf16Length(s));
  std::string result;
  const std::string fill = CharToUtf8(CharForAdd);
  for (int64_t i = 0; i < missing; ++i) {
    result += fill;
  }
  return result + s;
}

std::string TStringUtils::AddLeadingChars(const std::string& s, int ResLength, char CharForAdd) {
  const int64_t missing = int64_t{ResLength} - static_cast<int64_t>(s.size());
  return missing > 0 ? std::string(static_cast<size_t>(missing), CharForAdd) + s : s;
}

std::string TStringUtils::DropLastChar(const std::string& s, char16_t LastChar) {
  const std::string c = CharToUtf8(LastChar);
  return s.ends_with(c) ? s.substr(0, s.size() - c.size()) : s;
}

std::string TStringUtils::DropFirstChar(const std::string& s, char16_t FirstChar) {
  return DropFirstStr(s, CharToUtf8(FirstChar));
}

std::string TStringUtils::DropFirstStr(const std::string& s, std::string_view FirstStr) {
  return s.starts_with(FirstStr) ? s.substr(FirstStr.size()) : s;
}

std::string TStringUtils::AddFirstStr(const std::string& s, std::string_view FirstStr) {
  return s.starts_with(FirstStr) ? s : std::string(FirstStr) + s;
}

std::string TStringUtils::AddLastChar(const std::string& s, char16_t LastChar) {
  const std::string c = CharToUtf8(LastChar);
  return s.empty() || s.ends_with(c) ? s : s + c;
}

// ---- replacements ----

std::string ReplaceChar(const std::string& S, char16_t OldChar, char16_t NewChar,
                        TReplaceFlags Flags) {
  std::u16string text = Utf8ToUtf16(S);
  const bool ignoreCase = (Flags & rfIgnoreCase) != 0;
  const std::u16string search = ignoreCase ? UpperCase16(text) : text;
  const char16_t old = ignoreCase ? UpperCase16(std::u16string_view(&OldChar, 1))[0] : OldChar;
  for (size_t i = 0; i < text.size(); ++i) {
    if (search[i] == old) {
      text[i] = NewChar;
      if ((Flags & rfReplaceAll) == 0) {
        break;
      }
    }
  }
  return Utf16ToUtf8(text);
}

std::string StringReplace(const std::string& S, const std::string& OldPattern,
                          const std::string& NewPattern, TReplaceFlags Flags) {
  const std::u16string old16 = Utf8ToUtf16(OldPattern);
  const std::u16string new16 = Utf8ToUtf16(NewPattern);
  if (old16.empty()) {
    return S;
  }
  if (old16.size() == 1 && new16.size() == 1) {
    return ReplaceChar(S, old16[0], new16[0], Flags);
  }
  const std::u16string text = Utf8ToUtf16(S);
  const bool ignoreCase = (Flags & rfIgnoreCase) != 0;
  const std::u16string search = ignoreCase ? UpperCase16(text) : text;
  const std::u16string pattern = ignoreCase ? UpperCase16(old16) : old16;

  std::u16string result;
  TCharBuffer buffer(result);
  size_t pos = 0;
  for (size_t found; (found = search.find(pattern, pos)) != std::u16string::npos;) {
    buffer.Append(std::u16string_view(text).substr(pos, found - pos));
    buffer.Append(new16);
    pos = found + pattern.size();
    if ((Flags & rfReplaceAll) == 0) {
      break;
    }
  }
  buffer.Append(std::u16string_view(text).substr(pos));
  buffer.Finish();
  return Utf16ToUtf8(result);
}

// ---- paths and searches ----

std::string PathJoin(std::initializer_list<std::string_view> Parts, char Separator) {
  std::string result;
  for (std::string_view part : Parts) {
    if (part.empty()) {
      continue;
    }
    if (!result.empty()) {
      const bool endsWith = result.back() == Separator;
      const bool startsWith = part.front() == Separator;
      if (endsWith && startsWith) {
        part.remove_prefix(1);
      } else if (!endsWith && !startsWith) {
        result += Separator;
      }
    }
    result += part;
  }
  return result;
}

std::string PathJoin(std::string_view Part1, std::string_view Part2, char Separator) {
  return PathJoin({Part1, Part2}, Separator);
}

std::string IncludeTrailingBackslash(const std::string& Path) {
  return !Path.empty() && Path.back() == '\\' ? Path : Path + '\\';
}

std::string ExtractFilePath(const std::string& FileName) {
  const size_t separator = FileName.find_last_of("\\/");
  return separator == std::string::npos ? std::string() : FileName.substr(0, separator + 1);
}

std::string ExtractFileDir(const std::string& FileName) {
  const size_t separator = FileName.find_last_of("\\/");
  return separator == std::string::npos ? std::string() : FileName.substr(0, separator);
}

std::string ExtractFileName(const std::string& FileName) {
  return FileName.substr(FileName.find_last_of("\\/") + 1);
}

bool IsEmptyStr(std::string_view S, bool ATrim) {
  return (ATrim ? Trim(S) : S).empty();
}

int IndexOfStr(std::string_view S, std::span<const std::string> Strings, bool CaseSensitive) {
  for (size_t i = 0; i < Strings.size(); ++i) {
    if (CaseSensitive ? Strings[i] == S : platform::SameTextLocale(Strings[i], S)) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

int PosIgnoreCase(const std::string& SubStr, const std::string& S) {
  const std::u16string sub = UpperCase16(Utf8ToUtf16(SubStr));
  if (sub.empty()) {
    return 0;
  }
  const size_t found = UpperCase16(Utf8ToUtf16(S)).find(sub);
  return found == std::u16string::npos ? 0 : static_cast<int>(found) + 1;
}

TStringList SplitString(const std::string& S, const std::string& Delimiters, bool RemoveEmpty) {
  TStringList list;
  const std::u16string text = Utf8ToUtf16(S);
  if (text.empty()) {
    return list;
  }
  const std::u16string delimiters = Utf8ToUtf16(Delimiters);
  size_t start = 0;
  while (true) {
    const size_t end = text.find_first_of(delimiters, start);
    const std::u16string_view piece =
        std::u16string_view(text).substr(start, end == std::u16string::npos ? end : end - start);
    if (!RemoveEmpty || !piece.empty()) {
      list.Add(Utf16ToUtf8(piece));
    }
    if (end == std::u16string::npos) {
      return list;
    }
    start = end + 1;
  }
}

// ---- system services ----

std::string GetSpecialFolderPath(int CSIDL) {
  return platform::CurrentSpecialFolders::Get().GetPath(CSIDL);
}

std::string GetPersonalFolderPath() {
  return GetSpecialFolderPath(platform::CSIDL_PERSONAL_CODE);
}

std::string GetAppDataFolderPath() {
  return GetSpecialFolderPath(platform::CSIDL_APPDATA_CODE);
}

std::string GetCommonAppDataFolderPath() {
  return GetSpecialFolderPath(platform::CSIDL_COMMON_APPDATA_CODE);
}

std::string GetTempFolder() {
  return platform::TempFolder();
}

int ShowMessageBox(uintptr_t Owner, const std::string& Text, const std::string& Caption,
                   unsigned Type) {
  return platform::CurrentMessageBoxes::Get().Show(Owner, Text, Caption, Type);
}

std::string NewGUIDString(bool WithBraces) {
  TGUID guid;
  const int32_t result = platform::CreateGuid(guid);
  if (result != 0) {
    throw EAPICallError(platform::ResultCodeMessage(result));
  }
  std::string text = guid.ToString();
  if (!WithBraces) {
    std::erase_if(text, [](char c) { return c == '{' || c == '}' || c == '-'; });
  }
  return text;
}

bool FindCmdLineSwitch(const std::vector<std::string>& Args, const std::string& Switch,
                       std::string& Value, std::string_view Prefixes) {
  const std::string wanted = platform::LowerCaseLocale(Trim(Switch));
  Value.clear();
  for (const std::string& arg : Args) {
    const std::string lower = platform::LowerCaseLocale(arg);
    std::string_view rest = lower;
    if (!Prefixes.empty()) {
      if (rest.empty() || Prefixes.find(rest.front()) == std::string_view::npos) {
        continue;
      }
      rest.remove_prefix(1);
    }
    if (rest.starts_with(wanted)) {
      Value = rest.substr(wanted.size());
    }
  }
  return !Value.empty();
}

bool FindCmdLineSwitch(const std::string& Switch, std::string& Value, std::string_view Prefixes) {
  return FindCmdLineSwitch(platform::CommandLineArgs(), Switch, Value, Prefixes);
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
