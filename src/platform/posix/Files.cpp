#include "platform/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <set>
#include <utility>
#include <vector>

#include "platform/FileCopy.h"
#include "platform/OSError.h"
#include "platform/posix/Posix.h"

namespace kv::platform {
namespace {

using posix::Native;

[[noreturn]] void RaiseErrno(const std::string& path) {
  throw OSError(static_cast<uint32_t>(errno), path);
}

class PosixMappedView final : public IMappedView {
 public:
  PosixMappedView(void* data, size_t length) : FData(data), FLength(length) {}
  ~PosixMappedView() override { ::munmap(FData, FLength); }
  const void* Data() const override { return FData; }

 private:
  void* FData;
  size_t FLength;
};

// Linux maps views straight from the file; the mapping keeps its own descriptor of it.
class PosixFileMapping final : public IFileMapping {
 public:
  explicit PosixFileMapping(int fd) : FFd(fd), FMark(fd) {}
  ~PosixFileMapping() override { ::close(FFd); }

  std::unique_ptr<IMappedView> MapView(int64_t offset, size_t length,
                                       uint32_t& errorCode) override {
    // A view is read through at once: mapping all its pages up front spares a fault for each.
    void* data = ::mmap(nullptr, length, PROT_READ, MAP_SHARED | MAP_POPULATE, FFd, offset);
    if (data == MAP_FAILED) {
      errorCode = static_cast<uint32_t>(errno);
      return nullptr;
    }
    return std::make_unique<PosixMappedView>(data, length);
  }

 private:
  int FFd;
  posix::TOpenFileMark FMark;
};

class PosixFile final : public IFileHandle {
 public:
  PosixFile(int fd, std::string path) : FFd(fd), FPath(std::move(path)), FMark(fd) {}
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
  void Flush() override {
    if (::fsync(FFd) != 0) {
      RaiseErrno(FPath);
    }
  }
  int Fd() const { return FFd; }
  // As on Windows, an empty file cannot be mapped.
  std::unique_ptr<IFileMapping> MapReadOnly(uint32_t& errorCode) override {
    struct stat st {};
    if (::fstat(FFd, &st) != 0) {
      errorCode = static_cast<uint32_t>(errno);
      return nullptr;
    }
    if (st.st_size == 0) {
      errorCode = EINVAL;
      return nullptr;
    }
    const int fd = ::fcntl(FFd, F_DUPFD_CLOEXEC, 0);
    if (fd < 0) {
      errorCode = static_cast<uint32_t>(errno);
      return nullptr;
    }
    return std::make_unique<PosixFileMapping>(fd);
  }

 private:
  int FFd;
  std::string FPath;
  posix::TOpenFileMark FMark;
};

// The files this process holds open, once per descriptor.
struct TOpenFiles {
  std::mutex Lock;
  std::multiset<std::pair<dev_t, ino_t>> Ids;
};

TOpenFiles& OpenFiles() {
  static TOpenFiles files;
  return files;
}

}  // namespace

posix::TOpenFileMark::TOpenFileMark(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) == 0) {
    FDevice = st.st_dev;
    FInode = st.st_ino;
    TOpenFiles& files = OpenFiles();
    const std::lock_guard lock(files.Lock);
    files.Ids.insert({FDevice, FInode});
  }
}

posix::TOpenFileMark::~TOpenFileMark() {
  TOpenFiles& files = OpenFiles();
  const std::lock_guard lock(files.Lock);
  if (const auto it = files.Ids.find({FDevice, FInode}); it != files.Ids.end()) {
    files.Ids.erase(it);
  }
}

