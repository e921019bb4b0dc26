#include "app/win32/EasySetupWindow.h"

#include <commctrl.h>
#include <richedit.h>

#include <algorithm>
#include <utility>

#include "app/win32/EasySetupControls.h"
#include "app/win32/ErrorReport.h"
#include "app/win32/Gdi.h"
#include "platform/Shell.h"

namespace kv::app {
namespace {

using namespace win32;
using platform::win32::CheckLastError;
using platform::win32::unique_hdc_window;
using platform::win32::unique_hfont;
using platform::win32::unique_select_object;
using platform::win32::Wide;

constexpr int kClientWidth = 694;
constexpr int kClientHeight = 497;
constexpr TColor clWhite = 0xFFFFFF;

constexpr wchar_t kLabelClass[] = L"TLabel";
constexpr wchar_t kImageClass[] = L"TImage";

// Labels show their text as it is: an "&" in a path is no accelerator.
constexpr UINT kLabelFormat = DT_LEFT | DT_NOPREFIX | DT_EXPANDTABS;
// A long path loses its middle, so its start and its file name stay readable.
constexpr UINT kPathLabelFormat = DT_LEFT | DT_NOPREFIX | DT_SINGLELINE | DT_PATH_ELLIPSIS;

struct TBox {
  int Left, Top, Width, Height;

