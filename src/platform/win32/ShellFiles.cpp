// The shell's file icons and its folder move.
#include "platform/Shell.h"

#include "platform/Files.h"
#include "platform/win32/Com.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <optional>
#include <utility>

namespace kv::platform {
namespace {

using win32::CheckResult;
using win32::com_ptr;
using win32::HandleOf;
using win32::Wide;

// Item identifier lists come from the shell's task allocator.
using unique_pidl = win32::unique_cotaskmem_ptr<ITEMIDLIST>;

// The item of a name inside the folder (ParseDisplayName wants a writable name).
HRESULT ParseName(IShellFolder& folder, std::wstring name, unique_pidl& item) {
  LPITEMIDLIST parsed = nullptr;
  const HRESULT result =
      folder.ParseDisplayName(nullptr, nullptr, name.data(), nullptr, &parsed, nullptr);
  item = unique_pidl(parsed);
  return result;
}

class Win32FileIcons final : public IFileIcons {
 public:
  TImageListHandle SystemSmallImageList() override {
    SHFILEINFOW info{};
    return win32::ImageListHandle(reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoW(L"C:\\", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON)));
  }

  int32_t ImageCount(TImageListHandle imageList) override {
    return ImageList_GetImageCount(HandleOf(imageList));
  }

  int32_t SystemIconIndex(const std::string& path) override {
    const win32::unique_couninitialize com = win32::CoInitializeEx();
    const std::wstring wide = Wide(path);
    const size_t nameStart = wide.find_last_of(L"\\:") + 1;

    com_ptr<IShellFolder> desktop;
    CheckResult(SHGetDesktopFolder(desktop.put()));
    unique_pidl folderItem;
    CheckResult(ParseName(*desktop.get(), wide.substr(0, nameStart), folderItem));
    com_ptr<IShellFolder> folder;
    CheckResult(
        desktop->BindToObject(folderItem.get(), nullptr, IID_IShellFolder, folder.put_void()));
    // A file the shell cannot name has no icon of its own: the list's first image serves.
    unique_pidl fileItem;
    if (FAILED(ParseName(*folder.get(), wide.substr(nameStart), fileItem))) {
      return 0;
    }
    // The file's item is relative to its folder; the shell wants the full list.
    const unique_pidl fullItem(ILCombine(folderItem.get(), fileItem.get()));
    SHFILEINFOW info{};
    SHGetFileInfoW(reinterpret_cast<LPCWSTR>(fullItem.get()), 0, &info, sizeof info,
                   SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
    return info.iIcon;
  }

  int32_t AddAssociatedIcon(TImageListHandle imageList, const std::string& path) override {
    const std::optional<std::wstring> type = SharedIconType(path);
    const std::lock_guard lock(FLock);
    if (type) {
      if (const auto found = FShared.find({imageList, *type}); found != FShared.end()) {
        return found->second;
      }
    }
    // The call may write the path of the icon's file back into the buffer.
    std::wstring buffer = Wide(path);
    buffer.resize(std::max<size_t>(buffer.size(), MAX_PATH) + 1, L'\0');
    WORD index = 0;
    const win32::unique_hicon icon(
        ExtractAssociatedIconW(GetModuleHandleW(nullptr), buffer.data(), &index));
    const int32_t added = ImageList_ReplaceIcon(HandleOf(imageList), -1, icon.get());
    if (type) {
      FShared[{imageList, *type}] = added;
    }
    return added;
  }

 private:
  // Files of one type show the icon of the program registered for it, and folders the folder
  // icon: one image in the list serves each such type, so that a package of many thousand
  // entries neither fills the list nor waits for the shell's lookup each time. Files of the
  // types that carry icons of their own are asked for one by one. Nothing when each is its own.
  static std::optional<std::wstring> SharedIconType(const std::string& path) {
    static const std::wstring ownIcons[] = {L".exe", L".dll", L".ico", L".cur", L".ani",
                                            L".cpl", L".scr", L".ocx", L".icl", L".com"};
    const std::wstring wide = Wide(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      return L"\\";
    }
    const size_t dot = wide.find_last_of(L".\\:");
    std::wstring type = dot != std::wstring::npos && wide[dot] == L'.' ? wide.substr(dot) : L"";
    CharLowerBuffW(type.data(), static_cast<DWORD>(type.size()));
    if (std::find(std::begin(ownIcons), std::end(ownIcons), type) != std::end(ownIcons)) {
      return std::nullopt;
    }
    return type;
  }

  std::mutex FLock;
  std::map<std::pair<TImageListHandle, std::wstring>, int32_t> FShared;
};

// One move of the shell: both fields are lists of names, each ended by a null, the list by one
// more.
int32_t ShellMove(HWND owner, const std::string& sourcePattern, const std::string& targetFolder,
                  FILEOP_FLAGS flags) {
  std::wstring from = Wide(sourcePattern);
  from.push_back(L'\0');
  std::wstring to = Wide(targetFolder);
  to.push_back(L'\0');
  SHFILEOPSTRUCTW operation{};
  operation.hwnd = owner;
  operation.wFunc = FO_MOVE;
  operation.pFrom = from.c_str();
  operation.pTo = to.c_str();
  operation.fFlags = flags;
  return SHFileOperationW(&operation);
}

// Windows moves everything in one operation. Wine's shell leaves a folder whose name the target
// has already, and several files without a folder among them: what is left is moved one entry at
// a time, quietly, as the shell has shown any error once.
int32_t MoveAll(HWND owner, const std::string& sourcePattern, const std::string& targetFolder,
                FILEOP_FLAGS flags) {
  const int32_t result = ShellMove(owner, sourcePattern, targetFolder, flags);
  if (result < 0) {
    return result;
  }
  const size_t separator = sourcePattern.find_last_of('\\') + 1;
  const std::string folder = sourcePattern.substr(0, separator);
  const std::string mask = sourcePattern.substr(separator);
  const std::string target = targetFolder.ends_with('\\') ? targetFolder : targetFolder + '\\';
  const auto quiet = static_cast<FILEOP_FLAGS>(flags | FOF_SILENT | FOF_NOERRORUI);
  int32_t failed = 0;
  for (const TFileEntry& entry : FindFiles(folder, mask)) {
    int32_t moved = 0;
    if (entry.IsDirectory && DirectoryExists(target + entry.Name)) {
      moved = MoveAll(owner, folder + entry.Name + "\\*.*", target + entry.Name + "\\", quiet);
      RemoveDir(folder + entry.Name);
    } else {
      moved = ShellMove(owner, folder + entry.Name, target, quiet);
    }
    if (moved < 0) {
      return moved;
    }
    failed = failed ? failed : moved;
  }
  if (FindFiles(folder, mask).empty()) {
    return 0;
  }
  return failed ? failed : result;
}

class Win32ShellFileOperations final : public IShellFileOperations {
 public:
  int32_t Move(TWindowHandle owner, const std::string& sourcePattern,
               const std::string& targetFolder, TMoveOptions options) override {
    const auto flags = static_cast<FILEOP_FLAGS>((options.NoConfirmation ? FOF_NOCONFIRMATION : 0) |
                                                 (options.AllowUndo ? FOF_ALLOWUNDO : 0));
    return MoveAll(HandleOf(owner), sourcePattern, targetFolder, flags);
  }
};

class Win32ShellOpen final : public IShellOpen {
 public:
  void Open(const std::string& path) override {
    const auto result = reinterpret_cast<INT_PTR>(ShellExecuteW(
        nullptr, nullptr, win32::Wide(path).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    // Values up to 32 are errors; the system has set the thread's error code as well.
    if (result <= 32) {
      win32::RaiseOSError(GetLastError(), path);
    }
  }
};

}  // namespace

template <>
IFileIcons& TCurrent<IFileIcons>::Default() {
  static Win32FileIcons instance;
  return instance;
}

template <>
IShellFileOperations& TCurrent<IShellFileOperations>::Default() {
  static Win32ShellFileOperations instance;
  return instance;
}

template <>
IShellOpen& TCurrent<IShellOpen>::Default() {
  static Win32ShellOpen instance;
  return instance;
}

}  // namespace kv::platform
