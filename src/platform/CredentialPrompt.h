#pragma once
// The interactive credential prompt for HTTP requests, through a process-wide current instance
// (Current.h): on Windows WinInet's own login and client-certificate dialogs; Linux has no
// such dialog, so its instance asks nothing and answers Done.

#include <cstdint>

#include "base/Exceptions.h"
#include "platform/Current.h"
#include "platform/HttpTransport.h"

namespace kv::platform {

// Retry: send the request again (the prompt has set what it asked for); Done: keep the answer
// as it is; Cancelled: the user gave up.
enum class TPromptAnswer : uint8_t { Retry, Done, Cancelled };

// The prompt ended with a result it does not explain; Code is the platform's number for it.
class EPromptError : public Exception {
  KV_CLASS_INFO()
 public:
  explicit EPromptError(int32_t code);
  int32_t Code() const { return FCode; }

 private:
  int32_t FCode;
};

class ICredentialPrompt {
 public:
  virtual ~ICredentialPrompt() = default;
  // The server refused the request with 401 or 407: asks for a login, which goes to the
  // connection (so that the next request carries it).
  virtual TPromptAnswer AskLogin(IHttpConnection& connection, IHttpRequest& request) = 0;
  // The server wants a client certificate; Done means one is chosen and the request may be
  // sent again.
  virtual TPromptAnswer AskClientCertificate(IHttpRequest& request) = 0;
};
using CurrentCredentialPrompt = TCurrent<ICredentialPrompt>;

template <>
ICredentialPrompt& TCurrent<ICredentialPrompt>::Default();

}  // namespace kv::platform
