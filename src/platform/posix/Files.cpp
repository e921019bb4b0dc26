#include "platform/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>

#include "common/Exceptions.h"
#include "platform/posix/Posix.h"

namespace kv::platform {
namespace {

// The system's paths use backslashes; here they are the Linux separator.
std::string Native(const std::string& path) {
  std::string result = path;
  std::replace(result.begin(), result.end(), '\\', '/');
  return result;
}

[[noreturn]] void RaiseErrno(const std::string& path) {
  const int code = errno;
  throw EOSError(SystemErrorMessage(static_cast<uint32_t>(code)) + ": " + path,
                 static_cast<uint32_t>(code));
}

class PosixFile final : public IFileHandle {
 public:
  PosixFile(int fd, std::string path) : FFd(fd), FPath(std::move(path)) {}
  ~PosixFile() override { ::close(FFd); }

  int64_t Read(void* buffer, int64_t count) override {
    int64_t done = 0;
    while (done < count) {
      const ssize_t n =
          ::read(FFd, static_cast<char*>(buffer) + done, static_cast<size_t>(count - done));
      if (n < 0) {
        RaiseErrno(FPath);
      }
      if (n == 0) {
        break;
      }
      done += n;
    }
    return done;
  }
  int64_t Write(const void* buffer, int64_t count) override {
    int64_t done = 0;
    while (done < count) {
      const ssize_t n =
          ::write(FFd, static_cast<const char*>(buffer) + done, static_cast<size_t>(count - done));
      if (n < 0) {
        RaiseErrno(FPath);
      }
      done += n;
    }
    return done;
  }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    const int whence = origin == TSeekOrigin::Beginning ? SEEK_SET
                       : origin == TSeekOrigin::Current ? SEEK_CUR
                                                        : SEEK_END;
    const off_t result = ::lseek(FFd, offset, whence);
    if (result < 0) {
      RaiseErrno(FPath);
    }
    return result;
  }
  int64_t Size() override {
    struct stat st {};
    if (::fstat(FFd, &st) != 0) {
      RaiseErrno(FPath);
    }
    return st.st_size;
  }
  void SetSize(int64_t size) override {
    if (::ftruncate(FFd, size) != 0) {
      RaiseErrno(FPath);
    }
  }

 private:
  int FFd;
  std::string FPath;
};

}  // namespace

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(Native(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat st {};
  return ::stat(Native(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void ForceDirectories(const std::string& path) {
  const std::string native = Native(path);
  for (size_t pos = 1; pos <= native.size(); ++pos) {
    if (pos == native.size() || native[pos] == '/') {
      const std::string part = native.substr(0, pos);
      if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) {
        RaiseErrno(path);
      }
    }
  }
  if (!DirectoryExists(path)) {
    errno = ENOTDIR;
    RaiseErrno(path);
  }
}

bool DeleteFile(const std::string& path) {
  return ::unlink(Native(path).c_str()) == 0;
}

std::optional<TFileSearchInfo> FindFile(const std::string& path) {
  struct stat st {};
  if (::stat(Native(path).c_str(), &st) != 0) {
    return std::nullopt;
  }
  return TFileSearchInfo{st.st_size, posix::ToLocalDateTime(st.st_mtime)};
}

std::vector<TFileEntry> FindFiles(const std::string& folder, const std::string& mask) {
  std::vector<TFileEntry> entries;
  const std::string native = Native(folder);
  const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(native.c_str()), &::closedir);
  if (!dir) {
    return entries;
  }
  // As on Windows, "*.*" also matches names without a dot.
  const std::string pattern = mask == "*.*" ? "*" : mask;
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string name = entry->d_name;
    if (name == "." || name == ".." ||
        ::fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD) != 0) {
      continue;
    }
    struct stat st {};
    if (::stat((native + '/' + name).c_str(), &st) == 0) {
      entries.push_back({name, S_ISDIR(st.st_mode), S_ISDIR(st.st_mode) ? 0 : st.st_size});
    }
  }
  return entries;
}

std::string TempFolder() {
  const char* dir = std::getenv("TMPDIR");
  std::string result = dir && *dir ? dir : "/tmp";
  if (result.back() != '/') {
    result += '/';
  }
  return result;
}

std::unique_ptr<IFileHandle> OpenFile(const std::string& path, TFileOpenMode mode, TFileShare) {
  const int flags = mode == TFileOpenMode::OpenRead        ? O_RDONLY
                    : mode == TFileOpenMode::OpenReadWrite ? O_RDWR
                                                           : O_RDWR | O_CREAT | O_TRUNC;
  const int fd = ::open(Native(path).c_str(), flags | O_CLOEXEC, 0666);
  if (fd < 0) {
    RaiseErrno(path);
  }
  return std::make_unique<PosixFile>(fd, path);
}

}  // namespace kv::platform
