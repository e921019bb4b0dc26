#pragma once
// What the Win32 tests find on the machine: their fixture programs (the build copies them next to
// the test program), the folders a run left, the user's desktop.

#include <set>
#include <string>

#include "platform/Files.h"
#include "platform/win32/Win32.h"

namespace kv::test {

// The folder of the running test program, with a trailing backslash.
inline std::string FixtureFolder() {
  wchar_t buffer[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  std::string path = platform::win32::Narrow({buffer, length});
  return path.substr(0, path.find_last_of('\\') + 1);
}

// The names of the folders inside folder; none when it is not there.
inline std::set<std::string> Subfolders(const std::string& folder) {
  std::set<std::string> names;
  if (!platform::DirectoryExists(folder)) {
    return names;
  }
  for (const platform::TFileEntry& entry : platform::FindFiles(folder, "*.*")) {
    if (entry.IsDirectory && entry.Name != "." && entry.Name != "..") {
      names.insert(entry.Name);
    }
  }
  return names;
}

// The current user's desktop folder as the shell records it.
inline std::string DesktopFolder() {
  wchar_t buffer[MAX_PATH] = {};
  DWORD size = sizeof(buffer);
  if (RegGetValueW(HKEY_CURRENT_USER,
                   L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                   L"Desktop", RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS) {
    return "";
  }
  return platform::win32::Narrow(buffer);
}

}  // namespace kv::test
