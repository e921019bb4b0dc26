#include "base/Guid.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

TEST(GuidTest, ToStringGivesTheBracedRegistryFormInUpperCase) {
  struct TCase {
    TGUID Guid;
    const char* Expected;
  };
  const TCase cases[] = {
      {{0x4DE81104, 0x08B2, 0x4821, {0x96, 0x0E, 0x89, 0x35, 0xAC, 0x9B, 0x8F, 0x5E}},
       "{4DE81104-08B2-4821-960E-8935AC9B8F5E}"},
      // Every field keeps its leading zeros.
      {{}, "{00000000-0000-0000-0000-000000000000}"},
      {{0x1, 0x2, 0x3, {0x4, 0x5, 0x6, 0x7, 0x8, 0x9, 0xA, 0xB}},
       "{00000001-0002-0003-0405-060708090A0B}"},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(c.Guid.ToString(), c.Expected);
  }
}

}  // namespace
}  // namespace kv
