#include "platform/FileSecurity.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/win32/FileSecurity.h"
#include "support/TempFolder.h"

namespace kv::platform {
namespace {

using win32::TEveryoneFullAccess;

bool IsEveryone(const ACCESS_ALLOWED_ACE& entry) {
  BYTE everyone[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof everyone;
  return CreateWellKnownSid(WinWorldSid, nullptr, everyone, &size) &&
         EqualSid(const_cast<DWORD*>(&entry.SidStart), everyone);
}

// The list given to the system: one entry allowing Everyone every right, inherited by nothing,
// in a list of revision 2 and 1000 bytes, present and not defaulted in a descriptor of revision 1.
TEST(Win32FileSecurityTest, TheDescriptorHoldsOneEntryForEveryone) {
  TEveryoneFullAccess access;
  const auto* descriptor = static_cast<const SECURITY_DESCRIPTOR*>(access.Descriptor());
  EXPECT_EQ(descriptor->Revision, SECURITY_DESCRIPTOR_REVISION);
  BOOL present = FALSE;
  BOOL defaulted = TRUE;
  PACL acl = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorDacl(access.Descriptor(), &present, &acl, &defaulted));
  ASSERT_TRUE(present);
  EXPECT_FALSE(defaulted);
  ASSERT_NE(acl, nullptr);
  EXPECT_EQ(acl->AclRevision, ACL_REVISION);
  EXPECT_EQ(acl->AclSize, 1000);
  ASSERT_EQ(acl->AceCount, 1);
  void* entry = nullptr;
  ASSERT_TRUE(GetAce(acl, 0, &entry));
  const auto& allowed = *static_cast<const ACCESS_ALLOWED_ACE*>(entry);
  EXPECT_EQ(allowed.Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
  EXPECT_EQ(allowed.Header.AceFlags, 0);
  EXPECT_EQ(allowed.Mask, 0x031FFFFFu);
  EXPECT_TRUE(IsEveryone(allowed));
}

// What the system then reports for the file. Windows keeps the list as given; Wine keeps only
// the Unix permissions the list maps to, and reports its own list for them, in which Everyone
// may read, write and delete.
TEST(Win32FileSecurityTest, TheFileLetsEveryoneReadWriteAndDelete) {
  test::TTempFolder temp;
  const std::string path = temp.Path("Калвор.dat");
  test::WriteFileBytes(path, "x");
  const std::wstring wide = win32::Wide(path);
  // First nobody may do anything: an empty list.
  ACL empty{};
  ASSERT_TRUE(InitializeAcl(&empty, sizeof empty, ACL_REVISION));
  SECURITY_DESCRIPTOR closed{};
  ASSERT_TRUE(InitializeSecurityDescriptor(&closed, SECURITY_DESCRIPTOR_REVISION));
  ASSERT_TRUE(SetSecurityDescriptorDacl(&closed, TRUE, &empty, FALSE));
  ASSERT_TRUE(SetFileSecurityW(wide.c_str(), DACL_SECURITY_INFORMATION, &closed));

  CurrentFileSecurity::Get().GrantEveryoneAccess(path);

  DWORD needed = 0;
  GetFileSecurityW(wide.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &needed);
  std::vector<BYTE> buffer(needed);
  ASSERT_TRUE(
      GetFileSecurityW(wide.c_str(), DACL_SECURITY_INFORMATION, buffer.data(), needed, &needed));
  BOOL present = FALSE;
  BOOL defaulted = TRUE;
  PACL acl = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorDacl(buffer.data(), &present, &acl, &defaulted));
  ASSERT_TRUE(present && acl);
  const ACCESS_ALLOWED_ACE* everyone = nullptr;
  for (DWORD i = 0; i < acl->AceCount; ++i) {
    void* entry = nullptr;
    ASSERT_TRUE(GetAce(acl, i, &entry));
    const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
    if (allowed->Header.AceType == ACCESS_ALLOWED_ACE_TYPE && IsEveryone(*allowed)) {
      everyone = allowed;
    }
  }
  ASSERT_NE(everyone, nullptr);
  constexpr DWORD readWriteDelete = FILE_GENERIC_READ | FILE_GENERIC_WRITE | DELETE;
  EXPECT_EQ(everyone->Mask & readWriteDelete, readWriteDelete);
  if (acl->AceCount == 1) {
    EXPECT_EQ(everyone->Mask, 0x031FFFFFu);
  }

  test::WriteFileBytes(path, "yz");
  EXPECT_EQ(test::ReadFileBytes(path), "yz");
}

}  // namespace
}  // namespace kv::platform
