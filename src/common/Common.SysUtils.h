#pragma once
// Text helpers and small system services of the shared library: joins, replacements, paths,
// splitting, special and temporary folders, message boxes, GUID texts and command-line switches.
// The rest of the unit has headers of its own: FileVersion.h, Nullable.h, CharBuffer.h,
// Iso8601DateTime.h and Encoding1251.h.
//
// Text is UTF-8. A character parameter (char16_t) is one UTF-16 code unit, the unit in which
// lengths are counted; the single-byte (char) overloads work on single-byte ANSI text.

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/Exceptions.h"
#include "common/StringList.h"
#include "platform/Shell.h"

namespace kv {

// An empty value: the value of a task that has none.
struct TUnit {
  friend bool operator==(TUnit, TUnit) = default;
};

// A failed platform call; the message is the platform's text for the error code.
KV_DECLARE_EXCEPTION(EAPICallError, Exception)

class TStringUtils {
 public:
  // The non-empty entries separated by the delimiter; empty entries add no delimiter.
  static std::string Join(std::initializer_list<std::string_view> strings,
                          std::string_view delimiter);
  static std::string Join(std::span<const std::string> strings, std::string_view delimiter);
  // The same over count entries from index, clipped to the array (a negative index counts as 0).
  static std::string Join(std::span<const std::string> strings, int index, int count,
                          std::string_view delimiter);

  // Single-byte text between the ANSI and the OEM code page; the length is kept.
  static std::string CharToOemA(std::string_view winText);
  static std::string OemToCharA(std::string_view oemText);

  // '0'-'9', and '-' when includeMinus.
  static bool CharIsNumeric(char ch, bool includeMinus);
  static bool CharIsNumeric(char16_t ch, bool includeMinus);

  // Prefixes charForAdd until the text has resLength characters (UTF-16 code units).
  static std::string AddLeadingChars(const std::string& s, int resLength, char16_t charForAdd);
  // The same for single-byte text, counting bytes.
  static std::string AddLeadingChars(const std::string& s, int resLength, char charForAdd);

  static std::string DropLastChar(const std::string& s, char16_t lastChar);
  static std::string DropFirstChar(const std::string& s, char16_t firstChar);
  // Removes firstStr when s starts with it (case-sensitive).
  static std::string DropFirstStr(const std::string& s, std::string_view firstStr);
  // Prefixes firstStr unless s already starts with it (case-sensitive).
  static std::string AddFirstStr(const std::string& s, std::string_view firstStr);
  // Appends lastChar unless s ends with it; an empty text stays empty.
  static std::string AddLastChar(const std::string& s, char16_t lastChar);
};

// Flags of the replacements.
using TReplaceFlags = unsigned;
constexpr TReplaceFlags rfReplaceAll = 1;
// Compares upper-cased copies in the user's locale.
constexpr TReplaceFlags rfIgnoreCase = 2;

// Replaces the first (or, with rfReplaceAll, every) occurrence of a character.
std::string ReplaceChar(const std::string& s, char16_t oldChar, char16_t newChar,
                        TReplaceFlags flags);
// Replaces the first (or, with rfReplaceAll, every) occurrence of a text; an empty oldPattern
// matches nothing.
std::string StringReplace(const std::string& s, const std::string& oldPattern,
                          const std::string& newPattern, TReplaceFlags flags);

// The parts joined with exactly one separator between neighbours; empty parts are skipped.
std::string PathJoin(std::initializer_list<std::string_view> parts, char separator = '\\');
std::string PathJoin(std::string_view part1, std::string_view part2, char separator = '\\');
// The path with a trailing backslash; an empty path becomes a single backslash.
std::string IncludeTrailingBackslash(const std::string& path);
// The folder part of a file name up to its last separator ("\\" or "/"): with the separator
// (ExtractFilePath) or without it (ExtractFileDir); empty when there is none.
std::string ExtractFilePath(const std::string& fileName);
std::string ExtractFileDir(const std::string& fileName);
// The part of a file name after its last separator; the whole name when there is none.
std::string ExtractFileName(const std::string& fileName);

// The text without the spaces and control characters at both ends.
std::string_view Trim(std::string_view s);
// The text cut to at most maxUnits UTF-16 code units, never inside a surrogate pair.
std::string CutToUtf16Length(std::string_view text, size_t maxUnits);
// True when the text, trimmed of spaces and control characters first if asked, is empty.
bool IsEmptyStr(std::string_view s, bool trim = true);
// The first index of s in strings, case-insensitive in the user's locale unless asked; -1 if
// absent.
int IndexOfStr(std::string_view s, std::span<const std::string> strings, bool caseSensitive);
// The 1-based position (in UTF-16 code units) of subStr in s ignoring case; 0 when absent.
int PosIgnoreCase(const std::string& subStr, const std::string& s);
// The pieces of s between any of the delimiter characters; with removeEmpty, empty pieces are
// left out. An empty text gives an empty list.
TStringList SplitString(const std::string& s, const std::string& delimiters, bool removeEmpty);

// The special folder's path without a trailing separator; raises the platform's error.
std::string GetSpecialFolderPath(platform::TSpecialFolder folder);
std::string GetPersonalFolderPath();
std::string GetAppDataFolderPath();
std::string GetCommonAppDataFolderPath();
// The temporary folder with a trailing separator.
std::string GetTempFolder();

// The platform's message box owned by the window (TWindowHandle::None for none); returns the
// button pressed.
platform::TMessageAnswer ShowMessageBox(platform::TWindowHandle owner, const std::string& text,
                                        const std::string& caption, platform::TMessageKind kind);

// A new GUID in the braced registry form, or without braces and hyphens (32 hex digits).
std::string NewGUIDString(bool withBraces = true);

// Looks for an argument that starts with the switch (both lower-cased) after one of the prefix
// characters (none needed when prefixes is empty); the last match's rest is the value.
// True when the value is not empty.
bool FindCmdLineSwitch(const std::vector<std::string>& args, const std::string& switchName,
                       std::string& value, std::string_view prefixes);
// The same over the program's own arguments.
bool FindCmdLineSwitch(const std::string& switchName, std::string& value,
                       std::string_view prefixes);

}  // namespace kv
