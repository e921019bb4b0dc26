#include "app/win32/ErrorReport.h"

#include <exception>
#include <string>

#include "app/win32/EasySetupControls.h"
#include "platform/Shell.h"

namespace kv::app {
namespace {

using win32::kEasySetupCaption;

std::string CaptionOf(HWND root) {
  if (!root) {
    return kEasySetupCaption;
  }
  std::wstring caption(static_cast<size_t>(GetWindowTextLengthW(root)) + 1, L'\0');
  caption.resize(
      static_cast<size_t>(GetWindowTextW(root, caption.data(), static_cast<int>(caption.size()))));
  return platform::win32::Narrow(caption);
}

}  // namespace

void ShowException(HWND window) noexcept {
  try {
    std::string text;
    try {
      throw;
    } catch (const EAbort&) {
      return;
    } catch (const Exception& error) {
      text = error.Message();
    } catch (const std::exception& error) {
      text = error.what();
    } catch (...) {
      text = "Неизвестная ошибка.";
    }
    const HWND root = window ? GetAncestor(window, GA_ROOT) : nullptr;
    platform::CurrentMessageBoxes::Get().Show(
        platform::win32::WindowHandle(root), text, CaptionOf(root),
        platform::TMessageKind{platform::TMessageButtons::Ok, platform::TMessageIcon::Error});
  } catch (...) {
    // Nothing is left to report with; the window goes on all the same.
  }
}

}  // namespace kv::app
