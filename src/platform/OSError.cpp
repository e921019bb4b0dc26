#include "platform/OSError.h"

#include "platform/System.h"

namespace kv {

namespace {
std::string OSErrorMessage(uint32_t code) {
  return code == 0 ? "A call to an OS function failed" : platform::SystemErrorMessage(code);
}
}  // namespace

EOSError platform::OSError(uint32_t code) {
  return EOSError(OSErrorMessage(code), code);
}

EOSError platform::OSError(uint32_t code, const std::string& path) {
  return EOSError(OSErrorMessage(code) + ": " + path, code);
}

void RaiseLastOSError() {
  throw platform::OSError(platform::LastErrorCode());
}

}  // namespace kv
