#pragma once
// Calls into the system that can block for longer than a window may go without its messages (a
// large write, a flush, a rename, a delete), run on a worker thread while the calling thread keeps
// letting the messages through. The caller's logic stays on its own thread: one call at a time,
// and each returns only when it is done.

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <thread>
#include <type_traits>
#include <utility>

#include "platform/ThreadSignal.h"

namespace kv::app {

class TWorkerCalls {
 public:
  // pump lets the window's messages run; it is called every interval while a call is under way.
  TWorkerCalls(std::function<void()> pump, std::chrono::milliseconds interval);
  ~TWorkerCalls();
  TWorkerCalls(const TWorkerCalls&) = delete;
  TWorkerCalls& operator=(const TWorkerCalls&) = delete;

  // Runs call on the worker thread and returns its result, or raises what it raised. A call made
  // from the pump while another is under way runs on the calling thread.
  template <class Call>
  std::invoke_result_t<Call&> Run(Call&& call) {
    using TResult = std::invoke_result_t<Call&>;
    if (FBusy) {
      return call();
    }
    if constexpr (std::is_void_v<TResult>) {
      RunOnWorker([&] { call(); });
    } else {
      std::optional<TResult> result;
      RunOnWorker([&] { result.emplace(call()); });
      return std::move(*result);
    }
  }

 private:
  // Hands job to the worker and pumps until it is done; raises what job raised.
  void RunOnWorker(const std::function<void()>& job);
  void Work();

  std::function<void()> FPump;
  std::chrono::milliseconds FInterval;
  bool FBusy = false;
  // The job handed over, and the calls handed and done so far: the worker waits for the first
  // count to grow, the caller for the second. Both counts order what each thread wrote before.
  std::function<void()> FJob;
  bool FStop = false;
  platform::TThreadSignal FHanded;
  platform::TThreadSignal FDone;
  uint64_t FCallsDone = 0;
  // Started with the first call.
  std::thread FThread;
};

}  // namespace kv::app
