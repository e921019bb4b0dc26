#include "app/Updater.h"

#include <algorithm>

#include "base/Exceptions.h"
#include "common/Common.SysUtils.h"
#include "platform/FileSecurity.h"
#include "platform/Files.h"
#include "platform/OSError.h"
#include "platform/Shell.h"
#include "platform/System.h"

namespace kv::app {

namespace {

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

bool IsForbiddenInFolderName(char c) {
  return std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos;
}

}  // namespace

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
    : FProgress(progress), FCancel(cancel), FFileSecurity(fileSecurity), FShell(shell) {}

void TUpdater::Update(const std::vector<TPackageEntry>& entries, const TTreeRoots& clientRoots,
                      const TTreeRoots& documentRoots) {
  FProgress.SetEntryCount(static_cast<int>(entries.size()));

  // Folder creation failures show when the copy into the folder fails.
  const auto createFolder = [this](const std::string& folder) {
    try {
      platform::ForceDirectories(folder);
      FProgress.Log("Создана директория \"" + folder + "\"");
    } catch (const EOSError&) {
    }
    FProgress.LetMessagesRun();
  };

  for (const TPackageEntry& entry : entries) {
    if (FCancel.Cancelled()) {
      return;
    }
    const TTreeRoots& roots = entry.Tree == TPackageTree::Client ? clientRoots : documentRoots;
    const std::string& relative = entry.Path;
    const std::string source = roots.Source + relative;
    const std::string target = roots.Target + relative;
    const std::string backupFile = roots.Backup + relative;

    if (platform::FileExists(source)) {
      FProgress.Status(source);
      bool replaced = false;
      // An installed file is only overwritten once a copy of it is safe in the backup.
      bool installedIsSafe = true;
      if (platform::FileExists(target)) {
        if (FCancel.Cancelled()) {
          return;
        }
        const std::string backupFolder = ExtractFilePath(backupFile);
        if (!platform::DirectoryExists(backupFolder)) {
          createFolder(backupFolder);
        }
        if (FCancel.Cancelled()) {
          return;
        }
        // A file already there is an earlier backup, not a copy of this one.
        const bool backupWasFree = !platform::FileExists(backupFile);
        if (BackupFile(target, backupFile)) {
          FProgress.Log("Файл \"" + relative + "\" сохранен в бэкапе.");
        } else {
          FProgress.Log("Ошибка создания резервной копии \"" + relative + "\"");
          // Copied but not deleted: the backup is whole all the same.
          installedIsSafe = backupWasFree && platform::FileExists(backupFile);
        }
        FProgress.LetMessagesRun();
        replaced = true;
      }

      if (FCancel.Cancelled()) {
        return;
      }
      const std::string targetFolder = ExtractFilePath(target);
      if (!platform::DirectoryExists(targetFolder)) {
        createFolder(targetFolder);
      }

      if (FCancel.Cancelled()) {
        return;
      }
      if (installedIsSafe && CopyPackageFile(source, target)) {
        FProgress.Log("Файл \"" + relative + (replaced ? "\" обновлен." : "\" добавлен."));
      } else {
        FProgress.Log("Ошибка обновления файла: \"" + relative + "\"");
      }
      GrantEveryoneAccess(target);
    }

    FProgress.EntryDone();
    FProgress.LetMessagesRun();
  }

  FProgress.Log("Все файлы обновлены.");
  FProgress.Log("Количество обновленных файлов: " + std::to_string(entries.size()));
  FProgress.Log("");
  FProgress.Log("Для продолжения нажмите \"Далее>\"");
}

bool TUpdater::CopyPackageFile(const std::string& source, const std::string& target,
                               platform::TFileOpenMode targetMode) {
  using platform::TFileOpenMode;
  using platform::TFileShare;
  bool copied = false;
  bool created = false;
  {
    uint32_t code = 0;
    const auto sourceFile =
        platform::TryOpenFile(source, TFileOpenMode::OpenRead, TFileShare::DenyWrite, code);
    if (!sourceFile) {
      FProgress.ShowFailure("Step: 1 - " + platform::SystemErrorMessage(code));
    } else {
      const int64_t size = sourceFile->Size();
      const auto targetFile = platform::TryOpenFile(target, targetMode, TFileShare::DenyRead, code);
      created = targetFile && targetMode == TFileOpenMode::CreateNew;
      if (!targetFile) {
        FProgress.ShowFailure("Step: 2 - " + platform::SystemErrorMessage(code));
      } else if (size == 0) {
        // Nothing to map: the empty target already holds the source's bytes.
        copied = true;
      } else if (const auto mapping = sourceFile->MapReadOnly(code); !mapping) {
        FProgress.ShowFailure("Step: 3 - " + platform::SystemErrorMessage(code));
      } else {
        copied = CopyMappedChunks(*mapping, *targetFile, size) != -1;
      }
      // The target keeps what it held: a longer earlier file must leave no tail behind the new
      // content. (Cutting it to nothing first would make some file systems write the whole new
      // file out when it is closed.)
      if (copied) {
        try {
          if (targetFile->Size() > size) {
            targetFile->SetSize(size);
          }
        } catch (const EOSError& error) {
          FProgress.ShowFailure("Step: 2 - " + platform::SystemErrorMessage(error.ErrorCode()));
          copied = false;
        }
      }
    }
  }
  // Cancelled: the target is half-written or no longer wanted. A file made new here and not
  // filled is nobody's copy.
  if (FCancel.Cancelled() || (created && !copied)) {
    platform::DeleteFile(target);
    copied = false;
  }
  return copied;
}

int32_t TUpdater::CopyMappedChunks(platform::IFileMapping& mapping, platform::IFileHandle& target,
                                   int64_t size) {
  const int64_t chunkSize = platform::AllocationGranularity();
  int64_t offset = 0;
  int percentShown = 0;
  int32_t written = 0;
  while (offset != size) {
    const int64_t length = std::min(chunkSize, size - offset);
    if (FCancel.Cancelled()) {
      return -1;
    }
    uint32_t code = 0;
    auto view = mapping.MapView(offset, static_cast<size_t>(length), code);
    if (!view) {
      FProgress.ShowFailure(platform::SystemErrorMessage(code) +
                            ChunkPosition(offset, length, chunkSize, size));
      return -1;
    }
    try {
      target.Write(view->Data(), length);
    } catch (const EOSError& error) {
      FProgress.ShowFailure("Ошибка при записи:\r\n" +
                            platform::SystemErrorMessage(error.ErrorCode()) +
                            ChunkPosition(offset, length, chunkSize, size));
      return -1;
    }
    view.reset();
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
  // An incomplete copy is removed by the copy itself: the rollback would put it back over the
  // installed file.
  return CopyPackageFile(file, backupFile, platform::TFileOpenMode::CreateNew) &&
         platform::DeleteFile(file);
}

void TUpdater::GrantEveryoneAccess(const std::string& file) {
  FFileSecurity.GrantEveryoneAccess(file);
}

void TUpdater::RestoreBackup(platform::TWindowHandle ownerWindow, const std::string& backupFolder,
                             const std::string& targetFolder) {
  // Before the update named its backups there is nothing to put back (and an empty pattern
  // would name the working folder).
  if (backupFolder.empty()) {
    return;
  }
  const int32_t result =
      FShell.Move(ownerWindow, backupFolder + "*.*", targetFolder,
                  platform::TMoveOptions{.NoConfirmation = true, .AllowUndo = true});
  if (result < 0) {
    throw platform::OSError(static_cast<uint32_t>(result));
  }
  platform::RemoveDir(backupFolder);
}

}  // namespace kv::app
