#pragma once
// The Win32 backend's one way into <windows.h> (CMake defines UNICODE, WIN32_LEAN_AND_MEAN and
// NOMINMAX), with the UTF-8 conversions and the resource holders its files share.

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "platform/OSError.h"
#include "platform/System.h"

// <windows.h> maps these to its own functions, which would rename the portable ones.
#undef AnsiToOem
#undef DeleteFile
#undef OemToAnsi

namespace kv::platform::win32 {

// Owns one system resource and releases it with Close; Invalid is the value that holds nothing
// (0 for most kinds, -1 for file and search handles).
template <class T, auto Close, intptr_t Invalid = 0>
class unique_any {
 public:
  unique_any() = default;
  explicit unique_any(T value) noexcept : FValue(value) {}
  unique_any(unique_any&& other) noexcept : FValue(std::exchange(other.FValue, Empty())) {}
  unique_any& operator=(unique_any&& other) noexcept {
    if (this != &other) {
      reset();
      FValue = std::exchange(other.FValue, Empty());
    }
    return *this;
  }
  ~unique_any() { reset(); }

  void reset() noexcept {
    if (*this) {
      Close(std::exchange(FValue, Empty()));
    }
  }

  T get() const noexcept { return FValue; }
  explicit operator bool() const noexcept { return FValue != Empty(); }

 private:
  static T Empty() noexcept { return reinterpret_cast<T>(Invalid); }

  T FValue = Empty();
};

using unique_handle = unique_any<HANDLE, &::CloseHandle>;
using unique_hfile = unique_any<HANDLE, &::CloseHandle, -1>;
using unique_find = unique_any<HANDLE, &::FindClose, -1>;
using unique_hkey = unique_any<HKEY, &::RegCloseKey>;
// Memory the system allocated for the caller (FormatMessageW, CommandLineToArgvW).
template <class T>
using unique_hlocal_ptr = unique_any<T*, &::LocalFree>;

// A failed call on a file or folder: the system's message for the code, naming the path.
[[noreturn]] inline void RaiseOSError(DWORD code, const std::string& path) {
  throw EOSError(SystemErrorMessage(code) + ": " + path, code);
}

inline std::wstring Wide(std::string_view utf8) {
  if (utf8.empty()) {
    return {};
  }
  const int size = static_cast<int>(utf8.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  if (length == 0) {
    throw platform::OSError(GetLastError());
  }
  std::wstring result(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, result.data(), length);
  return result;
}

inline std::string Narrow(std::wstring_view utf16) {
  if (utf16.empty()) {
    return {};
  }
  const int size = static_cast<int>(utf16.size());
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, nullptr, 0, nullptr, nullptr);
  if (length == 0) {
    throw platform::OSError(GetLastError());
  }
  std::string result(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, result.data(), length, nullptr, nullptr);
  return result;
}

// A local calendar time as the system's date-time: days since 30 December 1899.
inline TDateTime ToDateTime(const SYSTEMTIME& time) {
  return EncodeDateTime(time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond,
                        time.wMilliseconds);
}

}  // namespace kv::platform::win32
