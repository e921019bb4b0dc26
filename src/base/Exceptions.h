#pragma once
// The exception root and the run-time errors the library relies on.

#include <cstdint>
#include <exception>
#include <string>

#include "base/Format.h"
#include "base/Object.h"

namespace kv {

// The general exception class: a UTF-8 message and the class name of its metaclass.
class Exception : public TObject, public std::exception {
  KV_CLASS_INFO()
 public:
  explicit Exception(std::string message);
  template <class... Args>
  static Exception CreateFmt(const char* format, const Args&... args) {
    return Exception(Format(format, args...));
  }

  const std::string& Message() const { return FMessage; }
  void SetMessage(std::string message) { FMessage = std::move(message); }
  const char* what() const noexcept override { return FMessage.c_str(); }

  // "[class name]message".
  std::string ClassNameAndMessage() const;
  // Puts the operation's name in front: "operation: message".
  void IncludeOperationNameAsFirst(const std::string& operationName);

 private:
  std::string FMessage;
};

// Declares an exception class that only adds its own name to its parent.
#define KV_DECLARE_EXCEPTION(Class, Parent) \
  class Class : public Parent {             \
    KV_CLASS_INFO()                         \
   public:                                  \
    using Parent::Parent;                   \
  };

KV_DECLARE_EXCEPTION(EConvertError, Exception)
KV_DECLARE_EXCEPTION(EAbort, Exception)
KV_DECLARE_EXCEPTION(EAssertionFailed, Exception)
KV_DECLARE_EXCEPTION(EListError, Exception)
KV_DECLARE_EXCEPTION(EInvalidOperation, Exception)
KV_DECLARE_EXCEPTION(EStreamError, Exception)
KV_DECLARE_EXCEPTION(EReadError, EStreamError)
KV_DECLARE_EXCEPTION(EWriteError, EStreamError)

// A failed operating-system call: the operating system's message text and its error code.
class EOSError : public Exception {
  KV_CLASS_INFO()
 public:
  EOSError(std::string message, uint32_t errorCode);
  uint32_t ErrorCode() const { return FErrorCode; }

 private:
  uint32_t FErrorCode;
};

// A programming error: raises EAssertionFailed naming the source module by its library path
// ("lib\Common\Common.Classes") and the line, unless the condition holds.
void Assert(bool condition, const char* module, int line, const std::string& message = {});

}  // namespace kv
