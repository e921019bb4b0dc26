#include "support/FakeVersionResources.h"

namespace kv::test {

namespace {

class FakeVersionResource final : public platform::IVersionResource {
 public:
  explicit FakeVersionResource(FakeVersionResources::TResource resource)
      : FResource(std::move(resource)) {}

  std::vector<uint8_t> Translation() const override { return FResource.Translation; }
  std::optional<TFixed> Fixed() const override { return FResource.Fixed; }
  std::optional<std::string> String(const std::string& path) const override {
    const auto it = FResource.Strings.find(path);
    return it == FResource.Strings.end() ? std::nullopt : std::optional(it->second);
  }

 private:
  FakeVersionResources::TResource FResource;
};

}  // namespace

void FakeVersionResources::Add(const std::string& fileName, TResource resource) {
  FResources[fileName] = std::move(resource);
}

std::unique_ptr<platform::IVersionResource> FakeVersionResources::Load(
    const std::string& fileName) {
  const auto it = FResources.find(fileName);
  if (it == FResources.end()) {
    return nullptr;
  }
  return std::make_unique<FakeVersionResource>(it->second);
}

}  // namespace kv::test
