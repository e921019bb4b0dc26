#include <gtest/gtest.h>

#include "platform/System.h"
#include "platform/Text.h"

namespace kv::platform {
namespace {

// Wine runs in the users' Russian locale.
TEST(Win32DateTimeTextTest, ShortDateAndLongTimeOfTheRussianLocale) {
  // Windows writes the hour of the long time with one digit, Wine with two.
  const std::string morning = DateTimeToStrLocale(EncodeDateTime(2024, 3, 5, 9, 7, 30));
  EXPECT_TRUE(morning == "05.03.2024 9:07:30" || morning == "05.03.2024 09:07:30") << morning;
  EXPECT_EQ(DateTimeToStrLocale(EncodeDateTime(2024, 3, 5, 0, 0, 0)), "05.03.2024");
}

}  // namespace
}  // namespace kv::platform
