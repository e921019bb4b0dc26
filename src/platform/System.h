#pragma once
// Process-level services: error codes and their messages, GUIDs, the command line, time.

#include <cstdint>
#include <string>
#include <vector>

#include "common/Object.h"

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

// Days since 30 December 1899, the fraction being the time of day (the system's date-time).
using TDateTime = double;
TDateTime Now();
// The date-time of a valid calendar date and time of day; before 30 December 1899 the time is
// taken away from the negative day number, as the system encodes it.
TDateTime EncodeDateTime(int year, unsigned month, unsigned day, int hour, int minute, int second,
                         int millisecond = 0);
// The calendar date and time of day of a date-time, to the nearest millisecond.
struct TDateTimeParts {
  int Year;
  unsigned Month;
  unsigned Day;
  int Hour;
  int Minute;
  int Second;
  int Millisecond;
};
TDateTimeParts DecodeDateTime(TDateTime value);

}  // namespace kv::platform
