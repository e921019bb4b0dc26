#pragma once
// Promise-style tasks: work started on a thread of its own (or any scheduler), its outcome (a
// value, an error or a cancellation) held by a task, and one continuation chained onto each
// task that runs when it completes, on the thread that completes it (or, when chained after
// completion, at once on the chaining thread). ToMainThread brings an outcome back to the main
// thread; an error that nobody continued is raised there when its task goes.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <type_traits>
#include <utility>

#include "base/Exceptions.h"
#include "common/Common.SysUtils.h"
#include "common/Common.Threading.h"

namespace kv {

// The cancellation of a task given up through a source or a token.
inline constexpr const char* kOperationCanceledText = "Operation cannceled";

namespace task_detail {
[[noreturn]] void RaiseNotResult();
[[noreturn]] void RaiseNotException();
[[noreturn]] void RaiseSecondContinuation();
bool IsAbort(const std::exception_ptr& error);
// Hands an error that no continuation took to the main thread, where it is raised.
void RaiseOnMainThread(std::exception_ptr error);
}  // namespace task_detail

template <class T = TUnit>
class TTask;

// The outcome of a completed task: a value, or an error; an EAbort error means cancelled.
template <class T>
class TTaskResult {
 public:
  static TTaskResult FromValue(T value) {
    TTaskResult result;
    result.FResult.emplace(std::move(value));
    return result;
  }
  static TTaskResult FromException(std::exception_ptr error) {
    TTaskResult result;
    result.FCanceled = task_detail::IsAbort(error);
    result.FException = std::move(error);
    return result;
  }

  bool IsResult() const { return !FException; }
  bool IsCanceled() const { return FCanceled; }
  bool IsException() const { return FException && !FCanceled; }

  // The value; raises unless IsResult.
  const T& Result() const {
    if (!IsResult()) {
      task_detail::RaiseNotResult();
    }
    return *FResult;
  }
  // The error; raises unless IsException.
  std::exception_ptr Exception() const {
    if (!IsException()) {
      task_detail::RaiseNotException();
    }
    return FException;
  }
  // The error or cancellation, to pass it on; null on success.
  std::exception_ptr AcquireExceptionObject() const { return FException; }
  void ReRaise() const {
    if (FException) {
      std::rethrow_exception(FException);
    }
  }

 private:
  std::optional<T> FResult;
  std::exception_ptr FException;
  bool FCanceled = false;
};

// The shared state of a task: its outcome, set once, and its one continuation.
template <class T>
class TInternalTask {
 public:
  using TCallback = std::function<void(const TTaskResult<T>&)>;

  TInternalTask() = default;
  TInternalTask(const TInternalTask&) = delete;
  TInternalTask& operator=(const TInternalTask&) = delete;
  ~TInternalTask() {
    // A cancellation is silent; a failure nobody continued must not vanish.
    if (!FObserved && FResult && FResult->IsException()) {
      task_detail::RaiseOnMainThread(FResult->AcquireExceptionObject());
    }
  }

  // Completes the task unless it is complete already (then the offered outcome is dropped);
  // runs the continuation when one is waiting.
  bool TrySetTaskResult(TTaskResult<T> result) {
    if (FClaimed.exchange(true)) {
      return false;
    }
    FResult.emplace(std::move(result));
    // Completion and registration each set their bit in one sequentially consistent step, so
    // whichever comes second sees the other's bit and runs the continuation: exactly once.
    if (FState.fetch_or(kCompleted) & kHasCallback) {
      Fire();
    }
    return true;
  }

  // Registers the one continuation; runs it at once when the task is complete.
  void CallOnComplete(TCallback proc) {
    if (FCallbackTaken.exchange(true)) {
      task_detail::RaiseSecondContinuation();
    }
    FCompleted = std::move(proc);
    if (FState.fetch_or(kHasCallback) & kCompleted) {
      Fire();
    }
  }

 private:
  static constexpr unsigned kCompleted = 1;
  static constexpr unsigned kHasCallback = 2;

  void Fire() {
    FObserved = true;
    const TCallback callback = std::exchange(FCompleted, nullptr);
    callback(*FResult);
  }

  std::atomic<bool> FClaimed = false;
  std::atomic<bool> FCallbackTaken = false;
  std::atomic<unsigned> FState = 0;
  std::optional<TTaskResult<T>> FResult;
  TCallback FCompleted;
  bool FObserved = false;
};

class TInternalCancelationToken;

// Undoes one registration of a cancel callback; an empty one does nothing.
class TCancelationTokenRegistration {
 public:
  TCancelationTokenRegistration() = default;
  TCancelationTokenRegistration(std::weak_ptr<TInternalCancelationToken> token, uint64_t id)
      : FToken(std::move(token)), FId(id) {}
  void Unregister();

 private:
  std::weak_ptr<TInternalCancelationToken> FToken;
  uint64_t FId = 0;
};

class TInternalCancelationToken : public std::enable_shared_from_this<TInternalCancelationToken> {
 public:
  // Sets the flag once and runs the registered callback, if any, once.
  void Cancel();
  bool IsCanceled() const;
  // Stores the callback, or runs it at once when the token is cancelled already (then the
  // registration is empty). One callback at a time.
  TCancelationTokenRegistration RegisterCancelCallback(std::function<void()> proc);
  void Unregister(uint64_t id);

