#include "platform/Trust.h"

namespace kv::platform {
namespace {

// Linux has no code-signing trust service for executables.
class NoCodeSigning final : public ICodeSigning {
 public:
  bool IsFileTrusted(const std::string&) override { return false; }
};

}  // namespace

template <>
ICodeSigning& TCurrent<ICodeSigning>::Default() {
  static NoCodeSigning instance;
  return instance;
}

}  // namespace kv::platform
