#include "platform/System.h"

#include <gtest/gtest.h>

#include <regex>

#include "platform/Files.h"
#include "platform/win32/Handles.h"
#include "support/Win32Fixtures.h"

namespace kv::platform {
namespace {

TEST(SystemTest, NewGuidsAreRandomAndInRegistryForm) {
  TGUID a;
  TGUID b;
  ASSERT_EQ(CreateGuid(a), 0);
  ASSERT_EQ(CreateGuid(b), 0);
  EXPECT_NE(a, b);
  // Version 4 and variant 10 show that each field landed where the system put it.
  const std::regex form(
      "\\{[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}\\}");
  EXPECT_TRUE(std::regex_match(a.ToString(), form)) << a.ToString();
}

TEST(SystemTest, ErrorMessagesHaveNoTrailingLineBreak) {
  for (const DWORD code : {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION}) {
    SCOPED_TRACE(code);
    const std::string message = SystemErrorMessage(code);
    ASSERT_FALSE(message.empty());
    EXPECT_EQ(message.find_last_of("\r\n"), std::string::npos) << message;
    EXPECT_NE(message.back(), ' ') << message;
    EXPECT_EQ(ResultCodeMessage(HRESULT_FROM_WIN32(code)), message);
  }
  EXPECT_NE(SystemErrorMessage(ERROR_FILE_NOT_FOUND), SystemErrorMessage(ERROR_ACCESS_DENIED));
}

TEST(SystemTest, MessagesForCodesTheSystemDoesNotKnow) {
  EXPECT_EQ(SystemErrorMessage(0x2000BEEF), "Unknown error 536919791");
  EXPECT_EQ(ResultCodeMessage(static_cast<int32_t>(0xA000BEEF)), "Error 2684403439");
}

// A child program writes back the arguments it finds, so that they come from a real command line.
TEST(SystemTest, CommandLineArgsSplitAndConvertTheCommandLine) {
  const std::string output = TempFolder() + "kv_args.txt";
  std::wstring commandLine =
      win32::Wide("\"" + test::FixtureFolder() + "printargs.exe\" \"" + output +
                  R"(" "Калвор Divir" -cfg:http://host/a "" say\"hi\")");
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &process));
  const win32::unique_handle processHandle(process.hProcess);
  const win32::unique_handle threadHandle(process.hThread);
  ASSERT_EQ(WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);

  auto file = OpenFile(output, TFileOpenMode::OpenRead);
  std::string text(static_cast<size_t>(file->Size()), '\0');
  file->Read(text.data(), file->Size());
  file.reset();
  DeleteFile(output);
  EXPECT_EQ(text, "Калвор Divir\n-cfg:http://host/a\n\nsay\"hi\"\n");
}

}  // namespace
}  // namespace kv::platform
