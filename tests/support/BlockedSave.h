#pragma once
// Makes saving over one file fail for a while, as a real machine makes it fail: on Windows another
// program holds the file open for reading and shares only reading (the old content still loads,
// the new one cannot take its place); on Linux the disk is full (the process may write no file
// larger than one byte).

#include <memory>
#include <string>

namespace kv::test {

class TBlockedSave {
 public:
  explicit TBlockedSave(const std::string& path);
  ~TBlockedSave();
  TBlockedSave(const TBlockedSave&) = delete;
  TBlockedSave& operator=(const TBlockedSave&) = delete;

 private:
  struct TState;
  std::unique_ptr<TState> FState;
};

}  // namespace kv::test
