#include "common/Common.Threading.Tasks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/MainThread.h"
#include "support/Thrown.h"

namespace kv {
namespace {

using namespace std::chrono_literals;

// The outcome of a task, waited for while the main thread's queue runs (continuations chained
// after ToMainThread need it). Takes the task's one continuation.
template <class T>
TTaskResult<T> Await(const TTask<T>& task) {
  struct TBox {
    std::mutex Lock;
    std::optional<TTaskResult<T>> Outcome;
  };
  auto box = std::make_shared<TBox>();
  task.ContinueWith([box](const TTaskResult<T>& outcome) {
    const std::lock_guard lock(box->Lock);
    box->Outcome = outcome;
    return TTask<>::Completed();
  });
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  for (;;) {
    {
      const std::lock_guard lock(box->Lock);
      if (box->Outcome) {
        return *box->Outcome;
      }
    }
    if (std::chrono::steady_clock::now() > deadline) {
      ADD_FAILURE() << "the task did not complete";
      return TTaskResult<T>::FromException(std::make_exception_ptr(Exception("timeout")));
    }
    platform::ProcessMainThreadQueue(10ms);
  }
}

template <class T>
std::string ErrorText(const TTaskResult<T>& outcome) {
  try {
    outcome.ReRaise();
  } catch (const Exception& e) {
    return e.ClassName() + ": " + e.Message();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "no error";
}

// Errors handed to the main thread while a test runs.
class TMainThreadErrors {
 public:
  TMainThreadErrors()
      : FOld(platform::SetMainThreadErrorHandler([this](std::exception_ptr error) {
          try {
            std::rethrow_exception(error);
          } catch (const Exception& e) {
            FMessages.push_back(e.Message());
          }
        })) {}
  ~TMainThreadErrors() { platform::SetMainThreadErrorHandler(FOld); }
  const std::vector<std::string>& Messages() const { return FMessages; }

 private:
  std::vector<std::string> FMessages;
  platform::TMainThreadErrorHandler FOld;
};

void Drain() {
  while (platform::ProcessMainThreadQueue(0ms)) {
  }
}

TEST(TTaskTest, StartNewRunsOnAWorkerAndToMainThreadBringsTheValueToTheMainThread) {
  std::atomic<bool> workerOnMain = true;
  std::atomic<bool> continuationOnMain = false;
  const TTask<int> task = TTask<>::StartNew([&] {
                            workerOnMain = TLambdaThread::IsMainThread();
                            return 42;
                          })
                              .ToMainThread()
                              .ContinueWith([&](const int& value) {
                                continuationOnMain = TLambdaThread::IsMainThread();
                                return value + 1;
                              });
  const TTaskResult<int> outcome = Await(task);
  ASSERT_TRUE(outcome.IsResult()) << ErrorText(outcome);
  EXPECT_EQ(43, outcome.Result());
  EXPECT_FALSE(workerOnMain);
  EXPECT_TRUE(continuationOnMain);
}

TEST(TTaskTest, StartNewKeepsWhatTheProcedureRaisesAndUsesTheGivenScheduler) {
  int scheduled = 0;
  const TTaskScheduler counting = [&](std::function<void()> proc) {
    ++scheduled;
    proc();
  };
  const TTaskResult<TUnit> failed =
      Await(TTask<>::StartNew([] { throw EConvertError("bad"); }, counting));
  EXPECT_EQ("EConvertError: bad", ErrorText(failed));
  EXPECT_TRUE(failed.IsException());
  EXPECT_EQ(1, scheduled);

  const TTaskResult<std::string> raisedAlien =
      Await(TTask<>::StartNew([]() -> std::string { throw std::runtime_error("alien"); }));
  EXPECT_EQ("alien", ErrorText(raisedAlien));
}

TEST(TTaskTest, AContinuationChainedAfterCompletionRunsAtOnceOnTheChainingThread) {
  const TTask<int> done = TTask<int>::FromResult(5);
  std::thread::id ranOn;
  int seen = 0;
  done.ContinueWith([&](const int& value) {
    ranOn = std::this_thread::get_id();
    seen = value;
  });
  EXPECT_EQ(5, seen);
  EXPECT_EQ(std::this_thread::get_id(), ranOn);
}

TEST(TTaskTest, ATaskIsContinuedOnlyOnce) {
  const TTask<int> task = TTask<int>::FromResult(1);
  task.ContinueWith([] {});
  EXPECT_EQ("TInternalTask.CallOnComplete should be called only once",
            test::MessageOf<Exception>([&] { task.ContinueWith([] {}); }));
}

TEST(TTaskTest, ReadingTheWrongSideOfAnOutcomeRaises) {
  const auto failed = TTaskResult<int>::FromException(std::make_exception_ptr(Exception("x")));
  const auto value = TTaskResult<int>::FromValue(1);
  EXPECT_EQ("Task должен нодится в состоянии IsResult",
            test::MessageOf<Exception>([&] { failed.Result(); }));
  EXPECT_EQ("Task должен нодится в состоянии IsException",
            test::MessageOf<Exception>([&] { value.Exception(); }));
  const auto cancelled = TTaskResult<int>::FromException(std::make_exception_ptr(EAbort("c")));
  EXPECT_TRUE(cancelled.IsCanceled());
  EXPECT_FALSE(cancelled.IsException());
  EXPECT_EQ("Task должен нодится в состоянии IsException",
            test::MessageOf<Exception>([&] { cancelled.Exception(); }));
}

TEST(TTaskSourceTest, TheFirstOutcomeStaysAndCancellationIsASilentAbort) {
  TTaskSource<int> source;
  EXPECT_TRUE(source.TrySetCancelled());
  EXPECT_FALSE(source.TrySetResult(3));
  EXPECT_FALSE(source.TrySetException(std::make_exception_ptr(Exception("late"))));
  const TTaskResult<int> outcome = Await(source.Task());
  EXPECT_TRUE(outcome.IsCanceled());
  EXPECT_EQ("EAbort: Operation cannceled", ErrorText(outcome));
}

enum class TOutcome { Value, Failure, Cancel };

TTask<int> TaskWith(TOutcome outcome) {
  switch (outcome) {
    case TOutcome::Value:
      return TTask<int>::FromResult(7);
    case TOutcome::Failure:
      return TTask<int>::FromException(std::make_exception_ptr(EConvertError("failed")));
    case TOutcome::Cancel:
      break;
  }
  return TTask<int>::FromException(std::make_exception_ptr(EAbort("cancelled")));
}

// What one operation does with each outcome of its antecedent.
struct TOperationCase {
  const char* Operation;
  TOutcome Antecedent;
  bool Called;           // the operation's function ran
  const char* Expected;  // the new task's value or error
};

class TTaskOperationTest : public testing::TestWithParam<TOperationCase> {};

TEST_P(TTaskOperationTest, PassesOnWhatItDoesNotHandle) {
  const TOperationCase& c = GetParam();
  bool called = false;
  const TTask<int> antecedent = TaskWith(c.Antecedent);
  const std::string operation = c.Operation;
  std::optional<TTask<int>> result;
  if (operation == "ContinueWith") {
    result = antecedent.ContinueWith([&](const int& v) {
      called = true;
      return v * 2;
    });
  } else if (operation == "ContinueWith task") {
    result = antecedent.ContinueWith([&](const int& v) {
      called = true;
      return TTask<int>::FromResult(v * 3);
    });
  } else if (operation == "DoExcept") {
    result = antecedent.DoExcept([&](std::exception_ptr) {
      called = true;
      return -1;
    });
  } else if (operation == "DoCancel") {
    result = antecedent.DoCancel([&] {
      called = true;
      return TTask<int>::FromResult(-2);
    });
  } else {
    result = antecedent.DoFinally([&] { called = true; });
  }
  const TTaskResult<int> outcome = Await(*result);
  EXPECT_EQ(c.Called, called);
  EXPECT_EQ(c.Expected, outcome.IsResult() ? std::to_string(outcome.Result()) : ErrorText(outcome));
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, TTaskOperationTest,
    testing::Values(
        TOperationCase{"ContinueWith", TOutcome::Value, true, "14"},
        TOperationCase{"ContinueWith", TOutcome::Failure, false, "EConvertError: failed"},
        TOperationCase{"ContinueWith", TOutcome::Cancel, false, "EAbort: cancelled"},
        TOperationCase{"ContinueWith task", TOutcome::Value, true, "21"},
        TOperationCase{"ContinueWith task", TOutcome::Cancel, false, "EAbort: cancelled"},
        TOperationCase{"DoExcept", TOutcome::Value, false, "7"},
        TOperationCase{"DoExcept", TOutcome::Failure, true, "-1"},
        TOperationCase{"DoExcept", TOutcome::Cancel, false, "EAbort: cancelled"},
        TOperationCase{"DoCancel", TOutcome::Value, false, "7"},
        TOperationCase{"DoCancel", TOutcome::Failure, false, "EConvertError: failed"},
        TOperationCase{"DoCancel", TOutcome::Cancel, true, "-2"},
        TOperationCase{"DoFinally", TOutcome::Value, true, "7"},
        TOperationCase{"DoFinally", TOutcome::Failure, true, "EConvertError: failed"},
        TOperationCase{"DoFinally", TOutcome::Cancel, true, "EAbort: cancelled"}));

TEST(TTaskTest, WhatAContinuationRaisesBecomesTheNewTasksError) {
  const TTaskResult<TUnit> outcome = Await(TTask<int>::FromResult(1).ContinueWith(
      [](const int&) { throw EInvalidOperation("broken"); }));
  EXPECT_EQ("EInvalidOperation: broken", ErrorText(outcome));
}

TEST(TTaskTest, AFailureNobodyContinuedIsRaisedOnTheMainThreadWhenTheTaskGoes) {
  const TMainThreadErrors errors;
  {
    TTaskSource<int> source;
    const TTask<TUnit> started = TTask<>::StartNew([] { throw Exception("nobody looked"); });
    std::thread([source]() mutable {
      source.TrySetException(std::make_exception_ptr(Exception("lost")));
    }).join();
    TTaskSource<int> continued;
    continued.TrySetException(std::make_exception_ptr(Exception("handled")));
    continued.Task().DoExcept([](std::exception_ptr) { return 0; });
    TTaskSource<int> cancelled;
    cancelled.TrySetCancelled();
  }
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  while (errors.Messages().size() < 2 && std::chrono::steady_clock::now() < deadline) {
    platform::ProcessMainThreadQueue(10ms);
  }
  Drain();
  std::vector<std::string> messages = errors.Messages();
  std::sort(messages.begin(), messages.end());
  EXPECT_EQ((std::vector<std::string>{"lost", "nobody looked"}), messages);
}

TEST(TTaskTest, LoopRunsUntilItsBodyYieldsFalseOrFails) {
  int rounds = 0;
  const TTaskResult<TUnit> done = Await(TTask<>::Loop([&] {
    ++rounds;
    return TTask<>::StartNew([n = rounds] { return n < 3; });
  }));
  EXPECT_TRUE(done.IsResult()) << ErrorText(done);
  EXPECT_EQ(3, rounds);

  rounds = 0;
  const TTaskResult<TUnit> failed = Await(TTask<>::Loop([&] {
    if (++rounds == 2) {
      return TTask<bool>::FromException(std::make_exception_ptr(EReadError("round 2")));
    }
    return TTask<bool>::FromResult(true);
  }));
  EXPECT_EQ("EReadError: round 2", ErrorText(failed));
  EXPECT_EQ(2, rounds);

  rounds = 0;
  const TTaskResult<TUnit> raised = Await(TTask<>::Loop([&]() -> TTask<bool> {
    ++rounds;
    throw EListError("no body");
  }));
  EXPECT_EQ("EListError: no body", ErrorText(raised));
  EXPECT_EQ(1, rounds);
}

TEST(TTaskTest, LoopOverRoundsThatCompleteAtOnceKeepsTheStackFlat) {
  // Each round nested in the one before would need far more stack than a thread has.
  constexpr int kRounds = 200'000;
  int rounds = 0;
  const TTaskResult<TUnit> done =
      Await(TTask<>::Loop([&] { return TTask<bool>::FromResult(++rounds < kRounds); }));
  EXPECT_TRUE(done.IsResult()) << ErrorText(done);
  EXPECT_EQ(kRounds, rounds);
}

// Runs two actions against each other for many rounds on two threads that live through all
// rounds, released together each round; check runs after both.
template <class TRound>
void Race(int rounds, const std::function<void(TRound&)>& first,
          const std::function<void(TRound&)>& second, const std::function<void(TRound&)>& check) {
  std::atomic<int> round = -1;
  std::atomic<int> finished = 0;
  std::unique_ptr<TRound> state;
  const auto racer = [&](const std::function<void(TRound&)>& action) {
    for (int r = 0; r < rounds; ++r) {
      while (round.load() < r) {
        std::this_thread::yield();
      }
      if (round.load() == rounds) {
        return;  // the rounds were given up
      }
      action(*state);
      ++finished;
    }
  };
  std::thread a(racer, std::cref(first));
  std::thread b(racer, std::cref(second));
  for (int r = 0; r < rounds && !testing::Test::HasFatalFailure(); ++r) {
    state = std::make_unique<TRound>();
    finished = 0;
    round = r;
    while (finished.load() != 2) {
      std::this_thread::yield();
    }
    check(*state);
  }
  round = rounds;
  a.join();
  b.join();
}

constexpr int kRaceRounds = 5000;

struct TCompletionRound {
  TTaskSource<int> Source;
  std::atomic<int> Runs = 0;
  std::atomic<int> Wins = 0;
};

TEST(TTaskStressTest, CompletionAndContinuationRacingStillRunTheContinuationOnce) {
  Race<TCompletionRound>(
      kRaceRounds, [](TCompletionRound& r) { r.Source.TrySetResult(7); },
      [](TCompletionRound& r) {
        r.Source.Task().ContinueWith([&r](const int& value) { r.Runs += value == 7; });
      },
      [](TCompletionRound& r) { ASSERT_EQ(1, r.Runs); });
}

TEST(TTaskStressTest, TwoCompletersKeepExactlyOneOutcome) {
  Race<TCompletionRound>(
      kRaceRounds, [](TCompletionRound& r) { r.Wins += r.Source.TrySetResult(1); },
      [](TCompletionRound& r) {
        r.Wins += r.Source.TrySetException(std::make_exception_ptr(Exception("loser")));
      },
      [](TCompletionRound& r) {
        ASSERT_EQ(1, r.Wins);
        const TTaskResult<int> outcome = Await(r.Source.Task());
        ASSERT_TRUE(outcome.IsResult() ? outcome.Result() == 1
                                       : ErrorText(outcome) == "Exception: loser");
      });
}

struct TCancelRound {
  TCancelationTokenSource Source;
  std::atomic<int> Runs = 0;
};

TEST(TCancelationTokenTest, ACallbackRegisteredWhileCancelRunsIsNeverLost) {
  Race<TCancelRound>(
      kRaceRounds, [](TCancelRound& r) { r.Source.Cancel(); },
      [](TCancelRound& r) { r.Source.Token().RegisterCancelCallback([&r] { ++r.Runs; }); },
      [](TCancelRound& r) { ASSERT_EQ(1, r.Runs); });
}

TEST(TCancelationTokenTest, CancelRunsTheCallbackOnceAndUnregisteringStopsIt) {
  EXPECT_FALSE(TCancelationToken::None().IsCanbeCanceled());
  EXPECT_NO_THROW(TCancelationToken::None().RaiseIfCanceled());

  TCancelationTokenSource source;
  int runs = 0;
  TCancelationTokenRegistration unregistered =
      source.Token().RegisterCancelCallback([&] { runs += 10; });
  unregistered.Unregister();
  source.Token().RegisterCancelCallback([&] { ++runs; });
  source.Cancel();
  source.Cancel();
  EXPECT_EQ(1, runs);
  EXPECT_EQ("Operation cannceled",
            test::MessageOf<EAbort>([&] { source.Token().RaiseIfCanceled(); }));
  source.Token().RegisterCancelCallback([&] { ++runs; });
  EXPECT_EQ(2, runs);
}

TEST(TTaskDelayTest, CompletesThroughTheMainThreadsLoopAfterTheTimeout) {
  const auto start = std::chrono::steady_clock::now();
  bool onMain = false;
  const TTaskResult<TUnit> outcome =
      Await(TTask<>::Delay(50ms).ContinueWith([&] { onMain = TLambdaThread::IsMainThread(); }));
  EXPECT_TRUE(outcome.IsResult()) << ErrorText(outcome);
  EXPECT_TRUE(onMain);
  // Timers may fire a tick early on a coarse clock.
  EXPECT_GE(std::chrono::steady_clock::now() - start, 30ms);
}

TEST(TTaskDelayTest, IsForTheMainThreadOnly) {
  std::string message;
  std::thread([&] { message = test::MessageOf<Exception>([] { TTask<>::Delay(1ms); }); }).join();
  EXPECT_EQ("TTask.Delay можно вызывать только из главного потока", message);
}

TEST(TTaskDelayTest, IsCancelledThroughItsToken) {
  TCancelationTokenSource before;
  before.Cancel();
  EXPECT_EQ("EAbort: Task canceled", ErrorText(Await(TTask<>::Delay(10ms, before.Token()))));

  TCancelationTokenSource during;
  const TTask<TUnit> delay = TTask<>::Delay(10s, during.Token());
  int finals = 0;
  const TTask<TUnit> watched = delay.DoFinally([&] { ++finals; });
  during.Cancel();
  EXPECT_EQ("EAbort: Operation cannceled", ErrorText(Await(watched)));
  EXPECT_EQ(1, finals);

  // Cancelling from a worker thread is refused there; the delay then runs out as usual.
  TCancelationTokenSource offThread;
  const TTask<TUnit> running = TTask<>::Delay(30ms, offThread.Token());
  std::string refused;
  std::thread([&] { refused = test::MessageOf<Exception>([&] { offThread.Cancel(); }); }).join();
  EXPECT_EQ("Отменять TTask.Delay можно только из главного потока", refused);
  EXPECT_TRUE(Await(running).IsResult());
}

TEST(TTaskDelayTest, ManyDelaysCompleteInTheOrderOfTheirTimeouts) {
  std::vector<int> order;
  std::vector<TTask<TUnit>> done;
  for (const int ms : {60, 20, 40}) {
    done.push_back(TTask<>::Delay(std::chrono::milliseconds(ms)).ContinueWith([&order, ms] {
      order.push_back(ms);
    }));
  }
  for (const auto& task : done) {
    Await(task);
  }
  EXPECT_EQ((std::vector<int>{20, 40, 60}), order);
}

}  // namespace
}  // namespace kv
