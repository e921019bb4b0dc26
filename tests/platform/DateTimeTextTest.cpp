// Date-times written as the user's locale writes them.
#include <gtest/gtest.h>

#include "base/DateTime.h"
#include "platform/Text.h"

namespace kv::platform {
namespace {

TEST(DateTimeTextTest, TheTimeIsLeftOutOnlyAtExactMidnight) {
  const std::string midnight = DateTimeToStrLocale(EncodeDateTime(2024, 3, 5, 0, 0, 0));
  const std::string morning = DateTimeToStrLocale(EncodeDateTime(2024, 3, 5, 10, 20, 30));
  const std::string justAfter = DateTimeToStrLocale(EncodeDateTime(2024, 3, 5, 0, 0, 0, 1));

  EXPECT_NE(midnight.find("24"), std::string::npos) << midnight;
  ASSERT_TRUE(morning.starts_with(midnight + " ")) << morning;
  EXPECT_NE(morning.find("20"), std::string::npos) << morning;
  EXPECT_NE(morning.find("30"), std::string::npos) << morning;
  EXPECT_TRUE(justAfter.starts_with(midnight + " ")) << justAfter;
  EXPECT_NE(justAfter, midnight);
}

}  // namespace
}  // namespace kv::platform
