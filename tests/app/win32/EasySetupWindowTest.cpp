#include "app/win32/EasySetupWindow.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/win32/EasySetupControls.h"
#include "app/win32/WindowTesting.h"

namespace kv::app {
namespace {

using namespace win32;
using platform::win32::Narrow;
using platform::win32::unique_hbitmap;
using platform::win32::unique_hdc;
using platform::win32::unique_hdc_window;
using platform::win32::unique_select_object;

constexpr COLORREF BackgroundColour = RGB(10, 20, 30);
constexpr COLORREF NormalFaceColour = RGB(200, 210, 220);
constexpr COLORREF PressedFaceColour = RGB(120, 130, 140);

unique_hbitmap SolidBitmap(int width, int height, COLORREF colour) {
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(info.bmiHeader), width, -height, 1, 32, BI_RGB};
  void* bits = nullptr;
  unique_hbitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  const DWORD pixel = (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
  std::fill_n(static_cast<DWORD*>(bits), width * height, pixel);
  return bitmap;
}

// The window, hidden, with artwork of plain colours.
class EasySetupWindowTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_TREEVIEW_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&classes);
  }

  void SetUp() override {
    if (!test::CreateHostWindow()) {
      GTEST_SKIP() << test::NoWindowsReason;
    }
    TEasySetupArtwork artwork;
    artwork.Background = SolidBitmap(694, 497, BackgroundColour);
    artwork.NormalFace = SolidBitmap(77, 25, NormalFaceColour);
    artwork.PressedFace = SolidBitmap(77, 25, PressedFaceColour);
    Window = std::make_unique<TEasySetupWindow>(std::move(artwork));
  }

  void TearDown() override {
    Window.reset();
    // A close leaves its quit request in the queue; the next test starts without it.
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
  }

  HWND Handle() const { return platform::win32::HandleOf(Window->Handle()); }
  HWND Item(int id) const { return GetDlgItem(Handle(), id); }

  static std::string TextOf(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return Narrow(text);
  }

  // The colour a control shows at a point of its client area, as it paints itself.
  COLORREF PixelOf(int id, POINT at) const {
    const HWND control = Item(id);
    RECT client;
    GetClientRect(control, &client);
    const unique_hdc_window screen(nullptr);
    const unique_hdc memory(CreateCompatibleDC(screen.get()));
    const unique_hbitmap bitmap(CreateCompatibleBitmap(screen.get(), client.right, client.bottom));
    const unique_select_object selected(memory.get(), bitmap.get());
    SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory.get()), PRF_CLIENT);
    return GetPixel(memory.get(), at.x, at.y);
  }

  static bool QuitPosted() {
    MSG message;
    return PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE);
  }

  std::unique_ptr<TEasySetupWindow> Window;
};

// Labels are transparent: the next button's caption shows the button's face around its text,
// and the face the wizard picks; a label over the background shows the background.
TEST_F(EasySetupWindowTest, LabelsShowWhatLiesUnderThem) {
  const POINT corner{0, 0};
  EXPECT_EQ(PixelOf(idLblNext, corner), NormalFaceColour);
  EXPECT_EQ(PixelOf(idImage3, corner), NormalFaceColour);
  Window->ShowPressed(TWizardButton::Next, true);
  EXPECT_EQ(PixelOf(idLblNext, corner), PressedFaceColour);
  EXPECT_EQ(PixelOf(idImage3, {70, 20}), PressedFaceColour);
  EXPECT_EQ(PixelOf(idLblCancel, corner), NormalFaceColour);
  Window->ShowPressed(TWizardButton::Next, false);
  EXPECT_EQ(PixelOf(idImage3, {70, 20}), NormalFaceColour);

  Window->Show(TViewPart::Status, true);
  Window->SetStatus("C:\\Папка\\файл.txt");
  EXPECT_EQ(PixelOf(idLblStatus, {467, 12}), BackgroundColour);
}

// A label as large as its text follows a new caption; the status line keeps its size.
TEST_F(EasySetupWindowTest, LabelsFitTheirText) {
  const auto widthOf = [&](int id) {
    RECT rect;
    GetWindowRect(Item(id), &rect);
    return rect.right - rect.left;
  };
  const int finished = widthOf(idLblFinish);
  Window->SetFinishText("Готово");
  EXPECT_LT(widthOf(idLblFinish), finished / 3);
  Window->SetStatus(std::string(300, 'x'));
  EXPECT_EQ(widthOf(idLblStatus), 468);
  EXPECT_EQ(TextOf(Item(idLblStatus)), std::string(300, 'x'));
}

