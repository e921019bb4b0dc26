#include "storage/Kv_SmetaStorage.Types.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/Common.SysUtils.h"
#include "options/Common.XMLUtils.h"
#include "platform/Files.h"
#include "support/BlockedSave.h"
#include "support/TempFolder.h"
#include "support/Thrown.h"

namespace kv {
namespace {

// ---- connection and storage classes of the tests' own ----

class TParentConnectionClass : public TConnectionClass {
 public:
  using TConnectionClass::TConnectionClass;
  std::string ClassID() const override { return "Test.Storage." + ClassName(); }
};

class TParentConnection : public TConnection {
 public:
  static const TParentConnectionClass& ClassInfo() {
    static const TParentConnectionClass info("TParentConnection", &TConnection::ClassInfo());
    return info;
  }
  const TParentConnectionClass& ClassType() const override { return ClassInfo(); }
  bool GetConnected() const override { return false; }
  std::string GetAddress() const override { return {}; }
  void Connect(const std::string&, const std::string&) override {}
};

class TChildConnection : public TParentConnection {
 public:
  static const TParentConnectionClass& ClassInfo() {
    static const TParentConnectionClass info("TChildConnection", &TParentConnection::ClassInfo());
    return info;
  }
  const TParentConnectionClass& ClassType() const override { return ClassInfo(); }
};

class TGrandChildConnection : public TChildConnection {
 public:
  static const TParentConnectionClass& ClassInfo() {
    static const TParentConnectionClass info("TGrandChildConnection",
                                             &TChildConnection::ClassInfo());
    return info;
  }
  const TParentConnectionClass& ClassType() const override { return ClassInfo(); }
};

// A storage with nothing in it; it counts the image kinds asked for.
template <class C>
class TEmptyStorage : public TSmetaStorageOf<C> {
 public:
  explicit TEmptyStorage(TConnection& connection) : TSmetaStorageOf<C>(connection) {}

  int32_t GetImageIndex(int32_t imageKind) override { return 100 + imageKind; }
  TSmetaStorageEntries LoadChildItems() override { return {}; }
  TIntfPtr<ISmetaStorageEntry> FindEntry(const std::string& shortPath) override {
    ESmetaStorageError::ItemNotFound(shortPath);
  }
  TIntfPtr<ISmetaStorageFolder> CreateFolder(const std::string&) override { return {}; }
  TIntfPtr<ISmetaStorageDocument> CreateDocument(const std::string&,
                                                 const TKvDocCommonProperties&) override {
    return {};
  }
  TIntfPtr<ISmetaStorageExternalDocument> CreateExternalDocument(const std::string&,
                                                                 TStream&) override {
    return {};
  }
};

class TParentStorage : public TEmptyStorage<TParentConnection> {
 public:
  using TEmptyStorage::TEmptyStorage;
  static const TSmetaStorageClass& ClassInfo() {
    static const TSmetaStorageClassOf<TParentStorage, TParentConnection> info(
        "TParentStorage", &TSmetaStorage::ClassInfo());
    return info;
  }
  const TSmetaStorageClass& ClassType() const override { return ClassInfo(); }
};

class TChildStorage : public TEmptyStorage<TChildConnection> {
 public:
  using TEmptyStorage::TEmptyStorage;
  static const TSmetaStorageClass& ClassInfo() {
    static const TSmetaStorageClassOf<TChildStorage, TChildConnection> info(
        "TChildStorage", &TSmetaStorage::ClassInfo());
    return info;
  }
  const TSmetaStorageClass& ClassType() const override { return ClassInfo(); }
};

// Registers storage classes for one test and takes them and their connection classes out after.
class TScopedStorageClasses {
 public:
  explicit TScopedStorageClasses(std::vector<const TSmetaStorageClass*> classes)
      : FClasses(std::move(classes)) {
    for (const TSmetaStorageClass* cls : FClasses) {
      cls->RegisterSelf();
    }
  }
  ~TScopedStorageClasses() {
    for (const TSmetaStorageClass* cls : FClasses) {
      TSmetaStorageFactory::Unregister(*cls);
      TConnectionsFactory::UnregisterConnectionClass(cls->ConnectionClass());
    }
  }
  TScopedStorageClasses(const TScopedStorageClasses&) = delete;
  TScopedStorageClasses& operator=(const TScopedStorageClasses&) = delete;

