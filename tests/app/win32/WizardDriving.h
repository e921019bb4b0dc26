#pragma once
// Driving the wizard's real window from a test under Wine: Swiftkit.exe runs as a child process,
// the test clicks its buttons with real mouse input, answers its message boxes, reads each page
// from the controls' visibility and texts (WM_GETTEXT reaches the controls of another process),
// and saves screenshots into the build folder's "screenshots".

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/win32/EasySetupControls.h"
#include "platform/Files.h"
#include "platform/win32/Handles.h"
#include "platform/win32/Win32.h"
#include "support/Win32Fixtures.h"

// After windows.h, which Win32.h brings.
#include <commctrl.h>

namespace kv::test {

inline constexpr DWORD kWizardTimeoutMs = 30000;

// The button faces in client coordinates (77 x 25 each).
inline constexpr POINT kNextButton = {377 + 77 / 2, 462 + 25 / 2};
inline constexpr POINT kCancelButton = {602 + 77 / 2, 462 + 25 / 2};

inline const std::string kCopiedText = "Копирование завершено. Для продолжения нажмите \"Далее>\"";
inline const std::string kCopiedWithErrorsText =
    "Копирование завершено с ошибками. Для продолжения нажмите \"Далее>\"";
inline const std::string kShortCutsText =
    "Выберите файл или папку на которые вы хотели бы создать ярлык:";
inline const std::string kConnectionsText =
    "Выберите папки которые необходимо подключить к Калвор Смете:";
inline const std::string kFinishedText =
    "Экспресс установка завершена. Для завершения нажмите кнопку \"Готово\"";
inline const std::string kCancelledText =
    "Экспресс установка отменена пользователем. Для завершения нажмите кнопку \"Готово\"";
inline const std::string kCloseQuestion = "Закрыть утилиту экспресс обновления?";
inline const std::string kCancelQuestion = "Отменить процесс экспресс обновления?";

inline std::filesystem::path StdPath(const std::string& path) {
  return std::u8string(path.begin(), path.end());
}

inline void Pause(int milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// Polls until found answers a value or the time is up.
template <class T>
std::optional<T> Poll(const std::function<std::optional<T>()>& found,
                      DWORD timeoutMs = kWizardTimeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    if (std::optional<T> value = found()) {
      return value;
    }
    if (GetTickCount64() > deadline) {
      return std::nullopt;
    }
    Pause(50);
  }
}

inline std::string ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return platform::win32::Narrow(name);
}

// A window's text through WM_GETTEXT, which also reaches the controls of another process.
inline std::string TextOf(HWND window) {
  DWORD_PTR length = 0;
  if (!window ||
      !SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) {
    return "<no text>";
  }
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                      SMTO_ABORTIFHUNG, 5000, &copied);
  text.resize(std::min<size_t>(copied, length));
  return platform::win32::Narrow(text);
}

