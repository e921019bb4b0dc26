#include "base/Object.h"

#include "base/Rtti.h"

namespace kv {

const TClass& TObject::ClassInfo() {
  static const TClass info("TObject", nullptr);
  return info;
}

const std::string& TObject::ClassName() const {
  return ClassType().ClassName();
}

bool TObject::InheritsFrom(const TClass& ancestor) const {
  return ClassType().InheritsFrom(ancestor);
}

std::string TObject::ToString() const {
  return ClassName();
}

}  // namespace kv
