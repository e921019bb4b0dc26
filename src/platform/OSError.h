#pragma once
// Operating-system errors raised with the system's own message text.

#include <cstdint>
#include <string>

#include "base/Exceptions.h"

namespace kv {

namespace platform {
// The error of a failed operating-system call: its code and the system's message for it. A call
// that failed without saying why (code 0) gets a text of its own, since the system's text for 0
// would read as success.
EOSError OSError(uint32_t code);
// The same for a call on a file or folder: the message names the path.
EOSError OSError(uint32_t code, const std::string& path);
}  // namespace platform

// Raises the error the last failed operating-system call of this thread left behind.
[[noreturn]] void RaiseLastOSError();

}  // namespace kv
