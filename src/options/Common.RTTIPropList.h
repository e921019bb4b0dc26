#pragma once
// Listing the value names of enumeration types.

#include "base/Rtti.h"
#include "common/StringList.h"

namespace kv {

// Appends every value name of an enumeration, or of a set's element enumeration, from the
// lowest ordinal to the highest, each with its ordinal (int) attached. Any other type is a
// programming error.
void GetEnumNames(const TTypeInfo& typeInfo, TStringList& strings);

}  // namespace kv
