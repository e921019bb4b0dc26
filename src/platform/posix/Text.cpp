#include "platform/Text.h"

#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/ucol.h>
#include <unicode/uloc.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

#include <clocale>
#include <memory>

#include "base/Exceptions.h"

namespace kv::platform {
namespace {

void Check(UErrorCode status, const char* what) {
  if (U_FAILURE(status)) {
    throw Exception(Format("%s: %s", what, u_errorName(status)));
  }
}

const char* ConverterName(unsigned codePage) {
  switch (codePage) {
    case 1251:
      return "windows-1251";
    case 866:
      return "ibm-866";
    case 1252:
      return "windows-1252";
    case 65001:
      return "UTF-8";
    default:
      throw Exception(Format("Unsupported code page %u", codePage));
  }
}

struct ConverterCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

ConverterPtr OpenConverter(unsigned codePage) {
  UErrorCode status = U_ZERO_ERROR;
  ConverterPtr converter(ucnv_open(ConverterName(codePage), &status));
  Check(status, "ucnv_open");
  return converter;
}

struct CollatorCloser {
  void operator()(UCollator* c) const { ucol_close(c); }
};

// The user's locale, taken from the environment by ICU. The C locale's collation orders by code
// point with case as a primary difference, so it falls back to the root collation.
const char* UserLocale() {
  const char* locale = uloc_getDefault();
  return std::string_view(locale) == "en_US_POSIX" ? "" : locale;
}

UCollator& CaseInsensitiveCollator() {
  thread_local std::unique_ptr<UCollator, CollatorCloser> collator = [] {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UCollator, CollatorCloser> c(ucol_open(UserLocale(), &status));
    Check(status, "ucol_open");
    ucol_setStrength(c.get(), UCOL_SECONDARY);
    return c;
  }();
  return *collator;
}

// One character for one, as Windows maps case: a mapping that would change a text's length
// (ß to SS) leaves the character as it is.
template <class Map>
std::string MapCase(std::string_view text, Map map) {
  std::u16string utf16 = Utf8ToUtf16(text);
  std::u16string result;
  result.reserve(utf16.size());
  for (size_t i = 0; i < utf16.size();) {
    UChar32 c = 0;
    U16_NEXT(utf16.data(), i, utf16.size(), c);
    const UChar32 mapped = map(c);
    if (U16_LENGTH(mapped) == U16_LENGTH(c)) {
      c = mapped;
    }
    if (U_IS_BMP(c)) {
      result += static_cast<char16_t>(c);
    } else {
      result += static_cast<char16_t>(U16_LEAD(c));
      result += static_cast<char16_t>(U16_TRAIL(c));
    }
  }
  return Utf16ToUtf8(result);
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view utf8) {
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = 0;
  u_strFromUTF8WithSub(nullptr, 0, &length, utf8.data(), static_cast<int32_t>(utf8.size()), 0xFFFD,
                       nullptr, &status);
  if (status == U_BUFFER_OVERFLOW_ERROR) {
    status = U_ZERO_ERROR;
  }
  Check(status, "UTF-8 to UTF-16");
  std::u16string result(static_cast<size_t>(length), u'\0');
  u_strFromUTF8WithSub(result.data(), length, nullptr, utf8.data(),
                       static_cast<int32_t>(utf8.size()), 0xFFFD, nullptr, &status);
  if (status == U_STRING_NOT_TERMINATED_WARNING) {
    status = U_ZERO_ERROR;
  }
  Check(status, "UTF-8 to UTF-16");
  return result;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = 0;
  u_strToUTF8WithSub(nullptr, 0, &length, utf16.data(), static_cast<int32_t>(utf16.size()), 0xFFFD,
                     nullptr, &status);
  if (status == U_BUFFER_OVERFLOW_ERROR) {
    status = U_ZERO_ERROR;
  }
  Check(status, "UTF-16 to UTF-8");
  std::string result(static_cast<size_t>(length), '\0');
  u_strToUTF8WithSub(result.data(), length, nullptr, utf16.data(),
                     static_cast<int32_t>(utf16.size()), 0xFFFD, nullptr, &status);
  if (status == U_STRING_NOT_TERMINATED_WARNING) {
    status = U_ZERO_ERROR;
  }
  Check(status, "UTF-16 to UTF-8");
  return result;
}

size_t Utf16Length(std::string_view utf8) {
  return Utf8ToUtf16(utf8).size();
}

// The users' machines are Russian: Linux stands in with their code pages.
unsigned AnsiCodePage() {
  return 1251;
}
unsigned OemCodePage() {
  return 866;
}

std::string EncodeCodePage(unsigned codePage, std::string_view utf8) {
  ConverterPtr converter = OpenConverter(codePage);
  UErrorCode status = U_ZERO_ERROR;
  ucnv_setSubstChars(converter.get(), "?", 1, &status);
  Check(status, "ucnv_setSubstChars");
  const std::u16string utf16 = Utf8ToUtf16(utf8);
  std::string result(utf16.size() * 4 + 1, '\0');
  const int32_t length =
      ucnv_fromUChars(converter.get(), result.data(), static_cast<int32_t>(result.size()),
                      utf16.data(), static_cast<int32_t>(utf16.size()), &status);
  Check(status, "encoding");
  result.resize(static_cast<size_t>(length));
  return result;
}

std::string DecodeCodePage(unsigned codePage, std::string_view bytes) {
  ConverterPtr converter = OpenConverter(codePage);
  UErrorCode status = U_ZERO_ERROR;
  std::u16string utf16(bytes.size() * 2 + 1, u'\0');
  const int32_t length =
      ucnv_toUChars(converter.get(), utf16.data(), static_cast<int32_t>(utf16.size()), bytes.data(),
                    static_cast<int32_t>(bytes.size()), &status);
  Check(status, "decoding");
  utf16.resize(static_cast<size_t>(length));
  return Utf16ToUtf8(utf16);
}

std::string AnsiToOem(std::string_view ansi) {
  return EncodeCodePage(OemCodePage(), DecodeCodePage(AnsiCodePage(), ansi));
}

std::string OemToAnsi(std::string_view oem) {
  return EncodeCodePage(AnsiCodePage(), DecodeCodePage(OemCodePage(), oem));
}

int CompareTextLocale(std::string_view a, std::string_view b) {
  UErrorCode status = U_ZERO_ERROR;
  const UCollationResult result =
      ucol_strcollUTF8(&CaseInsensitiveCollator(), a.data(), static_cast<int32_t>(a.size()),
                       b.data(), static_cast<int32_t>(b.size()), &status);
  Check(status, "ucol_strcollUTF8");
  return static_cast<int>(result);
}

std::string UpperCaseLocale(std::string_view text) {
  return MapCase(text, u_toupper);
}
std::string LowerCaseLocale(std::string_view text) {
  return MapCase(text, u_tolower);
}

// The C library's numeric locale, which the program takes from the environment.
std::string DecimalSeparator() {
  return std::localeconv()->decimal_point;
}

}  // namespace kv::platform
