#pragma once
// Product generation 9, with its 32-bit and 64-bit clients. The wizard works with the 32-bit
// client's class.

#include <string>

#include "sysinfo/SysInfo.Core.Smeta6.h"

namespace kv {

// The class operations of generation 9; its classes differ only in their descriptions.
class TSmeta9CustomInformationClass : public TSmeta6InformationClass {
 public:
  using TSmeta6InformationClass::TSmeta6InformationClass;

  virtual std::string AutoSaveAttachments() const;

  std::string DebugLogFolder() const;
  std::string TemplateListVariablesFilename() const;
};

class TSmeta9CustomInformation : public TSmeta6Information {
 public:
  static const TSmeta9CustomInformationClass& ClassInfo();
};

class TSmeta9Information32 : public TSmeta9CustomInformation {
 public:
  static const TSmeta9CustomInformationClass& ClassInfo();
};

class TSmeta9Information64 : public TSmeta9CustomInformation {
 public:
  static const TSmeta9CustomInformationClass& ClassInfo();
};

// Reads the relocation files of the 32-bit and the 64-bit client, each into its own class's
// CustomLocalSetting and CustomSmetaPropsFolder. Done once while the program starts.
void ReadSmeta9UserDataFolders();

}  // namespace kv
