#pragma once
// A process-wide current instance of a platform interface: the backend installs the real one,
// tests put a fake in place for a scope.

#include <atomic>

namespace kv::platform {

// Worker threads may ask for the current instance while a test puts another in place.
template <class I>
class TCurrent {
 public:
  static I& Get() {
    I* instance = FOverride.load();
    return instance ? *instance : Default();
  }
  static I* Set(I* instance) { return FOverride.exchange(instance); }
  // The backend's own instance; each backend defines it for each interface.
  static I& Default();

 private:
  static inline std::atomic<I*> FOverride = nullptr;
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