 private:
  // Flag and callback change together, so that a callback registered while Cancel runs is
  // either taken by Cancel or sees the flag and runs at once: never lost.
  mutable std::mutex FLock;
  bool FIsCancel = false;
  std::function<void()> FOnCancel;
  uint64_t FRegistration = 0;
  uint64_t FLastRegistration = 0;
};

// The consumer's side of a cancellation; None can never be cancelled.
class TCancelationToken {
 public:
  static TCancelationToken None() { return TCancelationToken(); }
  explicit TCancelationToken(std::shared_ptr<TInternalCancelationToken> token = nullptr)
      : FToken(std::move(token)) {}

  bool IsCanbeCanceled() const { return FToken != nullptr; }
  bool IsCanceled() const { return FToken && FToken->IsCanceled(); }
  // Raises the silent EAbort when cancelled.
  void RaiseIfCanceled() const;
  TCancelationTokenRegistration RegisterCancelCallback(std::function<void()> proc) const;

 private:
  std::shared_ptr<TInternalCancelationToken> FToken;
};

// The producer's side of a cancellation.
class TCancelationTokenSource {
 public:
  TCancelationTokenSource() : FToken(std::make_shared<TInternalCancelationToken>()) {}
  TCancelationToken Token() const { return TCancelationToken(FToken); }
  void Cancel() { FToken->Cancel(); }

 private:
  std::shared_ptr<TInternalCancelationToken> FToken;
};

// The producer's side of a task.
template <class T>
class TTaskSource {
 public:
  TTaskSource() : FTask(std::make_shared<TInternalTask<T>>()) {}

  bool TrySetResult(T result) {
    return FTask->TrySetTaskResult(TTaskResult<T>::FromValue(std::move(result)));
  }
  bool TrySetException(std::exception_ptr error) {
    return FTask->TrySetTaskResult(TTaskResult<T>::FromException(std::move(error)));
  }
  // The error being handled.
  bool TrySetCurrentException() { return TrySetException(std::current_exception()); }
  bool TrySetCancelled() {
    return TrySetException(std::make_exception_ptr(EAbort(kOperationCanceledText)));
  }
  bool TrySetFromTaskResult(const TTaskResult<T>& result) {
    return FTask->TrySetTaskResult(result);
  }
  TTask<T> Task() const { return TTask<T>(FTask); }

 private:
  std::shared_ptr<TInternalTask<T>> FTask;
};

// Runs a procedure somewhere: on a new thread (the default), on the main thread, or in a test.
using TTaskScheduler = std::function<void(std::function<void()>)>;
TTaskScheduler NewThreadScheduler();
TTaskScheduler MainThreadScheduler();

namespace task_detail {
template <class X>
struct TIsTask : std::false_type {};
template <class R>
struct TIsTask<TTask<R>> : std::true_type {};
template <class X>
using TValueOf = std::conditional_t<std::is_void_v<X>, TUnit, X>;
}  // namespace task_detail

// A task: copies share one state. Each operation chains the task's one continuation and
// answers a new task; none blocks.
template <class T>
class TTask {
 public:
  using TValue = T;

  explicit TTask(std::shared_ptr<TInternalTask<T>> task) : FTask(std::move(task)) {}

  static TTask FromResult(T value) {
    TTaskSource<T> source;
    source.TrySetResult(std::move(value));
    return source.Task();
  }
  // With an EAbort, a cancelled task.
  static TTask FromException(std::exception_ptr error) {
    TTaskSource<T> source;
    source.TrySetException(std::move(error));
    return source.Task();
  }

  // Runs the procedure or function through the scheduler (a new thread by default); its value,
  // or what it raises, becomes the task's outcome.
  template <class F>
  static auto StartNew(F func, TTaskScheduler scheduler = nullptr) {
    using R = task_detail::TValueOf<std::invoke_result_t<F&>>;
    TTaskSource<R> source;
    auto work = [source, func = std::move(func)]() mutable {
      try {
        if constexpr (std::is_void_v<std::invoke_result_t<F&>>) {
          func();
          source.TrySetResult(TUnit{});
        } else {
          source.TrySetResult(func());
        }
      } catch (...) {
        source.TrySetCurrentException();
      }
    };
    try {
      (scheduler ? scheduler : NewThreadScheduler())(std::move(work));
    } catch (...) {
      source.TrySetCurrentException();
    }
    return source.Task();
  }
  static TTask<TUnit> Completed();
  // Runs the body again while its task yields true; a failed or cancelled round ends the loop
  // with that outcome. Rounds that complete at once do not deepen the stack.
  static TTask<TUnit> Loop(std::function<TTask<bool>()> body);
  // Completes after the timeout, or is cancelled through the token. Main thread only.
  static TTask<TUnit> Delay(std::chrono::milliseconds timeout,
                            const TCancelationToken& token = TCancelationToken::None());

