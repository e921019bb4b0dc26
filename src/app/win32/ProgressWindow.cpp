#include "app/win32/ProgressWindow.h"

#include <commctrl.h>

#include "app/win32/EasySetupControls.h"
#include "app/win32/EasySetupWindow.h"

namespace kv::app {

namespace {

using platform::win32::CheckLastError;
using platform::win32::Wide;

const wchar_t kProgressWindowClass[] = L"TSwiftkitProgress";
constexpr int kClientWidth = 420;
constexpr int kClientHeight = 92;
constexpr int kMargin = 12;
constexpr int kLineHeight = 20;

HWND CreateChild(HWND parent, const wchar_t* className, DWORD style, int top) {
  return CheckLastError(CreateWindowExW(0, className, L"", WS_CHILD | WS_VISIBLE | style, kMargin,
                                        top, kClientWidth - 2 * kMargin, kLineHeight - 4, parent,
                                        nullptr, GetModuleHandleW(nullptr), nullptr));
}

}  // namespace

TProgressView::TWindow::TWindow() {
  RegisterWindowClass(kProgressWindowClass, 0);
  // A caption without the system menu: nothing to press, nothing to close.
  const DWORD style = WS_POPUP | WS_CAPTION | WS_CLIPCHILDREN;
  Create(kProgressWindowClass, Wide(win32::kEasySetupCaption).c_str(), 0, style,
         CenteredOnScreen(style, kClientWidth, kClientHeight), nullptr, 0);
  FStatus = CreateChild(Handle(), WC_STATICW, SS_LEFTNOWORDWRAP | SS_PATHELLIPSIS, kMargin);
  SendMessageW(FStatus, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
               FALSE);
  FEntries = CreateChild(Handle(), PROGRESS_CLASSW, 0, kMargin + kLineHeight + 4);
  FFile = CreateChild(Handle(), PROGRESS_CLASSW, 0, kMargin + 2 * kLineHeight + 4);
  SendMessageW(FFile, PBM_SETRANGE32, 0, 100);
  ShowWindow(Handle(), SW_SHOWNOACTIVATE);
  UpdateWindow(Handle());
}

LRESULT TProgressView::TWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  // Alt+F4 too: the run ends the window, not the user.
  if (message == WM_CLOSE) {
    return 0;
  }
  return TBaseWindow::HandleMessage(message, wParam, lParam);
}

TProgressView::TProgressView() = default;

void TProgressView::SetStatus(const std::string& text) {
  SetWindowTextW(FWindow.Status(), Wide(text).c_str());
}

void TProgressView::SetEntryCount(int count) {
  SendMessageW(FWindow.Entries(), PBM_SETRANGE32, 0, count);
  SendMessageW(FWindow.Entries(), PBM_SETPOS, 0, 0);
}

void TProgressView::StepEntries() {
  SendMessageW(FWindow.Entries(), PBM_DELTAPOS, 1, 0);
}

void TProgressView::SetFilePercent(int percent) {
  SendMessageW(FWindow.File(), PBM_SETPOS, static_cast<WPARAM>(percent), 0);
}

void TProgressView::ProcessMessages() {
  PumpWaitingMessages();
}

platform::TWindowHandle TProgressView::Handle() const {
  return platform::win32::WindowHandle(FWindow.Handle());
}

}  // namespace kv::app
