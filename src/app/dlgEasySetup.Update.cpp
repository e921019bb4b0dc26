// The copy page's work: the package scan, the update with backups, and the rollback.
#include "app/dlgEasySetup.h"

#include <algorithm>
#include <any>

#include "common/Common.SysUtils.h"
#include "platform/FileSecurity.h"
#include "platform/Files.h"
#include "platform/OSError.h"
#include "platform/Shell.h"
#include "platform/Text.h"
#include "sysinfo/SysInfo.Core.Smeta9.h"

namespace kv::app {

namespace {

const char* const ClientTreeFolder = "SwiftkitData\\Client\\";
const char* const DocumentTreeFolder = "SwiftkitData\\Калвор-Divir\\";
const char* const LinkNameFile = "linkname.txt";
// Package entries are cut to this many characters.
constexpr size_t MaxEntryLength = 260;

// The backup folder of one target root: "ExpressBackup\" and the local date and time.
std::string BackupRoot(const std::string& targetRoot) {
  const std::string stamp =
      StringReplace(platform::DateTimeToStrLocale(platform::Now()), ":", "-", rfReplaceAll);
  return targetRoot + "ExpressBackup\\" + stamp + "\\";
}

// At most MaxEntryLength characters, never half of a surrogate pair.
std::string CutEntry(const std::string& path) {
  // A character takes at least one byte of UTF-8.
  if (path.size() <= MaxEntryLength) {
    return path;
  }
  std::u16string text = platform::Utf8ToUtf16(path);
  if (text.size() <= MaxEntryLength) {
    return path;
  }
  size_t length = MaxEntryLength;
  if (text[length - 1] >= 0xD800 && text[length - 1] <= 0xDBFF) {
    --length;
  }
  text.resize(length);
  return platform::Utf16ToUtf8(text);
}

// The extension with its dot, from the last dot of the file name; empty when there is none.
std::string ExtractFileExt(const std::string& path) {
  const size_t dot = path.find_last_of(".\\:");
  return dot != std::string::npos && path[dot] == '.' ? path.substr(dot) : std::string();
}

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

}  // namespace

void TfrmEasySetup::RunUpdate() {
  FView.SetText(TControl::lblStatus, "Подготовка к работе");
  BreakInstall = false;
  FView.SetVisible(TControl::memInfo, false);

  const auto& client = TSmeta9Information32::ClassInfo();
  if (!client.IsApplicationInstalled()) {
    FView.ShowMessage(
        "Не удалось обнаружить установленную версию КАЛВОР Сметы версии 2018",
        platform::TMessageKind{platform::TMessageButtons::Ok, platform::TMessageIcon::Error});
    StartInstall = false;
    FView.SetVisible(TControl::memStatus, false);
    FView.SetVisible(TControl::lblStatus, false);
    FView.SetText(TControl::lblFinish,
                  "Экспресс установка прервана из-за ошибки. Для завершения нажмите кнопку "
                  "\"Готово\"");
    SetPageState(TPageState::psDone);
    return;
  }
  SmetaCommonFolder = client.CommonDataFolder();
  SmetaAppFolder = client.MyFolderRoot();

  for (TControl shown : {TControl::memStatus, TControl::lblStatus, TControl::pbStatus,
                         TControl::pbCurrentProgress}) {
    FView.SetVisible(shown, true);
  }
  FView.SetLabelColour(TControl::lblNext, DisabledLabelColour);

  BackUpCommonFolder = BackupRoot(SmetaCommonFolder);
  BackUpAppFolder = BackupRoot(SmetaAppFolder);

  const std::string clientTree = FProgramFolder + ClientTreeFolder;
  const std::string documentTree = FProgramFolder + DocumentTreeFolder;
  ScanPackageFolder(clientTree, "", nullptr, ClientTreeTag);
  ScanPackageFolder(documentTree, "", nullptr, DocumentTreeTag);
  ICheckedTree& tree = FView.Tree();
  if (tree.Count() > 0) {
    tree.MakeTopItem(tree.Item(0));
  }

  MergeExternalFileExts();

  FView.SetProgressMax(TControl::pbStatus, DataList.Count());
  FView.SetProgressMax(TControl::pbCurrentProgress, 100);

  // Folder creation failures show when the copy into the folder fails.
  const auto createFolder = [this](const std::string& folder) {
    try {
      platform::ForceDirectories(folder);
      FView.AppendLog("Создана директория \"" + folder + "\"");
    } catch (const EOSError&) {
    }
    FView.ProcessMessages();
  };

  for (int i = 0; i < DataList.Count(); ++i) {
    if (BreakInstall) {
      return;
    }
    const std::string& relative = DataList[i];
    const bool fromClientTree = std::any_cast<int>(DataList.Objects(i)) == ClientTreeTag;
    const std::string source = (fromClientTree ? clientTree : documentTree) + relative;
    const std::string target = (fromClientTree ? SmetaCommonFolder : SmetaAppFolder) + relative;
    const std::string backupFile =
        (fromClientTree ? BackUpCommonFolder : BackUpAppFolder) + relative;

    if (platform::FileExists(source)) {
      FView.SetText(TControl::lblStatus, source);
      bool replaced = false;
      // An installed file is only overwritten once a copy of it is safe in the backup.
      bool installedIsSafe = true;
      if (platform::FileExists(target)) {
        if (BreakInstall) {
          return;
        }
        const std::string backupFolder = ExtractFilePath(backupFile);
        if (!platform::DirectoryExists(backupFolder)) {
          createFolder(backupFolder);
        }
        if (BreakInstall) {
          return;
        }
        if (BackupFile(target, backupFile)) {
          FView.AppendLog("Файл \"" + relative + "\" сохранен в бэкапе.");
        } else {
          FView.AppendLog("Ошибка создания резервной копии \"" + relative + "\"");
          installedIsSafe = platform::FileExists(backupFile);
        }
        FView.ProcessMessages();
        replaced = true;
      }

      if (BreakInstall) {
        return;
      }
      const std::string targetFolder = ExtractFilePath(target);
      if (!platform::DirectoryExists(targetFolder)) {
        createFolder(targetFolder);
      }

      if (BreakInstall) {
        return;
      }
      if (installedIsSafe && CopyPackageFile(source, target)) {
        FView.AppendLog("Файл \"" + relative + (replaced ? "\" обновлен." : "\" добавлен."));
      } else {
        FView.AppendLog("Ошибка обновления файла: \"" + relative + "\"");
      }
      GrantEveryoneAccess(target);
    }

    FView.StepProgress(TControl::pbStatus);
    FView.ScrollLogToEnd();
    FView.ScrollLogToEnd();
    FView.ProcessMessages();
  }

  FView.AppendLog("Все файлы обновлены.");
  FView.AppendLog("Количество обновленных файлов: " + std::to_string(DataList.Count()));
  FView.AppendLog("");
  FView.AppendLog("Для продолжения нажмите \"Далее>\"");
}

void TfrmEasySetup::ScanPackageFolder(const std::string& folder, const std::string& relativePrefix,
                                      TTreeNode parentNode, int tag) {
  const size_t rootLength = folder.size() - relativePrefix.size();
  ICheckedTree& tree = FView.Tree();
  const auto autoLink = [&](TTreeNode node, const std::string& path) {
    if (!IsAutoLink(path)) {
      return;
    }
    tree.SetChecked(node, true, true);
    for (TTreeNode shown = node; shown; shown = tree.Parent(shown)) {
      tree.Expand(shown);
    }
  };

  for (const platform::TFileEntry& entry : platform::FindFiles(folder, "*.*")) {
    const std::string& name = entry.Name;
    if (name.starts_with('.') || name == LinkNameFile) {
      continue;
    }
    const std::string path = folder + name;
    if (entry.IsDirectory) {
      TTreeNode node = parentNode;
      if (tag == DocumentTreeTag) {
        const int32_t icon = GetShellIconIndex(path);
        node = tree.AddChildFirst(parentNode, name, icon, DataList.Count());
        autoLink(node, relativePrefix + name + "\\");
      }
      DataList.Add(CutEntry(path.substr(rootLength)), tag);
      ScanPackageFolder(path + "\\", relativePrefix + name + "\\", node, tag);
    } else {
      if (tag == DocumentTreeTag) {
        const int32_t icon = GetShellIconIndex(path);
        const TTreeNode node = tree.AddChild(parentNode, name, icon, DataList.Count());
        autoLink(node, relativePrefix + name);
      }
      DataList.Add(CutEntry(path.substr(rootLength)), tag);
    }
  }
}

int32_t TfrmEasySetup::GetShellIconIndex(const std::string& path) {
  platform::IFileIcons& icons = platform::CurrentFileIcons::Get();
  if (ExtractFileExt(path) == ".exe") {
    return icons.SystemIconIndex(path);
  }
  return icons.AddAssociatedIcon(ImageListHandle, path);
}

bool TfrmEasySetup::CopyPackageFile(const std::string& source, const std::string& target) {
  using platform::TFileOpenMode;
  using platform::TFileShare;
  bool copied = false;
  {
    uint32_t code = 0;
    const auto sourceFile =
        platform::TryOpenFile(source, TFileOpenMode::OpenRead, TFileShare::DenyWrite, code);
    if (!sourceFile) {
      FView.ShowMessage("Step: 1 - " + platform::SystemErrorMessage(code),
                        platform::TMessageKind{});
    } else {
      const int64_t size = sourceFile->Size();
      const auto targetFile =
          platform::TryOpenFile(target, TFileOpenMode::OpenOrCreate, TFileShare::DenyRead, code);
      if (!targetFile) {
        FView.ShowMessage("Step: 2 - " + platform::SystemErrorMessage(code),
                          platform::TMessageKind{});
      } else if (size == 0) {
        // Nothing to map: the empty target already holds the source's bytes.
        copied = true;
      } else if (const auto mapping = sourceFile->MapReadOnly(code); !mapping) {
        FView.ShowMessage("Step: 3 - " + platform::SystemErrorMessage(code),
                          platform::TMessageKind{});
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
          FView.ShowMessage("Step: 2 - " + platform::SystemErrorMessage(error.ErrorCode()),
                            platform::TMessageKind{});
          copied = false;
        }
      }
    }
  }
  // Cancelled: the target is half-written or no longer wanted.
  if (BreakInstall) {
    platform::DeleteFile(target);
    copied = false;
  }
  return copied;
}

