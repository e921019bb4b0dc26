#include "platform/Mutex.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace kv::platform {
namespace {

// The lock file that stands for the mutex "KvMutexTest_client".
const char* const kLockFile = "/tmp/KvMutexTest_client.lock";

bool Exists() {
  return CurrentNamedMutexes::Get().Exists("KvMutexTest_client");
}

TEST(NamedMutexTest, ExistsWhileSomeoneHoldsTheLock) {
  ::unlink(kLockFile);
  EXPECT_FALSE(Exists());

  const int holder = ::open(kLockFile, O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  ASSERT_GE(holder, 0);
  EXPECT_FALSE(Exists()) << "a lock file nobody holds";
  ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
  EXPECT_TRUE(Exists());
  EXPECT_TRUE(Exists()) << "asking twice";
  ::close(holder);
  EXPECT_FALSE(Exists());
  ::unlink(kLockFile);
}

}  // namespace
}  // namespace kv::platform
