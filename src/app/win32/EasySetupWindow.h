#pragma once
// The wizard's window on Windows: a fixed 694 x 497 dialog with every control of the layout
// (EasySetupControls.h), implementing the wizard's view. Pictures and labels are light child
// windows that draw the window's background under themselves, so labels are transparent over
// the pictures; all painting goes through an off-screen bitmap.

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "app/EasySetupView.h"
#include "app/win32/Artwork.h"
#include "app/win32/BaseWindow.h"
#include "app/win32/KVCheckedTreeView.h"

namespace kv::app {

// A colour in the window system's blue-green-red encoding; a top byte 0xFF marks a system colour.
using TColor = uint32_t;
constexpr TColor clWindowText = 0xFF000008;
// The caption colour of a disabled button.
constexpr TColor kDisabledLabelColour = 0x706860;

// The two faces of an image button.
enum class TButtonFace { Normal, Pressed };

class TEasySetupWindow final : public IEasySetupView, private TBaseWindow {
 public:
  // The events of a picture or a label, as the form binds them.
  struct TGraphicEvents {
    std::function<void()> OnClick;
    std::function<void()> OnDblClick;
    std::function<void(TMouseButton)> OnMouseDown;
    std::function<void(TMouseButton)> OnMouseUp;
  };

  // Creates the window, hidden, with all its controls.
  explicit TEasySetupWindow(TEasySetupArtwork artwork);
  ~TEasySetupWindow() override;
  TEasySetupWindow(const TEasySetupWindow&) = delete;
  TEasySetupWindow& operator=(const TEasySetupWindow&) = delete;

  // The events of a picture or a label by its control id (idImage2, idImage3, idLblNext or
  // idLblCancel).
  TGraphicEvents& Events(int id);
  // The caption colour of a label by its control id.
  TColor LabelColour(int id) const;
  // Asked before the window closes (title bar, Alt+F4, Close); the window closes when it answers
  // true or is not set.
  std::function<bool()> OnCloseQuery;
  // Asked before the session (log-off, shut-down) ends: whether it may; it may when not set.
  std::function<bool()> OnQueryEndSession;
  // The session ends: runs before the window answers, as the process may end right after.
  std::function<void()> OnEndSession;

  // Runs work as the window's handlers run: an error it raises goes to the error report.
  void Perform(const std::function<void()>& work);
  void Show(int showCommand);
  // Runs the message loop until the window closes, then destroys the window.
  void Run();

  void Show(TViewPart part, bool shown) override;
  void SetStatus(const std::string& text) override;
  void SetTreeCaption(const std::string& text) override;
  void SetFinishText(const std::string& text) override;
  void SetNextCaption(const std::string& text) override;
  void SetEnabled(TWizardButton button, bool enabled) override;
  void ShowPressed(TWizardButton button, bool pressed) override;
  void AppendLog(const std::string& line) override;
  void ScrollLogToEnd() override;
  void SetEntryCount(int count) override;
  void StepEntries() override;
  void SetFilePercent(int percent) override;
  bool Ask(const std::string& question) override;
  void ShowWarning(const std::string& text) override;
  void ShowError(const std::string& text) override;
  void ShowMessage(const std::string& text) override;
  void BlockSessionEnd(const std::string& reason) override;
  void AllowSessionEnd() override;
  void ProcessMessages() override;
  void Close() override;
  [[noreturn]] void Halt(int exitCode) override;
  platform::TWindowHandle Handle() const override {
    return platform::win32::WindowHandle(Window());
  }
  ICheckedTree& Tree() override { return *FTree; }

 private:
  // A picture or a label: a child window that the scene paints.
  struct TGraphic final : TBaseWindow {
    using TBaseWindow::Create;
    using TBaseWindow::Default;
    using TBaseWindow::Handle;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
      return Owner->HandleGraphicMessage(*this, message, wParam, lParam);
    }

    TEasySetupWindow* Owner = nullptr;
    int Id = 0;
    bool IsLabel = false;
    HFONT Font = nullptr;
    TColor Colour = 0;
    UINT Format = 0;        // DrawText flags of a label
    bool AutoSize = false;  // a label as wide and high as its text
    TButtonFace Face = TButtonFace::Normal;
    TGraphicEvents Events;
    bool Pressed = false;  // the left button went down here and is not up yet
  };

  HWND Window() const { return TBaseWindow::Handle(); }
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  LRESULT HandleGraphicMessage(TGraphic& graphic, UINT message, WPARAM wParam, LPARAM lParam);
  void CreateControls();
  void CreateGraphic(TGraphic& graphic, int id, const wchar_t* className, RECT bounds,
                     const std::string& text);
  HWND CreateControl(int id, const wchar_t* className, DWORD exStyle, DWORD style, RECT bounds);
  // The window's content under area (window coordinates): the background, then the visible
  // pictures and labels.
  void PaintScene(HDC dc, const RECT& area) const;
  void PaintGraphic(HDC dc, const TGraphic& graphic) const;
  // Repaints what lies under the graphic, as it is now and as it was (before).
  void Repaint(const TGraphic& graphic, const RECT& before) const;
  RECT BoundsOf(const TGraphic& graphic) const;
  void FitToText(TGraphic& graphic);
  // The picture or label by control id; null for a windowed control.
  TGraphic* FindGraphic(int id);
  TGraphic& Graphic(int id);
  const TGraphic& Graphic(int id) const;
  HWND Control(int id) const;
  void SetVisible(int id, bool visible);
  void SetText(int id, const std::string& text);
  void SetLabelColour(int id, TColor colour);
  platform::TMessageAnswer ShowMessageBox(const std::string& text, platform::TMessageKind kind);

  TEasySetupArtwork FArtwork;
  platform::win32::unique_hfont FFont;      // Tahoma 8 pt, the window's default
  platform::win32::unique_hfont FBoldFont;  // MS Sans Serif 8 pt bold, the heading's
  platform::win32::unique_hmodule FRichEdit;
  // In painting order: Label1, Label2, Image2, lblCancel, Image3, lblNext, lblStatus,
  // lblShortCuts, lblFinish.
  std::array<TGraphic, 9> FGraphics;
  std::map<int, HWND> FControls;  // the windowed controls by id
  std::unique_ptr<TKVCheckedTreeView> FTree;
  bool FLogStarted = false;  // the log holds a line
  bool FClosing = false;
};

// Runs the messages waiting in this thread's queue; a quit request stays there for the main loop.
void PumpWaitingMessages();

}  // namespace kv::app
