#include "options/Common.RTTIPropList.h"

#include "base/Exceptions.h"

namespace kv {

void GetEnumNames(const TTypeInfo& typeInfo, TStringList& strings) {
  const TTypeInfo* enumType = typeInfo.Kind == TTypeKind::Set ? typeInfo.ElementType : &typeInfo;
  Assert(enumType && enumType->Kind == TTypeKind::Enumeration, "lib\\Common\\Common.RTTIPropList",
         __LINE__);
  for (int32_t ordinal = enumType->MinValue; ordinal <= enumType->MaxValue; ++ordinal) {
    strings.Add(enumType->Names[static_cast<size_t>(ordinal - enumType->MinValue)], ordinal);
  }
}

}  // namespace kv
