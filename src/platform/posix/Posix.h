#pragma once
// Helpers shared by the Linux backend's files.

#include <ctime>

#include "platform/System.h"

namespace kv::platform::posix {

// A time as the system's local date-time.
TDateTime ToLocalDateTime(std::time_t time);

}  // namespace kv::platform::posix
