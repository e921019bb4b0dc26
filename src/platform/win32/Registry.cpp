#include "platform/Registry.h"

#include "platform/win32/Handles.h"

#include <cwchar>

namespace kv::platform {
namespace {

// The string value of a key opened read-only with the access flags; nothing when the key cannot
// be opened or holds no string value of that name.
std::optional<std::string> ReadString(HKEY root, const std::string& key, const std::string& name,
                                      REGSAM access) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, win32::Wide(key).c_str(), 0, KEY_QUERY_VALUE | access, &opened) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  const win32::unique_hkey owner(opened);
  const std::wstring valueName = win32::Wide(name);
  std::wstring text;
  LONG result = ERROR_MORE_DATA;
  while (result == ERROR_MORE_DATA) {
    DWORD type = 0;
    DWORD size = 0;
    result = RegQueryValueExW(opened, valueName.c_str(), nullptr, &type, nullptr, &size);
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
      return std::nullopt;
    }
    // Room for a terminating null the stored value may lack.
    text.assign(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    result = RegQueryValueExW(opened, valueName.c_str(), nullptr, &type,
                              reinterpret_cast<BYTE*>(text.data()), &size);
  }
  if (result != ERROR_SUCCESS) {
    return std::nullopt;
  }
  text.resize(std::wcslen(text.c_str()));
  return win32::Narrow(text);
}

class Win32Registry final : public IRegistry {
 public:
  std::optional<std::string> ReadLocalMachineString(TRegistryView view, const std::string& key,
                                                    const std::string& name) override {
    // The view is named even for the 32-bit one: a 64-bit program would otherwise see its own.
    const REGSAM wow = view == TRegistryView::Registry64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
    return ReadString(HKEY_LOCAL_MACHINE, key, name, wow);
  }
  std::optional<std::string> ReadCurrentUserString(const std::string& key,
                                                   const std::string& name) override {
    return ReadString(HKEY_CURRENT_USER, key, name, 0);
  }
};

}  // namespace

template <>
IRegistry& TCurrent<IRegistry>::Default() {
  static Win32Registry instance;
  return instance;
}

}  // namespace kv::platform
