#include "platform/OSError.h"

#include "platform/System.h"

namespace kv {

EOSError platform::OSError(uint32_t code) {
  return EOSError(SystemErrorMessage(code), code);
}

void RaiseLastOSError() {
  const uint32_t code = platform::LastErrorCode();
  // Some calls fail without saying why; the system's text for 0 would read as success.
  if (code == 0) {
    throw EOSError("A call to an OS function failed", 0);
  }
  throw platform::OSError(code);
}

}  // namespace kv
