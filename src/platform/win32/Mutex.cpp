#include "platform/Mutex.h"

#include "platform/win32/Handles.h"

namespace kv::platform {
namespace {

class Win32NamedMutexes final : public INamedMutexes {
 public:
  bool Exists(const std::string& name) override {
    const win32::unique_handle mutex(CreateMutexW(nullptr, FALSE, win32::Wide(name).c_str()));
    const DWORD code = GetLastError();
    if (!mutex) {
      // A mutex made under rights other than ours (an elevated client) refuses us: it exists.
      return code == ERROR_ACCESS_DENIED;
    }
    return code == ERROR_ALREADY_EXISTS;
  }
};

}  // namespace

template <>
INamedMutexes& TCurrent<INamedMutexes>::Default() {
  static Win32NamedMutexes instance;
  return instance;
}

}  // namespace kv::platform
