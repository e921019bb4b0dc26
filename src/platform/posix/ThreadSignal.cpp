#include "platform/ThreadSignal.h"

#include <condition_variable>
#include <mutex>

namespace kv::platform {

struct TThreadSignal::TState {
  std::mutex Lock;
  std::condition_variable Changed;
  uint64_t Count = 0;
};

TThreadSignal::TThreadSignal() : FState(std::make_unique<TState>()) {}

TThreadSignal::~TThreadSignal() = default;

void TThreadSignal::Raise() {
  {
    const std::lock_guard lock(FState->Lock);
    ++FState->Count;
  }
  FState->Changed.notify_all();
}

uint64_t TThreadSignal::WaitPast(uint64_t seen, std::chrono::milliseconds timeout) {
  std::unique_lock lock(FState->Lock);
  FState->Changed.wait_for(lock, timeout, [&] { return FState->Count != seen; });
  return FState->Count;
}

uint64_t TThreadSignal::WaitPast(uint64_t seen) {
  std::unique_lock lock(FState->Lock);
  FState->Changed.wait(lock, [&] { return FState->Count != seen; });
  return FState->Count;
}

}  // namespace kv::platform
