#include "platform/Shell.h"

#include <gtest/gtest.h>

#include "base/Exceptions.h"
#include "platform/Files.h"
#include "platform/win32/Win32.h"

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

TEST(SpecialFoldersTest, UnknownFolderRaisesAFailureNotASuccessText) {
  SetLastError(ERROR_SUCCESS);  // the shell fails here without saying why
  try {
    CurrentSpecialFolders::Get().GetPath(0x7F);
    FAIL() << "no error";
  } catch (const EOSError& e) {
    if (e.ErrorCode() == 0) {
      EXPECT_EQ(e.Message(), "A call to an OS function failed");
    }
  }
}

}  // namespace
}  // namespace kv::platform
