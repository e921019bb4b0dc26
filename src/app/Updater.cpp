#include "app/Updater.h"

#include <algorithm>
#include <chrono>

#include "base/Exceptions.h"
#include "common/Common.SysUtils.h"
#include "platform/FileSecurity.h"
#include "platform/Files.h"
#include "platform/OSError.h"
#include "platform/Shell.h"
#include "platform/System.h"

namespace kv::app {

namespace {

// Large enough that mapping a view and letting messages run cost little beside the copy, small
// enough that writing it takes milliseconds even on a slow disk.
constexpr int64_t kChunkBytes = 1024 * 1024;
// What the file system frees between two pumps when a large file shrinks or goes.
constexpr int64_t kReleaseStepBytes = 64 * 1024 * 1024;
// How long the window goes without its messages while a call into the system is under way.
constexpr std::chrono::milliseconds kWaitingPumpInterval{10};
// Fewer bytes than this are written (and a file that got them is closed) in a moment: handing
// them to the worker would cost more than it saves, most of all on a package of small files.
constexpr int64_t kWorkerBytes = 256 * 1024;

// offset / size as a percentage, rounded to the nearest integer and halves to even.
int Percent(int64_t offset, int64_t size) {
  const int64_t scaled = offset * 100;
  int64_t percent = scaled / size;
  const int64_t twiceRest = scaled % size * 2;
  if (twiceRest > size || (twiceRest == size && percent % 2 != 0)) {
    ++percent;
  }
  return static_cast<int>(percent);
}

// The lines that say where a chunk copy failed.
std::string ChunkPosition(int64_t offset, int64_t length, int64_t chunkSize, int64_t size) {
  return "\r\nТекущая позиция = " + std::to_string(offset) +
         "\r\nразмер текущего блока = " + std::to_string(length) +
         "\r\nОбщий размер блока = " + std::to_string(chunkSize) +
         "\r\nРазмер файла = " + std::to_string(size);
}

// Whether a name on the way from root to path (path itself included) is a link or junction:
// what is written there lands outside the root.
bool PassesLink(const std::string& root, const std::string& path) {
  for (size_t end = path.find('\\', root.size());; end = path.find('\\', end + 1)) {
    if (platform::IsLinkOrJunction(path.substr(0, end))) {
      return true;
    }
    if (end == std::string::npos) {
      return false;
    }
  }
}

// Files below folder, with their paths below it.
void CollectFiles(const std::string& folder, const std::string& prefix,
                  std::vector<std::string>& files) {
  for (const platform::TFileEntry& entry : platform::FindFiles(folder, "*.*")) {
    if (entry.IsDirectory && !entry.IsLink) {
      CollectFiles(folder + entry.Name + "\\", prefix + entry.Name + "\\", files);
    } else {
      files.push_back(prefix + entry.Name);
    }
  }
}

bool IsForbiddenInFolderName(char c) {
  return std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos;
}

}  // namespace

int64_t CopyChunkSize() {
  const int64_t unit = platform::AllocationGranularity();
  return (kChunkBytes + unit - 1) / unit * unit;
}

std::string NewBackupRoot(const std::string& targetRoot, const std::string& stamp,
                          const std::string& taken) {
  std::string name = stamp;
  std::replace_if(name.begin(), name.end(), IsForbiddenInFolderName, '-');
  const std::string base = targetRoot + "ExpressBackup\\" + name;
  std::string folder = base;
  // A file of that name blocks the folder just as well.
  for (int suffix = 2;
       folder + "\\" == taken || platform::DirectoryExists(folder) || platform::FileExists(folder);
       ++suffix) {
    folder = base + " (" + std::to_string(suffix) + ")";
  }
  return folder + "\\";
}

TUpdater::TUpdater(IUpdateProgress& progress, const TCancelToken& cancel,
                   platform::IFileSecurity& fileSecurity, platform::IShellFileOperations& shell)
    : FProgress(progress),
      FCancel(cancel),
      FFileSecurity(fileSecurity),
      FShell(shell),
      FCalls([this] { FProgress.LetMessagesRunWhileWaiting(); }, kWaitingPumpInterval) {}

void TUpdater::Update(const std::vector<TPackageEntry>& entries, const TTreeRoots& clientRoots,
                      const TTreeRoots& documentRoots,
                      const std::vector<std::string>& skippedLinks) {
  FFailed.clear();
  FNotRestoredIn.clear();
  FProgress.SetEntryCount(static_cast<int>(entries.size()));
  for (const std::string& link : skippedLinks) {
    FProgress.Log("Ссылка \"" + link + "\" в пакете пропущена.");
    Fail(link);
  }

  for (const TPackageEntry& entry : entries) {
    if (FCancel.Cancelled()) {
      return;
    }
    const TTreeRoots& roots = entry.Tree == TPackageTree::Client ? clientRoots : documentRoots;
    if (platform::FileExists(roots.Source + entry.Path) && !UpdateFile(entry.Path, roots)) {
      return;
    }
    FProgress.EntryDone();
    FProgress.LetMessagesRun();
  }

  const size_t failedEntries = FFailed.size() - skippedLinks.size();
  if (FFailed.empty()) {
    FProgress.Log("Все файлы обновлены.");
  } else {
    FProgress.Log("Обновлены не все файлы.");
    for (const std::string& relative : FFailed) {
      FProgress.Log("Не обновлен файл: \"" + relative + "\"");
    }
    FProgress.Log("Количество необновленных файлов: " + std::to_string(FFailed.size()));
  }
  FProgress.Log("Количество обновленных файлов: " + std::to_string(entries.size() - failedEntries));
  FProgress.Log("");
  FProgress.Log("Для продолжения нажмите \"Далее>\"");
}

bool TUpdater::UpdateFile(const std::string& relative, const TTreeRoots& roots) {
  const std::string source = roots.Source + relative;
  const std::string target = roots.Target + relative;
  const std::string backupFile = roots.Backup + relative;
  FProgress.Status(source);

  const std::string& backupBase =
      backupFile.starts_with(roots.Target) ? roots.Target : roots.Backup;
  if (PassesLink(roots.Target, target) || PassesLink(backupBase, backupFile)) {
    FProgress.Log("Файл \"" + relative + "\" не обновлен: путь к нему проходит через ссылку.");
    Fail(relative);
    return true;
  }

  bool replaced = false;
  // The original could not leave its place: the copy goes over it, its twin safe in the backup.
  bool inPlace = false;
  if (platform::FileExists(target)) {
    if (FCancel.Cancelled()) {
      return false;
    }
    const std::string backupFolder = ExtractFilePath(backupFile);
    if (!platform::DirectoryExists(backupFolder)) {
      CreateFolder(backupFolder);
    }
    if (FCancel.Cancelled()) {
      return false;
    }
    const TBackupOutcome backup = BackUp(target, backupFile);
    if (backup == TBackupOutcome::Moved) {
      FProgress.Log("Файл \"" + relative + "\" сохранен в бэкапе.");
    } else {
      FProgress.Log("Ошибка создания резервной копии \"" + relative + "\"");
    }
    FProgress.LetMessagesRun();
    if (backup == TBackupOutcome::Failed) {
      // Without a whole backup the installed file is not overwritten: nothing could bring it
      // back.
      FProgress.Log("Ошибка обновления файла: \"" + relative + "\"");
      Fail(relative);
      return true;
    }
    replaced = true;
    inPlace = backup == TBackupOutcome::CopiedOriginalStays;
  }

  if (FCancel.Cancelled()) {
    return false;
  }
  const std::string targetFolder = ExtractFilePath(target);
  if (!platform::DirectoryExists(targetFolder)) {
    CreateFolder(targetFolder);
  }
  if (FCancel.Cancelled()) {
    return false;
  }

  // A file that appeared at the target meanwhile is not ours to overwrite.
  const TCopyOutcome copy = Copy(
      source, target,
      inPlace ? platform::TFileOpenMode::OpenOrCreate : platform::TFileOpenMode::CreateNew, false);
  if (copy == TCopyOutcome::Copied) {
    FProgress.Log("Файл \"" + relative + (replaced ? "\" обновлен." : "\" добавлен."));
    try {
      GrantEveryoneAccess(target);
    } catch (const EOSError& error) {
      FProgress.Log("Ошибка изменения прав доступа к файлу \"" + relative +
                    "\": " + platform::SystemErrorMessage(error.ErrorCode()));
      Fail(relative);
    }
    return true;
  }
  FProgress.Log("Ошибка обновления файла: \"" + relative + "\"");
  Fail(relative);
  // After a cancel the rollback puts every original back.
  if (FCancel.Cancelled()) {
    return false;
  }
  if (inPlace && copy == TCopyOutcome::TargetUntouched) {
    // The original never left: its twin in the backup would only be moved over it again.
    Release(backupFile);
  } else if (replaced) {
    PutBack(relative, target, backupFile, roots.Backup);
  }
  return true;
}

void TUpdater::PutBack(const std::string& relative, const std::string& target,
                       const std::string& backupFile, const std::string& backupRoot) {
  bool back = false;
  if (platform::FileExists(target)) {
    // A spoiled target that could not be removed gets the original's bytes over it.
    back = Copy(backupFile, target, platform::TFileOpenMode::OpenOrCreate, true) ==
           TCopyOutcome::Copied;
    if (back) {
      Release(backupFile);
    }
  } else {
    uint32_t code = 0;
    back = FCalls.Run([&] { return platform::TryRenameFile(backupFile, target, code); });
  }
  if (back) {
    FProgress.Log("Файл \"" + relative + "\" восстановлен из бэкапа.");
  } else {
    NotRestored(relative, backupRoot);
  }
}

void TUpdater::CreateFolder(const std::string& folder) {
  // Folder creation failures show when the copy into the folder fails.
  try {
    platform::ForceDirectories(folder);
    FProgress.Log("Создана директория \"" + folder + "\"");
  } catch (const EOSError&) {
  }
  FProgress.LetMessagesRun();
}

void TUpdater::Fail(const std::string& relative) {
  FFailed.push_back(relative);
}

void TUpdater::NotRestored(const std::string& relative, const std::string& backupRoot) {
  FProgress.Log("Не удалось восстановить файл \"" + relative + "\", он остался в бэкапе \"" +
                backupRoot + "\"");
  if (std::find(FNotRestoredIn.begin(), FNotRestoredIn.end(), backupRoot) == FNotRestoredIn.end()) {
    FNotRestoredIn.push_back(backupRoot);
  }
}

bool TUpdater::CopyPackageFile(const std::string& source, const std::string& target,
                               platform::TFileOpenMode targetMode) {
  return Copy(source, target, targetMode, false) == TCopyOutcome::Copied;
}

TUpdater::TCopyOutcome TUpdater::Copy(const std::string& source, const std::string& target,
                                      platform::TFileOpenMode targetMode, bool flush) {
  using platform::TFileOpenMode;
  using platform::TFileShare;
  bool copied = false;
  bool opened = false;
  bool created = false;
  {
    uint32_t code = 0;
    const auto sourceFile =
        platform::TryOpenFile(source, TFileOpenMode::OpenRead, TFileShare::DenyWrite, code);
    if (!sourceFile) {
      FProgress.ShowFailure("Step: 1 - " + platform::SystemErrorMessage(code));
    } else {
      const int64_t size = sourceFile->Size();
      auto targetFile = platform::TryOpenFile(target, targetMode, TFileShare::DenyRead, code);
      opened = targetFile != nullptr;
      created = opened && targetMode == TFileOpenMode::CreateNew;
      if (!targetFile) {
        FProgress.ShowFailure("Step: 2 - " + platform::SystemErrorMessage(code));
      } else {
        copied =
            CopyChunks(size, *targetFile, flush,
                       [&](int64_t, int64_t length, platform::TCopyError& error) {
                         return platform::CopyFileBytes(*sourceFile, *targetFile, length, error);
                       }) != -1;
        // The target keeps what it held: a longer earlier file must leave no tail behind the new
        // content. (Cutting it to nothing first would make some file systems write the whole new
        // file out when it is closed.) A backup is on the disk before its original goes.
        if (copied) {
          try {
            Shrink(*targetFile, size);
            if (flush) {
              FCalls.Run([&] { targetFile->Flush(); });
            }
          } catch (const EOSError& error) {
            FProgress.ShowFailure("Step: 2 - " + platform::SystemErrorMessage(error.ErrorCode()));
            copied = false;
          }
        }
        // Closing a large file can take the system a while.
        if (size >= kWorkerBytes) {
          FCalls.Run([&] { targetFile.reset(); });
        }
      }
    }
  }
  if (copied && !FCancel.Cancelled()) {
    return TCopyOutcome::Copied;
  }
  if (!opened) {
    return TCopyOutcome::TargetUntouched;
  }
  // Cancelled: the target is half-written or no longer wanted. A file made new here and not
  // filled is nobody's copy.
  if (FCancel.Cancelled() || created) {
    if (Release(target) && created) {
      return TCopyOutcome::TargetUntouched;
    }
  }
  return TCopyOutcome::TargetSpoiled;
}

int32_t TUpdater::CopyMappedChunks(platform::IFileMapping& mapping, platform::IFileHandle& target,
                                   int64_t size) {
  return CopyChunks(
      size, target, false, [&](int64_t offset, int64_t length, platform::TCopyError& error) {
        const auto view = mapping.MapView(offset, static_cast<size_t>(length), error.Code);
        if (!view) {
          error.Reading = true;
          return false;
        }
        try {
          target.Write(view->Data(), length);
        } catch (const EOSError& e) {
          error.Code = e.ErrorCode();
          return false;
        }
        return true;
      });
}

int32_t TUpdater::CopyChunks(int64_t size, platform::IFileHandle& target, bool flush,
                             const TChunkCopy& copyChunk) {
  const int64_t chunkSize = CopyChunkSize();
  int64_t offset = 0;
  int percentShown = 0;
  int32_t written = 0;
  while (offset != size) {
    const int64_t length = std::min(chunkSize, size - offset);
    if (FCancel.Cancelled()) {
      return -1;
    }
    platform::TCopyError error;
    const auto copy = [&] {
      if (!copyChunk(offset, length, error)) {
        return false;
      }
      if (flush) {
        try {
          target.Flush();
        } catch (const EOSError& e) {
          error = {e.ErrorCode(), false};
          return false;
        }
      }
      return true;
    };
    const bool done = flush || length >= kWorkerBytes ? FCalls.Run(copy) : copy();
    if (!done) {
      FProgress.ShowFailure((error.Reading ? "" : "Ошибка при записи:\r\n") +
                            platform::SystemErrorMessage(error.Code) +
                            ChunkPosition(offset, length, chunkSize, size));
      return -1;
    }
    written = static_cast<int32_t>(length);
    offset += length;
    FProgress.LetMessagesRun();

    const int percent = Percent(offset, size);
    if (percent > percentShown) {
      FProgress.FilePercent(percent);
      percentShown = percent;
    }
  }
  return written;
}

bool TUpdater::BackupFile(const std::string& file, const std::string& backupFile) {
  return BackUp(file, backupFile) == TBackupOutcome::Moved;
}

TUpdater::TBackupOutcome TUpdater::BackUp(const std::string& file, const std::string& backupFile) {
  // The backup folder is inside the file's own root: a rename keeps the file's access list,
  // times and streams, and there is never a moment without a whole original. The original is not
  // read again: the memory the system kept its content in goes to the new copy.
  uint32_t code = 0;
  if (FCalls.Run([&] {
        if (!platform::TryRenameFile(file, backupFile, code)) {
          return false;
        }
        platform::DropCachedContent(backupFile);
        return true;
      })) {
    return TBackupOutcome::Moved;
  }
  // Refused (another volume, the file in use, the name taken): a copy made new, never over an
  // earlier original, and flushed before its original goes. An incomplete copy is removed by the
  // copy itself: the rollback would put it back over the installed file.
  if (Copy(file, backupFile, platform::TFileOpenMode::CreateNew, true) != TCopyOutcome::Copied) {
    return TBackupOutcome::Failed;
  }
  return Release(file) ? TBackupOutcome::Moved : TBackupOutcome::CopiedOriginalStays;
}

void TUpdater::Shrink(platform::IFileHandle& file, int64_t size) {
  for (int64_t end = file.Size(); end > size;) {
    end = std::max(size, end - kReleaseStepBytes);
    FCalls.Run([&] { file.SetSize(end); });
    if (end > size) {
      FProgress.LetMessagesRun();
    }
  }
}

bool TUpdater::Release(const std::string& file) {
  // On the worker, the window's messages run while the steps go.
  return FCalls.Run([&] { return platform::DeleteFileInSteps(file, kReleaseStepBytes, [] {}); });
}

void TUpdater::GrantEveryoneAccess(const std::string& file) {
  FFileSecurity.GrantEveryoneAccess(file);
}

bool TUpdater::RestoreBackup(platform::TWindowHandle ownerWindow, const std::string& backupFolder,
                             const std::string& targetFolder) {
  // Before the update named its backups there is nothing to put back (and an empty pattern
  // would name the working folder).
  if (backupFolder.empty()) {
    return true;
  }
  const int32_t result =
      FShell.Move(ownerWindow, backupFolder + "*.*", targetFolder,
                  platform::TMoveOptions{.NoConfirmation = true, .AllowUndo = true});
  platform::RemoveDir(backupFolder);
  if (result == 0 && !platform::DirectoryExists(backupFolder)) {
    return true;
  }
  // The shell's answer does not say which files stayed: what is left in the folder does.
  std::vector<std::string> left;
  CollectFiles(backupFolder, "", left);
  for (const std::string& relative : left) {
    NotRestored(relative, backupFolder);
  }
  return left.empty();
}

}  // namespace kv::app
