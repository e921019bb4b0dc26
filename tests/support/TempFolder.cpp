#include "support/TempFolder.h"

#include <algorithm>
#include <filesystem>
#include <random>

#include "platform/Files.h"

namespace kv::test {
namespace {

std::filesystem::path StdPath(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return std::u8string(path.begin(), path.end());
}

}  // namespace

TTempFolder::TTempFolder()
    : FRoot(platform::TempFolder() + "kv_test_" + std::to_string(std::random_device()()) + "\\") {
  platform::ForceDirectories(FRoot);
}

TTempFolder::~TTempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(StdPath(FRoot), ignored);
}

std::string ReadFileBytes(const std::string& path) {
  const auto file = platform::OpenFile(path, platform::TFileOpenMode::OpenRead);
  std::string bytes(static_cast<size_t>(file->Size()), '\0');
  bytes.resize(static_cast<size_t>(file->Read(bytes.data(), std::ssize(bytes))));
  return bytes;
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  platform::OpenFile(path, platform::TFileOpenMode::Create)->Write(bytes.data(), std::ssize(bytes));
}

}  // namespace kv::test
