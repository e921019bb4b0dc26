// Calls run on the worker thread while the calling thread keeps the window's messages running.
#include "app/WorkerCalls.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>

#include "base/Exceptions.h"
#include "support/Thrown.h"

namespace kv::app {
namespace {

using namespace std::chrono_literals;

// Waits until done holds, or a generous time has passed (the test then fails instead of hanging).
template <class Condition>
bool WaitUntil(Condition done) {
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

TEST(WorkerCallsTest, ACallRunsElsewhereWhileTheCallerPumps) {
  const std::thread::id caller = std::this_thread::get_id();
  std::atomic<int> pumps = 0;
  bool pumpedByTheCaller = true;
  TWorkerCalls calls(
      [&] {
        pumpedByTheCaller = pumpedByTheCaller && std::this_thread::get_id() == caller;
        ++pumps;
      },
      1ms);

  std::thread::id worker;
  // The call only ends once the caller has pumped three times while it ran.
  const bool pumpedMeanwhile = calls.Run([&] {
    worker = std::this_thread::get_id();
    return WaitUntil([&] { return pumps >= 3; });
  });
  EXPECT_TRUE(pumpedMeanwhile);
  EXPECT_TRUE(pumpedByTheCaller);
  EXPECT_NE(worker, caller);

  // One worker for every call, each call's result or error handed back.
  EXPECT_EQ(calls.Run([&] { return std::this_thread::get_id(); }), worker);
  EXPECT_EQ(calls.Run([] { return std::string("result"); }), "result");
  EXPECT_EQ(
      test::MessageOf<EOSError>([&] { calls.Run([]() -> int { throw EOSError("full", 112); }); }),
      "full");
  calls.Run([] {});
}

// An error of the pump leaves Run only once the call is done: the call's state lives in Run.
TEST(WorkerCallsTest, AnErrorOfThePumpWaitsForTheCall) {
  std::atomic<bool> pumped = false;
  TWorkerCalls calls(
      [&] {
        pumped = true;
        throw std::runtime_error("pump");
      },
      1ms);
  bool finished = false;
  EXPECT_THROW(calls.Run([&] {
    WaitUntil([&] { return pumped.load(); });
    std::this_thread::sleep_for(20ms);
    finished = true;
  }),
               std::runtime_error);
  EXPECT_TRUE(finished);
}

// A call made from the pump (the window's messages can start work of their own) runs at once on
// the calling thread instead of waiting for the worker, which is busy with the first call.
TEST(WorkerCallsTest, ACallFromThePumpRunsOnTheCallingThread) {
  const std::thread::id caller = std::this_thread::get_id();
  TWorkerCalls* self = nullptr;
  std::atomic<int> nested = 0;
  std::thread::id nestedOn;
  TWorkerCalls calls(
      [&] {
        if (nested == 0) {
          nestedOn = self->Run([] { return std::this_thread::get_id(); });
          ++nested;
        }
      },
      1ms);
  self = &calls;
  calls.Run([&] { WaitUntil([&] { return nested > 0; }); });
  EXPECT_EQ(nestedOn, caller);
}

}  // namespace
}  // namespace kv::app
