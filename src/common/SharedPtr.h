#pragma once
// A value that holds an ordinary object through a shared holder, owning it or not.

#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>

#include "base/Exceptions.h"
#include "base/Format.h"
#include "base/Object.h"
#include "common/Null.h"

namespace kv {

enum TSharedPtrOption : uint8_t { spoRefCount = 0, spoNotRefCount = 1 };

// Copies share one holder: with spoRefCount the last copy to go frees the object.
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
      case spoNotRefCount:
        result.FHolder = std::make_shared<THolder>(value, TRelease{options == spoRefCount});
        break;
      default:
        throw Exception(Format("Unknown option (%d)", static_cast<int>(options)));
    }
    return result;
  }
  static TSharedPtr Null() { return {}; }

  // The object, or nothing.
  T* Get() const { return FHolder ? FHolder->get() : nullptr; }
  T* operator->() const { return Get(); }

  // Gives the object up: no copy frees it any more and every copy reads nothing.
  T* Unwrap() {
    T* value = FHolder ? FHolder->release() : nullptr;
    FHolder.reset();
    return value;
  }

  std::string ToString() const { return Get() ? Get()->ToString() : "null"; }

  friend bool operator==(const TSharedPtr& ptr, TNull) { return ptr.Get() == nullptr; }

 private:
  // Frees the object only when the pointer owns it.
  struct TRelease {
    bool Owning;
    void operator()(T* object) const {
      if (Owning) {
        delete object;
      }
    }
  };
  // One holder shared by all copies, so that Unwrap empties every one of them.
  using THolder = std::unique_ptr<T, TRelease>;

  std::shared_ptr<THolder> FHolder;
};

}  // namespace kv
