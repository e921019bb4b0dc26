#pragma once
// Special folders made up by a test; one it did not name fails as the system's lookup does.

#include <map>
#include <string>

#include "base/Exceptions.h"
#include "platform/Shell.h"

namespace kv::test {

class FakeSpecialFolders final : public platform::ISpecialFolders {
 public:
  void Set(platform::TSpecialFolder folder, const std::string& path) { FPaths[folder] = path; }
  std::string GetPath(platform::TSpecialFolder folder) override {
    const auto it = FPaths.find(folder);
    if (it == FPaths.end()) {
      throw EOSError("The system cannot find the path specified.", 3);
    }
    return it->second;
  }

 private:
  std::map<platform::TSpecialFolder, std::string> FPaths;
};

}  // namespace kv::test
