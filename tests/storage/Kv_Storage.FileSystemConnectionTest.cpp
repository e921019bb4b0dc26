#include "storage/Kv_Storage.FileSystemConnection.h"

#include <gtest/gtest.h>

#include "platform/Files.h"
#include "support/TempFolder.h"

namespace kv {
namespace {

class FileSystemConnectionTest : public testing::Test {
 protected:
  test::TTempFolder FFolder;
};

TEST_F(FileSystemConnectionTest, ConnectingMakesSureTheFolderExists) {
  platform::ForceDirectories(FFolder.Path("Калвор"));
  struct Case {
    const char* name;
    std::string folder;
  };
  const Case cases[] = {
      {"existing", FFolder.Path("Калвор")},
      {"existing, trailing backslash", FFolder.Path("Калвор\\")},
      {"missing with missing parents", FFolder.Path("Калвор\\Сметы\\Объект 1")},
      {"missing, trailing backslash", FFolder.Path("Шаблоны\\")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TFileSystemConnection connection;
    connection.SetAddress(c.folder);
    connection.Connect("ignored", "ignored");
    EXPECT_TRUE(connection.Connected());
    EXPECT_TRUE(platform::DirectoryExists(c.folder));
    connection.Disconnect();
    EXPECT_FALSE(connection.Connected());
  }
}

TEST_F(FileSystemConnectionTest, AFolderThatCannotBeMadeReportsTheSystemsError) {
  test::WriteFileBytes(FFolder.Path("Файл"), "not a folder");
  for (const std::string& folder : {FFolder.Path("Файл\\Сметы"), std::string()}) {
    SCOPED_TRACE(folder);
    TFileSystemConnection connection;
    connection.SetAddress(folder);
    try {
      connection.Connect("", "");
      ADD_FAILURE() << "no error";
    } catch (const EOSError& e) {
      EXPECT_NE(e.ErrorCode(), 0u);
      EXPECT_FALSE(e.Message().empty());
    }
    EXPECT_FALSE(connection.Connected());
  }
}

}  // namespace
}  // namespace kv
