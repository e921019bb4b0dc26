#pragma once
// The OLE Automation date: days since 30 December 1899, the fraction being the time of day.

#include <cstdint>

namespace kv {

using TDateTime = double;

// The date-time of a valid calendar date and time of day; before 30 December 1899 the time is
// taken away from the negative day number, as OLE Automation dates encode it.
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

}  // namespace kv