 private:
  std::vector<const TSmetaStorageClass*> FClasses;
};

// ---- errors ----

TEST(SmetaStorageErrorTest, TextsAndClasses) {
  EXPECT_EQ(test::MessageOf<ESmetaStorageError>([] { ESmetaStorageError::ItemNotFound(); }),
            "Элемент не найден");
  EXPECT_EQ(test::MessageOf<ESmetaStorageError>([] { ESmetaStorageError::ItemNotFound("Смета"); }),
            "Элемент \"Смета\" не найден");
  EXPECT_EQ(
      test::MessageOf<ESmetaStorageError>([] { ESmetaStorageError::DocumentIsLocked("Смета 1"); }),
      "Документ \"Смета 1\" уже открыт другим пользователем");

  const ESmetaStorageDocumentIsReadonly readOnly =
      ESmetaStorageError::ItemIsReadOnly("Акт", "Сохранить копию?");
  EXPECT_EQ(readOnly.Message(), "Документ \"Акт\" доступен только для чтения");
  EXPECT_EQ(readOnly.ConfirmMessage(), "Сохранить копию?");
  EXPECT_TRUE(readOnly.InheritsFrom(ESmetaStorageError::ClassInfo()));
  EXPECT_EQ(readOnly.ClassName(), "ESmetaStorageDocumentIsReadonly");

  const auto notSupported = ESmetaStorageError::FolderPropertiesNotSupported();
  EXPECT_EQ(notSupported.Message(), "Свойства у папок не поддерживаются");
  EXPECT_TRUE(notSupported.InheritsFrom(ESmetaStorageError::ClassInfo()));
}

// ---- the factory ----

TEST(SmetaStorageFactoryTest, TheClosestRegisteredAncestorWinsWhateverTheOrder) {
  const std::vector<const TSmetaStorageClass*> orders[] = {
      {&TParentStorage::ClassInfo(), &TChildStorage::ClassInfo()},
      {&TChildStorage::ClassInfo(), &TParentStorage::ClassInfo()}};
  for (const auto& order : orders) {
    const TScopedStorageClasses registered(order);
    TParentConnection parent;
    TChildConnection child;
    TGrandChildConnection grandChild;
    EXPECT_EQ(TSmetaStorageFactory::CreateStorage(parent)->ClassName(), "TParentStorage");
    EXPECT_EQ(TSmetaStorageFactory::CreateStorage(child)->ClassName(), "TChildStorage");
    const auto storage = TSmetaStorageFactory::CreateStorage(grandChild);
    EXPECT_EQ(storage->ClassName(), "TChildStorage");
    EXPECT_EQ(&storage->Connection(), &grandChild);
  }
}

TEST(SmetaStorageFactoryTest, ASubclassOfARegisteredConnectionClassFindsItsStorage) {
  const TScopedStorageClasses registered({&TParentStorage::ClassInfo()});
  TGrandChildConnection grandChild;
  EXPECT_EQ(TSmetaStorageFactory::CreateStorage(grandChild)->ClassName(), "TParentStorage");
}

TEST(SmetaStorageFactoryTest, RegisteringMakesTheConnectionClassKnown) {
  const TScopedStorageClasses registered({&TChildStorage::ClassInfo()});
  EXPECT_EQ(TConnectionsFactory::FindByClassID("Test.Storage.TChildConnection", false),
            &TChildConnection::ClassInfo());
  EXPECT_THROW(TSmetaStorageFactory::Register(TChildStorage::ClassInfo()), EListError);
}

TEST(SmetaStorageFactoryTest, AConnectionNoStorageServesRaises) {
  TParentConnection connection;
  connection.SetCaption("Сметы отдела");
  EXPECT_EQ(test::MessageOf<TSmetaStorageFactory::Exception>(
                [&] { TSmetaStorageFactory::CreateStorage(connection); }),
            "TSmetaStorageClass for \"Сметы отдела\" (class TParentConnection) not registered");
}

// ---- the storage base ----

TEST(SmetaStorageTest, AConnectionOfAnotherClassIsAProgrammingError) {
  TParentConnection parent;
  const std::string message = test::MessageOf<EAssertionFailed>(
      [&] { std::unique_ptr<TSmetaStorage>(New<TChildStorage>(parent)); });
  EXPECT_NE(message.find("Modules\\KalvorSmeta\\Common\\Kv_SmetaStorage.Types, line 743"),
            std::string::npos)
      << message;
}

TEST(SmetaStorageTest, RootPropertiesComeFromTheConnectionAndTheImageKinds) {
  TChildConnection connection;
  connection.SetCaption("Архив");
  const std::unique_ptr<TSmetaStorage> storage(New<TChildStorage>(connection));
  EXPECT_EQ(storage->RootDisplayName(), "Архив");
  EXPECT_EQ(storage->RootImageIndex(), 100);
  EXPECT_EQ(storage->RootLargeImageIndex(), 101);
  EXPECT_EQ(storage->RootTileImageIndex(), 102);
  EXPECT_FALSE(storage->IsReadOnly());
  EXPECT_EQ(&storage->ConnectionClass(), &TChildConnection::ClassInfo());

  const TIntfPtr<IInterface> intf(static_cast<ISmetaStorageReferense*>(storage.get()));
  const TIntfPtr<ISmetaStorageReferense> reference = Supports<ISmetaStorageReferense>(intf);
  ASSERT_TRUE(reference);
  EXPECT_EQ(reference->GetStorage(), storage.get());
}

TEST(SmetaStorageTest, ExternalFileExtsAreSortedOnceEachIgnoringCase) {
  TParentConnection connection;
  const std::unique_ptr<TSmetaStorage> storage(New<TParentStorage>(connection));
  for (const char* ext : {".xls", ".DOC", ".pdf", ".doc", ".XLS", ".Ярлык"}) {
    storage->AddExternalFileExt(ext);
  }
  EXPECT_EQ(storage->ExternalFileExts(),
            (std::vector<std::string>{".DOC", ".pdf", ".xls", ".Ярлык"}));
}

// Entries keep a link, not a pointer: after the storage is gone the link raises instead of
// reaching freed memory, and references to the storage's interface can still be released.
TEST(SmetaStorageTest, LinksAndReferencesOutliveTheStorageSafely) {
  TParentConnection connection;
  auto storage = std::unique_ptr<TSmetaStorage>(New<TParentStorage>(connection));
  const TSmetaStorageLink link = storage->Link();
  TIntfPtr<ISmetaStorageReferense> reference(storage.get());
  ASSERT_TRUE(link.IsAlive());
  EXPECT_EQ(&link.Get(), storage.get());

  storage.reset();
  EXPECT_FALSE(link.IsAlive());
  EXPECT_EQ(test::MessageOf<ESmetaStorageClosed>([&] { link.Get(); }),
            "Хранилище документов уже закрыто");
  EXPECT_FALSE(TSmetaStorageLink().IsAlive());
  reference.Reset();
}

// ---- folder properties ----

class FolderPropertiesTest : public ::testing::Test {
 protected:
  std::string Folder() const { return FTemp.Path("Папка"); }
  std::string FileName() const { return Folder() + "\\.kvdata\\config.xml"; }

