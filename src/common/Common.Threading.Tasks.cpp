#include "common/Common.Threading.Tasks.h"

#include "platform/MainThread.h"

namespace kv {
namespace {

constexpr const char* kModule = "lib\\Common\\Common.Threading.Tasks";

// Repeats the body; a round that completes at once asks for the next one instead of starting
// it, and the round already running picks it up, so the stack stays flat.
class TLoopContinueWith : public std::enable_shared_from_this<TLoopContinueWith> {
 public:
  explicit TLoopContinueWith(std::function<TTask<bool>()> body) : FBody(std::move(body)) {}

  TTask<TUnit> Start() {
    Next();
    return FSource.Task();
  }

 private:
  void Next() {
    if (FRequests.fetch_add(1) != 0) {
      return;
    }
    do {
      Invoke();
    } while (FRequests.fetch_sub(1) != 1);
  }

  void Invoke() {
    try {
      FBody().ContinueWith([self = shared_from_this()](const TTaskResult<bool>& result) {
        if (!result.IsResult()) {
          self->FSource.TrySetException(result.AcquireExceptionObject());
        } else if (result.Result()) {
          self->Next();
        } else {
          self->FSource.TrySetResult(TUnit{});
        }
        return TTask<>::Completed();
      });
    } catch (...) {
      FSource.TrySetCurrentException();
    }
  }

  std::function<TTask<bool>()> FBody;
  TTaskSource<TUnit> FSource;
  std::atomic<int> FRequests = 0;
};

// A Delay's timer, its task and its cancel callback; lives while the timer runs.
struct TDelayTimer {
  TTaskSource<TUnit> Source;
  platform::TTimerId Timer = 0;
  TCancelationTokenRegistration Registration;
};

}  // namespace

namespace task_detail {

void RaiseNotResult() {
  throw Exception("Task должен нодится в состоянии IsResult");
}

void RaiseNotException() {
  throw Exception("Task должен нодится в состоянии IsException");
}

void RaiseSecondContinuation() {
  throw Exception("TInternalTask.CallOnComplete should be called only once");
}

bool IsAbort(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const EAbort&) {
    return true;
  } catch (...) {
    return false;
  }
}

void RaiseOnMainThread(std::exception_ptr error) {
  TLambdaThread::PostToMainThread([error] { std::rethrow_exception(error); });
}

TTask<TUnit> Completed() {
  return TTask<TUnit>::FromResult(TUnit{});
}

TTask<TUnit> Loop(std::function<TTask<bool>()> body) {
  return std::make_shared<TLoopContinueWith>(std::move(body))->Start();
}

TTask<TUnit> Delay(std::chrono::milliseconds timeout, const TCancelationToken& token) {
  if (!TLambdaThread::IsMainThread()) {
    throw Exception("TTask.Delay можно вызывать только из главного потока");
  }
  if (token.IsCanceled()) {
    return TTask<TUnit>::FromException(std::make_exception_ptr(EAbort("Task canceled")));
  }
  auto delay = std::make_shared<TDelayTimer>();
  // The timer stops before the task completes, so that a continuation that lets messages run
  // sees no second tick; the timer's event outlives its own stop.
  delay->Timer = platform::StartMainThreadTimer(timeout, [delay] {
    delay->Registration.Unregister();
    platform::StopMainThreadTimer(delay->Timer);
    delay->Source.TrySetResult(TUnit{});
  });
  // Registered after the timer started: a token cancelled meanwhile stops it at once.
  if (token.IsCanbeCanceled()) {
    delay->Registration = token.RegisterCancelCallback([delay] {
      if (!TLambdaThread::IsMainThread()) {
        throw Exception("Отменять TTask.Delay можно только из главного потока");
      }
      delay->Registration.Unregister();
      platform::StopMainThreadTimer(delay->Timer);
      delay->Source.TrySetCancelled();
    });
  }
  return delay->Source.Task();
}

}  // namespace task_detail

TTaskScheduler NewThreadScheduler() {
  return [](std::function<void()> proc) { TLambdaThread::Start(std::move(proc)); };
}

TTaskScheduler MainThreadScheduler() {
  return [](std::function<void()> proc) { TLambdaThread::PostToMainThread(std::move(proc)); };
}

void TCancelationTokenRegistration::Unregister() {
  if (const auto token = FToken.lock()) {
    token->Unregister(FId);
  }
  FToken.reset();
}

void TInternalCancelationToken::Cancel() {
  std::function<void()> callback;
  {
    const std::lock_guard lock(FLock);
    if (FIsCancel) {
      return;
    }
    FIsCancel = true;
    callback = std::exchange(FOnCancel, nullptr);
  }
  if (callback) {
    callback();
  }
}

bool TInternalCancelationToken::IsCanceled() const {
  const std::lock_guard lock(FLock);
  return FIsCancel;
}

TCancelationTokenRegistration TInternalCancelationToken::RegisterCancelCallback(
    std::function<void()> proc) {
  {
    const std::lock_guard lock(FLock);
    if (!FIsCancel) {
      Assert(!FOnCancel, kModule, 985);
      FOnCancel = std::move(proc);
      FRegistration = ++FLastRegistration;
      return TCancelationTokenRegistration(weak_from_this(), FRegistration);
    }
  }
  proc();
  return {};
}

void TInternalCancelationToken::Unregister(uint64_t id) {
  std::function<void()> dropped;
  const std::lock_guard lock(FLock);
  if (FRegistration == id) {
    dropped = std::exchange(FOnCancel, nullptr);
    FRegistration = 0;
  }
}

void TCancelationToken::RaiseIfCanceled() const {
  if (IsCanceled()) {
    throw EAbort(kOperationCanceledText);
  }
}

TCancelationTokenRegistration TCancelationToken::RegisterCancelCallback(
    std::function<void()> proc) const {
  return FToken ? FToken->RegisterCancelCallback(std::move(proc)) : TCancelationTokenRegistration();
}

}  // namespace kv
