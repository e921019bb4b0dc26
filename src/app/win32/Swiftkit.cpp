// The program: the wizard's window with the wizard in it, until the window closes.

#include "platform/win32/Win32.h"

#include <commctrl.h>

#include "app/CommandLine.h"
#include "app/UpdateCheck.h"
#include "app/dlgEasySetup.h"
#include "app/win32/Artwork.h"
#include "app/win32/EasySetupControls.h"
#include "app/win32/EasySetupWindow.h"
#include "app/win32/ErrorReport.h"
#include "common/Common.SysUtils.h"
#include "platform/Shell.h"
#include "platform/System.h"
#include "platform/win32/Com.h"
#include "platform/win32/Handles.h"

namespace kv::app {
namespace {

// The form's handlers on the window's events: both images and both labels press their button,
// a double click as a second press.
void BindEvents(TEasySetupWindow& window, TfrmEasySetup& form) {
  using namespace win32;
  for (int id : {idImage3, idLblNext}) {
    window.Events(id).OnClick = [&form] { form.Image3Click(); };
    window.Events(id).OnDblClick = [&form] { form.Image3Click(); };
  }
  for (int id : {idImage2, idLblCancel}) {
    window.Events(id).OnClick = [&form] { form.Image2Click(); };
  }
  window.Events(idImage3).OnMouseDown = [&form](TMouseButton button) {
    form.Image3MouseDown(TWizardButton::Next, button);
  };
  window.Events(idImage3).OnMouseUp = [&form](TMouseButton button) {
    form.Image3MouseUp(TWizardButton::Next, button);
  };
  window.Events(idImage2).OnMouseDown = [&form](TMouseButton button) {
    form.Image3MouseDown(TWizardButton::Cancel, button);
  };
  window.Events(idImage2).OnMouseUp = [&form](TMouseButton button) {
    form.Image3MouseUp(TWizardButton::Cancel, button);
  };
  window.Events(idLblNext).OnMouseDown = [&form](TMouseButton button) {
    form.lblNextMouseDown(button);
  };
  window.Events(idLblNext).OnMouseUp = [&form](TMouseButton button) {
    form.lblNextMouseUp(button);
  };
  window.Events(idLblCancel).OnMouseDown = [&form](TMouseButton button) {
    form.lblCancelMouseDown(button);
  };
  window.Events(idLblCancel).OnMouseUp = [&form](TMouseButton button) {
    form.lblCancelMouseUp(button);
  };
  window.OnCloseQuery = [&form] { return form.FormCloseQuery(); };
  window.OnQueryEndSession = [&form] { return form.FormQueryEndSession(); };
  window.OnEndSession = [&form] { form.FormEndSession(); };
}

// Text for the person who started the program: on its standard output when it has one (a pipe
// or a file), else on the console it was started from, else in a message box unless silent.
void ShowText(const std::string& text, bool silent) {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  platform::win32::unique_hfile console;
  if ((!out || out == INVALID_HANDLE_VALUE) && AttachConsole(ATTACH_PARENT_PROCESS)) {
    console.reset(CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              0, nullptr));
    out = console.get();
  }
  if (out && out != INVALID_HANDLE_VALUE) {
    const std::wstring wide = platform::win32::Wide(text);
    DWORD written = 0;
    if (GetFileType(out) == FILE_TYPE_CHAR &&
        WriteConsoleW(out, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr)) {
      return;
    }
    if (WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) {
      return;
    }
  }
  if (!silent) {
    platform::CurrentMessageBoxes::Get().Show(platform::TWindowHandle::None, text, "Swiftkit", {});
  }
}

int Run(HINSTANCE instance, int showCommand) {
  const TCommandLine commandLine = ParseCommandLine(platform::CommandLineArgs());
  if (commandLine.Check) {
    return RunCheck(TPackage(ExtractFilePath(platform::ProgramFileName())), commandLine.ResultFile,
                    [&commandLine](const std::string& text) {
                      ShowText(text, commandLine.Mode == TRunMode::Silent);
                    });
  }

  const auto com = platform::win32::CoInitializeEx();
  const INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_TREEVIEW_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);

  TEasySetupWindow window(LoadEasySetupArtwork(instance));
  TfrmEasySetup form(window, ExtractFilePath(platform::ProgramFileName()));
  BindEvents(window, form);
  // Before the window shows: a running client ends the program here, with only its message.
  window.Perform([&form] { form.FormCreate(); });
  window.Show(showCommand);
  window.Run();
  window.Perform([&form] { form.FormDestroy(); });
  return 0;
}

}  // namespace
}  // namespace kv::app

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  try {
    return kv::app::Run(instance, showCommand);
  } catch (const kv::app::EBadArguments& error) {
    kv::app::ShowText(error.Message() + "\r\n", false);
    return kv::app::ecBadArguments;
  } catch (...) {
    kv::app::ShowException(nullptr);
    return 1;
  }
}
