#include "platform/Text.h"

#include "platform/win32/Win32.h"

namespace kv::platform {
namespace {

using TFormatter = int(WINAPI*)(LPCWSTR, DWORD, const SYSTEMTIME*, LPCWSTR, LPWSTR, int);

std::wstring FormatPart(TFormatter format, DWORD flags, const SYSTEMTIME& time) {
  const int length =
      win32::CheckLastError(format(LOCALE_NAME_USER_DEFAULT, flags, &time, nullptr, nullptr, 0));
  std::wstring text(static_cast<size_t>(length), L'\0');
  format(LOCALE_NAME_USER_DEFAULT, flags, &time, nullptr, text.data(), length);
  text.resize(static_cast<size_t>(length - 1));
  return text;
}

// GetDateFormatEx has one more argument, the calendar.
int WINAPI FormatDate(LPCWSTR locale, DWORD flags, const SYSTEMTIME* time, LPCWSTR format,
                      LPWSTR text, int size) {
  return GetDateFormatEx(locale, flags, time, format, text, size, nullptr);
}

}  // namespace

std::string DateTimeToStrLocale(TDateTime value) {
  const TDateTimeParts parts = DecodeDateTime(value);
  SYSTEMTIME time{};
  time.wYear = static_cast<WORD>(parts.Year);
  time.wMonth = static_cast<WORD>(parts.Month);
  time.wDay = static_cast<WORD>(parts.Day);
  time.wHour = static_cast<WORD>(parts.Hour);
  time.wMinute = static_cast<WORD>(parts.Minute);
  time.wSecond = static_cast<WORD>(parts.Second);
  time.wMilliseconds = static_cast<WORD>(parts.Millisecond);
  std::wstring text = FormatPart(&FormatDate, DATE_SHORTDATE, time);
  if (parts.Hour != 0 || parts.Minute != 0 || parts.Second != 0 || parts.Millisecond != 0) {
    text += L' ';
    text += FormatPart(&GetTimeFormatEx, 0, time);
  }
  return win32::Narrow(text);
}

}  // namespace kv::platform
