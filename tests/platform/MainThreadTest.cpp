#include "platform/MainThread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace kv::platform {
namespace {

using namespace std::chrono_literals;

// Runs the main thread's queue until the condition holds (at most a few seconds).
template <class F>
bool PumpUntil(F done) {
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    ProcessMainThreadQueue(10ms);
  }
  return true;
}

TEST(MainThreadTest, ProceduresPostedFromWorkersRunOnTheMainThreadInTheirOrder) {
  constexpr int kThreads = 4;
  constexpr int kPosts = 200;
  std::vector<std::vector<int>> seen(kThreads);
  bool allOnMain = true;
  std::vector<std::thread> workers;
  for (int t = 0; t < kThreads; ++t) {
    workers.emplace_back([&, t] {
      EXPECT_FALSE(IsMainThread());
      for (int i = 0; i < kPosts; ++i) {
        EXPECT_TRUE(PostToMainThread([&, t, i] {
          allOnMain = allOnMain && IsMainThread();
          seen[t].push_back(i);
        }));
      }
    });
  }
  for (auto& worker : workers) {
    worker.join();
  }
  ASSERT_TRUE(PumpUntil([&] {
    size_t total = 0;
    for (const auto& s : seen) {
      total += s.size();
    }
    return total == kThreads * kPosts;
  }));
  EXPECT_TRUE(IsMainThread());
  EXPECT_TRUE(allOnMain);
  for (const auto& s : seen) {
    ASSERT_EQ(static_cast<size_t>(kPosts), s.size());
    for (int i = 0; i < kPosts; ++i) {
      ASSERT_EQ(i, s[i]);
    }
  }
}

TEST(MainThreadTest, ErrorsOfPostedProceduresAndTimersGoToTheHandler) {
  std::vector<std::string> errors;
  const TMainThreadErrorHandler old = SetMainThreadErrorHandler([&](std::exception_ptr error) {
    try {
      std::rethrow_exception(error);
    } catch (const std::exception& e) {
      errors.push_back(e.what());
    }
  });
  bool after = false;
  PostToMainThread([] { throw std::runtime_error("posted"); });
  PostToMainThread([&] { after = true; });
  TTimerId timer = 0;
  timer = StartMainThreadTimer(10ms, [&] {
    StopMainThreadTimer(timer);
    throw std::runtime_error("timer");
  });
  EXPECT_TRUE(PumpUntil([&] { return after && errors.size() == 2; }));
  SetMainThreadErrorHandler(old);
  EXPECT_EQ((std::vector<std::string>{"posted", "timer"}), errors);
}

TEST(MainThreadTest, ATimerStoppedInsideItsOwnEventFiresNoMore) {
  struct TOwned {
    int Ticks = 0;
  };
  int repeating = 0;
  const TTimerId other = StartMainThreadTimer(5ms, [&] { ++repeating; });
  auto owned = std::make_shared<TOwned>();
  std::weak_ptr<TOwned> watch = owned;
  TTimerId timer = 0;
  // The event holds the only reference to what it uses: stopping frees it after the event.
  timer = StartMainThreadTimer(5ms, [&timer, owned = std::move(owned)] {
    StopMainThreadTimer(timer);
    ++owned->Ticks;
    EXPECT_EQ(1, owned->Ticks);
  });
  EXPECT_TRUE(PumpUntil([&] { return watch.expired() && repeating >= 5; }));
  StopMainThreadTimer(other);
  const int stopped = repeating;
  ProcessMainThreadQueue(30ms);
  EXPECT_EQ(stopped, repeating);
}

}  // namespace
}  // namespace kv::platform
