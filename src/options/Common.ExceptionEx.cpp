#include "options/Common.ExceptionEx.h"

#include "base/Rtti.h"

namespace kv {

KV_DEFINE_CLASS(ExceptionEx, "ExceptionEx", Exception)

namespace {
// The exception object an exception pointer refers to (it is not copied on rethrow).
const std::exception* ObjectOf(const std::exception_ptr& ptr) {
  if (!ptr) {
    return nullptr;
  }
  try {
    std::rethrow_exception(ptr);
  } catch (const std::exception& e) {
    return &e;
  } catch (...) {
    return nullptr;
  }
}
}  // namespace

ExceptionEx::ExceptionEx(std::string message)
    : Exception(std::move(message)),
      FInnerException(std::current_exception()),
      FInner(ObjectOf(FInnerException)) {}

const std::exception& ExceptionEx::BaseException() const {
  const std::exception* current = this;
  while (const auto* ex = dynamic_cast<const ExceptionEx*>(current)) {
    if (!ex->FInner) {
      break;
    }
    current = ex->FInner;
  }
  return *current;
}

void ExceptionEx::GetExceptionsChain(TStringList& dest) const {
  const std::exception* current = this;
  while (current) {
    dest.Add(current->what(), current);
    const auto* ex = dynamic_cast<const ExceptionEx*>(current);
    current = ex ? ex->FInner : nullptr;
  }
}

std::string ExceptionEx::GetMessageList() const {
  TStringList chain;
  GetExceptionsChain(chain);
  std::string result;
  for (const auto& item : chain) {
    result += item.Text + "\r\n";
  }
  return result;
}

}  // namespace kv
