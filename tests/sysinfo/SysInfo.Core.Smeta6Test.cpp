#include "sysinfo/SysInfo.Core.Smeta6.h"

#include <gtest/gtest.h>

#include "common/Common.SysUtils.h"
#include "platform/Files.h"
#include "platform/Text.h"
#include "platform/Xml.h"
#include "support/FakeShellFolders.h"
#include "support/NormBaseFiles.h"
#include "support/TempFolder.h"
#include "sysinfo/SysInfo.Core.Smeta9.h"
#include "sysinfo/SysInfo.Core.SmetaDBase.h"

namespace kv {
namespace {

// Relocation files in the per-user settings folders of a temporary folder.
class UserDataRelocationTest : public testing::Test {
 protected:
  UserDataRelocationTest() : FFoldersScope(FFolders) {
    FFolders.Set(platform::TSpecialFolder::AppData, FTemp.Path("roaming"));
    FFolders.Set(platform::TSpecialFolder::CommonAppData, FTemp.Path("common"));
    platform::ForceDirectories(FTemp.Path("Мои настройки"));
    platform::ForceDirectories(FTemp.Path("props"));
  }
  // Back to no relocation for the tests that follow.
  void TearDown() override {
    for (const TSmeta6InformationClass* product : Products()) {
      platform::DeleteFile(product->UserDataFolderSettingFilename());
    }
    ReadSmeta6UserDataFolders();
    ReadSmeta9UserDataFolders();
  }

  static std::vector<const TSmeta6InformationClass*> Products() {
    return {&TSmeta6Information::ClassInfo(), &TSmeta9Information32::ClassInfo(),
            &TSmeta9Information64::ClassInfo()};
  }
  void Write(const TSmeta6InformationClass& product, const std::string& xml) {
    const std::string file = product.UserDataFolderSettingFilename();
    platform::ForceDirectories(ExtractFileDir(file));
    test::WriteFileBytes(file, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n" + xml);
  }

  test::TTempFolder FTemp;
  test::FakeSpecialFolders FFolders;
  platform::TScopedCurrent<platform::ISpecialFolders> FFoldersScope;
};

TEST_F(UserDataRelocationTest, ExistingFoldersGetATrailingBackslashMissingOnesAreIgnored) {
  const auto& client = TSmeta9Information32::ClassInfo();
  Write(client, "<UserData LocalSetting=\"" + FTemp.Path("Мои настройки") + "\" SmetaProps=\"" +
                    FTemp.Path("missing") + "\"><Other LocalSetting=\"x\"/></UserData>");
  ReadSmeta9UserDataFolders();

  EXPECT_EQ(client.CustomLocalSetting(), FTemp.Path("Мои настройки\\"));
  EXPECT_EQ(client.LocalSetting(), FTemp.Path("Мои настройки\\"));
  EXPECT_EQ(client.CrossrkFileName(), FTemp.Path("Мои настройки\\Crossrk.xml"));
  EXPECT_EQ(client.CustomSmetaPropsFolder(), "");
  EXPECT_EQ(client.SmetaPropsFolder(), client.CommonDataFolder() + "SmetaProps\\");
}

TEST_F(UserDataRelocationTest, EachClassReadsOnlyItsOwnFile) {
  Write(TSmeta9Information64::ClassInfo(),
        "<UserData SmetaProps=\"" + FTemp.Path("props\\") + "\"/>");
  ReadSmeta6UserDataFolders();
  ReadSmeta9UserDataFolders();

  EXPECT_EQ(TSmeta9Information64::ClassInfo().SmetaPropsFolder(), FTemp.Path("props\\"));
  EXPECT_EQ(TSmeta9Information64::ClassInfo().CustomLocalSetting(), "");
  for (const TSmeta6InformationClass* product :
       {static_cast<const TSmeta6InformationClass*>(&TSmeta6Information::ClassInfo()),
        static_cast<const TSmeta6InformationClass*>(&TSmeta9CustomInformation::ClassInfo()),
        static_cast<const TSmeta6InformationClass*>(&TSmeta9Information32::ClassInfo())}) {
    EXPECT_EQ(product->CustomSmetaPropsFolder(), "") << product->ClassName();
  }
}

// The generation-9 base class shares the generation-6 pair, as it inherits it.
TEST_F(UserDataRelocationTest, TheGeneration6FileRelocatesTheGeneration9Base) {
  Write(TSmeta6Information::ClassInfo(),
        "<UserData LocalSetting=\"" + FTemp.Path("Мои настройки") + "\"/>");
  ReadSmeta6UserDataFolders();
  ReadSmeta9UserDataFolders();

  EXPECT_EQ(TSmeta6Information::ClassInfo().CustomLocalSetting(), FTemp.Path("Мои настройки\\"));
  EXPECT_EQ(TSmeta9CustomInformation::ClassInfo().CustomLocalSetting(),
            FTemp.Path("Мои настройки\\"));
  EXPECT_EQ(TSmeta9Information32::ClassInfo().CustomLocalSetting(), "");
}

TEST_F(UserDataRelocationTest, FilesThatRelocateNothing) {
  const auto& client = TSmeta9Information32::ClassInfo();
  const std::string folders = "LocalSetting=\"" + FTemp.Path("Мои настройки") + "\" SmetaProps=\"" +
                              FTemp.Path("props") + "\"";
  for (const std::string& xml : {
           "<userdata " + folders + "/>",
           "<Settings " + folders + "/>",
           "<UserData " + folders + ">",
           std::string("<UserData/>"),
           std::string(),
       }) {
    Write(client, "<UserData " + folders + "/>");
    ReadSmeta9UserDataFolders();
    ASSERT_NE(client.CustomLocalSetting(), "");

    Write(client, xml);
    ReadSmeta9UserDataFolders();
    EXPECT_EQ(client.CustomLocalSetting(), "") << xml;
    EXPECT_EQ(client.CustomSmetaPropsFolder(), "") << xml;
  }
}

// The client's base folder inside a temporary folder, holding the bases each test puts there.
class ModulesStateTest : public testing::Test {
 protected:
  ModulesStateTest() : FFoldersScope(FFolders) {
    FFolders.Set(platform::TSpecialFolder::CommonAppData, FTemp.Path("common"));
    platform::ForceDirectories(FClient.DBaseFolder());
  }