// A disabled button shows its caption in grey; enabled again, in the window-text colour.
TEST_F(EasySetupWindowTest, ButtonCaptionsStartInTheWindowTextColour) {
  EXPECT_EQ(Window->LabelColour(idLblNext), clWindowText);
  EXPECT_EQ(Window->LabelColour(idLblCancel), clWindowText);
  Window->SetEnabled(TWizardButton::Cancel, false);
  EXPECT_EQ(Window->LabelColour(idLblCancel), kDisabledLabelColour);
  EXPECT_EQ(Window->LabelColour(idLblNext), clWindowText);
  Window->SetEnabled(TWizardButton::Next, false);
  Window->SetEnabled(TWizardButton::Next, true);
  EXPECT_EQ(Window->LabelColour(idLblNext), clWindowText);
}

// What the mouse does on a picture or a label, as events in order.
TEST_F(EasySetupWindowTest, MouseMessagesBecomeClicksAndPresses) {
  struct TCase {
    const char* Name;
    std::vector<std::pair<UINT, POINT>> Messages;
    std::string Expected;
  };
  const POINT inside{5, 5};
  const POINT outside{-20, 5};
  const TCase cases[] = {
      {"click", {{WM_LBUTTONDOWN, inside}, {WM_LBUTTONUP, inside}}, "down(L) click up(L) "},
      {"double click",
       {{WM_LBUTTONDOWN, inside},
        {WM_LBUTTONUP, inside},
        {WM_LBUTTONDBLCLK, inside},
        {WM_LBUTTONUP, inside}},
       "down(L) click up(L) dblclick down(L) up(L) "},
      {"released elsewhere", {{WM_LBUTTONDOWN, inside}, {WM_LBUTTONUP, outside}}, "down(L) up(L) "},
      {"right button", {{WM_RBUTTONDOWN, inside}, {WM_RBUTTONUP, inside}}, "down(R) up(R) "},
  };
  for (int id : {idLblNext, idImage2}) {
    std::string events;
    const auto name = [](TMouseButton button) {
      return button == TMouseButton::Left ? "L" : button == TMouseButton::Right ? "R" : "M";
    };
    TEasySetupWindow::TGraphicEvents& handlers = Window->Events(id);
    handlers.OnClick = [&] { events += "click "; };
    handlers.OnDblClick = [&] { events += "dblclick "; };
    handlers.OnMouseDown = [&](TMouseButton button) {
      events += std::string("down(") + name(button) + ") ";
    };
    handlers.OnMouseUp = [&](TMouseButton button) {
      events += std::string("up(") + name(button) + ") ";
    };
    const HWND target = Item(id);
    for (const TCase& c : cases) {
      events.clear();
      for (const auto& [message, at] : c.Messages) {
        SendMessageW(target, message, 0, MAKELPARAM(at.x, at.y));
      }
      EXPECT_EQ(events, c.Expected) << c.Name;
    }
  }
}

