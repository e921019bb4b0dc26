#include "common/Common.SysUtils.CharBuffer.h"

#include <algorithm>
#include <cstring>

#include "base/Exceptions.h"

namespace kv {

namespace {
constexpr size_t kMinCapacity = 10;
}

void TCharBuffer::Grow(size_t wanted) {
  if (FText.size() >= wanted) {
    return;
  }
  FText.resize(std::max({wanted, FText.size() * 2, kMinCapacity}));
}

void TCharBuffer::Append(const void* data, size_t byteCount) {
  if (byteCount % sizeof(char16_t) != 0) {
    throw Exception::CreateFmt("Добавить можно только кратное %d число байт",
                               static_cast<int>(sizeof(char16_t)));
  }
  const size_t count = byteCount / sizeof(char16_t);
  Grow(FCount + count);
  if (count != 0) {
    std::memcpy(FText.data() + FCount, data, byteCount);
  }
  FCount += count;
}

}  // namespace kv
