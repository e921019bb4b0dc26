#include "net/HttpDate.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace kv {
namespace {

constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

int MonthNumber(const char* name) {
  for (size_t i = 0; i < kMonths.size(); ++i) {
    if (std::strcmp(name, kMonths[i]) == 0) {
      return static_cast<int>(i) + 1;
    }
  }
  return 0;
}

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
  static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[static_cast<size_t>(month - 1)];
}

struct Fields {
  int Year = 0;
  int Month = 0;
  int Day = 0;
  int Hour = 0;
  int Minute = 0;
  int Second = 0;
};

std::optional<TDateTime> Encode(const Fields& f) {
  if (f.Month < 1 || f.Year < 1 || f.Year > 9999 || f.Day < 1 ||
      f.Day > DaysInMonth(f.Year, f.Month) || f.Hour < 0 || f.Hour > 23 || f.Minute < 0 ||
      f.Minute > 59 || f.Second < 0 || f.Second > 60) {
    return std::nullopt;
  }
  // A leap second reads as the last second of its minute.
  return EncodeDateTime(f.Year, static_cast<unsigned>(f.Month), static_cast<unsigned>(f.Day),
                        f.Hour, f.Minute, f.Second == 60 ? 59 : f.Second);
}

bool IsGmt(const char* zone) {
  return std::strcmp(zone, "GMT") == 0 || std::strcmp(zone, "UTC") == 0;
}

// "06 Nov 1994 08:49:37 GMT"
std::optional<TDateTime> ReadRfc1123(const std::string& rest) {
  Fields f;
  char month[4] = {};
  char zone[4] = {};
  int used = -1;
  if (std::sscanf(rest.c_str(), " %2d %3s %4d %2d:%2d:%2d %3s %n", &f.Day, month, &f.Year, &f.Hour,
                  &f.Minute, &f.Second, zone, &used) != 7 ||
      used != static_cast<int>(rest.size()) || !IsGmt(zone)) {
    return std::nullopt;
  }
  f.Month = MonthNumber(month);
  return Encode(f);
}

// "06-Nov-94 08:49:37 GMT"; a two-digit year more than 50 years ahead is in the past century.
std::optional<TDateTime> ReadRfc850(const std::string& rest) {
  Fields f;
  char month[4] = {};
  char zone[4] = {};
  int used = -1;
  if (std::sscanf(rest.c_str(), " %2d-%3[A-Za-z]-%2d %2d:%2d:%2d %3s %n", &f.Day, month, &f.Year,
                  &f.Hour, &f.Minute, &f.Second, zone, &used) != 7 ||
      used != static_cast<int>(rest.size()) || !IsGmt(zone)) {
    return std::nullopt;
  }
  f.Year += f.Year < 70 ? 2000 : 1900;
  f.Month = MonthNumber(month);
  return Encode(f);
}

// "Sun Nov  6 08:49:37 1994"
std::optional<TDateTime> ReadAsctime(const std::string& text) {
  Fields f;
  char weekday[4] = {};
  char month[4] = {};
  int used = -1;
  if (std::sscanf(text.c_str(), " %3s %3s %2d %2d:%2d:%2d %4d %n", weekday, month, &f.Day, &f.Hour,
                  &f.Minute, &f.Second, &f.Year, &used) != 7 ||
      used != static_cast<int>(text.size())) {
    return std::nullopt;
  }
  f.Month = MonthNumber(month);
  return Encode(f);
}

}  // namespace

std::optional<TDateTime> ParseHttpDate(const std::string& text) {
  // sscanf stops at a NUL, which would let a longer text pass as a shorter one.
  if (text.find('\0') != std::string::npos) {
    return std::nullopt;
  }
  const size_t comma = text.find(',');
  if (comma == std::string::npos) {
    return ReadAsctime(text);
  }
  const std::string rest = text.substr(comma + 1);
  if (auto date = ReadRfc1123(rest)) {
    return date;
  }
  return ReadRfc850(rest);
}

}  // namespace kv
