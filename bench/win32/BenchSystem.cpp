#include "BenchSystem.h"

#include "platform/win32/Com.h"

#include <psapi.h>

#include <stdexcept>

namespace kv::bench {

void InitializeAsTheWizard() {
  platform::win32::EnsureComInitialized();
}

void CopyTree(const std::string& source, const std::string& target) {
  std::wstring command = L"xcopy \"" + platform::win32::Wide(source) + L"*\" \"" +
                         platform::win32::Wide(target) + L"\" /E /I /Q /Y /H /K";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                      nullptr, &startup, &process)) {
    throw std::runtime_error("xcopy could not start");
  }
  const platform::win32::unique_handle processHandle(process.hProcess);
  const platform::win32::unique_handle threadHandle(process.hThread);
  WaitForSingleObject(processHandle.get(), INFINITE);
  DWORD exitCode = 1;
  GetExitCodeProcess(processHandle.get(), &exitCode);
  if (exitCode != 0) {
    throw std::runtime_error("xcopy failed: " + source + " " + target);
  }
}

const char* CopyToolName() {
  return "xcopy";
}

// Each file is closed after its copy; the cache writes it out on its own.
void FlushFileSystem() {}

// The peak working set cannot be reset: each case reports the peak so far.
void ResetPeakMemory() {}

uint64_t PeakMemoryBytes() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  return GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)
             ? counters.PeakWorkingSetSize
             : 0;
}

std::string ResourceCounts() {
  DWORD handles = 0;
  GetProcessHandleCount(GetCurrentProcess(), &handles);
  return std::to_string(handles) + " handles, " +
         std::to_string(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS)) + " GDI and " +
         std::to_string(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS)) + " USER objects";
}

}  // namespace kv::bench
