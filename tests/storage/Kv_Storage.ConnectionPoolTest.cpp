#include "storage/Kv_Storage.ConnectionPool.h"

#include <gtest/gtest.h>

#include <regex>

#include "common/Common.SysUtils.h"
#include "options/Common.XMLUtils.h"
#include "platform/Files.h"
#include "platform/Shell.h"
#include "platform/System.h"
#include "storage/Kv_SmetaStorage.WebDAV.h"
#include "storage/Kv_Storage.FileSystemConnection.h"
#include "storage/TestConnections.h"
#include "support/BlockedSave.h"
#include "support/FakeShellFolders.h"
#include "support/TempFolder.h"
#include "sysinfo/SysInfo.Core.Smeta9.h"

namespace kv {
namespace {

using K = TStorageKind;
using OnlineConnection = TKalvorSmetaRuSmetaStorage::TConnection;
using TLines = std::vector<std::string>;

const std::string kOnlineAddress = "http://update.kalvorsmeta.ru:81/Api/SmetaDocs";

// Each element in document order as one line: its path from the root, then its attributes in
// the order written.
void AddStructure(const TXmlNode& element, const std::string& parent, TLines& lines) {
  const std::string path = parent.empty() ? element.Name() : parent + "/" + element.Name();
  std::string line = path;
  for (const auto& [name, value] : element.Attributes()) {
    line += " " + name + "=\"" + value + "\"";
  }
  lines.push_back(line);
  for (const TXmlNode& child : element.Children()) {
    if (child.Name().front() != '#') {
      AddStructure(child, path, lines);
    }
  }
}

TLines Structure(const std::string& fileName) {
  TLines lines;
  AddStructure(TXmlDocument::LoadFromFile(fileName).DocumentElement(), "", lines);
  return lines;
}

std::unique_ptr<TFileSystemConnection> Folder(const std::string& caption,
                                              const std::string& address = "") {
  auto folder = std::make_unique<TFileSystemConnection>();
  folder->SetCaption(caption);
  folder->SetAddress(address);
  return folder;
}

TLines Captions(const TConnectionsPool& pool) {
  TLines captions;
  for (const TConnection* connection : pool.Connections()) {
    captions.push_back(connection->Caption());
  }
  return captions;
}

std::string PoolMessage(const std::function<void()>& action) {
  try {
    action();
  } catch (const TConnectionsPool::Exception& e) {
    return e.Message();
  }
  return "no error";
}

// The generation-9 client's settings live in a temporary folder of the test's own.
class ConnectionsPoolTest : public testing::Test {
 protected:
  ConnectionsPoolTest() : FFoldersScope(FFolders) {
    FFolders.Set(platform::TSpecialFolder::AppData, FFolder.Path("Профиль"));
  }

  void SetUp() override {
    ASSERT_EQ(TSmeta9Information32::ClassInfo().ConnectionOptionsFilename(), FileName());
  }

  std::string FileName() const {
    return FFolder.Path("Профиль\\Kalvor\\KalvorSmeta 9\\Client\\Settings\\Connections.xml");
  }
  void WriteOptionsFile(const std::string& bytes) const {
    platform::ForceDirectories(ExtractFileDir(FileName()));
    test::WriteFileBytes(FileName(), bytes);
  }