std::string posix::Native(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

bool posix::IsOpenInProcess(const std::string& nativePath) {
  struct stat st {};
  if (::stat(nativePath.c_str(), &st) != 0) {
    return false;
  }
  TOpenFiles& files = OpenFiles();
  const std::lock_guard lock(files.Lock);
  return files.Ids.contains({st.st_dev, st.st_ino});
}

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

bool DeleteFileInSteps(const std::string& path, int64_t stepBytes,
                       const std::function<void()>& betweenSteps) {
  const std::string native = Native(path);
  // Without write access (or on a link, which is deleted itself) there is nothing to shrink.
  const int fd = ::open(native.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    return DeleteFile(path);
  }
  // Closed also when betweenSteps raises.
  const std::unique_ptr<const int, void (*)(const int*)> closer(&fd,
                                                                [](const int* f) { ::close(*f); });
  // The name goes first: the file's content is only given up once it is no one's.
  const bool deleted = ::unlink(native.c_str()) == 0;
  struct stat st {};
  if (deleted && ::fstat(fd, &st) == 0) {
    for (off_t end = st.st_size; end > 0;) {
      end = std::max<off_t>(0, end - stepBytes);
      if (::ftruncate(fd, end) != 0) {
        break;
      }
      if (end > 0) {
        betweenSteps();
      }
    }
  }
  return deleted;
}

bool CopyFileBytes(IFileHandle& source, IFileHandle& target, int64_t count, TCopyError& error) {
  auto* const from = dynamic_cast<PosixFile*>(&source);
  auto* const to = dynamic_cast<PosixFile*>(&target);
  // Inside the kernel the bytes never pass through this process, and a file system that can
  // share the source's blocks does. What it refuses or fails goes through the buffer, which
  // also tells whether reading or writing failed.
  while (from && to && count > 0) {
    const ssize_t copied =
        ::copy_file_range(from->Fd(), nullptr, to->Fd(), nullptr, static_cast<size_t>(count), 0);
    if (copied <= 0) {
      break;
    }
    count -= copied;
  }
  return CopyThroughBuffer(source, target, count, ENODATA, error);
}

bool RemoveDir(const std::string& path) {
  return ::rmdir(Native(path).c_str()) == 0;
}

bool TryRenameFile(const std::string& from, const std::string& to, uint32_t& errorCode) {
  const std::string source = Native(from);
  // Windows refuses to rename a file that is open without delete sharing, as every file of ours
  // is; the same for the files this process holds open.
  if (posix::IsOpenInProcess(source)) {
    errorCode = EBUSY;
    return false;
  }
  if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, Native(to).c_str(), RENAME_NOREPLACE) != 0) {
    errorCode = static_cast<uint32_t>(errno);
    return false;
  }
  return true;
}

void DropCachedContent(const std::string& path) {
  const int fd = ::open(Native(path).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    return;
  }
  struct stat st {};
  if (::fstat(fd, &st) == 0 && st.st_size >= kSmallestContentToDrop) {
    // Pages not yet written are left to the writeback, which this starts.
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
  }
  ::close(fd);
}

void MoveFileOver(const std::string& source, const std::string& target) {
  if (std::rename(Native(source).c_str(), Native(target).c_str()) != 0) {
    RaiseErrno(target);
  }
}

bool IsLinkOrJunction(const std::string& path) {
  struct stat st {};
  return ::lstat(Native(path).c_str(), &st) == 0 && S_ISLNK(st.st_mode);
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
    const std::string path = native + '/' + name;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
      entries.push_back({name, S_ISDIR(st.st_mode), S_ISDIR(st.st_mode) ? 0 : st.st_size,
                         IsLinkOrJunction(path)});
    } else if (IsLinkOrJunction(path)) {
      // A link that leads nowhere is still an entry of the folder.
      entries.push_back({name, false, 0, true});
    }
  }
  return entries;
}

