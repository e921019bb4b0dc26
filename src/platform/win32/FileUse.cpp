#include "platform/FileUse.h"

#include "platform/win32/Handles.h"

#include <restartmanager.h>

namespace kv::platform {
namespace {

// Ends a Restart Manager session on leaving the scope.
class TRmSession {
 public:
  explicit TRmSession(DWORD session) : FSession(session) {}
  ~TRmSession() { RmEndSession(FSession); }
  TRmSession(const TRmSession&) = delete;
  TRmSession& operator=(const TRmSession&) = delete;

 private:
  DWORD FSession;
};

// Another handle's share mode refuses ours.
bool IsSharingRefusal(DWORD code) {
  return code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION;
}

// Opens the file as the update would need it, and says whether a program's share mode refused.
bool RefusedOpening(const std::string& file, DWORD access, DWORD share) {
  const win32::unique_hfile handle(CreateFileW(win32::Wide(file).c_str(), access, share, nullptr,
                                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return !handle && IsSharingRefusal(GetLastError());
}

class Win32FileUse final : public IFileUse {
 public:
  std::optional<int64_t> FreeBytes(const std::string& path) override {
    std::wstring folder = win32::Wide(path);
    ULARGE_INTEGER available{};
    while (!GetDiskFreeSpaceExW(folder.c_str(), &available, nullptr, nullptr)) {
      const size_t separator =
          folder.size() < 2 ? std::wstring::npos : folder.find_last_of(L"\\/", folder.size() - 2);
      if (separator == std::wstring::npos) {
        return std::nullopt;
      }
      folder.resize(separator + 1);
    }
    return static_cast<int64_t>(available.QuadPart);
  }

  // The update moves the file into its backup; where that is refused it copies the file there and
  // writes over it in place. Only when both are refused does the file stay old.
  bool IsBlocked(const std::string& file) override {
    constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    if (!RefusedOpening(file, DELETE, kShareAll)) {
      return false;
    }
    return RefusedOpening(file, GENERIC_READ, FILE_SHARE_READ) ||
           RefusedOpening(file, GENERIC_WRITE, FILE_SHARE_WRITE);
  }

  // The Restart Manager knows which processes keep a file open.
  std::vector<std::string> Holders(const std::string& file) override {
    DWORD session = 0;
    WCHAR key[CCH_RM_SESSION_KEY + 1]{};
    if (RmStartSession(&session, 0, key) != ERROR_SUCCESS) {
      return {};
    }
    const TRmSession owned(session);
    const std::wstring wide = win32::Wide(file);
    LPCWSTR files[] = {wide.c_str()};
    if (RmRegisterResources(session, 1, files, 0, nullptr, 0, nullptr) != ERROR_SUCCESS) {
      return {};
    }
    std::vector<RM_PROCESS_INFO> processes;
    UINT needed = 0;
    DWORD reasons = 0;
    for (DWORD result = ERROR_MORE_DATA; result == ERROR_MORE_DATA;) {
      UINT count = static_cast<UINT>(processes.size());
      result = RmGetList(session, &needed, &count, processes.data(), &reasons);
      if (result == ERROR_SUCCESS) {
        processes.resize(count);
      } else if (result == ERROR_MORE_DATA) {
        processes.resize(needed);
      } else {
        return {};
      }
    }
    std::vector<std::string> holders;
    for (const RM_PROCESS_INFO& process : processes) {
      holders.push_back(win32::Narrow(process.strAppName) + " (" +
                        std::to_string(process.Process.dwProcessId) + ")");
    }
    return holders;
  }
};

}  // namespace

template <>
IFileUse& TCurrent<IFileUse>::Default() {
  static Win32FileUse instance;
  return instance;
}

}  // namespace kv::platform
