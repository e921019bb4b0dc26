#pragma once
// Threads of the library: a thread that runs one procedure and ends, and the way back to the
// main thread.

#include <functional>

namespace kv {

class TLambdaThread {
 public:
  // Runs the procedure on a new thread of its own, which ends with it. Nothing the procedure
  // raises leaves the thread: the procedure must keep its own errors.
  static void Start(std::function<void()> proc);
  // Has the procedure run on the main thread, after those posted before it. Dropped when the
  // program is ending.
  static void PostToMainThread(std::function<void()> proc);
  static bool IsMainThread();
};

}  // namespace kv
