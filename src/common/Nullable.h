#pragma once
// A value that may be absent, and the range check that turns an integer into an enumeration
// value or into nothing.

#include <cstdint>
#include <optional>
#include <type_traits>

#include "base/Exceptions.h"
#include "base/Rtti.h"
#include "common/Null.h"

namespace kv {

template <class T>
class TNullable {
 public:
  TNullable() = default;
  TNullable(const T& value) : FValue(value) {}
  TNullable(TNull) {}

  static TNullable Init(const T& value) { return TNullable(value); }
  static TNullable Null() { return TNullable(); }

  bool IsNull() const { return !FValue.has_value(); }
  bool HasValue() const { return FValue.has_value(); }
  T ValueOrDefault() const { return FValue.value_or(T{}); }
  T ValueOrDefault(const T& defaultValue) const { return FValue.value_or(defaultValue); }

  // Two nulls are equal; a null equals no value, not even a default one.
  friend bool operator==(const TNullable&, const TNullable&) = default;
  friend bool operator==(const TNullable& a, const T& b) { return a.FValue == b; }
  friend bool operator==(const TNullable& a, TNull) { return a.IsNull(); }

 private:
  std::optional<T> FValue;
};

struct TEnum {
  // The enumeration value with that ordinal; null when it lies outside the enumeration's range.
  template <class T>
  static TNullable<T> FromInteger(int32_t value) {
    if constexpr (!HasTypeInfo<T>) {
      throw Exception("Тип переданный в TEnum.FromInteger не имеет RTTI");
    } else {
      const TTypeInfo& info = TypeInfoOf<T>();
      if constexpr (std::is_enum_v<T> || std::is_same_v<T, bool>) {
        if (info.Kind == TTypeKind::Enumeration) {
          if (value < info.MinValue || value > info.MaxValue) {
            return TNullable<T>::Null();
          }
          return static_cast<T>(value);
        }
      }
      throw Exception("Тип " + info.Name + " не является перечислением (TEnum.FromInteger).");
    }
  }
};

}  // namespace kv