// The visible top-level windows of a process whose class is className (and owner, if given).
inline std::vector<HWND> TopWindows(DWORD processId, const std::string& className,
                                    HWND owner = nullptr) {
  struct TSearch {
    DWORD ProcessId;
    const std::string& ClassName;
    HWND Owner;
    std::vector<HWND> Found;
  } search{processId, className, owner, {}};
  EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        auto& search = *reinterpret_cast<TSearch*>(data);
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        if (processId == search.ProcessId && IsWindowVisible(window) &&
            ClassOf(window) == search.ClassName &&
            (!search.Owner || GetWindow(window, GW_OWNER) == search.Owner)) {
          search.Found.push_back(window);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

// A message box: its caption, and its text from the static control that holds one.
struct TMessageBox {
  HWND Handle;
  std::string Caption;
  std::string Text;
};

inline TMessageBox ReadMessageBox(HWND box) {
  TMessageBox result{box, TextOf(box), ""};
  EnumChildWindows(
      box,
      [](HWND child, LPARAM data) -> BOOL {
        auto& result = *reinterpret_cast<TMessageBox*>(data);
        if (ClassOf(child) == "Static" && result.Text.empty()) {
          result.Text = TextOf(child);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&result));
  return result;
}

// Real mouse input: the cursor moves to the point and the left button goes down and up, clicks
// times in a row (two make a double click).
inline void ClickAt(POINT screen, int clicks = 1) {
  SetCursorPos(screen.x, screen.y);
  std::vector<INPUT> inputs;
  for (int i = 0; i < clicks; ++i) {
    for (const DWORD flag : {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP}) {
      INPUT input{};
      input.type = INPUT_MOUSE;
      input.mi.dwFlags = flag;
      inputs.push_back(input);
    }
  }
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

// Clicks a message box's button and waits for the box to go.
inline void Press(const TMessageBox& box, int buttonId) {
  const HWND button = GetDlgItem(box.Handle, buttonId);
  ASSERT_TRUE(button) << "no button " << buttonId << " in the box " << box.Text;
  RECT rect{};
  GetWindowRect(button, &rect);
  ClickAt({(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
  const auto gone = Poll<bool>([&]() -> std::optional<bool> {
    return IsWindowVisible(box.Handle) ? std::nullopt : std::optional(true);
  });
  EXPECT_TRUE(gone) << "the box stayed: " << box.Text;
}

// A program started by the test; ended by force if it still runs when the test is over.
class TChildProcess {
 public:
  TChildProcess(const std::string& program, const std::string& arguments,
                const std::string& folder) {
    std::wstring commandLine = platform::win32::Wide("\"" + program + "\" " + arguments);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        platform::win32::Wide(folder).c_str(), &startup, &process)) {
      platform::win32::RaiseOSError(GetLastError());
    }
    FProcess = platform::win32::unique_handle(process.hProcess);
    CloseHandle(process.hThread);
    FId = process.dwProcessId;
  }
  ~TChildProcess() {
    if (WaitForSingleObject(FProcess.get(), 0) == WAIT_TIMEOUT) {
      TerminateProcess(FProcess.get(), 1);
      WaitForSingleObject(FProcess.get(), kWizardTimeoutMs);
    }
  }
  TChildProcess(const TChildProcess&) = delete;
  TChildProcess& operator=(const TChildProcess&) = delete;

  DWORD Id() const { return FId; }
  HANDLE Handle() const { return FProcess.get(); }
  // The exit code; nothing while the program still runs after the time given.
  std::optional<DWORD> WaitForExit(DWORD timeoutMs = kWizardTimeoutMs) const {
    DWORD code = 0;
    if (WaitForSingleObject(FProcess.get(), timeoutMs) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(FProcess.get(), &code)) {
      return std::nullopt;
    }
    return code;
  }

 private:
  platform::win32::unique_handle FProcess;
  DWORD FId = 0;
};

inline void FreeUnixName(char* name) {
  HeapFree(GetProcessHeap(), 0, name);
}
using unique_unix_name = platform::win32::unique_any<char*, &FreeUnixName>;

// The window's client area as the X server shows it (message boxes in front of it included), as
// a PNG file in the build folder's "screenshots". Wine's own read-back of the screen misses what
// its X11 driver draws straight to the server (the controls' texts), so ImageMagick's import
// takes the picture; Wine starts it like any program. The title bar is left out: without a
// window manager nobody draws it.
inline void SaveScreenshot(HWND window, const std::string& name) {
  using TUnixFileName = char*(CDECL*)(LPCWSTR);
  const auto unixFileName = reinterpret_cast<TUnixFileName>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
  ASSERT_TRUE(unixFileName) << "screenshots need Wine";
  const std::string folder = FixtureFolder() + "..\\screenshots\\";
  platform::ForceDirectories(folder);
  const std::string path = folder + name + ".png";
  platform::DeleteFile(path);
  const unique_unix_name file(unixFileName(platform::win32::Wide(path).c_str()));
  ASSERT_TRUE(file);

  RECT rect{};
  GetClientRect(window, &rect);
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&rect), 2);
  const std::string area = std::to_string(rect.right - rect.left) + "x" +
                           std::to_string(rect.bottom - rect.top) + "+" +
                           std::to_string(rect.left) + "+" + std::to_string(rect.top);
  const TChildProcess import("Z:\\usr\\bin\\import",
                             "-window root -crop " + area + " +repage \"" + file.get() + "\"",
                             folder);
  // Wine hands out no process handle for a program of the host: the picture is taken once its
  // file is there.
  const auto taken = Poll<bool>([&]() -> std::optional<bool> {
    std::error_code error;
    return std::filesystem::file_size(StdPath(path), error) > 0 && !error ? std::optional(true)
                                                                          : std::nullopt;
  });
  EXPECT_TRUE(taken) << "no screenshot " << name;
}

// One run of the wizard and what the test sees of it.
class TWizard {
 public:
  explicit TWizard(const std::string& folder) : FProcess(folder + "Swiftkit.exe", "", folder) {}

  const TChildProcess& Process() const { return FProcess; }
  HWND Window() const { return FWindow; }

  // Waits for the wizard's window to be shown.
  bool WaitForWindow() {
    const auto found = Poll<HWND>([this]() -> std::optional<HWND> {
      const auto windows =
          TopWindows(FProcess.Id(), platform::win32::Narrow(app::win32::kEasySetupWindowClass));
      return windows.empty() ? std::nullopt : std::optional(windows.front());
    });
    FWindow = found.value_or(nullptr);
    return FWindow != nullptr;
  }

  // The message box the wizard shows, owned by its window once that is known.
  std::optional<TMessageBox> WaitForMessageBox(DWORD timeoutMs = kWizardTimeoutMs) const {
    const auto box = Poll<HWND>(
        [this]() -> std::optional<HWND> {
          const auto boxes = TopWindows(FProcess.Id(), "#32770", FWindow);
          return boxes.empty() ? std::nullopt : std::optional(boxes.front());
        },
        timeoutMs);
    if (!box) {
      return std::nullopt;
    }
    Pause(200);  // let it paint before anyone looks at it
    return ReadMessageBox(*box);
  }

  HWND Control(int id) const { return GetDlgItem(FWindow, id); }
  bool Shown(int id) const { return IsWindowVisible(Control(id)) != FALSE; }
  std::string Text(int id) const { return TextOf(Control(id)); }
  int ProgressPosition(int id) const {
    DWORD_PTR position = 0;
    SendMessageTimeoutW(Control(id), PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 5000, &position);
    return static_cast<int>(position);
  }

  // The page the window shows, named by what only that page shows.
  std::string Page() const {
    using namespace app::win32;
    if (!IsWindow(FWindow)) {
      return "closed";
    }
    if (Shown(idMemInfo)) {
      return "welcome";
    }
    if (Shown(idLblFinish) && !Shown(idTvShortCuts) && Text(idLblNext) == "Готово") {
      return "done";
    }
    if (Shown(idTvShortCuts) && Shown(idLblShortCuts)) {
      const std::string caption = Text(idLblShortCuts);
      if (caption == kShortCutsText) {
        return "shortcuts";
      }
      if (caption == kConnectionsText) {
        return "connections";
      }
    }
    if (Shown(idMemStatus) &&
        (Text(idLblStatus) == kCopiedText || Text(idLblStatus) == kCopiedWithErrorsText)) {
      return "copied";
    }
    return "between pages";
  }

  // Waits for the page; a message box on the way fails the test with its text.
  ::testing::AssertionResult WaitForPage(const std::string& page,
                                         DWORD timeoutMs = kWizardTimeoutMs) const {
    std::string last;
    const auto reached = Poll<bool>(
        [&]() -> std::optional<bool> {
          if (const auto boxes = TopWindows(FProcess.Id(), "#32770"); !boxes.empty()) {
            return false;
          }
          last = Page();
          return last == page ? std::optional(true) : std::nullopt;
        },
        timeoutMs);
    if (reached == std::optional(true)) {
      return ::testing::AssertionSuccess();
    }
    auto failure = ::testing::AssertionFailure()
                   << "waited for the page " << page << ", saw " << last;
    if (const auto boxes = TopWindows(FProcess.Id(), "#32770"); !boxes.empty()) {
      failure << ", and a message box: " << ReadMessageBox(boxes.front()).Text;
    }
    if (Shown(app::win32::idMemStatus)) {
      failure << "\nstatus log:\n" << Text(app::win32::idMemStatus);
    }
    return failure;
  }

  // Lets the wizard take in what the test did and finish its answer.
  void Settle() const {
    Pause(400);
    WaitForInputIdle(FProcess.Handle(), 5000);
  }

  void ClickButton(POINT client, int clicks = 1) const {
    ClientToScreen(FWindow, &client);
    ClickAt(client, clicks);
  }
  void ClickNext(int clicks = 1) const { ClickButton(kNextButton, clicks); }
  void ClickCancel() const { ClickButton(kCancelButton); }
  // The title bar's close button.
  void CloseFromTitleBar() const { PostMessageW(FWindow, WM_SYSCOMMAND, SC_CLOSE, 0); }

  void Screenshot(const std::string& name) const {
    Settle();
    SaveScreenshot(FWindow, name);
  }

 private:
  TChildProcess FProcess;
  HWND FWindow = nullptr;
};

// Checks a question of the wizard (Yes and No, No the default) and answers it.
inline void AnswerQuestion(const TMessageBox& box, const std::string& text, int answer) {
  EXPECT_EQ(box.Caption, app::win32::kEasySetupCaption);
  EXPECT_EQ(box.Text, text);
  ASSERT_TRUE(GetDlgItem(box.Handle, IDYES));
  ASSERT_TRUE(GetDlgItem(box.Handle, IDNO));
  EXPECT_EQ(GetWindowLongW(GetDlgItem(box.Handle, IDNO), GWL_STYLE) & BS_TYPEMASK,
            BS_DEFPUSHBUTTON);
  Press(box, answer);
}

}  // namespace kv::test
