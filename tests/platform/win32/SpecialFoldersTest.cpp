#include "platform/Shell.h"

#include <gtest/gtest.h>

#include "common/Exceptions.h"
#include "platform/Files.h"

namespace kv::platform {
namespace {

TEST(SpecialFoldersTest, FoldersTheLibraryUsesExist) {
  for (const int csidl : {CSIDL_PERSONAL_CODE, CSIDL_APPDATA_CODE, CSIDL_COMMON_APPDATA_CODE}) {
    SCOPED_TRACE(csidl);
    const std::string path = CurrentSpecialFolders::Get().GetPath(csidl);
    ASSERT_FALSE(path.empty());
    EXPECT_NE(path.back(), '\\') << path;
    EXPECT_TRUE(DirectoryExists(path)) << path;
  }
}

TEST(SpecialFoldersTest, UnknownFolderRaises) {
  EXPECT_THROW(CurrentSpecialFolders::Get().GetPath(0x7F), EOSError);
}

}  // namespace
}  // namespace kv::platform
