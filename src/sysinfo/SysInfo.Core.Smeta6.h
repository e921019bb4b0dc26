#pragma once
// Product generation 6: where it keeps its program, machine-wide data, per-user settings and
// documents, and the names of its files there. The layout is the same for every generation and
// bitness; what tells them apart is a description, so generation 9 reuses these operations.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Xml.h"
#include "sysinfo/SysInfo.Core.Application.h"

namespace kv {

// The folders a user-data relocation file names, each with a trailing backslash; empty where it
// names none.
struct TUserDataFolders {
  std::string LocalSetting;
  std::string SmetaProps;
};

// What tells one product class from another; each class of the family has one.
struct TProductDescription {
  const char* RegistryKey;
  const char* ApplicationDisplayName;
  int32_t MajorVersionDigit;
  bool ApplicationPlatform64;
  const char* DBaseExtension;
  // The folder of AppDataFolder and CommonDataFolder below their special folders.
  const char* ProductFolder;
  // The file name part of UserDataFolderSettingFilename.
  const char* UserDataFileName;
  // The class's relocated folders, for the whole process; filled once at start-up.
  TUserDataFolders* UserDataFolders;
};

// The class operations of generation 6 and the generations after it, computed from the class's
// description.
class TSmeta6InformationClass : public TCustomApplicationInformationClass {
 public:
  TSmeta6InformationClass(std::string name, const TClass* parent,
                          const TProductDescription& description);

  const TProductDescription& Description() const { return FDescription; }

  std::string RegistryKey() const override;
  std::string ApplicationDisplayName() const override;
  std::string ApplicationExeName() const override;
  std::string DBaseFolder() const override;
  // The install location's "Client\" subfolder; the program's own folder in portable mode.
  std::string InstallFolder() const override;
  std::string MutexName() const override;
  std::string PortableRelativePath() const override;
  bool TrustedApplication() const override;
  int32_t MajorVersionDigit() const override;
  bool ApplicationPlatform64() const override;

  // The per-user (roaming) data folder; InstallFolder in portable mode.
  virtual std::string AppDataFolder() const;
  // The LocalSetting folder named by the user-data relocation file; empty when none is.
  virtual std::string CustomLocalSetting() const;
  // The machine-wide data folder; InstallFolder in portable mode.
  virtual std::string CommonDataFolder() const;
  // The SmetaProps folder named by the user-data relocation file; empty when none is.
  virtual std::string CustomSmetaPropsFolder() const;
  virtual std::string GetDBaseExtension() const;

  // The root of the user's documents of the product; InstallFolder in portable mode.
  std::string MyFolderRoot() const;

  std::string CommonSettingFolder() const;
  std::string CommonSettingFilename() const;
  std::string ConnectionOptionsFilename() const;
  std::string ElementsComparerSettingFilename() const;
  std::string LoginHostSettingFilename() const;
  std::string MessagesFilterFileName() const;
  std::string NbDataSearchParamSettingFilename() const;
  std::string NBFavoriteListSettingFilename() const;
  std::string PriceTransferSettingFilename() const;
  std::string RibbonSettingFilename() const;
  std::string SessionSettingFilename() const;
  // The user-data relocation file.
  std::string UserDataFolderSettingFilename() const;

  std::string AutoSaveFoder() const;
  std::string HistoryFolder() const;
  std::string CreateHistoryFilename() const;
  std::string ExportHistoryFilename() const;
  std::string LocalHistorySettingFilename() const;
  std::string RecentDocsSettingFilename() const;

  std::string BootLogFolder() const;
  std::string NormBasesFolder() const;
  std::string NBCacheFolder() const;
  std::string DefaultNewDocsFolder() const;
  std::string DocTemplatesFolder() const;
  std::string ExpTemplatesFolder() const;
  std::string DefaultExpSettingFile() const;
  std::string TemplatesFolder() const;
  std::string TemplateItogFilename() const;
  std::string UserParamFilename() const;
  std::string UserTemplatesFolder() const;

  // CustomLocalSetting, or the default LocalSetting folder when it is empty.
  std::string LocalSetting() const;
  std::string CrossrkFileName() const;
  std::string OrgRootXMLFileName() const;
  std::string SignRootXMLFileName() const;
  std::string SignTypesXMLFileName() const;
  std::string WintersFileName() const;
  std::string CodeReplacementsFileName() const;
  // CustomSmetaPropsFolder, or the default SmetaProps folder when it is empty.
  std::string SmetaPropsFolder() const;

  std::string MyDocuments() const;
  std::string MyDocTemplates() const;
  std::string MyExpTemplates() const;
  std::string MyNBTemplatesFolder() const;

  bool IsAppDataFolderHasWritePrivilege() const;
  bool IsNBCacheFolderHasWritePrivilege() const;
  bool IsNBDataFolderHasWritePrivilege() const;

  // Appends the autosave folder's path, its number of "*.tmp" files and their total size to a
  // support report.
  void GetAutoSaveFolderInfo(std::string& text) const;
  // Appends the list of the bases in DBaseFolder to a support report; a base that cannot be
  // read gets a line with its error and the list goes on.
  void GetModulesState(std::string& text) const;
  // The same as a child "dbase" with one "item" per base ("error" instead of its record when it
  // cannot be read).
  void GetModulesState(platform::TXmlNode node) const;

 private:
  // The full names of the base files in DBaseFolder.
  std::vector<std::string> DBaseFiles() const;
  // InstallFolder in portable mode; otherwise the folder below the special folder.
  std::string PortableOrBelow(std::string (*specialFolder)(), const char* folder) const;

  const TProductDescription FDescription;
};

class TSmeta6Information : public TCustomApplicationInformation {
 public:
  static const TSmeta6InformationClass& ClassInfo();
};

// The existing folders that the attributes "LocalSetting" and "SmetaProps" of a relocation
// file's root element "UserData" name. Nothing is relocated when the file is missing, unreadable
// or malformed, or its root has another name.
TUserDataFolders ReadUserDataFolders(const std::string& fileName);

// Reads the generation's relocation file into CustomLocalSetting and CustomSmetaPropsFolder of
// TSmeta6Information (and so of TSmeta9CustomInformation). Done once while the program starts.
void ReadSmeta6UserDataFolders();

}  // namespace kv
