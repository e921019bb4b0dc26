#include "platform/Text.h"

#include "platform/win32/Win32.h"

namespace kv::platform {
using win32::Narrow;
using win32::Wide;

namespace {

std::string MapCase(std::string_view text, DWORD flags) {
  const std::wstring wide = Wide(text);
  if (wide.empty()) {
    return {};
  }
  const int size = static_cast<int>(wide.size());
  const int length = LCMapStringEx(LOCALE_NAME_USER_DEFAULT, flags, wide.data(), size, nullptr, 0,
                                   nullptr, nullptr, 0);
  if (length == 0) {
    win32::RaiseOSError(GetLastError());
  }
  std::wstring mapped(static_cast<size_t>(length), L'\0');
  LCMapStringEx(LOCALE_NAME_USER_DEFAULT, flags, wide.data(), size, mapped.data(), length, nullptr,
                nullptr, 0);
  return Narrow(mapped);
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view utf8) {
  const std::wstring wide = Wide(utf8);
  return {wide.begin(), wide.end()};
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  return Narrow({reinterpret_cast<const wchar_t*>(utf16.data()), utf16.size()});
}

size_t Utf16Length(std::string_view utf8) {
  if (utf8.empty()) {
    return 0;
  }
  const int length =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  if (length == 0) {
    win32::RaiseOSError(GetLastError());
  }
  return static_cast<size_t>(length);
}

unsigned AnsiCodePage() {
  return GetACP();
}
unsigned OemCodePage() {
  return GetOEMCP();
}

std::string EncodeCodePage(unsigned codePage, std::string_view utf8) {
  if (codePage == CP_UTF8) {
    return Narrow(Wide(utf8));
  }
  const std::wstring wide = Wide(utf8);
  if (wide.empty()) {
    return {};
  }
  // Without WC_NO_BEST_FIT_CHARS the system would put look-alikes ('e' for 'é') in place of '?'.
  const DWORD flags = WC_NO_BEST_FIT_CHARS;
  const int size = static_cast<int>(wide.size());
  const int length =
      WideCharToMultiByte(codePage, flags, wide.data(), size, nullptr, 0, "?", nullptr);
  if (length == 0) {
    win32::RaiseOSError(GetLastError());
  }
  std::string result(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(codePage, flags, wide.data(), size, result.data(), length, "?", nullptr);
  return result;
}

std::string DecodeCodePage(unsigned codePage, std::string_view bytes) {
  if (bytes.empty()) {
    return {};
  }
  const int size = static_cast<int>(bytes.size());
  const int length = MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
  if (length == 0) {
    win32::RaiseOSError(GetLastError());
  }
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(codePage, 0, bytes.data(), size, wide.data(), length);
  return Narrow(wide);
}

std::string AnsiToOem(std::string_view ansi) {
  std::string result(ansi.size(), '\0');
  CharToOemBuffA(ansi.data(), result.data(), static_cast<DWORD>(ansi.size()));
  return result;
}

std::string OemToAnsi(std::string_view oem) {
  std::string result(oem.size(), '\0');
  OemToCharBuffA(oem.data(), result.data(), static_cast<DWORD>(oem.size()));
  return result;
}

int CompareTextLocale(std::string_view a, std::string_view b) {
  const std::wstring wideA = Wide(a);
  const std::wstring wideB = Wide(b);
  const int result = CompareStringEx(LOCALE_NAME_USER_DEFAULT, NORM_IGNORECASE, wideA.data(),
                                     static_cast<int>(wideA.size()), wideB.data(),
                                     static_cast<int>(wideB.size()), nullptr, nullptr, 0);
  if (result == 0) {
    win32::RaiseOSError(GetLastError());
  }
  return result - CSTR_EQUAL;
}

std::string UpperCaseLocale(std::string_view text) {
  return MapCase(text, LCMAP_UPPERCASE);
}
std::string LowerCaseLocale(std::string_view text) {
  return MapCase(text, LCMAP_LOWERCASE);
}

std::string DecimalSeparator() {
  wchar_t separator[8] = {};
  const int length =
      GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, separator, std::size(separator));
  if (length == 0) {
    win32::RaiseOSError(GetLastError());
  }
  return Narrow(separator);
}

}  // namespace kv::platform
