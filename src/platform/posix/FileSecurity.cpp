#include "platform/FileSecurity.h"

#include <sys/stat.h>

#include <cerrno>

#include "platform/OSError.h"
#include "platform/System.h"
#include "platform/posix/Posix.h"

namespace kv::platform {
namespace {

// Linux has no access-control lists here: read and write for owner, group and others, the
// other mode bits kept.
class PosixFileSecurity final : public IFileSecurity {
 public:
  void GrantEveryoneAccess(const std::string& path) override {
    const std::string native = posix::Native(path);
    struct stat st {};
    if (::stat(native.c_str(), &st) != 0 ||
        ::chmod(native.c_str(), (st.st_mode & 07777) | 0666) != 0) {
      throw OSError(static_cast<uint32_t>(errno), path);
    }
  }
};

}  // namespace

template <>
IFileSecurity& TCurrent<IFileSecurity>::Default() {
  static PosixFileSecurity instance;
  return instance;
}

}  // namespace kv::platform
