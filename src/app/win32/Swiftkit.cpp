// The program: the wizard's window with the wizard in it, until the window closes.

#include "platform/win32/Win32.h"

#include <commctrl.h>

#include "app/dlgEasySetup.h"
#include "app/win32/Artwork.h"
#include "app/win32/EasySetupWindow.h"
#include "app/win32/ErrorReport.h"
#include "common/Common.SysUtils.h"
#include "platform/System.h"
#include "platform/win32/Com.h"

namespace kv::app {
namespace {

// The form's handlers on the window's events: both images and both labels press their button,
// a double click as a second press.
void BindEvents(TEasySetupWindow& window, TfrmEasySetup& form) {
  for (TControl control : {TControl::Image3, TControl::lblNext}) {
    window.Events(control).OnClick = [&form] { form.Image3Click(); };
    window.Events(control).OnDblClick = [&form] { form.Image3Click(); };
  }
  for (TControl control : {TControl::Image2, TControl::lblCancel}) {
    window.Events(control).OnClick = [&form] { form.Image2Click(); };
  }
  for (TControl image : {TControl::Image2, TControl::Image3}) {
    window.Events(image).OnMouseDown = [&form, image](TMouseButton button) {
      form.Image3MouseDown(image, button);
    };
    window.Events(image).OnMouseUp = [&form, image](TMouseButton button) {
      form.Image3MouseUp(image, button);
    };
  }
  window.Events(TControl::lblNext).OnMouseDown = [&form](TMouseButton button) {
    form.lblNextMouseDown(button);
  };
  window.Events(TControl::lblNext).OnMouseUp = [&form](TMouseButton button) {
    form.lblNextMouseUp(button);
  };
  window.Events(TControl::lblCancel).OnMouseDown = [&form](TMouseButton button) {
    form.lblCancelMouseDown(button);
  };
  window.Events(TControl::lblCancel).OnMouseUp = [&form](TMouseButton button) {
    form.lblCancelMouseUp(button);
  };
  window.OnCloseQuery = [&form] { return form.FormCloseQuery(); };
}

int Run(HINSTANCE instance, int showCommand) {
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
  } catch (...) {
    kv::app::ShowException(nullptr);
    return 1;
  }
}
