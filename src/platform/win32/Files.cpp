#include "platform/Files.h"

#include "platform/FileCopy.h"
#include "platform/win32/Handles.h"

#include <algorithm>
#include <atomic>
#include <vector>

namespace kv::platform {
using win32::CheckLastError;
using win32::RaiseOSError;
using win32::Wide;

namespace {

DWORD Attributes(const std::string& path) {
  return GetFileAttributesW(Wide(path).c_str());
}

// A file's size from the two halves the system gives it in.
int64_t FileSize(DWORD high, DWORD low) {
  return static_cast<int64_t>(high) << 32 | low;
}

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

// ReadFile and WriteFile take at most a DWORD at a time.
DWORD Chunk(int64_t remaining) {
  return static_cast<DWORD>(std::min<int64_t>(remaining, 1 << 30));
}

using win32::unique_view;

class Win32MappedView final : public IMappedView {
 public:
  explicit Win32MappedView(unique_view view) : FView(std::move(view)) {}
  const void* Data() const override { return FView.get(); }

 private:
  unique_view FView;
};

class Win32FileMapping final : public IFileMapping {
 public:
  explicit Win32FileMapping(win32::unique_handle mapping) : FMapping(std::move(mapping)) {}

  std::unique_ptr<IMappedView> MapView(int64_t offset, size_t length,
                                       uint32_t& errorCode) override {
    unique_view view(MapViewOfFile(FMapping.get(), FILE_MAP_READ,
                                   static_cast<DWORD>(static_cast<uint64_t>(offset) >> 32),
                                   static_cast<DWORD>(offset), length));
    if (!view) {
      errorCode = GetLastError();
      return nullptr;
    }
    return std::make_unique<Win32MappedView>(std::move(view));
  }

 private:
  win32::unique_handle FMapping;
};

class Win32File final : public IFileHandle {
 public:
  Win32File(win32::unique_hfile handle, std::string path)
      : FHandle(std::move(handle)), FPath(std::move(path)) {}

