#pragma once
// A stream of any size that keeps only the bytes written to it; the rest reads as zeros. It
// stands in for files past 2 GiB without putting one on disk.

#include <algorithm>
#include <cstdint>
#include <map>

#include "common/Common.Classes.h"

namespace kv::test {

class TSparseStream : public TStream {
 public:
  explicit TSparseStream(int64_t size = 0) : FSize(size) {}

  int64_t Read(void* buffer, int64_t count) override {
    const int64_t read = std::clamp<int64_t>(FSize - FPosition, 0, count);
    auto* bytes = static_cast<uint8_t*>(buffer);
    for (int64_t i = 0; i < read; ++i) {
      const auto it = FBytes.find(FPosition + i);
      bytes[i] = it == FBytes.end() ? 0 : it->second;
    }
    FPosition += read;
    return read;
  }
  int64_t Write(const void* buffer, int64_t count) override {
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    for (int64_t i = 0; i < count; ++i) {
      FBytes[FPosition + i] = bytes[i];
    }
    FPosition += std::max<int64_t>(count, 0);
    FSize = std::max(FSize, FPosition);
    return count;
  }
  int64_t Seek(int64_t offset, platform::TSeekOrigin origin) override {
    FPosition = SeekTarget(offset, origin, FPosition).value_or(FPosition);
    return FPosition;
  }
  int64_t Size() override { return FSize; }
  void SetSize(int64_t newSize) override { FSize = newSize; }

 private:
  std::map<int64_t, uint8_t> FBytes;
  int64_t FSize;
  int64_t FPosition = 0;
};

}  // namespace kv::test
