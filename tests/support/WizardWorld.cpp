#include "support/WizardWorld.h"

#include "common/Common.SysUtils.h"
#include "platform/Files.h"
#include "sysinfo/SysInfo.Core.Smeta9.h"

namespace kv::test {

namespace {

const char* const kUninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const char* const kShellFoldersKey =
    "Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

}  // namespace

TWizardWorld::TWizardWorld(bool installed)
    : FRegistryScope(Registry),
      FFoldersScope(Folders),
      FVersionsScope(Versions),
      FMutexesScope(Mutexes),
      FIconsScope(Icons) {
  ProgramFolder = Temp.Path("Программа\\");
  ClientTree = ProgramFolder + "SwiftkitData\\Client\\";
  DocumentTree = ProgramFolder + "SwiftkitData\\Калвор-Divir\\";
  platform::ForceDirectories(ClientTree);
  platform::ForceDirectories(DocumentTree);

  Folders.Set(platform::TSpecialFolder::CommonAppData, Temp.Path("ProgramData"));
  Folders.Set(platform::TSpecialFolder::AppData, Temp.Path("Roaming"));
  Folders.Set(platform::TSpecialFolder::Documents, Temp.Path("Мои документы"));
  DesktopFolder = Temp.Path("Рабочий стол\\");
  Folders.Set(platform::TSpecialFolder::Desktop, ExtractFileDir(DesktopFolder));
  Registry.SetCurrentUser(kShellFoldersKey, "Desktop", ExtractFileDir(DesktopFolder));
  platform::ForceDirectories(DesktopFolder);

  const TSmeta9CustomInformationClass& client = TSmeta9Information32::ClassInfo();
  InstallFolder = Temp.Path("Kalvor Divir\\Client\\");
  if (installed) {
    Registry.Set(platform::TRegistryView::Registry32, kUninstallKey + client.RegistryKey(),
                 "InstallLocation", Temp.Path("Kalvor Divir"));
  }
  WriteFile(InstallFolder + "Kvsmeta.exe", "MZ");
  Versions.Add(InstallFolder + "Kvsmeta.exe",
               {{}, platform::IVersionResource::TFixed{9u << 16 | 4, 120u << 16 | 7}});

  CommonDataFolder = client.CommonDataFolder();
  MyFolderRoot = client.MyFolderRoot();
  CommonSettingFolder = client.CommonSettingFolder();
  for (const std::string* folder : {&CommonDataFolder, &MyFolderRoot, &CommonSettingFolder}) {
    platform::ForceDirectories(*folder);
  }
}

void TWizardWorld::WriteFile(const std::string& path, const std::string& bytes) {
  platform::ForceDirectories(ExtractFileDir(path));
  WriteFileBytes(path, bytes);
}

void TWizardWorld::WriteSettings(const std::string& bytes) const {
  WriteFile(ProgramFolder + "settings.ini", bytes);
}

void TWizardWorld::AddPackageFile(app::TPackageTree tree, const std::string& relativePath,
                                  const std::string& bytes) const {
  WriteFile((tree == app::TPackageTree::Document ? DocumentTree : ClientTree) + relativePath,
            bytes);
}

void TWizardWorld::AddPackageFolder(app::TPackageTree tree, const std::string& relativePath) const {
  platform::ForceDirectories((tree == app::TPackageTree::Document ? DocumentTree : ClientTree) +
                             relativePath);
}

void TWizardWorld::AddInstalledFile(app::TPackageTree tree, const std::string& relativePath,
                                    const std::string& bytes) const {
  WriteFile((tree == app::TPackageTree::Document ? MyFolderRoot : CommonDataFolder) + relativePath,
            bytes);
}

app::TfrmEasySetup& TWizardWorld::CreateWizard() {
  Form = std::make_unique<app::TfrmEasySetup>(View, ProgramFolder);
  View.CloseQuery = [this] { return Form->FormCloseQuery(); };
  Form->FormCreate();
  return *Form;
}

}  // namespace kv::test
