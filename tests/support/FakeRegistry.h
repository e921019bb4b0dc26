#pragma once
// A registry made up by a test: string values by view (or the current user's root), key and name,
// matched exactly.

#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <utility>

#include "platform/Registry.h"

namespace kv::test {

class FakeRegistry final : public platform::IRegistry {
 public:
  void Set(platform::TRegistryView view, const std::string& key, const std::string& name,
           const std::string& value) {
    FValues[{view, key, name}] = value;
  }
  void SetCurrentUser(const std::string& key, const std::string& name, const std::string& value) {
    FUserValues[{key, name}] = value;
  }
  std::optional<std::string> ReadLocalMachineString(platform::TRegistryView view,
                                                    const std::string& key,
                                                    const std::string& name) override {
    const auto it = FValues.find({view, key, name});
    return it == FValues.end() ? std::nullopt : std::optional(it->second);
  }
  std::optional<std::string> ReadCurrentUserString(const std::string& key,
                                                   const std::string& name) override {
    const auto it = FUserValues.find({key, name});
    return it == FUserValues.end() ? std::nullopt : std::optional(it->second);
  }

 private:
  std::map<std::tuple<platform::TRegistryView, std::string, std::string>, std::string> FValues;
  std::map<std::pair<std::string, std::string>, std::string> FUserValues;
};

}  // namespace kv::test
