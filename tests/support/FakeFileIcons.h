#pragma once
// A system small-icon list made up by a test: a fixed handle, a count of images, and the files
// whose icons were asked for.

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "base/Exceptions.h"
#include "platform/Shell.h"

namespace kv::test {

class FakeFileIcons final : public platform::IFileIcons {
 public:
  static constexpr platform::TImageListHandle ListHandle{0x1C0};
  // The system icon index SystemIconIndex answers.
  static constexpr int32_t SystemIndex = 3;

  platform::TImageListHandle SystemSmallImageList() override {
    ++ListRequests;
    return ListHandle;
  }
  int32_t ImageCount(platform::TImageListHandle) override { return Count; }
  int32_t SystemIconIndex(const std::string& path) override {
    SystemIconPaths.push_back(path);
    return SystemIndex;
  }
  // Appends an image: the answer is the list's former count. A file the shell has no icon for
  // gets -1; one it cannot reach raises.
  int32_t AddAssociatedIcon(platform::TImageListHandle, const std::string& path) override {
    AssociatedIconPaths.push_back(path);
    if (std::find(WithoutIcon.begin(), WithoutIcon.end(), path) != WithoutIcon.end()) {
      return -1;
    }
    if (std::find(Unreachable.begin(), Unreachable.end(), path) != Unreachable.end()) {
      throw EOSError("The shell cannot reach " + path, 0);
    }
    return Count++;
  }

  int32_t Count = 8;
  int ListRequests = 0;
  std::vector<std::string> SystemIconPaths;
  std::vector<std::string> AssociatedIconPaths;
  std::vector<std::string> WithoutIcon;
  std::vector<std::string> Unreachable;
};

}  // namespace kv::test