  int64_t Read(void* buffer, int64_t count) override {
    int64_t done = 0;
    while (done < count) {
      DWORD read = 0;
      CheckLastError(ReadFile(FHandle.get(), static_cast<char*>(buffer) + done, Chunk(count - done),
                              &read, nullptr),
                     FPath);
      if (read == 0) {
        break;
      }
      done += read;
    }
    return done;
  }
  int64_t Write(const void* buffer, int64_t count) override {
    int64_t done = 0;
    while (done < count) {
      DWORD written = 0;
      CheckLastError(WriteFile(FHandle.get(), static_cast<const char*>(buffer) + done,
                               Chunk(count - done), &written, nullptr),
                     FPath);
      done += written;
    }
    return done;
  }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    const DWORD method = origin == TSeekOrigin::Beginning ? FILE_BEGIN
                         : origin == TSeekOrigin::Current ? FILE_CURRENT
                                                          : FILE_END;
    LARGE_INTEGER distance{};
    distance.QuadPart = offset;
    LARGE_INTEGER position{};
    CheckLastError(SetFilePointerEx(FHandle.get(), distance, &position, method), FPath);
    return position.QuadPart;
  }
  int64_t Size() override {
    LARGE_INTEGER size{};
    CheckLastError(GetFileSizeEx(FHandle.get(), &size), FPath);
    return size.QuadPart;
  }
  // Moves the end of the file and leaves the position where it was.
  void SetSize(int64_t size) override {
    const int64_t position = Seek(0, TSeekOrigin::Current);
    Seek(size, TSeekOrigin::Beginning);
    CheckLastError(SetEndOfFile(FHandle.get()), FPath);
    Seek(position, TSeekOrigin::Beginning);
  }
  void Flush() override { CheckLastError(FlushFileBuffers(FHandle.get()), FPath); }
  std::unique_ptr<IFileMapping> MapReadOnly(uint32_t& errorCode) override {
    // An unnamed mapping is always new; a stale code must not read as "already existed".
    SetLastError(ERROR_SUCCESS);
    win32::unique_handle mapping(
        CreateFileMappingW(FHandle.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    const DWORD code = GetLastError();
    if (!mapping || code == ERROR_ALREADY_EXISTS) {
      errorCode = code;
      return nullptr;
    }
    return std::make_unique<Win32FileMapping>(std::move(mapping));
  }

 private:
  win32::unique_hfile FHandle;
  std::string FPath;
};

}  // namespace

bool FileExists(const std::string& path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::string& path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void ForceDirectories(const std::string& path) {
  std::string folder = path;
  while (folder.size() > 1 && IsSeparator(folder.back())) {
    folder.pop_back();
  }
  if (DirectoryExists(folder)) {
    return;
  }
  const auto separator = std::find_if(folder.rbegin(), folder.rend(), IsSeparator);
  if (separator != folder.rend()) {
    const std::string parent(folder.begin(), separator.base() - 1);
    // Stop at the drive ("C:") or the root; a missing drive shows when creating the child.
    if (!parent.empty() && parent.back() != ':') {
      ForceDirectories(parent);
    }
  }
  const std::wstring wideFolder = Wide(folder);
  if (!CreateDirectoryW(wideFolder.c_str(), nullptr)) {
    const DWORD code = GetLastError();
    if (code != ERROR_ALREADY_EXISTS || !DirectoryExists(folder)) {
      RaiseOSError(code, path);
    }
  }
}

bool DeleteFile(const std::string& path) {
  return DeleteFileW(Wide(path).c_str());
}

bool DeleteFileInSteps(const std::string& path, int64_t stepBytes,
                       const std::function<void()>& betweenSteps) {
  const win32::unique_hfile file(CreateFileW(Wide(path).c_str(), DELETE | GENERIC_WRITE,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                             nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT,
                                             nullptr));
  // Without write access (a read-only file, which DeleteFile refuses as well) nothing to shrink.
  if (!file) {
    return DeleteFile(path);
  }
  // Marked for deletion first: the content is only given up once the name is no one's. The file
  // goes when the handle closes.
  FILE_DISPOSITION_INFO disposition{TRUE};
  if (!SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition,
                                  sizeof disposition)) {
    return false;
  }
  LARGE_INTEGER end{};
  if (GetFileSizeEx(file.get(), &end)) {
    while (end.QuadPart > 0) {
      end.QuadPart = std::max<int64_t>(0, end.QuadPart - stepBytes);
      if (!SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN) || !SetEndOfFile(file.get())) {
        break;
      }
      if (end.QuadPart > 0) {
        betweenSteps();
      }
    }
  }
  return true;
}

bool CopyFileBytes(IFileHandle& source, IFileHandle& target, int64_t count, TCopyError& error) {
  return CopyThroughBuffer(source, target, count, ERROR_HANDLE_EOF, error);
}

bool RemoveDir(const std::string& path) {
  return RemoveDirectoryW(Wide(path).c_str());
}

bool TryRenameFile(const std::string& from, const std::string& to, uint32_t& errorCode) {
  // Without MOVEFILE_COPY_ALLOWED another volume is refused, and without
  // MOVEFILE_REPLACE_EXISTING a name already taken.
  if (!MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), 0)) {
    errorCode = GetLastError();
    return false;
  }
  return true;
}

