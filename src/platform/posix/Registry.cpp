#include "platform/Registry.h"

namespace kv::platform {
namespace {

// Linux keeps no registry, so no product has an entry in it and no user a shell folder.
class NoRegistry final : public IRegistry {
 public:
  std::optional<std::string> ReadLocalMachineString(TRegistryView, const std::string&,
                                                    const std::string&) override {
    return std::nullopt;
  }
  std::optional<std::string> ReadCurrentUserString(const std::string&,
                                                   const std::string&) override {
    return std::nullopt;
  }
};

}  // namespace

template <>
IRegistry& TCurrent<IRegistry>::Default() {
  static NoRegistry instance;
  return instance;
}

}  // namespace kv::platform