  std::string AddBase(const std::string& name, const std::string& descriptor) {
    const std::string path = FClient.DBaseFolder() + name;
    test::WriteNormBase(path, descriptor);
    return path;
  }

  std::string Report() const {
    std::string text = "Отчёт:\r\n";
    FClient.GetModulesState(text);
    return text;
  }

  platform::TXmlDocument XmlReport() const {
    platform::TXmlDocument document = platform::TXmlDocument::Create();
    FClient.GetModulesState(document.SetDocumentElement("report"));
    return document;
  }

  const TSmeta9CustomInformationClass& FClient = TSmeta9Information32::ClassInfo();
  test::TTempFolder FTemp;
  test::FakeSpecialFolders FFolders;
  platform::TScopedCurrent<platform::ISpecialFolders> FFoldersScope;
};

TEST_F(ModulesStateTest, NoBases) {
  AddBase("notabase.kvd5", test::DescriptorBytes(test::SampleNormBaseInfo("Старая", 1)));
  EXPECT_EQ(Report(), "Отчёт:\r\n    Список доступных баз:\r\n      - Отсутствуют");
  const platform::TXmlDocument document = XmlReport();
  EXPECT_TRUE(document.DocumentElement().SelectSingleNode("dbase"));
  EXPECT_EQ(document.DocumentElement().SelectNodes("dbase/item").size(), 0u);
}

TEST_F(ModulesStateTest, EachBaseDescribedAndADamagedOneNamedWithItsError) {
  const std::string one =
      AddBase("NB108123.kvd8", test::DescriptorBytes(test::SampleNormBaseInfo("Первая", 17)));
  EXPECT_EQ(Report(), "Отчёт:\r\n    Список доступных баз:\r\n" + DescribeDBase(one));

  const std::string two =
      AddBase("NB101001.kvd8", test::DescriptorBytes(test::SampleNormBaseInfo("Вторая", 4)));
  const std::string damaged = AddBase("damaged.kvd8", "\xF1\x03");
  const std::string text = Report();
  EXPECT_EQ(text.rfind("Отчёт:\r\n    Список доступных баз:\r\n", 0), 0u) << text;
  EXPECT_NE(text.find("\r\n" + DescribeDBase(one)), std::string::npos) << text;
  EXPECT_NE(text.find("\r\n" + DescribeDBase(two)), std::string::npos) << text;
  EXPECT_NE(text.find("\r\n      - Путь: " + damaged + "\r\n        - Ошибка: "), std::string::npos)
      << text;
  EXPECT_EQ(text.find("Отсутствуют"), std::string::npos);

  const platform::TXmlDocument document = XmlReport();
  const platform::TXmlNode first =
      document.DocumentElement().SelectSingleNode("dbase/item[@path='" + one + "']");
  ASSERT_TRUE(first);
  const std::pair<const char*, std::string> attributes[] = {
      {"region", "Первая"},
      {"version", "17"},
      {"code", "108123"},
      {"date", platform::DateTimeToStrLocale(EncodeDateTime(2024, 3, 15, 0, 0, 0))},
      {"publisher", "Территориальный"},
      {"year", "2001"},
      {"district", "Северный"},
  };
  for (const auto& [name, value] : attributes) {
    EXPECT_EQ(first.Attribute(name).value_or("(none)"), value) << name;
  }
  EXPECT_TRUE(document.DocumentElement().SelectSingleNode("dbase/item[@path='" + two + "']"));
  const platform::TXmlNode broken =
      document.DocumentElement().SelectSingleNode("dbase/item[@path='" + damaged + "']");
  ASSERT_TRUE(broken);
  EXPECT_FALSE(broken.Attribute("error").value_or("").empty());
  EXPECT_FALSE(broken.Attribute("region"));
}

}  // namespace
}  // namespace kv
