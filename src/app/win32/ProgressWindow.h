#pragma once
// The unattended run with a small window that shows how far it is: the file being worked on and
// two bars, no buttons and no way to close it. Messages and questions stay out of it as without
// any window.

#include "app/UnattendedView.h"
#include "app/win32/BaseWindow.h"

namespace kv::app {

class TProgressView final : public TUnattendedView {
 public:
  // The window shows at once, in the middle of the screen.
  TProgressView();

  void SetStatus(const std::string& text) override;
  void SetEntryCount(int count) override;
  void StepEntries() override;
  void SetFilePercent(int percent) override;
  void ProcessMessages() override;
  platform::TWindowHandle Handle() const override;

 private:
  class TWindow final : public TBaseWindow {
   public:
    TWindow();
    ~TWindow() override { Destroy(); }

    HWND Status() const { return FStatus; }
    HWND Entries() const { return FEntries; }
    HWND File() const { return FFile; }

   private:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    HWND FStatus = nullptr;  // the children go with the window
    HWND FEntries = nullptr;
    HWND FFile = nullptr;
  };

  TWindow FWindow;
};

}  // namespace kv::app
