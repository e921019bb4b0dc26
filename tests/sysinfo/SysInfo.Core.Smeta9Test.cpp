#include "sysinfo/SysInfo.Core.Smeta9.h"

#include <gtest/gtest.h>

#include "base/Exceptions.h"
#include "platform/Files.h"
#include "support/FakeRegistry.h"
#include "support/FakeShellFolders.h"
#include "support/TempFolder.h"

namespace kv {
namespace {

using platform::TRegistryView;

const std::string kUninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::string kCommon = "C:\\ProgramData";
const std::string kRoaming = "C:\\Users\\Иван\\AppData\\Roaming";
const std::string kDocuments = "C:\\Users\\Иван\\Мои документы";

// A standard installation of every product class, with the user's special folders.
class ProductLayoutTest : public testing::Test {
 protected:
  ProductLayoutTest() : FRegistryScope(FRegistry), FFoldersScope(FFolders) {
    FFolders.Set(platform::TSpecialFolder::CommonAppData, kCommon);
    FFolders.Set(platform::TSpecialFolder::AppData, kRoaming);
    FFolders.Set(platform::TSpecialFolder::Documents, kDocuments);
    Register(TRegistryView::Registry32, TSmeta6Information::ClassInfo(),
             "C:\\Program Files (x86)\\Kalvor 6\\");
    Register(TRegistryView::Registry32, TSmeta9Information32::ClassInfo(),
             "C:\\Program Files (x86)\\Kalvor Divir\\");
    Register(TRegistryView::Registry64, TSmeta9Information64::ClassInfo(),
             "C:\\Program Files\\Kalvor Divir");
  }

  void Register(TRegistryView view, const TSmeta6InformationClass& product,
                const std::string& location) {
    FRegistry.Set(view, kUninstall + product.RegistryKey(), "InstallLocation", location);
  }

