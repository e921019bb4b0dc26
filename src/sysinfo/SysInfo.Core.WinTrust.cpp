#include "sysinfo/SysInfo.Core.WinTrust.h"

#include "platform/Trust.h"

namespace kv {

bool IsFileTrusted(const std::string& fileName) {
  return platform::CurrentCodeSigning::Get().IsFileTrusted(fileName);
}

}  // namespace kv
