#pragma once
// A code-signing trust service that trusts the files a test names.

#include <set>
#include <string>

#include "platform/Trust.h"

namespace kv::test {

class FakeCodeSigning final : public platform::ICodeSigning {
 public:
  std::set<std::string> Trusted;

  bool IsFileTrusted(const std::string& fileName) override { return Trusted.contains(fileName); }
};

}  // namespace kv::test
