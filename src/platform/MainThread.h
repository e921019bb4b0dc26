#pragma once
// The program's main thread: a queue of procedures that run there in the order they were posted,
// and timers that fire there. On Windows both go through a hidden message-only window; elsewhere
// through a queue that the program's loop (or a test) drains with ProcessMainThreadQueue.

#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>

namespace kv::platform {

// The thread that started the program.
bool IsMainThread();

// Has the procedure run on the main thread after those posted before it; callable from any
// thread. False when the queue has been shut down: the procedure is then dropped unrun.
bool PostToMainThread(std::function<void()> proc);

// Receives what a posted procedure or a timer raises (the application's error handler); without
// one, the error is dropped. Answers the handler it replaces.
using TMainThreadErrorHandler = std::function<void(std::exception_ptr)>;
TMainThreadErrorHandler SetMainThreadErrorHandler(TMainThreadErrorHandler handler);

// A timer that calls its event on the main thread every interval until stopped. Main thread
// only. A timer may be stopped from inside its own event.
using TTimerId = uint64_t;
TTimerId StartMainThreadTimer(std::chrono::milliseconds interval, std::function<void()> onTimer);
void StopMainThreadTimer(TTimerId timer);

// Runs what is due on the main thread (posted procedures, elapsed timers and, on Windows, every
// other message of the thread), waiting up to the given time for the first of them. Answers
// whether anything ran. Main thread only.
bool ProcessMainThreadQueue(std::chrono::milliseconds wait);

// Ends the queue at the program's end: what is still queued is dropped and later posts are
// refused, so that no worker thread reaches a queue that is gone.
void ShutDownMainThreadQueue();

}  // namespace kv::platform
