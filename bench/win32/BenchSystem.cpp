#include "BenchSystem.h"

#include "platform/win32/Com.h"

#include <psapi.h>

#include <filesystem>
#include <stdexcept>
#include <string>

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
    throw std::runtime_error("xcopy could not start: error " + std::to_string(GetLastError()));
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

// Without the rights to flush a whole volume, each file on its own.
void FlushFileSystem(const std::string& folder) {
  for (const auto& entry : std::filesystem::recursive_directory_iterator(
           platform::win32::Wide(folder),
           std::filesystem::directory_options::skip_permission_denied)) {
    if (!entry.is_regular_file()) {
      continue;
    }
    const platform::win32::unique_hfile file(CreateFileW(
        entry.path().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) {
      FlushFileBuffers(file.get());
    }
  }
}

namespace {

PROCESS_MEMORY_COUNTERS MemoryCounters() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) {
    return {};
  }
  return counters;
}

}  // namespace

uint64_t ResidentMemoryBytes() {
  return MemoryCounters().WorkingSetSize;
}

// The peak working set cannot be reset: each case reports the peak so far.
void ResetPeakMemory() {}

uint64_t PeakMemoryBytes() {
  return MemoryCounters().PeakWorkingSetSize;
}

std::string ResourceCounts() {
  DWORD handles = 0;
  GetProcessHandleCount(GetCurrentProcess(), &handles);
  return std::to_string(handles) + " handles, " +
         std::to_string(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS)) + " GDI and " +
         std::to_string(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS)) + " USER objects";
}

}  // namespace kv::bench
