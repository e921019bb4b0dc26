#pragma once
// The root of the library's classes and its interface model.
//
// TObject knows its metaclass (TClass, see Rtti.h): class name, parent, attached metadata and
// published properties. Interfaces are COM-like: every interface derives from IInterface and is
// held through TIntfPtr<I>, which counts references.

#include <compare>
#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>

#include "base/Guid.h"

namespace kv {

class TClass;
class IObjectDestroyer;
template <class I>
class TIntfPtr;

class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = default;
  TObject& operator=(const TObject&) = default;
  virtual ~TObject() = default;

  static const TClass& ClassInfo();
  virtual const TClass& ClassType() const { return ClassInfo(); }
  const std::string& ClassName() const;
  bool InheritsFrom(const TClass& ancestor) const;
  // The object's text form; the class name unless a class says otherwise.
  virtual std::string ToString() const;
  // A guard that frees this object when the last reference to the guard goes.
  TIntfPtr<IObjectDestroyer> AutoDestroy();
};

// Declares the metaclass accessors of a TObject descendant; define them with KV_DEFINE_CLASS
// (Rtti.h) or with TClassBuilder when the class describes properties or metadata.
#define KV_CLASS_INFO()                            \
 public:                                           \
  static const ::kv::TClass& ClassInfo();          \
  const ::kv::TClass& ClassType() const override { \
    return ClassInfo();                            \
  }

// Result codes of QueryInterface.
constexpr int32_t kResultOk = 0;
constexpr int32_t kResultNoInterface = static_cast<int32_t>(0x80004002u);

// The count behind interface references. It lives apart from the object's C++ lifetime where an
// object's memory may outlive its destructor (persistent objects), so that releasing a reference
// never calls into a destroyed object.
class IRefCount {
 public:
  virtual int32_t _AddRef() noexcept = 0;
  virtual int32_t _Release() = 0;

 protected:
  ~IRefCount() = default;
};

class IInterface {
 public:
  static constexpr TGUID IID{0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

  virtual int32_t QueryInterface(const TGUID& iid, void** obj) noexcept = 0;
  virtual IRefCount& RefCount() noexcept = 0;
  int32_t _AddRef() noexcept { return RefCount()._AddRef(); }
  int32_t _Release() { return RefCount()._Release(); }

 protected:
  ~IInterface() = default;
};

// An interface reference: adds a reference on taking a pointer, releases it when let go.
template <class I>
class TIntfPtr {
 public:
  TIntfPtr() = default;
  TIntfPtr(std::nullptr_t) {}
  TIntfPtr(I* intf) : FIntf(intf), FCount(intf ? &intf->RefCount() : nullptr) {
    if (FCount) {
      FCount->_AddRef();
    }
  }
  TIntfPtr(const TIntfPtr& other) : FIntf(other.FIntf), FCount(other.FCount) {
    if (FCount) {
      FCount->_AddRef();
    }
  }
  // Counts through `other`'s count: the object may be gone already (a persistent one).
  template <class J, class = std::enable_if_t<std::is_convertible_v<J*, I*>>>
  TIntfPtr(const TIntfPtr<J>& other) : FIntf(other.FIntf), FCount(other.FCount) {
    if (FCount) {
      FCount->_AddRef();
    }
  }
  TIntfPtr(TIntfPtr&& other) noexcept
      : FIntf(std::exchange(other.FIntf, nullptr)), FCount(std::exchange(other.FCount, nullptr)) {}
  ~TIntfPtr() { Reset(); }

  TIntfPtr& operator=(TIntfPtr other) noexcept {
    std::swap(FIntf, other.FIntf);
    std::swap(FCount, other.FCount);
    return *this;
  }

  void Reset() {
    FIntf = nullptr;
    if (IRefCount* count = std::exchange(FCount, nullptr)) {
      count->_Release();
    }
  }

  I* Get() const { return FIntf; }
  I* operator->() const { return FIntf; }
  I& operator*() const { return *FIntf; }
  explicit operator bool() const { return FIntf != nullptr; }
  friend bool operator==(const TIntfPtr& a, const TIntfPtr& b) { return a.FIntf == b.FIntf; }
  friend bool operator==(const TIntfPtr& a, std::nullptr_t) { return a.FIntf == nullptr; }

 private:
  template <class J>
  friend class TIntfPtr;

  I* FIntf = nullptr;
  IRefCount* FCount = nullptr;
};

// Frees (or, not owning, merely names) an ordinary object when the last reference goes.
class IObjectDestroyer : public IInterface {
 public:
  static constexpr TGUID IID{
      0x4DE81104, 0x08B2, 0x4821, {0x96, 0x0E, 0x89, 0x35, 0xAC, 0x9B, 0x8F, 0x5E}};
  virtual TObject* GetTarget() const noexcept = 0;

 protected:
  ~IObjectDestroyer() = default;
};

// Asks an interface for another one by its IID; an empty reference when it is not supported.
template <class J, class I>
TIntfPtr<J> Supports(const TIntfPtr<I>& intf) {
  void* obj = nullptr;
  if (!intf || intf->QueryInterface(J::IID, &obj) != kResultOk || obj == nullptr) {
    return {};
  }
  return TIntfPtr<J>(static_cast<J*>(obj));
}

}  // namespace kv
