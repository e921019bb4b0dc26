#include "platform/Mutex.h"

#include <gtest/gtest.h>

#include "platform/win32/Handles.h"

#include <aclapi.h>

namespace kv::platform {
namespace {

const std::string kName = "KvMutexTest_client";

bool Exists() {
  return CurrentNamedMutexes::Get().Exists(kName);
}

TEST(NamedMutexTest, ExistsWhileSomeoneHoldsIt) {
  EXPECT_FALSE(Exists());
  {
    const win32::unique_handle held(CreateMutexW(nullptr, TRUE, win32::Wide(kName).c_str()));
    ASSERT_TRUE(held);
    EXPECT_TRUE(Exists());
  }
  EXPECT_FALSE(Exists());
  // Asking left no mutex behind.
  const win32::unique_handle fresh(CreateMutexW(nullptr, FALSE, win32::Wide(kName).c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
}

// A client running with other rights (elevated) makes a mutex we may not open: it runs all the
// same. An empty access list stands in for those rights.
TEST(NamedMutexTest, AMutexWeMayNotOpenExists) {
  SECURITY_DESCRIPTOR descriptor{};
  ASSERT_TRUE(InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
  ACL acl{};
  ASSERT_TRUE(InitializeAcl(&acl, sizeof(acl), ACL_REVISION));
  ASSERT_TRUE(SetSecurityDescriptorDacl(&descriptor, TRUE, &acl, FALSE));
  SECURITY_ATTRIBUTES attributes{sizeof(attributes), &descriptor, FALSE};
  const win32::unique_handle held(CreateMutexW(&attributes, FALSE, win32::Wide(kName).c_str()));
  ASSERT_TRUE(held);

  EXPECT_TRUE(Exists());
}

}  // namespace
}  // namespace kv::platform
