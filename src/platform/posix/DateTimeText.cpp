#include "platform/Text.h"

#include <unicode/udat.h>
#include <unicode/uloc.h>

#include <memory>
#include <string_view>

#include "base/Exceptions.h"

namespace kv::platform {
namespace {

struct FormatCloser {
  void operator()(UDateFormat* format) const { udat_close(format); }
};

// ICU's stand-in for the C locale writes dates the American way; the root locale's forms are
// neutral.
const char* UserLocale() {
  const char* locale = uloc_getDefault();
  return std::string_view(locale) == "en_US_POSIX" ? "" : locale;
}

// The date-time is already local: ICU formats it as a time in UTC, so no zone shifts it.
std::u16string FormatPart(UDateFormatStyle timeStyle, UDateFormatStyle dateStyle, UDate date) {
  UErrorCode status = U_ZERO_ERROR;
  const std::unique_ptr<UDateFormat, FormatCloser> format(
      udat_open(timeStyle, dateStyle, UserLocale(), u"UTC", -1, nullptr, 0, &status));
  std::u16string text(64, u'\0');
  int32_t length = 0;
  if (U_SUCCESS(status)) {
    length = udat_format(format.get(), date, text.data(), static_cast<int32_t>(text.size()),
                         nullptr, &status);
  }
  if (status == U_BUFFER_OVERFLOW_ERROR) {
    status = U_ZERO_ERROR;
    text.resize(static_cast<size_t>(length));
    udat_format(format.get(), date, text.data(), length, nullptr, &status);
  }
  if (U_FAILURE(status)) {
    throw EOSError(std::string("Date format: ") + u_errorName(status), 0);
  }
  text.resize(static_cast<size_t>(length));
  return text;
}

}  // namespace

std::string DateTimeToStrLocale(TDateTime value) {
  constexpr double unixEpoch = 25569;  // 1 January 1970
  const TDateTimeParts parts = DecodeDateTime(value);
  const UDate date = (value - unixEpoch) * 86400000.0;
  std::u16string text = FormatPart(UDAT_NONE, UDAT_SHORT, date);
  if (parts.Hour != 0 || parts.Minute != 0 || parts.Second != 0 || parts.Millisecond != 0) {
    // The medium time style is what Windows calls the long time: hours to seconds, no zone.
    text += u' ';
    text += FormatPart(UDAT_MEDIUM, UDAT_NONE, date);
  }
  return Utf16ToUtf8(text);
}

}  // namespace kv::platform
