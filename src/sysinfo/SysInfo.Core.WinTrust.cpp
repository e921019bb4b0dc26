#include "sysinfo/SysInfo.Core.WinTrust.h"

#include "platform/Trust.h"

namespace kv {

bool IsFileTrusted(const std::string& FileName) {
  return platform::CurrentCodeSigning::Get().IsFileTrusted(FileName);
}

}  // namespace kv
