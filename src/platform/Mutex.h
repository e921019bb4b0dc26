#pragma once
// Named mutexes, through a process-wide current instance (Current.h): how a program tells that
// another one is running. Linux has none; its instance uses a lock file instead.

#include <string>

#include "platform/Current.h"

namespace kv::platform {

class INamedMutexes {
 public:
  virtual ~INamedMutexes() = default;
  // Whether some process holds a mutex of that name; asking leaves none behind.
  virtual bool Exists(const std::string& name) = 0;
};
using CurrentNamedMutexes = TCurrent<INamedMutexes>;

template <>
INamedMutexes& TCurrent<INamedMutexes>::Default();

}  // namespace kv::platform
