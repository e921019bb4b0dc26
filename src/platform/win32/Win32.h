#pragma once
// The Win32 backend's one way into <windows.h> (CMake defines UNICODE, WIN32_LEAN_AND_MEAN and
// NOMINMAX), with the checks of failed calls, the UTF-8 conversions and the typed handles of the
// portable interfaces.

#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/OSError.h"
#include "platform/Shell.h"
#include "platform/System.h"

// <windows.h> maps these to its own functions, which would rename the portable ones.
#undef AnsiToOem
#undef DeleteFile
#undef OemToAnsi

namespace kv::platform::win32 {

// ---- checks: a failed call raises EOSError with the code taken at that call ----

[[noreturn]] inline void RaiseOSError(DWORD code) {
  throw OSError(code);
}

// A failed call on a file or folder: the message names the path.
[[noreturn]] inline void RaiseOSError(DWORD code, const std::string& path) {
  throw OSError(code, path);
}

// A call that answers false, null or an empty holder on failure and leaves its code to
// GetLastError, which is read here, right after it; answers the result.
template <class T>
T CheckLastError(T result) {
  if (!result) {
    RaiseOSError(GetLastError());
  }
  return result;
}

template <class T>
T CheckLastError(T result, const std::string& path) {
  if (!result) {
    RaiseOSError(GetLastError(), path);
  }
  return result;
}

// A call that answers a COM result code.
inline void CheckResult(HRESULT result) {
  if (FAILED(result)) {
    throw EOSError(ResultCodeMessage(result), static_cast<uint32_t>(result));
  }
}

inline void CheckResult(HRESULT result, const std::string& path) {
  if (FAILED(result)) {
    throw EOSError(ResultCodeMessage(result) + ": " + path, static_cast<uint32_t>(result));
  }
}

// ---- UTF-8 and UTF-16 ----

inline std::wstring Wide(std::string_view utf8) {
  if (utf8.empty()) {
    return {};
  }
  const int size = static_cast<int>(utf8.size());
  const int length = CheckLastError(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0));
  std::wstring result(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, result.data(), length);
  return result;
}

inline std::string Narrow(std::wstring_view utf16) {
  if (utf16.empty()) {
    return {};
  }
  const int size = static_cast<int>(utf16.size());
  const int length = CheckLastError(
      WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, nullptr, 0, nullptr, nullptr));
  std::string result(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, result.data(), length, nullptr, nullptr);
  return result;
}

// ---- the portable interfaces' handles ----

inline HWND HandleOf(TWindowHandle window) {
  return reinterpret_cast<HWND>(static_cast<uintptr_t>(window));
}

inline TWindowHandle WindowHandle(HWND window) {
  return static_cast<TWindowHandle>(reinterpret_cast<uintptr_t>(window));
}

inline HIMAGELIST HandleOf(TImageListHandle imageList) {
  return reinterpret_cast<HIMAGELIST>(static_cast<uintptr_t>(imageList));
}

inline TImageListHandle ImageListHandle(HIMAGELIST imageList) {
  return static_cast<TImageListHandle>(reinterpret_cast<uintptr_t>(imageList));
}

// A local calendar time as an OLE Automation date: days since 30 December 1899.
inline TDateTime ToDateTime(const SYSTEMTIME& time) {
  return EncodeDateTime(time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond,
                        time.wMilliseconds);
}

}  // namespace kv::platform::win32
