#pragma once
// Every holder of a system resource, COM reference and scoped drawing state the Win32 code
// uses: one template for the handle kinds and a one-line alias per kind, so that nothing is
// released by hand.

#include "platform/win32/Win32.h"

#include <objbase.h>
#include <oleauto.h>

#include <type_traits>
#include <utility>

namespace kv::platform::win32 {

// Owns one system resource and releases it with Close; Invalid is the value that holds nothing
// (0 for most kinds, -1 for file and search handles).
template <class T, auto Close, intptr_t Invalid = 0>
class unique_any {
 public:
  unique_any() = default;
  explicit unique_any(T value) noexcept : FValue(value) {}
  unique_any(unique_any&& other) noexcept : FValue(other.release()) {}
  unique_any& operator=(unique_any&& other) noexcept {
    if (this != &other) {
      reset(other.release());
    }
    return *this;
  }
  ~unique_any() { reset(); }

  // Releases the resource held, then holds value. The old one stays readable through get()
  // while Close runs: a window being destroyed still receives messages.
  void reset(T value = Empty()) noexcept {
    if (*this) {
      Close(FValue);
    }
    FValue = value;
  }
  // Gives the resource up without releasing it (it was released elsewhere).
  T release() noexcept { return std::exchange(FValue, Empty()); }

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
using unique_view = unique_any<const void*, &::UnmapViewOfFile>;
using unique_sid = unique_any<PSID, &::FreeSid>;
using unique_hmodule = unique_any<HMODULE, &::FreeLibrary>;
using unique_hwnd = unique_any<HWND, &::DestroyWindow>;
using unique_hicon = unique_any<HICON, &::DestroyIcon>;
using unique_hbitmap = unique_any<HBITMAP, &::DeleteObject>;
using unique_hfont = unique_any<HFONT, &::DeleteObject>;
using unique_hdc = unique_any<HDC, &::DeleteDC>;
using unique_bstr = unique_any<BSTR, &::SysFreeString>;
// Memory the system allocated for the caller (FormatMessageW, CommandLineToArgvW).
template <class T>
using unique_hlocal_ptr = unique_any<T*, &::LocalFree>;
// Memory from COM's task allocator (the shell's item identifier lists).
template <class T>
using unique_cotaskmem_ptr = unique_any<T*, &::CoTaskMemFree>;

// A window's client-area device context, released to the window.
class unique_hdc_window {
 public:
  explicit unique_hdc_window(HWND window) noexcept : FWindow(window), FDC(GetDC(window)) {}
  ~unique_hdc_window() { ReleaseDC(FWindow, FDC); }
  unique_hdc_window(const unique_hdc_window&) = delete;
  unique_hdc_window& operator=(const unique_hdc_window&) = delete;
  HDC get() const noexcept { return FDC; }

 private:
  HWND FWindow;
  HDC FDC;
};

// An object selected into a device context; the one it replaced goes back.
class unique_select_object {
 public:
  unique_select_object(HDC dc, HGDIOBJ object) noexcept : FDC(dc), FOld(SelectObject(dc, object)) {}
  ~unique_select_object() { SelectObject(FDC, FOld); }
  unique_select_object(const unique_select_object&) = delete;
  unique_select_object& operator=(const unique_select_object&) = delete;

 private:
  HDC FDC;
  HGDIOBJ FOld;
};

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

}  // namespace kv::platform::win32
