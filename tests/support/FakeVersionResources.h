#pragma once
// Version resources made up by a test, keyed by file name.

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Shell.h"

namespace kv::test {

class FakeVersionResources final : public platform::IFileVersionResources {
 public:
  struct TResource {
    std::vector<uint8_t> Translation;
    std::optional<platform::IVersionResource::TFixed> Fixed;
    // Value paths such as "\StringFileInfo\041904E3\CompanyName" and their texts.
    std::map<std::string, std::string> Strings;
  };

  void Add(const std::string& fileName, TResource resource);
  std::unique_ptr<platform::IVersionResource> Load(const std::string& fileName) override;

 private:
  std::map<std::string, TResource> FResources;
};

}  // namespace kv::test