  RECT Rect() const { return {Left, Top, Left + Width, Top + Height}; }
};

// The pictures and labels, in painting order (a later one lies over an earlier one). A label
// without a size is as large as its text.
struct TGraphicLayout {
  int Id;
  bool IsLabel;
  TBox Bounds;
  bool Visible;
  const char* Text;
  bool Bold;
  TColor Colour;
  UINT Format;
};

const TGraphicLayout kGraphicLayout[] = {
    {idLabel1, true, {200, 72, 0, 0}, true, "Центр КАЛВОР", true, clWhite, kLabelFormat},
    {idLabel2,
     true,
     {200, 91, 0, 0},
     true,
     "Экспресс обновление программного комплекса \"КАЛВОР-Divir 2018\"",
     true,
     clWhite,
     kLabelFormat},
    {idImage2, false, {602, 462, 77, 25}, true, "", false, 0, 0},
    {idLblCancel, true, {621, 468, 0, 0}, true, "Отмена", false, clWindowText, kLabelFormat},
    {idImage3, false, {377, 462, 77, 25}, true, "", false, 0, 0},
    {idLblNext, true, {394, 468, 0, 0}, true, "Далее >", false, clWindowText, kLabelFormat},
    {idLblStatus, true, {200, 382, 468, 13}, false, "", false, clWhite, kPathLabelFormat},
    {idLblShortCuts,
     true,
     {200, 128, 0, 0},
     false,
     "Выберите файл или папку на которые вы хотели бы создать ярлык:",
     false,
     clWhite,
     kLabelFormat},
    {idLblFinish,
     true,
     {200, 152, 0, 0},
     false,
     "Экспресс установка завершена. Для завершения нажмите кнопку \"Готово\"",
     false,
     clWhite,
     kLabelFormat},
};

const char* const kWelcomeLines[] = {
    "",
    "Данное приложение выполнит обновление файлов программного комплекса КАЛВОР ",
    "Divir.",
    "",
    "Все измененные файлы будут сохранены в резервных копиях во избежании потери ",
    "информации.",
    "",
    "",
    "",
    "",
    "",
    "====================================================",
    "",
    "",
    "",
    "",
    "",
    "Для начала установки нажмите кнопку \"Далее >\"",
    "",
    "Для отмены установки нажмите кнопку \"Отмена\"",
};

int ButtonImage(TWizardButton button) {
  return button == TWizardButton::Next ? idImage3 : idImage2;
}

int ButtonLabel(TWizardButton button) {
  return button == TWizardButton::Next ? idLblNext : idLblCancel;
}

// A colour of the system (top byte 0xFF, the low byte its index) or a plain one.
COLORREF ColorRefOf(TColor colour) {
  return (colour & 0xFF000000) == 0xFF000000 ? GetSysColor(static_cast<int>(colour & 0xFF))
                                             : colour & 0xFFFFFF;
}

std::wstring TextOf(HWND window) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(
      static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

unique_hfont CreateDialogFont(const wchar_t* face, int weight) {
  // 8 points at 96 pixels per inch: the layout is not scaled.
  return CheckLastError(unique_hfont(
      CreateFontW(-11, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                  CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face)));
}

}  // namespace

TEasySetupWindow::TEasySetupWindow(TEasySetupArtwork artwork)
    : FArtwork(std::move(artwork)),
      FFont(CreateDialogFont(L"Tahoma", FW_NORMAL)),
      FBoldFont(CreateDialogFont(L"MS Sans Serif", FW_BOLD)),
      FRichEdit(CheckLastError(platform::win32::unique_hmodule(LoadLibraryW(L"riched20.dll")))) {
  RegisterWindowClass(kEasySetupWindowClass, 0);
  // Pictures and labels take double clicks: a double click on a button is two presses.
  RegisterWindowClass(kLabelClass, CS_DBLCLKS);
  RegisterWindowClass(kImageClass, CS_DBLCLKS);

  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  Create(kEasySetupWindowClass, Wide(kEasySetupCaption).c_str(), 0, style,
         CenteredOnScreen(style, kClientWidth, kClientHeight), nullptr, 0);
  try {
    SendMessageW(Window(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(FArtwork.Icon.get()));
    SendMessageW(Window(), WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(FArtwork.SmallIcon.get()));
    CreateControls();
  } catch (...) {
    Destroy();  // before the rich edit's library goes
    throw;
  }
}

TEasySetupWindow::~TEasySetupWindow() {
  Destroy();  // the controls go with it, before the fonts and libraries they use
}

void TEasySetupWindow::CreateControls() {
  auto graphic = FGraphics.begin();
  for (const TGraphicLayout& layout : kGraphicLayout) {
    graphic->Owner = this;
    graphic->Id = layout.Id;
    graphic->IsLabel = layout.IsLabel;
    graphic->Font = layout.Bold ? FBoldFont.get() : FFont.get();
    graphic->Colour = layout.Colour;
    graphic->Format = layout.Format;
    graphic->AutoSize = layout.IsLabel && layout.Bounds.Width == 0;
    CreateGraphic(*graphic, layout.Id, layout.IsLabel ? kLabelClass : kImageClass,
                  layout.Bounds.Rect(), layout.Text);
    if (layout.Visible) {
      ShowWindow(graphic->Handle(), SW_SHOWNA);
    }
    ++graphic;
  }

  const HWND info =
      CreateControl(idMemInfo, WC_EDITW, WS_EX_CLIENTEDGE, ES_MULTILINE | ES_READONLY | WS_VISIBLE,
                    TBox{200, 122, 468, 290}.Rect());
  std::string welcome;
  for (size_t i = 0; i < std::size(kWelcomeLines); ++i) {
    welcome += i > 0 ? "\r\n" : "";
    welcome += kWelcomeLines[i];
  }
  SetWindowTextW(info, Wide(welcome).c_str());

  const HWND log = CreateControl(
      idMemStatus, RICHEDIT_CLASSW, WS_EX_CLIENTEDGE,
      WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL,
      TBox{200, 122, 468, 254}.Rect());
  CHARFORMAT2W format{};
  format.cbSize = sizeof(format);
  format.dwMask = CFM_CHARSET;
  format.bCharSet = RUSSIAN_CHARSET;
  SendMessageW(log, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
  SendMessageW(log, EM_SETTARGETDEVICE, 0, 1);  // no word wrap
  // The default limit, 32K characters, would silently end the log of a large package.
  SendMessageW(log, EM_EXLIMITTEXT, 0, 0x7FFFFFF0);

  CreateControl(idPbStatus, PROGRESS_CLASSW, 0, 0, TBox{200, 401, 468, 17}.Rect());
  const HWND percent =
      CreateControl(idPbCurrentProgress, PROGRESS_CLASSW, 0, 0, TBox{200, 424, 468, 17}.Rect());
  SendMessageW(percent, PBM_SETRANGE32, 0, 100);

  FTree = std::make_unique<TKVCheckedTreeView>(Window(), idTvShortCuts,
                                               TBox{200, 147, 468, 292}.Rect());
  FControls[idTvShortCuts] = FTree->Handle();
  SendMessageW(FTree->Handle(), TVM_SETINDENT, 19, 0);
  SendMessageW(FTree->Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(FFont.get()), FALSE);
  SendMessageW(FTree->Handle(), TVM_SETEXTENDEDSTYLE, TVS_EX_DOUBLEBUFFER, TVS_EX_DOUBLEBUFFER);

  // Windowed controls lie over every picture and label; among these, the later one lies higher.
  for (const TGraphic& each : FGraphics) {
    SetWindowPos(each.Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  for (int id : {idMemInfo, idMemStatus, idPbStatus, idPbCurrentProgress, idTvShortCuts}) {
    SetWindowPos(FControls.at(id), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
}

void TEasySetupWindow::CreateGraphic(TGraphic& graphic, int id, const wchar_t* className,
                                     RECT bounds, const std::string& text) {
  graphic.Create(className, Wide(text).c_str(), 0, WS_CHILD | WS_CLIPSIBLINGS, bounds, Window(),
                 id);
  FitToText(graphic);
}

HWND TEasySetupWindow::CreateControl(int id, const wchar_t* className, DWORD exStyle, DWORD style,
                                     RECT bounds) {
  const HWND control = CheckLastError(CreateWindowExW(
      exStyle, className, L"", WS_CHILD | WS_CLIPSIBLINGS | style, bounds.left, bounds.top,
      bounds.right - bounds.left, bounds.bottom - bounds.top, Window(),
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr));
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(FFont.get()), FALSE);
  FControls[id] = control;
  return control;
}

LRESULT TEasySetupWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      BeginPaint(Window(), &paint);
      const RECT area = paint.rcPaint;
      PaintBuffered(paint.hdc, {area.left, area.top}, area, [&](HDC dc) { PaintScene(dc, area); });
      EndPaint(Window(), &paint);
      return 0;
    }
    case WM_PRINTCLIENT: {
      RECT client;
      GetClientRect(Window(), &client);
      PaintScene(reinterpret_cast<HDC>(wParam), client);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;  // the painting covers everything
    case WM_CTLCOLORSTATIC:
      if (reinterpret_cast<HWND>(lParam) == FControls.at(idMemInfo)) {
        const auto dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, RGB(0, 0, 0));
        SetBkColor(dc, RGB(255, 255, 255));
        return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
      }
      break;
    case WM_NOTIFY: {
      auto& header = *reinterpret_cast<NMHDR*>(lParam);
      if (FTree && header.hwndFrom == FTree->Handle()) {
        FTree->HandleNotify(header);
      }
      break;
    }
    case WM_CLOSE:
      Close();
      return 0;
    case WM_QUERYENDSESSION:
      return !OnQueryEndSession || OnQueryEndSession();
    case WM_ENDSESSION:
      if (wParam && OnEndSession) {
        OnEndSession();
      }
      return 0;
  }
  return Default(message, wParam, lParam);
}

LRESULT TEasySetupWindow::HandleGraphicMessage(TGraphic& graphic, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
  const auto fire = [](const std::function<void()>& event) {
    if (event) {
      event();
    }
  };
  const auto fireMouse = [](const std::function<void(TMouseButton)>& event, TMouseButton button) {
    if (event) {
      event(button);
    }
  };
  TGraphicEvents& events = graphic.Events;
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      BeginPaint(graphic.Handle(), &paint);
      const RECT bounds = BoundsOf(graphic);
      PaintBuffered(paint.hdc, {0, 0}, bounds, [&](HDC dc) { PaintScene(dc, bounds); });
      EndPaint(graphic.Handle(), &paint);
      return 0;
    }
    case WM_PRINTCLIENT: {
      const RECT bounds = BoundsOf(graphic);
      PaintBuffered(reinterpret_cast<HDC>(wParam), {0, 0}, bounds,
                    [&](HDC dc) { PaintScene(dc, bounds); });
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    // A click is a press and a release over the same control; a double click's second press
    // is no click but a double click.
    case WM_LBUTTONDOWN:
      SetCapture(graphic.Handle());
      graphic.Pressed = true;
      fireMouse(events.OnMouseDown, TMouseButton::Left);
      return 0;
    case WM_LBUTTONDBLCLK:
      // Captured first: the release may come while the double click's work lets messages
      // through, and must end the capture then.
      SetCapture(graphic.Handle());
      fire(events.OnDblClick);
      fireMouse(events.OnMouseDown, TMouseButton::Left);
      return 0;
    case WM_LBUTTONUP: {
      const bool pressed = std::exchange(graphic.Pressed, false);
      if (GetCapture() == graphic.Handle()) {
        ReleaseCapture();
      }
      RECT client;
      GetClientRect(graphic.Handle(), &client);
      const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      if (pressed && PtInRect(&client, at)) {
        fire(events.OnClick);
      }
      fireMouse(events.OnMouseUp, TMouseButton::Left);
      return 0;
    }
    case WM_CAPTURECHANGED:
      graphic.Pressed = false;  // a message box took the mouse: the release is not a click
      return 0;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
      fireMouse(events.OnMouseDown, TMouseButton::Right);
      return 0;
    case WM_RBUTTONUP:
      fireMouse(events.OnMouseUp, TMouseButton::Right);
      return 0;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
      fireMouse(events.OnMouseDown, TMouseButton::Middle);
      return 0;
    case WM_MBUTTONUP:
      fireMouse(events.OnMouseUp, TMouseButton::Middle);
      return 0;
  }
  return graphic.Default(message, wParam, lParam);
}

void TEasySetupWindow::PaintScene(HDC dc, const RECT& area) const {
  DrawBitmap(dc, area, FArtwork.Background.get(), {area.left, area.top});
  for (const TGraphic& graphic : FGraphics) {
    const RECT bounds = BoundsOf(graphic);
    RECT common;
    if ((GetWindowLongPtrW(graphic.Handle(), GWL_STYLE) & WS_VISIBLE) &&
        IntersectRect(&common, &bounds, &area)) {
      PaintGraphic(dc, graphic);
    }
  }
}

void TEasySetupWindow::PaintGraphic(HDC dc, const TGraphic& graphic) const {
  RECT bounds = BoundsOf(graphic);
  if (!graphic.IsLabel) {
    const HBITMAP face = graphic.Face == TButtonFace::Pressed ? FArtwork.PressedFace.get()
                                                              : FArtwork.NormalFace.get();
    DrawBitmap(dc, bounds, face, {0, 0});
    return;
  }
  const std::wstring text = TextOf(graphic.Handle());
  const unique_select_object font(dc, graphic.Font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ColorRefOf(graphic.Colour));
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &bounds, graphic.Format);
}

RECT TEasySetupWindow::BoundsOf(const TGraphic& graphic) const {
  RECT bounds;
  GetWindowRect(graphic.Handle(), &bounds);
  MapWindowPoints(nullptr, Window(), reinterpret_cast<POINT*>(&bounds), 2);
  return bounds;
}

void TEasySetupWindow::Repaint(const TGraphic& graphic, const RECT& before) const {
  const RECT now = BoundsOf(graphic);
  RECT area;
  UnionRect(&area, &before, &now);
  RedrawWindow(Window(), &area, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void TEasySetupWindow::FitToText(TGraphic& graphic) {
  if (!graphic.AutoSize) {
    return;
  }
  const std::wstring text = TextOf(graphic.Handle());
  const unique_hdc_window dc(Window());
  const unique_select_object font(dc.get(), graphic.Font);
  RECT size{};
  DrawTextW(dc.get(), text.c_str(), static_cast<int>(text.size()), &size,
            graphic.Format | DT_CALCRECT);
  SetWindowPos(graphic.Handle(), nullptr, 0, 0, size.right, size.bottom,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

TEasySetupWindow::TGraphic* TEasySetupWindow::FindGraphic(int id) {
  const auto found = std::find_if(FGraphics.begin(), FGraphics.end(),
                                  [&](const TGraphic& graphic) { return graphic.Id == id; });
  return found == FGraphics.end() ? nullptr : &*found;
}

TEasySetupWindow::TGraphic& TEasySetupWindow::Graphic(int id) {
  if (TGraphic* graphic = FindGraphic(id)) {
    return *graphic;
  }
  throw EInvalidOperation("Not a picture or label");
}

const TEasySetupWindow::TGraphic& TEasySetupWindow::Graphic(int id) const {
  return const_cast<TEasySetupWindow*>(this)->Graphic(id);
}

HWND TEasySetupWindow::Control(int id) const {
  const auto found = FControls.find(id);
  if (found == FControls.end()) {
    throw EInvalidOperation("Not a windowed control");
  }
  return found->second;
}

TEasySetupWindow::TGraphicEvents& TEasySetupWindow::Events(int id) {
  return Graphic(id).Events;
}

void TEasySetupWindow::Perform(const std::function<void()>& work) {
  try {
    work();
  } catch (...) {
    ShowException(Window());
  }
}

void TEasySetupWindow::Show(int showCommand) {
  ShowWindow(Window(), showCommand);
  UpdateWindow(Window());
}

void TEasySetupWindow::Run() {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  Destroy();
}

void TEasySetupWindow::SetVisible(int id, bool visible) {
  const int command = visible ? SW_SHOWNA : SW_HIDE;
  if (TGraphic* graphic = FindGraphic(id)) {
    const RECT before = BoundsOf(*graphic);
    ShowWindow(graphic->Handle(), command);
    Repaint(*graphic, before);
    return;
  }
  ShowWindow(Control(id), command);
}

void TEasySetupWindow::SetText(int id, const std::string& text) {
  TGraphic& graphic = Graphic(id);
  const RECT before = BoundsOf(graphic);
  SetWindowTextW(graphic.Handle(), Wide(text).c_str());
  FitToText(graphic);
  Repaint(graphic, before);
}

TColor TEasySetupWindow::LabelColour(int id) const {
  return Graphic(id).Colour;
}

void TEasySetupWindow::SetLabelColour(int id, TColor colour) {
  TGraphic& graphic = Graphic(id);
  graphic.Colour = colour;
  Repaint(graphic, BoundsOf(graphic));
}

void TEasySetupWindow::Show(TViewPart part, bool shown) {
  switch (part) {
    case TViewPart::Welcome:
      SetVisible(idMemInfo, shown);
      break;
    case TViewPart::Log:
      SetVisible(idMemStatus, shown);
      break;
    case TViewPart::Status:
      SetVisible(idLblStatus, shown);
      break;
    case TViewPart::Progress:
      SetVisible(idPbStatus, shown);
      SetVisible(idPbCurrentProgress, shown);
      break;
    case TViewPart::TreeCaption:
      SetVisible(idLblShortCuts, shown);
      break;
    case TViewPart::Tree:
      SetVisible(idTvShortCuts, shown);
      break;
    case TViewPart::Finish:
      SetVisible(idLblFinish, shown);
      break;
  }
}

void TEasySetupWindow::SetStatus(const std::string& text) {
  SetText(idLblStatus, text);
}

void TEasySetupWindow::SetTreeCaption(const std::string& text) {
  SetText(idLblShortCuts, text);
}

void TEasySetupWindow::SetFinishText(const std::string& text) {
  SetText(idLblFinish, text);
}

void TEasySetupWindow::SetNextCaption(const std::string& text) {
  SetText(idLblNext, text);
}

void TEasySetupWindow::SetEnabled(TWizardButton button, bool enabled) {
  // The caption alone tells a disabled button: grey over the same face.
  SetLabelColour(ButtonLabel(button), enabled ? clWindowText : kDisabledLabelColour);
}

void TEasySetupWindow::ShowPressed(TWizardButton button, bool pressed) {
  TGraphic& graphic = Graphic(ButtonImage(button));
  graphic.Face = pressed ? TButtonFace::Pressed : TButtonFace::Normal;
  Repaint(graphic, BoundsOf(graphic));
}

void TEasySetupWindow::AppendLog(const std::string& line) {
  const HWND log = Control(idMemStatus);
  std::wstring text = Wide(line);
  // Lines are separated, not ended, by a line break: no empty line below the last.
  if (std::exchange(FLogStarted, true)) {
    text.insert(0, L"\r\n");
  }
  GETTEXTLENGTHEX length{GTL_NUMCHARS | GTL_PRECISE, 1200};
  const auto end = static_cast<LONG>(
      SendMessageW(log, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&length), 0));
  CHARRANGE range{end, end};
  SendMessageW(log, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
  SendMessageW(log, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
}

void TEasySetupWindow::ScrollLogToEnd() {
  const HWND log = Control(idMemStatus);
  // Twice: a rich edit that has just grown can stop short of its end on the first request.
  SendMessageW(log, WM_VSCROLL, SB_BOTTOM, 0);
  SendMessageW(log, WM_VSCROLL, SB_BOTTOM, 0);
}

void TEasySetupWindow::SetEntryCount(int count) {
  SendMessageW(Control(idPbStatus), PBM_SETRANGE32, 0, count);
}

void TEasySetupWindow::StepEntries() {
  SendMessageW(Control(idPbStatus), PBM_DELTAPOS, 1, 0);
}

void TEasySetupWindow::SetFilePercent(int percent) {
  SendMessageW(Control(idPbCurrentProgress), PBM_SETPOS, static_cast<WPARAM>(percent), 0);
}

bool TEasySetupWindow::Ask(const std::string& question) {
  // No is the default, so that a stray Enter keeps going.
  return ShowMessageBox(question, {platform::TMessageButtons::YesNo,
                                   platform::TMessageIcon::Question, true}) ==
         platform::TMessageAnswer::Yes;
}

void TEasySetupWindow::ShowWarning(const std::string& text) {
  ShowMessageBox(text, {platform::TMessageButtons::Ok, platform::TMessageIcon::Warning});
}

void TEasySetupWindow::ShowError(const std::string& text) {
  ShowMessageBox(text, {platform::TMessageButtons::Ok, platform::TMessageIcon::Error});
}

void TEasySetupWindow::ShowMessage(const std::string& text) {
  ShowMessageBox(text, {});
}

platform::TMessageAnswer TEasySetupWindow::ShowMessageBox(const std::string& text,
                                                          platform::TMessageKind kind) {
  return platform::CurrentMessageBoxes::Get().Show(Handle(), text, kEasySetupCaption, kind);
}

void TEasySetupWindow::BlockSessionEnd(const std::string& reason) {
  // The reason only tells the user why; the block itself is the answer to the session's query,
  // so a system that keeps no reason (Wine) blocks all the same.
  ShutdownBlockReasonCreate(Window(), Wide(reason).c_str());
}

void TEasySetupWindow::AllowSessionEnd() {
  ShutdownBlockReasonDestroy(Window());
}

void TEasySetupWindow::ProcessMessages() {
  PumpWaitingMessages();
}

void TEasySetupWindow::Close() {
  if (FClosing || (OnCloseQuery && !OnCloseQuery())) {
    return;
  }
  FClosing = true;
  PostQuitMessage(0);
}

void TEasySetupWindow::Halt(int exitCode) {
  ExitProcess(static_cast<UINT>(exitCode));
}

void PumpWaitingMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace kv::app
