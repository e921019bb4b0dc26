#pragma once
// A folder of a test's own inside the system's temporary folder, and the raw bytes of its files.

#include <string>

namespace kv::test {

// Created empty; removed with everything in it when the test is over.
class TTempFolder {
 public:
  TTempFolder();
  ~TTempFolder();
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;

  // The path of a name inside the folder, with the system's separators.
  std::string Path(const std::string& name) const { return FRoot + name; }

 private:
  std::string FRoot;
};

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

}  // namespace kv::test
