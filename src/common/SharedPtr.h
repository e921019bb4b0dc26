#pragma once
// A value that holds an ordinary object through a shared guard, owning it or not.

#include <cstdint>
#include <string>
#include <type_traits>

#include "base/Exceptions.h"
#include "base/Format.h"
#include "base/ObjectDestroyer.h"
#include "common/Null.h"

namespace kv {

enum TSharedPtrOption : uint8_t { spoRefCount = 0, spoNotRefCount = 1 };

// Copies share one guard: with spoRefCount the last copy to go frees the object.
template <class T>
class TSharedPtr {
  static_assert(std::is_base_of_v<TObject, T>);

 public:
  TSharedPtr() = default;
  TSharedPtr(T* value) : TSharedPtr(Create(value)) {}
  TSharedPtr(TNull) {}

  static TSharedPtr Create(T* value) { return Create(value, spoRefCount); }
  static TSharedPtr Create(T* value, TSharedPtrOption options) {
    TSharedPtr result;
    if (value == nullptr) {
      return result;
    }
    switch (options) {
      case spoRefCount:
        result.FDestroyer = TObjectDestroyer::Owning(value);
        break;
      case spoNotRefCount:
        result.FDestroyer = TObjectDestroyer::NonOwning(value);
        break;
      default:
        throw Exception(Format("Unknown option (%d)", static_cast<int>(options)));
    }
    return result;
  }
  static TSharedPtr Null() { return {}; }

  // The object, or nothing.
  T* Get() const { return FDestroyer ? static_cast<T*>(FDestroyer->GetTarget()) : nullptr; }
  T* operator->() const { return Get(); }

  // Gives the object up: no copy frees it any more and every copy reads nothing.
  T* Unwrap() {
    T* value = Get();
    if (FDestroyer) {
      FDestroyer->TakeTarget();
      FDestroyer.Reset();
    }
    return value;
  }

  std::string ToString() const { return Get() ? Get()->ToString() : "null"; }

  friend bool operator==(const TSharedPtr& ptr, TNull) { return ptr.Get() == nullptr; }

 private:
  TIntfPtr<TObjectDestroyer> FDestroyer;
};

}  // namespace kv
