#include "app/win32/BaseWindow.h"

#include <gtest/gtest.h>

#include <vector>

#include "app/win32/WindowTesting.h"
#include "base/Exceptions.h"

namespace kv::app {
namespace {

constexpr wchar_t TestClass[] = L"TBaseWindowTest";
constexpr UINT WM_FAIL = WM_APP + 1;
constexpr UINT WM_ANSWER = WM_APP + 2;

// Answers WM_ANSWER with 42, fails on WM_FAIL and notes the handle it had at WM_CREATE.
class TProbeWindow final : public TBaseWindow {
 public:
  using TBaseWindow::Destroy;
  using TBaseWindow::Subclass;

  void CreateChild(HWND parent) {
    RegisterWindowClass(TestClass, 0);
    Create(TestClass, L"Probe", 0, WS_CHILD, {0, 0, 50, 20}, parent, 5);
  }

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    switch (message) {
      case WM_CREATE:
        HandleAtCreate = Handle();
        break;
      case WM_ANSWER:
        return 42;
      case WM_FAIL:
        throw Exception("Сбой окна");
    }
    return Default(message, wParam, lParam);
  }

  HWND HandleAtCreate = nullptr;
};

class BaseWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    Host = test::CreateHostWindow();
    if (!Host) {
      GTEST_SKIP() << test::NoWindowsReason;
    }
  }

  test::unique_hwnd Host;
};

TEST_F(BaseWindowTest, AWindowOfItsOwnClassIsBoundFromItsFirstMessages) {
  TProbeWindow probe;
  probe.CreateChild(Host.get());
  ASSERT_TRUE(IsWindow(probe.Handle()));
  EXPECT_EQ(probe.HandleAtCreate, probe.Handle());
  EXPECT_EQ(GetDlgItem(Host.get(), 5), probe.Handle());
  EXPECT_EQ(SendMessageW(probe.Handle(), WM_ANSWER, 0, 0), 42);
  // Unhandled messages get the system's default handling.
  wchar_t text[16] = {};
  GetWindowTextW(probe.Handle(), text, 16);
  EXPECT_STREQ(text, L"Probe");
}

TEST_F(BaseWindowTest, ASubclassedControlKeepsItsOwnHandling) {
  TProbeWindow probe;
  probe.Subclass(platform::win32::unique_hwnd(CreateWindowExW(
      0, L"STATIC", L"Надпись", WS_CHILD, 0, 0, 50, 20, Host.get(), nullptr, nullptr, nullptr)));
  ASSERT_TRUE(probe.Handle());
  EXPECT_EQ(SendMessageW(probe.Handle(), WM_ANSWER, 0, 0), 42);
  wchar_t text[16] = {};
  GetWindowTextW(probe.Handle(), text, 16);
  EXPECT_STREQ(text, L"Надпись");
}

// The window's owner and its parent may each end the window first.
TEST_F(BaseWindowTest, TheWindowEndsWithItsOwnerOrItsParent) {
  for (const bool subclassed : {false, true}) {
    SCOPED_TRACE(subclassed ? "subclassed" : "own class");
    HWND window = nullptr;
    {
      TProbeWindow probe;
      if (subclassed) {
        probe.Subclass(platform::win32::unique_hwnd(CreateWindowExW(
            0, L"STATIC", L"", WS_CHILD, 0, 0, 50, 20, Host.get(), nullptr, nullptr, nullptr)));
      } else {
        probe.CreateChild(Host.get());
      }
      window = probe.Handle();
    }
    EXPECT_FALSE(IsWindow(window));

    TProbeWindow probe;
    probe.CreateChild(Host.get());
    Host.reset();
    EXPECT_EQ(probe.Handle(), nullptr);
    Host = test::CreateHostWindow();
  }
}

// An error leaves no window procedure: it is reported with the window's top-level caption.
TEST_F(BaseWindowTest, AnErrorOfAHandlerIsReportedAndTheWindowGoesOn) {
  test::RecordingMessageBoxes boxes;
  platform::TScopedCurrent<platform::IMessageBoxes> scoped(boxes);
  TProbeWindow probe;
  probe.CreateChild(Host.get());
  EXPECT_EQ(SendMessageW(probe.Handle(), WM_FAIL, 0, 0), 0);
  ASSERT_EQ(boxes.Shown.size(), 1u);
  EXPECT_EQ(boxes.Shown[0].Text, "Сбой окна");
  EXPECT_EQ(boxes.Shown[0].Caption, "Host");
  EXPECT_EQ(boxes.Shown[0].Owner, platform::win32::WindowHandle(Host.get()));
  EXPECT_EQ(SendMessageW(probe.Handle(), WM_ANSWER, 0, 0), 42);
}

}  // namespace
}  // namespace kv::app