  // The continuation, chosen by what the function takes:
  // - the outcome (const TTaskResult<T>&), answering a task: called in every case;
  // - the value (const T&) or nothing, answering nothing, a value or a task: called on success;
  //   a failure or cancellation passes on unchanged.
  // The new task completes as the function's task completes, or with the function's value, or
  // with what it raises.
  template <class F>
  auto ContinueWith(F func) const {
    if constexpr (std::is_invocable_v<F&, const TTaskResult<T>&>) {
      using R = typename std::invoke_result_t<F&, const TTaskResult<T>&>::TValue;
      return Chain<R>(std::move(func));
    } else if constexpr (std::is_invocable_v<F&, const T&>) {
      return OnSuccess([func = std::move(func)](const TTaskResult<T>& result) mutable {
        return func(result.Result());
      });
    } else {
      return OnSuccess([func = std::move(func)](const TTaskResult<T>&) mutable { return func(); });
    }
  }

  // Handles a failure with a function of the error answering a value (nothing for a task
  // without value) or a task; a value or a cancellation passes on.
  template <class F>
  TTask<T> DoExcept(F func) const {
    return Chain<T>([func = std::move(func)](const TTaskResult<T>& result) mutable {
      if (!result.IsException()) {
        return FromOutcome(result);
      }
      return AsTask(func, result.Exception());
    });
  }

  // Handles a cancellation with a function answering a task; a value or a failure passes on.
  template <class F>
  TTask<T> DoCancel(F func) const {
    return Chain<T>([func = std::move(func)](const TTaskResult<T>& result) mutable {
      return result.IsCanceled() ? TTask<T>(func()) : FromOutcome(result);
    });
  }

  // Calls the procedure in every case and keeps the outcome (unless the procedure raises).
  template <class F>
  TTask<T> DoFinally(F func) const {
    return Chain<T>([func = std::move(func)](const TTaskResult<T>& result) mutable {
      func();
      return FromOutcome(result);
    });
  }

  // The same outcome, delivered on the main thread; what is chained after it runs there.
  TTask<T> ToMainThread() const {
    TTaskSource<T> source;
    FTask->CallOnComplete([source](const TTaskResult<T>& result) mutable {
      if (TLambdaThread::IsMainThread()) {
        source.TrySetFromTaskResult(result);
      } else {
        TLambdaThread::PostToMainThread(
            [source, result]() mutable { source.TrySetFromTaskResult(result); });
      }
    });
    return source.Task();
  }

 private:
  template <class>
  friend class TTask;

  static TTask FromOutcome(const TTaskResult<T>& result) {
    return result.IsResult() ? FromResult(result.Result())
                             : FromException(result.AcquireExceptionObject());
  }

  // The function's answer as a task: a task as it is, a value completed, nothing as TUnit.
  template <class F, class... Args>
  static auto AsTask(F& func, Args&&... args) {
    using Answer = std::invoke_result_t<F&, Args...>;
    if constexpr (task_detail::TIsTask<Answer>::value) {
      return func(std::forward<Args>(args)...);
    } else if constexpr (std::is_void_v<Answer>) {
      func(std::forward<Args>(args)...);
      return TTask<TUnit>::FromResult(TUnit{});
    } else {
      return TTask<Answer>::FromResult(func(std::forward<Args>(args)...));
    }
  }

  // Calls the function on success only.
  template <class F>
  auto OnSuccess(F func) const {
    using Answer = decltype(AsTask(func, std::declval<const TTaskResult<T>&>()));
    using R = typename Answer::TValue;
    return Chain<R>([func = std::move(func)](const TTaskResult<T>& result) mutable {
      if (!result.IsResult()) {
        return TTask<R>::FromException(result.AcquireExceptionObject());
      }
      return AsTask(func, result);
    });
  }

  // The core continuation: the function gets the outcome and answers the task whose outcome
  // the new task takes over; what it raises becomes the new task's error.
  template <class R, class F>
  TTask<R> Chain(F func) const {
    TTaskSource<R> source;
    FTask->CallOnComplete([source, func = std::move(func)](const TTaskResult<T>& result) mutable {
      try {
        TTask<R> inner = func(result);
        inner.FTask->CallOnComplete([source](const TTaskResult<R>& outcome) mutable {
          source.TrySetFromTaskResult(outcome);
        });
      } catch (...) {
        source.TrySetCurrentException();
      }
    });
    return source.Task();
  }

  std::shared_ptr<TInternalTask<T>> FTask;
};

namespace task_detail {
TTask<TUnit> Completed();
TTask<TUnit> Loop(std::function<TTask<bool>()> body);
TTask<TUnit> Delay(std::chrono::milliseconds timeout, const TCancelationToken& token);
}  // namespace task_detail

template <class T>
TTask<TUnit> TTask<T>::Completed() {
  return task_detail::Completed();
}

template <class T>
TTask<TUnit> TTask<T>::Loop(std::function<TTask<bool>()> body) {
  return task_detail::Loop(std::move(body));
}

template <class T>
TTask<TUnit> TTask<T>::Delay(std::chrono::milliseconds timeout, const TCancelationToken& token) {
  return task_detail::Delay(timeout, token);
}

}  // namespace kv
