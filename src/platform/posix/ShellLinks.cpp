#include "platform/Shell.h"

#include <iterator>

#include "platform/Files.h"

namespace kv::platform {
namespace {

// Linux has no shell links. The stand-in is a text file in the form of a desktop entry that
// records what a link holds: one "Key=value" line each for the target and the working folder.
class DesktopEntryLinks final : public IShellLinks {
 public:
  void Create(const std::string& linkFile, const std::string& target,
              const std::string& workingFolder) override {
    const std::string text =
        "[Desktop Entry]\nType=Link\nURL=" + target + "\nPath=" + workingFolder + "\n";
    OpenFile(linkFile, TFileOpenMode::Create)->Write(text.data(), std::ssize(text));
  }
};

}  // namespace

template <>
IShellLinks& TCurrent<IShellLinks>::Default() {
  static DesktopEntryLinks instance;
  return instance;
}

}  // namespace kv::platform
