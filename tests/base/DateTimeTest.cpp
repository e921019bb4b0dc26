#include "base/DateTime.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

TEST(DateTimeTest, EncodeDateTimeGivesOleAutomationDates) {
  struct TCase {
    TDateTimeParts Parts;
    TDateTime Expected;
  };
  const TCase cases[] = {
      {{1899, 12, 30, 0, 0, 0, 0}, 0},
      {{1900, 1, 1, 12, 0, 0, 0}, 2.5},
      {{2000, 1, 1, 0, 0, 0, 0}, 36526},
      // Before the epoch the time of day counts away from zero.
      {{1899, 12, 29, 6, 0, 0, 0}, -1.25},
  };
  for (const TCase& c : cases) {
    const TDateTimeParts& p = c.Parts;
    SCOPED_TRACE(testing::Message() << p.Year << "-" << p.Month << "-" << p.Day);
    EXPECT_DOUBLE_EQ(EncodeDateTime(p.Year, p.Month, p.Day, p.Hour, p.Minute, p.Second),
                     c.Expected);
  }
}

TEST(DateTimeTest, DecodeDateTimeUndoesEncodeDateTime) {
  const TDateTimeParts cases[] = {
      {1899, 12, 30, 0, 0, 0, 0}, {2024, 2, 29, 23, 59, 59, 999}, {2024, 3, 5, 10, 20, 30, 0},
      {1899, 12, 29, 6, 0, 0, 0}, {1800, 1, 1, 12, 0, 0, 1},      {9999, 12, 31, 0, 0, 0, 0},
  };
  for (const TDateTimeParts& c : cases) {
    const TDateTimeParts decoded = DecodeDateTime(
        EncodeDateTime(c.Year, c.Month, c.Day, c.Hour, c.Minute, c.Second, c.Millisecond));
    SCOPED_TRACE(testing::Message() << c.Year << "-" << c.Month << "-" << c.Day << " " << c.Hour
                                    << ":" << c.Minute << ":" << c.Second << "." << c.Millisecond);
    EXPECT_EQ(decoded.Year, c.Year);
    EXPECT_EQ(decoded.Month, c.Month);
    EXPECT_EQ(decoded.Day, c.Day);
    EXPECT_EQ(decoded.Hour, c.Hour);
    EXPECT_EQ(decoded.Minute, c.Minute);
    EXPECT_EQ(decoded.Second, c.Second);
    EXPECT_EQ(decoded.Millisecond, c.Millisecond);
  }
  // Less than half a millisecond before midnight is midnight of the next day.
  const TDateTimeParts carried =
      DecodeDateTime(EncodeDateTime(2024, 12, 31, 23, 59, 59, 999) + 0.6 / 86400000);
  EXPECT_EQ(carried.Year, 2025);
  EXPECT_EQ(carried.Month, 1u);
  EXPECT_EQ(carried.Day, 1u);
  EXPECT_EQ(carried.Hour + carried.Minute + carried.Second + carried.Millisecond, 0);
}

}  // namespace
}  // namespace kv
