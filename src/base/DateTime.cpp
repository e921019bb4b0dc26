#include "base/DateTime.h"

#include <chrono>
#include <cmath>

namespace kv {

TDateTime EncodeDateTime(int year, unsigned month, unsigned day, int hour, int minute, int second,
                         int millisecond) {
  using namespace std::chrono;
  const sys_days date = std::chrono::year(year) / std::chrono::month(month) / std::chrono::day(day);
  const double days = (date - sys_days(1899y / December / 30)).count();
  const double time = (((hour * 60 + minute) * 60 + second) * 1000 + millisecond) / 86400000.0;
  return days < 0 ? days - time : days + time;
}

TDateTimeParts DecodeDateTime(TDateTime value) {
  using namespace std::chrono;
  constexpr int64_t kMsPerDay = 86400000;
  // The day is the whole part; before the epoch the time of day is taken away from it.
  int64_t day = static_cast<int64_t>(std::trunc(value));
  int64_t ms = std::llround(std::fabs(value - static_cast<double>(day)) * kMsPerDay);
  if (ms == kMsPerDay) {
    ms = 0;
    day += value < 0 ? -1 : 1;
  }
  const year_month_day date(sys_days(1899y / December / 30) + days(day));
  return {static_cast<int>(date.year()),     static_cast<unsigned>(date.month()),
          static_cast<unsigned>(date.day()), static_cast<int>(ms / 3600000),
          static_cast<int>(ms / 60000 % 60), static_cast<int>(ms / 1000 % 60),
          static_cast<int>(ms % 1000)};
}

}  // namespace kv
