#include "sysinfo/SysInfo.Core.Smeta9.h"

#include <exception>

#include "common/Common.SysUtils.h"

namespace kv {

namespace {

const char* const kSmeta9Folder = "%sKalvor\\KalvorSmeta 9\\Client\\";

// Each client's relocated folders, for the whole process.
TUserDataFolders& Smeta9UserDataFolders32() {
  static TUserDataFolders folders;
  return folders;
}

TUserDataFolders& Smeta9UserDataFolders64() {
  static TUserDataFolders folders;
  return folders;
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
  Smeta9UserDataFolders32() = ReadClientUserDataFolders(TSmeta9Information32::ClassInfo());
  Smeta9UserDataFolders64() = ReadClientUserDataFolders(TSmeta9Information64::ClassInfo());
}

// ---- TSmeta9CustomInformation ----

std::string TSmeta9CustomInformationClass::AppDataFolder() const {
  return PortableOrRooted(kSmeta9Folder, GetAppDataFolderPath);
}

std::string TSmeta9CustomInformationClass::CommonDataFolder() const {
  return PortableOrRooted(kSmeta9Folder, GetCommonAppDataFolderPath);
}

std::string TSmeta9CustomInformationClass::GetDBaseExtension() const {
  return ".kvd8";
}

int32_t TSmeta9CustomInformationClass::MajorVersionDigit() const {
  return 9;
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
                                                  &TSmeta6Information::ClassInfo());
  return info;
}

// ---- TSmeta9Information32 ----

std::string TSmeta9Information32Class::RegistryKey() const {
  return "{5D3B7E10-0001-4C6A-A2F4-900000003201}_is1";
}

std::string TSmeta9Information32Class::ApplicationDisplayName() const {
  return "Калвор Divir Клиент (32 бита)";
}

std::string TSmeta9Information32Class::ApplicationExeName() const {
  return "Kvsmeta.exe";
}

std::string TSmeta9Information32Class::CustomLocalSetting() const {
  return Smeta9UserDataFolders32().LocalSetting;
}

std::string TSmeta9Information32Class::CustomSmetaPropsFolder() const {
  return Smeta9UserDataFolders32().SmetaProps;
}

std::string TSmeta9Information32Class::UserDataFileName() const {
  return "UserData32.xml";
}

const TSmeta9Information32Class& TSmeta9Information32::ClassInfo() {
  static const TSmeta9Information32Class info("TSmeta9Information32",
                                              &TSmeta9CustomInformation::ClassInfo());
  return info;
}

// ---- TSmeta9Information64 ----

std::string TSmeta9Information64Class::RegistryKey() const {
  return "{5D3B7E10-0001-4C6A-A2F4-900000006401}_is1";
}

std::string TSmeta9Information64Class::ApplicationDisplayName() const {
  return "Калвор Divir Клиент (64 бита)";
}

std::string TSmeta9Information64Class::ApplicationExeName() const {
  return "Kvsmeta.exe";
}

std::string TSmeta9Information64Class::CustomLocalSetting() const {
  return Smeta9UserDataFolders64().LocalSetting;
}

std::string TSmeta9Information64Class::CustomSmetaPropsFolder() const {
  return Smeta9UserDataFolders64().SmetaProps;
}

bool TSmeta9Information64Class::ApplicationPlatform64() const {
  return true;
}

std::string TSmeta9Information64Class::UserDataFileName() const {
  return "UserData64.xml";
}

const TSmeta9Information64Class& TSmeta9Information64::ClassInfo() {
  static const TSmeta9Information64Class info("TSmeta9Information64",
                                              &TSmeta9CustomInformation::ClassInfo());
  return info;
}

}  // namespace kv
