#pragma once
// The exception that keeps the exception being handled at its creation as its inner exception,
// so that an error raised while handling another never loses the original.

#include <exception>
#include <string>

#include "base/Exceptions.h"
#include "common/StringList.h"

namespace kv {

// The inner exception is kept as std::nested_exception keeps it, so std::rethrow_if_nested and
// handlers of std::nested_exception see the chain too.
class ExceptionEx : public Exception, public std::nested_exception {
  KV_CLASS_INFO()
 public:
  // Takes over the exception being handled, if any, as the inner exception.
  explicit ExceptionEx(std::string message) : Exception(std::move(message)) {}
  template <class... Args>
  static ExceptionEx CreateFmt(const char* format, const Args&... args) {
    return ExceptionEx(Format(format, args...));
  }

  // The inner exception, or null; it lives as long as this exception.
  const std::exception* InnerException() const;
  // The innermost exception of the chain: this one when there is no inner exception.
  const std::exception& BaseException() const;
  // Appends one entry per exception of the chain, this one first: its message, with the
  // exception attached (const std::exception*). The walk goes on while the exception is an
  // ExceptionEx.
  void GetExceptionsChain(TStringList& dest) const;
  // The messages of the chain, each followed by CR LF.
  std::string GetMessageList() const;
};

}  // namespace kv
