#pragma once
// COM for the Win32 backend: BSTR conversions and the thread's COM initialisation, owned by
// whoever initialises. The holders are in Handles.h.

#include "platform/win32/Handles.h"

namespace kv::platform::win32 {

inline unique_bstr MakeBstr(std::string_view utf8) {
  const std::wstring wide = Wide(utf8);
  unique_bstr result(SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size())));
  if (!result) {
    throw std::bad_alloc();
  }
  return result;
}

inline std::string Narrow(const unique_bstr& text) {
  return Narrow({text.get(), SysStringLen(text.get())});
}

// Initialises COM for the calling thread as a single-threaded apartment. A thread already in
// another apartment keeps it (COM stays usable there) and owes nothing.
inline unique_couninitialize CoInitializeEx() {
  const HRESULT result = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  return unique_couninitialize(SUCCEEDED(result));
}

// COM initialised for the calling thread from the first use until the thread ends.
inline void EnsureComInitialized() {
  thread_local const unique_couninitialize initialized = CoInitializeEx();
}

}  // namespace kv::platform::win32
