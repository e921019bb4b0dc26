#include "platform/FileUse.h"

#include <sys/statvfs.h>

#include "platform/posix/Posix.h"

namespace kv::platform {
namespace {

using posix::Native;

// Linux lets a file be renamed and written whoever holds it; only this process's own open files
// refuse, as they would on Windows. Which program holds a file, Linux does not say here.
class PosixFileUse final : public IFileUse {
 public:
  std::optional<int64_t> FreeBytes(const std::string& path) override {
    std::string folder = Native(path);
    struct statvfs volume {};
    while (::statvfs(folder.c_str(), &volume) != 0) {
      if (folder.size() < 2) {
        return std::nullopt;
      }
      const size_t separator = folder.find_last_of('/', folder.size() - 2);
      if (separator == std::string::npos) {
        return std::nullopt;
      }
      folder.resize(separator + 1);
    }
    return static_cast<int64_t>(volume.f_bavail) * static_cast<int64_t>(volume.f_frsize);
  }

  bool IsBlocked(const std::string& file) override { return posix::IsOpenInProcess(Native(file)); }

  std::vector<std::string> Holders(const std::string&) override { return {}; }
};

}  // namespace

template <>
IFileUse& TCurrent<IFileUse>::Default() {
  static PosixFileUse instance;
  return instance;
}

}  // namespace kv::platform
