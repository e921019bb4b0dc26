#pragma once
// A process-wide current instance of a platform interface: the backend installs the real one,
// tests put a fake in place for a scope.

namespace kv::platform {

template <class I>
class TCurrent {
 public:
  static I& Get() { return *(FOverride ? FOverride : &Default()); }
  static I* Set(I* instance) {
    I* old = FOverride;
    FOverride = instance;
    return old;
  }
  // The backend's own instance; each backend defines it for each interface.
  static I& Default();

 private:
  static inline I* FOverride = nullptr;
};

// Puts an instance in place for the lifetime of the guard.
template <class I>
class TScopedCurrent {
 public:
  explicit TScopedCurrent(I& instance) : FOld(TCurrent<I>::Set(&instance)) {}
  ~TScopedCurrent() { TCurrent<I>::Set(FOld); }
  TScopedCurrent(const TScopedCurrent&) = delete;
  TScopedCurrent& operator=(const TScopedCurrent&) = delete;

 private:
  I* FOld;
};

}  // namespace kv::platform
