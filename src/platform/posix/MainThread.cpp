#include "platform/MainThread.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace kv::platform {
namespace {

using TClock = std::chrono::steady_clock;

struct TTimer {
  TTimerId Id;
  std::chrono::milliseconds Interval;
  TClock::time_point Due;
  // Shared, so that stopping the timer inside its event leaves the running event alive.
  std::shared_ptr<std::function<void()>> Event;
};

struct TQueue {
  std::mutex Lock;
  std::condition_variable Posted;
  std::deque<std::function<void()>> Procs;
  bool ShutDown = false;
  TMainThreadErrorHandler ErrorHandler;
  // Touched on the main thread only.
  std::vector<TTimer> Timers;
  TTimerId LastTimer = 0;
};

// Never freed: a worker thread may still post while the program ends.
TQueue& Queue() {
  static TQueue* const queue = new TQueue;
  return *queue;
}

// Made while the program starts, on its first thread.
const std::thread::id gMainThread = std::this_thread::get_id();

struct TShutDownAtExit {
  ~TShutDownAtExit() { ShutDownMainThreadQueue(); }
} gShutDownAtExit;

void RunGuarded(const std::function<void()>& proc) {
  try {
    proc();
  } catch (...) {
    TMainThreadErrorHandler handler;
    {
      const std::lock_guard lock(Queue().Lock);
      handler = Queue().ErrorHandler;
    }
    if (handler) {
      handler(std::current_exception());
    }
  }
}

bool RunPosted() {
  TQueue& queue = Queue();
  std::deque<std::function<void()>> batch;
  {
    const std::lock_guard lock(queue.Lock);
    batch.swap(queue.Procs);
  }
  for (const auto& proc : batch) {
    RunGuarded(proc);
  }
  return !batch.empty();
}

bool RunDueTimers() {
  TQueue& queue = Queue();
  std::vector<TTimerId> due;
  const TClock::time_point now = TClock::now();
  for (const TTimer& timer : queue.Timers) {
    if (timer.Due <= now) {
      due.push_back(timer.Id);
    }
  }
  for (const TTimerId id : due) {
    // An earlier event may have stopped this timer.
    const auto it = std::find_if(queue.Timers.begin(), queue.Timers.end(),
                                 [id](const TTimer& timer) { return timer.Id == id; });
    if (it == queue.Timers.end()) {
      continue;
    }
    it->Due = now + it->Interval;
    const std::shared_ptr<std::function<void()>> event = it->Event;
    RunGuarded(*event);
  }
  return !due.empty();
}

}  // namespace

bool IsMainThread() {
  return std::this_thread::get_id() == gMainThread;
}

bool PostToMainThread(std::function<void()> proc) {
  TQueue& queue = Queue();
  {
    const std::lock_guard lock(queue.Lock);
    if (queue.ShutDown) {
      return false;
    }
    queue.Procs.push_back(std::move(proc));
  }
  queue.Posted.notify_all();
  return true;
}

TMainThreadErrorHandler SetMainThreadErrorHandler(TMainThreadErrorHandler handler) {
  const std::lock_guard lock(Queue().Lock);
  return std::exchange(Queue().ErrorHandler, std::move(handler));
}

TTimerId StartMainThreadTimer(std::chrono::milliseconds interval, std::function<void()> onTimer) {
  TQueue& queue = Queue();
  const TTimerId id = ++queue.LastTimer;
  queue.Timers.push_back({id, interval, TClock::now() + interval,
                          std::make_shared<std::function<void()>>(std::move(onTimer))});
  return id;
}

void StopMainThreadTimer(TTimerId timer) {
  std::erase_if(Queue().Timers, [timer](const TTimer& t) { return t.Id == timer; });
}

bool ProcessMainThreadQueue(std::chrono::milliseconds wait) {
  TQueue& queue = Queue();
  const TClock::time_point deadline = TClock::now() + wait;
  for (;;) {
    const bool posted = RunPosted();
    const bool fired = RunDueTimers();
    if (posted || fired) {
      return true;
    }
    TClock::time_point wake = deadline;
    for (const TTimer& timer : queue.Timers) {
      wake = std::min(wake, timer.Due);
    }
    std::unique_lock lock(queue.Lock);
    if (TClock::now() >= deadline) {
      return false;
    }
    queue.Posted.wait_until(lock, wake, [&queue] { return !queue.Procs.empty(); });
  }
}

void ShutDownMainThreadQueue() {
  TQueue& queue = Queue();
  std::deque<std::function<void()>> dropped;
  {
    const std::lock_guard lock(queue.Lock);
    queue.ShutDown = true;
    dropped.swap(queue.Procs);
  }
  if (IsMainThread()) {
    queue.Timers.clear();
  }
}

}  // namespace kv::platform
