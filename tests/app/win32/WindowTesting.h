#pragma once
// What the window tests share: a window holder, the message pump and message boxes that record
// instead of showing.

#include <string>
#include <vector>

#include "app/win32/EasySetupWindow.h"
#include "platform/Shell.h"
#include "platform/win32/Handles.h"

namespace kv::test {

using platform::win32::unique_hwnd;

// Wine creates windows only with a display to show them on.
inline constexpr char NoWindowsReason[] =
    "no window can be created here (Wine needs a display; scripts/test provides Xvfb)";

// A hidden top-level window to put controls in; holds nothing when no window can be created.
inline unique_hwnd CreateHostWindow() {
  return unique_hwnd(CreateWindowExW(0, L"STATIC", L"Host", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300,
                                     nullptr, nullptr, nullptr, nullptr));
}

using app::PumpWaitingMessages;

class RecordingMessageBoxes final : public platform::IMessageBoxes {
 public:
  struct TShown {
    platform::TWindowHandle Owner;
    std::string Text;
    std::string Caption;
    platform::TMessageKind Type;
  };

  platform::TMessageAnswer Show(platform::TWindowHandle owner, const std::string& text,
                                const std::string& caption, platform::TMessageKind kind) override {
    Shown.push_back({owner, text, caption, kind});
    return Answer;
  }

  std::vector<TShown> Shown;
  platform::TMessageAnswer Answer = platform::TMessageAnswer::Ok;  // what every box answers
};

}  // namespace kv::test
