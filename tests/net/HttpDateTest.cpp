#include "net/HttpDate.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

TEST(HttpDateTest, ReadsTheThreeFormsInUtc) {
  const TDateTime expected = EncodeDateTime(2026, 12, 10, 6, 0, 0);
  for (const char* text : {"Thu, 10 Dec 2026 06:00:00 GMT", "Thursday, 10-Dec-26 06:00:00 GMT",
                           "Thu Dec 10 06:00:00 2026", "  Thu, 10 Dec 2026 06:00:00 GMT  "}) {
    const auto date = ParseHttpDate(text);
    ASSERT_TRUE(date.has_value()) << text;
    EXPECT_DOUBLE_EQ(*date, expected) << text;
  }
  EXPECT_DOUBLE_EQ(*ParseHttpDate("Sun Nov  6 08:49:37 1994"),
                   EncodeDateTime(1994, 11, 6, 8, 49, 37));
  EXPECT_DOUBLE_EQ(*ParseHttpDate("Sunday, 06-Nov-94 08:49:37 GMT"),
                   EncodeDateTime(1994, 11, 6, 8, 49, 37));
  EXPECT_DOUBLE_EQ(*ParseHttpDate("Wed, 29 Feb 2012 23:59:60 GMT"),
                   EncodeDateTime(2012, 2, 29, 23, 59, 59));
}

TEST(HttpDateTest, RefusesWhatIsNoHttpDate) {
  for (const char* text : {"", "2026-12-10T06:00:00Z", "Thu, 10 Dec 2026 06:00:00 +0300",
                           "Thu, 10 Dek 2026 06:00:00 GMT", "Thu, 31 Nov 2026 06:00:00 GMT",
                           "Thu, 29 Feb 2026 06:00:00 GMT", "Thu, 10 Dec 2026 24:00:00 GMT",
                           "Thu, 10 Dec 2026 06:00:00 GMT trailing", "Thu, 10 Dec 2026",
                           "Thu Dec 10 06:00:00", "Thu, 00 Dec 2026 06:00:00 GMT"}) {
    EXPECT_FALSE(ParseHttpDate(text).has_value()) << text;
  }
  EXPECT_FALSE(ParseHttpDate(std::string("Thu, 10 Dec 2026 06:00:00 GMT\0x", 31)).has_value());
}

}  // namespace
}  // namespace kv
