#pragma once
// Keys a Win32 test writes into the real registry (under HKEY_LOCAL_MACHINE unless it names
// another root) and removes again.

#include <string>

#include "platform/win32/Handles.h"

namespace kv::test {

// A key in one registry view (KEY_WOW64_32KEY or KEY_WOW64_64KEY); deleted with its values when
// the object goes. The key must be new, so that the test deletes nothing of anybody else's.
class TTestRegistryKey {
 public:
  TTestRegistryKey(const std::string& key, REGSAM view, HKEY root = HKEY_LOCAL_MACHINE)
      : FKey(platform::win32::Wide(key)), FView(view), FRoot(root) {
    HKEY created = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExW(FRoot, FKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE | FView, nullptr,
                        &created, &disposition) != ERROR_SUCCESS) {
      throw Exception("cannot create the test key " + key);
    }
    FHandle = platform::win32::unique_hkey(created);
    if (disposition != REG_CREATED_NEW_KEY) {
      throw Exception("the test key exists already: " + key);
    }
  }
  ~TTestRegistryKey() {
    FHandle = {};
    RegDeleteKeyExW(FRoot, FKey.c_str(), FView, 0);
  }
  TTestRegistryKey(const TTestRegistryKey&) = delete;
  TTestRegistryKey& operator=(const TTestRegistryKey&) = delete;

  // A REG_SZ value; with terminatingNull false, stored without the null, as some writers do.
  void SetString(const std::string& name, const std::string& value, bool terminatingNull = true) {
    const std::wstring text = platform::win32::Wide(value);
    const DWORD size =
        static_cast<DWORD>((text.size() + (terminatingNull ? 1 : 0)) * sizeof(wchar_t));
    Set(name, REG_SZ, text.c_str(), size);
  }
  void SetDword(const std::string& name, DWORD value) {
    Set(name, REG_DWORD, &value, sizeof(value));
  }

 private:
  void Set(const std::string& name, DWORD type, const void* data, DWORD size) {
    if (RegSetValueExW(FHandle.get(), platform::win32::Wide(name).c_str(), 0, type,
                       static_cast<const BYTE*>(data), size) != ERROR_SUCCESS) {
      throw Exception("cannot set the test value " + name);
    }
  }

  std::wstring FKey;
  REGSAM FView;
  HKEY FRoot;
  platform::win32::unique_hkey FHandle;
};

}  // namespace kv::test
