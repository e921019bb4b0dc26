#include "sysinfo/SysInfo.Core.Smeta6.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <exception>
#include <utility>

#include "common/Common.SysUtils.h"
#include "options/Common.XMLUtils.h"
#include "platform/Files.h"
#include "platform/Text.h"
#include "sysinfo/SysInfo.Core.CommonUtils.h"
#include "sysinfo/SysInfo.Core.SmetaDBase.h"

namespace kv {

namespace {

// A message on one report line.
std::string OneLine(const std::string& message) {
  std::string line = StringReplace(message, "\r\n", " ", rfReplaceAll);
  std::replace(line.begin(), line.end(), '\n', ' ');
  return std::string(Trim(line));
}

constinit TUserDataFolders smeta6UserDataFolders;

constexpr TProductDescription kSmeta6 = {
    .RegistryKey = "{5D3B7E10-0001-4C6A-A2F4-600000000001}_is1",
    .ApplicationDisplayName = "Калвор Divir Клиент",
    .MajorVersionDigit = 6,
    .ApplicationPlatform64 = false,
    .DBaseExtension = ".kvd5",
    .ProductFolder = "Kalvor\\KalvorSmeta 6\\Client\\",
    .UserDataFileName = "UserData.xml",
    .UserDataFolders = &smeta6UserDataFolders,
};

std::string ExistingFolder(const std::string& path) {
  return !path.empty() && platform::DirectoryExists(path) ? IncludeTrailingBackslash(path) : "";
}

// Before the program's main code runs, as the client's own start-up does.
const bool kUserDataFoldersRead = (ReadSmeta6UserDataFolders(), true);

}  // namespace

TUserDataFolders ReadUserDataFolders(const std::string& fileName) {
  try {
    if (!platform::FileExists(fileName)) {
      return {};
    }
    const TXmlNode root = LoadXMLFile(fileName).DocumentElement();
    if (!root || root.Name() != "UserData") {
      return {};
    }
    return {ExistingFolder(GetNodeAttributeText(root, "LocalSetting")),
            ExistingFolder(GetNodeAttributeText(root, "SmetaProps"))};
  } catch (const std::exception&) {
    return {};
  }
}

void ReadSmeta6UserDataFolders() {
  try {
    smeta6UserDataFolders =
        ReadUserDataFolders(TSmeta6Information::ClassInfo().UserDataFolderSettingFilename());
  } catch (const std::exception&) {
    // The special folders cannot be named: nothing is relocated.
    smeta6UserDataFolders = {};
  }
}

TSmeta6InformationClass::TSmeta6InformationClass(std::string name, const TClass* parent,
                                                 const TProductDescription& description)
    : TCustomApplicationInformationClass(std::move(name), parent), FDescription(description) {}

std::string TSmeta6InformationClass::RegistryKey() const {
  return FDescription.RegistryKey;
}

std::string TSmeta6InformationClass::ApplicationDisplayName() const {
  return FDescription.ApplicationDisplayName;
}

std::string TSmeta6InformationClass::ApplicationExeName() const {
  return "Kvsmeta.exe";
}

std::string TSmeta6InformationClass::DBaseFolder() const {
  return CommonDataFolder() + "Data\\";
}

std::string TSmeta6InformationClass::InstallFolder() const {
  const std::string folder = TCustomApplicationInformationClass::InstallFolder();
  return PortableMode() == kPortableMode ? folder : folder + "Client\\";
}

std::string TSmeta6InformationClass::MutexName() const {
  return "KalvorSmeta_client";
}

std::string TSmeta6InformationClass::PortableRelativePath() const {
  return "Kalvor\\Kalvorsmeta\\";
}

bool TSmeta6InformationClass::TrustedApplication() const {
  return true;
}

int32_t TSmeta6InformationClass::MajorVersionDigit() const {
  return FDescription.MajorVersionDigit;
}

bool TSmeta6InformationClass::ApplicationPlatform64() const {
  return FDescription.ApplicationPlatform64;
}

std::string TSmeta6InformationClass::AppDataFolder() const {
  return PortableOrBelow(GetAppDataFolderPath, FDescription.ProductFolder);
}

std::string TSmeta6InformationClass::CustomLocalSetting() const {
  return FDescription.UserDataFolders->LocalSetting;
}

std::string TSmeta6InformationClass::CommonDataFolder() const {
  return PortableOrBelow(GetCommonAppDataFolderPath, FDescription.ProductFolder);
}

std::string TSmeta6InformationClass::CustomSmetaPropsFolder() const {
  return FDescription.UserDataFolders->SmetaProps;
}

std::string TSmeta6InformationClass::GetDBaseExtension() const {
  return FDescription.DBaseExtension;
}

std::string TSmeta6InformationClass::MyFolderRoot() const {
  return PortableOrBelow(GetPersonalFolderPath, "Калвор-Divir\\");
}

std::string TSmeta6InformationClass::CommonSettingFolder() const {
  return AppDataFolder() + "Settings\\";
}

std::string TSmeta6InformationClass::CommonSettingFilename() const {
  return CommonSettingFolder() + "CommonSetting.xml";
}

std::string TSmeta6InformationClass::ConnectionOptionsFilename() const {
  return CommonSettingFolder() + "Connections.xml";
}

std::string TSmeta6InformationClass::ElementsComparerSettingFilename() const {
  return CommonSettingFolder() + "ElementsComparer.xml";
}

std::string TSmeta6InformationClass::LoginHostSettingFilename() const {
  return CommonSettingFolder() + "LoginHost.xml";
}

std::string TSmeta6InformationClass::MessagesFilterFileName() const {
  return CommonSettingFolder() + "MessagesFilter.xml";
}

std::string TSmeta6InformationClass::NbDataSearchParamSettingFilename() const {
  return CommonSettingFolder() + "NbDataSearchParam.xml";
}

std::string TSmeta6InformationClass::NBFavoriteListSettingFilename() const {
  return CommonSettingFolder() + "NbFavoriteList.xml";
}

std::string TSmeta6InformationClass::PriceTransferSettingFilename() const {
  return CommonSettingFolder() + "PriceTransfer.xml";
}

std::string TSmeta6InformationClass::RibbonSettingFilename() const {
  return CommonSettingFolder() + "Ribbon.xml";
}

std::string TSmeta6InformationClass::SessionSettingFilename() const {
  return CommonSettingFolder() + "SessionSetting.xml";
}

std::string TSmeta6InformationClass::UserDataFolderSettingFilename() const {
  return CommonSettingFolder() + FDescription.UserDataFileName;
}

std::string TSmeta6InformationClass::AutoSaveFoder() const {
  return AppDataFolder() + "Autosave\\";
}

std::string TSmeta6InformationClass::HistoryFolder() const {
  return AppDataFolder() + "History\\";
}

std::string TSmeta6InformationClass::CreateHistoryFilename() const {
  return HistoryFolder() + "CreateHistory.xml";
}

std::string TSmeta6InformationClass::ExportHistoryFilename() const {
  return HistoryFolder() + "ExportHistory.xml";
}

std::string TSmeta6InformationClass::LocalHistorySettingFilename() const {
  return HistoryFolder() + "History.xml";
}

std::string TSmeta6InformationClass::RecentDocsSettingFilename() const {
  return HistoryFolder() + "RecentDocs.xml";
}

std::string TSmeta6InformationClass::BootLogFolder() const {
  return CommonDataFolder() + "BootLog\\";
}

std::string TSmeta6InformationClass::NormBasesFolder() const {
  return DBaseFolder();
}

std::string TSmeta6InformationClass::NBCacheFolder() const {
  return CommonDataFolder() + "NbCache\\";
}

std::string TSmeta6InformationClass::DefaultNewDocsFolder() const {
  return CommonDataFolder() + "DefaultNewDocs\\";
}

std::string TSmeta6InformationClass::DocTemplatesFolder() const {
  return CommonDataFolder() + "DocTemplates\\";
}

std::string TSmeta6InformationClass::ExpTemplatesFolder() const {
  return CommonDataFolder() + "ExpTemplates\\";
}

std::string TSmeta6InformationClass::DefaultExpSettingFile() const {
  return ExpTemplatesFolder() + "ExpDefault.xml";
}

std::string TSmeta6InformationClass::TemplatesFolder() const {
  return CommonDataFolder() + "Templates\\";
}

std::string TSmeta6InformationClass::TemplateItogFilename() const {
  return TemplatesFolder() + "Itog.xlt";
}

std::string TSmeta6InformationClass::UserParamFilename() const {
  return TemplatesFolder() + "Doc.ini";
}

std::string TSmeta6InformationClass::UserTemplatesFolder() const {
  return CommonDataFolder() + "UserTemplates\\";
}

std::string TSmeta6InformationClass::LocalSetting() const {
  const std::string custom = CustomLocalSetting();
  return custom.empty() ? CommonDataFolder() + "LocalSetting\\" : custom;
}

std::string TSmeta6InformationClass::CrossrkFileName() const {
  return LocalSetting() + "Crossrk.xml";
}

std::string TSmeta6InformationClass::OrgRootXMLFileName() const {
  return LocalSetting() + "DocOrgs.xml";
}

std::string TSmeta6InformationClass::SignRootXMLFileName() const {
  return LocalSetting() + "Signs.xml";
}

std::string TSmeta6InformationClass::SignTypesXMLFileName() const {
  return LocalSetting() + "Signtypes.xml";
}

std::string TSmeta6InformationClass::WintersFileName() const {
  return LocalSetting() + "Winters.xml";
}

std::string TSmeta6InformationClass::CodeReplacementsFileName() const {
  return LocalSetting() + "CodeReplacements.xml";
}

std::string TSmeta6InformationClass::SmetaPropsFolder() const {
  const std::string custom = CustomSmetaPropsFolder();
  return custom.empty() ? CommonDataFolder() + "SmetaProps\\" : custom;
}

std::string TSmeta6InformationClass::MyDocuments() const {
  return MyFolderRoot() + "Мои Сметы\\";
}

std::string TSmeta6InformationClass::MyDocTemplates() const {
  return MyFolderRoot() + "Мои шаблоны\\";
}

std::string TSmeta6InformationClass::MyExpTemplates() const {
  return MyFolderRoot() + "Мои формы\\";
}

std::string TSmeta6InformationClass::MyNBTemplatesFolder() const {
  return MyFolderRoot() + "Мои базы\\";
}

bool TSmeta6InformationClass::IsAppDataFolderHasWritePrivilege() const {
  return CheckFolderWritePrivilege(AppDataFolder());
}

bool TSmeta6InformationClass::IsNBCacheFolderHasWritePrivilege() const {
  return CheckFolderWritePrivilege(NBCacheFolder());
}

bool TSmeta6InformationClass::IsNBDataFolderHasWritePrivilege() const {
  return CheckFolderWritePrivilege(NormBasesFolder());
}

void TSmeta6InformationClass::GetAutoSaveFolderInfo(std::string& text) const {
  const std::string folder = AutoSaveFoder();
  int count = 0;
  int64_t size = 0;
  for (const platform::TFileEntry& entry : platform::FindFiles(folder, "*.tmp")) {
    if (!entry.IsDirectory) {
      ++count;
      size += entry.Size;
    }
  }
  text += "    Каталог автосохранения:\r\n";
  text += "      - путь: " + folder + "\r\n";
  text += "      - файлов: " + std::to_string(count) + "\r\n";
  text += "      - размер: " + FormatByteSize(size) + "\r\n";
}

std::vector<std::string> TSmeta6InformationClass::DBaseFiles() const {
  const std::string folder = DBaseFolder();
  std::vector<std::string> files;
  for (const platform::TFileEntry& entry : platform::FindFiles(folder, "*" + GetDBaseExtension())) {
    if (!entry.IsDirectory) {
      files.push_back(folder + entry.Name);
    }
  }
  return files;
}

void TSmeta6InformationClass::GetModulesState(std::string& text) const {
  text += "    Список доступных баз:";
  const std::vector<std::string> files = DBaseFiles();
  for (const std::string& file : files) {
    try {
      text += "\r\n" + DescribeDBase(file);
    } catch (const Exception& error) {
      text += "\r\n      - Путь: " + file + "\r\n        - Ошибка: " + OneLine(error.Message());
    }
  }
  if (files.empty()) {
    text += "\r\n      - Отсутствуют";
  }
}

void TSmeta6InformationClass::GetModulesState(platform::TXmlNode node) const {
  platform::TXmlNode dbase = node.AppendChild("dbase");
  for (const std::string& file : DBaseFiles()) {
    platform::TXmlNode item = dbase.AppendChild("item");
    item.SetAttribute("path", file);
    try {
      const TNB_InfoStruct info = ReadDBaseInfo(file);
      item.SetAttribute("region", info.RegionName);
      item.SetAttribute("version", std::to_string(info.ReleaseNumber));
      item.SetAttribute("code", std::to_string(info.Code.IntDBCode()));
      item.SetAttribute("date", platform::DateTimeToStrLocale(std::trunc(info.CreationDate)));
      item.SetAttribute("publisher", PublisherText(info.Publidher));
      item.SetAttribute("year", PriceLevelYearText(info.Code.Year));
      item.SetAttribute("district", info.DistrictName);
    } catch (const Exception& error) {
      item.SetAttribute("error", OneLine(error.Message()));
    }
  }
}

std::string TSmeta6InformationClass::PortableOrBelow(std::string (*specialFolder)(),
                                                     const char* folder) const {
  if (PortableMode() == kPortableMode) {
    return InstallFolder();
  }
  return IncludeTrailingBackslash(specialFolder()) + folder;
}

const TSmeta6InformationClass& TSmeta6Information::ClassInfo() {
  static const TSmeta6InformationClass info("TSmeta6Information",
                                            &TCustomApplicationInformation::ClassInfo(), kSmeta6);
  return info;
}

}  // namespace kv
