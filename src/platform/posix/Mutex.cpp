#include "platform/Mutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace kv::platform {
namespace {

// A named mutex is a lock file: "/tmp/<name>.lock", held by whoever keeps an exclusive flock on
// it.
std::string LockFileName(const std::string& name) {
  std::string file = name;
  std::replace_if(
      file.begin(), file.end(), [](char c) { return c == '/' || c == '\\'; }, '_');
  return "/tmp/" + file + ".lock";
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : FFd(fd) {}
  ~FileDescriptor() {
    if (FFd >= 0) {
      ::close(FFd);
    }
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return FFd; }

 private:
  int FFd;
};

class LockFileMutexes final : public INamedMutexes {
 public:
  bool Exists(const std::string& name) override {
    const FileDescriptor file(::open(LockFileName(name).c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) {
      return false;
    }
    // Our own lock, if we get it, goes with the descriptor.
    return ::flock(file.get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  }
};

}  // namespace

template <>
INamedMutexes& TCurrent<INamedMutexes>::Default() {
  static LockFileMutexes instance;
  return instance;
}

}  // namespace kv::platform
