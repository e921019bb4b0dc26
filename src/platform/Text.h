#pragma once
// Text services of the operating system. Portable code keeps text as UTF-8; these convert at the
// seam, count UTF-16 code units where Windows counts characters, and compare and map case in
// the user's locale (ICU on Linux, the NLS functions on Windows).

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/System.h"

namespace kv::platform {

std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);
// How many UTF-16 code units the UTF-8 text takes: the character count of Windows.
size_t Utf16Length(std::string_view utf8);

constexpr unsigned kCodePage1251 = 1251;
// The system's ANSI and OEM code pages (1251 and 866 on the users' Russian machines; fixed to
// those on Linux).
unsigned AnsiCodePage();
unsigned OemCodePage();

// UTF-8 text to single-byte text in the code page; characters it lacks become '?'.
std::string EncodeCodePage(unsigned codePage, std::string_view utf8);
// Single-byte text in the code page to UTF-8.
std::string DecodeCodePage(unsigned codePage, std::string_view bytes);
// Single-byte text converted between the ANSI and the OEM code page; the length is kept.
std::string AnsiToOem(std::string_view ansi);
std::string OemToAnsi(std::string_view oem);

// Case-insensitive comparison in the user's locale: <0, 0 or >0.
int CompareTextLocale(std::string_view a, std::string_view b);
inline bool SameTextLocale(std::string_view a, std::string_view b) {
  return CompareTextLocale(a, b) == 0;
}
// Case mapping in the user's locale (Cyrillic included), one character for one, so that
// positions found in a mapped copy hold in the original.
std::string UpperCaseLocale(std::string_view text);
std::string LowerCaseLocale(std::string_view text);

// The decimal separator of the user's number format.
std::string DecimalSeparator();

// A date-time as the user's locale writes it: its short date, a blank and its long time; the time
// is left out when it is exactly midnight.
std::string DateTimeToStrLocale(TDateTime value);

}  // namespace kv::platform
