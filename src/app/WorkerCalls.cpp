#include "app/WorkerCalls.h"

namespace kv::app {

TWorkerCalls::TWorkerCalls(std::function<void()> pump, std::chrono::milliseconds interval)
    : FPump(std::move(pump)), FInterval(interval) {}

TWorkerCalls::~TWorkerCalls() {
  {
    const std::lock_guard lock(FLock);
    FStop = true;
  }
  FWake.notify_one();
  if (FThread.joinable()) {
    FThread.join();
  }
}

void TWorkerCalls::Hand(std::function<void()> job) {
  {
    const std::lock_guard lock(FLock);
    FJob = std::move(job);
  }
  if (!FThread.joinable()) {
    FThread = std::thread(&TWorkerCalls::Work, this);
  }
  FWake.notify_one();
}

void TWorkerCalls::Work() {
  std::unique_lock lock(FLock);
  for (;;) {
    FWake.wait(lock, [this] { return FJob || FStop; });
    if (!FJob) {
      return;
    }
    const std::function<void()> job = std::exchange(FJob, nullptr);
    lock.unlock();
    job();
    lock.lock();
  }
}

}  // namespace kv::app
