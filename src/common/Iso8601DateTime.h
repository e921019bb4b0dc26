#pragma once
// Reading ISO 8601 date-times ("2024-03-15T10:20:30.5+03:00", "20240315T102030Z").

#include <string>

#include "base/DateTime.h"

namespace kv {

// Reads the date and time as written: missing trailing components default to the first month,
// the first day and midnight; a fraction of a second is accepted and dropped; a time-zone
// designator ("Z", "+03:00") is accepted but not applied. False for a malformed text; raises
// Exception for a duration ("P..."), which is not supported.
bool TryISO8601ToDateTime(const std::string& text, TDateTime& value);
// The same, with defaultValue for a malformed text.
TDateTime ISO8601ToDateTimeDef(const std::string& text, TDateTime defaultValue);

}  // namespace kv
