#pragma once
// The copy page's work: every package file over the installed one, the replaced file first moved
// into a backup folder, and the rollback that moves the backups back.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/Package.h"
#include "app/WorkerCalls.h"
#include "platform/FileCopy.h"
#include "platform/Files.h"
#include "platform/Shell.h"

namespace kv::platform {
class IFileSecurity;
}  // namespace kv::platform

namespace kv::app {

// A new backup folder under targetRoot: "ExpressBackup\" + stamp + "\", where every character
// a folder name cannot hold becomes "-". While that folder exists, or is the one named taken,
// " (2)", " (3)" and so on go after the stamp: a backup never joins an earlier one.
std::string NewBackupRoot(const std::string& targetRoot, const std::string& stamp,
                          const std::string& taken = {});

// The bytes copied between two message pumps: a multiple of the allocation granularity.
int64_t CopyChunkSize();

// Where the update tells what it does. The wizard's window is behind it.
class IUpdateProgress {
 public:
  virtual ~IUpdateProgress() = default;

  // One line of the status log.
  virtual void Log(const std::string& line) = 0;
  // The file being worked on.
  virtual void Status(const std::string& text) = 0;
  // The number of package entries, then one call as each is done.
  virtual void SetEntryCount(int count) = 0;
  virtual void EntryDone() = 0;
  // The rounded percentage of the file being copied; it only grows within a file.
  virtual void FilePercent(int percent) = 0;
  // A copy failure, shown to the user at once.
  virtual void ShowFailure(const std::string& text) = 0;
  // Lets pending window messages run: where a cancel can be confirmed.
  virtual void LetMessagesRun() = 0;
  // Lets pending window messages run while the update waits for a call into the system; a cancel
  // confirmed here takes effect at the update's next check. How often depends on the machine.
  virtual void LetMessagesRunWhileWaiting() { LetMessagesRun(); }
};

// Set when the user confirms cancelling; the work polls it at fixed points.
class TCancelToken {
 public:
  void Cancel() { FCancelled = true; }
  void Reset() { FCancelled = false; }
  bool Cancelled() const { return FCancelled; }

 private:
  bool FCancelled = false;
};

// The folders of one package tree: where its files come from, go to, and where the files they
// replace are kept. Each with a trailing backslash.
struct TTreeRoots {
  std::string Source;
  std::string Target;
  std::string Backup;
};

class TUpdater {
 public:
  TUpdater(IUpdateProgress& progress, const TCancelToken& cancel,
           platform::IFileSecurity& fileSecurity, platform::IShellFileOperations& shell);

  // Copies the files among the entries in order, logging each step, and ends with the summary.
  // A file that fails is logged and keeps its installed version, and the update goes on; the
  // summary names the files that failed, the package's skipped links among them. Stops without
  // a summary at the first check after a cancel.
  void Update(const std::vector<TPackageEntry>& entries, const TTreeRoots& clientRoots,
              const TTreeRoots& documentRoots, const std::vector<std::string>& skippedLinks = {});
  // The package-relative paths that the last update did not bring in, in the order they failed.
  const std::vector<std::string>& Failed() const { return FFailed; }
  // The backup folders that still hold an original the update or the rollback could not put
  // back, each once.
  const std::vector<std::string>& NotRestoredIn() const { return FNotRestoredIn; }

  // The target is opened as targetMode says; one made new here is removed again when the copy
  // fails.
  bool CopyPackageFile(const std::string& source, const std::string& target,
                       platform::TFileOpenMode targetMode = platform::TFileOpenMode::OpenOrCreate);
  // The bytes of the last write, or -1 when the copy failed.
  int32_t CopyMappedChunks(platform::IFileMapping& mapping, platform::IFileHandle& target,
                           int64_t size);
  // Moves file to backupFile, or where the system refuses the rename, copies it to a new
  // backupFile flushed to disk and deletes file; false when file is still there. An existing
  // backupFile is never replaced: it may be the only copy of an earlier original.
  bool BackupFile(const std::string& file, const std::string& backupFile);
  void GrantEveryoneAccess(const std::string& file);
  // Moves the backup folder's content over the target folder (the shell's move, owned by the
  // window ownerWindow) and removes the emptied backup folder. What the move left behind is
  // logged and stays in the backup folder; false then.
  bool RestoreBackup(platform::TWindowHandle ownerWindow, const std::string& backupFolder,
                     const std::string& targetFolder);

 private:
  // What a copy did to its target.
  enum class TCopyOutcome { Copied, TargetUntouched, TargetSpoiled };
  enum class TBackupOutcome { Moved, CopiedOriginalStays, Failed };

  TCopyOutcome Copy(const std::string& source, const std::string& target,
                    platform::TFileOpenMode targetMode, bool flush);
  // Copies the chunk of length bytes at offset into the target; false and where it failed.
  using TChunkCopy =
      std::function<bool(int64_t offset, int64_t length, platform::TCopyError& error)>;
  // Copies size bytes a chunk at a time, each chunk of some size on the worker while the window's
  // messages run.
  // flush: each chunk goes to the disk before the next, so that no long wait for all of them
  // comes at the end.
  int32_t CopyChunks(int64_t size, platform::IFileHandle& target, bool flush,
                     const TChunkCopy& copyChunk);
  // Cuts a longer file to size, and deletes a file, a step at a time on the worker while the
  // window's messages run: both give back a large file's space.
  void Shrink(platform::IFileHandle& file, int64_t size);
  bool Release(const std::string& file);
  TBackupOutcome BackUp(const std::string& file, const std::string& backupFile);
  // One file of the package; false when a cancel stopped it.
  bool UpdateFile(const std::string& relative, const TTreeRoots& roots);
  // Brings the original back after its update failed.
  void PutBack(const std::string& relative, const std::string& target,
               const std::string& backupFile, const std::string& backupRoot);
  void CreateFolder(const std::string& folder);
  void Fail(const std::string& relative);
  void NotRestored(const std::string& relative, const std::string& backupRoot);

  IUpdateProgress& FProgress;
  const TCancelToken& FCancel;
  platform::IFileSecurity& FFileSecurity;
  platform::IShellFileOperations& FShell;
  std::vector<std::string> FFailed;
  std::vector<std::string> FNotRestoredIn;
  // Where the calls that can keep the system busy for long run.
  TWorkerCalls FCalls;
};

}  // namespace kv::app
