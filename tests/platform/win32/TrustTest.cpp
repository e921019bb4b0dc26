#include "platform/Trust.h"

#include <gtest/gtest.h>

#include "support/Win32Fixtures.h"

namespace kv::platform {
namespace {

TEST(CodeSigningTest, UnsignedAndMissingFilesAreNotTrusted) {
  EXPECT_FALSE(CurrentCodeSigning::Get().IsFileTrusted(test::FixtureFolder() + "noversion.exe"));
  EXPECT_FALSE(CurrentCodeSigning::Get().IsFileTrusted(test::FixtureFolder() + "missing.exe"));
}

}  // namespace
}  // namespace kv::platform
