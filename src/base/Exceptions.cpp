#include "base/Exceptions.h"

#include "base/Rtti.h"

namespace kv {

KV_DEFINE_CLASS(Exception, "Exception", TObject)
KV_DEFINE_CLASS(EConvertError, "EConvertError", Exception)
KV_DEFINE_CLASS(EAbort, "EAbort", Exception)
KV_DEFINE_CLASS(EAssertionFailed, "EAssertionFailed", Exception)
KV_DEFINE_CLASS(EListError, "EListError", Exception)
KV_DEFINE_CLASS(EInvalidOperation, "EInvalidOperation", Exception)
KV_DEFINE_CLASS(EStreamError, "EStreamError", Exception)
KV_DEFINE_CLASS(EReadError, "EReadError", EStreamError)
KV_DEFINE_CLASS(EWriteError, "EWriteError", EStreamError)
KV_DEFINE_CLASS(EOSError, "EOSError", Exception)

Exception::Exception(std::string message) : FMessage(std::move(message)) {}

std::string Exception::ClassNameAndMessage() const {
  return Format("[%s]%s", ClassName(), FMessage);
}

void Exception::IncludeOperationNameAsFirst(const std::string& operationName) {
  FMessage = Format("%s: %s", operationName, FMessage);
}

EOSError::EOSError(std::string message, uint32_t errorCode)
    : Exception(std::move(message)), FErrorCode(errorCode) {}

void Assert(bool condition, const char* module, int line, const std::string& message) {
  if (!condition) {
    throw EAssertionFailed(
        Format("%s (%s, line %d)", message.empty() ? "Assertion failure" : message, module, line));
  }
}

}  // namespace kv
