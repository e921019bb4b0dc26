#pragma once
// Where the Win32 tests find their fixture programs: the build copies them next to the test
// program.

#include <string>

#include "platform/win32/Win32.h"

namespace kv::test {

// The folder of the running test program, with a trailing backslash.
inline std::string FixtureFolder() {
  wchar_t buffer[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  std::string path = platform::win32::Narrow({buffer, length});
  return path.substr(0, path.find_last_of('\\') + 1);
}

}  // namespace kv::test
