#include "common/CharBuffer.h"

#include <algorithm>

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
  Append(std::u16string_view(static_cast<const char16_t*>(data), byteCount / sizeof(char16_t)));
}

void TCharBuffer::Append(std::u16string_view text) {
  Grow(FCount + text.size());
  FCount += text.copy(FText.data() + FCount, text.size());
}

}  // namespace kv
