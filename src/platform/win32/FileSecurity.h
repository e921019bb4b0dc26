#pragma once
// The security descriptor that the Win32 backend gives files for every user's full access.

#include "platform/win32/Handles.h"

namespace kv::platform::win32 {

// Its access-control list holds one entry, without inheritance: Everyone may do everything (all
// specific and standard rights, the system security list and the maximum allowed). The list
// lives in the object, so the object stays where it was made.
class TEveryoneFullAccess {
 public:
  static constexpr DWORD kAccessMask = 0x031FFFFF;
  static constexpr DWORD kAclBufferSize = 1000;

  // Raises EOSError when a step fails.
  TEveryoneFullAccess();
  TEveryoneFullAccess(const TEveryoneFullAccess&) = delete;
  TEveryoneFullAccess& operator=(const TEveryoneFullAccess&) = delete;

  PSECURITY_DESCRIPTOR Descriptor() { return &FDescriptor; }

 private:
  unique_sid FEveryone;
  alignas(DWORD) BYTE FAcl[kAclBufferSize];
  SECURITY_DESCRIPTOR FDescriptor{};
};

}  // namespace kv::platform::win32
