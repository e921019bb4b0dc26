// The checks of failed calls and the typed handles of the Win32 backend.
#include "platform/win32/Win32.h"

#include <gtest/gtest.h>

#include <functional>

#include "support/TempFolder.h"

namespace kv::platform::win32 {
namespace {

TEST(Win32ChecksTest, AFailedCallRaisesTheCodeItLeft) {
  test::TTempFolder temp;
  const std::string missing = temp.Path("Нет\\файла.txt");
  const auto open = [&] {
    return CreateFileW(Wide(missing).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  };
  struct Case {
    const char* name;
    std::function<void()> call;
    uint32_t code;
    std::string message;
  };
  const Case cases[] = {
      {"last error", [&] { CheckLastError(open() != INVALID_HANDLE_VALUE); }, ERROR_PATH_NOT_FOUND,
       SystemErrorMessage(ERROR_PATH_NOT_FOUND)},
      {"last error, naming the path",
       [&] { CheckLastError(open() != INVALID_HANDLE_VALUE, missing); }, ERROR_PATH_NOT_FOUND,
       SystemErrorMessage(ERROR_PATH_NOT_FOUND) + ": " + missing},
      // Some calls fail without a code; the system's text for 0 would read as success.
      {"no code",
       [] {
         SetLastError(ERROR_SUCCESS);
         CheckLastError(FALSE);
       },
       0, "A call to an OS function failed"},
      {"COM result", [] { CheckResult(E_NOINTERFACE); }, static_cast<uint32_t>(E_NOINTERFACE),
       ResultCodeMessage(E_NOINTERFACE)},
      {"COM result, naming the path", [&] { CheckResult(E_ACCESSDENIED, missing); },
       static_cast<uint32_t>(E_ACCESSDENIED), ResultCodeMessage(E_ACCESSDENIED) + ": " + missing},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      c.call();
      ADD_FAILURE() << "no error";
    } catch (const EOSError& e) {
      EXPECT_EQ(e.ErrorCode(), c.code);
      EXPECT_EQ(e.Message(), c.message);
    }
  }
}

TEST(Win32ChecksTest, ASucceededCallGivesItsResultBack) {
  EXPECT_EQ(CheckLastError(GetCurrentProcessId()), GetCurrentProcessId());
  EXPECT_NO_THROW(CheckResult(S_FALSE));
}

TEST(Win32HandlesTest, TypedHandlesKeepTheSystemsValue) {
  const auto window = reinterpret_cast<HWND>(uintptr_t{0x10A2});
  EXPECT_EQ(HandleOf(WindowHandle(window)), window);
  EXPECT_EQ(HandleOf(TWindowHandle::None), nullptr);
  const auto list = reinterpret_cast<HIMAGELIST>(uintptr_t{0x1C0});
  EXPECT_EQ(HandleOf(ImageListHandle(list)), list);
}

}  // namespace
}  // namespace kv::platform::win32
