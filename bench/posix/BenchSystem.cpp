#include "BenchSystem.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <vector>

extern char** environ;

namespace kv::bench {
namespace {

std::string Native(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

}  // namespace

void InitializeAsTheWizard() {}

void CopyTree(const std::string& source, const std::string& target) {
  std::string from = Native(source);
  if (from.back() != '/') {
    from += '/';
  }
  from += '.';
  const std::string to = Native(target);
  std::vector<char*> args = {const_cast<char*>("cp"), const_cast<char*>("-r"), from.data(),
                             const_cast<char*>(to.c_str()), nullptr};
  pid_t child = 0;
  int status = 0;
  if (posix_spawnp(&child, "cp", nullptr, nullptr, args.data(), environ) != 0 ||
      waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    throw std::runtime_error("cp -r failed: " + from + " " + to);
  }
}

const char* CopyToolName() {
  return "cp -r";
}

void FlushFileSystem(const std::string&) {
  ::sync();
}

// Writing 5 to clear_refs resets the peak (VmHWM) to the current resident size.
void ResetPeakMemory() {
  std::ofstream("/proc/self/clear_refs") << "5";
}

namespace {

// A size in kB from the process's status, such as "VmHWM:".
uint64_t StatusBytes(const std::string& key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.starts_with(key)) {
      return std::stoull(line.substr(key.size())) * 1024;
    }
  }
  return 0;
}

}  // namespace

uint64_t ResidentMemoryBytes() {
  return StatusBytes("VmRSS:");
}

uint64_t PeakMemoryBytes() {
  return StatusBytes("VmHWM:");
}

std::string ResourceCounts() {
  const auto descriptors = std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                         std::filesystem::directory_iterator());
  return std::to_string(descriptors) + " open descriptors";
}

}  // namespace kv::bench
