// Stand-ins for the shell's file icons and its folder move: Linux has no shared icon list, and
// its rename moves one entry only.
#include "platform/Shell.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "base/Exceptions.h"
#include "platform/Files.h"
#include "platform/System.h"
#include "platform/posix/Posix.h"

namespace kv::platform {
namespace {

using posix::Native;

// One list standing in for the shared one: it only counts the icons added to it.
class PosixFileIcons final : public IFileIcons {
 public:
  TImageListHandle SystemSmallImageList() override { return TImageListHandle{1}; }
  int32_t ImageCount(TImageListHandle) override { return FCount; }
  int32_t SystemIconIndex(const std::string&) override { return 0; }
  int32_t AddAssociatedIcon(TImageListHandle, const std::string&) override { return FCount++; }

 private:
  std::atomic<int32_t> FCount = 0;
};

bool IsFolder(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Moves one entry: a file replaces what has its name, a folder merges into an existing folder
// and goes once empty; a file open in this process stays, as Windows leaves a file in use.
// Answers the first error met (errno), 0 when all moved.
int MoveEntry(const std::string& source, const std::string& target) {
  if (IsFolder(source) && IsFolder(target)) {
    int result = 0;
    for (const TFileEntry& entry : FindFiles(source, "*")) {
      const int moved = MoveEntry(source + '/' + entry.Name, target + '/' + entry.Name);
      result = result ? result : moved;
    }
    if (::rmdir(source.c_str()) != 0 && result == 0) {
      result = errno;
    }
    return result;
  }
  if (posix::IsOpenInProcess(source) || posix::IsOpenInProcess(target)) {
    return EBUSY;
  }
  return ::rename(source.c_str(), target.c_str()) == 0 ? 0 : errno;
}

// Moves as the shell's move does with no confirmation: every replace is answered yes.
class PosixShellFileOperations final : public IShellFileOperations {
 public:
  int32_t Move(TWindowHandle, const std::string& sourcePattern, const std::string& targetFolder,
               TMoveOptions) override {
    const std::string pattern = Native(sourcePattern);
    const size_t slash = pattern.find_last_of('/');
    const std::string folder = pattern.substr(0, slash + 1);
    if (!IsFolder(folder)) {
      return ENOENT;
    }
    std::string target = Native(targetFolder);
    if (!target.empty() && target.back() != '/') {
      target += '/';
    }
    // The shell makes a missing target folder.
    try {
      ForceDirectories(target);
    } catch (const EOSError& error) {
      return static_cast<int32_t>(error.ErrorCode());
    }
    int result = 0;
    for (const TFileEntry& entry : FindFiles(folder, pattern.substr(slash + 1))) {
      const int moved = MoveEntry(folder + entry.Name, target + entry.Name);
      result = result ? result : moved;
    }
    return result;
  }
};

// The desktop's opener, xdg-open, in place of the shell's association.
class PosixShellOpen final : public IShellOpen {
 public:
  void Open(const std::string& path) override {
    std::string file = Native(path);
    std::string program = "xdg-open";
    char* argv[] = {program.data(), file.data(), nullptr};
    pid_t pid = 0;
    if (const int error = ::posix_spawnp(&pid, argv[0], nullptr, nullptr, argv, environ)) {
      throw EOSError("xdg-open cannot be started: " + SystemErrorMessage(error), error);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      throw EOSError("xdg-open cannot open " + path, ENOEXEC);
    }
  }
};

}  // namespace

template <>
IFileIcons& TCurrent<IFileIcons>::Default() {
  static PosixFileIcons instance;
  return instance;
}

template <>
IShellFileOperations& TCurrent<IShellFileOperations>::Default() {
  static PosixShellFileOperations instance;
  return instance;
}

template <>
IShellOpen& TCurrent<IShellOpen>::Default() {
  static PosixShellOpen instance;
  return instance;
}

}  // namespace kv::platform
