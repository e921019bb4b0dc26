#include "options/Common.ExceptionEx.h"

#include "base/Rtti.h"

namespace kv {

KV_DEFINE_CLASS(ExceptionEx, "ExceptionEx", Exception)

const std::exception* ExceptionEx::InnerException() const {
  const std::exception_ptr inner = nested_ptr();
  if (!inner) {
    return nullptr;
  }
  // Rethrowing hands out the kept object itself, not a copy.
  try {
    std::rethrow_exception(inner);
  } catch (const std::exception& e) {
    return &e;
  } catch (...) {
    return nullptr;
  }
}

const std::exception& ExceptionEx::BaseException() const {
  const std::exception* current = this;
  while (const auto* ex = dynamic_cast<const ExceptionEx*>(current)) {
    const std::exception* inner = ex->InnerException();
    if (!inner) {
      break;
    }
    current = inner;
  }
  return *current;
}

void ExceptionEx::GetExceptionsChain(TStringList& dest) const {
  const std::exception* current = this;
  while (current) {
    dest.Add(current->what(), current);
    const auto* ex = dynamic_cast<const ExceptionEx*>(current);
    current = ex ? ex->InnerException() : nullptr;
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
