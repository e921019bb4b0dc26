#include <chrono>

#include "platform/System.h"

namespace kv::platform {

TDateTime EncodeDateTime(int year, unsigned month, unsigned day, int hour, int minute, int second,
                         int millisecond) {
  using namespace std::chrono;
  const sys_days date = std::chrono::year(year) / std::chrono::month(month) / std::chrono::day(day);
  const double days = (date - sys_days(1899y / December / 30)).count();
  const double time = (((hour * 60 + minute) * 60 + second) * 1000 + millisecond) / 86400000.0;
  return days < 0 ? days - time : days + time;
}

}  // namespace kv::platform
