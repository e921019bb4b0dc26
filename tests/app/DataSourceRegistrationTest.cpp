#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/DataSourceRegistration.h"
#include "base/Exceptions.h"
#include "net/Kv_KalvorSmetaRuSettings.h"
#include "platform/Files.h"
#include "platform/Text.h"
#include "platform/Xml.h"
#include "storage/Kv_SmetaStorage.WebDAV.h"
#include "storage/Kv_Storage.ConnectionPool.h"
#include "storage/Kv_Storage.FileSystemConnection.h"
#include "support/TempFolder.h"
#include "support/WizardWorld.h"

namespace kv::app {
namespace {

using test::TWizardWorld;

class DataSourceRegistrationTest : public testing::Test {
 protected:
  // The data sources Connections.xml holds, as the client reads them: "caption: folder" for a
  // folder, the caption alone for the online service.
  std::vector<std::string> Stored() const {
    TConnectionsPool pool;
    pool.LoadFromOptionsStorage(false);
    std::vector<std::string> entries;
    for (const TConnection* connection : pool.Connections()) {
      const std::string classID = connection->ClassType().ClassID();
      if (classID == Files) {
        EXPECT_EQ(connection->Usages(), TStorageKinds{TStorageKind::Smeta});
        entries.push_back(connection->Caption() + ": " + connection->Address());
      } else if (classID == OnlineClass) {
        entries.push_back(connection->Caption());
      }
    }
    return entries;
  }
  // A data source the user registered before the update.
  static void Register(std::unique_ptr<TConnection> connection) {
    TConnectionsPool pool;
    pool.LoadFromOptionsStorage(false);
    pool.AddConnection(std::move(connection), -1);
    pool.SaveToOptionsStorage();
  }

  TWizardWorld World;
  const std::string Files = TFileSystemConnection::ClassInfo().ClassID();
  const std::string OnlineClass = TKalvorSmetaRuSmetaStorage::TConnection::ClassInfo().ClassID();
};

TEST_F(DataSourceRegistrationTest, InstalledFoldersAndTheOnlineServiceAreAddedInOrder) {
  TDataSourceRegistration registration;
  platform::ForceDirectories(World.MyFolderRoot + "Сметы");
  platform::ForceDirectories(World.CommonDataFolder + "Data");
  registration.AddFolder(World.MyFolderRoot + "Сметы");
  registration.AddFolder(World.MyFolderRoot + "Шаблоны");  // not installed: skipped
  registration.AddOnlineService();
  registration.AddFolder(World.CommonDataFolder + "Data");
  EXPECT_TRUE(Stored().empty()) << "written before Save";
  registration.Save();
  EXPECT_EQ(Stored(), (std::vector<std::string>{
                          "Сметы: " + World.MyFolderRoot + "Сметы",
                          OnlineServiceCaption,
                          "Data: " + World.CommonDataFolder + "Data",
                      }));
}

TEST_F(DataSourceRegistrationTest, WhatIsRegisteredAlreadyIsNotAddedAgain) {
  auto folder = std::make_unique<TFileSystemConnection>();
  folder->SetCaption("Мои сметы");
  folder->SetAddress(platform::UpperCaseLocale(World.MyFolderRoot + "Сметы\\"));
  Register(std::move(folder));
  auto online = std::make_unique<TKalvorSmetaRuSmetaStorage::TConnection>();
  online->SetCaption("Сметы в сети");
  Register(std::move(online));
  const std::vector<std::string> before = Stored();
  ASSERT_EQ(before.size(), 2u);
  const std::string fileName = World.CommonSettingFolder + "Connections.xml";
  const std::string bytes = test::ReadFileBytes(fileName);

  platform::ForceDirectories(World.MyFolderRoot + "Сметы");
  TDataSourceRegistration registration;
  registration.AddFolder(World.MyFolderRoot + "Сметы");
  registration.AddOnlineService();
  registration.Save();
  EXPECT_EQ(Stored(), before);
  EXPECT_EQ(test::ReadFileBytes(fileName), bytes) << "rewritten with nothing added";
}

// Two package folders of one name: two data sources, the pool telling their captions apart.
TEST_F(DataSourceRegistrationTest, FoldersOfOneNameInTwoPlaces) {
  platform::ForceDirectories(World.MyFolderRoot + "Сметы");
  platform::ForceDirectories(World.MyFolderRoot + "Архив\\Сметы");
  TDataSourceRegistration registration;
  registration.AddFolder(World.MyFolderRoot + "Сметы");
  registration.AddFolder(World.MyFolderRoot + "Архив\\Сметы");
  registration.Save();
  const std::vector<std::string> stored = Stored();
  ASSERT_EQ(stored.size(), 2u);
  EXPECT_EQ(stored[0], "Сметы: " + World.MyFolderRoot + "Сметы");
  EXPECT_TRUE(stored[1].ends_with(": " + World.MyFolderRoot + "Архив\\Сметы")) << stored[1];
  EXPECT_NE(stored[1].substr(0, stored[1].find(':')), "Сметы");
}

// The file is read only when a data source is to be added: with nothing checked, a file the
// pool cannot read is no error, and it is never replaced.
TEST_F(DataSourceRegistrationTest, AnUnreadableConnectionsFileIsReportedAndKept) {
  const std::string fileName = World.CommonSettingFolder + "Connections.xml";
  test::WriteFileBytes(fileName, "<Connections><Item");
  TDataSourceRegistration untouched;
  untouched.Save();
  TDataSourceRegistration registration;
  EXPECT_THROW(registration.AddOnlineService(), Exception);
  EXPECT_EQ(test::ReadFileBytes(fileName), "<Connections><Item");
}

}  // namespace
}  // namespace kv::app
