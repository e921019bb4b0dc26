#pragma once
// Reading the date forms of HTTP (RFC 9110): the preferred RFC 1123 form and the obsolete RFC 850
// and asctime forms, all in UTC.

#include <optional>
#include <string>

#include "base/DateTime.h"

namespace kv {

// The date and time in UTC; nothing when the text is none of the three forms or names no valid
// date. Surrounding blanks are allowed.
std::optional<TDateTime> ParseHttpDate(const std::string& text);

}  // namespace kv
