#pragma once
// A count that one thread raises and another waits to see change: the hand-over between two
// threads of this process, at the cost of the system's lightest wait. (On Windows the C++
// library's own waits go through kernel objects, which under Wine cost a quarter of a
// millisecond per hand-over; a slim lock with a condition variable needs none.)

#include <chrono>
#include <cstdint>
#include <memory>

namespace kv::platform {

class TThreadSignal {
 public:
  TThreadSignal();
  ~TThreadSignal();
  TThreadSignal(const TThreadSignal&) = delete;
  TThreadSignal& operator=(const TThreadSignal&) = delete;

  // Raises the count by one and wakes every waiter. What the raising thread wrote before is seen
  // by a waiter once its wait returns the new count.
  void Raise();
  // The count once it is no longer seen, or whatever it is when timeout has passed.
  uint64_t WaitPast(uint64_t seen, std::chrono::milliseconds timeout);
  // The count once it is no longer seen.
  uint64_t WaitPast(uint64_t seen);

 private:
  struct TState;
  std::unique_ptr<TState> FState;
};

}  // namespace kv::platform
