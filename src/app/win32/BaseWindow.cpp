#include "app/win32/BaseWindow.h"

#include "app/win32/ErrorReport.h"

namespace kv::app {
namespace {

using platform::win32::CheckLastError;

// The one subclass this object installs on a control.
constexpr UINT_PTR kSubclassId = 1;

}  // namespace

RECT TBaseWindow::CenteredOnScreen(DWORD style, int clientWidth, int clientHeight) {
  RECT frame{0, 0, clientWidth, clientHeight};
  AdjustWindowRectEx(&frame, style, FALSE, 0);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  return {left, top, left + width, top + height};
}

void TBaseWindow::RegisterWindowClass(const wchar_t* className, UINT style) {
  WNDCLASSEXW windowClass{sizeof(windowClass)};
  windowClass.style = style;
  windowClass.lpfnWndProc = &WindowProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.lpszClassName = className;
  if (!RegisterClassExW(&windowClass)) {
    const DWORD code = GetLastError();
    if (code != ERROR_CLASS_ALREADY_EXISTS) {
      platform::win32::RaiseOSError(code);
    }
  }
}

void TBaseWindow::Create(const wchar_t* className, const wchar_t* text, DWORD exStyle, DWORD style,
                         const RECT& bounds, HWND parent, int id) {
  // WM_NCCREATE stores the window in FWindow, before any other message arrives.
  CheckLastError(CreateWindowExW(exStyle, className, text, style, bounds.left, bounds.top,
                                 bounds.right - bounds.left, bounds.bottom - bounds.top, parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 GetModuleHandleW(nullptr), this));
}

void TBaseWindow::Subclass(platform::win32::unique_hwnd control) {
  CheckLastError(SetWindowSubclass(control.get(), &SubclassProc, kSubclassId,
                                   reinterpret_cast<DWORD_PTR>(this)));
  FWindow = std::move(control);
  FSubclassed = true;
}

LRESULT TBaseWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return Default(message, wParam, lParam);
}

LRESULT TBaseWindow::Default(UINT message, WPARAM wParam, LPARAM lParam) {
  return FSubclassed ? DefSubclassProc(Handle(), message, wParam, lParam)
                     : DefWindowProcW(Handle(), message, wParam, lParam);
}

LRESULT CALLBACK TBaseWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self =
        static_cast<TBaseWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->FWindow.reset(window);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<TBaseWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self) {
    return DefWindowProcW(window, message, wParam, lParam);
  }
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  }
  return self->Dispatch(message, wParam, lParam);
}

LRESULT CALLBACK TBaseWindow::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                           UINT_PTR, DWORD_PTR self) {
  if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(window, &SubclassProc, kSubclassId);
  }
  return reinterpret_cast<TBaseWindow*>(self)->Dispatch(message, wParam, lParam);
}

LRESULT TBaseWindow::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCDESTROY) {
    // The window's last message: the object lets go of it, and the class's own handling ends it.
    const LRESULT result = Default(message, wParam, lParam);
    FWindow.release();
    return result;
  }
  try {
    return HandleMessage(message, wParam, lParam);
  } catch (...) {
    ShowException(Handle());
    return 0;
  }
}

}  // namespace kv::app
