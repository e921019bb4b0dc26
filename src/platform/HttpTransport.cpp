#include "platform/HttpTransport.h"

#include "base/Format.h"
#include "base/Rtti.h"
#include "platform/CredentialPrompt.h"

namespace kv::platform {

KV_DEFINE_CLASS(EInternetError, "EInternetError", Exception)
KV_DEFINE_CLASS(EPromptError, "EPromptError", Exception)

EInternetError::EInternetError(int32_t code, std::string text)
    : Exception(Format("WinInet error (%d): %s", code, text)),
      FCode(code),
      FText(std::move(text)) {}

EPromptError::EPromptError(int32_t code)
    : Exception(Format("The credential prompt ended with code %d", code)), FCode(code) {}

}  // namespace kv::platform