  test::TTempFolder FFolder;
  test::FakeSpecialFolders FFolders;
  platform::TScopedCurrent<platform::ISpecialFolders> FFoldersScope;
};

// The file the wizard leaves: the client reads it, so its layout is compared element by element
// and attribute by attribute with the one the client expects.
TEST_F(ConnectionsPoolTest, TheWizardsAdditionsSaveTheClientsLayout) {
  const std::string address = "C:\\Users\\Иван\\Documents\\Калвор-Divir\\Сметы \"2024\"";
  TConnectionsPool pool;
  pool.LoadFromOptionsStorage(false);
  EXPECT_FALSE(pool.OptionsFileExists());
  EXPECT_EQ(pool.Count(), 0);

  auto folder = std::make_unique<TFileSystemConnection>();
  folder->SetAddress(address);
  folder->SetUsages({K::Smeta});
  folder->SetCaption("Сметы \"2024\"");
  ASSERT_EQ(pool.FindConnection(folder->ClassType().ClassID(), address), nullptr);
  TConnection& added = pool.AddConnection(std::move(folder), -1);
  ASSERT_EQ(pool.FindConnection(OnlineConnection::ClassInfo().ClassID()), nullptr);
  TConnection& online = TKalvorSmetaRuSmetaStorage::AddConnectionToPool(pool);
  EXPECT_EQ(pool.Connections(), (std::vector<TConnection*>{&added, &online}));

  // Identities are new on every run; the layout fixes the rest.
  for (const TConnection* connection : pool.Connections()) {
    EXPECT_TRUE(std::regex_match(connection->InstanceUID(), std::regex("[0-9A-F]{32}")));
  }
  added.SetInstanceUID("6F9619FF8B86D011B42D00C04FC964FF");
  online.SetInstanceUID("0123456789ABCDEF0123456789ABCDEF");
  pool.SaveToOptionsStorage();

  const std::string golden =
      ExtractFilePath(platform::ProgramFileName()) + "Connections.golden.xml";
  ASSERT_TRUE(platform::FileExists(golden));
  EXPECT_EQ(Structure(FileName()), Structure(golden));
  EXPECT_NE(test::ReadFileBytes(FileName()).find("encoding=\"windows-1251\""), std::string::npos);
}

// The file holds what this program cannot model: entries of classes only the client knows (or
// none), a repeated key name, attributes and elements the layout does not name, a comment. All of
// it comes back in its place when the pool is saved, the entries numbered anew.
TEST_F(ConnectionsPoolTest, WhatThePoolCannotModelSurvivesALoadAndASaveInOrder) {
  WriteOptionsFile(R"(<?xml version="1.0" encoding="UTF-8"?>
<Options Version="7">
  <Connections Count="9">
    <Connection_1 ClassID="KV.Unknown" Caption="Неизвестный" Address="C:\Неизвестный"/>
    <Connection_2 Address="C:\Сметы" InstanceUID="AAAABBBBCCCCDDDDEEEEFFFF00001111" Caption="Сметы"
      Enabled="Maybe" Description="Примечание &lt;1&gt;" Usages="Smeta,NormBase,Bogus"
      UseRecycleBin="True" ClassID="KV.Files" Extra="x"/>
    <Connection_3 Caption="Без класса" Address="C:\Нет"/>
    <Connection_4 ClassID="KV.WebDAV.ReadOnly" Address="http://dav/" Caption="DAV"/>
    <!-- a comment among the connections -->
    <Источник Address="" Caption="СМЕТЫ" Usages="bogus" Enabled="false" ClassID="KV.Files"/>
    <Connection_6 ClassID="KV.KalvorSmeta.Ru.SmetaDocs" Address="http://old/" Caption=""
      Usages="normbase,smeta" UseRecycleBin="true"/>
    <Connection_7 ClassID="kv.files" Caption="Регистр"/>
    <Connection_8 ClassID="Test.BuiltIn" Caption="Встроенный"/>
    <Connection_2 ClassID="KV.Files" Caption="Повтор"/>
  </Connections>
  <NBTemplateLocation ConnectionClassId="KV.Files" BaseAddress="C:\Сметы" LocalPath="Шаблоны\НБ.xml"/>
  <RegionInfo Name="Москва" ShortCode="77" Zone2001Name="Зона 1" Zone1984Name="Зона &quot;84&quot;"
    Planned="yes"/>
  <Other Keep="yes"><Child/></Other>
</Options>
)");
  TConnectionsPool pool;
  pool.LoadFromOptionsStorage(false);
  EXPECT_TRUE(pool.OptionsFileExists());
  ASSERT_EQ(Captions(pool), (TLines{"Сметы", "СМЕТЫ 2", "Данные с kalvorsmeta.ru 1"}));

  const std::vector<TConnection*> loaded = pool.Connections();
  EXPECT_EQ(loaded[0]->Address(), "C:\\Сметы");
  EXPECT_EQ(loaded[0]->InstanceUID(), "AAAABBBBCCCCDDDDEEEEFFFF00001111");
  EXPECT_TRUE(loaded[0]->Enabled());
  EXPECT_EQ(loaded[0]->Description(), "Примечание <1>");
  EXPECT_EQ(loaded[0]->Usages(), (TStorageKinds{K::Smeta, K::NormBase}));
  EXPECT_TRUE(loaded[0]->UseRecycleBin());
  EXPECT_EQ(loaded[1]->Address(), "");
  EXPECT_TRUE(loaded[1]->Usages().IsEmpty());
  EXPECT_FALSE(loaded[1]->Enabled());
  EXPECT_EQ(loaded[2]->Address(), kOnlineAddress);
  EXPECT_EQ(loaded[2]->Usages(), TStorageKinds{K::Smeta});
  EXPECT_EQ(pool.NBTemplateLocation().ToString(),
            "ConnectionClassId=KV.Files;BaseAddress=C:\\Сметы;LocalPath=Шаблоны\\НБ.xml");
  EXPECT_EQ(pool.StoredRegionInfo().Name(), "Москва");
  EXPECT_EQ(pool.StoredRegionInfo().ShortCode(), 77);
  EXPECT_EQ(pool.StoredRegionInfo().Zone2001Name(), "Зона 1");
  EXPECT_EQ(pool.StoredRegionInfo().Zone1984Name(), "Зона \"84\"");

  pool.SaveToOptionsStorage();
  const std::string uid1 = loaded[1]->InstanceUID();
  const std::string uid2 = loaded[2]->InstanceUID();
  const std::string connection = "Options/Connections/Connection_";
  const TLines expected{
      "Options Version=\"7\"",
      "Options/Connections Count=\"9\"",
      connection + "1 ClassID=\"KV.Unknown\" Caption=\"Неизвестный\" Address=\"C:\\Неизвестный\"",
      connection +
          "2 Address=\"C:\\Сметы\" InstanceUID=\"AAAABBBBCCCCDDDDEEEEFFFF00001111\" "
          "Enabled=\"True\" Caption=\"Сметы\" Description=\"Примечание <1>\" "
          "Usages=\"Smeta,NormBase\" UseRecycleBin=\"True\" ClassID=\"KV.Files\" Extra=\"x\"",
      connection + "3 Caption=\"Без класса\" Address=\"C:\\Нет\"",
      connection + "4 ClassID=\"KV.WebDAV.ReadOnly\" Address=\"http://dav/\" Caption=\"DAV\"",
      connection + "5 InstanceUID=\"" + uid1 +
          "\" Enabled=\"False\" Caption=\"СМЕТЫ 2\" UseRecycleBin=\"False\" "
          "ClassID=\"KV.Files\"",
      connection + "6 Address=\"" + kOnlineAddress + "\" InstanceUID=\"" + uid2 +
          "\" Enabled=\"True\" Caption=\"Данные с kalvorsmeta.ru 1\" Usages=\"Smeta\" "
          "UseRecycleBin=\"True\" ClassID=\"KV.KalvorSmeta.Ru.SmetaDocs\"",
      connection + "7 ClassID=\"kv.files\" Caption=\"Регистр\"",
      connection + "8 ClassID=\"Test.BuiltIn\" Caption=\"Встроенный\"",
      connection + "9 ClassID=\"KV.Files\" Caption=\"Повтор\"",
      "Options/NBTemplateLocation ConnectionClassId=\"KV.Files\" "
      "BaseAddress=\"C:\\Сметы\" LocalPath=\"Шаблоны\\НБ.xml\"",
      "Options/RegionInfo Name=\"Москва\" ShortCode=\"77\" Zone2001Name=\"Зона 1\" "
      "Zone1984Name=\"Зона \"84\"\" Planned=\"yes\"",
      "Options/Other Keep=\"yes\"",
      "Options/Other/Child",
  };
  EXPECT_EQ(Structure(FileName()), expected);
  const std::string saved = test::ReadFileBytes(FileName());
  const size_t comment = saved.find("<!-- a comment among the connections -->");
  EXPECT_NE(comment, std::string::npos) << saved;
  EXPECT_LT(saved.find("Connection_4"), comment);
  EXPECT_LT(comment, saved.find("Connection_5"));

  // What was kept is kept again by the next load and save. The repeated key, an entry of its own
  // now, loads as a connection; the one whose usages were all unknown has the default ones.
  TConnectionsPool reloaded;
  reloaded.LoadFromOptionsStorage(false);
  EXPECT_EQ(Captions(reloaded),
            (TLines{"Сметы", "СМЕТЫ 2", "Данные с kalvorsmeta.ru 1", "Повтор"}));
  reloaded.SaveToOptionsStorage();
  const TLines again = Structure(FileName());
  ASSERT_EQ(again.size(), expected.size());
  const size_t unchanged[] = {0, 1, 2, 3, 4, 5, 7, 8, 9, 11, 12, 13, 14};
  for (const size_t same : unchanged) {
    EXPECT_EQ(again[same], expected[same]);
  }
  EXPECT_NE(test::ReadFileBytes(FileName()).find("<!-- a comment among the connections -->"),
            std::string::npos);
}

TEST_F(ConnectionsPoolTest, SavedConnectionsLoadBackAlike) {
  TConnectionsPool pool;
  auto folder = Folder("Нормативы «Москва»", "\\\\Сервер\\Общие\\Нормативы");
  folder->SetUsages({K::NormBase, K::DocTemplate});
  folder->SetDescription("Только чтение;\tвкладка");
  folder->SetEnabled(false);
  pool.AddConnection(std::move(folder));
  TKalvorSmetaRuSmetaStorage::AddConnectionToPool(pool);
  pool.SetNBTemplateLocation({"KV.Files", "\\\\Сервер\\Общие", "Шаблон НБ.xml"});
  pool.StoredRegionInfo().SetName("Санкт-Петербург");
  pool.StoredRegionInfo().SetShortCode(78);
  pool.SaveToOptionsStorage();

  TConnectionsPool loaded;
  loaded.LoadFromOptionsStorage(false);
  ASSERT_EQ(loaded.Count(), 2);
  for (int i = 0; i < 2; ++i) {
    const TConnection& expected = *pool.Connections()[i];
    const TConnection& actual = *loaded.Connections()[i];
    SCOPED_TRACE(expected.Caption());
    EXPECT_EQ(&actual.ClassType(), &expected.ClassType());
    EXPECT_EQ(actual.Caption(), expected.Caption());
    EXPECT_EQ(actual.Address(), expected.Address());
    EXPECT_EQ(actual.InstanceUID(), expected.InstanceUID());
    EXPECT_EQ(actual.Description(), expected.Description());
    EXPECT_EQ(actual.Enabled(), expected.Enabled());
    EXPECT_EQ(actual.Usages(), expected.Usages());
    EXPECT_EQ(actual.UseRecycleBin(), expected.UseRecycleBin());
  }
  EXPECT_TRUE(loaded.NBTemplateLocation() == pool.NBTemplateLocation());
  EXPECT_EQ(loaded.StoredRegionInfo().Name(), "Санкт-Петербург");
  EXPECT_EQ(loaded.StoredRegionInfo().ShortCode(), 78);
}

TEST_F(ConnectionsPoolTest, AMissingFileLeavesAnEmptyPoolAndSavingCreatesIt) {
  TConnectionsPool pool;
  pool.AddConnection(Folder("Сметы"));
  pool.SetNBTemplateLocation({"KV.Files", "C:\\НБ", "Шаблон.xml"});
  pool.StoredRegionInfo().SetName("Тверь");
  pool.SetOptionsFileExists(true);

  pool.LoadFromOptionsStorage(false);
  EXPECT_FALSE(pool.OptionsFileExists());
  EXPECT_EQ(pool.Count(), 0);
  EXPECT_EQ(pool.NBTemplateLocation().LocalPath, "Шаблон.xml");
  EXPECT_EQ(pool.StoredRegionInfo().Name(), "Тверь");
  EXPECT_FALSE(platform::DirectoryExists(ExtractFileDir(FileName())));

  pool.SaveToOptionsStorage();
  EXPECT_EQ(Structure(FileName()),
            (TLines{"Options", "Options/Connections",
                    "Options/NBTemplateLocation ConnectionClassId=\"KV.Files\" "
                    "BaseAddress=\"C:\\НБ\" LocalPath=\"Шаблон.xml\"",
                    "Options/RegionInfo Name=\"Тверь\" ShortCode=\"-1\""}));
}

TEST_F(ConnectionsPoolTest, ADamagedFileFailsTheLoadBeforeAnythingChanges) {
  for (const char* damaged : {"<Options><Connections>", "not xml at all", "",
                              "<Options><Connections/></Options><Options/>"}) {
    SCOPED_TRACE(damaged);
    WriteOptionsFile(damaged);
    TConnectionsPool pool;
    pool.AddConnection(Folder("Сметы"));
    pool.SetNBTemplateLocation({"KV.Files", "C:\\НБ", "Шаблон.xml"});
    EXPECT_THROW(pool.LoadFromOptionsStorage(false), EInvalidXMLFile);
    EXPECT_TRUE(pool.OptionsFileExists());
    EXPECT_EQ(Captions(pool), TLines{"Сметы"});
    EXPECT_EQ(pool.NBTemplateLocation().LocalPath, "Шаблон.xml");

    // Saving replaces the damaged file.
    pool.SaveToOptionsStorage();
    TConnectionsPool reloaded;
    reloaded.LoadFromOptionsStorage(false);
    EXPECT_EQ(Captions(reloaded), TLines{"Сметы"});
  }
}

TEST_F(ConnectionsPoolTest, OnlyTheTemplateLocationLeavesTheConnectionsAlone) {
  WriteOptionsFile(R"(<Options>
  <Connections><Connection_1 ClassID="KV.Files" Caption="Из файла"/></Connections>
  <NBTemplateLocation ConnectionClassId="KV.Files" LocalPath="НБ.xml"/>
  <RegionInfo Name="Москва" ShortCode="77"/>
</Options>)");
  TConnectionsPool pool;
  pool.AddConnection(Folder("В памяти"));
  pool.LoadFromOptionsStorage(true);
  EXPECT_EQ(Captions(pool), TLines{"В памяти"});
  EXPECT_EQ(pool.NBTemplateLocation().ToString(), "ConnectionClassId=KV.Files;LocalPath=НБ.xml");
  EXPECT_EQ(pool.StoredRegionInfo().ShortCode(), 77);

  // Without the file the location becomes empty and the region stays.
  platform::DeleteFile(FileName());
  pool.LoadFromOptionsStorage(true);
  EXPECT_FALSE(pool.OptionsFileExists());
  EXPECT_EQ(Captions(pool), TLines{"В памяти"});
  EXPECT_EQ(pool.NBTemplateLocation().ToString(), "");
  EXPECT_EQ(pool.StoredRegionInfo().Name(), "Москва");
}

// A save that cannot be completed raises and leaves the client's file as it was.
TEST_F(ConnectionsPoolTest, AFailedSaveRaisesAndLeavesTheOldFileWhole) {
  const std::string old =
      "<Options><Connections>"
      "<Connection_1 ClassID=\"KV.Files\" Caption=\"Сметы\" Address=\"C:\\С\"/>"
      "</Connections></Options>";
  WriteOptionsFile(old);
  TConnectionsPool pool;
  pool.LoadFromOptionsStorage(false);
  pool.AddConnection(Folder("Новые", "C:\\Новые"));
  {
    const test::TBlockedSave blocked(FileName());
    EXPECT_THROW(pool.SaveToOptionsStorage(), EOSError);
  }
  EXPECT_EQ(test::ReadFileBytes(FileName()), old);
  // Wine's replace may leave a file of its own ("rfe*.tmp"); the save's own temporary is gone.
  EXPECT_TRUE(platform::FindFiles(ExtractFilePath(FileName()), "Connections.xml?*").empty());
}

TEST_F(ConnectionsPoolTest, AnotherRootNameIsKept) {
  WriteOptionsFile("<Settings><Connections/></Settings>");
  TConnectionsPool pool;
  pool.LoadFromOptionsStorage(false);
  pool.AddConnection(Folder("Сметы"));
  pool.SaveToOptionsStorage();
  EXPECT_EQ(Structure(FileName()).front(), "Settings");
}

// ---- the list ----

TEST(ConnectionsPoolCaptionTest, CaptionsAreMadeUniqueAsConnectionsEnter) {
  struct Step {
    const char* caption;  // null: through AddConnectionToPool
    bool online;
    const char* expected;
  };
  const Step steps[] = {
      {"", false, "Папка 1"},
      {"", false, "Папка 2"},
      {"папка 1", false, "папка 1 2"},
      {"", true, "Данные с kalvorsmeta.ru 1"},
      {"Сметы", false, "Сметы"},
      {"СМЕТЫ", false, "СМЕТЫ 2"},
      {"сметы", false, "сметы 3"},
      {"KALVORSMETA.RU", false, "KALVORSMETA.RU"},
      {nullptr, true, "kalvorsmeta.ru 2"},
      {nullptr, true, "kalvorsmeta.ru 3"},
      {"", false, "Папка 8"},
  };
  TConnectionsPool pool;
  for (const Step& step : steps) {
    SCOPED_TRACE(step.expected);
    TConnection* connection = nullptr;
    if (!step.caption) {
      connection = &TKalvorSmetaRuSmetaStorage::AddConnectionToPool(pool);
    } else if (step.online) {
      auto online = std::make_unique<OnlineConnection>();
      online->SetCaption(step.caption);
      connection = &pool.AddConnection(std::move(online));
    } else {
      connection = &pool.AddConnection(Folder(step.caption));
    }
    EXPECT_EQ(connection->Caption(), step.expected);
    EXPECT_EQ(pool.Connections().back(), connection);
  }
}

TEST(ConnectionsPoolCaptionTest, UniquenessChecks) {
  TConnectionsPool pool;
  const TConnection& smeta = pool.AddConnection(Folder("Сметы", "C:\\Сметы"));
  const TConnection& templates = pool.AddConnection(Folder("Шаблоны", "C:\\Шаблоны\\"));
  struct Case {
    const char* value;
    const TConnection* exclude;
    bool uniqueCaption;
    bool uniqueAddress;
  };
  const Case cases[] = {
      {"сметы", nullptr, false, true},
      {" \tСметы \r\n", nullptr, false, true},
      {"Сметы", &smeta, true, true},
      {"Сметы 2", nullptr, true, true},
      {"c:\\сметы", nullptr, true, false},
      {"C:\\Сметы\\", nullptr, true, true},
      {"C:\\Шаблоны\\", &templates, true, true},
      {"C:\\ШАБЛОНЫ\\", &smeta, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(pool.CheckUniqueCaption(c.value, c.exclude), c.uniqueCaption);
    EXPECT_EQ(pool.CheckUniqueAddress(c.value, c.exclude), c.uniqueAddress);
  }
}

TEST(ConnectionsPoolListTest, AddingAtAnIndex) {
  struct Case {
    int index;
    TLines expected;  // empty: refused
  };
  const Case cases[] = {
      {-1, {"А", "Б", "Новая"}},
      {0, {"Новая", "А", "Б"}},
      {1, {"А", "Новая", "Б"}},
      {2, {"А", "Б", "Новая"}},
      {3, {}},
      {-2, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.index);
    TConnectionsPool pool;
    pool.AddConnection(Folder("А"));
    pool.AddConnection(Folder("Б"));
    if (c.expected.empty()) {
      EXPECT_THROW(pool.AddConnection(Folder("Новая"), c.index), EListError);
      EXPECT_EQ(Captions(pool), (TLines{"А", "Б"}));
    } else {
      pool.AddConnection(Folder("Новая"), c.index);
      EXPECT_EQ(Captions(pool), c.expected);
    }
  }
}

TEST(ConnectionsPoolListTest, DeletingAndExchanging) {
  TConnectionsPool pool;
  pool.AddConnection(Folder("А"));
  const TConnection& b = pool.AddConnection(Folder("Б"));
  pool.AddConnection(Folder("В"));

  pool.ConnectionExchange(0, 2);
  EXPECT_EQ(Captions(pool), (TLines{"В", "Б", "А"}));
  EXPECT_THROW(pool.ConnectionExchange(0, 3), EListError);
  EXPECT_THROW(pool.ConnectionExchange(-1, 0), EListError);
  EXPECT_EQ(Captions(pool), (TLines{"В", "Б", "А"}));

  const TFileSystemConnection stranger;
  EXPECT_EQ(pool.DeleteConnection(stranger), -1);
  EXPECT_EQ(pool.DeleteConnection(b), 1);
  EXPECT_EQ(Captions(pool), (TLines{"В", "А"}));
  pool.Clear();
  EXPECT_EQ(pool.Count(), 0);
}

TEST(ConnectionsPoolListTest, FindingConnections) {
  TConnectionsPool pool;
  TConnection& first = pool.AddConnection(Folder("Сметы", "C:\\Калвор\\Сметы"));
  TConnection& second = pool.AddConnection(Folder("Шаблоны", "C:\\Калвор\\Шаблоны\\"));
  TConnection& online = TKalvorSmetaRuSmetaStorage::AddConnectionToPool(pool);
  struct Case {
    const char* classID;
    const char* address;
    const TConnection* found;
  };
  const Case cases[] = {
      {"KV.Files", "C:\\Калвор\\Сметы", &first},
      {"KV.Files", "c:\\калвор\\СМЕТЫ\\", &first},
      {"KV.Files", "C:\\Калвор\\Шаблоны", &second},
      {"kv.files", "C:\\Калвор\\Сметы", nullptr},
      {"KV.Files", "C:\\Калвор", nullptr},
      {"KV.Files", "", nullptr},
      {"KV.KalvorSmeta.Ru.SmetaDocs", "HTTP://UPDATE.KALVORSMETA.RU:81/api/smetadocs", &online},
      {"KV.KalvorSmeta.Ru.SmetaDocs", "http://elsewhere/", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.classID) + " " + c.address);
    EXPECT_EQ(pool.FindConnection(c.classID, c.address), c.found);
    EXPECT_EQ(pool.FindConnection(TDocumentLocation{c.classID, c.address, "Смета.kvs"}), c.found);
  }
  EXPECT_EQ(pool.FindConnection("KV.Files"), &first);
  EXPECT_EQ(pool.FindConnection("KV.KalvorSmeta.Ru.SmetaDocs"), &online);
  EXPECT_EQ(pool.FindConnection("KV.FILES"), nullptr);
  EXPECT_EQ(pool.FindConnection("KV.WebDAV.ReadOnly"), nullptr);

  EXPECT_EQ(pool.GetLocationDisplayName({"KV.Files", "c:\\калвор\\сметы\\", "Объект\\Смета.kvs"}),
            "Сметы: Объект\\Смета.kvs");
  EXPECT_EQ(pool.GetLocationDisplayName({"KV.Files", "D:\\Прочее\\", "Смета.kvs"}),
            "KV.Files: D:\\Прочее\\Смета.kvs");
  EXPECT_EQ(pool.GetLocationDisplayName({"KV.Files", "", ""}), "KV.Files: ");
}

TEST(ConnectionsPoolListTest, ErrorMessages) {
  const test::TBuiltInConnectionClass& builtIn = test::TBuiltInConnection::ClassInfo();
  EXPECT_EQ(TConnectionsPool::Exception::CannotAddInternalConnection(builtIn).Message(),
            "Источник данных \"Встроенный\" является встроенным, его нельзя добавить еше раз");
  EXPECT_EQ(TConnectionsPool::Exception::CannotDeleteInternalConnection(test::TBuiltInConnection())
                .Message(),
            "Источник данных \"Встроенный\" является встроенным, его нельзя удалять");
  EXPECT_EQ(
      TConnectionsPool::Exception::ConnectionByClassNotFound(TFileSystemConnection::ClassInfo())
          .Message(),
      "Источник данных  класса \"Папка\" не найден");
}

// ---- internal connections ----

class InternalConnectionsTest : public ConnectionsPoolTest {
 protected:
  test::TScopedConnectionClass FBuiltIn{test::TBuiltInConnection::ClassInfo()};
};

TEST_F(InternalConnectionsTest, ThePoolHoldsOneOfEachAndNeverStoresIt) {
  TConnectionsPool pool;
  ASSERT_EQ(pool.Count(), 1);
  TConnection& builtIn = *pool.Connections()[0];
  EXPECT_EQ(&builtIn.ClassType(), &test::TBuiltInConnection::ClassInfo());
  EXPECT_EQ(builtIn.Caption(), "Встроенный");
  EXPECT_EQ(builtIn.Usages(), (TStorageKinds{K::NormBase, K::DocTemplate}));

  EXPECT_EQ(PoolMessage([&] { pool.AddConnection(std::make_unique<test::TBuiltInConnection>()); }),
            "Источник данных \"Встроенный\" является встроенным, его нельзя добавить еше раз");
  EXPECT_EQ(PoolMessage([&] { pool.DeleteConnection(builtIn); }),
            "Источник данных \"Встроенный\" является встроенным, его нельзя удалять");
  EXPECT_EQ(pool.Count(), 1);
  EXPECT_EQ(pool.FindConnection("Test.BuiltIn", "D:\\где угодно"), &builtIn);
  EXPECT_EQ(pool.AddConnection(Folder("встроенный")).Caption(), "встроенный 2");

  pool.SaveToOptionsStorage();
  const TLines saved = Structure(FileName());
  ASSERT_EQ(saved.size(), 5u);
  EXPECT_EQ(saved[2].rfind("Options/Connections/Connection_1 ", 0), 0u) << saved[2];
  EXPECT_NE(saved[2].find("Caption=\"встроенный 2\""), std::string::npos) << saved[2];

  pool.Clear();
  ASSERT_EQ(pool.Count(), 1);
  EXPECT_EQ(&pool.Connections()[0]->ClassType(), &test::TBuiltInConnection::ClassInfo());
}

TEST_F(InternalConnectionsTest, StoredInternalConnectionsAreDroppedOnLoad) {
  WriteOptionsFile(R"(<Options><Connections>
  <Connection_1 ClassID="Test.BuiltIn" Caption="Старый встроенный" InstanceUID="00"/>
  <Connection_2 ClassID="KV.Files" Caption="Сметы"/>
</Connections></Options>)");
  TConnectionsPool pool;
  pool.LoadFromOptionsStorage(false);
  EXPECT_EQ(Captions(pool), (TLines{"Встроенный", "Сметы"}));
  EXPECT_NE(pool.Connections()[0]->InstanceUID(), "00");
}

// ---- region information ----

TEST(NBRegionInfoTest, StartsWithoutDataAndAssignsEveryField) {
  TNBRegionInfo source;
  EXPECT_EQ(source.Name(), "Нет данных");
  EXPECT_EQ(source.ShortCode(), -1);
  EXPECT_EQ(source.Zone2001Name(), "");
  EXPECT_EQ(source.Zone1984Name(), "");
  source.SetName("Москва");
  source.SetShortCode(77);
  source.SetZone2001Name("Зона 1");
  source.SetZone1984Name("Зона 2");
  TNBRegionInfo target;
  target.Assign(source);
  EXPECT_EQ(target.Name(), "Москва");
  EXPECT_EQ(target.ShortCode(), 77);
  EXPECT_EQ(target.Zone2001Name(), "Зона 1");
  EXPECT_EQ(target.Zone1984Name(), "Зона 2");
}

}  // namespace
}  // namespace kv
