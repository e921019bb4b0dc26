#pragma once
// A value that may be absent, and the range check that turns an integer into an enumeration
// value or into nothing.

#include <cstdint>
#include <string>
#include <type_traits>

#include "base/Exceptions.h"
#include "base/Rtti.h"
#include "common/Null.h"

namespace kv {

template <class T>
struct TNullable {
  T FValue{};
  // "1" when a value is present, so that a cleared record reads as null.
  std::string FHasValue;

  TNullable() = default;
  TNullable(const T& AValue) : FValue(AValue), FHasValue("1") {}
  TNullable(TNull) {}

  static TNullable Init(const T& AValue) { return TNullable(AValue); }
  static TNullable Null() { return TNullable(); }

  bool IsNull() const { return FHasValue.empty(); }
  bool HasValue() const { return !IsNull(); }
  T ValueOrDefault() const { return ValueOrDefault(T{}); }
  T ValueOrDefault(const T& ADef) const { return HasValue() ? FValue : ADef; }

  friend bool operator==(const TNullable& A, const TNullable& B) {
    return A.IsNull() ? B.IsNull() : B.HasValue() && A.FValue == B.FValue;
  }
  friend bool operator==(const TNullable& A, const T& B) { return A.HasValue() && A.FValue == B; }
  friend bool operator==(const TNullable& A, TNull) { return A.IsNull(); }
};

struct TEnum {
  // The enumeration value with that ordinal; null when it lies outside the enumeration's range.
  template <class T>
  static TNullable<T> FromInteger(int32_t Value) {
    if constexpr (!HasTypeInfo<T>) {
      throw Exception("Тип переданный в TEnum.FromInteger не имеет RTTI");
    } else {
      const TTypeInfo& info = TypeInfoOf<T>();
      if constexpr (std::is_enum_v<T> || std::is_same_v<T, bool>) {
        if (info.Kind == TTypeKind::Enumeration) {
          if (Value < info.MinValue || Value > info.MaxValue) {
            return TNullable<T>::Null();
          }
          return static_cast<T>(Value);
        }
      }
      throw Exception("Тип " + info.Name + " не является перечислением (TEnum.FromInteger).");
    }
  }
};

}  // namespace kv