  static TFolderProperties Sample() {
    return {"Школа", "Стройка", "Объект", "Примечание", "Р-7", "Л-1"};
  }

  test::TTempFolder FTemp;
};

TEST_F(FolderPropertiesTest, AFolderWithoutTheFileHasEmptyProperties) {
  platform::ForceDirectories(Folder());
  TFolderProperties properties = Sample();
  properties.Load(Folder());
  EXPECT_EQ(properties, TFolderProperties());
}

TEST_F(FolderPropertiesTest, SaveCreatesTheFileThatLoadReads) {
  platform::ForceDirectories(Folder());
  Sample().Save(Folder());
  const TXmlNode root = LoadXMLFile(FileName()).DocumentElement();
  EXPECT_EQ(root.Name(), "KvsmetaFolder");
  EXPECT_EQ(root.Attributes(),
            (std::vector<std::pair<std::string, std::string>>{{"ObjName", "Школа"},
                                                              {"ConName", "Стройка"},
                                                              {"StgName", "Объект"},
                                                              {"Comment", "Примечание"},
                                                              {"LocNum", "Л-1"},
                                                              {"RegNum", "Р-7"}}));
  TFolderProperties loaded;
  loaded.Load(Folder());
  EXPECT_EQ(loaded, Sample());
}

TEST_F(FolderPropertiesTest, SaveOverAnExistingFileKeepsTheRest) {
  platform::ForceDirectories(Folder() + "\\.kvdata");
  test::WriteFileBytes(
      FileName(),
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
      "<Folder Color=\"red\" ObjName=\"старое\" RegNum=\"1\"><Note>да</Note></Folder>");
  TFolderProperties properties = Sample();
  properties.RegNum.clear();
  properties.Save(Folder());
  const TXmlNode root = LoadXMLFile(FileName()).DocumentElement();
  EXPECT_EQ(root.Name(), "Folder");
  EXPECT_EQ(root.Attribute("Color"), "red");
  EXPECT_EQ(root.Attribute("ObjName"), "Школа");
  EXPECT_EQ(root.Attribute("RegNum"), "");
  EXPECT_EQ(root.Child("Note").Text(), "да");
  TFolderProperties loaded;
  loaded.Load(Folder());
  EXPECT_EQ(loaded, properties);
}

// A file that is not XML raises on both paths: Load keeps the record, Save keeps the file.
TEST_F(FolderPropertiesTest, ABrokenFileChangesNothing) {
  platform::ForceDirectories(Folder() + "\\.kvdata");
  const std::string broken = "<KvsmetaFolder ObjName=\"a\"";
  test::WriteFileBytes(FileName(), broken);
  TFolderProperties properties = Sample();
  EXPECT_THROW(properties.Load(Folder()), EInvalidXMLFile);
  EXPECT_EQ(properties, Sample());
  EXPECT_THROW(properties.Save(Folder()), EInvalidXMLFile);
  EXPECT_EQ(test::ReadFileBytes(FileName()), broken);
}

TEST_F(FolderPropertiesTest, AFailedSaveLeavesTheOldFileWhole) {
  platform::ForceDirectories(Folder());
  Sample().Save(Folder());
  const std::string old = test::ReadFileBytes(FileName());
  TFolderProperties changed = Sample();
  changed.Comment = std::string(4096, 'x');
  {
    const test::TBlockedSave blocked(FileName());
    EXPECT_THROW(changed.Save(Folder()), EOSError);
  }
  EXPECT_EQ(test::ReadFileBytes(FileName()), old);
  EXPECT_EQ(platform::FindFiles(Folder() + "\\.kvdata", "config.xml?*").size(), 0u);
}

}  // namespace
}  // namespace kv
