#pragma once
// Named mutexes a test says are held, with the names asked for.

#include <set>
#include <string>
#include <vector>

#include "platform/Mutex.h"

namespace kv::test {

class FakeNamedMutexes final : public platform::INamedMutexes {
 public:
  std::set<std::string> Held;
  std::vector<std::string> Asked;

  bool Exists(const std::string& name) override {
    Asked.push_back(name);
    return Held.contains(name);
  }
};

}  // namespace kv::test
