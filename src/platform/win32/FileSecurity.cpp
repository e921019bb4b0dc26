#include "platform/FileSecurity.h"

#include "platform/win32/FileSecurity.h"

namespace kv::platform {
namespace {

class Win32FileSecurity final : public IFileSecurity {
 public:
  // Only the access-control part of the file's security is replaced.
  void GrantEveryoneAccess(const std::string& path) override {
    win32::TEveryoneFullAccess access;
    win32::CheckLastError(
        SetFileSecurityW(win32::Wide(path).c_str(), DACL_SECURITY_INFORMATION, access.Descriptor()),
        path);
  }
};

}  // namespace

win32::TEveryoneFullAccess::TEveryoneFullAccess() {
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  PSID everyone = nullptr;
  CheckLastError(
      AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone));
  FEveryone = unique_sid(everyone);
  const auto acl = reinterpret_cast<PACL>(FAcl);
  CheckLastError(InitializeAcl(acl, kAclBufferSize, ACL_REVISION));
  CheckLastError(AddAccessAllowedAce(acl, ACL_REVISION, kAccessMask, FEveryone.get()));
  CheckLastError(InitializeSecurityDescriptor(&FDescriptor, SECURITY_DESCRIPTOR_REVISION));
  CheckLastError(SetSecurityDescriptorDacl(&FDescriptor, TRUE, acl, FALSE));
}

template <>
IFileSecurity& TCurrent<IFileSecurity>::Default() {
  static Win32FileSecurity instance;
  return instance;
}

}  // namespace kv::platform
