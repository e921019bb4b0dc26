#include "app/win32/Console.h"

#include "platform/win32/Handles.h"
#include "platform/win32/Win32.h"

namespace kv::app {

namespace {

bool WriteTo(HANDLE output, const std::string& line) {
  DWORD mode = 0;
  DWORD written = 0;
  if (GetConsoleMode(output, &mode)) {
    const std::wstring wide = platform::win32::Wide(line);
    return WriteConsoleW(output, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr) !=
           0;
  }
  // A pipe or a file: UTF-8 bytes.
  return WriteFile(output, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) != 0;
}

}  // namespace

bool WriteToConsole(const std::string& text) {
  const std::string line = text + "\r\n";
  const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  if (error && error != INVALID_HANDLE_VALUE && WriteTo(error, line)) {
    return true;
  }
  if (!AttachConsole(ATTACH_PARENT_PROCESS)) {
    return false;
  }
  const platform::win32::unique_hfile console(CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                                          FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                                          0, nullptr));
  return console && WriteTo(console.get(), line);
}

}  // namespace kv::app
