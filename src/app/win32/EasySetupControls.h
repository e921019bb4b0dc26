#pragma once
// How the wizard's window and its controls are found from outside (tests, automation): the
// window class, the caption and each control's id. Every control is a child window of the
// wizard's window at the position the layout gives it.

namespace kv::app::win32 {

inline constexpr wchar_t kEasySetupWindowClass[] = L"TfrmEasySetup";
// The window's caption, which is also the application title of every message box (UTF-8).
inline constexpr char kEasySetupCaption[] = "Swiftkit - \"КАЛВОР-Divir 2018\"";

// Control ids (GetDlgItem on the wizard's window). Labels and pictures are windows of the classes
// TLabel and TImage, a label's caption being its window text. The background picture is the
// window's own painting and the two face pictures are bitmaps only, so none of them has an id.
enum EasySetupControlId : int {
  idLabel1 = 1001,
  idLabel2 = 1002,
  idImage2 = 1003,  // the cancel button's face, a picture that takes clicks
  idLblCancel = 1004,
  idImage3 = 1005,  // the next button's face
  idLblNext = 1006,
  idMemInfo = 1007,    // EDIT
  idMemStatus = 1008,  // RichEdit20W
  idLblStatus = 1009,
  idPbStatus = 1010,  // msctls_progress32
  idPbCurrentProgress = 1011,
  idLblShortCuts = 1012,
  idTvShortCuts = 1013,  // SysTreeView32
  idLblFinish = 1014,
};

}  // namespace kv::app::win32
