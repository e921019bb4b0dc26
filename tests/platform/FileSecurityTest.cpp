#include "platform/FileSecurity.h"

#include <gtest/gtest.h>

#include "base/Exceptions.h"
#include "support/TempFolder.h"

namespace kv::platform {
namespace {

// The update grants access to a target that a failed copy may have left absent.
TEST(FileSecurityTest, AMissingFileRaisesTheSystemError) {
  test::TTempFolder temp;
  EXPECT_THROW(CurrentFileSecurity::Get().GrantEveryoneAccess(temp.Path("нет.txt")), EOSError);
}

}  // namespace
}  // namespace kv::platform
