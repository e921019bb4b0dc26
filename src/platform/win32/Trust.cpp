#include "platform/Trust.h"

#include "platform/win32/Win32.h"

#include <softpub.h>
#include <wintrust.h>

namespace kv::platform {
namespace {

class Win32CodeSigning final : public ICodeSigning {
 public:
  bool IsFileTrusted(const std::string& fileName) override {
    const std::wstring path = win32::Wide(fileName);
    WINTRUST_FILE_INFO file{};
    file.cbStruct = sizeof(file);
    file.pcwszFilePath = path.c_str();
    WINTRUST_DATA data{};
    data.cbStruct = sizeof(data);
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    // No state kept between calls, so there is nothing to close afterwards.
    data.dwStateAction = WTD_STATEACTION_IGNORE;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    return WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data) == ERROR_SUCCESS;
  }
};

}  // namespace

template <>
ICodeSigning& TCurrent<ICodeSigning>::Default() {
  static Win32CodeSigning instance;
  return instance;
}

}  // namespace kv::platform
