#include "common/Common.SysUtils.Encoding1251.h"

#include <atomic>
#include <memory>

#include "platform/Text.h"

namespace kv {

namespace {

std::atomic<TEncoding1251*> instance{nullptr};

// Frees the object when the program ends.
struct TFinalization {
  ~TFinalization() { delete instance.exchange(nullptr); }
} finalization;

}  // namespace

const TEncoding1251& TEncoding1251::Instance() {
  TEncoding1251* current = instance.load(std::memory_order_acquire);
  if (current) {
    return *current;
  }
  // Threads that race here each make one; the first to store it wins, the others free theirs.
  auto created = std::make_unique<TEncoding1251>();
  if (instance.compare_exchange_strong(current, created.get(), std::memory_order_acq_rel,
                                       std::memory_order_acquire)) {
    return *created.release();
  }
  return *current;
}

std::string TEncoding1251::Encode(std::string_view utf8) const {
  return platform::EncodeCodePage(platform::kCodePage1251, utf8);
}

std::string TEncoding1251::Decode(std::string_view bytes) const {
  return platform::DecodeCodePage(platform::kCodePage1251, bytes);
}

}  // namespace kv
