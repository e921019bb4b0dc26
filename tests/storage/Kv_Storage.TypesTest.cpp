#include "storage/Kv_Storage.Types.h"

#include <gtest/gtest.h>

#include <regex>

#include "options/Common.Attributes.h"
#include "storage/Kv_SmetaStorage.WebDAV.h"
#include "storage/Kv_Storage.FileSystemConnection.h"
#include "storage/TestConnections.h"

namespace kv {
namespace {

using K = TStorageKind;
using OnlineConnection = TKalvorSmetaRuSmetaStorage::TConnection;

const TStorageKinds kAllKinds{K::Smeta, K::NormBase, K::FormTemplate, K::DocTemplate};

TEST(ConnectionTest, NewConnectionsStartAlikeButWithTheirOwnIdentity) {
  const TFileSystemConnection first;
  const TFileSystemConnection second;
  EXPECT_EQ(first.Usages(), TStorageKinds{K::Smeta});
  EXPECT_TRUE(first.Enabled());
  EXPECT_FALSE(first.UseRecycleBin());
  EXPECT_FALSE(first.Connected());
  EXPECT_EQ(first.Caption(), "");
  EXPECT_EQ(first.Description(), "");
  EXPECT_EQ(first.ExceptionClass(), nullptr);
  EXPECT_TRUE(std::regex_match(first.InstanceUID(), std::regex("[0-9A-F]{32}")))
      << first.InstanceUID();
  EXPECT_NE(first.InstanceUID(), second.InstanceUID());
}

TEST(ConnectionTest, UsagesWithoutSmetaSwitchTheRecycleBinOff) {
  struct Case {
    TStorageKinds usages;
    bool recycleBinStays;
  };
  for (const Case& c :
       {Case{{K::NormBase}, false}, Case{{}, false}, Case{{K::FormTemplate, K::DocTemplate}, false},
        Case{{K::Smeta, K::NormBase}, true}, Case{{K::Smeta}, true}}) {
    TFileSystemConnection connection;
    connection.SetUseRecycleBin(true);
    connection.SetUsages(c.usages);
    EXPECT_EQ(connection.UseRecycleBin(), c.recycleBinStays) << c.usages.Mask();
    EXPECT_EQ(connection.Usages(), c.usages);
  }
}

TEST(ConnectionTest, UsagesAreLimitedToWhatTheClassSupports) {
  TFileSystemConnection folder;
  folder.SetUsages(kAllKinds);
  EXPECT_EQ(folder.Usages(), kAllKinds);

  OnlineConnection online;
  online.SetUsages(kAllKinds);
  EXPECT_EQ(online.Usages(), TStorageKinds{K::Smeta});
  online.SetUsages({K::NormBase});
  EXPECT_TRUE(online.Usages().IsEmpty());
}

TEST(ConnectionTest, LocationNamesTheDataSourceItself) {
  TFileSystemConnection folder;
  folder.SetAddress("C:\\Сметы");
  const TDocumentLocation location = folder.Location();
  EXPECT_EQ(location.ConnectionClassId, "KV.Files");
  EXPECT_EQ(location.BaseAddress, "C:\\Сметы");
  EXPECT_EQ(location.LocalPath, "");
}

TEST(ConnectionClassTest, ClassOperations) {
  struct Case {
    const TConnectionClass* cls;
    const char* classID;
    TStorageKinds kinds;
    bool recycleBin;
    bool normBases;
  };
  const Case cases[] = {
      {&TFileSystemConnection::ClassInfo(), "KV.Files", kAllKinds, true, true},
      {&TWebDAVConnection::ClassInfo(), "KV.WebDAV.ReadOnly", {K::Smeta}, false, false},
      {&OnlineConnection::ClassInfo(), "KV.KalvorSmeta.Ru.SmetaDocs", {K::Smeta}, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.classID);
    EXPECT_EQ(c.cls->ClassID(), c.classID);
    EXPECT_EQ(c.cls->SupportedKinds(), c.kinds);
    EXPECT_EQ(c.cls->CanUseRecycleBin(), c.recycleBin);
    EXPECT_TRUE(c.cls->SupportsSmeta());
    EXPECT_EQ(c.cls->SupportsNormBases(), c.normBases);
    EXPECT_FALSE(c.cls->IsInternal());
    EXPECT_FALSE(c.cls->LoginDlgRequired());
    // The virtual constructor makes an instance of exactly this class.
    EXPECT_EQ(&c.cls->Create()->ClassType(), c.cls);
  }
  EXPECT_EQ(TFileSystemConnection::ClassInfo().DisplayName(), "Папка");
  EXPECT_EQ(OnlineConnection::ClassInfo().DisplayName(), "Данные с kalvorsmeta.ru");
  EXPECT_FALSE(TWebDAVConnection::ClassInfo().IsValidServer("http://update.kalvorsmeta.ru:81"));
}

TEST(ConnectionClassTest, MetadataComesFromTheClassItself) {
  const test::TBuiltInConnectionClass& builtIn = test::TBuiltInConnection::ClassInfo();
  EXPECT_TRUE(builtIn.LoginDlgRequired());
  EXPECT_EQ(builtIn.DisplayName(), "Встроенный");
  EXPECT_FALSE(builtIn.SupportsSmeta());
  EXPECT_TRUE(builtIn.SupportsNormBases());

  // A class that declares no display name is a programming error, even when its parent has one.
  EXPECT_THROW(TWebDAVConnection::ClassInfo().DisplayName(), EAssertionFailed);
  EXPECT_THROW(TCustomFileSystemConnection::ClassInfo().DisplayName(), EAssertionFailed);
  const TConnectionClass blank("TBlank", &TConnection::ClassInfo(),
                               {std::make_shared<TDisplayName>(" \t")});
  EXPECT_THROW(blank.DisplayName(), EAssertionFailed);
}

TEST(ConnectionClassTest, AbstractClassOperationsAreProgrammingErrors) {
  const TConnectionClass& abstract = TConnection::ClassInfo();
  EXPECT_THROW(abstract.ClassID(), EAssertionFailed);
  EXPECT_THROW(abstract.SupportedKinds(), EAssertionFailed);
  EXPECT_THROW(abstract.Create(), EAssertionFailed);
  EXPECT_THROW(TServerConnection::ClassInfo().Create(), EAssertionFailed);
  try {
    TCustomFileSystemConnection::ClassInfo().ClassID();
    FAIL() << "no error";
  } catch (const EAssertionFailed& e) {
    EXPECT_NE(e.Message().find("TCustomFileSystemConnection.ClassID"), std::string::npos);
    EXPECT_NE(e.Message().find("Modules\\KalvorSmeta\\Common\\Kv_Storage.Types"),
              std::string::npos);
  }
}

// The names, metadata and order of the properties that reach the file.
TEST(ConnectionClassTest, PropertiesInStoredOrderWithTheirDisplayNames) {
  const auto stored = [](const TClass& cls) {
    std::vector<std::string> names;
    for (const TPropInfo* prop : cls.GetProperties()) {
      if (prop->IsWritable && !FindAttribute<TNotSerializeAttribute>(prop->Attributes) &&
          prop->Visibility >= TMemberVisibility::Public) {
        names.push_back(prop->Name + "=" + TDisplayName::GetValue(cls, *prop, ""));
      }
    }
    return names;
  };
  const std::vector<std::string> expected{
      "Address=Папка",          "InstanceUID=", "Enabled=",      "Caption=Название",
      "Description=Примечание", "Usages=",      "UseRecycleBin="};
  EXPECT_EQ(stored(TFileSystemConnection::ClassInfo()), expected);
  std::vector<std::string> online = expected;
  online[0] = "Address=";
  EXPECT_EQ(stored(OnlineConnection::ClassInfo()), online);
}

// ---- the registry ----

TEST(ConnectionsFactoryTest, HoldsTheBuiltInClassesInRegistrationOrder) {
  const std::vector<const TConnectionClass*> expected{&TFileSystemConnection::ClassInfo(),
                                                      &OnlineConnection::ClassInfo()};
  EXPECT_EQ(TConnectionsFactory::ConnectionClasses(), expected);
  EXPECT_EQ(TConnectionsFactory::FindByClassID("KV.WebDAV.ReadOnly", false), nullptr);
}

TEST(ConnectionsFactoryTest, LooksIdsUpExactly) {
  struct Case {
    const char* classID;
    const TConnectionClass* found;
  };
  const Case cases[] = {
      {"KV.Files", &TFileSystemConnection::ClassInfo()},
      {"KV.KalvorSmeta.Ru.SmetaDocs", &OnlineConnection::ClassInfo()},
      {"kv.files", nullptr},
      {"KV.Files ", nullptr},
      {"", nullptr},
      {"Калвор", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.classID);
    EXPECT_EQ(TConnectionsFactory::FindByClassID(c.classID, false), c.found);
    if (!c.found) {
      try {
        TConnectionsFactory::FindByClassID(c.classID, true);
        ADD_FAILURE() << "no error";
      } catch (const TConnectionsFactory::Exception& e) {
        EXPECT_EQ(e.Message(), std::string("Класс источника данных с идентификатором \"") +
                                   c.classID + "\" не зарегистрирован");
      }
    }
  }
}

TEST(ConnectionsFactoryTest, ALaterClassTakesTheIdOverInPlace) {
  class TOtherFolderClass : public TFileSystemConnectionClass {
   public:
    using TFileSystemConnectionClass::TFileSystemConnectionClass;
  };
  const TOtherFolderClass other("TOtherFolder", &TCustomFileSystemConnection::ClassInfo());
  struct Restore {
    ~Restore() { TConnectionsFactory::RegisterConnectionClass(TFileSystemConnection::ClassInfo()); }
  } restore;

  TConnectionsFactory::RegisterConnectionClass(other);
  EXPECT_EQ(TConnectionsFactory::FindByClassID("KV.Files", true), &other);
  const std::vector<const TConnectionClass*> expected{&other, &OnlineConnection::ClassInfo()};
  EXPECT_EQ(TConnectionsFactory::ConnectionClasses(), expected);
}

TEST(ConnectionsFactoryTest, RemembersInternalIdsWithoutRegardToCase) {
  EXPECT_FALSE(TConnectionsFactory::IsInternalClassID("Test.BuiltIn"));
  {
    const test::TScopedConnectionClass builtIn(test::TBuiltInConnection::ClassInfo());
    EXPECT_TRUE(TConnectionsFactory::IsInternalClassID("Test.BuiltIn"));
    EXPECT_TRUE(TConnectionsFactory::IsInternalClassID("TEST.BUILTIN"));
    EXPECT_FALSE(TConnectionsFactory::IsInternalClassID("KV.Files"));
    EXPECT_EQ(TConnectionsFactory::ConnectionClasses().size(), 3u);
  }
  EXPECT_FALSE(TConnectionsFactory::IsInternalClassID("Test.BuiltIn"));
  EXPECT_EQ(TConnectionsFactory::ConnectionClasses().size(), 2u);
}

// ---- document locations ----

TEST(DocumentLocationTest, EmptinessAndFullPath) {
  struct Case {
    TDocumentLocation location;
    bool empty;
    const char* fullPath;
  };
  const Case cases[] = {
      {{"KV.Files", "C:\\Сметы", "Объект\\Смета.kvs"}, false, "C:\\Сметы\\Объект\\Смета.kvs"},
      {{"KV.Files", "C:\\Сметы\\", "Смета.kvs"}, false, "C:\\Сметы\\Смета.kvs"},
      {{"KV.Files", "C:\\Сметы\\", "\\Смета.kvs"}, false, "C:\\Сметы\\Смета.kvs"},
      {{"KV.Files", "C:\\Сметы", "\\Смета.kvs"}, false, "C:\\Сметы\\Смета.kvs"},
      {{"KV.Files", "", "Смета.kvs"}, false, "Смета.kvs"},
      {{"KV.Files", "C:\\Сметы", ""}, true, "C:\\Сметы"},
      {{"", "C:\\Сметы", "Смета.kvs"}, true, "C:\\Сметы\\Смета.kvs"},
      {{}, true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.location.ToString());
    EXPECT_EQ(c.location.IsEmpty(), c.empty);
    EXPECT_EQ(c.location.FullPath(), c.fullPath);
  }
}

TEST(DocumentLocationTest, Equality) {
  const TDocumentLocation base{"KV.Files", "C:\\Сметы", "Объект\\Смета.kvs"};
  struct Case {
    TDocumentLocation other;
    bool equal;
    bool equalAsInternal;
  };
  const Case cases[] = {
      {base, true, true},
      {{"kv.files", "c:\\СМЕТЫ\\", "объект\\СМЕТА.KVS"}, true, true},
      {{"KV.Files", "C:\\Сметы\\", "Объект\\Смета.kvs"}, true, true},
      {{"KV.Files", "D:\\Сметы", "Объект\\Смета.kvs"}, false, true},
      {{"KV.Files", "", "Объект\\Смета.kvs"}, false, true},
      {{"KV.Files", "C:\\Сметы", "Смета.kvs"}, false, false},
      {{"KV.WebDAV.ReadOnly", "C:\\Сметы", "Объект\\Смета.kvs"}, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.other.ToString());
    EXPECT_EQ(base.IsEqual(c.other, false), c.equal);
    EXPECT_EQ(base.IsEqual(c.other, true), c.equalAsInternal);
    EXPECT_EQ(base == c.other, c.equal);
  }
}

TEST(DocumentLocationTest, LocationsOfInternalDataSourcesIgnoreTheBaseAddress) {
  const test::TScopedConnectionClass builtIn(test::TBuiltInConnection::ClassInfo());
  const TDocumentLocation a{"Test.BuiltIn", "C:\\Первый", "Шаблон.xml"};
  const TDocumentLocation b{"test.builtin", "D:\\Второй", "шаблон.XML"};
  EXPECT_TRUE(a == b);
  // The left side's class id decides.
  EXPECT_TRUE(b == a);
  EXPECT_FALSE((TDocumentLocation{"KV.Files", "C:\\Первый", "x"} ==
                TDocumentLocation{"KV.Files", "D:\\Второй", "x"}));
}

TEST(DocumentLocationTest, TextForm) {
  struct Case {
    TDocumentLocation location;
    const char* text;
  };
  const Case cases[] = {
      {{"KV.Files", "C:\\Сметы", "Смета.kvs"},
       "ConnectionClassId=KV.Files;BaseAddress=C:\\Сметы;LocalPath=Смета.kvs"},
      {{"KV.Files", "C:\\Сметы", ""}, "ConnectionClassId=KV.Files;BaseAddress=C:\\Сметы"},
      {{"KV.Files", "C:\\Мои сметы", "Объект 1\\Смета.kvs"},
       "ConnectionClassId=KV.Files;\"BaseAddress=C:\\Мои сметы\";\"LocalPath=Объект "
       "1\\Смета.kvs\""},
      {{"KV.Files", "C:\\a;b", "say \"hi\""},
       "ConnectionClassId=KV.Files;\"BaseAddress=C:\\a;b\";\"LocalPath=say \"\"hi\"\"\""},
      {{"", "", "x=y"}, "LocalPath=x=y"},
      {{}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(c.location.ToString(), c.text);
    const TDocumentLocation back = TDocumentLocation::FromString(c.text);
    EXPECT_EQ(back.ConnectionClassId, c.location.ConnectionClassId);
    EXPECT_EQ(back.BaseAddress, c.location.BaseAddress);
    EXPECT_EQ(back.LocalPath, c.location.LocalPath);
  }
}

TEST(DocumentLocationTest, ReadingTextTakesValuesByName) {
  struct Case {
    const char* text;
    TDocumentLocation location;
  };
  const Case cases[] = {
      // Any order, names in any case; unknown names and missing ones do no harm.
      {"LocalPath=b;basEaddress=a;CONNECTIONCLASSID=c;Other=d", {"c", "a", "b"}},
      {"BaseAddress=a", {"", "a", ""}},
      // Outside quotes a space separates items.
      {"BaseAddress=C:\\Мои сметы;LocalPath=x", {"", "C:\\Мои", "x"}},
      {"BaseAddress=;LocalPath", {"", "", ""}},
      {";;;", {}},
      {"\"unterminated", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const TDocumentLocation location = TDocumentLocation::FromString(c.text);
    EXPECT_EQ(location.ConnectionClassId, c.location.ConnectionClassId);
    EXPECT_EQ(location.BaseAddress, c.location.BaseAddress);
    EXPECT_EQ(location.LocalPath, c.location.LocalPath);
  }
}

}  // namespace
}  // namespace kv
