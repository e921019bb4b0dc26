#pragma once
// A machine for the wizard's tests inside a temporary folder: the generation-9 client installed
// where the product lookup finds it (its uninstall entry, its executable with a version-9
// resource, the user's special folders and desktop), an empty package next to a program folder,
// and the wizard's window as a fake. The registry, special folders, version resources, named
// mutexes and file icons are fakes for the world's lifetime; the shell's links and file
// operations stay the build's own.

#include <memory>
#include <string>

#include "app/dlgEasySetup.h"
#include "platform/Current.h"
#include "support/FakeEasySetupView.h"
#include "support/FakeFileIcons.h"
#include "support/FakeNamedMutexes.h"
#include "support/FakeRegistry.h"
#include "support/FakeShellFolders.h"
#include "support/FakeVersionResources.h"
#include "support/TempFolder.h"

namespace kv::test {

class TWizardWorld {
 public:
  // With installed false, the client's uninstall entry is missing: no client is found.
  explicit TWizardWorld(bool installed = true);
  TWizardWorld(const TWizardWorld&) = delete;
  TWizardWorld& operator=(const TWizardWorld&) = delete;

  // A file with its missing folders; path is a full path.
  static void WriteFile(const std::string& path, const std::string& bytes);
  // settings.ini next to the program.
  void WriteSettings(const std::string& bytes) const;
  // A package file or folder below the package tree.
  void AddPackageFile(app::TPackageTree tree, const std::string& relativePath,
                      const std::string& bytes) const;
  void AddPackageFolder(app::TPackageTree tree, const std::string& relativePath) const;
  // A file of the installed client below the target folder of the tree.
  void AddInstalledFile(app::TPackageTree tree, const std::string& relativePath,
                        const std::string& bytes) const;

  // The wizard on View, created as the window creates it (FormCreate ran); the view's close
  // query is the wizard's.
  app::TfrmEasySetup& CreateWizard();

  TTempFolder Temp;
  FakeRegistry Registry;
  FakeSpecialFolders Folders;
  FakeVersionResources Versions;
  FakeNamedMutexes Mutexes;
  FakeFileIcons Icons;

 private:
  platform::TScopedCurrent<platform::IRegistry> FRegistryScope;
  platform::TScopedCurrent<platform::ISpecialFolders> FFoldersScope;
  platform::TScopedCurrent<platform::IFileVersionResources> FVersionsScope;
  platform::TScopedCurrent<platform::INamedMutexes> FMutexesScope;
  platform::TScopedCurrent<platform::IFileIcons> FIconsScope;

 public:
  // Folders, each with a trailing backslash: the wizard's executable with settings.ini and the
  // package next to it, the package's two trees, the client's install folder, and the targets
  // the product lookup names (SmetaCommonFolder and SmetaAppFolder), the client's per-user
  // settings folder (CommonSetting.XML, Connections.xml) and the user's desktop.
  std::string ProgramFolder;
  std::string ClientTree;
  std::string DocumentTree;
  std::string InstallFolder;
  std::string CommonDataFolder;
  std::string MyFolderRoot;
  std::string CommonSettingFolder;
  std::string DesktopFolder;

  FakeEasySetupView View;
  std::unique_ptr<app::TfrmEasySetup> Form;
};

}  // namespace kv::test
