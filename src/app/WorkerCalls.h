#pragma once
// Calls into the system that can block for longer than a window may go without its messages (a
// large write, a flush, a rename, a delete), run on a worker thread while the calling thread keeps
// letting the messages through. The caller's logic stays on its own thread: one call at a time,
// and each returns only when it is done.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <type_traits>
#include <utility>

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
    if (FBusy) {
      return call();
    }
    std::packaged_task<std::invoke_result_t<Call&>()> task(std::forward<Call>(call));
    auto done = task.get_future();
    Hand([&task] { task(); });
    FBusy = true;
    while (done.wait_for(FInterval) != std::future_status::ready) {
      try {
        FPump();
      } catch (...) {
        // The task lives in this frame: the worker must be done with it first.
        done.wait();
        FBusy = false;
        throw;
      }
    }
    FBusy = false;
    return done.get();
  }

 private:
  void Hand(std::function<void()> job);
  void Work();

  std::function<void()> FPump;
  std::chrono::milliseconds FInterval;
  bool FBusy = false;
  std::mutex FLock;
  std::condition_variable FWake;
  std::function<void()> FJob;
  bool FStop = false;
  // Started with the first call.
  std::thread FThread;
};

}  // namespace kv::app
