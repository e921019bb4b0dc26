#include "support/BlockedSave.h"

#include "platform/Files.h"

namespace kv::test {

struct TBlockedSave::TState {
  std::unique_ptr<platform::IFileHandle> File;
};

TBlockedSave::TBlockedSave(const std::string& path)
    : FState(std::make_unique<TState>(TState{platform::OpenFile(
          path, platform::TFileOpenMode::OpenRead, platform::TFileShare::DenyWrite)})) {}

TBlockedSave::~TBlockedSave() = default;

}  // namespace kv::test
