#include "common/Iso8601DateTime.h"

#include <gtest/gtest.h>

#include "base/Exceptions.h"

namespace kv {
namespace {

constexpr TDateTime k2000 = 36526;  // 1 January 2000
constexpr TDateTime kUnset = -999;

TEST(ISO8601Test, ReadsTheFormsAsWritten) {
  struct Case {
    const char* text;
    TDateTime expected;
  };
  const Case cases[] = {
      {"2000-01-01T12:00:00Z", k2000 + 0.5},
      {"20000101T120000Z", k2000 + 0.5},
      {"2000-01-01T12:00:00", k2000 + 0.5},
      // The offset is accepted, not applied: the clock time stays as written.
      {"2000-01-01T12:00:00+03:00", k2000 + 0.5},
      {"2000-01-01T12:00:00-11:30", k2000 + 0.5},
      {"2000-01-01T12:00:00.250Z", k2000 + 0.5},
      {"2000-01-01T12:00:00.9", k2000 + 0.5},
      {"2000-01-01T18:36:00", k2000 + 0.775},
      {"2000", k2000},
      {"2000-02", k2000 + 31},
      {"2000-02-29", k2000 + 59},
      {"2000-01-01T12", k2000 + 0.5},
      {"2000-01-01 06:00", k2000 + 0.25},
      {"1899-12-30", 0},
      // Before the day zero the time of day counts away from it, as OLE Automation dates do.
      {"1899-12-29T06:00:00", -1.25},
  };
  for (const Case& c : cases) {
    TDateTime value = kUnset;
    EXPECT_TRUE(TryISO8601ToDateTime(c.text, value)) << c.text;
    EXPECT_DOUBLE_EQ(value, c.expected) << c.text;
  }
}

TEST(ISO8601Test, MalformedTextsFail) {
  for (const char* text :
       {"", "abc", "200", "2000-1-01", "2000-01-01T", "2000-01-01 garbage", "2000-01-01T12:00:00 ",
        "2000-01-01T12:00:00.Z", "2000-01-01T12:00:00ZZ", "2000-01-01T12:00:00Z+03:00",
        "2000-01-01T12:00:00+03", "2000-01-01T12:00:00+0300", "2000-01-01T12:00:00+03:00:00",
        "2000-13-01", "2000-02-30", "0000-01-01", "2000-01-01T24:00:00", "2000-01-01T12:60",
        "2000-01-01T12:00:60"}) {
    TDateTime value = kUnset;
    EXPECT_FALSE(TryISO8601ToDateTime(text, value)) << text;
    EXPECT_EQ(value, kUnset) << text;
    EXPECT_EQ(ISO8601ToDateTimeDef(text, 42), 42) << text;
  }
  EXPECT_EQ(ISO8601ToDateTimeDef("2000-01-01", 42), k2000);
}

TEST(ISO8601Test, DurationsRaise) {
  for (const char* text : {"P1D", "PT5M", "2000-01-01P"}) {
    TDateTime value = kUnset;
    try {
      TryISO8601ToDateTime(text, value);
      ADD_FAILURE() << "no error for " << text;
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), "Не поддерживаются промежутки времени");
    }
  }
}

}  // namespace
}  // namespace kv
