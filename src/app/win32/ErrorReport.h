#pragma once
// The program's one error report, used where an exception would otherwise leave a window
// procedure: the error's text in a message box, after which the window goes on.

#include "platform/win32/Win32.h"

namespace kv::app {

// Shows the exception being handled (call only inside a catch) in a message box owned by window's
// top-level window, with that window's caption, the application title (the wizard's caption
// when there is no window yet). A silent abort (EAbort) shows nothing.
void ShowException(HWND window) noexcept;

}  // namespace kv::app