void WriteFileAtomically(const std::string& path, std::string_view bytes) {
  const std::string target = Native(path);
  const size_t separator = target.rfind('/');
  const std::string folder = separator == std::string::npos ? "."
                             : separator == 0               ? "/"
                                                            : target.substr(0, separator);
  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;

  static std::atomic<unsigned> counter;
  std::string temp;
  int fd = -1;
  do {
    temp = target + ".~" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EEXIST);
  if (fd < 0) {
    RaiseErrno(path);
  }

  int error = 0;
  // The replacement keeps the permissions the old file had.
  if (exists && ::fchmod(fd, existing.st_mode & 07777) != 0) {
    error = errno;
  }
  for (size_t done = 0; error == 0 && done < bytes.size();) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n >= 0) {
      done += static_cast<size_t>(n);
    } else if (errno != EINTR) {
      error = errno;
    }
  }
  if (error == 0 && ::fsync(fd) != 0) {
    error = errno;
  }
  if (::close(fd) != 0 && error == 0) {
    error = errno;
  }
  if (error == 0 && ::rename(temp.c_str(), target.c_str()) != 0) {
    error = errno;
  }
  if (error != 0) {
    ::unlink(temp.c_str());
    throw OSError(static_cast<uint32_t>(error), path);
  }
  // The rename reaches the disk with the folder's entries.
  const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folderFd < 0) {
    RaiseErrno(path);
  }
  error = ::fsync(folderFd) != 0 ? errno : 0;
  ::close(folderFd);
  if (error != 0) {
    throw OSError(static_cast<uint32_t>(error), path);
  }
}

std::string TempFolder() {
  const char* dir = std::getenv("TMPDIR");
  std::string result = dir && *dir ? dir : "/tmp";
  if (result.back() != '/') {
    result += '/';
  }
  return result;
}

std::string CreateUniqueFolder(const std::string& parent, const std::string& prefix) {
  std::string base = parent;
  if (!base.empty() && base.back() != '/' && base.back() != '\\') {
    base += '/';
  }
  base += prefix;
  for (auto number = static_cast<unsigned>(std::time(nullptr));; ++number) {
    const std::string folder = base + std::to_string(number);
    if (::mkdir(Native(folder).c_str(), 0700) == 0) {
      return folder;
    }
    if (errno != EEXIST) {
      RaiseErrno(folder);
    }
  }
}

void SetFileReadOnly(const std::string& path, bool readOnly) {
  const std::string native = Native(path);
  struct stat st {};
  if (::stat(native.c_str(), &st) != 0) {
    RaiseErrno(path);
  }
  const mode_t writable = S_IWUSR | S_IWGRP | S_IWOTH;
  // Like the Windows attribute, clearing it makes the file writable by its owner only.
  const mode_t mode = readOnly ? st.st_mode & ~writable : st.st_mode | S_IWUSR;
  if (::chmod(native.c_str(), mode & 07777) != 0) {
    RaiseErrno(path);
  }
}

bool MarkAsDownloadedFromInternet(const std::string&) {
  return false;
}

// Views are mapped in units of 64 KiB, as on Windows: a multiple of every page size Linux uses,
// and few enough calls per file.
uint32_t AllocationGranularity() {
  return static_cast<uint32_t>(std::max<long>(::sysconf(_SC_PAGESIZE), 65536));
}

// Linux has no share modes: other programs may always open the file.
std::unique_ptr<IFileHandle> TryOpenFile(const std::string& path, TFileOpenMode mode, TFileShare,
                                         uint32_t& errorCode) {
  const int flags = mode == TFileOpenMode::OpenRead        ? O_RDONLY
                    : mode == TFileOpenMode::OpenReadWrite ? O_RDWR
                    : mode == TFileOpenMode::OpenOrCreate  ? O_WRONLY | O_CREAT
                    : mode == TFileOpenMode::CreateNew     ? O_WRONLY | O_CREAT | O_EXCL
                                                           : O_RDWR | O_CREAT | O_TRUNC;
  const int fd = ::open(Native(path).c_str(), flags | O_CLOEXEC, 0666);
  if (fd < 0) {
    errorCode = static_cast<uint32_t>(errno);
    return nullptr;
  }
  return std::make_unique<PosixFile>(fd, path);
}

std::unique_ptr<IFileHandle> OpenFile(const std::string& path, TFileOpenMode mode,
                                      TFileShare share) {
  uint32_t code = 0;
  auto file = TryOpenFile(path, mode, share, code);
  if (!file) {
    errno = static_cast<int>(code);
    RaiseErrno(path);
  }
  return file;
}

}  // namespace kv::platform
