#include "platform/FileSecurity.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>

#include "support/TempFolder.h"

namespace kv::platform {
namespace {

// Every user may read and write; whether the file may be run is left as it was.
TEST(PosixFileSecurityTest, EveryoneGetsReadAndWrite) {
  test::TTempFolder temp;
  const std::string path = temp.Path("Файл.txt");
  test::WriteFileBytes(path, "x");
  std::string native = path;
  std::replace(native.begin(), native.end(), '\\', '/');
  const struct {
    mode_t Before;
    mode_t After;
  } cases[] = {{0400, 0666}, {0600, 0666}, {0755, 0777}, {0100, 0766}};
  for (const auto& c : cases) {
    ASSERT_EQ(::chmod(native.c_str(), c.Before), 0);
    CurrentFileSecurity::Get().GrantEveryoneAccess(path);
    struct stat st {};
    ASSERT_EQ(::stat(native.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, c.After) << std::oct << c.Before;
  }
}

}  // namespace
}  // namespace kv::platform
