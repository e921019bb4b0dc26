#pragma once
// Shell links that are only recorded: what the wizard asked the shell for, in order.

#include <ostream>
#include <string>
#include <vector>

#include "platform/Shell.h"

namespace kv::test {

class FakeShellLinks final : public platform::IShellLinks {
 public:
  struct TLink {
    std::string LinkFile;
    std::string Target;
    std::string WorkingFolder;
    bool operator==(const TLink&) const = default;
  };
  void Create(const std::string& linkFile, const std::string& target,
              const std::string& workingFolder) override {
    Links.push_back({linkFile, target, workingFolder});
  }
  std::vector<TLink> Links;
};

inline void PrintTo(const FakeShellLinks::TLink& link, std::ostream* out) {
  *out << link.LinkFile << " -> " << link.Target << " in " << link.WorkingFolder;
}

}  // namespace kv::test
