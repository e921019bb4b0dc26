#pragma once
// Files and folders. Paths are UTF-8 with the system's backslash separators; the Linux backend
// reads a backslash as its own separator.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/System.h"

namespace kv::platform {

bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// Creates the folder and its missing parents; raises EOSError on failure.
void ForceDirectories(const std::string& path);
// Deletes a file; false when it failed.
bool DeleteFile(const std::string& path);
// Deletes a file as DeleteFile does, then gives its space back stepBytes at a time, calling
// betweenSteps between the steps: freeing a large file at once holds the caller up. A program that
// still holds the file open sees it shrink. False when it failed; the file is then untouched.
bool DeleteFileInSteps(const std::string& path, int64_t stepBytes,
                       const std::function<void()>& betweenSteps);
// Removes an empty folder; false when it failed.
bool RemoveDir(const std::string& path);
// Renames a file within its volume, never over an existing one; false and the system's error code
// when the system refuses (the name taken, another volume, the file in use).
bool TryRenameFile(const std::string& from, const std::string& to, uint32_t& errorCode);
// Asks the system to let go of the file's content it holds in memory, the file staying as it is:
// for a file nobody reads soon (an original moved into its backup), whose memory then serves the
// files written next. Only a hint: where the system cannot, or the file cannot be opened, nothing
// happens. Files smaller than kSmallestContentToDrop are left alone: opening them would cost more
// than their few pages are worth.
inline constexpr int64_t kSmallestContentToDrop = 256 * 1024;
void DropCachedContent(const std::string& path);
// Renames source to target, replacing a target file, in one step on the same volume: a finished
// file put in place of the old one. Raises EOSError naming the target when it cannot; source is
// then left as it was.
void MoveFileOver(const std::string& source, const std::string& target);
// Whether the path itself is a symbolic link, a junction or another reparse point: a name that
// leads somewhere else.
bool IsLinkOrJunction(const std::string& path);

struct TFileSearchInfo {
  int64_t Size = 0;
  TDateTime LastWriteTime = 0;  // local time
};
// A directory search for one file; nothing when it does not exist.
std::optional<TFileSearchInfo> FindFile(const std::string& path);

struct TFileEntry {
  std::string Name;
  bool IsDirectory = false;
  int64_t Size = 0;
  bool IsLink = false;  // a symbolic link or junction (IsDirectory tells what it leads to)
};
// The entries of a folder whose names match a mask of '*' and '?' ("*.tmp"), letter case
// ignored, in the order the file system gives them; "." and ".." are left out. Empty when the
// folder cannot be read.
std::vector<TFileEntry> FindFiles(const std::string& folder, const std::string& mask);

// Replaces the file's content with bytes, or creates it, so that a reader never finds it half
// written: the bytes go to a temporary file in the same folder, which is flushed to disk and
// swapped in, keeping an existing file's attributes and access rights. Raises EOSError on failure,
// leaving the old file whole and no temporary file behind.
void WriteFileAtomically(const std::string& path, std::string_view bytes);

// The system's temporary folder, with a trailing separator.
std::string TempFolder();
// Creates a folder in parent named prefix and a number that no folder or file had before (a
// name already taken is never reused); answers its path. Raises EOSError when it cannot.
std::string CreateUniqueFolder(const std::string& parent, const std::string& prefix);
// Sets or clears the file's read-only attribute (on Linux, every write permission); raises
// EOSError when it cannot.
void SetFileReadOnly(const std::string& path, bool readOnly);
// Marks a file as downloaded from the Internet, so that the system warns before it runs or
// trusts it: on Windows the Internet zone goes into the file's Zone.Identifier stream. False when
// the file's volume cannot hold the mark; Linux has no such mark and answers false.
bool MarkAsDownloadedFromInternet(const std::string& path);

// OpenOrCreate opens for writing, creating a missing file and keeping an existing one's content;
// CreateNew creates a file for writing and fails when one of that name exists.
enum class TFileOpenMode { OpenRead, OpenReadWrite, Create, OpenOrCreate, CreateNew };
// DenyRead lets others only write.
enum class TFileShare { DenyNone, DenyWrite, Exclusive, DenyRead };
enum class TSeekOrigin { Beginning, Current, End };

// A read-only view of part of a mapped file; unmapped when destroyed.
class IMappedView {
 public:
  virtual ~IMappedView() = default;
  virtual const void* Data() const = 0;
};

// A read-only mapping of a whole file, read one view at a time so that memory use stays bounded.
class IFileMapping {
 public:
  virtual ~IFileMapping() = default;
  // A view of length bytes at offset (a multiple of AllocationGranularity); null and the
  // system's error code when it cannot be mapped.
  virtual std::unique_ptr<IMappedView> MapView(int64_t offset, size_t length,
                                               uint32_t& errorCode) = 0;
};

// The alignment that mapped-view offsets must have (65536 bytes on Windows).
uint32_t AllocationGranularity();

// An open file; closed when destroyed.
class IFileHandle {
 public:
  virtual ~IFileHandle() = default;
  // Bytes read or written; raise EOSError on failure.
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
  virtual int64_t Size() = 0;
  virtual void SetSize(int64_t size) = 0;
  // Writes what the system still buffers through to the disk; raises EOSError on failure.
  virtual void Flush() = 0;
  // A read-only mapping of the whole file; null and the system's error code when the system
  // refuses (it maps no empty file).
  virtual std::unique_ptr<IFileMapping> MapReadOnly(uint32_t& errorCode) = 0;
};

// Opens a file; raises EOSError with the system's message when it cannot.
std::unique_ptr<IFileHandle> OpenFile(const std::string& path, TFileOpenMode mode,
                                      TFileShare share = TFileShare::DenyNone);
// The same without raising: null and the system's error code when it cannot.
std::unique_ptr<IFileHandle> TryOpenFile(const std::string& path, TFileOpenMode mode,
                                         TFileShare share, uint32_t& errorCode);

}  // namespace kv::platform
