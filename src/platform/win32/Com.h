#pragma once
// COM for the Win32 backend: interface pointers held by com_ptr, strings and variants by their
// own holders, and the thread's COM initialisation owned by whoever initialises.

#include "platform/win32/Win32.h"

#include <objbase.h>
#include <oleauto.h>

#include <type_traits>
#include <utility>

namespace kv::platform::win32 {

// Holds one reference to a COM interface.
template <class T>
class com_ptr {
 public:
  com_ptr() = default;
  com_ptr(const com_ptr& other) noexcept : FPtr(other.FPtr) {
    if (FPtr) {
      FPtr->AddRef();
    }
  }
  com_ptr(com_ptr&& other) noexcept : FPtr(std::exchange(other.FPtr, nullptr)) {}
  // From a derived interface (IXMLDOMElement to IXMLDOMNode).
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  com_ptr(const com_ptr<U>& other) noexcept : FPtr(other.get()) {
    if (FPtr) {
      FPtr->AddRef();
    }
  }
  com_ptr& operator=(com_ptr other) noexcept {
    std::swap(FPtr, other.FPtr);
    return *this;
  }
  ~com_ptr() { reset(); }

  void reset() noexcept {
    if (T* ptr = std::exchange(FPtr, nullptr)) {
      ptr->Release();
    }
  }
  T* get() const noexcept { return FPtr; }
  T* operator->() const noexcept { return FPtr; }
  explicit operator bool() const noexcept { return FPtr != nullptr; }
  // For a call that hands out a reference: drops the one held and receives the new one.
  T** put() noexcept {
    reset();
    return &FPtr;
  }
  void** put_void() noexcept { return reinterpret_cast<void**>(put()); }
  // Another interface of the object; null when it has none.
  template <class U>
  com_ptr<U> query(REFIID iid) const noexcept {
    com_ptr<U> result;
    if (FPtr) {
      FPtr->QueryInterface(iid, result.put_void());
    }
    return result;
  }

 private:
  T* FPtr = nullptr;
};

using unique_bstr = unique_any<BSTR, &::SysFreeString>;

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

// A VARIANT cleared when let go.
class unique_variant {
 public:
  unique_variant() noexcept { VariantInit(&FValue); }
  unique_variant(const unique_variant&) = delete;
  unique_variant& operator=(const unique_variant&) = delete;
  ~unique_variant() { VariantClear(&FValue); }

  VARIANT& get() noexcept { return FValue; }
  const VARIANT& get() const noexcept { return FValue; }
  // For a call that fills the variant.
  VARIANT* put() noexcept {
    VariantClear(&FValue);
    return &FValue;
  }

 private:
  VARIANT FValue;
};

// Balances one successful CoInitializeEx of the thread that made it.
class unique_couninitialize {
 public:
  unique_couninitialize() = default;
  explicit unique_couninitialize(bool owned) noexcept : FOwned(owned) {}
  unique_couninitialize(unique_couninitialize&& other) noexcept
      : FOwned(std::exchange(other.FOwned, false)) {}
  unique_couninitialize& operator=(unique_couninitialize&&) = delete;
  ~unique_couninitialize() {
    if (FOwned) {
      CoUninitialize();
    }
  }

 private:
  bool FOwned = false;
};

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
