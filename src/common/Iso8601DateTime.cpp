#include "common/Iso8601DateTime.h"

#include <chrono>
#include <string_view>

#include "base/Exceptions.h"

namespace kv {

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// After the numbers: an optional fraction of a second, then "Z" or "+hh:mm"/"-hh:mm", if any.
bool IsValidRest(std::string_view rest) {
  if (rest.starts_with('.')) {
    rest.remove_prefix(1);
    if (rest.empty() || !IsDigit(rest.front())) {
      return false;
    }
    while (!rest.empty() && IsDigit(rest.front())) {
      rest.remove_prefix(1);
    }
  }
  if (rest.empty() || rest == "Z") {
    return true;
  }
  return rest.size() == 6 && (rest[0] == '+' || rest[0] == '-') && IsDigit(rest[1]) &&
         IsDigit(rest[2]) && rest[3] == ':' && IsDigit(rest[4]) && IsDigit(rest[5]);
}

// The OLE Automation date of a checked calendar date and time of day.
bool TryEncodeDateTime(int year, int month, int day, int hour, int minute, int second,
                       TDateTime& value) {
  using namespace std::chrono;
  const year_month_day date{std::chrono::year(year),
                            std::chrono::month(static_cast<unsigned>(month)),
                            std::chrono::day(static_cast<unsigned>(day))};
  if (year < 1 || !date.ok() || hour > 23 || minute > 59 || second > 59) {
    return false;
  }
  value = EncodeDateTime(year, static_cast<unsigned>(month), static_cast<unsigned>(day), hour,
                         minute, second);
  return true;
}

}  // namespace

bool TryISO8601ToDateTime(const std::string& text, TDateTime& value) {
  if (text.find('P') != std::string::npos) {
    throw Exception("Не поддерживаются промежутки времени");
  }
  if (text.empty()) {
    return false;
  }
  // Year, month, day, hour, minute, second with their defaults and widths.
  int parts[] = {0, 1, 1, 0, 0, 0};
  constexpr size_t widths[] = {4, 2, 2, 2, 2, 2};
  size_t pos = 0;
  for (size_t i = 0; i < std::size(parts); ++i) {
    size_t start = pos;
    while (start < text.size() && !IsDigit(text[start])) {
      ++start;
    }
    if (text.size() - start < widths[i]) {
      if (i == 0) {
        return false;
      }
      break;
    }
    int number = 0;
    for (size_t k = start; k < start + widths[i]; ++k) {
      if (!IsDigit(text[k])) {
        return false;
      }
      number = number * 10 + (text[k] - '0');
    }
    parts[i] = number;
    pos = start + widths[i];
  }
  return IsValidRest(std::string_view(text).substr(pos)) &&
         TryEncodeDateTime(parts[0], parts[1], parts[2], parts[3], parts[4], parts[5], value);
}

TDateTime ISO8601ToDateTimeDef(const std::string& text, TDateTime defaultValue) {
  TDateTime value = 0;
  return TryISO8601ToDateTime(text, value) ? value : defaultValue;
}

}  // namespace kv
