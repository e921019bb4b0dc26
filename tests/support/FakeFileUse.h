#pragma once
// What the system would say about volumes and open files, as a test sets it.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/FileUse.h"

namespace kv::test {

class FakeFileUse final : public platform::IFileUse {
 public:
  // What every volume has left; nothing: the system cannot say.
  std::optional<int64_t> Free;
  // Files held open so that they cannot be replaced, each with the programs that hold it.
  std::map<std::string, std::vector<std::string>> HeldBy;

  std::optional<int64_t> FreeBytes(const std::string&) override { return Free; }
  bool IsBlocked(const std::string& file) override { return HeldBy.contains(file); }
  std::vector<std::string> Holders(const std::string& file) override {
    const auto found = HeldBy.find(file);
    return found == HeldBy.end() ? std::vector<std::string>{} : found->second;
  }
};

}  // namespace kv::test