// An error out of a handler goes to one message box with the application title; the window
// goes on, and a silent abort shows nothing.
TEST_F(EasySetupWindowTest, AnErrorOfAHandlerIsShownAndTheWindowGoesOn) {
  test::RecordingMessageBoxes boxes;
  platform::TScopedCurrent<platform::IMessageBoxes> scoped(boxes);
  struct TCase {
    std::function<void()> Fail;
    std::vector<std::string> Expected;
  };
  const TCase cases[] = {
      {[] { throw EOSError("Отказано в доступе", 5); }, {"Отказано в доступе"}},
      {[] { throw std::runtime_error("bad"); }, {"bad"}},
      {[] { throw 42; }, {"Неизвестная ошибка."}},
      {[] { throw EAbort("silent"); }, {}},
  };
  for (const TCase& c : cases) {
    boxes.Shown.clear();
    Window->Events(idImage3).OnClick = c.Fail;
    SendMessageW(Item(idImage3), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    SendMessageW(Item(idImage3), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    std::vector<std::string> texts;
    for (const auto& shown : boxes.Shown) {
      texts.push_back(shown.Text);
      EXPECT_EQ(shown.Caption, kEasySetupCaption);
      EXPECT_EQ(shown.Owner, Window->Handle());
      EXPECT_EQ(shown.Type, (platform::TMessageKind{platform::TMessageButtons::Ok,
                                                    platform::TMessageIcon::Error}));
    }
    EXPECT_EQ(texts, c.Expected);
  }
  EXPECT_TRUE(IsWindow(Handle()));

  boxes.Shown.clear();
  Window->Perform([] { throw Exception("При создании"); });
  ASSERT_EQ(boxes.Shown.size(), 1u);
  EXPECT_EQ(boxes.Shown[0].Text, "При создании");
}

// Each kind of message box, with the application title and owned by the window; a question
// is answered yes only by Yes.
TEST_F(EasySetupWindowTest, MessageBoxesCarryTheApplicationTitle) {
  test::RecordingMessageBoxes boxes;
  platform::TScopedCurrent<platform::IMessageBoxes> scoped(boxes);
  EXPECT_FALSE(Window->Ask("Вопрос"));
  boxes.Answer = platform::TMessageAnswer::Yes;
  EXPECT_TRUE(Window->Ask("Вопрос"));
  Window->ShowWarning("Предупреждение");
  Window->ShowError("Ошибка");
  Window->ShowMessage("Текст");
  using platform::TMessageButtons, platform::TMessageIcon;
  const platform::TMessageKind question{TMessageButtons::YesNo, TMessageIcon::Question, true};
  const std::vector<std::pair<std::string, platform::TMessageKind>> expected = {
      {"Вопрос", question},
      {"Вопрос", question},
      {"Предупреждение", {TMessageButtons::Ok, TMessageIcon::Warning}},
      {"Ошибка", {TMessageButtons::Ok, TMessageIcon::Error}},
      {"Текст", {}},
  };
  ASSERT_EQ(boxes.Shown.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(boxes.Shown[i].Text, expected[i].first);
    EXPECT_EQ(boxes.Shown[i].Type, expected[i].second) << i;
    EXPECT_EQ(boxes.Shown[i].Caption, kEasySetupCaption);
    EXPECT_EQ(boxes.Shown[i].Owner, Window->Handle());
  }
  EXPECT_EQ(TextOf(Handle()), kEasySetupCaption);
}

// Closing asks the close query; the window closes (the message loop ends) only when it agrees.
TEST_F(EasySetupWindowTest, CloseGoesThroughTheCloseQuery) {
  int asked = 0;
  bool agree = false;
  Window->OnCloseQuery = [&] {
    ++asked;
    return agree;
  };
  SendMessageW(Handle(), WM_CLOSE, 0, 0);
  EXPECT_EQ(asked, 1);
  EXPECT_FALSE(QuitPosted());

  // Messages let through by the wizard's work reach the window; the close it asks for waits
  // for the main loop.
  agree = true;
  PostMessageW(Handle(), WM_CLOSE, 0, 0);
  Window->ProcessMessages();
  EXPECT_EQ(asked, 2);
  EXPECT_TRUE(QuitPosted());
  Window->ProcessMessages();
  EXPECT_TRUE(QuitPosted());

  Window->Close();  // closing already: not asked again
  EXPECT_EQ(asked, 2);
  Window->Run();
  EXPECT_FALSE(IsWindow(Handle()));
}

// Lines are separated by line breaks, with none after the last; an empty line stays a line.
TEST_F(EasySetupWindowTest, TheLogAppendsLines) {
  const HWND log = Item(idMemStatus);
  Window->AppendLog("Создана директория");
  Window->AppendLog("");
  Window->AppendLog("Файл \"a\" обновлен.");
  EXPECT_EQ(TextOf(log), "Создана директория\r\n\r\nФайл \"a\" обновлен.");
  EXPECT_EQ(SendMessageW(log, EM_GETLINECOUNT, 0, 0), 3);
}

TEST_F(EasySetupWindowTest, TheLogScrollsToItsLastLine) {
  Window->Show(TViewPart::Log, true);
  for (int i = 0; i < 100; ++i) {
    Window->AppendLog("Файл " + std::to_string(i));
  }
  const HWND log = Item(idMemStatus);
  SendMessageW(log, WM_VSCROLL, SB_TOP, 0);
  ASSERT_EQ(SendMessageW(log, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
  Window->ScrollLogToEnd();
  EXPECT_GT(SendMessageW(log, EM_GETFIRSTVISIBLELINE, 0, 0), 75);  // about 20 lines show
}

TEST_F(EasySetupWindowTest, ProgressStepsByOne) {
  Window->SetEntryCount(5);
  Window->StepEntries();
  Window->StepEntries();
  EXPECT_EQ(SendMessageW(Item(idPbStatus), PBM_GETPOS, 0, 0), 2);
  EXPECT_EQ(SendMessageW(Item(idPbStatus), PBM_GETRANGE, FALSE, 0), 5);
  EXPECT_EQ(SendMessageW(Item(idPbCurrentProgress), PBM_GETRANGE, FALSE, 0), 100);
  Window->SetFilePercent(57);
  EXPECT_EQ(SendMessageW(Item(idPbCurrentProgress), PBM_GETPOS, 0, 0), 57);
}

// Each part of the pages shows and hides its controls.
TEST_F(EasySetupWindowTest, PartsShowTheirControls) {
  const std::pair<TViewPart, std::vector<int>> parts[] = {
      {TViewPart::Welcome, {idMemInfo}},
      {TViewPart::Log, {idMemStatus}},
      {TViewPart::Status, {idLblStatus}},
      {TViewPart::Progress, {idPbStatus, idPbCurrentProgress}},
      {TViewPart::TreeCaption, {idLblShortCuts}},
      {TViewPart::Tree, {idTvShortCuts}},
      {TViewPart::Finish, {idLblFinish}},
  };
  for (const auto& [part, ids] : parts) {
    for (bool shown : {true, false}) {
      Window->Show(part, shown);
      for (int id : ids) {
        EXPECT_EQ((GetWindowLongPtrW(Item(id), GWL_STYLE) & WS_VISIBLE) != 0, shown) << id;
      }
    }
  }
  Window->SetTreeCaption("Папки");
  Window->SetNextCaption("Готово");
  EXPECT_EQ(TextOf(Item(idLblShortCuts)), "Папки");
  EXPECT_EQ(TextOf(Item(idLblNext)), "Готово");
}

// A node whose image waits until it is shown gets it from the image event when the tree draws
// it, and keeps it: the event is asked once. A node with its own image is never asked for.
TEST_F(EasySetupWindowTest, TheTreeAsksForAnImageWhenItFirstDrawsTheNode) {
  const HIMAGELIST images = ImageList_Create(16, 16, ILC_COLOR32, 8, 0);
  ImageList_SetImageCount(images, 8);
  ICheckedTree& tree = Window->Tree();
  tree.SetImageList(platform::win32::ImageListHandle(images));
  std::vector<std::string> asked;
  tree.SetOnGetImageIndex([&](TTreeNode node) {
    asked.push_back(tree.Text(node));
    return 5;
  });
  const TTreeNode later = tree.AddChild(nullptr, "Смета.exe", kImageWhenShown, 0);
  tree.AddChild(nullptr, "Папка", 3, 1);
  EXPECT_TRUE(asked.empty());

  Window->Show(TViewPart::Tree, true);
  for (int draw = 0; draw < 2; ++draw) {
    PixelOf(idTvShortCuts, {1, 1});
  }
  EXPECT_EQ(asked, std::vector<std::string>{"Смета.exe"});
  TVITEMW item{};
  item.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE;
  item.hItem = reinterpret_cast<HTREEITEM>(later);
  SendMessageW(Item(idTvShortCuts), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
  EXPECT_EQ(item.iImage, 5);
  EXPECT_EQ(item.iSelectedImage, 5);
  EXPECT_EQ(asked.size(), 1u);
  Window.reset();
  ImageList_Destroy(images);
}

// The session's query gets the form's answer, and only a session that really ends reaches the
// form. The block's reason is the system's to show; Wine keeps none to read back.
TEST_F(EasySetupWindowTest, TheSessionsEndGoesToTheForm) {
  EXPECT_EQ(SendMessageW(Handle(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
  bool mayEnd = false;
  int ends = 0;
  Window->OnQueryEndSession = [&] { return mayEnd; };
  Window->OnEndSession = [&] { ++ends; };
  EXPECT_EQ(SendMessageW(Handle(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), FALSE);
  mayEnd = true;
  EXPECT_EQ(SendMessageW(Handle(), WM_QUERYENDSESSION, 0, 0), TRUE);
  SendMessageW(Handle(), WM_ENDSESSION, FALSE, 0);
  EXPECT_EQ(ends, 0);
  SendMessageW(Handle(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
  EXPECT_EQ(ends, 1);
}

}  // namespace
}  // namespace kv::app