  test::FakeRegistry FRegistry;
  test::FakeSpecialFolders FFolders;
  platform::TScopedCurrent<platform::IRegistry> FRegistryScope;
  platform::TScopedCurrent<platform::ISpecialFolders> FFoldersScope;
};

TEST_F(ProductLayoutTest, TheWizardsClient) {
  using Client = TSmeta9CustomInformationClass;
  const Client& client = TSmeta9Information32::ClassInfo();
  const std::string app = kRoaming + "\\Kalvor\\KalvorSmeta 9\\Client\\";
  const std::string common = kCommon + "\\Kalvor\\KalvorSmeta 9\\Client\\";
  const std::string my = kDocuments + "\\Калвор-Divir\\";
  struct Case {
    const char* name;
    std::string (Client::*operation)() const;
    std::string expected;
  };
  const Case cases[] = {
      {"InstallFolder", &Client::InstallFolder, "C:\\Program Files (x86)\\Kalvor Divir\\Client\\"},
      {"ApplicationPath", &Client::ApplicationPath,
       "C:\\Program Files (x86)\\Kalvor Divir\\Client\\Kvsmeta.exe"},
      {"AppDataFolder", &Client::AppDataFolder, app},
      {"CommonDataFolder", &Client::CommonDataFolder, common},
      {"MyFolderRoot", &Client::MyFolderRoot, my},
      {"CommonSettingFolder", &Client::CommonSettingFolder, app + "Settings\\"},
      {"CommonSettingFilename", &Client::CommonSettingFilename,
       app + "Settings\\CommonSetting.xml"},
      {"ConnectionOptionsFilename", &Client::ConnectionOptionsFilename,
       app + "Settings\\Connections.xml"},
      {"ElementsComparerSettingFilename", &Client::ElementsComparerSettingFilename,
       app + "Settings\\ElementsComparer.xml"},
      {"LoginHostSettingFilename", &Client::LoginHostSettingFilename,
       app + "Settings\\LoginHost.xml"},
      {"MessagesFilterFileName", &Client::MessagesFilterFileName,
       app + "Settings\\MessagesFilter.xml"},
      {"NbDataSearchParamSettingFilename", &Client::NbDataSearchParamSettingFilename,
       app + "Settings\\NbDataSearchParam.xml"},
      {"NBFavoriteListSettingFilename", &Client::NBFavoriteListSettingFilename,
       app + "Settings\\NbFavoriteList.xml"},
      {"PriceTransferSettingFilename", &Client::PriceTransferSettingFilename,
       app + "Settings\\PriceTransfer.xml"},
      {"RibbonSettingFilename", &Client::RibbonSettingFilename, app + "Settings\\Ribbon.xml"},
      {"SessionSettingFilename", &Client::SessionSettingFilename,
       app + "Settings\\SessionSetting.xml"},
      {"UserDataFolderSettingFilename", &Client::UserDataFolderSettingFilename,
       app + "Settings\\UserData32.xml"},
      {"AutoSaveFoder", &Client::AutoSaveFoder, app + "Autosave\\"},
      {"AutoSaveAttachments", &Client::AutoSaveAttachments, app + "Autosave\\Attachments\\"},
      {"HistoryFolder", &Client::HistoryFolder, app + "History\\"},
      {"CreateHistoryFilename", &Client::CreateHistoryFilename, app + "History\\CreateHistory.xml"},
      {"ExportHistoryFilename", &Client::ExportHistoryFilename, app + "History\\ExportHistory.xml"},
      {"LocalHistorySettingFilename", &Client::LocalHistorySettingFilename,
       app + "History\\History.xml"},
      {"RecentDocsSettingFilename", &Client::RecentDocsSettingFilename,
       app + "History\\RecentDocs.xml"},
      {"DebugLogFolder", &Client::DebugLogFolder, app + "DebugLog\\"},
      {"BootLogFolder", &Client::BootLogFolder, common + "BootLog\\"},
      {"DBaseFolder", &Client::DBaseFolder, common + "Data\\"},
      {"NormBasesFolder", &Client::NormBasesFolder, common + "Data\\"},
      {"NBCacheFolder", &Client::NBCacheFolder, common + "NbCache\\"},
      {"DefaultNewDocsFolder", &Client::DefaultNewDocsFolder, common + "DefaultNewDocs\\"},
      {"DocTemplatesFolder", &Client::DocTemplatesFolder, common + "DocTemplates\\"},
      {"ExpTemplatesFolder", &Client::ExpTemplatesFolder, common + "ExpTemplates\\"},
      {"DefaultExpSettingFile", &Client::DefaultExpSettingFile,
       common + "ExpTemplates\\ExpDefault.xml"},
      {"TemplatesFolder", &Client::TemplatesFolder, common + "Templates\\"},
      {"TemplateItogFilename", &Client::TemplateItogFilename, common + "Templates\\Itog.xlt"},
      {"TemplateListVariablesFilename", &Client::TemplateListVariablesFilename,
       common + "Templates\\ListVariables.xlt"},
      {"UserParamFilename", &Client::UserParamFilename, common + "Templates\\Doc.ini"},
      {"UserTemplatesFolder", &Client::UserTemplatesFolder, common + "UserTemplates\\"},
      {"LocalSetting", &Client::LocalSetting, common + "LocalSetting\\"},
      {"CrossrkFileName", &Client::CrossrkFileName, common + "LocalSetting\\Crossrk.xml"},
      {"OrgRootXMLFileName", &Client::OrgRootXMLFileName, common + "LocalSetting\\DocOrgs.xml"},
      {"SignRootXMLFileName", &Client::SignRootXMLFileName, common + "LocalSetting\\Signs.xml"},
      {"SignTypesXMLFileName", &Client::SignTypesXMLFileName,
       common + "LocalSetting\\Signtypes.xml"},
      {"WintersFileName", &Client::WintersFileName, common + "LocalSetting\\Winters.xml"},
      {"CodeReplacementsFileName", &Client::CodeReplacementsFileName,
       common + "LocalSetting\\CodeReplacements.xml"},
      {"SmetaPropsFolder", &Client::SmetaPropsFolder, common + "SmetaProps\\"},
      {"MyDocuments", &Client::MyDocuments, my + "Мои Сметы\\"},
      {"MyDocTemplates", &Client::MyDocTemplates, my + "Мои шаблоны\\"},
      {"MyExpTemplates", &Client::MyExpTemplates, my + "Мои формы\\"},
      {"MyNBTemplatesFolder", &Client::MyNBTemplatesFolder, my + "Мои базы\\"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ((client.*c.operation)(), c.expected) << c.name;
  }
}

// What tells the products apart; every derived folder follows its class's own roots.
TEST_F(ProductLayoutTest, WhatEachProductClassSays) {
  struct Case {
    const TSmeta6InformationClass* product;
    const char* registryKey;
    const char* displayName;
    int32_t major;
    bool platform64;
    const char* extension;
    std::string installFolder;
    std::string root;  // of AppDataFolder and CommonDataFolder below the special folders
    const char* userDataFile;
  };
  const Case cases[] = {
      {&TSmeta6Information::ClassInfo(), "{5D3B7E10-0001-4C6A-A2F4-600000000001}_is1",
       "Калвор Divir Клиент", 6, false, ".kvd5", "C:\\Program Files (x86)\\Kalvor 6\\Client\\",
       "\\Kalvor\\KalvorSmeta 6\\Client\\", "UserData.xml"},
      // Generation 9's common class keeps generation 6's names.
      {&TSmeta9CustomInformation::ClassInfo(), "{5D3B7E10-0001-4C6A-A2F4-600000000001}_is1",
       "Калвор Divir Клиент", 9, false, ".kvd8", "C:\\Program Files (x86)\\Kalvor 6\\Client\\",
       "\\Kalvor\\KalvorSmeta 9\\Client\\", "UserData.xml"},
      {&TSmeta9Information32::ClassInfo(), "{5D3B7E10-0001-4C6A-A2F4-900000003201}_is1",
       "Калвор Divir Клиент (32 бита)", 9, false, ".kvd8",
       "C:\\Program Files (x86)\\Kalvor Divir\\Client\\", "\\Kalvor\\KalvorSmeta 9\\Client\\",
       "UserData32.xml"},
      {&TSmeta9Information64::ClassInfo(), "{5D3B7E10-0001-4C6A-A2F4-900000006401}_is1",
       "Калвор Divir Клиент (64 бита)", 9, true, ".kvd8",
       "C:\\Program Files\\Kalvor Divir\\Client\\", "\\Kalvor\\KalvorSmeta 9\\Client\\",
       "UserData64.xml"},
  };
  for (const Case& c : cases) {
    const TSmeta6InformationClass& product = *c.product;
    SCOPED_TRACE(product.ClassName());
    EXPECT_EQ(product.RegistryKey(), c.registryKey);
    EXPECT_EQ(product.ApplicationDisplayName(), c.displayName);
    EXPECT_EQ(product.ApplicationExeName(), "Kvsmeta.exe");
    EXPECT_EQ(product.MutexName(), "KalvorSmeta_client");
    EXPECT_EQ(product.PortableRelativePath(), "Kalvor\\Kalvorsmeta\\");
    EXPECT_EQ(product.MajorVersionDigit(), c.major);
    EXPECT_EQ(product.ApplicationPlatform64(), c.platform64);
    EXPECT_TRUE(product.TrustedApplication());
    EXPECT_EQ(product.GetDBaseExtension(), c.extension);
    EXPECT_EQ(product.InstallFolder(), c.installFolder);
    EXPECT_EQ(product.AppDataFolder(), kRoaming + c.root);
    EXPECT_EQ(product.CommonDataFolder(), kCommon + c.root);
    EXPECT_EQ(product.DBaseFolder(), kCommon + c.root + "Data\\");
    EXPECT_EQ(product.UserDataFolderSettingFilename(),
              kRoaming + c.root + "Settings\\" + c.userDataFile);
    EXPECT_EQ(product.MyFolderRoot(), kDocuments + "\\Калвор-Divir\\");
    EXPECT_EQ(product.CustomLocalSetting(), "");
    EXPECT_EQ(product.CustomSmetaPropsFolder(), "");
  }
}

TEST_F(ProductLayoutTest, AMissingSpecialFolderFailsWithThePlatformsError) {
  test::FakeSpecialFolders none;
  platform::TScopedCurrent<platform::ISpecialFolders> scope(none);
  const auto& client = TSmeta9Information32::ClassInfo();
  using Operation = std::string (TSmeta9CustomInformationClass::*)() const;
  for (const auto& [name, operation] : {
           std::pair<const char*, Operation>{"AppDataFolder",
                                             &TSmeta9CustomInformationClass::AppDataFolder},
           std::pair<const char*, Operation>{"CommonDataFolder",
                                             &TSmeta9CustomInformationClass::CommonDataFolder},
           std::pair<const char*, Operation>{"MyFolderRoot",
                                             &TSmeta9CustomInformationClass::MyFolderRoot},
           std::pair<const char*, Operation>{
               "ConnectionOptionsFilename",
               &TSmeta9CustomInformationClass::ConnectionOptionsFilename},
       }) {
    try {
      (client.*operation)();
      ADD_FAILURE() << "no error from " << name;
    } catch (const EOSError& e) {
      EXPECT_EQ(e.ErrorCode(), 3u) << name;
    }
  }
}

// The client's folders inside a temporary folder, where the test decides what exists.
class ClientFoldersTest : public testing::Test {
 protected:
  ClientFoldersTest() : FFoldersScope(FFolders) {
    FFolders.Set(platform::TSpecialFolder::CommonAppData, FTemp.Path("common"));
    FFolders.Set(platform::TSpecialFolder::AppData, FTemp.Path("roaming"));
  }

  const TSmeta9CustomInformationClass& FClient = TSmeta9Information32::ClassInfo();
  test::TTempFolder FTemp;
  test::FakeSpecialFolders FFolders;
  platform::TScopedCurrent<platform::ISpecialFolders> FFoldersScope;
};

TEST_F(ClientFoldersTest, WriteProbesTellWhetherAFileCanBeMadeThere) {
  EXPECT_FALSE(FClient.IsAppDataFolderHasWritePrivilege());
  EXPECT_FALSE(FClient.IsNBCacheFolderHasWritePrivilege());
  EXPECT_FALSE(FClient.IsNBDataFolderHasWritePrivilege());

  platform::ForceDirectories(FClient.AppDataFolder());
  platform::ForceDirectories(FClient.NBCacheFolder());
  EXPECT_TRUE(FClient.IsAppDataFolderHasWritePrivilege());
  EXPECT_TRUE(FClient.IsNBCacheFolderHasWritePrivilege());
  EXPECT_FALSE(FClient.IsNBDataFolderHasWritePrivilege());

  platform::ForceDirectories(FClient.NormBasesFolder());
  EXPECT_TRUE(FClient.IsNBDataFolderHasWritePrivilege());
}

TEST_F(ClientFoldersTest, AutoSaveFolderInfoCountsTheTmpFilesAndTheirSize) {
  const std::string folder = FClient.AutoSaveFoder();
  std::string report = "Отчёт:\r\n";
  FClient.GetAutoSaveFolderInfo(report);
  EXPECT_EQ(report,
            "Отчёт:\r\n"
            "    Каталог автосохранения:\r\n"
            "      - путь: " +
                folder +
                "\r\n"
                "      - файлов: 0\r\n"
                "      - размер: 0 байт\r\n");

  platform::ForceDirectories(folder + "Смета.tmp");  // a folder, not a file
  test::WriteFileBytes(folder + "a.tmp", std::string(1000, 'a'));
  test::WriteFileBytes(folder + "Смета 2.TMP", std::string(1100, 'b'));
  test::WriteFileBytes(folder + "c.tmp.bak", std::string(5000, 'c'));
  test::WriteFileBytes(folder + "d.xml", std::string(5000, 'd'));
  report.clear();
  FClient.GetAutoSaveFolderInfo(report);
  EXPECT_EQ(report,
            "    Каталог автосохранения:\r\n"
            "      - путь: " +
                folder +
                "\r\n"
                "      - файлов: 2\r\n"
                "      - размер: 2 Кбайт\r\n");
}

}  // namespace
}  // namespace kv
