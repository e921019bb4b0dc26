#pragma once
// Product generation 9, with its 32-bit and 64-bit clients. The wizard works with the 32-bit
// client's class.

#include <string>

#include "sysinfo/SysInfo.Core.Smeta6.h"

namespace kv {

// What the two clients of generation 9 share.
class TSmeta9CustomInformationClass : public TSmeta6InformationClass {
 public:
  using TSmeta6InformationClass::TSmeta6InformationClass;

  std::string AppDataFolder() const override;
  std::string CommonDataFolder() const override;
  std::string GetDBaseExtension() const override;
  int32_t MajorVersionDigit() const override;

  virtual std::string AutoSaveAttachments() const;

  std::string DebugLogFolder() const;
  std::string TemplateListVariablesFilename() const;
};

class TSmeta9Information32Class : public TSmeta9CustomInformationClass {
 public:
  using TSmeta9CustomInformationClass::TSmeta9CustomInformationClass;

  std::string RegistryKey() const override;
  std::string ApplicationDisplayName() const override;
  std::string ApplicationExeName() const override;
  std::string CustomLocalSetting() const override;
  std::string CustomSmetaPropsFolder() const override;

 protected:
  std::string UserDataFileName() const override;
};

class TSmeta9Information64Class : public TSmeta9CustomInformationClass {
 public:
  using TSmeta9CustomInformationClass::TSmeta9CustomInformationClass;

  std::string RegistryKey() const override;
  std::string ApplicationDisplayName() const override;
  std::string ApplicationExeName() const override;
  std::string CustomLocalSetting() const override;
  std::string CustomSmetaPropsFolder() const override;
  bool ApplicationPlatform64() const override;

 protected:
  std::string UserDataFileName() const override;
};

class TSmeta9CustomInformation : public TSmeta6Information {
 public:
  static const TSmeta9CustomInformationClass& ClassInfo();
};

class TSmeta9Information32 : public TSmeta9CustomInformation {
 public:
  static const TSmeta9Information32Class& ClassInfo();
};

class TSmeta9Information64 : public TSmeta9CustomInformation {
 public:
  static const TSmeta9Information64Class& ClassInfo();
};

// Reads the relocation files of the 32-bit and the 64-bit client, each into its own class's
// CustomLocalSetting and CustomSmetaPropsFolder. Done once while the program starts.
void ReadSmeta9UserDataFolders();

}  // namespace kv
