#include "app/WorkerCalls.h"

#include <exception>

namespace kv::app {

TWorkerCalls::TWorkerCalls(std::function<void()> pump, std::chrono::milliseconds interval)
    : FPump(std::move(pump)), FInterval(interval) {}

TWorkerCalls::~TWorkerCalls() {
  if (FThread.joinable()) {
    FStop = true;
    FHanded.Raise();
    FThread.join();
  }
}

void TWorkerCalls::RunOnWorker(const std::function<void()>& job) {
  std::exception_ptr error;
  FJob = [&] {
    try {
      job();
    } catch (...) {
      error = std::current_exception();
    }
  };
  if (!FThread.joinable()) {
    FThread = std::thread(&TWorkerCalls::Work, this);
  }
  FHanded.Raise();
  FBusy = true;
  std::exception_ptr pumpError;
  while (FDone.WaitPast(FCallsDone, FInterval) == FCallsDone) {
    try {
      FPump();
    } catch (...) {
      // The job refers to this frame: the worker must be done with it first.
      pumpError = std::current_exception();
      FDone.WaitPast(FCallsDone);
      break;
    }
  }
  ++FCallsDone;
  FBusy = false;
  FJob = nullptr;
  if (pumpError) {
    std::rethrow_exception(pumpError);
  }
  if (error) {
    std::rethrow_exception(error);
  }
}

void TWorkerCalls::Work() {
  for (uint64_t handed = 0;;) {
    handed = FHanded.WaitPast(handed);
    if (FStop) {
      return;
    }
    FJob();
    FDone.Raise();
  }
}

}  // namespace kv::app
