#include "platform/ThreadSignal.h"

#include "platform/win32/Win32.h"

#include <algorithm>

namespace kv::platform {

struct TThreadSignal::TState {
  SRWLOCK Lock = SRWLOCK_INIT;
  CONDITION_VARIABLE Changed = CONDITION_VARIABLE_INIT;
  uint64_t Count = 0;
};

namespace {

// Waits until the count is no longer seen or the milliseconds have passed; answers the count.
uint64_t Wait(SRWLOCK& lock, CONDITION_VARIABLE& changed, const uint64_t& count, uint64_t seen,
              DWORD milliseconds) {
  AcquireSRWLockExclusive(&lock);
  const ULONGLONG deadline = GetTickCount64() + milliseconds;
  while (count == seen) {
    DWORD left = INFINITE;
    if (milliseconds != INFINITE) {
      const ULONGLONG now = GetTickCount64();
      if (now >= deadline) {
        break;
      }
      left = static_cast<DWORD>(deadline - now);
    }
    // A false answer is a timeout (or a spurious wake): the loop sorts it out.
    SleepConditionVariableSRW(&changed, &lock, left, 0);
  }
  const uint64_t now = count;
  ReleaseSRWLockExclusive(&lock);
  return now;
}

}  // namespace

TThreadSignal::TThreadSignal() : FState(std::make_unique<TState>()) {}

TThreadSignal::~TThreadSignal() = default;

void TThreadSignal::Raise() {
  AcquireSRWLockExclusive(&FState->Lock);
  ++FState->Count;
  ReleaseSRWLockExclusive(&FState->Lock);
  WakeAllConditionVariable(&FState->Changed);
}

uint64_t TThreadSignal::WaitPast(uint64_t seen, std::chrono::milliseconds timeout) {
  return Wait(FState->Lock, FState->Changed, FState->Count, seen,
              static_cast<DWORD>(std::clamp<int64_t>(timeout.count(), 0, INFINITE - 1)));
}

uint64_t TThreadSignal::WaitPast(uint64_t seen) {
  return Wait(FState->Lock, FState->Changed, FState->Count, seen, INFINITE);
}

}  // namespace kv::platform
