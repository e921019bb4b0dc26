#include "platform/MainThread.h"

#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "platform/win32/Win32.h"

namespace kv::platform {
namespace {

// The message that carries a posted procedure: the first user message number + 1.
constexpr UINT kPostedProcMessage = WM_USER + 1;
constexpr wchar_t kWindowClass[] = L"SwiftkitMainThreadWindow";

// A posted procedure; the message's long parameter is its address.
struct TLambdaContainer {
  std::function<void()> Lambda;
};

struct TToolWindow {
  std::mutex Lock;  // guards Wnd against shut-down while a worker posts
  HWND Wnd = nullptr;
  DWORD MainThread = 0;
  TMainThreadErrorHandler ErrorHandler;
  // Touched on the main thread only. Shared, so that stopping a timer inside its event leaves
  // the running event alive.
  std::map<UINT_PTR, std::shared_ptr<std::function<void()>>> Timers;
  UINT_PTR LastTimer = 0;
};

// Never freed: a worker thread may still post while the program ends.
TToolWindow& Tool() {
  static TToolWindow* const tool = new TToolWindow;
  return *tool;
}

void RunGuarded(const std::function<void()>& proc) {
  try {
    proc();
  } catch (...) {
    TMainThreadErrorHandler handler;
    {
      const std::lock_guard lock(Tool().Lock);
      handler = Tool().ErrorHandler;
    }
    if (handler) {
      handler(std::current_exception());
    }
  }
}

LRESULT CALLBACK ToolWindowProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kPostedProcMessage) {
    const std::unique_ptr<TLambdaContainer> container(reinterpret_cast<TLambdaContainer*>(lParam));
    RunGuarded(container->Lambda);
    return 0;
  }
  if (message == WM_TIMER) {
    const auto it = Tool().Timers.find(wParam);
    if (it != Tool().Timers.end()) {
      const std::shared_ptr<std::function<void()>> event = it->second;
      RunGuarded(*event);
    }
    return 0;
  }
  return DefWindowProcW(wnd, message, wParam, lParam);
}

// The hidden window is made while the program starts, on its first thread, which owns it.
struct TToolWindowLifetime {
  TToolWindowLifetime() {
    TToolWindow& tool = Tool();
    tool.MainThread = GetCurrentThreadId();
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = ToolWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassExW(&windowClass);
    tool.Wnd = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               windowClass.hInstance, nullptr);
  }
  ~TToolWindowLifetime() { ShutDownMainThreadQueue(); }
} gToolWindow;

}  // namespace

bool IsMainThread() {
  return GetCurrentThreadId() == Tool().MainThread;
}

bool PostToMainThread(std::function<void()> proc) {
  TToolWindow& tool = Tool();
  auto container = std::make_unique<TLambdaContainer>(TLambdaContainer{std::move(proc)});
  const std::lock_guard lock(tool.Lock);
  if (!tool.Wnd ||
      !PostMessageW(tool.Wnd, kPostedProcMessage, 0, reinterpret_cast<LPARAM>(container.get()))) {
    return false;
  }
  container.release();  // the window procedure frees it
  return true;
}

TMainThreadErrorHandler SetMainThreadErrorHandler(TMainThreadErrorHandler handler) {
  const std::lock_guard lock(Tool().Lock);
  return std::exchange(Tool().ErrorHandler, std::move(handler));
}

TTimerId StartMainThreadTimer(std::chrono::milliseconds interval, std::function<void()> onTimer) {
  TToolWindow& tool = Tool();
  const UINT_PTR id = ++tool.LastTimer;
  win32::CheckLastError(SetTimer(tool.Wnd, id, static_cast<UINT>(interval.count()), nullptr));
  tool.Timers.emplace(id, std::make_shared<std::function<void()>>(std::move(onTimer)));
  return id;
}

void StopMainThreadTimer(TTimerId timer) {
  TToolWindow& tool = Tool();
  if (tool.Timers.erase(timer) != 0) {
    KillTimer(tool.Wnd, timer);
  }
}

bool ProcessMainThreadQueue(std::chrono::milliseconds wait) {
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(wait.count());
  for (;;) {
    bool ran = false;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));  // left for the program's own loop
        return ran;
      }
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
      ran = true;
    }
    const ULONGLONG now = GetTickCount64();
    if (ran || now >= deadline) {
      return ran;
    }
    MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(deadline - now), QS_ALLINPUT,
                                MWMO_INPUTAVAILABLE);
  }
}

void ShutDownMainThreadQueue() {
  TToolWindow& tool = Tool();
  if (GetCurrentThreadId() != tool.MainThread) {
    return;
  }
  HWND wnd = nullptr;
  {
    const std::lock_guard lock(tool.Lock);
    wnd = std::exchange(tool.Wnd, nullptr);  // later posts are refused from here on
  }
  if (!wnd) {
    return;
  }
  // The procedures still queued are freed unrun, outside the lock: freeing one may post.
  MSG msg;
  while (PeekMessageW(&msg, wnd, kPostedProcMessage, kPostedProcMessage, PM_REMOVE)) {
    std::unique_ptr<TLambdaContainer>(reinterpret_cast<TLambdaContainer*>(msg.lParam)).reset();
  }
  for (const auto& [id, event] : tool.Timers) {
    KillTimer(wnd, id);
  }
  const auto timers = std::exchange(tool.Timers, {});
  DestroyWindow(wnd);
}

}  // namespace kv::platform
