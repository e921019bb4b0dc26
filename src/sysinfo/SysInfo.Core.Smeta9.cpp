#include "sysinfo/SysInfo.Core.Smeta9.h"

#include <exception>

namespace kv {

namespace {

constexpr const char* kSmeta9Folder = "Kalvor\\KalvorSmeta 9\\Client\\";

constinit TUserDataFolders userDataFolders32;
constinit TUserDataFolders userDataFolders64;

constexpr TProductDescription kSmeta9Client32 = {
    .RegistryKey = "{5D3B7E10-0001-4C6A-A2F4-900000003201}_is1",
    .ApplicationDisplayName = "Калвор Divir Клиент (32 бита)",
    .MajorVersionDigit = 9,
    .ApplicationPlatform64 = false,
    .DBaseExtension = ".kvd8",
    .ProductFolder = kSmeta9Folder,
    .UserDataFileName = "UserData32.xml",
    .UserDataFolders = &userDataFolders32,
};

constexpr TProductDescription kSmeta9Client64 = {
    .RegistryKey = "{5D3B7E10-0001-4C6A-A2F4-900000006401}_is1",
    .ApplicationDisplayName = "Калвор Divir Клиент (64 бита)",
    .MajorVersionDigit = 9,
    .ApplicationPlatform64 = true,
    .DBaseExtension = ".kvd8",
    .ProductFolder = kSmeta9Folder,
    .UserDataFileName = "UserData64.xml",
    .UserDataFolders = &userDataFolders64,
};

// The generation's common class: generation 9's layout under the names and the relocated folders
// it inherits from generation 6.
TProductDescription Smeta9Common() {
  TProductDescription description = TSmeta6Information::ClassInfo().Description();
  description.MajorVersionDigit = 9;
  description.DBaseExtension = ".kvd8";
  description.ProductFolder = kSmeta9Folder;
  return description;
}

// The client's relocated folders; none when the special folders cannot be named.
TUserDataFolders ReadClientUserDataFolders(const TSmeta9CustomInformationClass& client) {
  try {
    return ReadUserDataFolders(client.UserDataFolderSettingFilename());
  } catch (const std::exception&) {
    return {};
  }
}

// Before the program's main code runs, as the client's own start-up does.
const bool kUserDataFoldersRead = (ReadSmeta9UserDataFolders(), true);

}  // namespace

void ReadSmeta9UserDataFolders() {
  userDataFolders32 = ReadClientUserDataFolders(TSmeta9Information32::ClassInfo());
  userDataFolders64 = ReadClientUserDataFolders(TSmeta9Information64::ClassInfo());
}

std::string TSmeta9CustomInformationClass::AutoSaveAttachments() const {
  return AutoSaveFoder() + "Attachments\\";
}

std::string TSmeta9CustomInformationClass::DebugLogFolder() const {
  return AppDataFolder() + "DebugLog\\";
}

std::string TSmeta9CustomInformationClass::TemplateListVariablesFilename() const {
  return TemplatesFolder() + "ListVariables.xlt";
}

const TSmeta9CustomInformationClass& TSmeta9CustomInformation::ClassInfo() {
  static const TSmeta9CustomInformationClass info("TSmeta9CustomInformation",
                                                  &TSmeta6Information::ClassInfo(), Smeta9Common());
  return info;
}

const TSmeta9CustomInformationClass& TSmeta9Information32::ClassInfo() {
  static const TSmeta9CustomInformationClass info(
      "TSmeta9Information32", &TSmeta9CustomInformation::ClassInfo(), kSmeta9Client32);
  return info;
}

const TSmeta9CustomInformationClass& TSmeta9Information64::ClassInfo() {
  static const TSmeta9CustomInformationClass info(
      "TSmeta9Information64", &TSmeta9CustomInformation::ClassInfo(), kSmeta9Client64);
  return info;
}

}  // namespace kv
