#include "support/ChildProcess.h"

#include "platform/win32/Handles.h"

namespace kv::test {

int RunProgram(const std::string& program, const std::vector<std::string>& args) {
  std::string line = "\"" + program + "\"";
  for (const std::string& arg : args) {
    line += " \"" + arg + "\"";
  }
  std::wstring commandLine = platform::win32::Wide(line);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return -1;
  }
  const platform::win32::unique_handle processHandle(process.hProcess);
  const platform::win32::unique_handle threadHandle(process.hThread);
  DWORD exitCode = 0;
  if (WaitForSingleObject(process.hProcess, INFINITE) != WAIT_OBJECT_0 ||
      !GetExitCodeProcess(process.hProcess, &exitCode)) {
    return -1;
  }
  return static_cast<int>(exitCode);
}

void KillThisProcess() {
  TerminateProcess(GetCurrentProcess(), kKilledExitCode);
  ExitProcess(kKilledExitCode);  // not reached: the process ends in the call above
}

}  // namespace kv::test
