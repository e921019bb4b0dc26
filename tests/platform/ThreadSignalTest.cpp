// The hand-over count between two threads: a wait ends when the count moves or its time is up,
// and no raise is ever missed.
#include "platform/ThreadSignal.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace kv::platform {
namespace {

using namespace std::chrono_literals;

TEST(ThreadSignalTest, AWaitEndsAtItsTimeWithTheCountUnchanged) {
  TThreadSignal signal;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(signal.WaitPast(0, 30ms), 0u);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 25ms);
  signal.Raise();
  // A count already past returns at once, with or without a time.
  EXPECT_EQ(signal.WaitPast(0, 10s), 1u);
  EXPECT_EQ(signal.WaitPast(0), 1u);
}

// Two threads take turns many thousand times, each handing the other a value: a lost wake-up
// would stall a turn for the whole generous timeout, and the test would see the count unmoved.
TEST(ThreadSignalTest, TurnsHandedBackAndForthAreNeverLost) {
  constexpr uint64_t kTurns = 20000;
  TThreadSignal handed;
  TThreadSignal done;
  uint64_t value = 0;
  std::thread other([&] {
    for (uint64_t seen = 0; seen < kTurns;) {
      seen = handed.WaitPast(seen);
      value *= 2;
      done.Raise();
    }
  });
  bool stalled = false;
  for (uint64_t turn = 0; turn < kTurns && !stalled; ++turn) {
    value = turn;
    handed.Raise();
    stalled = done.WaitPast(turn, 20s) != turn + 1;
    stalled = stalled || value != turn * 2;
  }
  if (stalled) {
    // Let the other thread finish so that it can be joined.
    for (uint64_t turn = handed.WaitPast(kTurns, 0ms); turn < kTurns; ++turn) {
      handed.Raise();
    }
  }
  other.join();
  EXPECT_FALSE(stalled);
}

}  // namespace
}  // namespace kv::platform
