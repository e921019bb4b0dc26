#include "platform/Shell.h"

#include <gtest/gtest.h>

#include "platform/Files.h"

namespace kv::platform {
namespace {

TEST(SpecialFoldersTest, FoldersTheLibraryUsesExist) {
  using enum TSpecialFolder;
  for (const TSpecialFolder folder : {Documents, Desktop, AppData, CommonAppData}) {
    SCOPED_TRACE(static_cast<int>(folder));
    const std::string path = CurrentSpecialFolders::Get().GetPath(folder);
    ASSERT_FALSE(path.empty());
    EXPECT_NE(path.back(), '\\') << path;
    EXPECT_TRUE(DirectoryExists(path)) << path;
  }
}

}  // namespace
}  // namespace kv::platform
