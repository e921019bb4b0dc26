#pragma once
// Text helpers and small system services of the shared library: joins, replacements, paths,
// splitting, special and temporary folders, message boxes, GUID texts and command-line switches.
//
// Text is UTF-8. A character parameter (char16_t) is one UTF-16 code unit, as the system counts
// characters; the single-byte (char) overloads work on single-byte ANSI text.

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/Exceptions.h"
#include "common/StringList.h"

namespace kv {

// A failed platform call; the message is the platform's text for the error code.
KV_DECLARE_EXCEPTION(EAPICallError, Exception)

class TStringUtils {
 public:
  // The non-empty entries separated by the delimiter; empty entries add no delimiter.
  static std::string Join(std::initializer_list<std::string_view> Strings,
                          std::string_view Delimiter);
  static std::string Join(std::span<const std::string> Strings, std::string_view Delimiter);
  // The same over Count entries from Index, clipped to the array (a negative Index counts as 0).
  static std::string Join(std::span<const std::string> Strings, int Index, int Count,
                          std::string_view Delimiter);

  // Single-byte text between the ANSI and the OEM code page; the length is kept.
  static std::string CharToOemA(std::string_view AWin);
  static std::string OemToCharA(std::string_view OemStr);

  // '0'-'9', and '-' when IncludeMinus.
  static bool CharIsNumeric(char AChar, bool IncludeMinus);
  static bool CharIsNumeric(char16_t AChar, bool IncludeMinus);

  // Prefixes CharForAdd until the text has ResLength characters (UTF-16 code units).
  static std::string AddLeadingChars(const std::string& s, int ResLength, char16_t CharForAdd);
  // The same for single-byte text, counting bytes.
  static std::string AddLeadingChars(const std::string& s, int ResLength, char CharForAdd);

  static std::string DropLastChar(const std::string& s, char16_t LastChar);
  static std::string DropFirstChar(const std::string& s, char16_t FirstChar);
  // Removes FirstStr when s starts with it (case-sensitive).
  static std::string DropFirstStr(const std::string& s, std::string_view FirstStr);
  // Prefixes FirstStr unless s already starts with it (case-sensitive).
  static std::string AddFirstStr(const std::string& s, std::string_view FirstStr);
  // Appends LastChar unless s ends with it; an empty text stays empty.
  static std::string AddLastChar(const std::string& s, char16_t LastChar);
};

// Flags of the replacements.
using TReplaceFlags = unsigned;
constexpr TReplaceFlags rfReplaceAll = 1;
// Compares upper-cased copies in the user's locale.
constexpr TReplaceFlags rfIgnoreCase = 2;

// Replaces the first (or, with rfReplaceAll, every) occurrence of a character.
std::string ReplaceChar(const std::string& S, char16_t OldChar, char16_t NewChar,
                        TReplaceFlags Flags);
// Replaces the first (or, with rfReplaceAll, every) occurrence of a text; an empty OldPattern
// matches nothing.
std::string StringReplace(const std::string& S, const std::string& OldPattern,
                          const std::string& NewPattern, TReplaceFlags Flags);

// The parts joined with exactly one separator between neighbours; empty parts are skipped.
std::string PathJoin(std::initializer_list<std::string_view> Parts, char Separator = '\\');
std::string PathJoin(std::string_view Part1, std::string_view Part2, char Separator = '\\');
// The path with a trailing backslash; an empty path becomes a single backslash.
std::string IncludeTrailingBackslash(const std::string& Path);
// The folder part of a file name up to its last separator ("\\" or "/"): with the separator
// (ExtractFilePath) or without it (ExtractFileDir); empty when there is none.
std::string ExtractFilePath(const std::string& FileName);
std::string ExtractFileDir(const std::string& FileName);
// The last part of a path, after its last separator; the whole path when there is none.
std::string ExtractFileName(const std::string& FileName);

// The text without the spaces and control characters at both ends.
std::string_view Trim(std::string_view S);
// True when the text, trimmed of spaces and control characters first if asked, is empty.
bool IsEmptyStr(std::string_view S, bool ATrim = true);
// The first index of S in Strings, case-insensitive in the user's locale unless asked; -1 if
// absent.
int IndexOfStr(std::string_view S, std::span<const std::string> Strings, bool CaseSensitive);
// The 1-based position (in UTF-16 code units) of SubStr in S ignoring case; 0 when absent.
int PosIgnoreCase(const std::string& SubStr, const std::string& S);
// The pieces of S between any of the delimiter characters; with RemoveEmpty, empty pieces are
// left out. An empty text gives an empty list.
TStringList SplitString(const std::string& S, const std::string& Delimiters, bool RemoveEmpty);

// The special folder's path without a trailing separator; raises the platform's error.
std::string GetSpecialFolderPath(int CSIDL);
std::string GetPersonalFolderPath();
std::string GetAppDataFolderPath();
std::string GetCommonAppDataFolderPath();
// The temporary folder with a trailing separator.
std::string GetTempFolder();

// The platform's message box owned by the window (0 for none); returns the button pressed.
int ShowMessageBox(uintptr_t Owner, const std::string& Text, const std::string& Caption,
                   unsigned Type);

// A new GUID in the braced registry form, or without braces and hyphens (32 hex digits).
std::string NewGUIDString(bool WithBraces = true);

// Looks for an argument that starts with the switch (both lower-cased) after one of the prefix
// characters (none needed when Prefixes is empty); the last match's rest is the value.
// True when the value is not empty.
bool FindCmdLineSwitch(const std::vector<std::string>& Args, const std::string& Switch,
                       std::string& Value, std::string_view Prefixes);
// The same over the program's own arguments.
bool FindCmdLineSwitch(const std::string& Switch, std::string& Value, std::string_view Prefixes);

}  // namespace kv
