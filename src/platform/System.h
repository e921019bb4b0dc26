#pragma once
// Process-level services: error codes and their messages, GUIDs, the command line, time.

#include <cstdint>
#include <string>
#include <vector>

#include "base/DateTime.h"
#include "base/Guid.h"

namespace kv::platform {

// The calling thread's last error code (GetLastError, errno).
uint32_t LastErrorCode();
// The system's message text for an error code, without trailing line breaks.
std::string SystemErrorMessage(uint32_t code);
// The system's message text for a COM result code.
std::string ResultCodeMessage(int32_t result);

// A new GUID; returns the failing result code, 0 on success.
int32_t CreateGuid(TGUID& guid);

// The program's arguments, without the program itself, as UTF-8.
std::vector<std::string> CommandLineArgs();
// The running program's executable file, with its full path.
std::string ProgramFileName();

// The current local date and time.
TDateTime Now();

}  // namespace kv::platform
