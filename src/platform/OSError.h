#pragma once
// Operating-system errors raised with the system's own message text.

#include <cstdint>

#include "base/Exceptions.h"

namespace kv {

namespace platform {
// The error of a failed operating-system call: its code and the system's message for it.
EOSError OSError(uint32_t code);
}  // namespace platform

// Raises the error the last failed operating-system call of this thread left behind.
[[noreturn]] void RaiseLastOSError();

}  // namespace kv