void DropCachedContent(const std::string& path) {
  const std::wstring widePath = Wide(path);
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(widePath.c_str(), GetFileExInfoStandard, &data) ||
      FileSize(data.nFileSizeHigh, data.nFileSizeLow) < kSmallestContentToDrop) {
    return;
  }
  // The file systems write out and purge what the cache holds of a file when it is opened
  // without buffering and no buffered handle to it is open.
  const win32::unique_hfile file(CreateFileW(
      widePath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_NO_BUFFERING | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

void MoveFileOver(const std::string& source, const std::string& target) {
  if (!MoveFileExW(Wide(source).c_str(), Wide(target).c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    RaiseOSError(GetLastError(), target);
  }
}

bool IsLinkOrJunction(const std::string& path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::optional<TFileSearchInfo> FindFile(const std::string& path) {
  WIN32_FIND_DATAW data{};
  const win32::unique_find search(FindFirstFileW(Wide(path).c_str(), &data));
  if (!search) {
    return std::nullopt;
  }
  FILETIME local{};
  SYSTEMTIME time{};
  FileTimeToLocalFileTime(&data.ftLastWriteTime, &local);
  FileTimeToSystemTime(&local, &time);
  return TFileSearchInfo{FileSize(data.nFileSizeHigh, data.nFileSizeLow), win32::ToDateTime(time)};
}

std::vector<TFileEntry> FindFiles(const std::string& folder, const std::string& mask) {
  std::string pattern = folder;
  if (!pattern.empty() && !IsSeparator(pattern.back())) {
    pattern += '\\';
  }
  WIN32_FIND_DATAW data{};
  const win32::unique_find search(FindFirstFileW(Wide(pattern + mask).c_str(), &data));
  std::vector<TFileEntry> entries;
  if (!search) {
    return entries;
  }
  do {
    const std::wstring_view name = data.cFileName;
    if (name != L"." && name != L"..") {
      entries.push_back({win32::Narrow(name),
                         (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                         FileSize(data.nFileSizeHigh, data.nFileSizeLow),
                         (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0});
    }
  } while (FindNextFileW(search.get(), &data));
  return entries;
}

namespace {

// Writes bytes to the file and flushes them to disk; the system's error code, or 0.
DWORD WriteThrough(HANDLE file, std::string_view bytes) {
  for (size_t done = 0; done < bytes.size();) {
    DWORD written = 0;
    if (!WriteFile(file, bytes.data() + done, Chunk(static_cast<int64_t>(bytes.size() - done)),
                   &written, nullptr)) {
      return GetLastError();
    }
    done += written;
  }
  return FlushFileBuffers(file) ? 0 : GetLastError();
}

// Swaps the written file in: the target's attributes and access list stay with its name.
DWORD SwapIn(const std::wstring& temp, const std::wstring& target) {
  const DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH) ? 0 : GetLastError();
  }
  // Wine's replace drops the attributes that Windows keeps: they are put back.
  if (ReplaceFileW(target.c_str(), temp.c_str(), nullptr, 0, nullptr, nullptr)) {
    return SetFileAttributesW(target.c_str(), attributes) ? 0 : GetLastError();
  }
  const DWORD code = GetLastError();
  // The old file is gone already and the new content waits under the temporary name.
  if (code == ERROR_UNABLE_TO_MOVE_REPLACEMENT) {
    return MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH) ? 0 : GetLastError();
  }
  return code;
}

}  // namespace

void WriteFileAtomically(const std::string& path, std::string_view bytes) {
  const std::wstring target = Wide(path);
  static std::atomic<unsigned> counter;
  std::wstring temp;
  win32::unique_hfile file;
  DWORD code = 0;
  do {
    temp =
        target + L".~" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(counter++);
    file.reset(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
    code = file ? 0 : GetLastError();
  } while (code == ERROR_FILE_EXISTS);
  if (code != 0) {
    RaiseOSError(code, path);
  }
  code = WriteThrough(file.get(), bytes);
  file.reset();
  if (code == 0) {
    code = SwapIn(temp, target);
  }
  if (code != 0) {
    DeleteFileW(temp.c_str());
    RaiseOSError(code, path);
  }
}

std::string TempFolder() {
  std::wstring buffer(MAX_PATH + 1, L'\0');
  // A longer path than the buffer holds is not copied: the call gives the size it needs.
  for (;;) {
    const DWORD length =
        CheckLastError(GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data()));
    if (length < buffer.size()) {
      buffer.resize(length);
      return win32::Narrow(buffer);
    }
    buffer.resize(length + 1);
  }
}

std::string CreateUniqueFolder(const std::string& parent, const std::string& prefix) {
  std::string base = parent;
  if (!base.empty() && !IsSeparator(base.back())) {
    base += '\\';
  }
  base += prefix;
  for (unsigned number = GetTickCount();; ++number) {
    const std::string folder = base + std::to_string(number);
    if (CreateDirectoryW(Wide(folder).c_str(), nullptr)) {
      return folder;
    }
    if (const DWORD code = GetLastError(); code != ERROR_ALREADY_EXISTS) {
      RaiseOSError(code, folder);
    }
  }
}

void SetFileReadOnly(const std::string& path, bool readOnly) {
  const DWORD attributes = Attributes(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    RaiseOSError(GetLastError(), path);
  }
  DWORD wanted = attributes & ~DWORD{FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_NORMAL};
  if (readOnly) {
    wanted |= FILE_ATTRIBUTE_READONLY;
  }
  // NORMAL stands only alone: it means no other attribute.
  CheckLastError(SetFileAttributesW(Wide(path).c_str(), wanted ? wanted : FILE_ATTRIBUTE_NORMAL),
                 path);
}

bool MarkAsDownloadedFromInternet(const std::string& path) {
  // Zone 3 is the Internet zone of the system's security zones.
  static constexpr char kMark[] = "[ZoneTransfer]\r\nZoneId=3\r\n";
  const win32::unique_hfile stream(CreateFileW(Wide(path + ":Zone.Identifier").c_str(),
                                               GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                               FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  return stream && WriteFile(stream.get(), kMark, sizeof kMark - 1, &written, nullptr) &&
         written == sizeof kMark - 1;
}

uint32_t AllocationGranularity() {
  SYSTEM_INFO info{};
  GetSystemInfo(&info);
  return info.dwAllocationGranularity;
}

std::unique_ptr<IFileHandle> TryOpenFile(const std::string& path, TFileOpenMode mode,
                                         TFileShare share, uint32_t& errorCode) {
  // A writer may still ask for the file's size: reading attributes is never shared away.
  const bool writeOnly = mode == TFileOpenMode::OpenOrCreate || mode == TFileOpenMode::CreateNew;
  const DWORD access = mode == TFileOpenMode::OpenRead ? GENERIC_READ
                       : writeOnly                     ? GENERIC_WRITE | FILE_READ_ATTRIBUTES
                                                       : GENERIC_READ | GENERIC_WRITE;
  const DWORD disposition = mode == TFileOpenMode::Create         ? CREATE_ALWAYS
                            : mode == TFileOpenMode::OpenOrCreate ? OPEN_ALWAYS
                            : mode == TFileOpenMode::CreateNew    ? CREATE_NEW
                                                                  : OPEN_EXISTING;
  const DWORD shareMode = share == TFileShare::DenyNone    ? FILE_SHARE_READ | FILE_SHARE_WRITE
                          : share == TFileShare::DenyWrite ? FILE_SHARE_READ
                          : share == TFileShare::DenyRead  ? FILE_SHARE_WRITE
                                                           : 0;
  const std::wstring widePath = Wide(path);
  win32::unique_hfile handle(CreateFileW(widePath.c_str(), access, shareMode, nullptr, disposition,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle) {
    errorCode = GetLastError();
    return nullptr;
  }
  return std::make_unique<Win32File>(std::move(handle), path);
}

std::unique_ptr<IFileHandle> OpenFile(const std::string& path, TFileOpenMode mode,
                                      TFileShare share) {
  uint32_t code = 0;
  auto file = TryOpenFile(path, mode, share, code);
  if (!file) {
    RaiseOSError(code, path);
  }
  return file;
}

}  // namespace kv::platform
