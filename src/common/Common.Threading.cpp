#include "common/Common.Threading.h"

#include <thread>
#include <utility>

#include "platform/MainThread.h"

namespace kv {

void TLambdaThread::Start(std::function<void()> proc) {
  std::thread([proc = std::move(proc)] {
    try {
      proc();
    } catch (...) {  // a thread's end is a boundary: an escaping error would end the program
    }
  }).detach();
}

void TLambdaThread::PostToMainThread(std::function<void()> proc) {
  platform::PostToMainThread(std::move(proc));
}

bool TLambdaThread::IsMainThread() {
  return platform::IsMainThread();
}

}  // namespace kv
