#include "platform/FileSwap.h"

#include "platform/win32/Win32.h"

namespace kv::platform {

void MoveFileOver(const std::string& source, const std::string& target) {
  if (!MoveFileExW(win32::Wide(source).c_str(), win32::Wide(target).c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    win32::RaiseOSError(GetLastError(), target);
  }
}

}  // namespace kv::platform