int32_t TfrmEasySetup::CopyMappedChunks(platform::IFileMapping& mapping,
                                        platform::IFileHandle& target, int64_t size) {
  const int64_t chunkSize = platform::AllocationGranularity();
  int64_t offset = 0;
  int percentShown = 0;
  int32_t written = 0;
  while (offset != size) {
    const int64_t length = std::min(chunkSize, size - offset);
    if (BreakInstall) {
      return -1;
    }
    uint32_t code = 0;
    auto view = mapping.MapView(offset, static_cast<size_t>(length), code);
    if (!view) {
      FView.ShowMessage(
          platform::SystemErrorMessage(code) + ChunkPosition(offset, length, chunkSize, size),
          platform::TMessageKind{});
      return -1;
    }
    try {
      target.Write(view->Data(), length);
    } catch (const EOSError& error) {
      FView.ShowMessage("Ошибка при записи:\r\n" + platform::SystemErrorMessage(error.ErrorCode()) +
                            ChunkPosition(offset, length, chunkSize, size),
                        platform::TMessageKind{});
      return -1;
    }
    view.reset();
    written = static_cast<int32_t>(length);
    offset += length;
    FView.ProcessMessages();

    const int percent = Percent(offset, size);
    if (percent > percentShown) {
      FView.SetProgress(TControl::pbCurrentProgress, percent);
      percentShown = percent;
    }
  }
  return written;
}

