#pragma once
// Special folders made up by a test; one it did not name fails as the system's lookup does.

#include <map>
#include <string>

#include "base/Exceptions.h"
#include "platform/Shell.h"

namespace kv::test {

class FakeSpecialFolders final : public platform::ISpecialFolders {
 public:
  void Set(int csidl, const std::string& path) { FPaths[csidl] = path; }
  std::string GetPath(int csidl) override {
    const auto it = FPaths.find(csidl);
    if (it == FPaths.end()) {
      throw EOSError("The system cannot find the path specified.", 3);
    }
    return it->second;
  }

 private:
  std::map<int, std::string> FPaths;
};

}  // namespace kv::test
