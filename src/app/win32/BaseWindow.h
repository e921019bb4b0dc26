#pragma once
// A window whose messages go to a member of the object that owns it. The object is bound either
// when a window of a class registered here is created with the object as its creation parameter
// (stored on WM_NCCREATE), or when an existing control is subclassed. Exceptions stop at the
// binding: they go to the error report and the window goes on.

#include "platform/win32/Handles.h"

namespace kv::app {

class TBaseWindow {
 public:
  TBaseWindow(const TBaseWindow&) = delete;
  TBaseWindow& operator=(const TBaseWindow&) = delete;

  // The window; null before it is created and after it is destroyed.
  HWND Handle() const { return FWindow.get(); }

 protected:
  TBaseWindow() = default;
  // Destroys the window if it is still there. An owner whose members must outlive the window
  // (its child controls, their fonts) calls Destroy first.
  virtual ~TBaseWindow() = default;

  // The bounds of a window of style whose client area is clientWidth by clientHeight, centred on
  // the screen.
  static RECT CenteredOnScreen(DWORD style, int clientWidth, int clientHeight);
  // Registers a window class whose windows are bound through Create.
  static void RegisterWindowClass(const wchar_t* className, UINT style);
  // Creates a window of a class registered here, bound to this object; raises EOSError when the
  // system refuses it.
  void Create(const wchar_t* className, const wchar_t* text, DWORD exStyle, DWORD style,
              const RECT& bounds, HWND parent, int id);
  // Binds a control of a system class to this object, which owns it from now on.
  void Subclass(platform::win32::unique_hwnd control);
  void Destroy() { FWindow.reset(); }

  // One message of the window; what is not handled goes to Default.
  virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // The handling of the window's class: the system's default, or the subclassed control's own.
  LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR id, DWORD_PTR self);
  LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

  platform::win32::unique_hwnd FWindow;
  bool FSubclassed = false;
};

}  // namespace kv::app