bool TfrmEasySetup::BackupFile(const std::string& file, const std::string& backupFile) {
  if (CopyPackageFile(file, backupFile)) {
    return platform::DeleteFile(file);
  }
  // The rollback would put an incomplete copy back over the installed file.
  platform::DeleteFile(backupFile);
  return false;
}

void TfrmEasySetup::GrantEveryoneAccess(const std::string& file) {
  platform::CurrentFileSecurity::Get().GrantEveryoneAccess(file);
}

void TfrmEasySetup::RestoreBackups() {
  platform::IShellFileOperations& shell = platform::CurrentShellFileOperations::Get();
  const std::pair<const std::string&, const std::string&> roots[] = {
      {BackUpCommonFolder, SmetaCommonFolder}, {BackUpAppFolder, SmetaAppFolder}};
  for (const auto& [backup, target] : roots) {
    // Before the update named its backups there is nothing to put back (and an empty pattern
    // would name the working folder).
    if (backup.empty()) {
      continue;
    }
    const int32_t result =
        shell.Move(FView.Handle(), backup + "*.*", target,
                   platform::TMoveOptions{.NoConfirmation = true, .AllowUndo = true});
    if (result < 0) {
      throw platform::OSError(static_cast<uint32_t>(result));
    }
    platform::RemoveDir(backup);
  }
  for (const auto& link : ShortCutList) {
    platform::DeleteFile(link.Text);
  }
}

}  // namespace kv::app
